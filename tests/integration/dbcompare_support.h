// What the whole-database comparison tests share: the panel's own texts of every object of a
// type, the bulk reader's texts of the same objects, and requests against simulators.
#pragma once

#include "catalog/bulk_catalog.h"
#include "catalog/listing.h"
#include "catalog/object_text.h"
#include "dbcompare/db_compare.h"
#include "dbcompare/run_settings.h"
#include "util/memory_list_control.h"
#include "util/memory_text_view.h"
#include "util/text.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace orv::test {

inline const std::vector<ObjectType>& AllSevenTypes() {
    static const std::vector<ObjectType> types = {kTypeTable,     kTypeProcedure, kTypeFunction,
                                                  kTypeView,      kTypeTrigger,   kTypeRelationship,
                                                  kTypeConstraint};
    return types;
}

// One row of a panel's list with the text the panel shows for it.
struct PanelObject {
    std::string listed;
    int32_t id = 0;
    std::string text;
};

// Every object of the type as the panel lists and shows it, row by row.
inline std::vector<PanelObject> PanelObjects(ServerEntry server, const std::string& db,
                                             ObjectType type) {
    MemoryListControl list;
    MemoryTextView view;
    LoadObjects(server, list, view, type, db, false);
    std::vector<PanelObject> out;
    for (int row = 0; row < list.Count(); ++row) {
        PanelObject o;
        o.listed = list.CellText(row, 0);
        ParseInt32(list.CellText(row, 2), o.id);
        list.SetCurrentRow(row);
        view.SetText("left over from another object");
        UpdateProcedureTextBox(server, view, list, type, db, o.listed, o.id);
        o.text = view.Text();
        out.push_back(std::move(o));
    }
    return out;
}

// The bulk reader's objects of one type; fails the test when the read fails.
inline CatalogTypeRead BulkObjects(const ServerEntry& server, const std::string& db,
                                   ObjectType type, const CatalogReadOptions& options) {
    QueryPlace place{server, db, 30};
    const CancelToken cancel;
    ServerFacts facts;
    OdbcError error;
    std::string sql;
    CatalogTypeRead read;
    EXPECT_TRUE(ReadServerFacts(place, cancel, facts, error, sql)) << error.description;
    BulkCatalogReader reader(place, facts, options, cancel);
    EXPECT_TRUE(reader.ReadType(type, read, error, sql)) << error.description << "\n" << sql;
    return read;
}

// A request comparing db0 on server0 with db1 on server1 under the current settings.
inline DbCompareRequest RequestFor(const ServerEntry& server0, const std::string& db0,
                                   const ServerEntry& server1, const std::string& db1,
                                   std::vector<ObjectType> types = AllSevenTypes()) {
    DbCompareRequest r;
    ApplyCurrentSettings(r);
    r.Server[0] = server0;
    r.Server[1] = server1;
    r.Database[0] = db0;
    r.Database[1] = db1;
    r.Types = std::move(types);
    r.TimeoutSeconds = 30;
    return r;
}

inline DbCompareResultsPtr Compare(const DbCompareRequest& request) {
    NullProgressSink sink;
    CancelToken cancel;
    return RunDbCompare(request, sink, cancel);
}

inline const std::string kLong128 = "P" + std::string(127, 'x');

// Two databases that differ on purpose, and an empty one.
inline std::string BadInputScript() {
    auto db = [](const std::string& name, bool right) {
        std::string s = "CREATE DATABASE " + name + "\nGO\nUSE " + name + "\nGO\n";
        s += "CREATE USER sales WITHOUT LOGIN\nGO\nCREATE SCHEMA sales AUTHORIZATION sales\nGO\n";
        s += "CREATE TABLE dbo.Twin (Id int NOT NULL)\nGO\n";
        s += std::string("CREATE TABLE sales.Twin (Id int NOT NULL, Note varchar(") +
             (right ? "20" : "10") + ") NULL)\nGO\n";
        s += "CREATE PROCEDURE dbo.[odd.name] AS SELECT 1\nGO\n";
        s += "CREATE PROCEDURE dbo.[br]]acket's --x] AS SELECT 2\nGO\n";
        s += "CREATE PROCEDURE dbo.[<script>alert(1)</script>] AS SELECT '<b>'\nGO\n";
        s += "CREATE PROCEDURE dbo.[" + kLong128 + "] AS SELECT 128\nGO\n";
        s += std::string("CREATE PROCEDURE dbo.") + (right ? "CASEPROC" : "CaseProc") +
             " AS SELECT 3\nGO\n";
        s += "CREATE PROCEDURE dbo.SecretBoth WITH ENCRYPTION AS SELECT 4\nGO\n";
        s += std::string("CREATE PROCEDURE dbo.SecretOne ") + (right ? "" : "WITH ENCRYPTION ") +
             "AS SELECT 5\nGO\n";
        s +=
            std::string("CREATE PROCEDURE dbo.Changed AS SELECT ") + (right ? "7" : "6") + "\nGO\n";
        return s;
    };
    return db("BadL", false) + db("BadR", true) + "CREATE DATABASE BadEmpty\nGO\n";
}

// "type schema.name status" for every pair that is not identical, sorted.
inline std::vector<std::string> NotIdentical(const DbCompareResults& results) {
    std::vector<std::string> out;
    for (const PairVerdict& p : results.Pairs) {
        if (p.Status == PairStatus::Identical)
            continue;
        const ObjectRef& ref = p.HasSource ? p.Source : p.Target;
        out.push_back(GetObjectTypeName(p.Type, true) + " " + ref.Schema + "." + ref.Name + ": " +
                      PairStatusWord(p.Status));
    }
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace orv::test
