// Where a scripts folder's scripts come from does not show in its bytes: tables scripted from
// whole-database rows are the scripts the per-table queries give, and a folder written from a
// snapshot is the folder of the database it was taken of, in both version modes, for the demo
// databases and the hostile catalog (dotted, bracketed, Unicode and 128-character names,
// identity columns outside dbo). A snapshot of an earlier release, without the results
// added for folders, still gives a folder: without the user-defined types.
#include "catalog/bulk_catalog.h"
#include "catalog/catalog_keys.h"
#include "catalog/catalog_snapshot.h"
#include "catalog/create_table.h"
#include "catalog/sql_quote.h"
#include "core/settings.h"
#include "dbcompare/script_folder_write.h"
#include "test_catalog_sim.h"
#include "test_hostile_catalog.h"

#include <map>

namespace orv::test {
namespace {

struct SourceCase {
    const char* name;
    std::vector<std::string> fixtures;
    std::vector<std::string> scripts;
    const char* db;
};

std::vector<SourceCase> Cases() {
    return {
        {"DemoSource", {"demo_source.sql"}, {}, "OrvaneDemoSource"},
        {"DemoTarget", {"demo_target.sql"}, {}, "OrvaneDemoTarget"},
        {"Hostile", {"hostile_catalog.sql"}, hostile::GeneratedScripts(), hostile::kDb},
    };
}

struct Live {
    QueryPlace place;
    ServerFacts facts;
};

Live Connect(const CatalogSim& f, const std::string& db) {
    Live live{{f.server, db, 60}, {}};
    OdbcError error;
    std::string sql;
    EXPECT_TRUE(ReadServerFacts(live.place, CancelToken(), live.facts, error, sql))
        << error.description;
    return live;
}

// The file texts by path.
std::map<std::string, std::string> Files(const ScriptFolderContent& content) {
    std::map<std::string, std::string> out;
    for (size_t i = 0; i < content.Manifest.Files.size(); ++i)
        out[content.Manifest.Files[i].Path] = content.Texts[i];
    return out;
}

// Each table's script as the per-table queries give it, by the folder's path of its file.
std::map<std::string, std::string> PerTableScripts(const Live& live,
                                                   const ScriptFolderContent& content) {
    const CancelToken cancel;
    BulkCatalogReader reader(live.place, live.facts, {}, cancel);
    CatalogTypeRead tables;
    OdbcError error;
    std::string sql;
    EXPECT_TRUE(reader.ReadNames(kTypeTable, tables, error, sql)) << error.description;
    std::map<std::string, std::string> out;
    for (const ManifestEntry& e : content.Manifest.Files) {
        if (e.Type != kTypeTable)
            continue;
        for (const CatalogObject& t : tables.Objects) {
            if (t.Ref.Schema != e.Schema || t.Ref.Name != e.Name)
                continue;
            const std::string name =
                e.Schema.empty() ? QuoteCatalogName(e.Name)
                                 : QuoteCatalogName(e.Schema) + "." + QuoteCatalogName(e.Name);
            const TableCreateParts parts =
                GetTableCreateParts(live.place.Server, t.ListedName, live.place.Database, t.Ref.Id,
                                    ",", name, CreateTableOptions{true, true});
            out[e.Path] = TableScriptText(parts, name);
        }
    }
    return out;
}

class FolderSources : public BothVersions {};

TEST_P(FolderSources, TablesFromWholeDatabaseRowsAreThePerTableScriptsByteForByte) {
    Settings().CompleteTableScripts = true;
    Settings().IgnoreSystemConstraintNames = true;
    for (const SourceCase& c : Cases()) {
        CatalogSim f(GetParam(), c.fixtures, c.scripts);
        ASSERT_SIM_STARTED(f);
        const Live live = Connect(f, c.db);
        ScriptFolderContent content;
        OdbcError error;
        std::string sql;
        ASSERT_TRUE(BuildScriptFolder(live.place, live.facts, false, CancelToken(), nullptr,
                                      content, error, sql))
            << error.description << "\n"
            << sql;
        const auto files = Files(content);
        const auto expected = PerTableScripts(live, content);
        ASSERT_FALSE(expected.empty()) << c.name;
        bool seeded = false;
        for (const auto& [path, text] : expected) {
            EXPECT_EQ(files.at(path), text) << c.name << " " << path;
            seeded = seeded || text.find("IDENTITY(") != std::string::npos;
        }
        EXPECT_TRUE(seeded) << c.name << ": no identity column was scripted";
    }
}

TEST_P(FolderSources, AFolderFromASnapshotIsTheFolderOfItsDatabase) {
    for (const SourceCase& c : Cases()) {
        CatalogSim f(GetParam(), c.fixtures, c.scripts);
        ASSERT_SIM_STARTED(f);
        const Live live = Connect(f, c.db);
        const CancelToken cancel;
        OdbcError error;
        std::string sql;
        ScriptFolderContent fromLive;
        ASSERT_TRUE(
            BuildScriptFolder(live.place, live.facts, true, cancel, nullptr, fromLive, error, sql))
            << error.description;
        auto snapshot = std::make_shared<CatalogSnapshot>();
        ASSERT_TRUE(TakeSnapshot(live.place, "Prod", cancel, nullptr, *snapshot, error, sql))
            << error.description << "\n"
            << sql;
        // Through the file, as the command line reads it.
        const std::string path = f.env.PathOf("db.orvsnap");
        std::string message;
        ASSERT_TRUE(WriteSnapshotFile(path, *snapshot, message)) << message;
        auto read = std::make_shared<CatalogSnapshot>();
        ASSERT_TRUE(ReadSnapshotFile(path, *read, message)) << message;
        EXPECT_EQ(read->Header.FormatMinor, kSnapshotFormatMinor);
        SnapshotRows rows(read, path);
        ServerFacts facts;
        ASSERT_TRUE(rows.Facts(facts, error, sql));
        ScriptFolderContent fromSnapshot;
        ASSERT_TRUE(BuildScriptFolderFrom(rows, facts, read->Header.Database, true, cancel, nullptr,
                                          fromSnapshot, error, sql))
            << error.description;
        EXPECT_EQ(ManifestText(fromSnapshot.Manifest), ManifestText(fromLive.Manifest)) << c.name;
        EXPECT_EQ(Files(fromSnapshot), Files(fromLive)) << c.name;
        EXPECT_EQ(fromSnapshot.Skipped, fromLive.Skipped) << c.name;

        // A snapshot of format 1.0 lacks the results added since: no types, and otherwise
        // the same objects.
        CatalogSnapshot older = *read;
        older.Results.erase(kKeyUserTypes);
        older.Results.erase(kKeyIdentitySeeds);
        SnapshotRows olderRows(std::make_shared<const CatalogSnapshot>(older), "older.orvsnap");
        ScriptFolderContent fromOlder;
        ASSERT_TRUE(BuildScriptFolderFrom(olderRows, facts, older.Header.Database, true, cancel,
                                          nullptr, fromOlder, error, sql))
            << error.description;
        std::map<std::string, std::string> expected = Files(fromLive);
        for (auto it = expected.begin(); it != expected.end();)
            it = it->first.rfind("Types/", 0) == 0 ? expected.erase(it) : std::next(it);
        const auto got = Files(fromOlder);
        ASSERT_EQ(got.size(), expected.size()) << c.name;
        for (const auto& [file, text] : got) {
            ASSERT_TRUE(expected.count(file)) << c.name << " " << file;
            // Only an identity seed of a table outside dbo can be missing.
            if (text != expected.at(file)) {
                EXPECT_NE(expected.at(file).find("IDENTITY("), std::string::npos)
                    << c.name << " " << file;
            }
        }
    }
}

// The checked-in file of format 1.0 (see SnapshotFormat1 in the unit tests) still gives a
// folder: every object of it, no types.
TEST(FolderSourcesFormat1, TheCheckedInSnapshotGivesAFolderWithoutAServer) {
    const std::string path = FixtureFile("snapshot_format1.orvsnap");
    auto read = std::make_shared<CatalogSnapshot>();
    std::string message;
    ASSERT_TRUE(ReadSnapshotFile(path, *read, message)) << message;
    SnapshotRows rows(read, path);
    ServerFacts facts;
    OdbcError error;
    std::string sql;
    ASSERT_TRUE(rows.Facts(facts, error, sql));
    ScriptFolderContent content;
    ASSERT_TRUE(BuildScriptFolderFrom(rows, facts, read->Header.Database, false, CancelToken(),
                                      nullptr, content, error, sql))
        << error.description;
    EXPECT_EQ(content.Manifest.Database, "Tiny");
    EXPECT_EQ(content.Manifest.Version, "10.50.1600.1");
    std::vector<std::string> paths;
    for (const ManifestEntry& e : content.Manifest.Files)
        paths.push_back(e.Path);
    EXPECT_EQ(paths, (std::vector<std::string>{"Tables/dbo.Customer.sql", "Tables/dbo.Orders.sql",
                                               "Relationships/dbo.FK_Orders_Customer.sql",
                                               "Views/dbo.vw_Cities.sql",
                                               "Procedures/dbo.usp_Orders.sql"}));
    const auto files = Files(content);
    const std::string& orders = files.at("Tables/dbo.Orders.sql");
    EXPECT_EQ(orders.rfind("CREATE TABLE [dbo].[Orders] (\n", 0), 0u) << orders;
    EXPECT_NE(orders.find("IDENTITY(1,1)"), std::string::npos) << orders;
    EXPECT_NE(orders.find("CREATE INDEX [IX_Orders_Customer] ON [dbo].[Orders]"), std::string::npos)
        << orders;
}

INSTANTIATE_TEST_SUITE_P(Versions, FolderSources,
                         ::testing::Values(std::string(kVersion2000), std::string(kVersion2008)),
                         VersionName);

} // namespace
} // namespace orv::test
