// The lines of complete table scripts and complete relationship texts, built from rows shaped
// like their catalog queries.
#include "catalog/table_script_complete.h"
#include "test_catalog_rows.h"

#include <gtest/gtest.h>

namespace orv {
namespace {

using test::I;
using test::Null;
using test::Rows;
using test::S;

const std::vector<std::string> kIndexFields{"column", "index",    "indid",
                                            "keyno",  "isunique", "constrainttype"};

TEST(CatalogCompleteIndexPart, KindsComeFromTheCatalogNotFromNames) {
    auto rows = Rows(kIndexFields, {{S("Day"), S("pk_looks_like_a_key"), I(1), I(1), I(0), Null()},
                                    {S("Id"), S("Orders_key"), I(2), I(1), I(1), S("PK")},
                                    {S("A"), S("UX_AB"), I(3), I(1), I(1), Null()},
                                    {S("B"), S("UX_AB"), I(3), I(2), I(1), Null()},
                                    {S("Code"), S("UQ_Code"), I(4), I(1), I(1), S("UQ")},
                                    {S("Note"), S("IX_Note"), I(5), I(1), I(0), Null()}});
    EXPECT_EQ(BuildCompleteIndexPart(*rows),
              "CLUSTERED INDEX [pk_looks_like_a_key] ([Day])\r\n"
              "CONSTRAINT [Orders_key] PRIMARY KEY NONCLUSTERED ([Id])\r\n"
              "UNIQUE INDEX [UX_AB] ([A], [B])\r\n"
              "UNIQUE INDEX [UQ_Code] ([Code])\r\n"
              "INDEX [IX_Note] ([Note])\r\n");
    auto clusteredKey = Rows(kIndexFields, {{S("Id"), S("PK_T"), I(1), I(1), I(1), S("PK ")}});
    EXPECT_EQ(BuildCompleteIndexPart(*clusteredKey),
              "CONSTRAINT [PK_T] PRIMARY KEY CLUSTERED ([Id])\r\n");
    auto none = Rows(kIndexFields, {});
    EXPECT_EQ(BuildCompleteIndexPart(*none), "");
}

TEST(CatalogCompleteConstraints, OneLinePerConstraintWithLongTextsJoined) {
    auto rows = Rows({"kind", "name", "column", "definition", "seq"},
                     {{I(1), S("DF_A"), S("Qty"), S("(1)"), I(1)},
                      {I(1), S("DF_B"), S("Made"), S("(getdate())"), I(1)},
                      {I(2), S("CK_Long"), S(""), S("([a] > 0 AND "), I(1)},
                      {I(2), S("CK_Long"), S(""), S("[b] < 9)"), I(2)},
                      {I(3), S("UQ_AB"), S("A"), S(""), I(1)},
                      {I(3), S("UQ_AB"), S("B"), S(""), I(2)},
                      {I(3), S("UQ_C"), S("C"), S(""), I(1)}});
    EXPECT_EQ(BuildConstraintLines(*rows), "CONSTRAINT [DF_A] DEFAULT (1) FOR [Qty]\r\n"
                                           "CONSTRAINT [DF_B] DEFAULT (getdate()) FOR [Made]\r\n"
                                           "CONSTRAINT [CK_Long] CHECK ([a] > 0 AND [b] < 9)\r\n"
                                           "CONSTRAINT [UQ_AB] UNIQUE ([A], [B])\r\n"
                                           "CONSTRAINT [UQ_C] UNIQUE ([C])\r\n");
    auto none = Rows({"kind", "name", "column", "definition", "seq"}, {});
    EXPECT_EQ(BuildConstraintLines(*none), "");
}

TEST(CatalogCompleteNames, TheServersGeneratedShapeIsRecognised) {
    for (const char* generated :
         {"DF__AppSettin__Value__3B75D760", "CK__CustomerA__Addre__1DE57479", "PK__A__735B0927",
          "FK__B__B_COL1__75435199", "PK__Customer__9AA3001A15FDE023", "UQ__T__1A2B3C4D"})
        EXPECT_TRUE(LooksLikeGeneratedConstraintName(generated)) << generated;
    for (const char* named :
         {"DF_Customers_CreditLimit", "PK_Orders", "PK__1A2B3C4D", "XX__T__1A2B3C4D",
          "DF__T__1a2b3c4d", "DF__T__1A2B3C4", "DF__T_1A2B3C4D", "CK__T__Col__1A2B3C4DE", ""})
        EXPECT_FALSE(LooksLikeGeneratedConstraintName(named)) << named;
}

// Names the server generated are left out when asked: on SQL Server 2000 by their shape, on later
// servers by the catalog's flag alone. Constraints without names take their place by what they
// say, so two databases whose generated names sort differently give the same lines.
TEST(CatalogCompleteNames, GeneratedNamesAreLeftOutAndPlacedByTheirText) {
    const std::vector<std::string> fields{"kind",       "name", "column",
                                          "definition", "seq",  "systemnamed"};
    auto rows = [&](const char* first, const char* second) {
        return Rows(fields, {{I(1), S("DF_Named"), S("A"), S("(0)"), I(0), I(0)},
                             {I(2), S(first), S(""), S("(b > 1)"), I(0), I(1)},
                             {I(2), S(second), S(""), S("(a > 0)"), I(0), I(1)},
                             {I(2), S("CK_Named"), S(""), S("(c > 2)"), I(0), I(0)}});
    };
    const std::string expected = "CONSTRAINT [DF_Named] DEFAULT (0) FOR [A]\r\n"
                                 "CHECK (a > 0)\r\n"
                                 "CHECK (b > 1)\r\n"
                                 "CONSTRAINT [CK_Named] CHECK (c > 2)\r\n";
    const ConstraintNaming sql2000{true, 8};
    EXPECT_EQ(BuildConstraintLines(*rows("CK__T__0000000A", "CK__T__0000000B"), sql2000), expected);
    EXPECT_EQ(BuildConstraintLines(*rows("CK__T__F000000A", "CK__T__0000000B"), sql2000), expected);
    // A later server's flag decides, whatever the name looks like.
    EXPECT_EQ(BuildConstraintLines(*rows("odd", "name"), ConstraintNaming{true, 10}), expected);
    // Not asked: every name stays, in the server's order.
    EXPECT_EQ(BuildConstraintLines(*rows("CK__T__0000000A", "CK__T__0000000B"),
                                   ConstraintNaming{false, 10}),
              "CONSTRAINT [DF_Named] DEFAULT (0) FOR [A]\r\n"
              "CONSTRAINT [CK__T__0000000A] CHECK (b > 1)\r\n"
              "CONSTRAINT [CK__T__0000000B] CHECK (a > 0)\r\n"
              "CONSTRAINT [CK_Named] CHECK (c > 2)\r\n");

    // Keys: only a constraint's index can have a generated name.
    auto keys = Rows({"column", "index", "indid", "keyno", "isunique", "constrainttype"},
                     {{S("Id"), S("PK__Orders__1A2B3C4D"), I(1), I(1), I(1), S("PK")},
                      {S("Code"), S("UQ__Orders__2B3C4D5E"), I(2), I(1), I(1), S("UQ")},
                      {S("Day"), S("IX__Orders__3C4D5E6F"), I(3), I(1), I(0), Null()}});
    EXPECT_EQ(BuildCompleteIndexPart(*keys, sql2000), "PRIMARY KEY CLUSTERED ([Id])\r\n"
                                                      "UNIQUE INDEX ([Code])\r\n"
                                                      "INDEX [IX__Orders__3C4D5E6F] ([Day])\r\n");
}

TEST(CatalogCompleteRelationship, AllPairsOfTheKeyOnTheListedTable) {
    auto first =
        Rows({"foreignkey", "foreigncolumn", "referencedtable", "referencedcolumn", "tablename"},
             {{S("FK_Moves_Levels"), S("WarehouseID"), S("Levels"), S("WarehouseID"), S("Moves")}});
    // A key of the same name on another table (another schema) comes first by id.
    auto pairs = Rows({"constid", "tablename", "foreigncolumn", "referencedcolumn"},
                      {{I(5), S("Other"), S("X"), S("Y")},
                       {I(9), S("Moves"), S("WarehouseID"), S("WarehouseID")},
                       {I(9), S("Moves"), S("ProductID"), S("ProductID")}});
    EXPECT_EQ(BuildCompleteRelationshipText(*first, *pairs),
              "TABLE Moves\r\nCONSTRAINT [FK_Moves_Levels]\r\n"
              "FOREIGN KEY [WarehouseID], [ProductID]\r\n"
              "REFERENCES [Levels] [WarehouseID], [ProductID]");
    // No pairs read: the first row's pair, as in the plain text.
    auto empty = Rows({"constid", "tablename", "foreigncolumn", "referencedcolumn"}, {});
    EXPECT_EQ(BuildCompleteRelationshipText(*first, *empty),
              "TABLE Moves\r\nCONSTRAINT [FK_Moves_Levels]\r\nFOREIGN KEY [WarehouseID]\r\n"
              "REFERENCES [Levels] [WarehouseID]");
}

} // namespace
} // namespace orv
