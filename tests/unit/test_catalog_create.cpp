// The CREATE statement's header, layouts and view index statements.
#include "catalog/create_builder.h"
#include "catalog/create_table.h"
#include "test_catalog_rows.h"

#include <gtest/gtest.h>

namespace orv {
namespace {

using test::I;
using test::Null;
using test::Rows;
using test::S;

std::tm At(int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = 2024 - 1900;
    t.tm_mon = 2;
    t.tm_mday = 7;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

TEST(CatalogCreateHeader, ProcedureHeaderLineByLine) {
    std::string drop;
    const std::string header =
        BuildScriptHeader("Sales", kTypeProcedure, "[dbo].[GetOrders]", drop, At(15, 20, 5));
    EXPECT_EQ(header, "USE [Sales]\r\n"
                      "GO\r\n"
                      "/****** Object: Procedure [dbo].[GetOrders]      ---- Script Date: "
                      "2024-03-07 15:20:05 ******/\r\n"
                      "SET ANSI_NULLS ON\r\n"
                      "GO\r\n"
                      "SET QUOTED_IDENTIFIER ON\r\n"
                      "GO\r\n"
                      "IF EXISTS (SELECT * FROM dbo.sysobjects\r\n"
                      "WHERE id = object_id('[dbo].[GetOrders]') AND OBJECTPROPERTY(id, "
                      "'IsProcedure') = 1)\r\n"
                      "DROP Procedure[dbo].[GetOrders]\r\n"
                      "GO");
    EXPECT_EQ(drop, "IF EXISTS (SELECT * FROM dbo.sysobjects\r\n"
                    "WHERE id = object_id('[dbo].[GetOrders]') AND OBJECTPROPERTY(id, "
                    "'IsProcedure') = 1)\r\n"
                    "DROP Procedure[dbo].[GetOrders]");
}

TEST(CatalogCreateHeader, ConditionsAndQuotedNames) {
    std::string drop;
    BuildScriptHeader("D", kTypeFunction, "[f]", drop, At(0, 0, 0));
    EXPECT_NE(drop.find("AND xtype in ('FN', 'IF', 'TF'))"), std::string::npos);
    // A constraint has no type word and no condition.
    const std::string constraint =
        BuildScriptHeader("D", kTypeConstraint, "[PK_x]", drop, At(9, 5, 3));
    EXPECT_NE(constraint.find("/****** Object:  [PK_x]      ---- Script Date: 2024-03-07 09:05:03"),
              std::string::npos);
    EXPECT_NE(drop.find("object_id('[PK_x]') AND )\r\nDROP [PK_x]"), std::string::npos);
    // An apostrophe in a name cannot end the literal of the existence test.
    BuildScriptHeader("D", kTypeTable, "[x'); DROP TABLE t; --]", drop, At(0, 0, 0));
    EXPECT_NE(drop.find("object_id('[x''); DROP TABLE t; --]')"), std::string::npos);
    EXPECT_EQ(ScriptDateText(At(23, 59, 9)), "2024-03-07 23:59:09");
}

TEST(CatalogCreateLayout, ProcedureGetsEmptyLineAndTrailingBlank) {
    EXPECT_EQ(AssembleCreateStatement("H\r\nGO", kTypeProcedure, "[p]",
                                      "CREATE PROC p\r\nAS\r\nSELECT 1", "", ","),
              "H\r\nGO\r\n\r\nCREATE PROC p\r\nAS\r\nSELECT 1 \r\n");
}

TEST(CatalogCreateLayout, TableWithAndWithoutClusteredIndex) {
    const std::string columns = "[OrderID] [int] IDENTITY(1,1) NOT NULL,\r\n[Amount] [money] NULL,";
    EXPECT_EQ(AssembleCreateStatement("GO", kTypeTable, "[dbo].[Orders]", columns, "", ","),
              "GO\r\nCREATE TABLE [dbo].[Orders] (\r\n"
              "[OrderID] [int] IDENTITY(1,1) NOT NULL,\r\n[Amount] [money] NULL \r\n)");
    const std::string withKey =
        columns + "\r\n\r\nCONSTRAINT [PK_Orders] PRIMARY KEY CLUSTERED ([OrderID])\r\n";
    EXPECT_EQ(AssembleCreateStatement("GO", kTypeTable, "[Orders]", withKey, "", ","),
              "GO\r\nCREATE TABLE [Orders] (\r\n"
              "[OrderID] [int] IDENTITY(1,1) NOT NULL,\r\n[Amount] [money] NULL,\r\n\r\n"
              "CONSTRAINT [PK_Orders] PRIMARY KEY CLUSTERED ([OrderID])\r\n \r\n)");
}

TEST(CatalogCreateLayout, PlainClusteredIndexFollowsTheTableInABatchOfItsOwn) {
    auto rows =
        Rows({"index", "column", "isunique", "constrainttype"},
             {{S("IX_C]"), S("Cargo]No"), I(0), Null()}, {S("IX_C]"), S("Day"), I(0), Null()}});
    const ClusteredIndex index = ReadClusteredIndex(*rows);
    EXPECT_EQ(ClusteredConstraintLine(index), "");
    const std::string statement = ClusteredIndexStatement(index, "[dbo].[Cargo]");
    EXPECT_EQ(statement, "CREATE CLUSTERED INDEX [IX_C]]] ON [dbo].[Cargo] ([Cargo]]No], [Day])");
    EXPECT_EQ(AssembleCreateStatement("GO", kTypeTable, "[dbo].[Cargo]",
                                      "[CargoNo] [int] NOT NULL,", "", ",", statement),
              "GO\r\nCREATE TABLE [dbo].[Cargo] (\r\n[CargoNo] [int] NOT NULL \r\n)\r\nGO\r\n" +
                  statement + "\r\nGO");

    auto unique =
        Rows({"index", "column", "isunique", "constrainttype"}, {{S("UX"), S("a"), I(1), Null()}});
    EXPECT_EQ(ClusteredIndexStatement(ReadClusteredIndex(*unique), "[t]"),
              "CREATE UNIQUE CLUSTERED INDEX [UX] ON [t] ([a])");
}

// Whether the clustered index is a key is read from the catalog, not guessed from its name.
TEST(CatalogCreateLayout, ClusteredConstraintsStayInsideTheTable) {
    auto key = Rows({"index", "column", "isunique", "constrainttype"},
                    {{S("Orders_key"), S("OrderID"), I(1), S("PK")}});
    const ClusteredIndex pk = ReadClusteredIndex(*key);
    EXPECT_EQ(ClusteredConstraintLine(pk),
              "CONSTRAINT [Orders_key] PRIMARY KEY CLUSTERED ([OrderID])");
    EXPECT_EQ(ClusteredIndexStatement(pk, "[t]"), "");
    auto uq = Rows({"index", "column", "isunique", "constrainttype"},
                   {{S("UQ_Code"), S("Code"), I(1), S("UQ")}});
    EXPECT_EQ(ClusteredConstraintLine(ReadClusteredIndex(*uq)),
              "CONSTRAINT [UQ_Code] UNIQUE CLUSTERED ([Code])");
    auto pkName = Rows({"index", "column", "isunique", "constrainttype"},
                       {{S("pk_not_a_key"), S("c"), I(0), Null()}});
    EXPECT_EQ(ClusteredConstraintLine(ReadClusteredIndex(*pkName)), "");
    auto none = Rows({"index", "column", "isunique", "constrainttype"}, {});
    const ClusteredIndex heap = ReadClusteredIndex(*none);
    EXPECT_EQ(ClusteredConstraintLine(heap) + ClusteredIndexStatement(heap, "[t]"), "");
}

TEST(CatalogCreateHeader, CommentMarksInNamesCannotOpenOrCloseTheObjectComment) {
    EXPECT_EQ(InBlockComment("[x*/ DROP TABLE t /*]"), "[x* / DROP TABLE t / *]");
    EXPECT_EQ(InBlockComment("*/*/"), "* / * /");
    EXPECT_EQ(InBlockComment("/*/"), "/ * /");
    EXPECT_EQ(InBlockComment("[dbo].[Orders]"), "[dbo].[Orders]");
    std::string drop;
    const std::string header =
        BuildScriptHeader("D", kTypeTable, "[x*/ DROP TABLE t /*]", drop, At(1, 2, 3));
    EXPECT_NE(header.find("/****** Object: Table [x* / DROP TABLE t / *]      ---- Script Date"),
              std::string::npos);
    // The executable lines keep the name as it is.
    EXPECT_NE(drop.find("DROP Table[x*/ DROP TABLE t /*]"), std::string::npos);
}

TEST(CatalogCreateLayout, IndexedViewGetsOneExecBlockPerIndex) {
    auto rows = Rows(
        {"index", "indid", "column"},
        {{S("IX_V"), I(1), S("Id")}, {S("IX_V"), I(1), S("Code")}, {S("IX_V2"), I(2), S("Name")}});
    const std::string extras = BuildViewIndexStatements(*rows, "vOrders");
    EXPECT_EQ(extras, "EXEC('CREATE UNIQUE CLUSTERED INDEX [IX_V] ON ' + @Database + "
                      "'.[dbo].[vOrders]\r\n([Id], [Code]) ON [PRIMARY] ')\r\n"
                      "IF @@ERROR <> 0 SET @ErrorVal = @@ERROR\r\n\r\n"
                      "EXEC('CREATE INDEX [IX_V2] ON ' + @Database + '.[dbo].[vOrders]\r\n"
                      "([Name]) ON [PRIMARY] ')\r\n"
                      "IF @@ERROR <> 0 SET @ErrorVal = @@ERROR\r\n\r\n");
    const std::string script = AssembleCreateStatement(
        "GO", kTypeView, "[vOrders]", "CREATE VIEW vOrders AS SELECT 1", extras, ",");
    EXPECT_EQ(script, "GO\r\n\r\nCREATE VIEW vOrders AS SELECT 1 " + extras + "\r\n");

    auto nonClusteredFirst = Rows({"index", "indid", "column"}, {{S("IX_N"), I(3), S("a")}});
    EXPECT_EQ(BuildViewIndexStatements(*nonClusteredFirst, "v").substr(0, 26),
              "EXEC('CREATE INDEX [IX_N] ");
    auto none = Rows({"index", "indid", "column"}, {});
    EXPECT_EQ(BuildViewIndexStatements(*none, "v"), "");
}

} // namespace
} // namespace orv
