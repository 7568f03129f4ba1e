// Names inside generated SQL, the type table, and the listing queries.
#include "catalog/combo_control.h"
#include "catalog/listing.h"
#include "catalog/object_types.h"
#include "catalog/schemas.h"
#include "catalog/sql_quote.h"
#include "catalog/table_script.h"
#include "core/settings.h"
#include "test_env.h"

#include <gtest/gtest.h>

namespace orv {
namespace {

TEST(CatalogNames, BracketNameAddsOnlyMissingBrackets) {
    EXPECT_EQ(BracketName("Orders"), "[Orders]");
    EXPECT_EQ(BracketName("[Orders]"), "[Orders]");
    EXPECT_EQ(BracketName("Orders]"), "[Orders]");
    EXPECT_EQ(BracketName("[x"), "[x]");
    EXPECT_EQ(BracketName("a]b"), "[a]b]");
    EXPECT_EQ(BracketName(""), "[]");
}

TEST(CatalogNames, NamesCannotLeaveTheirLiteralOrIdentifier) {
    EXPECT_EQ(SqlLiteral("Orders"), "Orders");
    EXPECT_EQ(SqlLiteral("x'); DROP TABLE t; --"), "x''); DROP TABLE t; --");
    EXPECT_EQ(SqlLiteral("''"), "''''");

    // Ordinary names are bracketed exactly as before.
    EXPECT_EQ(SafeIdentifier("Orders"), "[Orders]");
    EXPECT_EQ(SafeIdentifier("[sales].[Orders]"), "[sales].[Orders]");
    EXPECT_EQ(SafeIdentifier("Order Details"), "[Order Details]");
    // A "]" inside a bare name is doubled, so the statement cannot continue after it.
    EXPECT_EQ(SafeIdentifier("a]; DROP TABLE t; --"), "[a]]; DROP TABLE t; --]");
    // Something that looks bracketed but has text after the closing bracket is one bare name.
    EXPECT_EQ(SafeIdentifier("[a]; DROP TABLE t; --]"), "[[a]]; DROP TABLE t; --]]]");
    EXPECT_EQ(SafeIdentifier("[dbo].[a]]; x]"), "[dbo].[a]]; x]");

    EXPECT_TRUE(IsQuotedIdentifierChain("[a]]b]"));
    EXPECT_FALSE(IsQuotedIdentifierChain("[a]b]"));
    EXPECT_FALSE(IsQuotedIdentifierChain("[a]."));
    EXPECT_FALSE(IsQuotedIdentifierChain("dbo.[a]"));
    EXPECT_EQ(QuoteIdentifierPart("sales"), "[sales]");
    EXPECT_EQ(QuoteIdentifierPart("[sales]"), "[sales]");
}

TEST(CatalogNames, BareNameDropsTheSchemaPrefix) {
    EXPECT_EQ(BareObjectName("sales.Orders"), "Orders");
    EXPECT_EQ(BareObjectName("  Orders "), "Orders");
    EXPECT_EQ(BareObjectName("a.b.c"), "c");
}

TEST(CatalogNames, TriggerSchemaIsReadBetweenCreateTriggerAndOn) {
    EXPECT_EQ(
        SchemaFromTriggerText("CREATE TRIGGER [sales].[trg_x] ON [sales].[Orders] FOR INSERT"),
        "sales");
    // Without brackets the whole text between the words is taken, as the catalog gives it.
    EXPECT_EQ(SchemaFromTriggerText("CREATE TRIGGER trg_x ON Orders FOR INSERT"), "trg_x");
    EXPECT_EQ(SchemaFromTriggerText("create trigger trg_x on Orders"), "");
    EXPECT_EQ(SchemaFromTriggerText("CREATE TRIGGER trg_x on Orders"), "");
}

TEST(CatalogNames, FullNamesAndIgnoredColumns) {
    ServerEntry s;
    s.Name = "SRV";
    EXPECT_EQ(GetObjectFullName(s, "Sales", "Orders", false), "SRV.Sales.Orders");
    EXPECT_EQ(GetObjectFullName(s, "Sales", "", false), "SRV.Sales");
    EXPECT_EQ(GetObjectFullName(s, "Sales", "Orders", true),
              "Orders (Database: Sales, Server: SRV)");
    EXPECT_TRUE(IsColumnIgnored({"x", "amount"}, "Amount"));
    EXPECT_FALSE(IsColumnIgnored({"amounts"}, "Amount"));
    EXPECT_FALSE(IsColumnIgnored({}, ""));
}

TEST(CatalogTypes, NamesFlagsAndXtypes) {
    EXPECT_EQ(GetObjectTypeName(kTypeTable, true), "Table");
    EXPECT_EQ(GetObjectTypeName(kTypeRelationship, false), "relationships");
    EXPECT_EQ(GetObjectTypeName(70, true), "Object");
    EXPECT_EQ(GetObjectTypeName(70, false), "objects");
    EXPECT_EQ(ObjectTypeFlagText(kTypeNone), "0,0,0,0,0,0,0");
    EXPECT_EQ(ObjectTypeFlagText(kTypeView), "0,0,0,1,0,0,0");
    EXPECT_EQ(ObjectTypeFlagText(kTypeConstraint), "0,0,0,0,0,0,1");
    EXPECT_EQ(ObjectTypeFlagText(70), "");
    EXPECT_EQ(OwnerXtype(kTypeFunction), "FN");
    EXPECT_EQ(OwnerXtype(kTypeConstraint), "");
    EXPECT_EQ(ParseObjectType("tables"), kTypeTable);
    EXPECT_EQ(ParseObjectType("Procedures"), kTypeProcedure);
    EXPECT_EQ(ParseObjectType("view"), kTypeView);
    EXPECT_EQ(ParseObjectType("60"), kTypeRelationship);
    EXPECT_FALSE(ParseObjectType("70").has_value());
    EXPECT_FALSE(ParseObjectType("indexes").has_value());
}

TEST(CatalogTypes, TypeSelectorFollowsTheConstraintsSetting) {
    test::TestEnv env;
    MemoryComboControl combo;
    combo.AddItem("stale");
    FillObjectTypeCombo(combo);
    ASSERT_EQ(combo.ListCount(), 6);
    EXPECT_EQ(combo.List(0), "Tables");
    EXPECT_EQ(combo.ItemData(0), kTypeTable);
    EXPECT_EQ(combo.List(5), "Relationships");
    EXPECT_EQ(combo.ItemData(5), kTypeRelationship);
    EXPECT_EQ(combo.ListIndex(), 0);
    EXPECT_EQ(combo.tagHistory, (std::vector<std::string>{"OFF", ""}));

    Settings().AnalyzeConstraints = true;
    FillObjectTypeCombo(combo);
    ASSERT_EQ(combo.ListCount(), 7);
    EXPECT_EQ(combo.List(6), "Constraints");
    EXPECT_EQ(combo.ItemData(6), kTypeConstraint);
}

TEST(CatalogListingQuery, TypeQueriesAreExact) {
    test::TestEnv env;
    EXPECT_EQ(BuildObjSQLString(kTypeProcedure, true),
              "select name, refdate, id from sysobjects where OBJECTPROPERTY(id, "
              "N'IsProcedure') = 1 and xtype <> 'S'  order by name");
    EXPECT_EQ(BuildObjSQLString(kTypeTable, false),
              "select name, refdate, id from sysobjects where OBJECTPROPERTY(id, "
              "N'IsUserTable') = 1 order by name");
    EXPECT_EQ(BuildObjSQLString(kTypeFunction, false),
              "select name, refdate, id from sysobjects where OBJECTPROPERTY(id, "
              "N'IsInlineFunction') = 1 or OBJECTPROPERTY(id, N'IsScalarFunction') = 1  or "
              "OBJECTPROPERTY(id, N'IsTableFunction') = 1 order by name");
    // The system-object option does not touch the key queries.
    EXPECT_EQ(BuildObjSQLString(kTypeRelationship, true),
              BuildObjSQLString(kTypeRelationship, false));
    EXPECT_NE(
        BuildObjSQLString(kTypeConstraint, true).find("si.indid = 1 AND  si.name LIKE 'pk%' AND "),
        std::string::npos);
    EXPECT_TRUE(env.prompter.messages.empty());

    EXPECT_EQ(BuildObjSQLString(70, true), "");
    ASSERT_EQ(env.prompter.messages.size(), 1u);
    EXPECT_EQ(env.prompter.messages[0].text, "BuildObjSQLString, wrong object type passed");
}

} // namespace
} // namespace orv
