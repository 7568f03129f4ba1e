// The catalog cache, the search and the reference check against the simulator, and
// `orvane-cli find` / `check-refs` as a user runs them: the reference fixture's listed broken
// references are found exactly (no miss, no false alarm) under both server versions.
#include "cli_runner.h"
#include "explore/explore_commands.h"

#include <fstream>
#include <set>
#include <sstream>

namespace orv {
namespace {

using test::CatalogSim;
using test::CliResult;

constexpr const char* kRefsDb = "RefsCheck";

// The fixture's own list: "module TAB line TAB reference TAB reason" for every MISSING and
// NOTCHECKED line at its top.
std::set<std::string> ListedFindings() {
    std::ifstream in(test::FixtureFile("refs_modules.sql"));
    std::set<std::string> out;
    std::string line;
    while (std::getline(in, line)) {
        for (const auto& [tag, reason] :
             {std::pair<std::string, std::string>{"-- MISSING ", kReasonMissing},
              {"-- NOTCHECKED ", kReasonNotChecked}}) {
            if (line.rfind(tag, 0) != 0)
                continue;
            std::istringstream words(line.substr(tag.size()));
            std::string module, number;
            words >> module >> number;
            std::string reference;
            std::getline(words, reference);
            out.insert(module + "\t" + number + "\t" + reference.substr(1) + "\t" + reason);
        }
    }
    return out;
}

CatalogLoad Load(const CatalogSim& f, const std::string& db, const std::vector<ObjectType>& types,
                 DbCatalogCache* cache = nullptr) {
    NullProgressSink progress;
    CancelToken cancel;
    QueryPlace place{f.server, db, 30};
    if (cache)
        return cache->Load(place, types, CatalogReadOptions{}, progress, cancel);
    return LoadDbCatalog(place, types, CatalogReadOptions{}, nullptr, progress, cancel);
}

class ExploreSim : public test::CliTest {};

// The lines in order (the listing's order depends on the server version).
std::string Sorted(const std::string& text) {
    std::set<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.insert(line + "\n");
    std::string out;
    for (const auto& l : lines)
        out += l;
    return out;
}

TEST_P(ExploreSim, TheReferenceFixtureGivesNoFalseAlarmAndNoMiss) {
    CatalogSim f(GetParam(), {"refs_modules.sql"});
    ASSERT_SIM_STARTED(f);
    const CatalogLoad load = Load(f, kRefsDb, ReferenceCheckTypes());
    ASSERT_TRUE(load.Catalog) << load.Problem;
    std::set<std::string> found;
    for (const auto& finding : CheckCatalogReferences(*load.Catalog))
        EXPECT_TRUE(found.insert(CheckRefsLine(finding)).second) << CheckRefsLine(finding);
    const std::set<std::string> listed = ListedFindings();
    ASSERT_EQ(listed.size(), 22u);
    for (const auto& l : listed)
        EXPECT_EQ(found.count(l), 1u) << "missed: " << l;
    for (const auto& l : found)
        EXPECT_EQ(listed.count(l), 1u) << "false alarm: " << l;
}

TEST_P(ExploreSim, TheCacheServesLaterSearchesUntilDropped) {
    CatalogSim f(GetParam(), {"refs_modules.sql"});
    ASSERT_SIM_STARTED(f);
    DbCatalogCache cache;
    const CatalogLoad first = Load(f, kRefsDb, {kTypeTable, kTypeProcedure}, &cache);
    ASSERT_TRUE(first.Catalog) << first.Problem;
    f.sim->ClearStatements();
    // Asking again, or for fewer types, sends nothing; a further type reads only that type.
    EXPECT_EQ(Load(f, "refscheck", {kTypeProcedure}, &cache).Catalog, first.Catalog);
    EXPECT_TRUE(f.Sql(kRefsDb).empty());
    const CatalogLoad more = Load(f, kRefsDb, {kTypeTable, kTypeProcedure, kTypeView}, &cache);
    ASSERT_TRUE(more.Catalog);
    EXPECT_TRUE(more.Catalog->Has(kTypeView));
    EXPECT_EQ(more.Catalog->Find(kTypeTable), &more.Catalog->Types.at(kTypeTable));
    for (const auto& sql : f.Sql(kRefsDb))
        EXPECT_EQ(sql.find("syscolumns"), std::string::npos) << "tables read again: " << sql;

    // Every searched place, against what the server holds.
    std::string error;
    SearchRequest r;
    r.In = kSearchNames | kSearchTexts | kSearchColumns;
    auto p = SearchPattern::Compile("settingkey", false, false, error);
    std::vector<std::string> lines;
    for (const auto& m : SearchCatalog(*more.Catalog, r, *p).Matches)
        lines.push_back(FindLine(m));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "table\tapp.Settings\tline 1\t[SettingKey] [varchar] (50) NOT NULL");
    EXPECT_EQ(lines[1].rfind("table\tapp.Settings\tline 4\tCONSTRAINT [PK_", 0), 0u) << lines[1];
    // A column's match shows the line that declares it.
    EXPECT_EQ(lines[2],
              "table\tapp.Settings\tcolumn SettingKey\t[SettingKey] [varchar] (50) NOT NULL");
    EXPECT_EQ(lines[3], "procedure\tapp.usp_Refresh\tline 7\t    UPDATE app.Settings SET "
                        "Value = N'' WHERE SettingKey = 'x'");

    cache.DropServer(f.server.Name);
    EXPECT_EQ(cache.Any(f.server.Name, kRefsDb), nullptr);
}

TEST_P(ExploreSim, AFailedOrStoppedLoadKeepsNothing) {
    CatalogSim f(GetParam(), {"refs_modules.sql"});
    ASSERT_SIM_STARTED(f);
    DbCatalogCache cache;
    const CatalogLoad gone = Load(f, "NoSuchDatabase", SearchableTypes(), &cache);
    EXPECT_EQ(gone.Catalog, nullptr);
    EXPECT_EQ(gone.Outcome, RunOutcome::Failed);
    EXPECT_NE(gone.Problem.find("NoSuchDatabase"), std::string::npos) << gone.Problem;
    EXPECT_NE(gone.ErrorNumber, 0);

    NullProgressSink progress;
    CancelToken cancel;
    cancel.RequestCancel();
    const CatalogLoad stopped = cache.Load(QueryPlace{f.server, kRefsDb, 30}, SearchableTypes(),
                                           CatalogReadOptions{}, progress, cancel);
    EXPECT_EQ(stopped.Outcome, RunOutcome::Cancelled);
    EXPECT_EQ(stopped.Catalog, nullptr);
    EXPECT_EQ(cache.Any(f.server.Name, kRefsDb), nullptr);
}

TEST_P(ExploreSim, TheCommandLineVerbs) {
    CatalogSim f(GetParam(), {"refs_modules.sql"});
    ASSERT_SIM_STARTED(f);
    Store(f);
    const std::string server = "'" + f.server.Name + "' ";
    CliResult r = Run("check-refs " + server + kRefsDb);
    EXPECT_EQ(r.status, 1) << r.err;
    std::set<std::string> lines;
    std::istringstream out(r.out);
    for (std::string line; std::getline(out, line);)
        lines.insert(line);
    EXPECT_EQ(lines, ListedFindings());

    r = Run("check-refs " + server + kRefsDb + " dbo.usp_Valid");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    r = Run("check-refs " + server + kRefsDb + " fn_Broken");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, "dbo.fn_Broken\t5\tdbo.NoSuchItems\tdoes not exist\n");
    r = Run("check-refs " + server + kRefsDb + " NoSuchModule");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("NoSuchModule"), std::string::npos) << r.err;

    r = Run("find " + server + kRefsDb + " 'usp_*'");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Sorted(r.out),
              "procedure\tapp.usp_Refresh\tname\tCREATE PROCEDURE app.usp_Refresh\n"
              "procedure\tdbo.usp_Broken\tname\tCREATE PROCEDURE dbo.usp_Broken\n"
              "procedure\tdbo.usp_Log\tname\tCREATE PROCEDURE dbo.usp_Log @Msg nvarchar(200)\n"
              "procedure\tdbo.usp_Valid\tname\tCREATE PROCEDURE dbo.usp_Valid @CustomerID int\n");
    r = Run("find " + server + kRefsDb + " 'NoSuch(Log|Items)' --regex --in texts");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(
        Sorted(r.out),
        "function\tdbo.fn_Broken\tline 5\t    RETURN (SELECT COUNT(*) FROM dbo.NoSuchItems)\n"
        "procedure\tdbo.usp_Broken\tline 6\t    INSERT INTO dbo.NoSuchLog (Msg) VALUES ('x')\n");
    r = Run("find " + server + kRefsDb + " SettingKey --in=columns,names");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find('\t', 6)), "table\tapp.Settings");
    r = Run("find " + server + kRefsDb + " nothing_like_this --in names,texts,columns");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, "");
    // An invalid expression runs nothing; a database that cannot be opened is an error.
    f.sim->ClearStatements();
    r = Run("find " + server + kRefsDb + " '(' --regex");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("regular expression is not valid"), std::string::npos) << r.err;
    EXPECT_TRUE(f.Sql(kRefsDb).empty());
    r = Run("find " + server + "NoSuchDatabase x");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("cannot read the catalog of database 'NoSuchDatabase'"), std::string::npos)
        << r.err;
    r = Run("find " + server + kRefsDb + " x --in tables");
    EXPECT_EQ(r.status, 2);
    r = Run("check-refs " + server);
    EXPECT_EQ(r.status, 2);
    r = Run("find --help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("--regex"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Versions, ExploreSim,
                         ::testing::Values(test::kVersion2000, test::kVersion2008),
                         test::VersionName);

} // namespace
} // namespace orv

namespace orv {
namespace {

// The demo databases are a realistic body of procedures, functions, views and triggers in
// working order: the check finds nothing to report in either.
TEST(ExploreDemo, AWorkingDatabaseHasNoMissingReferences) {
    CatalogSim f(test::kVersion2008, {"demo_source.sql", "demo_target.sql"});
    ASSERT_SIM_STARTED(f);
    for (const char* db : {"OrvaneDemoSource", "OrvaneDemoTarget"}) {
        const CatalogLoad load = Load(f, db, ReferenceCheckTypes());
        ASSERT_TRUE(load.Catalog) << load.Problem;
        EXPECT_GT(load.Catalog->Find(kTypeProcedure)->Objects.size(), 10u);
        for (const auto& finding : CheckCatalogReferences(*load.Catalog))
            ADD_FAILURE() << db << ": " << CheckRefsLine(finding);
    }
}

} // namespace
} // namespace orv
