// Scripts folders against the simulator: a database written to a folder and read back (its
// scripts run in a simulator of its own, in the manifest's version mode) compares identical to
// the database, in both version modes, for the demo databases and the hostile catalog; an
// edited file shows exactly its object as different; a broken script is reported with its
// file and line and only its object is not comparable; the same database written twice gives
// byte-identical folders.
#include "catalog/catalog_snapshot.h"
#include "core/settings.h"
#include "dbcompare/compare_all_command.h"
#include "dbcompare/script_folder_read.h"
#include "dbcompare/script_folder_write.h"
#include "dbcompare_support.h"
#include "test_catalog_sim.h"
#include "test_hostile_catalog.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace orv::test {
namespace {

namespace fs = std::filesystem;

struct FolderCase {
    const char* name;
    std::vector<std::string> fixtures;
    std::vector<std::string> scripts;
    const char* db;
};

std::vector<FolderCase> Cases() {
    return {
        {"DemoSource", {"demo_source.sql"}, {}, "OrvaneDemoSource"},
        {"DemoTarget", {"demo_target.sql"}, {}, "OrvaneDemoTarget"},
        {"Hostile", {"hostile_catalog.sql"}, hostile::GeneratedScripts(), hostile::kDb},
    };
}

ScriptFolderContent Build(const CatalogSim& f, const std::string& db) {
    Settings().CompleteTableScripts = true;
    Settings().IgnoreSystemConstraintNames = true;
    QueryPlace place{f.server, db, 60};
    const CancelToken cancel;
    ServerFacts facts;
    OdbcError error;
    std::string sql;
    ScriptFolderContent content;
    EXPECT_TRUE(ReadServerFacts(place, cancel, facts, error, sql)) << error.description;
    EXPECT_TRUE(BuildScriptFolder(place, facts, false, cancel, nullptr, content, error, sql))
        << error.description << "\n"
        << sql;
    return content;
}

void WriteFolder(const ScriptFolderContent& content, const std::string& dir) {
    std::vector<std::string> removed;
    std::string error;
    ASSERT_TRUE(WriteScriptFolder(dir, content, removed, error)) << error;
}

ScriptFolderRead ReadBack(const std::string& dir) {
    ScriptFolderRead read;
    std::string error;
    const CancelToken cancel;
    EXPECT_TRUE(ReadScriptFolder(dir, SqlsimExecutable(), cancel, nullptr, read, error)) << error;
    return read;
}

// The folder (side 0) against the live database (side 1), complete table scripts, with the
// folder's refused scripts marked as the command line marks them.
DbCompareResultsPtr CompareFolder(const CatalogSim& f, const std::string& db,
                                  const ScriptFolderRead& read) {
    DbCompareRequest request = RequestFor(f.server, db, f.server, db);
    request.CompleteTableScripts = true;
    request.IgnoreSystemConstraintNames = true;
    request.Reading = CompareReading::Full;
    request.Snapshot[0] = read.Snapshot;
    request.Server[0].Name = read.Snapshot->Header.Server;
    auto results = std::make_shared<DbCompareResults>(*Compare(request));
    MarkFolderFailures(*results, 0, read.Failures);
    return results;
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::map<std::string, std::string> FolderBytes(const std::string& dir) {
    std::map<std::string, std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file())
            out[fs::relative(e.path(), dir).string()] = Slurp(e.path().string());
    return out;
}

std::string Dump(const DbCompareResults& r) {
    std::string out = r.Problem;
    for (const PairVerdict& p : r.Pairs)
        if (p.Status != PairStatus::Identical)
            out += "\n" + GetObjectTypeName(p.Type, true) + " " +
                   (p.HasSource ? p.Source : p.Target).Name + ": " + PairStatusWord(p.Status) +
                   " " + p.Reason;
    return out;
}

class ScriptFolderRoundTrip : public BothVersions {};

TEST_P(ScriptFolderRoundTrip, AFolderReadBackComparesIdenticalWithItsDatabase) {
    const bool v2000 = GetParam() == std::string(kVersion2000);
    for (const FolderCase& c : Cases()) {
        CatalogSim f(GetParam(), c.fixtures, c.scripts);
        ASSERT_SIM_STARTED(f);
        const std::string dir = f.env.PathOf(std::string(c.name) + "-folder");
        const ScriptFolderContent content = Build(f, c.db);
        ASSERT_FALSE(content.Manifest.Files.empty()) << c.name;
        WriteFolder(content, dir);
        // Every file is where the manifest says, and its name is one Linux takes.
        for (const ManifestEntry& e : content.Manifest.Files) {
            EXPECT_TRUE(fs::is_regular_file(dir + "/" + e.Path)) << c.name << " " << e.Path;
            EXPECT_LE(fs::path(e.Path).filename().string().size(), 255u) << e.Path;
        }
        const ScriptFolderRead read = ReadBack(dir);
        ASSERT_TRUE(read.Snapshot) << c.name;
        EXPECT_EQ(read.Snapshot->Header.VersionText, GetParam()) << c.name;
        EXPECT_EQ(read.Snapshot->Header.Database, c.db);
        const DbCompareResultsPtr r = CompareFolder(f, c.db, read);
        ASSERT_TRUE(r->Complete()) << c.name << ": " << r->Problem;
        std::set<std::string> refusedTables;
        for (const FolderScriptFailure& failure : read.Failures) {
            // Only a server posing as 2000 refuses anything: what SQL Server 2000 lacks ((max)
            // sizes, TRY, TOP (n)), and what needs an object that was refused.
            EXPECT_TRUE(v2000) << c.name << ": " << FolderFailureText(failure);
            if (failure.Object.Type == kTypeTable)
                refusedTables.insert(failure.Object.Name);
        }
        std::set<std::string> skipped(content.Skipped.begin(), content.Skipped.end());
        int identical = 0;
        for (const PairVerdict& p : r->Pairs) {
            const ObjectRef& ref = p.HasSource ? p.Source : p.Target;
            const std::string label = std::string(c.name) + ": " + GetObjectTypeName(p.Type, true) +
                                      " " + ref.Schema + "." + ref.Name + " " +
                                      PairStatusWord(p.Status) + " " + p.Reason;
            switch (p.Status) {
            case PairStatus::Identical:
                ++identical;
                break;
            case PairStatus::NotComparable:
                // Encrypted on the database's side, or a script the 2000 mode refused.
                EXPECT_TRUE(p.Reason.find("encrypted") != std::string::npos ||
                            (v2000 && p.Reason.rfind("script refused: ", 0) == 0))
                    << label;
                break;
            case PairStatus::OnlyInTarget: {
                // Objects that got no file (encrypted), and the keys of refused tables.
                const bool noFile =
                    skipped.count(ToLowerAscii(GetObjectTypeName(p.Type, true)) + " " + ref.Schema +
                                  "." + ref.Name + " (encrypted)") > 0;
                EXPECT_TRUE(noFile || (v2000 && p.Type == kTypeConstraint)) << label;
                break;
            }
            default:
                ADD_FAILURE() << label;
            }
        }
        EXPECT_GT(identical, static_cast<int>(r->Pairs.size() * 3 / 4)) << c.name << Dump(*r);
    }
}

TEST_P(ScriptFolderRoundTrip, TheSameDatabaseWrittenTwiceGivesByteIdenticalFolders) {
    CatalogSim f(GetParam(), {"hostile_catalog.sql"}, hostile::GeneratedScripts());
    ASSERT_SIM_STARTED(f);
    const std::string one = f.env.PathOf("one"), two = f.env.PathOf("two");
    WriteFolder(Build(f, hostile::kDb), one);
    WriteFolder(Build(f, hostile::kDb), two);
    const auto a = FolderBytes(one), b = FolderBytes(two);
    EXPECT_EQ(a, b);
    for (const auto& [path, bytes] : a)
        EXPECT_EQ(bytes.find('\r'), std::string::npos) << path;
    // Nothing in the manifest says when it was written.
    const std::time_t now = std::time(nullptr);
    const std::string year = std::to_string(1900 + std::gmtime(&now)->tm_year);
    EXPECT_EQ(a.at("orvane-folder.txt").find(year), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Versions, ScriptFolderRoundTrip,
                         ::testing::Values(std::string(kVersion2000), std::string(kVersion2008)),
                         VersionName);

// Replaces `from` with `to` in the file (once); fails the test when `from` is not there.
void EditFile(const std::string& path, const std::string& from, const std::string& to) {
    std::string text = Slurp(path);
    const size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << path << " lacks " << from;
    text.replace(at, from.size(), to);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

TEST(ScriptFolderEdits, AnEditedFileIsExactlyItsObjectAndABrokenOneIsReportedWithItsLine) {
    CatalogSim f(kVersion2008, {"demo_source.sql"});
    ASSERT_SIM_STARTED(f);
    const std::string db = "OrvaneDemoSource";
    const std::string dir = f.env.PathOf("folder");
    WriteFolder(Build(f, db), dir);
    EditFile(dir + "/Tables/dbo.Carriers.sql", "CREATE TABLE [dbo].[Carriers] (\n",
             "CREATE TABLE [dbo].[Carriers] (\n[Added] [int] NULL,\n");
    EditFile(dir + "/Procedures/dbo.usp_Customer_Get.sql", "CREATE PROCEDURE",
             "\n\nCREATE PROCEDUR");
    // Through the command's own path: the refusal on standard error, the report's reason.
    CompareAllArgs args;
    std::string error;
    ASSERT_TRUE(ParseCompareAllArgs({"--not-comparable", "report", "folder:" + dir, "Live", db},
                                    args, error))
        << error;
    EXPECT_EQ(args.Folder[0], dir);
    CompareAllServices services;
    services.resolveServer = [&](const std::string&, ServerEntry& entry, std::string&) {
        entry = f.server;
        return true;
    };
    services.run = [](const DbCompareRequest& request, ProgressSink& progress,
                      const CancelToken& cancel) {
        return RunDbCompare(request, progress, cancel);
    };
    services.readFolder = [](const std::string& folder, ProgressSink&, const CancelToken& cancel,
                             ScriptFolderRead& read, std::string& message) {
        return ReadScriptFolder(folder, SqlsimExecutable(), cancel, nullptr, read, message);
    };
    DbCompareRequest settings;
    ApplyCurrentSettings(settings);
    settings.CompleteTableScripts = true;
    settings.IgnoreSystemConstraintNames = true;
    NullProgressSink progress;
    const CancelToken cancel;
    std::ostringstream out, err;
    const int status = RunCompareAllOn(args, settings, services, progress, cancel, out, err);
    EXPECT_EQ(status, kCompareAllExitDifferent) << err.str();
    const std::string refused =
        "script refused: " + dir + "/Procedures/dbo.usp_Customer_Get.sql line ";
    EXPECT_NE(err.str().find(refused), std::string::npos) << err.str();
    std::vector<std::string> unlike;
    std::istringstream lines(out.str());
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("  ", 0) == 0 && line.find(" identical ") == std::string::npos &&
            line.find("encrypted") == std::string::npos)
            unlike.push_back(line);
    ASSERT_EQ(unlike.size(), 3u) << out.str();
    EXPECT_EQ(unlike[0], "  different       dbo.Carriers  (1 differing line)");
    // The two blank lines put in before the statement move it to line 3.
    EXPECT_EQ(unlike[1], "  not comparable  dbo.usp_Customer_Get  (script refused: "
                         "Procedures/dbo.usp_Customer_Get.sql line 3: Incorrect syntax near "
                         "'PROCEDUR'.)");
    EXPECT_NE(unlike[2].find("only in target  sales.usp_Commission_Calculate"), std::string::npos)
        << unlike[2];
}

TEST(ScriptFolderEdits, AFolderThatIsNoScriptsFolderIsRefusedClearly) {
    TestEnv env;
    const std::string dir = env.PathOf("plain");
    fs::create_directories(dir);
    ScriptFolderRead read;
    std::string error;
    const CancelToken cancel;
    EXPECT_FALSE(ReadScriptFolder(dir, SqlsimExecutable(), cancel, nullptr, read, error));
    EXPECT_EQ(error,
              dir + " is not a scripts folder: " + dir + "/orvane-folder.txt cannot be read.");
    std::ofstream(dir + "/orvane-folder.txt") << "ORVANE-SCRIPTS-FOLDER 1\nversion 8.00.2039\n\n";
    EXPECT_FALSE(ReadScriptFolder(dir, dir + "/no-such-simulator", cancel, nullptr, read, error));
    EXPECT_NE(error.find("the simulator " + dir + "/no-such-simulator ended before it listened"),
              std::string::npos)
        << error;
}

} // namespace
} // namespace orv::test
