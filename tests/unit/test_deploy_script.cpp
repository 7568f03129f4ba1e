// The deployment planner on hand-made structures: what it writes, in which order, and what it
// holds back. The round trip against the simulator proves the statements run; these pin down
// the decisions that the round trip cannot see (held-back data loss, order of dependents).
#include "deploy/deploy_script.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace orv {
namespace {

ColumnDef Col(const std::string& name, const std::string& type, int32_t length, bool nullable) {
    ColumnDef c;
    c.Name = name;
    c.TypeName = type;
    c.Length = length;
    c.Nullable = nullable;
    return c;
}

IndexDef PrimaryKey(const std::string& name, const std::string& column) {
    IndexDef i;
    i.Name = name;
    i.PrimaryKey = i.Unique = i.Clustered = true;
    i.Columns = {{column, false}};
    return i;
}

ModuleDef Module(ModuleKind kind, const std::string& name, const std::string& text) {
    ModuleDef m;
    m.Kind = kind;
    m.Schema = "dbo";
    m.Name = name;
    m.Text = text;
    return m;
}

std::vector<std::string> StepNames(const DeployScript& script) {
    std::vector<std::string> names;
    for (const DeployBatch& b : script.Batches) {
        if (b.StepNumber > 0)
            names.push_back(b.Step);
    }
    return names;
}

struct Pair {
    SchemaModel Source, Target;
    DeployInput Input(std::vector<DeployObject> included, bool allowLoss = false) const {
        DeployInput in;
        in.Header = {"SRC", "Shop", "TGT", "Shop", 0, "9.9"};
        in.Source = &Source;
        in.Target = &Target;
        in.Included = std::move(included);
        in.Options.AllowDataLoss = allowLoss;
        return in;
    }
};

// Orders changes under a key that OrderLines points at: the key is taken down and put back
// around the column changes, widening runs, and what loses data waits for permission.
TEST(DeployScript, TableChangedInPlaceAroundItsKeys) {
    Pair p;
    p.Source.VersionMajor = p.Target.VersionMajor = 10;
    TableDef orders;
    orders.Schema = "dbo";
    orders.Name = "Orders";
    orders.Columns = {Col("Id", "int", 0, false), Col("Notes", "varchar", 10, true),
                      Col("Qty", "smallint", 0, true)};
    orders.Indexes = {PrimaryKey("PK_Orders", "Id")};
    orders.RowCount = 5;
    TableDef lines;
    lines.Schema = "dbo";
    lines.Name = "OrderLines";
    lines.Columns = {Col("OrderId", "int", 0, false)};
    ForeignKeyDef fk;
    fk.Name = "FK_Lines_Orders";
    fk.Columns = {"OrderId"};
    fk.RefSchema = "dbo";
    fk.RefTable = "Orders";
    fk.RefColumns = {"Id"};
    lines.ForeignKeys = {fk};
    p.Target.Tables = {orders, lines};

    TableDef wanted = orders;
    wanted.Columns = {Col("Id", "bigint", 0, false), Col("Qty", "int", 0, false),
                      Col("Status", "tinyint", 0, false)};
    wanted.Columns[2].DefaultName = "DF_Orders_Status";
    wanted.Columns[2].DefaultDefinition = "((0))";
    TableDef wantedLines = lines;
    wantedLines.Columns = {Col("OrderId", "bigint", 0, false)};
    p.Source.Tables = {wanted, wantedLines};

    DeployInput in = p.Input({{kTypeTable, "dbo", "Orders", PairStatus::Different}});
    in.NullCount = [](const TableDef&, const std::string& column) {
        return column == "Qty" ? 2 : 0;
    };
    DeployScript held = BuildDeployScript(in);
    EXPECT_EQ(StepNames(held),
              (std::vector<std::string>{
                  "Alter table [dbo].[OrderLines]: drop foreign key [FK_Lines_Orders]",
                  "Alter table [dbo].[Orders]: drop primary key [PK_Orders]",
                  "Alter table [dbo].[Orders]: alter column [Id]",
                  "Alter table [dbo].[Orders]: add column [Status]",
                  "Alter table [dbo].[Orders]: add primary key [PK_Orders]",
                  "Alter table [dbo].[OrderLines]: add foreign key [FK_Lines_Orders]"}));
    EXPECT_EQ(held.LeftOutSteps, 2);
    ASSERT_EQ(held.Warnings.size(), 2u);
    EXPECT_EQ(held.Warnings[0],
              "Left out (data loss): column [Notes] of [dbo].[Orders] is dropped, and the table "
              "holds 5 rows; allow data loss to include it.");
    EXPECT_EQ(held.Warnings[1],
              "Left out (data loss): column [Qty] of [dbo].[Orders] becomes NOT NULL and holds 2 "
              "NULLs; allow data loss to include it.");
    EXPECT_NE(held.Text.find("-- Left out (data loss: column [Notes] of [dbo].[Orders] is "
                             "dropped, and the table holds 5 rows):\r\n-- ALTER TABLE [dbo]."
                             "[Orders] DROP COLUMN [Notes]\r\n"),
              std::string::npos);
    EXPECT_NE(held.Text.find("ALTER TABLE [dbo].[Orders] ADD [Status] tinyint NOT NULL "
                             "CONSTRAINT [DF_Orders_Status] DEFAULT ((0))\r\nGO"),
              std::string::npos);
    EXPECT_NE(held.Text.find("ALTER TABLE [dbo].[OrderLines] WITH CHECK ADD CONSTRAINT "
                             "[FK_Lines_Orders] FOREIGN KEY ([OrderId]) REFERENCES [dbo].[Orders] "
                             "([Id])\r\nGO"),
              std::string::npos);

    in.Options.AllowDataLoss = true;
    DeployScript allowed = BuildDeployScript(in);
    EXPECT_EQ(allowed.LeftOutSteps, 0);
    // Allowed, the NULLs get a value first (the type's zero: the source gives no default).
    EXPECT_EQ(allowed.StepCount, 9);
    EXPECT_NE(allowed.Text.find("UPDATE [dbo].[Orders] SET [Qty] = 0 WHERE [Qty] IS NULL\r\nGO"),
              std::string::npos);
    EXPECT_EQ(allowed.Warnings[0].rfind("Data loss allowed: column [Notes]", 0), 0u);
}

TEST(DeployScript, AddingNotNullWithoutDefaultIsRefusedOnlyWhenRowsExist) {
    for (int64_t rows : {0, 3}) {
        Pair p;
        TableDef t;
        t.Schema = "dbo";
        t.Name = "Parts";
        t.Columns = {Col("Id", "int", 0, false)};
        t.RowCount = rows;
        p.Target.Tables = {t};
        t.Columns.push_back(Col("Code", "char", 4, false));
        p.Source.Tables = {t};
        DeployScript s =
            BuildDeployScript(p.Input({{kTypeTable, "dbo", "Parts", PairStatus::Different}}, true));
        EXPECT_EQ(s.StepCount, rows ? 0 : 1) << rows;
        EXPECT_EQ(s.Warnings.size(), rows ? 1u : 0u) << rows;
    }
}

// Column order counts only when the comparison counts it, and a rebuild only when asked for:
// then the rows move to a new table made in the source's order, under the old name.
TEST(DeployScript, ColumnOrderRebuildCopiesRowsIntoTheSourceOrder) {
    Pair p;
    TableDef t;
    t.Schema = "dbo";
    t.Name = "Stock";
    t.Columns = {Col("Id", "int", 0, false), Col("Bin", "varchar", 8, true),
                 Col("Qty", "int", 0, false)};
    t.Columns[0].Identity = true;
    t.Columns[2].DefaultName = "DF_Stock_Qty";
    t.Columns[2].DefaultDefinition = "((0))";
    t.Indexes = {PrimaryKey("PK_Stock", "Id")};
    t.RowCount = 12;
    p.Target.Tables = {t};
    std::swap(t.Columns[1], t.Columns[2]);
    p.Source.Tables = {t};
    DeployInput in = p.Input({{kTypeTable, "dbo", "Stock", PairStatus::Different}});
    EXPECT_EQ(BuildDeployScript(in).StepCount, 0); // order ignored: nothing to do
    in.Options.ColumnOrderMatters = true;
    DeployScript warned = BuildDeployScript(in);
    EXPECT_EQ(warned.StepCount, 0);
    ASSERT_EQ(warned.Warnings.size(), 1u);
    EXPECT_EQ(warned.Warnings[0], "The columns of [dbo].[Stock] stay in another order than the "
                                  "source's (the table holds 12 rows); tick \"Rebuild tables for "
                                  "column order\" to rebuild it.");
    in.Options.RebuildForColumnOrder = true;
    DeployScript rebuilt = BuildDeployScript(in);
    EXPECT_EQ(StepNames(rebuilt),
              (std::vector<std::string>{"Rebuild table [dbo].[Stock]: drop constraint [PK_Stock]",
                                        "Rebuild table [dbo].[Stock]: drop default [DF_Stock_Qty]",
                                        "Rebuild table [dbo].[Stock]: create the new table",
                                        "Rebuild table [dbo].[Stock]: copy the rows",
                                        "Rebuild table [dbo].[Stock]: drop the old table",
                                        "Rebuild table [dbo].[Stock]: give the new table its name",
                                        "Alter table [dbo].[Stock]: add primary key [PK_Stock]"}));
    EXPECT_NE(rebuilt.Text.find("SET IDENTITY_INSERT [dbo].[orvane_rebuild_Stock] ON\r\nINSERT "
                                "INTO [dbo].[orvane_rebuild_Stock] ([Id], [Qty], [Bin])\r\nSELECT "
                                "[Id], [Qty], [Bin] FROM [dbo].[Stock]\r\nSET IDENTITY_INSERT "
                                "[dbo].[orvane_rebuild_Stock] OFF\r\nGO"),
              std::string::npos)
        << rebuilt.Text;
    EXPECT_NE(rebuilt.Text.find("EXEC sp_rename N'[dbo].[orvane_rebuild_Stock]', N'Stock'\r\nGO"),
              std::string::npos);
}

// Views that use views are created after them and dropped before them; a function that
// changes kind is dropped and created; a changed procedure is altered with its comments kept;
// an encrypted one is named and left out; triggers come last.
TEST(DeployScript, ModulesInDependencyOrder) {
    Pair p;
    p.Source.Modules = {
        Module(ModuleKind::View, "vTop", "CREATE VIEW dbo.vTop AS SELECT * FROM dbo.vBase"),
        Module(ModuleKind::Trigger, "trAudit", "CREATE TRIGGER trAudit ON dbo.T FOR INSERT AS"),
        Module(ModuleKind::View, "vBase", "CREATE VIEW dbo.vBase AS SELECT 1 AS one"),
        Module(ModuleKind::TableFunction, "fnRates", "CREATE FUNCTION dbo.fnRates() RETURNS @t"),
        Module(ModuleKind::Procedure, "uspTotals",
               "/* totals, rev 2 */\r\ncreate procedure uspTotals AS SELECT * FROM vTop"),
        Module(ModuleKind::Procedure, "uspSecret", "")};
    p.Source.Modules.back().Encrypted = true;
    p.Target.Modules = {
        Module(ModuleKind::ScalarFunction, "fnRates", "CREATE FUNCTION dbo.fnRates() RETURNS int"),
        Module(ModuleKind::Procedure, "uspTotals", "CREATE PROCEDURE uspTotals AS SELECT 1"),
        Module(ModuleKind::View, "vOld", "CREATE VIEW vOld AS SELECT * FROM vOlder"),
        Module(ModuleKind::View, "vOlder", "CREATE VIEW vOlder AS SELECT 2 AS two"),
        Module(ModuleKind::Trigger, "trGone", "CREATE TRIGGER trGone ON dbo.T FOR DELETE AS")};
    DeployScript s = BuildDeployScript(p.Input({
        {kTypeProcedure, "dbo", "uspTotals", PairStatus::Different},
        {kTypeView, "dbo", "vTop", PairStatus::OnlyInSource},
        {kTypeView, "dbo", "vBase", PairStatus::OnlyInSource},
        {kTypeFunction, "dbo", "fnRates", PairStatus::Different},
        {kTypeTrigger, "dbo", "trAudit", PairStatus::OnlyInSource},
        {kTypeProcedure, "dbo", "uspSecret", PairStatus::OnlyInSource},
        {kTypeView, "dbo", "vOlder", PairStatus::OnlyInTarget},
        {kTypeView, "dbo", "vOld", PairStatus::OnlyInTarget},
        {kTypeTrigger, "dbo", "trGone", PairStatus::OnlyInTarget},
    }));
    EXPECT_EQ(StepNames(s),
              (std::vector<std::string>{
                  "Drop trigger [dbo].[trGone]",
                  "Drop view [dbo].[vOld]",
                  "Drop view [dbo].[vOlder]",
                  "Create view [dbo].[vBase]",
                  "Create view [dbo].[vTop]",
                  "Drop function [dbo].[fnRates] (it becomes a table-valued function)",
                  "Create function [dbo].[fnRates]",
                  "Alter procedure [dbo].[uspTotals]",
                  "Create trigger [dbo].[trAudit]",
              }));
    ASSERT_EQ(s.Warnings.size(), 1u);
    EXPECT_EQ(s.Warnings[0],
              "Not deployed: procedure [dbo].[uspSecret] is encrypted in the source.");
    // The step's own comment stays in the batch before: the module's text is the source's.
    EXPECT_NE(s.Text.find("-- Step 8 of 9: Alter procedure [dbo].[uspTotals]\r\nGO\r\n/* totals, "
                          "rev 2 */\r\nALTER procedure uspTotals AS SELECT * FROM vTop\r\nGO\r\n"),
              std::string::npos)
        << s.Text;
}

// What the server's dependency catalog says orders the modules as the text does: a name in
// one part is looked up in the module's own schema first, then in dbo.
TEST(DeployScript, TheDependencyCatalogOrdersWhatTheTextDoesNotShow) {
    Pair p;
    p.Source.Modules = {
        Module(ModuleKind::Procedure, "uspRun", "CREATE PROCEDURE dbo.uspRun AS EXEC ('go')"),
        Module(ModuleKind::Procedure, "uspStep", "CREATE PROCEDURE dbo.uspStep AS SELECT 1"),
        Module(ModuleKind::View, "vLast", "CREATE VIEW dbo.vLast AS SELECT 1 AS one")};
    p.Source.Modules[0].DependsOn = {{"", "uspStep"}};
    p.Source.Modules[2].DependsOn = {{"dbo", "uspRun"}};
    DeployScript s = BuildDeployScript(p.Input({
        {kTypeView, "dbo", "vLast", PairStatus::OnlyInSource},
        {kTypeProcedure, "dbo", "uspRun", PairStatus::OnlyInSource},
        {kTypeProcedure, "dbo", "uspStep", PairStatus::OnlyInSource},
    }));
    EXPECT_EQ(StepNames(s), (std::vector<std::string>{
                                "Create procedure [dbo].[uspStep]",
                                "Create procedure [dbo].[uspRun]",
                                "Create view [dbo].[vLast]",
                            }));
}

TEST(DeployScript, CreateToAlterTouchesOnlyTheLeadingKeyword) {
    const std::pair<const char*, const char*> cases[] = {
        {"CREATE PROC a AS SELECT 'CREATE'", "ALTER PROC a AS SELECT 'CREATE'"},
        {"-- create\r\n  /* a /* nested */ create */\tCreate VIEW v",
         "-- create\r\n  /* a /* nested */ create */\tALTER VIEW v"},
        {"CREATEPROC", "CREATEPROC"},
        {"SELECT 1", "SELECT 1"},
        {"/* never closed CREATE", "/* never closed CREATE"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(CreateToAlter(in), out) << in;
}

// The frame: guard, one transaction, a check after every step that rolls back and stops the
// rest; and a script with nothing to run has no batches at all.
TEST(DeployScript, FrameGuardsTransactionAndSteps) {
    Pair p;
    p.Target.VersionMajor = 10;
    p.Source.Modules = {Module(ModuleKind::Procedure, "usp%x", "CREATE PROCEDURE [usp%x] AS")};
    p.Source.Modules[0].Schema = "sales";
    DeployInput in = p.Input({{kTypeProcedure, "sales", "usp%x", PairStatus::OnlyInSource}});
    in.Header.TargetDatabase = "O'Shop";
    DeployScript s = BuildDeployScript(in);
    ASSERT_EQ(s.StepCount, 2);
    std::vector<std::string> frame;
    for (const DeployBatch& b : s.Batches)
        frame.push_back(b.StepNumber ? "<step " + std::to_string(b.StepNumber) + ">" : b.Sql);
    const std::string check1 =
        "IF @@ERROR <> 0 OR @@TRANCOUNT = 0\r\nBEGIN\r\n    IF @@TRANCOUNT > "
        "0 ROLLBACK TRANSACTION\r\n    RAISERROR(N'Step 1 (Create schema "
        "[sales]) failed; the deployment was rolled back.', 16, 1)\r\n    "
        "SET NOEXEC ON\r\nEND";
    const std::string check2 =
        "IF @@ERROR <> 0 OR @@TRANCOUNT = 0\r\nBEGIN\r\n    IF @@TRANCOUNT > "
        "0 ROLLBACK TRANSACTION\r\n    RAISERROR(N'Step 2 (Create procedure "
        "[sales].[usp%%x]) failed; the deployment was rolled back.', 16, "
        "1)\r\n    SET NOEXEC ON\r\nEND";
    EXPECT_EQ(frame,
              (std::vector<std::string>{
                  "SET NOCOUNT ON", "USE [O'Shop]",
                  "IF DB_NAME() <> N'O''Shop'\r\nBEGIN\r\n    RAISERROR(N'This script was "
                  "made for the database O''Shop: it stops without changing "
                  "anything.', 16, 1)\r\n    SET NOEXEC ON\r\nEND",
                  "SET XACT_ABORT ON", "BEGIN TRANSACTION", "<step 1>", check1, "<step 2>", check2,
                  "COMMIT TRANSACTION\r\nPRINT N'The deployment is complete: 2 steps ran.'",
                  "SET NOEXEC OFF"}));
    EXPECT_EQ(s.Batches[5].Sql, "CREATE SCHEMA [sales] AUTHORIZATION [dbo]");

    DeployScript none = BuildDeployScript(p.Input({}));
    EXPECT_EQ(none.StepCount, 0);
    EXPECT_TRUE(none.Batches.empty());
    EXPECT_NE(none.Text.find("-- Nothing to deploy.\r\n"), std::string::npos);
}

} // namespace
} // namespace orv
