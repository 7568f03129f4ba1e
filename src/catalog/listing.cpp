#include "catalog/listing.h"

#include "catalog/catalog_error.h"
#include "catalog/object_text.h"
#include "catalog/schemas.h"
#include "core/error_report.h"
#include "core/log.h"
#include "core/settings.h"
#include "servers/exec_ado_cmd.h"
#include "util/prompter.h"
#include "util/text.h"

#include <algorithm>

namespace orv {

bool ConvertRecordsetToTwoStrArray(Recordset* recordset, std::vector<TwoStr>& entries,
                                   int32_t& count) {
    entries.clear();
    count = 0;
    try {
        if (recordset == nullptr)
            return true;
        RequireOpen(recordset);
        if (recordset->IsBOF() && recordset->IsEOF())
            return true;
        recordset->MoveFirst();
        int32_t rows = 0;
        while (!recordset->IsEOF()) {
            ++rows;
            recordset->MoveNext();
        }
        entries.resize(static_cast<size_t>(rows));
        recordset->MoveFirst();
        for (auto& entry : entries) {
            entry.Name = recordset->Value(0).Text();
            entry.RefDate = recordset->Value(1).Text();
            entry.Id = static_cast<int32_t>(recordset->Value(2).Long());
            recordset->MoveNext();
        }
        count = rows;
        return true;
    } catch (...) {
        const CaughtError e = CurrentError();
        if (e.number != kErrRecordsetClosed)
            ReportUnexpected(e.number, e.description, "modArrays", "ConvertRecordsetToTwoStrArray");
        entries.clear();
        count = 0;
        return false;
    }
}

bool AreDuplicatesInArr_TwoStr(const std::vector<TwoStr>& entries, int32_t count) {
    try {
        const int32_t n = std::min<int32_t>(count, static_cast<int32_t>(entries.size()));
        for (int32_t i = 0; i + 1 < n; ++i)
            if (entries[static_cast<size_t>(i)].Name == entries[static_cast<size_t>(i + 1)].Name)
                return true;
        return false;
    } catch (...) {
        ReportCurrentError("modArrays", "AreDuplicatesInArr_TwoStr");
        return false;
    }
}

namespace {

void PrefixWithSchema(TwoStr& entry) {
    if (!entry.Schema.empty())
        entry.Name = entry.Schema + "." + entry.Name;
}

// False when the lookup failed, which ends the whole qualification.
bool LookUpSchema(ServerEntry& server, ObjectType type, const std::string& database,
                  TwoStr& entry) {
    std::string schema;
    if (!Db_GetObjSchemaById(server, type, database, entry.Id, schema))
        return false;
    CurrentPrompter().ProcessEvents();
    if (!schema.empty())
        entry.Schema = schema;
    return true;
}

} // namespace

void QualifyDuplicateNames(ServerEntry& server, ObjectType type, const std::string& database,
                           std::vector<TwoStr>& entries, int32_t count) {
    QualifyDuplicateNames(
        entries, count, [&](TwoStr& entry) { return LookUpSchema(server, type, database, entry); });
}

void QualifyDuplicateNames(std::vector<TwoStr>& entries, int32_t count,
                           const std::function<bool(TwoStr& entry)>& lookUpSchema) {
    const int32_t n = std::min<int32_t>(count, static_cast<int32_t>(entries.size()));
    for (int32_t i = 0; i + 1 < n; ++i) {
        auto& current = entries[static_cast<size_t>(i)];
        auto& next = entries[static_cast<size_t>(i + 1)];
        if (i > 0)
            PrefixWithSchema(entries[static_cast<size_t>(i - 1)]);
        if (next.Name == current.Name) {
            if (!lookUpSchema(current))
                return;
            if (!lookUpSchema(next))
                return;
        }
        if (i == n - 2) {
            PrefixWithSchema(current);
            PrefixWithSchema(next);
        }
    }
}

void LoadListView(ListControl& list, const std::vector<TwoStr>& entries, int32_t count) {
    WriteTrace("Begin LoadListView");
    try {
        list.SetTag("OFF");
        list.Clear();
        while (list.ColumnCount() < 3)
            list.AddColumn("", 0);
        list.SetColumnHidden(2, true);
        const int32_t n = std::min<int32_t>(count, static_cast<int32_t>(entries.size()));
        for (int32_t j = 0; j < n; ++j) {
            const auto& entry = entries[static_cast<size_t>(j)];
            const int row = list.AddItem(entry.Name);
            list.SetCellText(row, 1, ToUpperAscii(entry.RefDate));
            list.SetCellText(row, 2, std::to_string(entry.Id));
        }
        if (list.Count() > 0)
            list.SetCurrentRow(0);
        list.SetTag("");
    } catch (...) {
        ReportCurrentError("mdlMain", "LoadListView");
    }
    WriteTrace("End LoadListView");
}

void LoadObjects(ServerEntry& server, ListControl& list, TextView& view, ObjectType type,
                 const std::string& database, bool showFirst) {
    std::vector<TwoStr> entries;
    int32_t count = 0;
    RecordsetPtr recordset;
    try {
        const std::string sql = BuildObjSQLString(type, Settings().IgnoreSysObjects);
        int32_t errNumber = 0;
        std::string errDescription;
        if (!sql.empty())
            ExecAdoCmd(server, kAdCmdText, sql, recordset, database, errNumber, errDescription);
        if (!ConvertRecordsetToTwoStrArray(recordset.get(), entries, count)) {
            LoadListView(list, entries, count);
        } else {
            if (VersionMajorOf(Trim(server.Version)) > 8 &&
                AreDuplicatesInArr_TwoStr(entries, count))
                QualifyDuplicateNames(server, type, database, entries, count);
            LoadListView(list, entries, count);
            if (showFirst)
                UpdateProcedureTextBox(server, view, list, type, database, "", 0);
        }
    } catch (...) {
        ReportCurrentError("modNew", "LoadObjects");
    }
    entries.clear();
    if (recordset)
        recordset->Close();
}

} // namespace orv
