// Confirmed column renames in the deployment planner: a confirmed pair becomes one sp_rename
// step that keeps the column's values, its index and the keys on it, while an unconfirmed or
// ill-fitting one leaves the script as a drop and an add. The round trip against the
// simulator proves the statement runs; these pin down what is written.
#include "deploy/deploy_renames.h"
#include "deploy/deploy_script.h"

#include <gtest/gtest.h>

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

std::vector<std::string> StepNames(const DeployScript& script) {
    std::vector<std::string> names;
    for (const DeployBatch& b : script.Batches) {
        if (b.StepNumber > 0)
            names.push_back(b.Step);
    }
    return names;
}

// Orders holds rows; the source calls its Qty column Quantity. OrderLines points at the
// renamed column through a unique key, and an index sits on it.
struct RenamedPair {
    SchemaModel Source, Target;

    RenamedPair(const std::string& schema = "dbo", const std::string& table = "Orders",
                const std::string& oldName = "Qty", const std::string& newName = "Quantity") {
        Source.VersionMajor = Target.VersionMajor = 10;
        TableDef t;
        t.Schema = schema;
        t.Name = table;
        t.Columns = {Col("Id", "int", 0, false), Col(oldName, "varchar", 12, true)};
        IndexDef ix;
        ix.Name = "UQ_Qty";
        ix.UniqueConstraint = ix.Unique = true;
        ix.Columns = {{oldName, false}};
        t.Indexes = {ix};
        t.RowCount = 3;
        TableDef lines;
        lines.Schema = schema;
        lines.Name = "OrderLines";
        lines.Columns = {Col("OrderQty", "varchar", 12, true)};
        ForeignKeyDef fk;
        fk.Name = "FK_Lines_Qty";
        fk.Columns = {"OrderQty"};
        fk.RefSchema = schema;
        fk.RefTable = table;
        fk.RefColumns = {oldName};
        lines.ForeignKeys = {fk};
        Target.Tables = {t, lines};
        Source.Tables = Target.Tables;
        Source.Tables[0].Columns[1].Name = newName;
        Source.Tables[0].Indexes[0].Columns[0].Name = newName;
        Source.Tables[1].ForeignKeys[0].RefColumns = {newName};
    }

    DeployScript Script(std::vector<ColumnRename> renames) const {
        DeployInput in;
        in.Header = {"SRC", "Shop", "TGT", "Shop", 0, "9.9"};
        in.Source = &Source;
        in.Target = &Target;
        in.Included = {
            {kTypeTable, Target.Tables[0].Schema, Target.Tables[0].Name, PairStatus::Different}};
        in.Options.ColumnRenames = std::move(renames);
        return BuildDeployScript(in);
    }
};

TEST(DeployColumnRename, ConfirmedRenameIsOneStepThatKeepsIndexKeysAndRows) {
    const RenamedPair p;
    const DeployScript script = p.Script({{"dbo", "Orders", "Qty", "Quantity"}});
    EXPECT_EQ(StepNames(script),
              (std::vector<std::string>{
                  "Alter table [dbo].[Orders]: rename column [Qty] to [Quantity]"}));
    EXPECT_NE(script.Text.find("EXEC sp_rename N'[dbo].[Orders].[Qty]', N'Quantity', 'COLUMN';"),
              std::string::npos)
        << script.Text;
    EXPECT_EQ(script.LeftOutSteps, 0);
    EXPECT_TRUE(script.Warnings.empty()) << script.Warnings[0];
}

// Without a confirmation nothing is guessed: the drop waits for permission to lose data and
// the add goes ahead, exactly as before renames were known.
TEST(DeployColumnRename, WithoutConfirmationTheScriptDropsAndAdds) {
    const RenamedPair p;
    const DeployScript script = p.Script({});
    EXPECT_EQ(script.Text.find("sp_rename"), std::string::npos);
    EXPECT_EQ(script.LeftOutSteps, 1);
    EXPECT_NE(script.Text.find("-- ALTER TABLE [dbo].[Orders] DROP COLUMN [Qty]"),
              std::string::npos);
    const std::vector<std::string> steps = StepNames(script);
    EXPECT_NE(
        std::find(steps.begin(), steps.end(), "Alter table [dbo].[Orders]: add column [Quantity]"),
        steps.end());
}

// Names that could end the literal or the bracketed part they sit in.
TEST(DeployColumnRename, StatementQuotesEveryName) {
    struct Case {
        ColumnRename Rename;
        const char* Sql;
    };
    const Case cases[] = {
        {{"dbo", "Orders", "Qty", "Quantity"},
         "EXEC sp_rename N'[dbo].[Orders].[Qty]', N'Quantity', 'COLUMN';"},
        {{"sa'les", "Order]s", "it's", "a]b'c"},
         "EXEC sp_rename N'[sa''les].[Order]]s].[it''s]', N'a]b''c', 'COLUMN';"},
        {{"dbo", "dot.ted", "Seq", "Seq.No"},
         "EXEC sp_rename N'[dbo].[dot.ted].[Seq]', N'Seq.No', 'COLUMN';"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ColumnRenameSql(c.Rename), c.Sql);
        const RenamedPair p(c.Rename.Schema, c.Rename.Table, c.Rename.OldName, c.Rename.NewName);
        EXPECT_NE(p.Script({c.Rename}).Text.find(c.Sql), std::string::npos) << c.Sql;
    }
}

// A confirmed rename that does not fit the structures is not made, and says why; the rest of
// the script is as without it. A rename without a schema finds its table, and names in any
// letter case are taken as the structures spell them.
TEST(DeployColumnRename, RenamesAreCheckedAgainstBothStructures) {
    struct Case {
        ColumnRename Rename;
        const char* Why; // empty: made
        const char* Resolved;
    };
    const Case cases[] = {
        {{"dbo", "Orders", "Qty", "Quantity"}, "", "dbo.Orders.Qty=Quantity"},
        {{"", "orders", "QTY", "quantity"}, "", "dbo.Orders.Qty=Quantity"},
        {{"dbo", "Invoices", "Qty", "Quantity"},
         "no table dbo.Invoices differs between the databases",
         ""},
        {{"dbo", "Orders", "Id", "Quantity"},
         "the target's table [dbo].[Orders] has no column Id that the source's lacks",
         ""},
        {{"dbo", "Orders", "Qty", "Id"},
         "the source's table [dbo].[Orders] has no column Id that the target's lacks",
         ""},
        {{"dbo", "Orders", "Qty", "Amount"},
         "the source's table [dbo].[Orders] has no column Amount that the target's lacks",
         ""},
    };
    const RenamedPair p;
    for (const Case& c : cases) {
        ColumnRename resolved;
        EXPECT_EQ(CheckColumnRename(p.Source, p.Target, c.Rename, resolved), c.Why)
            << ColumnRenameText(c.Rename);
        const DeployScript script = p.Script({c.Rename});
        if (*c.Why) {
            EXPECT_EQ(script.Text.find("sp_rename"), std::string::npos);
            ASSERT_FALSE(script.Warnings.empty());
            EXPECT_EQ(script.Warnings[0], "Not deployed: the column rename " +
                                              ColumnRenameText(c.Rename) + ": " + c.Why + ".");
        } else {
            EXPECT_EQ(ColumnRenameText(resolved), c.Resolved);
            EXPECT_NE(script.Text.find("sp_rename"), std::string::npos);
        }
    }
    // Two schemas with a table of that name: the schema must be named.
    RenamedPair two;
    for (SchemaModel* m : {&two.Source, &two.Target}) {
        m->Tables.push_back(m->Tables[0]);
        m->Tables.back().Schema = "sales";
    }
    ColumnRename resolved;
    EXPECT_EQ(
        CheckColumnRename(two.Source, two.Target, {"", "Orders", "Qty", "Quantity"}, resolved),
        "tables [dbo].[Orders] and [sales].[Orders] are both called that: name the schema "
        "(schema.table.column=name)");
}

// Everything the command line accepts, and what it refuses.
TEST(DeployColumnRename, CommandLineForm) {
    struct Case {
        const char* Text;
        const char* Parsed; // schema|table|old|new; empty: refused
    };
    const Case cases[] = {
        {"Orders.Qty=Quantity", "|Orders|Qty|Quantity"},
        {"dbo.Orders.Qty=Quantity", "dbo|Orders|Qty|Quantity"},
        {"[Order Details].[Unit Price]=[Price Each]", "|Order Details|Unit Price|Price Each"},
        {"[dot.ted].Seq=[a=b]", "|dot.ted|Seq|a=b"},
        {"dbo.[a]]b].[c=d]=e", "dbo|a]b|c=d|e"},
        {"Orders.Qty=", ""},
        {"Orders=Quantity", ""},
        {"Qty", ""},
        {"a.b.c.d=e", ""},
        {".Orders.Qty=Quantity", ""},
        {"[Orders.Qty=Quantity", ""},
    };
    for (const Case& c : cases) {
        ColumnRename r;
        std::string error;
        const bool ok = ParseColumnRename(c.Text, r, error);
        if (!*c.Parsed) {
            EXPECT_FALSE(ok) << c.Text;
            EXPECT_EQ(error, std::string("--rename-column ") + c.Text +
                                 ": write it as TABLE.OLD=NEW, TABLE as schema.table or table");
            continue;
        }
        ASSERT_TRUE(ok) << c.Text << ": " << error;
        EXPECT_EQ(r.Schema + "|" + r.Table + "|" + r.OldName + "|" + r.NewName, c.Parsed);
    }
}

} // namespace
} // namespace orv
