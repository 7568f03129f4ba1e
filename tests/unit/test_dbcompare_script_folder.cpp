// Scripts folders without a server: how a script is cut into batches and where each starts,
// the order files run in (a file waits for what it needs; one that ran in part is not run
// again), how a refused script marks its object, and how a folder is rewritten (only files
// Orvane wrote are removed; an unchanged file is left as it is).
#include "dbcompare/script_folder_read.h"
#include "dbcompare/script_folder_write.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <sys/stat.h>

namespace orv {
namespace {

namespace fs = std::filesystem;

TEST(ScriptFolderBatches, SplitAtGoLinesWithTheLineWhereEachBatchStarts) {
    const struct {
        const char* text;
        std::vector<std::pair<int, std::string>> batches;
    } cases[] = {
        {"CREATE TABLE t (a int)\nGO\n", {{1, "CREATE TABLE t (a int)\n"}}},
        {"\n\n-- c\nSELECT 1\ngo\r\n\nSELECT 2", {{3, "-- c\nSELECT 1\n"}, {7, "SELECT 2"}}},
        {"A\r\n  GO  \r\nB\r\n", {{1, "A\r\n"}, {3, "B\r\n"}}},
        {"GO\nGO\n\n", {}},
        // Not a GO line: the word inside a statement, or a longer word.
        {"SELECT 1 GO\nGOTO x\n", {{1, "SELECT 1 GO\nGOTO x\n"}}},
    };
    for (const auto& c : cases) {
        const std::vector<ScriptBatch> got = SplitScriptBatches(c.text);
        ASSERT_EQ(got.size(), c.batches.size()) << c.text;
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].Line, c.batches[i].first) << c.text;
            EXPECT_EQ(got[i].Sql, c.batches[i].second) << c.text;
        }
    }
}

// A pretend server: a batch succeeds when every name it "needs" (the words after "needs") has
// been made; "make X" makes X; "fail" always fails.
struct FakeServer {
    std::set<std::string> made;
    std::vector<std::string> ran;
    // A batch runs whole or not at all, as a statement does.
    bool Run(const std::string& sql, std::string& message) {
        ran.push_back(sql);
        std::vector<std::string> words;
        std::istringstream in(sql);
        for (std::string w; in >> w;)
            words.push_back(w);
        for (size_t i = 0; i < words.size(); ++i) {
            if (words[i] == "fail") {
                message = "Incorrect syntax near 'fail'.";
                return false;
            }
            if (words[i] == "needs" && i + 1 < words.size() && !made.count(words[i + 1])) {
                message = "Invalid object name '" + words[i + 1] + "'.";
                return false;
            }
        }
        for (size_t i = 0; i + 1 < words.size(); ++i)
            if (words[i] == "make")
                made.insert(words[i + 1]);
        return true;
    }
};

TEST(ScriptFolderRun, FilesWaitForWhatTheyNeedAndARefusalNamesFileAndLine) {
    const std::map<std::string, std::string> texts = {
        {"Views/v.sql", "make v needs t\nGO\n"}, // before its table, by type order
        {"Tables/t.sql", "make t\nGO\nmake ix needs t\nGO\n"},
        {"Views/w.sql", "make w needs v\nGO\n"},
        {"Procedures/bad.sql", "\n\nfail\nGO\n"},
        {"Tables/half.sql", "make half\nGO\n\nmake ix2 fail\nGO\n"},
        {"Procedures/orphan.sql", "make p needs nothing\nGO\n"},
    };
    std::vector<ManifestEntry> files;
    for (const char* path : {"Views/v.sql", "Views/w.sql", "Procedures/bad.sql", "Tables/t.sql",
                             "Tables/half.sql", "Procedures/orphan.sql"})
        files.push_back({kTypeView, "dbo", path, path});
    FakeServer server;
    std::vector<FolderScriptFailure> failures;
    RunFolderScripts(
        files, [&](const ManifestEntry& e) { return texts.at(e.Path); },
        [&](const std::string& sql, std::string& message) { return server.Run(sql, message); },
        failures);
    EXPECT_EQ(server.made, (std::set<std::string>{"v", "t", "ix", "w", "half"}));
    std::map<std::string, std::string> byFile;
    for (const FolderScriptFailure& f : failures)
        byFile[f.Object.Path] = FolderFailureText(f);
    EXPECT_EQ(
        byFile,
        (std::map<std::string, std::string>{
            {"Procedures/bad.sql", "Procedures/bad.sql line 3: Incorrect syntax near 'fail'."},
            {"Tables/half.sql", "Tables/half.sql line 4: Incorrect syntax near 'fail'."},
            {"Procedures/orphan.sql",
             "Procedures/orphan.sql line 1: Invalid object name 'nothing'."},
        }));
    // half.sql made its table in the first round: it was never run again.
    EXPECT_EQ(std::count(server.ran.begin(), server.ran.end(), "make half\n"), 1);
}

PairVerdict Pair(ObjectType type, PairStatus status, const std::string& name, bool source,
                 bool target) {
    PairVerdict v;
    v.Type = type;
    v.Status = status;
    v.HasSource = source;
    v.HasTarget = target;
    v.Source = {1, "dbo", name, ""};
    v.Target = {2, "dbo", name, ""};
    return v;
}

TEST(ScriptFolderRun, ARefusedScriptMarksItsObjectNotComparableOnEitherSide) {
    DbCompareResults r;
    r.Types = {kTypeTable, kTypeProcedure, kTypeView};
    r.Pairs = {Pair(kTypeTable, PairStatus::Identical, "A", true, true),
               Pair(kTypeTable, PairStatus::OnlyInTarget, "Gone", false, true),
               Pair(kTypeView, PairStatus::Identical, "V", true, true)};
    const auto failure = [](ObjectType type, const std::string& name, const std::string& path) {
        return FolderScriptFailure{{type, "dbo", name, path}, 2, "Incorrect syntax near 'x'."};
    };
    MarkFolderFailures(r, 0,
                       {failure(kTypeTable, "gone", "Tables/dbo.Gone.sql"),
                        failure(kTypeProcedure, "P", "Procedures/dbo.P.sql"),
                        failure(kTypeTrigger, "T", "Triggers/dbo.T.sql"), // type not compared
                        failure(kFolderSchemas, "sales", "Schemas/sales.sql")});
    ASSERT_EQ(r.Pairs.size(), 4u);
    EXPECT_EQ(r.Pairs[0].Status, PairStatus::Identical);
    EXPECT_EQ(r.Pairs[1].Status, PairStatus::NotComparable);
    EXPECT_EQ(r.Pairs[1].Reason,
              "script refused: Tables/dbo.Gone.sql line 2: Incorrect syntax near 'x'.");
    // A procedure on neither side now: a pair of its own, among the procedures.
    EXPECT_EQ(r.Pairs[2].Type, kTypeProcedure);
    EXPECT_TRUE(r.Pairs[2].HasSource);
    EXPECT_FALSE(r.Pairs[2].HasTarget);
    EXPECT_EQ(r.Pairs[2].Source.Name, "P");
    EXPECT_EQ(r.Pairs[3].Type, kTypeView);
    EXPECT_EQ(r.CountsFor(kTypeProcedure)[PairStatus::NotComparable], 1);
}

TEST(ScriptFolderText, ModuleScriptsKeepTheTextAndEndInGo) {
    const struct {
        std::string text, schema, name, script;
    } cases[] = {
        {"CREATE PROCEDURE dbo.P\r\nAS\r\nSELECT 1", "dbo", "P",
         "CREATE PROCEDURE dbo.P\nAS\nSELECT 1\nGO\n"},
        {"CREATE VIEW v AS SELECT 1\r\n", "dbo", "v", "CREATE VIEW v AS SELECT 1\nGO\n"},
        // Renamed after it was made: the header names the object it is now.
        {"CREATE PROCEDURE dbo.OldName AS SELECT 1", "dbo", "New]Name",
         "CREATE PROCEDURE [dbo].[New]]Name] AS SELECT 1\nGO\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ModuleScript(c.text, c.schema, c.name), c.script) << c.text;
    EXPECT_EQ(FolderLineBreaks("a\r\nb\rc\nd", false), "a\nb\nc\nd");
    EXPECT_EQ(FolderLineBreaks("a\r\nb\rc\nd", true), "a\r\nb\r\nc\r\nd");
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(ScriptFolderWrite, RewritingRemovesOnlyFilesOfGoneObjectsThatOrvaneWrote) {
    const std::string dir =
        (fs::temp_directory_path() / ("orv-folder-" + std::to_string(::getpid()))).string();
    fs::remove_all(dir);
    const auto content = [](std::vector<std::pair<std::string, std::string>> files) {
        ScriptFolderContent c;
        c.Manifest.Version = "8.00.2039";
        for (const auto& [path, text] : files) {
            c.Manifest.Files.push_back({kTypeProcedure, "dbo", path, path});
            c.Texts.push_back(text);
        }
        return c;
    };
    std::vector<std::string> removed;
    std::string error;
    ASSERT_TRUE(WriteScriptFolder(
        dir, content({{"Procedures/dbo.A.sql", "A\n"}, {"Procedures/dbo.B.sql", "B\n"}}), removed,
        error))
        << error;
    std::ofstream(dir + "/Procedures/notes.sql") << "mine\n";
    std::ofstream(dir + "/README") << "mine\n";
    struct stat before {};
    ASSERT_EQ(::stat((dir + "/Procedures/dbo.A.sql").c_str(), &before), 0);
    ASSERT_TRUE(WriteScriptFolder(
        dir, content({{"Procedures/dbo.A.sql", "A\n"}, {"Procedures/dbo.C.sql", "C\n"}}), removed,
        error))
        << error;
    EXPECT_EQ(removed, std::vector<std::string>{"Procedures/dbo.B.sql"});
    EXPECT_FALSE(fs::exists(dir + "/Procedures/dbo.B.sql"));
    EXPECT_EQ(Slurp(dir + "/Procedures/dbo.C.sql"), "C\n");
    EXPECT_EQ(Slurp(dir + "/Procedures/notes.sql"), "mine\n");
    EXPECT_EQ(Slurp(dir + "/README"), "mine\n");
    struct stat after {};
    ASSERT_EQ(::stat((dir + "/Procedures/dbo.A.sql").c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino) << "an unchanged file is not replaced";
    ScriptFolderManifest m;
    ASSERT_TRUE(ParseManifest(Slurp(dir + "/" + kScriptFolderManifest), m, error)) << error;
    ASSERT_EQ(m.Files.size(), 2u);
    // No temporary file is left behind.
    for (const auto& e : fs::recursive_directory_iterator(dir))
        EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();
    fs::remove_all(dir);
}

} // namespace
} // namespace orv
