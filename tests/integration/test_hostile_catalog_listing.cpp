// Listings, owners and schemas of the hostile catalog: every name comes back exactly, the
// qualified names are bracketed so that they can be executed, and the statement log holds
// nothing but the program's own query shapes.
#include "catalog/listing.h"
#include "catalog/owners.h"
#include "catalog/schemas.h"
#include "test_hostile_catalog.h"
#include "util/memory_list_control.h"
#include "util/memory_text_view.h"
#include "util/text.h"

#include <map>

namespace orv {
namespace {

using namespace test::hostile;
using test::kVersion2000;

class HostileListing : public test::BothVersions {};

std::multiset<std::string> Listed(ServerEntry& server, ObjectType type,
                                  std::map<std::string, int32_t>* ids = nullptr) {
    MemoryListControl list;
    MemoryTextView view;
    LoadObjects(server, list, view, type, kDb, false);
    std::multiset<std::string> names;
    for (int row = 0; row < list.Count(); ++row) {
        names.insert(list.CellText(row, 0));
        int32_t id = 0;
        EXPECT_TRUE(ParseInt32(list.CellText(row, 2), id) && id > 0) << list.CellText(row, 0);
        if (ids)
            (*ids)[list.CellText(row, 0)] = id;
    }
    return names;
}

std::multiset<std::string> AsMulti(const std::set<std::string>& names) {
    return {names.begin(), names.end()};
}

TEST_P(HostileListing, EveryTypeListsEveryNameExactly) {
    HostileSim f(GetParam());
    ASSERT_SIM_STARTED(f);
    const bool v8 = GetParam() == kVersion2000;

    EXPECT_EQ(Listed(f.server, kTypeTable), ListedTables(v8));
    EXPECT_EQ(Listed(f.server, kTypeProcedure), AsMulti(Procedures()));
    EXPECT_EQ(Listed(f.server, kTypeView), AsMulti(Views()));
    EXPECT_EQ(Listed(f.server, kTypeFunction), AsMulti(Functions()));
    EXPECT_EQ(Listed(f.server, kTypeTrigger), AsMulti(Triggers()));
    EXPECT_EQ(Listed(f.server, kTypeRelationship), AsMulti(Relationships()));
    EXPECT_EQ(Listed(f.server, kTypeConstraint), AsMulti(Constraints()));
    EXPECT_TRUE(f.env.prompter.messages.empty());
    f.ExpectCleanLog();
}

TEST_P(HostileListing, OwnersAndSchemasComeBackWhole) {
    HostileSim f(GetParam());
    ASSERT_SIM_STARTED(f);
    std::string owners;
    GetAllOwners(f.server, kDb, kTypeTable, owners);
    const auto pieces = Split(owners, ",");
    const std::set<std::string> found(pieces.begin(), pieces.end());
    for (const std::string owner : {"dbo", kOddSchema, kCyrillicSchema})
        EXPECT_EQ(found.count(owner), 1u) << owner << " in " << owners;

    EXPECT_EQ(GetOwner(f.server, kDb, "proc'%_", kTypeProcedure), kOddSchema);
    EXPECT_EQ(GetOwner(f.server, kDb, "Ledger'; --", kTypeTable), kCyrillicSchema);
    EXPECT_EQ(GetOwner(f.server, kDb, "usp_O'Neil; DROP TABLE Victim --", kTypeProcedure), "dbo");
    EXPECT_EQ(GetOwner(f.server, kDb, Name128Emoji(), kTypeTable), "dbo");

    std::map<std::string, int32_t> ids;
    Listed(f.server, kTypeTable, &ids);
    std::map<std::string, int32_t> procIds;
    Listed(f.server, kTypeProcedure, &procIds);
    const std::string odd = "[own'er]]/*x]";
    const std::string cyr = "[" + std::string(kCyrillicSchema) + "]";
    // The extended name is what counts and scripts execute: each part bracketed, "]" doubled.
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Ledger'; --", cyr + ".[Ledger'; --]"},
        {"a]b", "[a]]b]"},
        {"[Victim]", "[[Victim]]]"},
        {"[x", "[[x]"},
        {"'; DROP TABLE Victim --", "['; DROP TABLE Victim --]"},
        {Name128Emoji(), "[" + ReplaceAll(Name128Emoji(), "]", "]]") + "]"},
        {Name128Ascii(), "[" + ReplaceAll(Name128Ascii(), "]", "]]") + "]"},
        // Whole names, not schema.name: taken whole both by id and when typed.
        {"x'); DROP TABLE dbo.Victim; --", "[x'); DROP TABLE dbo.Victim; --]"},
        {"Sales.Q1.Final", "[Sales.Q1.Final]"},
    };
    const bool v8 = GetParam() == kVersion2000;
    for (const auto& [name, plain] : expected) {
        ASSERT_EQ(ids.count(name), 1u) << name;
        // Later servers name the schema of a known id even when it is dbo.
        const std::string want = !v8 && plain.rfind(cyr, 0) != 0 ? "[dbo]." + plain : plain;
        EXPECT_EQ(GetExtendedObjectName(f.server, kDb, name, kTypeTable, ids[name]), want);
        EXPECT_EQ(GetExtendedObjectName(f.server, kDb, name, kTypeTable, 0), plain) << name;
    }
    EXPECT_EQ(GetExtendedObjectName(f.server, kDb, "proc'%_", kTypeProcedure, procIds["proc'%_"]),
              odd + ".[proc'%_]");
    // A typed schema.name whose name holds "." loses only its schema.
    EXPECT_EQ(GetExtendedObjectName(f.server, kDb, "dbo.Sales.Q1.Final", kTypeTable, 0),
              "[Sales.Q1.Final]");
    if (!v8) {
        for (const std::string schema : {"dbo", kCyrillicSchema}) {
            const std::string listed = schema + ".Import.2019";
            ASSERT_EQ(ids.count(listed), 1u) << listed;
            EXPECT_EQ(GetExtendedObjectName(f.server, kDb, listed, kTypeTable, ids[listed]),
                      "[" + schema + "].[Import.2019]");
        }
        EXPECT_EQ(GetSchemaForObject(f.server, kDb, "proc'%_", kTypeProcedure), kOddSchema);
        EXPECT_EQ(GetSchemaForObject(f.server, kDb, "Ledger'; --", kTypeTable), kCyrillicSchema);
        EXPECT_EQ(GetSchemaForObject(f.server, kDb, "v]iew/*", kTypeView), "dbo");
        EXPECT_EQ(GetExtendedObjectName(f.server, kDb, std::string(kOddSchema) + ".Dup'",
                                        kTypeTable, ids[std::string(kOddSchema) + ".Dup'"]),
                  odd + ".[Dup']");
    }
    EXPECT_TRUE(f.env.prompter.messages.empty());
    f.ExpectCleanLog({"dbo.Sales.Q1.Final"});
}

// The log check itself: a name cut open, or any text outside a shape, is caught.
TEST(HostileLogCheck, NamesOutsideTheirQuotesAreCaught) {
    const std::set<std::string> known = {"a]b", "O'Brien", "Victim", "dbo"};
    const std::string text = "SELECT text FROM syscomments sc INNER JOIN sysobjects so ON sc.id = "
                             "so.id WHERE so.name = ";
    const LogCheck good = CheckStatements({"SELECT COUNT(*) AS RecsCount FROM [a]]b]",
                                           "SELECT COUNT(*) AS RecsCount FROM [dbo].[Victim]",
                                           text + "'O''Brien' ORDER BY sc.colid"},
                                          known);
    EXPECT_TRUE(good.bad.empty());
    EXPECT_EQ(good.namesInside, 4u);
    const std::vector<std::string> bad = {
        "SELECT COUNT(*) AS RecsCount FROM [a]b]",
        "SELECT COUNT(*) AS RecsCount FROM [Victim]; DROP TABLE Victim",
        text + "'O'Brien' ORDER BY sc.colid",
        text + "'Nobody' ORDER BY sc.colid",
        "DROP TABLE Victim",
    };
    EXPECT_EQ(CheckStatements(bad, known).bad, bad);
}

INSTANTIATE_TEST_SUITE_P(Catalog, HostileListing,
                         ::testing::Values(std::string(kVersion2000),
                                           std::string(test::kVersion2008)),
                         test::VersionName);

} // namespace
} // namespace orv
