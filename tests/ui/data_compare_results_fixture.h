// Hand-built results of a data comparison for the window tests: a pair that differs in every
// way a row can (a changed value, a changed NULL, a row on one side only each way), a pair
// with a conflicting key, an identical pair, a pair without a key and a table on one side.
#pragma once

#include "dbcompare/data_compare_results.h"

#include <memory>
#include <string>

namespace orv::test {

inline DataCellPair Cell(FieldValue source, FieldValue target, bool differs = false) {
    return DataCellPair{std::move(source), std::move(target), differs};
}

inline DataTableResult NamedPair(const std::string& name, DataPairStatus status) {
    DataTableResult t;
    t.Status = status;
    t.HasSource = status != DataPairStatus::OnlyInTarget;
    t.HasTarget = status != DataPairStatus::OnlyInSource;
    for (int i = 0; i < 2; ++i) {
        t.Schema[i] = "dbo";
        t.Name[i] = name;
    }
    return t;
}

// dbo.Orders, key OrderID, compared CustomerID, Total, Note:
//   2: Total 10.00 -> 12.50          (different, Total)
//   3: Note N'a' -> NULL             (different, Note)
//   5: only in source
//   7: only in target
//   four identical rows.
// dbo.Payments, picked key Ref: one conflict (two target rows carry 'R1').
// dbo.Customers identical (3 rows); dbo.Log has no key; dbo.Archive only in source.
inline std::shared_ptr<DataCompareResults> SampleDataResults() {
    auto r = std::make_shared<DataCompareResults>();
    r->ServerName[0] = "SRC01";
    r->ServerName[1] = "TGT01";
    r->DbName[0] = "Shop";
    r->DbName[1] = "ShopCopy";

    DataTableResult orders = NamedPair("Orders", DataPairStatus::Different);
    orders.KeyFrom = KeyOrigin::PrimaryKey;
    orders.KeyColumns = {"OrderID"};
    orders.KeyTypes = {{"OrderID", "int", "int"}};
    orders.Compared = {{"CustomerID", "int", "int"},
                       {"Total", "decimal(9,2)", "decimal(9,2)"},
                       {"Note", "nvarchar(40)", "nvarchar(40)"}};
    orders.SourceOnlyColumns = {"Legacy"};
    orders.IgnoredColumns = {"Stamp"};
    DataRowDiff total;
    total.Status = RowStatus::Different;
    total.Key = {FieldValue::Int(2)};
    total.Cells = {Cell(FieldValue::Int(11), FieldValue::Int(11)),
                   Cell(FieldValue::Dec("10.00"), FieldValue::Dec("12.50"), true),
                   Cell(FieldValue::Str("x"), FieldValue::Str("x"))};
    DataRowDiff note;
    note.Status = RowStatus::Different;
    note.Key = {FieldValue::Int(3)};
    note.Cells = {Cell(FieldValue::Int(12), FieldValue::Int(12)),
                  Cell(FieldValue::Dec("5.00"), FieldValue::Dec("5.00")),
                  Cell(FieldValue::Str("a"), FieldValue::Null(), true)};
    DataRowDiff onlySource;
    onlySource.Status = RowStatus::OnlyInSource;
    onlySource.Key = {FieldValue::Int(5)};
    onlySource.Copies = {1, 0};
    onlySource.Cells = {Cell(FieldValue::Int(13), FieldValue::Null()),
                        Cell(FieldValue::Dec("1.00"), FieldValue::Null()),
                        Cell(FieldValue::Null(), FieldValue::Null())};
    DataRowDiff onlyTarget;
    onlyTarget.Status = RowStatus::OnlyInTarget;
    onlyTarget.Key = {FieldValue::Int(7)};
    onlyTarget.Copies = {0, 1};
    onlyTarget.Cells = {Cell(FieldValue::Null(), FieldValue::Int(14)),
                        Cell(FieldValue::Null(), FieldValue::Dec("2.00")),
                        Cell(FieldValue::Null(), FieldValue::Str("new"))};
    orders.Rows = {total, note, onlySource, onlyTarget};
    orders.Identical = 4;
    orders.Different = 2;
    orders.OnlyInSource = 1;
    orders.OnlyInTarget = 1;
    orders.RowsCompared = 8;
    orders.RowsRead = {7, 7};
    orders.ColumnDiffCounts = {0, 1, 1};
    orders.Seconds = 0.25;

    DataTableResult payments = NamedPair("Payments", DataPairStatus::Different);
    payments.KeyFrom = KeyOrigin::Picked;
    payments.KeyColumns = {"Ref"};
    payments.KeyTypes = {{"Ref", "varchar(10)", "varchar(10)"}};
    payments.Compared = {{"Amount", "money", "money"}};
    DataRowDiff conflict;
    conflict.Status = RowStatus::Conflict;
    conflict.Key = {FieldValue::Str("R1")};
    conflict.Copies = {1, 2};
    conflict.Cells = {Cell(FieldValue::Dec("1.0000"), FieldValue::Dec("1.0000"))};
    payments.Rows = {conflict};
    payments.Conflict = 1;
    payments.Identical = 2;
    payments.RowsCompared = 3;
    payments.ColumnDiffCounts = {0};

    DataTableResult customers = NamedPair("Customers", DataPairStatus::Identical);
    customers.KeyFrom = KeyOrigin::PrimaryKey;
    customers.KeyColumns = {"CustomerID"};
    customers.Compared = {{"Name", "nvarchar(50)", "nvarchar(50)"}};
    customers.ColumnDiffCounts = {0};
    customers.Identical = 3;
    customers.RowsCompared = 3;

    DataTableResult log = NamedPair("Log", DataPairStatus::NotComparable);
    log.Reason = "no key";

    DataTableResult archive = NamedPair("Archive", DataPairStatus::OnlyInSource);

    r->Tables = {customers, orders, payments, log, archive};
    return r;
}

} // namespace orv::test
