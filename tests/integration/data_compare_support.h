// What the data comparison tests share: a simulator with the documented pair of databases (and
// a generated larger table), requests over it, and the results reduced to comparable texts.
#pragma once

#include "dbcompare/data_compare.h"
#include "test_catalog_sim.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace orv::test {

constexpr int kBigRows = 12000;

// dbo.Big in both databases: kBigRows rows in the source but 4001; in the target rows 100,
// 2000, 5000, 7000 and 11999 changed, rows 10, 3000, 3001, 9000 and 4000 missing, row 4001
// holding the values of the source's row 4000 (the same values under another key), and three
// rows past the end.
inline std::string BigTableScript() {
    std::string sql;
    for (int side = 0; side < 2; ++side) {
        sql += std::string("USE ") + (side == 0 ? "DcSource" : "DcTarget") + "\nGO\n";
        sql += "CREATE TABLE dbo.Big (Id int NOT NULL PRIMARY KEY, Label varchar(20) NOT NULL, "
               "Amount decimal(12,2) NULL, F float NULL)\nGO\n";
        std::string values;
        int inBatch = 0;
        auto flush = [&] {
            if (!values.empty())
                sql += "INSERT INTO dbo.Big VALUES " + values + "\nGO\n";
            values.clear();
            inBatch = 0;
        };
        auto add = [&](int id, const std::string& label, const std::string& amount, int f) {
            values += (values.empty() ? "(" : ", (") + std::to_string(id) + ", '" + label + "', " +
                      amount + ", " + std::to_string(f % 7) + ".5)";
            if (++inBatch == 500)
                flush();
        };
        for (int id = 1; id <= kBigRows; ++id) {
            if (side == 1 && (id == 10 || id == 3000 || id == 3001 || id == 9000 || id == 4000))
                continue;
            if (side == 0 && id == 4001)
                continue;
            const bool changed =
                side == 1 && (id == 100 || id == 2000 || id == 5000 || id == 7000 || id == 11999);
            const int from = side == 1 && id == 4001 ? 4000 : id;
            add(id, "row " + std::to_string(from) + (changed ? "!" : ""),
                from % 11 == 0 ? "NULL" : std::to_string(from) + ".25", from);
        }
        if (side == 1)
            for (int id = kBigRows + 1; id <= kBigRows + 3; ++id)
                add(id, "extra", "1.00", id);
        flush();
    }
    return sql;
}

class DataSim : public CatalogSim {
public:
    explicit DataSim(const std::string& version = kVersion2008,
                     std::vector<std::string> extraArgs = {}, bool withBig = true)
        : CatalogSim(version, {"data_compare_pair.sql"},
                     withBig ? std::vector<std::string>{BigTableScript()}
                             : std::vector<std::string>{},
                     std::move(extraArgs)) {}

    DataCompareRequest Request(DataCompareMode mode = DataCompareMode::Merge) const {
        DataCompareRequest r;
        r.Place[0] = {server, "DcSource", 30};
        r.Place[1] = {server, "DcTarget", 30};
        r.AllTables = true;
        r.Mode = mode;
        return r;
    }
};

inline DataCompareResultsPtr RunData(const DataCompareRequest& request) {
    NullProgressSink sink;
    CancelToken cancel;
    return RunDataCompare(request, sink, cancel);
}

// "status compared/identical/different/source/target/conflict" of every pair by name.
inline std::map<std::string, std::string> Summary(const DataCompareResults& r) {
    std::map<std::string, std::string> out;
    for (const DataTableResult& t : r.Tables) {
        std::string s = DataPairStatusWord(t.Status);
        if (t.Status == DataPairStatus::Identical || t.Status == DataPairStatus::Different)
            s += " " + std::to_string(t.RowsCompared) + "/" + std::to_string(t.Identical) + "/" +
                 std::to_string(t.Different) + "/" + std::to_string(t.OnlyInSource) + "/" +
                 std::to_string(t.OnlyInTarget) + "/" + std::to_string(t.Conflict);
        out[t.DisplayName()] = s;
    }
    return out;
}

// Every kept row of a pair as text, for comparing two runs.
inline std::string RowsText(const DataTableResult& t) {
    std::string out;
    for (const DataRowDiff& row : t.Rows) {
        out += RowStatusWord(row.Status);
        for (const FieldValue& k : row.Key)
            out += "|" + DataCellText(k);
        for (const DataCellPair& c : row.Cells)
            out +=
                "|" + DataCellText(c.Source) + (c.Differs ? "!=" : "==") + DataCellText(c.Target);
        out += "\n";
    }
    return out;
}

} // namespace orv::test
