// Column lines, index parts, key texts and trimming: the texts two objects are compared on.
#include "catalog/key_scripts.h"
#include "catalog/object_text.h"
#include "catalog/table_script.h"
#include "test_catalog_rows.h"

#include <gtest/gtest.h>

namespace orv {
namespace {

using test::I;
using test::Null;
using test::Rows;
using test::S;

const std::vector<std::string> kColumnFields{
    "column",   "autoval",      "isnullable",        "length", "prec", "scale",
    "datatype", "identityseed", "identityincrement", "isID"};

std::vector<FieldValue> Column(const std::string& name, const std::string& type, int64_t prec,
                               int64_t scale, bool nullable, FieldValue seed = Null(),
                               FieldValue incr = Null(), bool identity = false) {
    return {S(name), Null(), I(nullable ? 1 : 0),   I(prec * 2), I(prec), I(scale), S(type),
            seed,    incr,   S(identity ? "Y" : "")};
}

std::string LineOf(std::vector<FieldValue> row, ColumnInfo& info, const std::string& suffix = "") {
    auto rs = Rows(kColumnFields, {std::move(row)});
    return BuildColumnLine(*rs, suffix, info);
}

TEST(CatalogColumnLine, EveryFormOfTheLine) {
    ColumnInfo info;
    EXPECT_EQ(LineOf(Column("OrderID", "int", 10, 0, false, I(1), I(1), true), info),
              "[OrderID] [int] IDENTITY(1,1) NOT NULL");
    EXPECT_EQ(info.TypeText, "int");
    EXPECT_EQ(info.Precision, "");

    EXPECT_EQ(LineOf(Column("CustomerID", "nchar", 5, 0, true), info),
              "[CustomerID] [nchar] (5) NULL");
    EXPECT_EQ(info.TypeText, "nchar (5)");
    EXPECT_EQ(info.Precision, "5");

    EXPECT_EQ(LineOf(Column("Amount", "decimal", 18, 2, false), info),
              "[Amount] [decimal](18,2) NOT NULL");
    EXPECT_EQ(info.TypeText, "decimal (18,2) ");
    EXPECT_EQ(LineOf(Column("Rate", "NUMERIC", 9, 4, true), info), "[Rate] [NUMERIC](9,4) NULL");

    EXPECT_EQ(LineOf(Column("Notes", "ntext", 0, 0, true), info), "[Notes] [ntext] NULL");
    // A user-defined type is written by its own name without a size.
    EXPECT_EQ(LineOf(Column("Phone", "PhoneType", 24, 0, true), info), "[Phone] [PhoneType] NULL");
    // nvarchar is sized by its character count (prec), not its byte length.
    EXPECT_EQ(LineOf(Column("Title", "nvarchar", 20, 0, false), info),
              "[Title] [nvarchar] (20) NOT NULL");
    // Identity whose seed could not be read.
    EXPECT_EQ(LineOf(Column("Id", "int", 10, 0, false, Null(), Null(), true), info),
              "[Id] [int] IDENTITY NOT NULL");
    EXPECT_EQ(LineOf(Column("Id", "bigint", 19, 0, false, I(100), I(5), true), info, ","),
              "[Id] [bigint] IDENTITY(100,5) NOT NULL,");
    EXPECT_EQ(LineOf(Column("Raw", "varbinary", 16, 0, true), info, ","),
              "[Raw] [varbinary] (16) NULL,");
    // The max types: the catalog's length -1 is written (max).
    for (const char* type : {"varchar", "nvarchar", "varbinary"}) {
        EXPECT_EQ(LineOf(Column("Body", type, -1, 0, true), info),
                  std::string("[Body] [") + type + "] (max) NULL");
        EXPECT_EQ(info.TypeText, std::string(type) + " (max)");
        EXPECT_EQ(info.Precision, "-1");
    }
}

TEST(CatalogColumnLine, ExecutableNamesDoubleTheirClosingBrackets) {
    ColumnInfo info;
    auto rs = Rows(kColumnFields, {Column("a]b", "my]type", 0, 0, true)});
    EXPECT_EQ(BuildColumnLine(*rs, ",", info, BracketedNames::Executable),
              "[a]]b] [my]]type] NULL,");
    EXPECT_EQ(info.ColumnName, "a]b");
    EXPECT_EQ(BuildColumnLine(*rs, "", info), "[a]b] [my]type] NULL");
}

const std::vector<std::string> kIndexFields{"column", "index", "indid", "keyno"};

TEST(CatalogIndexPart, KeywordFormsAndLaterIndexes) {
    EXPECT_EQ(IndexKeywordPart(1, "PK_Orders"), "CONSTRAINT [PK_Orders] PRIMARY KEY CLUSTERED");
    EXPECT_EQ(IndexKeywordPart(1, "pk_x"), "CONSTRAINT [pk_x] PRIMARY KEY CLUSTERED");
    EXPECT_EQ(IndexKeywordPart(1, "IX_C"), "CLUSTERED INDEX [IX_C]");
    EXPECT_EQ(IndexKeywordPart(2, "PK_NonClustered"), "INDEX [PK_NonClustered]");

    auto rows = Rows(kIndexFields, {{S("OrderID"), S("PK_Orders"), I(1), I(1)},
                                    {S("CustomerID"), S("IX_Orders_Customer"), I(2), I(1)},
                                    {S("OrderID"), S("IX_Orders_Customer"), I(2), I(2)},
                                    {S("Amount"), S("PK_Second"), I(3), I(1)}});
    EXPECT_EQ(BuildIndexPart(*rows), "CONSTRAINT [PK_Orders] PRIMARY KEY CLUSTERED ([OrderID])\r\n"
                                     "INDEX [IX_Orders_Customer] ([CustomerID], [OrderID])\r\n"
                                     "INDEX [PK_Second] ([Amount])\r\n");

    auto noClustered = Rows(kIndexFields, {{S("a"), S("IX_A"), I(2), I(1)}});
    EXPECT_EQ(BuildIndexPart(*noClustered), "INDEX [IX_A] ([a])\r\n");

    auto none = Rows(kIndexFields, {});
    EXPECT_EQ(BuildIndexPart(*none), "");
}

TEST(CatalogKeyTexts, RelationshipAndPrimaryKeyLines) {
    auto fk =
        Rows({"foreignkey", "foreigncolumn", "referencedtable", "referencedcolumn", "tablename"},
             {{S("FK_Orders_Customers"), S("CustomerID"), S("Customers"), S("CustomerID"),
               S("Order Lines")}});
    EXPECT_EQ(BuildRelationshipText(*fk), "TABLE Order Lines\r\n"
                                          "CONSTRAINT [FK_Orders_Customers]\r\n"
                                          "FOREIGN KEY [CustomerID]\r\n"
                                          "REFERENCES [Customers] [CustomerID]");
    auto pk = Rows({"name", "refdate", "id", "column", "indid", "tablename"},
                   {{S("PK_Orders"), Null(), I(5), S("OrderID"), I(1), S("Order Lines")}});
    const std::string text = BuildConstraintText(*pk);
    EXPECT_EQ(text, "CONSTRAINT [PK_Orders] \r\n"
                    "PRIMARY KEY CLUSTERED \r\n"
                    "ON COLUMN [OrderID]\r\n"
                    "ON TABLE [Order Lines]");
    // The blanks that end lines 1 and 2 are inside the text and survive the trimming.
    EXPECT_EQ(TrimWhitespaceAndBreaks(text), text);
}

TEST(CatalogTrim, OnlyTheEndsLoseBlanksAndBreaks) {
    EXPECT_EQ(TrimWhitespaceAndBreaks("\r\n\r\n  CREATE VIEW v\r\nAS SELECT 1\r\n"),
              "CREATE VIEW v\r\nAS SELECT 1");
    EXPECT_EQ(TrimWhitespaceAndBreaks("\t a \t b \n"), "a \t b");
    EXPECT_EQ(TrimWhitespaceAndBreaks(" \r\n\t "), "");
    // Texts of one character are returned as they are, even a blank.
    EXPECT_EQ(TrimWhitespaceAndBreaks(" "), " ");
    EXPECT_EQ(TrimWhitespaceAndBreaks(""), "");
}

TEST(CatalogTableStructureReport, ExtraTextNamesTableServerAndError) {
    EXPECT_EQ(TableStructureErrorText("Orders", "SRV", "Sales", 3704, "closed"),
              "Error occured while attempting to get the structure of table\r\n\r\n'Orders'"
              "\r\n\r\nin SQL Server database\r\n\r\n'SRV.Sales'\r\n\r\nError 3704 (closed).\r\n");
    EXPECT_EQ(TableStructureErrorText("T", "S", "D", 0, "ignored"),
              "Error occured while attempting to get the structure of table\r\n\r\n'T'"
              "\r\n\r\nin SQL Server database\r\n\r\n'S.D'\r\n");
}

} // namespace
} // namespace orv
