// Computed columns, extended properties and the constraint catalog views, as a schema
// comparison reads them back: the rows SQL Server keeps for each, in the version's own shape.
#include "test_engine_support.h"

using namespace sqlsim;
using namespace sqlsim::test;

namespace {

class Computed : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        f = std::make_unique<EngineFixture>(GetParam());
        f->run("CREATE DATABASE Shop");
        f->run("USE Shop");
        CaptureSink c =
            f->run("CREATE TABLE dbo.Line (Id int IDENTITY(1, 1) NOT NULL, "
                   "Qty smallint NOT NULL, Price money NOT NULL, "
                   "Total AS (Qty * Price), Label AS 'Line ' + CAST(Id AS varchar(10)))");
        ASSERT_EQ(c.error(), nullptr) << c.errorText();
        ASSERT_EQ(f->run("INSERT INTO Line (Qty, Price) VALUES (3, $2.50)").error(), nullptr);
        // Without a column list the computed columns take no value, as the identity takes none.
        ASSERT_EQ(f->run("INSERT INTO Line VALUES (2, $10)").error(), nullptr);
    }
    bool v2000() const { return std::string(GetParam()) == k2000; }
    std::unique_ptr<EngineFixture> f;
};

} // namespace

TEST_P(Computed, ValuesFollowTheRowAndTheCatalogKeepsTheDefinition) {
    EngineFixture& e = *f;
    ResultSet r = e.query("SELECT Total, Label FROM Line ORDER BY Id");
    EXPECT_EQ(r.column(0), (std::vector<std::string>{"7.5000", "20.0000"}));
    EXPECT_EQ(r.column(1), (std::vector<std::string>{"Line 1", "Line 2"}));
    // smallint * money is money, by data type precedence.
    EXPECT_EQ(r.cols[0].type, SqlType::Money);
    ASSERT_EQ(e.run("UPDATE Line SET Qty = 4 WHERE Id = 1").error(), nullptr);
    EXPECT_EQ(scalar(e, "SELECT Total FROM Line WHERE Id = 1"), "10.0000");
    EXPECT_EQ(scalar(e, "SELECT COUNT(*) FROM Line WHERE Total > 15"), "1");

    ResultSet cols = e.query("SELECT name, iscomputed, xtype FROM syscolumns WHERE id = "
                             "OBJECT_ID('Line') ORDER BY colid");
    EXPECT_EQ(cols.column(1), (std::vector<std::string>{"0", "0", "0", "1", "1"}));
    EXPECT_EQ(cols.at(3, 2), "60");  // money
    EXPECT_EQ(cols.at(4, 2), "167"); // varchar
    // The text is kept under the table's id and the column's, in parentheses as written or not.
    ResultSet text = e.query("SELECT number, text FROM syscomments WHERE id = OBJECT_ID('Line') "
                             "ORDER BY number");
    ASSERT_EQ(text.rows.size(), 2u);
    EXPECT_EQ(text.at(0, 0), "4");
    EXPECT_EQ(text.at(0, 1), "(Qty * Price)");
    EXPECT_EQ(text.at(1, 1), "('Line ' + CAST(Id AS varchar(10)))");
    EXPECT_EQ(scalar(e, "SELECT COLUMNPROPERTY(OBJECT_ID('Line'), 'Total', 'IsComputed')"), "1");
    EXPECT_EQ(scalar(e, "SELECT COLUMNPROPERTY(OBJECT_ID('Line'), 'Qty', 'IsComputed')"), "0");
    if (v2000())
        return;
    EXPECT_EQ(scalar(e, "SELECT OBJECT_DEFINITION(OBJECT_ID('Line'))"), "NULL");
    ResultSet cc = e.query("SELECT name, definition, is_persisted, is_computed FROM "
                           "sys.computed_columns WHERE object_id = OBJECT_ID('dbo.Line') ORDER "
                           "BY column_id");
    ASSERT_EQ(cc.rows.size(), 2u);
    EXPECT_EQ(cc.at(0, 1), "(Qty * Price)");
    EXPECT_EQ(cc.at(0, 2), "0");
    EXPECT_EQ(cc.at(1, 3), "1");
    EXPECT_EQ(scalar(e, "SELECT SUM(is_computed) FROM sys.columns WHERE object_id = "
                        "OBJECT_ID('dbo.Line')"),
              "2");
}

TEST_P(Computed, AlterTableAddsAndDropsThem) {
    EngineFixture& e = *f;
    CaptureSink add = e.run("ALTER TABLE Line ADD Doubled AS Qty * 2");
    ASSERT_EQ(add.error(), nullptr) << add.errorText();
    EXPECT_EQ(e.query("SELECT Doubled FROM Line ORDER BY Id").column(0),
              (std::vector<std::string>{"6", "4"}));
    // A copy of the table into a new shape keeps every computed column working.
    ASSERT_EQ(e.run("ALTER TABLE Line ADD Note varchar(20) NULL").error(), nullptr);
    EXPECT_EQ(scalar(e, "SELECT Total FROM Line WHERE Id = 2"), "20.0000");
    ASSERT_EQ(e.run("ALTER TABLE Line DROP COLUMN Doubled").error(), nullptr);
    EXPECT_EQ(scalar(e, "SELECT COUNT(*) FROM syscomments WHERE id = OBJECT_ID('Line')"), "2");
    ASSERT_EQ(e.run("INSERT INTO Line (Qty, Price, Note) VALUES (1, $1, 'x')").error(), nullptr);
    EXPECT_EQ(scalar(e, "SELECT Label FROM Line WHERE Note = 'x'"), "Line 3");
    // A computed column over another computed column is refused.
    CaptureSink nested = e.run("ALTER TABLE Line ADD Twice AS Total * 2");
    ASSERT_NE(nested.error(), nullptr);
    EXPECT_EQ(nested.error()->number, 1759);
    CaptureSink unknown = e.run("ALTER TABLE Line ADD Bad AS Nothing + 1");
    ASSERT_NE(unknown.error(), nullptr);
    EXPECT_EQ(unknown.errorText(), "207: Invalid column name 'Nothing'.");
}

INSTANTIATE_TEST_SUITE_P(BothVersions, Computed, ::testing::Values(k2000, k2008));

TEST(ComputedTypes, DecimalResultsTakeThePrecisionAndScaleOfTheRules) {
    EngineFixture f(k2008);
    ASSERT_EQ(f.run("CREATE TABLE dbo.Rates (Hours decimal(9, 1) NULL, Rate money NULL, "
                    "Net int NULL, Gross int NULL, Cost AS Hours * Rate PERSISTED, "
                    "Ratio AS (CONVERT(decimal(9, 3), Net) / NULLIF(Gross, 0)), "
                    "Spread AS Hours - Net)")
                  .error(),
              nullptr);
    ResultSet c = f.query("SELECT name, precision, scale FROM sys.columns WHERE object_id = "
                          "OBJECT_ID('dbo.Rates') AND is_computed = 1 ORDER BY column_id");
    // decimal(9,1) * money(as decimal(19,4)): p1 + p2 + 1, s1 + s2. decimal(9,3) / int(as
    // decimal(10,0)): scale max(6, s1 + p2 + 1), precision p1 - s1 + s2 + scale. decimal(9,1) -
    // int: scale max(s1, s2), precision scale + max(p1 - s1, p2 - s2) + 1.
    EXPECT_EQ(c.column(1), (std::vector<std::string>{"29", "20", "12"}));
    EXPECT_EQ(c.column(2), (std::vector<std::string>{"5", "14", "1"}));
    EXPECT_EQ(scalar(f, "SELECT is_persisted FROM sys.computed_columns WHERE name = 'Cost'"), "1");
    ASSERT_EQ(
        f.run("INSERT INTO Rates (Hours, Rate, Net, Gross) VALUES (22.5, $65, 552, 1840)").error(),
        nullptr);
    EXPECT_EQ(scalar(f, "SELECT Cost FROM Rates"), "1462.50000");
    EXPECT_EQ(scalar(f, "SELECT Ratio FROM Rates"), "0.30000000000000");
    EXPECT_EQ(scalar(f, "SELECT Spread FROM Rates"), "-529.5");
}

TEST(ExtendedProperties, AddUpdateDropAndTheCatalogViews) {
    EngineFixture f(k2008);
    f.run("CREATE DATABASE Docs");
    f.run("USE Docs");
    ASSERT_EQ(f.run("CREATE TABLE dbo.Ship (Id int NOT NULL CONSTRAINT PK_Ship PRIMARY KEY, "
                    "Name nvarchar(40) NOT NULL CONSTRAINT CK_Ship_Name CHECK (Name <> ''), "
                    "Tonnage int NULL)")
                  .error(),
              nullptr);
    auto add = [&](const std::string& args) {
        CaptureSink s = f.run("EXEC sp_addextendedproperty " + args);
        EXPECT_EQ(s.error(), nullptr) << s.errorText() << "\n" << args;
    };
    add("N'MS_Description', N'Fleet database'");
    add("N'MS_Description', N'Default schema', N'SCHEMA', N'dbo'");
    add("@name = N'MS_Description', @value = N'Ships', @level0type = N'SCHEMA', "
        "@level0name = N'dbo', @level1type = N'TABLE', @level1name = N'Ship'");
    add("N'MS_Description', N'Registered name', 'schema', 'dbo', 'table', 'Ship', 'column', "
        "'Name'");
    add("N'Unit', 42, 'schema', 'dbo', 'table', 'Ship', 'column', 'Tonnage'");
    add("N'MS_Description', N'Key', 'schema', 'dbo', 'table', 'Ship', 'constraint', 'PK_Ship'");
    add("N'MS_Description', N'Key index', 'schema', 'dbo', 'table', 'Ship', 'index', 'PK_Ship'");

    ResultSet all = f.query("SELECT class, class_desc, major_id, minor_id, name FROM "
                            "sys.extended_properties ORDER BY class, major_id, minor_id, name");
    ASSERT_EQ(all.rows.size(), 7u);
    EXPECT_EQ(all.column(1), (std::vector<std::string>{"DATABASE", "OBJECT_OR_COLUMN",
                                                       "OBJECT_OR_COLUMN", "OBJECT_OR_COLUMN",
                                                       "OBJECT_OR_COLUMN", "SCHEMA", "INDEX"}));
    EXPECT_EQ(scalar(f, "SELECT COUNT(*) FROM sys.extended_properties WHERE major_id = "
                        "OBJECT_ID('dbo.Ship') AND minor_id = COLUMNPROPERTY(major_id, 'Name', "
                        "'ColumnId')"),
              "1");
    EXPECT_EQ(scalar(f, "SELECT major_id FROM sys.extended_properties WHERE class = 1 AND "
                        "CAST(value AS nvarchar(10)) = N'Key'"),
              scalar(f, "SELECT OBJECT_ID('PK_Ship')"));

    // A level's name left out lists every object of its type; the type names the level.
    ResultSet cols = f.query("SELECT objtype, objname, name, CAST(value AS nvarchar(40)) FROM "
                             "fn_listextendedproperty(NULL, 'schema', 'dbo', 'table', 'Ship', "
                             "'column', default) ORDER BY objname");
    ASSERT_EQ(cols.rows.size(), 2u);
    EXPECT_EQ(cols.at(0, 0), "COLUMN");
    EXPECT_EQ(cols.column(1), (std::vector<std::string>{"Name", "Tonnage"}));
    EXPECT_EQ(cols.at(1, 3), "42");
    EXPECT_EQ(scalar(f, "SELECT CAST(value AS nvarchar(40)) FROM sys.fn_listextendedproperty("
                        "'MS_Description', default, default, default, default, default, "
                        "default)"),
              "Fleet database");

    ASSERT_EQ(f.run("EXEC sp_updateextendedproperty N'MS_Description', N'Vessels', N'SCHEMA', "
                    "N'dbo', N'TABLE', N'Ship'")
                  .error(),
              nullptr);
    EXPECT_EQ(scalar(f, "SELECT CAST(value AS nvarchar(40)) FROM fn_listextendedproperty("
                        "'MS_Description', 'SCHEMA', 'dbo', 'TABLE', 'Ship', NULL, NULL)"),
              "Vessels");
    ASSERT_EQ(f.run("EXEC sp_dropextendedproperty @name = N'Unit', @level0type = N'SCHEMA', "
                    "@level0name = N'dbo', @level1type = N'TABLE', @level1name = N'Ship', "
                    "@level2type = N'COLUMN', @level2name = N'Tonnage'")
                  .error(),
              nullptr);
    EXPECT_EQ(scalar(f, "SELECT COUNT(*) FROM sys.extended_properties"), "6");
    // A level-2 type without its level-1 parent is no valid call.
    CaptureSink bad = f.run("EXEC sp_addextendedproperty N'X', N'y', 'schema', 'dbo', NULL, "
                            "NULL, 'column', 'Name'");
    ASSERT_NE(bad.error(), nullptr);
    EXPECT_EQ(bad.error()->number, 15600);
    // Dropping the table takes its properties with it.
    ASSERT_EQ(f.run("DROP TABLE dbo.Ship").error(), nullptr);
    EXPECT_EQ(scalar(f, "SELECT COUNT(*) FROM sys.extended_properties"), "2");
}

TEST(ExtendedProperties, The2000FormsHangFromTheOwner) {
    EngineFixture f(k2000);
    f.run("CREATE DATABASE Docs");
    f.run("USE Docs");
    ASSERT_EQ(f.run("CREATE TABLE dbo.Ship (Id int NOT NULL)").error(), nullptr);
    ASSERT_EQ(f.run("EXEC sp_addextendedproperty 'MS_Description', 'Ships', 'user', dbo, "
                    "'table', Ship")
                  .error(),
              nullptr);
    ASSERT_EQ(f.run("EXEC sp_addextendedproperty 'MS_Description', 'Key', 'user', 'dbo', "
                    "'table', 'Ship', 'column', 'Id'")
                  .error(),
              nullptr);
    ResultSet r = f.query("SELECT objtype, objname, CAST(value AS varchar(10)) FROM "
                          "::fn_listextendedproperty(NULL, 'user', 'dbo', 'table', NULL, NULL, "
                          "NULL)");
    ASSERT_EQ(r.rows.size(), 1u);
    EXPECT_EQ(r.at(0, 0), "TABLE");
    EXPECT_EQ(r.at(0, 1), "Ship");
    EXPECT_EQ(r.at(0, 2), "Ships");
}

TEST(ConstraintViews, CheckDefaultAndKeyConstraintsAsACompareToolReadsThem) {
    EngineFixture f(k2008);
    f.run("CREATE DATABASE Cons");
    f.run("USE Cons");
    ASSERT_EQ(f.run("CREATE TABLE dbo.Part (Id int NOT NULL, Code char(4) NOT NULL "
                    "CHECK (Code LIKE '[A-Z]%'), Qty int NOT NULL CONSTRAINT DF_Part_Qty "
                    "DEFAULT (0), CONSTRAINT PK_Part PRIMARY KEY (Id), CONSTRAINT UQ_Part_Code "
                    "UNIQUE (Code), CONSTRAINT CK_Part_Qty CHECK (Qty >= 0))")
                  .error(),
              nullptr);
    ResultSet ck = f.query("SELECT name, parent_column_id, is_disabled, is_not_trusted, "
                           "is_system_named, type_desc, definition FROM sys.check_constraints "
                           "ORDER BY parent_column_id");
    ASSERT_EQ(ck.rows.size(), 2u);
    EXPECT_EQ(ck.at(0, 0), "CK_Part_Qty"); // table-level: no column
    EXPECT_EQ(ck.at(0, 1), "0");
    EXPECT_EQ(ck.at(1, 1), "2");
    EXPECT_EQ(ck.at(1, 4), "1");
    EXPECT_EQ(ck.at(0, 5), "CHECK_CONSTRAINT");
    EXPECT_EQ(ck.at(0, 6), "(Qty >= 0)");
    ASSERT_EQ(f.run("ALTER TABLE dbo.Part NOCHECK CONSTRAINT CK_Part_Qty").error(), nullptr);
    EXPECT_EQ(scalar(f, "SELECT is_disabled + is_not_trusted FROM sys.check_constraints WHERE "
                        "name = 'CK_Part_Qty'"),
              "2");
    ResultSet df = f.query("SELECT name, parent_column_id, definition, schema_id, "
                           "is_ms_shipped FROM sys.default_constraints");
    ASSERT_EQ(df.rows.size(), 1u);
    EXPECT_EQ(df.at(0, 1), "3");
    EXPECT_EQ(df.at(0, 2), "(0)");
    EXPECT_EQ(df.at(0, 3), "1");
    ResultSet keys = f.query("SELECT name, type, unique_index_id, is_system_named FROM "
                             "sys.key_constraints ORDER BY unique_index_id");
    ASSERT_EQ(keys.rows.size(), 2u);
    EXPECT_EQ(keys.column(1), (std::vector<std::string>{"PK", "UQ"}));
    EXPECT_EQ(keys.column(2), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(keys.at(0, 3), "0");
}
