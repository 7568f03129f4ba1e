// `orvane-cli compare-all` without a server: its arguments, the request it builds from the
// settings, its exit statuses and where its report goes, through an injected comparison; and
// the command line's progress display.
#include "dbcompare/compare_all_command.h"
#include "util/console_progress.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace orv {
namespace {

namespace fs = std::filesystem;

const std::vector<ObjectType> kAllSeven = {kTypeTable,     kTypeProcedure, kTypeFunction,
                                           kTypeView,      kTypeTrigger,   kTypeRelationship,
                                           kTypeConstraint};

std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w == "''" ? "" : w);
    return words;
}

TEST(CompareAllArgs, AcceptedLines) {
    struct Case {
        std::string line;
        std::vector<ObjectType> types;
        ReportFormat format;
        bool details;
        std::string output;
    };
    const Case cases[] = {
        {"S1 D1 S2 D2", kAllSeven, ReportFormat::Text, false, ""},
        {"--types views,TABLES,10 S1 D1 S2 D2",
         {kTypeTable, kTypeProcedure, kTypeView},
         ReportFormat::Text,
         false,
         ""},
        {"S1 D1 --types=constraints,constraint S2 D2",
         {kTypeConstraint},
         ReportFormat::Text,
         false,
         ""},
        {"--format=csv S1 D1 S2 D2 --details", kAllSeven, ReportFormat::Csv, true, ""},
        {"--format HTML --output out.html S1 D1 S2 D2", kAllSeven, ReportFormat::Html, false,
         "out.html"},
        {"--output=- S1 D1 S2 D2", kAllSeven, ReportFormat::Text, false, ""},
        {"--types 50,60 --format text S1 D1 S2 D2",
         {kTypeTable, kTypeRelationship},
         ReportFormat::Text,
         false,
         ""},
    };
    for (const Case& c : cases) {
        CompareAllArgs args;
        std::string error;
        ASSERT_TRUE(ParseCompareAllArgs(Words(c.line), args, error)) << c.line << ": " << error;
        EXPECT_EQ(args.Types, c.types) << c.line;
        EXPECT_EQ(args.Format, c.format) << c.line;
        EXPECT_EQ(args.Details, c.details) << c.line;
        EXPECT_EQ(args.Output, c.output) << c.line;
        EXPECT_EQ(args.Server[0], "S1");
        EXPECT_EQ(args.Db[0], "D1");
        EXPECT_EQ(args.Server[1], "S2");
        EXPECT_EQ(args.Db[1], "D2");
    }
    CompareAllArgs args;
    std::string error;
    ASSERT_TRUE(
        ParseCompareAllArgs(Words("--login sa --password-file pw S1 D1 S2 D2"), args, error));
    EXPECT_EQ(args.Login, "sa");
    EXPECT_EQ(args.PasswordFile, "pw");
    ASSERT_TRUE(ParseCompareAllArgs(Words("--types nonsense --help"), args, error));
    EXPECT_TRUE(args.Help);
    // Without --reading the setting decides; with it, the word does in any letter case.
    ASSERT_TRUE(ParseCompareAllArgs(Words("S1 D1 S2 D2"), args, error));
    EXPECT_FALSE(args.Reading.has_value());
    for (const auto& [word, reading] : {std::pair{"full", CompareReading::Full},
                                        std::pair{"Hash-First", CompareReading::HashFirst},
                                        std::pair{"auto", CompareReading::Auto}}) {
        ASSERT_TRUE(ParseCompareAllArgs(Words(std::string("--reading=") + word + " S1 D1 S2 D2"),
                                        args, error))
            << word << ": " << error;
        EXPECT_EQ(args.Reading, reading) << word;
    }
}

TEST(CompareAllArgs, ASnapshotFileStandsInForEitherSidesServerAndDatabase) {
    const struct {
        const char* line;
        const char* sides[2][3]; // server, db, snapshot
    } cases[] = {
        {"snapshot:mon.orvsnap PROD Sales", {{"", "", "mon.orvsnap"}, {"PROD", "Sales", ""}}},
        {"PROD Sales snapshot:/a/b/c.orvsnap", {{"PROD", "Sales", ""}, {"", "", "/a/b/c.orvsnap"}}},
        {"snapshot:a snapshot:b", {{"", "", "a"}, {"", "", "b"}}},
    };
    for (const auto& c : cases) {
        CompareAllArgs args;
        std::string error;
        ASSERT_TRUE(ParseCompareAllArgs(Words(c.line), args, error)) << c.line << ": " << error;
        for (int side = 0; side < 2; ++side) {
            EXPECT_EQ(args.Server[side], c.sides[side][0]) << c.line;
            EXPECT_EQ(args.Db[side], c.sides[side][1]) << c.line;
            EXPECT_EQ(args.Snapshot[side], c.sides[side][2]) << c.line;
        }
    }
    CompareAllArgs args;
    std::string error;
    ASSERT_TRUE(ParseCompareAllArgs(Words("--snapshot-out t.orvsnap S1 D1 S2 D2"), args, error));
    EXPECT_EQ(args.SnapshotOut, "t.orvsnap");
}

TEST(CompareAllArgs, RefusedLinesSayWhyWithoutRepeatingSecrets) {
    const std::pair<std::string, std::string> cases[] = {
        {"S1 D1 S2", "expected 4 arguments (<server1> <db1> <server2> <db2>), got 3"},
        {"S1 D1 S2 D2 extra", "expected 4 arguments (<server1> <db1> <server2> <db2>), got 5"},
        {"snapshot:a.orvsnap S2", "expected two sides, each <server> <db>, snapshot:<file> or "
                                  "folder:<dir>, got 2 arguments"},
        {"snapshot: S2 D2", "snapshot: needs a file name"},
        {"--snapshot-out= S1 D1 S2 D2", "--snapshot-out needs a file name"},
        {"--snapshot-out x S1 D1 snapshot:y",
         "--snapshot-out needs a database as the Target, not a snapshot or folder"},
        {"S1 '' S2 D2", "arguments may not be empty"},
        {"--types procs S1 D1 S2 D2", "unknown object type 'procs'"},
        {"--types 70 S1 D1 S2 D2", "unknown object type '70'"},
        {"--types tables,,views S1 D1 S2 D2", "--types has an empty entry"},
        {"--types tables --types views S1 D1 S2 D2", "--types is given twice"},
        {"--format xml S1 D1 S2 D2", "unknown format 'xml' (text, csv or html)"},
        {"S1 D1 S2 D2 --output", "--output needs a value"},
        {"--output= S1 D1 S2 D2", "--output needs a file name"},
        {"--details=yes S1 D1 S2 D2", "unknown option --details"},
        {"--frobnicate=hunter2 S1 D1 S2 D2", "unknown option --frobnicate"},
        {"--password-file pw S1 D1 S2 D2", "--password-file needs --login"},
        {"--reading hashes S1 D1 S2 D2", "unknown reading 'hashes' (auto, full or hash-first)"},
        {"--reading full --reading auto S1 D1 S2 D2", "--reading is given twice"},
    };
    for (const auto& [line, message] : cases) {
        CompareAllArgs args;
        std::string error;
        EXPECT_FALSE(ParseCompareAllArgs(Words(line), args, error)) << line;
        EXPECT_EQ(error, message) << line;
    }
    for (const char* line : {"--login sa --password hunter2 S1 D1 S2 D2",
                             "--login sa --password=hunter2 S1 D1 S2 D2"}) {
        CompareAllArgs args;
        std::string error;
        EXPECT_FALSE(ParseCompareAllArgs(Words(line), args, error));
        EXPECT_EQ(error.rfind("--password is not accepted", 0), 0u) << error;
        EXPECT_EQ(error.find("hunter2"), std::string::npos);
    }
}

// ---- the run --------------------------------------------------------------------------------

PairVerdict Pair(PairStatus status, const std::string& name) {
    PairVerdict p;
    p.Type = kTypeProcedure;
    p.Status = status;
    p.HasSource = status != PairStatus::OnlyInTarget;
    p.HasTarget = status != PairStatus::OnlyInSource;
    p.Source = {1, "dbo", name, "2024-01-01"};
    p.Target = {2, "dbo", name, "2024-01-02"};
    return p;
}

DbCompareResults Results(std::vector<PairStatus> statuses,
                         RunOutcome outcome = RunOutcome::Completed) {
    DbCompareResults r;
    r.Types = {kTypeProcedure};
    for (size_t i = 0; i < statuses.size(); ++i)
        r.Pairs.push_back(Pair(statuses[i], "P" + std::to_string(i)));
    r.Outcome = outcome;
    if (outcome != RunOutcome::Completed)
        r.Problem = outcome == RunOutcome::Cancelled ? "Stopped by the user."
                                                     : "Communication link failure";
    return r;
}

class CompareAllRun : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "orvcmpall-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern + "/";
        services.resolveServer = [this](const std::string& name, ServerEntry& entry,
                                        std::string& error) {
            resolved.push_back(name);
            if (name == "Nowhere") {
                error = "server 'Nowhere' is not stored (add it in the program, or give --login).";
                return false;
            }
            entry.Name = name;
            entry.Version = "9.00.1399";
            entry.VersionMajor = 9;
            return true;
        };
        settings.IgnoredColumns = [](const IgnoredTable& table) {
            return std::vector<std::string>{"ignored of " + IgnoredColumnsSection(table)};
        };
        services.run = [this](const DbCompareRequest& request, ProgressSink& progress,
                              const CancelToken& token) -> DbCompareResultsPtr {
            seen = request;
            seenToken = &token;
            ++runs;
            progress.Begin("Comparing procedures", 2);
            progress.Advance(2, "dbo.P1");
            if (!next)
                return nullptr;
            auto r = std::make_shared<DbCompareResults>(*next);
            r->ServerName[0] = request.Server[0].Name;
            r->ServerName[1] = request.Server[1].Name;
            r->DbName[0] = request.Database[0];
            r->DbName[1] = request.Database[1];
            return r;
        };
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    int Run(const std::string& line) {
        CompareAllArgs args;
        std::string error;
        EXPECT_TRUE(ParseCompareAllArgs(Words(line), args, error)) << error;
        out.str("");
        err.str("");
        return RunCompareAllOn(args, settings, services, sink, cancel, out, err);
    }

    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::string dir_;
    DbCompareRequest settings;
    CompareAllServices services;
    NullProgressSink sink;
    CancelToken cancel;
    std::ostringstream out, err;
    std::optional<DbCompareResults> next;
    DbCompareRequest seen;
    const CancelToken* seenToken = nullptr;
    std::vector<std::string> resolved;
    int runs = 0;
};

TEST_F(CompareAllRun, TheReadingIsTheSettingsUnlessTheLineNamesOne) {
    next = Results({PairStatus::Identical});
    settings.Reading = CompareReading::Full;
    EXPECT_EQ(Run("S1 D1 S2 D2"), 0);
    EXPECT_EQ(seen.Reading, CompareReading::Full);
    EXPECT_EQ(Run("--reading hash-first S1 D1 S2 D2"), 0);
    EXPECT_EQ(seen.Reading, CompareReading::HashFirst);
}

TEST_F(CompareAllRun, ExitStatusFollowsTheWorstVerdict) {
    using S = PairStatus;
    struct Case {
        std::optional<DbCompareResults> results;
        int status;
        const char* what;
    };
    const Case cases[] = {
        {Results({}), 0, "nothing to compare"},
        {Results({S::Identical, S::Identical}), 0, "all identical"},
        {Results({S::Identical, S::Different}), 1, "one different"},
        {Results({S::OnlyInSource}), 1, "only in source"},
        {Results({S::OnlyInTarget, S::Identical}), 1, "only in target"},
        {Results({S::Different, S::NotComparable}), 2, "not comparable outweighs different"},
        {Results({S::Identical}, RunOutcome::Cancelled), 2, "stopped, all identical so far"},
        {Results({S::Different}, RunOutcome::Failed), 2, "failed"},
        {std::nullopt, 2, "no results at all"},
    };
    for (const Case& c : cases) {
        next = c.results;
        EXPECT_EQ(Run("S1 D1 S2 D2"), c.status) << c.what;
        if (c.results) {
            EXPECT_EQ(DbCompareExitStatus(*c.results, NotComparablePolicy::Error), c.status)
                << c.what;
        }
    }
}

TEST_F(CompareAllRun, TheRequestCarriesTheArgumentsAndTheSettings) {
    settings.Options.CaseSensitive = true;
    settings.Options.IgnoreWhitespace = false;
    settings.CompleteTableScripts = true;
    settings.IgnoreIndexes = true;
    settings.IgnoreSysObjects = false;
    settings.TimeoutSeconds = 7;
    next = Results({PairStatus::Identical});
    EXPECT_EQ(Run("--details --types procedures S1 Shop S2 Shop2"), 0);
    EXPECT_EQ(seen.Kind, DbCompareKind::Bulk);
    EXPECT_TRUE(seen.Details);
    EXPECT_EQ(seen.Types, std::vector<ObjectType>{kTypeProcedure});
    EXPECT_EQ(seen.Server[0].Name, "S1");
    EXPECT_EQ(seen.Server[1].VersionMajor, 9);
    EXPECT_EQ(seen.Database[0], "Shop");
    EXPECT_EQ(seen.Database[1], "Shop2");
    EXPECT_TRUE(seen.Options.CaseSensitive);
    EXPECT_FALSE(seen.Options.IgnoreWhitespace);
    EXPECT_TRUE(seen.CompleteTableScripts);
    EXPECT_TRUE(seen.IgnoreIndexes);
    EXPECT_FALSE(seen.IgnoreSysObjects);
    EXPECT_EQ(seen.TimeoutSeconds, 7);
    ASSERT_TRUE(seen.IgnoredColumns);
    EXPECT_EQ(seen.IgnoredColumns({"S1", "Shop", "dbo", "T"}),
              std::vector<std::string>{"ignored of S1.Shop.dbo.T"});
    EXPECT_EQ(seenToken, &cancel);

    EXPECT_EQ(Run("S1 D1 S2 D2"), 0);
    EXPECT_EQ(seen.Kind, DbCompareKind::All);
    EXPECT_EQ(seen.Types, kAllSeven);
    EXPECT_FALSE(seen.Details);
}

TEST_F(CompareAllRun, AnUnknownServerStopsBeforeAnyComparison) {
    next = Results({PairStatus::Identical});
    EXPECT_EQ(Run("S1 D1 Nowhere D2"), 2);
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(err.str(), "orvane-cli compare-all: server 'Nowhere' is not stored (add it in the "
                         "program, or give --login).\n");
    EXPECT_EQ(out.str(), "");
}

TEST_F(CompareAllRun, TheReportGoesToStandardOutputInTheChosenFormat) {
    next = Results({PairStatus::Identical, PairStatus::Different});
    EXPECT_EQ(Run("--format csv S1 D1 S2 D2"), 1);
    DbCompareResults named = *next;
    named.ServerName[0] = "S1";
    named.ServerName[1] = "S2";
    named.DbName[0] = "D1";
    named.DbName[1] = "D2";
    EXPECT_EQ(out.str(), FormatDbCompareReport(named, ReportFormat::Csv));
    EXPECT_EQ(err.str(), "");
    // The text report is for a shell: LF line breaks only.
    EXPECT_EQ(Run("S1 D1 S2 D2"), 1);
    EXPECT_EQ(out.str().find('\r'), std::string::npos);
    EXPECT_EQ(out.str().rfind("Compare All Objects\nSource: S1.D1\nTarget: S2.D2\n", 0), 0u);
    EXPECT_EQ(Run("--format html S1 D1 S2 D2"), 1);
    EXPECT_EQ(out.str().rfind("<!DOCTYPE html>", 0), 0u);
}

TEST_F(CompareAllRun, TheOutputFileIsWrittenOnlyForACompleteRun) {
    const std::string file = dir_ + "report.csv";
    next = Results({PairStatus::Identical});
    EXPECT_EQ(Run("--format csv --output " + file + " S1 D1 S2 D2"), 0);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(Read(file).rfind(std::string(kDbCompareCsvHeader) + "\r\n", 0), 0u);

    // A run that fails part way leaves the earlier report alone and creates no new file.
    std::ofstream(file, std::ios::trunc) << "earlier report";
    const std::string fresh = dir_ + "fresh.csv";
    for (RunOutcome outcome : {RunOutcome::Failed, RunOutcome::Cancelled}) {
        next = Results({PairStatus::Identical}, outcome);
        for (const std::string& path : {file, fresh}) {
            EXPECT_EQ(Run("--format csv --output " + path + " S1 D1 S2 D2"), 2);
            EXPECT_EQ(Read(file), "earlier report");
            EXPECT_FALSE(fs::exists(fresh));
            EXPECT_EQ(out.str(), "");
            EXPECT_EQ(err.str(),
                      "orvane-cli compare-all: the comparison did not complete: " + next->Problem +
                          "\norvane-cli compare-all: no report was "
                          "written to " +
                          path + "; an existing file of that name is unchanged.\n");
        }
    }
    EXPECT_EQ(fs::directory_iterator(dir_)->path().filename(), "report.csv");
    // Without --output the partial report, marked, goes to standard output.
    EXPECT_EQ(Run("--format csv S1 D1 S2 D2"), 2);
    EXPECT_NE(out.str().find("\r\nincomplete,stopped,Stopped by the user.,incomplete,,,,,\r\n"),
              std::string::npos)
        << out.str();

    // A file that cannot be written is an error even when every object is identical.
    next = Results({PairStatus::Identical});
    EXPECT_EQ(Run("--output " + dir_ + "missing/r.txt S1 D1 S2 D2"), 2);
    EXPECT_EQ(err.str(), "orvane-cli compare-all: Cannot write the file " + dir_ +
                             "missing/r.txt: the folder " + dir_ + "missing does not exist.\n");
}

// ---- progress on standard error -------------------------------------------------------------

class ConsoleProgress : public ::testing::Test {
protected:
    void SetUp() override { file_ = ::open_memstream(&buffer_, &size_); }
    void TearDown() override { std::free(buffer_); }
    std::string Text() {
        std::fflush(file_);
        return std::string(buffer_, size_);
    }
    std::string Finish() {
        std::fclose(file_);
        return std::string(buffer_, size_);
    }

    char* buffer_ = nullptr;
    size_t size_ = 0;
    std::FILE* file_ = nullptr;
    ConsoleProgressSink::Clock::time_point now_{};
};

TEST_F(ConsoleProgress, OnATerminalOneStatusLineRedrawnAtMostEveryInterval) {
    {
        ConsoleProgressSink sink(file_, true, 40, std::chrono::milliseconds(100),
                                 [this] { return now_; });
        sink.Begin("Reading procedures", 200);
        EXPECT_EQ(Text(), "\r\x1B[K[  0%] Reading procedures 0/200");
        sink.Advance(1, "dbo.A");
        sink.Advance(1, "dbo.B");
        EXPECT_EQ(Text(), "\r\x1B[K[  0%] Reading procedures 0/200") << "too soon to redraw";
        now_ += std::chrono::milliseconds(150);
        sink.Advance(98, "dbo.\x1B[2Jevil");
        // Cut to the width, the control character shown harmlessly.
        EXPECT_EQ(Text().substr(Text().rfind('\r')),
                  "\r\x1B[K[ 50%] Reading procedures 100/200 dbo.?");
        sink.Warn("dbo.X could not be read");
        sink.Note("1 objects compared.");
    }
    const std::string all = Finish();
    EXPECT_NE(all.find("\r\x1B[Kwarning: dbo.X could not be read\n1 objects compared.\n"),
              std::string::npos)
        << all;
    // The status line is gone at the end: nothing after the last note.
    EXPECT_EQ(all.substr(all.size() - 20), "1 objects compared.\n");
}

TEST_F(ConsoleProgress, ElsewhereOnlyWarnings) {
    {
        ConsoleProgressSink sink(file_, false);
        sink.Begin("Reading procedures", 200);
        sink.Advance(200, "dbo.A");
        sink.Note("200 objects compared.");
        sink.Warn("dbo.X could not be read");
    }
    EXPECT_EQ(Finish(), "warning: dbo.X could not be read\n");
}

TEST_F(ConsoleProgress, LongNamesAreCutOnACharacterBoundary) {
    {
        ConsoleProgressSink sink(file_, true, 20, std::chrono::milliseconds(0),
                                 [this] { return now_; });
        sink.Begin("\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3"
                   "\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"
                   "\xC3\xA9\xC3\xA9\xC3\xA9",
                   0);
    }
    const std::string all = Finish();
    std::string expected = "\r\x1B[K";
    for (int i = 0; i < 19; ++i)
        expected += "\xC3\xA9";
    EXPECT_EQ(all, expected + "\r\x1B[K");
}

} // namespace
} // namespace orv
