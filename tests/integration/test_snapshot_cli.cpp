// `orvane-cli snapshot` and snapshot:<file> sides of compare-all as a user runs them: a snapshot
// compares identical with its database on either side, a later change is the only difference,
// --snapshot-out keeps the Target for the next run, and a file cut short or not a snapshot
// stops the run with a message naming it and nothing written; a snapshot's scripts folder is
// its database's, and deploying the snapshot brings a changed database back to it.
#include "cli_runner.h"
#include "csv_reader.h"
#include "servers/worker_query.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

namespace orv {
namespace {

using test::CatalogSim;
using test::CliResult;

constexpr const char* kDb = "OrvaneDemoSource";
// The demo's encrypted procedure is not comparable on any side; it is reported, not an error.
constexpr const char* kReport = "--not-comparable report --format csv";

class SnapshotCli : public test::CliTest {
protected:
    std::string Server(const CatalogSim& f) { return "'" + f.server.Name + "'"; }

    // "status type schema.name" of every record that is not identical.
    std::vector<std::string> Changes(const std::string& csv) {
        std::vector<std::string> out;
        const auto records = test::ReadCsv(csv);
        for (size_t i = 1; i < records.size(); ++i)
            if (records[i].size() > 3 && records[i][3] != "identical" &&
                records[i][3] != "not comparable")
                out.push_back(records[i][3] + " " + records[i][0] + " " + records[i][1] + "." +
                              records[i][2]);
        return out;
    }
};

TEST_P(SnapshotCli, ASnapshotComparesIdenticalOnEitherSideAndALaterChangeIsTheOnlyDifference) {
    CatalogSim f(GetParam(), {"demo_source.sql"});
    ASSERT_SIM_STARTED(f);
    Store(f);
    const std::string file = f.env.PathOf("monday.orvsnap");
    CliResult r = Run("snapshot " + Server(f) + " " + kDb + " '" + file + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_TRUE(std::filesystem::exists(file));
    EXPECT_FALSE(std::filesystem::exists(file + ".tmp"));

    const std::string snap = "'snapshot:" + file + "'";
    r = Run(std::string("compare-all ") + kReport + " " + snap + " " + Server(f) + " " + kDb);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Changes(r.out).empty());
    r = Run(std::string("compare-all ") + kReport + " " + Server(f) + " " + kDb + " " + snap);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Changes(r.out).empty());

    OdbcError error;
    const CancelToken cancel;
    ASSERT_TRUE(RunWorkerQuery(
        {f.server, kDb, 30}, cancel,
        "ALTER PROCEDURE dbo.usp_Customer_Get @CustomerId int AS SELECT @CustomerId",
        [](WorkerQuery&, Row&) {}, error))
        << error.description;
    r = Run(std::string("compare-all ") + kReport + " " + snap + " " + Server(f) + " " + kDb);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(Changes(r.out),
              std::vector<std::string>{"different procedures dbo.usp_Customer_Get"});
}

TEST_P(SnapshotCli, SnapshotOutKeepsTheTargetForTheNextRun) {
    CatalogSim f(GetParam(), {"demo_source.sql", "demo_target.sql"});
    ASSERT_SIM_STARTED(f);
    Store(f);
    const std::string file = f.env.PathOf("tonight.orvsnap");
    CliResult r = Run(std::string("compare-all ") + kReport + " --snapshot-out '" + file + "' " +
                      Server(f) + " OrvaneDemoSource " + Server(f) + " OrvaneDemoTarget");
    EXPECT_EQ(r.status, 1) << r.err;
    ASSERT_TRUE(std::filesystem::exists(file)) << r.err;
    // Tomorrow: nothing changed since.
    r = Run(std::string("compare-all ") + kReport + " 'snapshot:" + file + "' " + Server(f) +
            " OrvaneDemoTarget");
    EXPECT_EQ(r.status, 0) << r.err;
    // A snapshot cannot be the Target of --snapshot-out.
    r = Run("compare-all --snapshot-out '" + f.env.PathOf("x.orvsnap") + "' " + Server(f) +
            " OrvaneDemoSource 'snapshot:" + file + "'");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--snapshot-out needs a database as the Target, not a snapshot"),
              std::string::npos)
        << r.err;
}

TEST_P(SnapshotCli, AFileCutShortOrNotASnapshotStopsTheRunAndNothingIsWritten) {
    CatalogSim f(GetParam(), {"demo_source.sql"});
    ASSERT_SIM_STARTED(f);
    Store(f);
    const std::string good = f.env.PathOf("good.orvsnap");
    ASSERT_EQ(Run("snapshot " + Server(f) + " " + kDb + " '" + good + "'").status, 0);
    const std::string bytes = test::ReadTextFile(good);
    const std::string cut = f.env.PathOf("cut.orvsnap");
    const std::string garbage = f.env.PathOf("garbage.orvsnap");
    ASSERT_TRUE(test::WriteTextFile(cut, bytes.substr(0, bytes.size() / 2)));
    ASSERT_TRUE(test::WriteTextFile(garbage, "\x1f\x8b\x08 not a snapshot at all\n"));
    const std::string report = f.env.PathOf("report.csv");
    const std::string out = f.env.PathOf("out.orvsnap");
    for (const auto& [file, message] :
         {std::pair{cut, "The snapshot file " + cut + " is cut short or damaged."},
          std::pair{garbage, "The snapshot file " + garbage + " is not an Orvane snapshot."}}) {
        const CliResult r = Run("compare-all --output '" + report + "' --snapshot-out '" + out +
                                "' 'snapshot:" + file + "' " + Server(f) + " " + kDb);
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_EQ(r.err, "orvane-cli compare-all: " + message + "\n");
        EXPECT_FALSE(std::filesystem::exists(report));
        EXPECT_FALSE(std::filesystem::exists(out));
    }
    // A snapshot that cannot be written leaves nothing behind either.
    const CliResult r = Run("snapshot " + Server(f) + " " + kDb + " '" +
                            f.env.PathOf("missing/folder/x.orvsnap") + "'");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("orvane-cli snapshot: The snapshot file " +
                         f.env.PathOf("missing/folder/x.orvsnap") + " could not be written: "),
              std::string::npos)
        << r.err;
}

std::map<std::string, std::string> FolderBytes(const std::string& dir) {
    std::map<std::string, std::string> out;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir)) {
        if (!e.is_regular_file())
            continue;
        std::ifstream in(e.path(), std::ios::binary);
        out[std::filesystem::relative(e.path(), dir).string()] =
            std::string(std::istreambuf_iterator<char>(in), {});
    }
    return out;
}

TEST_P(SnapshotCli, DeployingASnapshotBringsTheDatabaseBackToIt) {
    ::setenv("ORVANE_SQLSIM", test::SqlsimExecutable().c_str(), 1);
    CatalogSim f(GetParam(), {"demo_source.sql"});
    ASSERT_SIM_STARTED(f);
    Store(f);
    // The run's temporary folders go here, to be seen gone afterwards.
    const std::string tmp = f.env.PathOf("tmp");
    std::filesystem::create_directories(tmp);
    const char* const oldTmp = std::getenv("TMPDIR");
    const std::string restoreTmp = oldTmp ? oldTmp : "";
    ::setenv("TMPDIR", tmp.c_str(), 1);
    struct Restore {
        const std::string& value;
        ~Restore() {
            if (value.empty())
                ::unsetenv("TMPDIR");
            else
                ::setenv("TMPDIR", value.c_str(), 1);
        }
    } restore{restoreTmp};
    const std::string file = f.env.PathOf("release.orvsnap");
    CliResult r = Run("snapshot " + Server(f) + " " + kDb + " '" + file + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string snap = "'snapshot:" + file + "'";

    // The snapshot's folder is the database's, byte for byte.
    const std::string fromSnapshot = f.env.PathOf("from snapshot"), fromDb = f.env.PathOf("db");
    r = Run("script-folder " + snap + " '" + fromSnapshot + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    r = Run("script-folder " + Server(f) + " " + kDb + " '" + fromDb + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(FolderBytes(fromSnapshot), FolderBytes(fromDb));

    OdbcError error;
    const CancelToken cancel;
    for (const char* change :
         {"ALTER TABLE dbo.Customers ADD Nickname nvarchar(40) NULL",
          "ALTER PROCEDURE dbo.usp_Customer_Get @CustomerId int AS SELECT @CustomerId",
          "DROP VIEW dbo.vw_CustomerOrders"})
        ASSERT_TRUE(RunWorkerQuery(
            {f.server, kDb, 30}, cancel, change, [](WorkerQuery&, Row&) {}, error))
            << change << ": " << error.description;
    r = Run(std::string("compare-all ") + kReport + " " + snap + " " + Server(f) + " " + kDb);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(Changes(r.out).size(), 3u) << r.out;

    // Posing as SQL Server 2000, the scripts of objects using what 2000 lacks ((max) sizes,
    // TRY) are refused and left alone; none of these changes touches one.
    r = Run("deploy-script --allow-data-loss --apply --confirm-target " + std::string(kDb) + " " +
            snap + " " + Server(f) + " " + kDb);
    EXPECT_EQ(r.status, 0) << r.err << r.out;
    r = Run(std::string("compare-all ") + kReport + " " + snap + " " + Server(f) + " " + kDb);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Changes(r.out), std::vector<std::string>{}) << r.out;
    // Nothing of the run is left in the temporary folder.
    for (const auto& e : std::filesystem::directory_iterator(tmp)) {
        const std::string name = e.path().filename().string();
        EXPECT_TRUE(name.rfind("orvane-snapshot-", 0) != 0 && name.rfind("orvane-folder-", 0) != 0)
            << "left behind: " << name;
    }

    // A snapshot is a Source only.
    r = Run("deploy-script " + Server(f) + " " + kDb + " " + snap);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("the Source may be a scripts folder, folder:<dir>, or a snapshot, "
                         "snapshot:<file>; the Target must be a database"),
              std::string::npos)
        << r.err;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    for (size_t at = 0; at < text.size();) {
        const size_t nl = text.find('\n', at);
        out.push_back(text.substr(at, nl - at));
        at = nl == std::string::npos ? text.size() : nl + 1;
    }
    return out;
}

// The first column of each line.
std::vector<std::string> Names(const std::string& listing) {
    std::vector<std::string> out;
    for (const std::string& line : Lines(listing))
        out.push_back(line.substr(0, line.find('\t')));
    return out;
}

std::vector<std::string> Sorted(std::vector<std::string> lines) {
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::string Sorted(const std::string& listing) {
    std::string out;
    for (const std::string& line : Sorted(Lines(listing)))
        out += line + "\n";
    return out;
}

TEST_P(SnapshotCli, ListAndShowReadASnapshotOrAFolderAsTheyReadTheDatabase) {
    ::setenv("ORVANE_SQLSIM", test::SqlsimExecutable().c_str(), 1);
    CatalogSim f(GetParam(), {"demo_source.sql"});
    ASSERT_SIM_STARTED(f);
    Store(f);
    const std::string file = f.env.PathOf("tuesday.orvsnap"), dir = f.env.PathOf("folder");
    ASSERT_EQ(Run("snapshot " + Server(f) + " " + kDb + " '" + file + "'").status, 0);
    ASSERT_EQ(Run("script-folder " + Server(f) + " " + kDb + " '" + dir + "'").status, 0);
    const std::string live = Server(f) + " " + kDb, snap = "'snapshot:" + file + "'",
                      folder = "'folder:" + dir + "'";
    const bool v2000 = GetParam() == std::string(test::kVersion2000);
    struct Case {
        const char* words;
        bool fromFolder; // a folder's objects get new ids and dates: names and texts only
    };
    const Case cases[] = {
        {"list procedures", false},
        {"list tables", false},
        {"list relationships", false},
        {"show tables dbo.Customers", true},
        {"show views vw_CustomerOrders", true},
        {"show procedures sales.usp_Pipeline_Summary", !v2000},
        {"list views", !v2000},
    };
    for (const Case& c : cases) {
        const std::string words = c.words;
        const std::string verb = words.substr(0, words.find(' ')),
                          rest = words.substr(words.find(' '));
        const CliResult want = Run(verb + " " + live + rest);
        ASSERT_EQ(want.status, 0) << words << ": " << want.err;
        const CliResult got = Run(verb + " " + snap + rest);
        EXPECT_EQ(got.status, 0) << words << ": " << got.err;
        // Objects of one name in two schemas may be listed in either order.
        EXPECT_EQ(verb == "list" ? Sorted(got.out) : got.out,
                  verb == "list" ? Sorted(want.out) : want.out)
            << words;
        if (!c.fromFolder)
            continue;
        const CliResult read = Run(verb + " " + folder + rest);
        EXPECT_EQ(read.status, 0) << words << ": " << read.err;
        EXPECT_EQ(verb == "list" ? Sorted(Names(read.out)) : std::vector<std::string>{read.out},
                  verb == "list" ? Sorted(Names(want.out)) : std::vector<std::string>{want.out})
            << words;
    }
    // What the side cannot answer.
    const std::pair<std::string, std::string> refusals[] = {
        {"show procedures " + snap.substr(0, 0) + "dbo.nope",
         "Procedure 'dbo.nope' not found in database 'OrvaneDemoSource'.\n"},
        {"create procedures dbo.usp_Customer_Get",
         "orvane-cli: 'create' needs SERVER DATABASE; for the scripts of a snapshot or a "
         "scripts folder, see 'orvane-cli script-folder'\nTry 'orvane-cli --help'.\n"},
        {"count dbo.Customers", "orvane-cli: 'count' needs SERVER DATABASE: a snapshot or a "
                                "scripts folder holds no rows\nTry 'orvane-cli --help'.\n"},
    };
    for (const auto& [words, message] : refusals) {
        const std::string verb = words.substr(0, words.find(' ')),
                          rest = words.substr(words.find(' '));
        const CliResult r = Run(verb + " " + snap + rest);
        EXPECT_EQ(r.status, verb == "show" ? 1 : 2) << words;
        EXPECT_EQ(r.err, message) << words;
    }
    // Commands that read only live databases, given a side word where the server goes.
    for (const std::string& side : {snap, folder}) {
        const std::string what = side == snap ? "a snapshot file" : "a scripts folder";
        for (const std::string verb : {"dbinfo", "find", "check-refs", "analyze"}) {
            const std::string words = verb + " " + side + " OrvaneDemoSource" +
                                      (verb == "find"      ? " Cust"
                                       : verb == "analyze" ? " T"
                                                           : "");
            const CliResult r = Run(words);
            EXPECT_NE(r.status, 0) << words;
            const std::string unquoted = side.substr(1, side.size() - 2);
            EXPECT_NE(r.err.find(unquoted + " names " + what +
                                 ", not a server: this command reads a live database."),
                      std::string::npos)
                << words << ": " << r.err;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, SnapshotCli,
                         ::testing::Values(test::kVersion2000, test::kVersion2008),
                         test::VersionName);

} // namespace
} // namespace orv
