// Hand-built results of a whole-database comparison for the window tests: every status, three
// types, two schemas, marked lines made by the main window's own matching.
#pragma once

#include "compare/mark_differences.h"
#include "compare/tx_text.h"
#include "dbcompare/db_compare_results.h"

#include <memory>
#include <string>

namespace orv::test {

inline PairVerdict MakePair(ObjectType type, PairStatus status, const std::string& schema,
                            const std::string& name, const std::string& sourceText,
                            const std::string& targetText, int32_t sourceId = 0,
                            int32_t targetId = 0) {
    PairVerdict p;
    p.Type = type;
    p.Status = status;
    p.HasSource = status != PairStatus::OnlyInTarget;
    p.HasTarget = status != PairStatus::OnlyInSource;
    if (p.HasSource)
        p.Source = ObjectRef{sourceId, schema, name, "JAN  1 2024 10:00AM"};
    if (p.HasTarget)
        p.Target = ObjectRef{targetId, schema, name, "FEB  2 2024 11:30AM"};
    p.SourceText = p.HasSource ? sourceText : "";
    p.TargetText = p.HasTarget ? targetText : "";
    if (status == PairStatus::Different) {
        p.SourceLines = SplitIntoLines(p.SourceText);
        p.TargetLines = SplitIntoLines(p.TargetText);
        MatchLines(p.SourceLines, p.TargetLines);
    }
    if (status == PairStatus::NotComparable)
        p.Reason = "encrypted in source";
    return p;
}

// Tables: Customers identical, Orders different. Procedures: dbo.GetCustomer different,
// dbo.OnlyHere only in source, sales.NewOne only in target, dbo.Same identical. Views:
// dbo.vSecret not comparable.
inline std::shared_ptr<DbCompareResults> SampleResults(DbCompareKind kind = DbCompareKind::All) {
    auto r = std::make_shared<DbCompareResults>();
    r->Kind = kind;
    r->ServerName[0] = "SRC01";
    r->ServerName[1] = "TGT01";
    r->DbName[0] = "Shop";
    r->DbName[1] = "ShopTest";
    r->Types = {kTypeTable, kTypeProcedure, kTypeView};
    const std::string customers = "CREATE TABLE [dbo].[Customers] (\r\n  [Id] int NOT NULL\r\n)";
    r->Pairs.push_back(MakePair(kTypeTable, PairStatus::Identical, "dbo", "Customers", customers,
                                customers, 101, 201));
    r->Pairs.push_back(MakePair(kTypeTable, PairStatus::Different, "dbo", "Orders",
                                "CREATE TABLE [dbo].[Orders] (\r\n  [Id] int NOT NULL,\r\n"
                                "  [Total] money NULL\r\n)",
                                "CREATE TABLE [dbo].[Orders] (\r\n  [Id] int NOT NULL,\r\n"
                                "  [Total] decimal(9,2) NULL,\r\n  [Note] nvarchar(40) NULL\r\n)",
                                102, 202));
    r->Pairs.push_back(MakePair(kTypeProcedure, PairStatus::Different, "dbo", "GetCustomer",
                                "CREATE PROCEDURE dbo.GetCustomer @id int\r\nAS\r\n"
                                "SELECT Name\r\nFROM dbo.Customers\r\nWHERE Id = @id",
                                "CREATE PROCEDURE dbo.GetCustomer @id int\r\nAS\r\n"
                                "SELECT Name, City\r\nFROM dbo.Customers\r\nWHERE Id = @id",
                                103, 203));
    r->Pairs.push_back(MakePair(kTypeProcedure, PairStatus::OnlyInSource, "dbo", "OnlyHere",
                                "CREATE PROCEDURE dbo.OnlyHere AS SELECT 1", "", 104, 0));
    r->Pairs.push_back(MakePair(kTypeProcedure, PairStatus::Identical, "dbo", "Same",
                                "CREATE PROCEDURE dbo.Same AS SELECT 2",
                                "CREATE PROCEDURE dbo.Same AS SELECT 2", 105, 205));
    r->Pairs.push_back(MakePair(kTypeProcedure, PairStatus::OnlyInTarget, "sales", "NewOne", "",
                                "CREATE PROCEDURE sales.NewOne AS SELECT 3", 0, 206));
    r->Pairs.push_back(
        MakePair(kTypeView, PairStatus::NotComparable, "dbo", "vSecret", "", "", 107, 207));
    return r;
}

} // namespace orv::test
