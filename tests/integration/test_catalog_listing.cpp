// Listing a database's objects: the queries sent, the order, duplicate names and owners.
#include "catalog/combo_control.h"
#include "catalog/listing.h"
#include "catalog/owners.h"
#include "catalog/schemas.h"
#include "core/paths.h"
#include "core/settings.h"
#include "test_catalog_sim.h"
#include "util/memory_list_control.h"
#include "util/memory_text_view.h"
#include "util/text.h"

namespace orv {
namespace {

using test::BothVersions;
using test::CatalogSim;
using test::kVersion2000;
using test::kVersion2008;

std::vector<std::string> Names(const ListControl& list) {
    std::vector<std::string> out;
    for (int row = 0; row < list.Count(); ++row)
        out.push_back(list.CellText(row, 0));
    return out;
}

TEST_P(BothVersions, ListingSendsTheTypeQueryAndKeepsNameOrder) {
    CatalogSim f(GetParam(), {"cat_catalog.sql"});
    ASSERT_SIM_STARTED(f);
    MemoryListControl list;
    MemoryTextView view;
    LoadObjects(f.server, list, view, kTypeProcedure, "CatDb", true);
    EXPECT_TRUE(f.Received("CatDb", "select name, refdate, id from sysobjects where "
                                    "OBJECTPROPERTY(id, N'IsProcedure') = 1 and xtype <> 'S'  "
                                    "order by name"));
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(BareObjectName(list.CellText(0, 0)), "GetOrders");
    EXPECT_EQ(list.CellText(2, 0), "LongReport");
    EXPECT_EQ(list.CurrentRow(), 0);
    // The reference date is kept upper case and the id is the catalog's.
    EXPECT_EQ(list.CellText(0, 1), ToUpperAscii(list.CellText(0, 1)));
    EXPECT_NE(list.CellText(0, 1).find('/'), std::string::npos);
    EXPECT_NE(list.CellText(0, 2), list.CellText(1, 2));
    // Show-first puts the selected procedure's text into the view.
    EXPECT_NE(view.Text().find("CREATE PROCEDURE"), std::string::npos);

    LoadObjects(f.server, list, view, kTypeView, "CatDb", false);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"vOrders"}));
    LoadObjects(f.server, list, view, kTypeTrigger, "CatDb", false);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"trOrders"}));
    LoadObjects(f.server, list, view, kTypeFunction, "CatDb", false);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"fnTotal"}));
}

TEST_P(BothVersions, DuplicateTableNamesArePrefixedOnlyOnLaterServers) {
    CatalogSim f(GetParam(), {"cat_catalog.sql"});
    ASSERT_SIM_STARTED(f);
    MemoryListControl list;
    MemoryTextView view;
    LoadObjects(f.server, list, view, kTypeTable, "CatDb", false);
    if (GetParam() == kVersion2000) {
        EXPECT_EQ(Names(list), (std::vector<std::string>{"Bare", "Customers", "Logs", "Notes",
                                                         "Orders", "Orders", "Regions"}));
    } else {
        auto names = Names(list);
        ASSERT_EQ(names.size(), 7u);
        // The two Orders come back in the server's order; each carries its own schema.
        std::vector<std::string> pair{names[4], names[5]};
        std::sort(pair.begin(), pair.end());
        EXPECT_EQ(pair, (std::vector<std::string>{"dbo.Orders", "sales.Orders"}));
        EXPECT_EQ(names[3], "Notes");
        EXPECT_EQ(names[6], "Regions");
    }
}

TEST_P(BothVersions, ThreeEqualNamesAndCaseDifferences) {
    CatalogSim f(GetParam(), {"cat_catalog.sql", "cat_duplicates.sql"});
    ASSERT_SIM_STARTED(f);
    MemoryListControl list;
    MemoryTextView view;
    LoadObjects(f.server, list, view, kTypeView, "CatDup", false);
    auto names = Names(list);
    ASSERT_EQ(names.size(), 5u);
    // Names that differ in letter case only are not duplicates.
    std::vector<std::string> pair(names.begin(), names.begin() + 2);
    std::sort(pair.begin(), pair.end());
    EXPECT_EQ(pair, (std::vector<std::string>{"Summary", "summary"}));
    std::vector<std::string> three(names.begin() + 2, names.end());
    std::sort(three.begin(), three.end());
    if (GetParam() == kVersion2000)
        EXPECT_EQ(three, (std::vector<std::string>{"Totals", "Totals", "Totals"}));
    else
        EXPECT_EQ(three, (std::vector<std::string>{"dbo.Totals", "north.Totals", "south.Totals"}));
}

TEST_P(BothVersions, KeysAreListedFromTheirOwnQueries) {
    CatalogSim f(GetParam(), {"cat_catalog.sql"});
    ASSERT_SIM_STARTED(f);
    MemoryListControl list;
    MemoryTextView view;
    LoadObjects(f.server, list, view, kTypeRelationship, "CatDb", true);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"FK_Orders_Customers"}));
    EXPECT_EQ(view.Text(), "TABLE Orders\r\nCONSTRAINT [FK_Orders_Customers]\r\nFOREIGN KEY "
                           "[CustomerID]\r\nREFERENCES [Customers] [CustomerID]");

    LoadObjects(f.server, list, view, kTypeConstraint, "CatDb", true);
    // Clustered primary keys only: IX_C is clustered but not a key, IX_Orders_Customer is not
    // clustered.
    EXPECT_EQ(Names(list), (std::vector<std::string>{"PK_Customers", "PK_Orders"}));
    EXPECT_EQ(view.Text(), "CONSTRAINT [PK_Customers] \r\nPRIMARY KEY CLUSTERED \r\nON COLUMN "
                           "[CustomerID]\r\nON TABLE [Customers]");
}

TEST_P(BothVersions, OwnerSelectorAndFilter) {
    CatalogSim f(GetParam(), {"cat_catalog.sql"});
    ASSERT_SIM_STARTED(f);
    Settings().ShowOwners = true;
    MemoryComboControl types;
    FillObjectTypeCombo(types);
    types.SetListIndex(1); // Procedures
    MemoryComboControl owners;
    LoadOwners(f.server, "CatDb", types, owners);
    ASSERT_GE(owners.ListCount(), 3);
    EXPECT_EQ(owners.List(0), "All Owners");
    EXPECT_EQ(owners.ListIndex(), 0);
    std::vector<std::string> listed;
    for (int i = 1; i < owners.ListCount(); ++i)
        listed.push_back(owners.List(i));
    EXPECT_NE(std::find(listed.begin(), listed.end(), "dbo"), listed.end());
    EXPECT_NE(std::find(listed.begin(), listed.end(), "sales"), listed.end());

    MemoryListControl databases;
    databases.AddItem("CatDb");
    databases.SetCurrentRow(0);
    MemoryListControl objects;
    MemoryTextView view;
    FilterObjectsByOwner(f.server, types, databases, objects, view, "dbo");
    // Each row is judged by the id it carries: of the two GetOrders only dbo's stays, under
    // the name it is listed with.
    ASSERT_GE(objects.Count(), 1);
    int getOrders = 0;
    for (int row = 0; row < objects.Count(); ++row) {
        int32_t id = 0;
        ASSERT_TRUE(ParseInt32(objects.CellText(row, 2), id));
        EXPECT_EQ(GetOwnerById(f.server, "CatDb", id), "dbo") << objects.CellText(row, 0);
        const std::string name = objects.CellText(row, 0);
        if (name == "GetOrders" || name == "dbo.GetOrders")
            ++getOrders;
    }
    EXPECT_EQ(getOrders, 1);
    EXPECT_EQ(objects.Tag(), "");

    types.SetListIndex(2); // Functions: an owner of none of them leaves the list empty
    FilterObjectsByOwner(f.server, types, databases, objects, view, "nobody");
    EXPECT_EQ(objects.Count(), 0);
    EXPECT_EQ(view.Text(), "<<Nothing to show>>");
}

INSTANTIATE_TEST_SUITE_P(Catalog, BothVersions,
                         ::testing::Values(std::string(kVersion2000), std::string(kVersion2008)),
                         test::VersionName);

} // namespace
} // namespace orv
