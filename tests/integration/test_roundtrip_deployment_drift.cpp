// The target changed between the comparison and the run: `deploy-script --apply` compares, and
// before its script runs someone changes the target through a connection of their own. What
// the script includes, drops or relies on is read again; a change refuses the run with exit
// status 3, names each object and how it changed, and the target receives none of the
// script's statements. A change nothing in the script touches, or none, lets it run.
#include "dbcompare_support.h"
#include "deploy/deploy_command.h"
#include "deploy/target_check.h"
#include "test_catalog_sim.h"

#include <algorithm>
#include <chrono>
#include <sstream>
#include <thread>

namespace orv::test {
namespace {

const char* const kPair =
    "CREATE DATABASE Src\nGO\nUSE Src\nGO\n"
    "CREATE TABLE dbo.Bins (Id int NOT NULL CONSTRAINT PK_Bins PRIMARY KEY, Code char(2) NULL, "
    "Note varchar(20) "
    "NULL)\nGO\n"
    "CREATE TABLE dbo.Spare (Id int NOT NULL)\nGO\n"
    "CREATE PROCEDURE dbo.uspBins AS SELECT Id, Code, Note FROM dbo.Bins\nGO\n"
    "CREATE PROCEDURE dbo.uspNew AS SELECT 2 AS Two\nGO\n"
    "CREATE DATABASE Tgt\nGO\nUSE Tgt\nGO\n"
    "CREATE TABLE dbo.Bins (Id int NOT NULL CONSTRAINT PK_Bins PRIMARY KEY, Code char(2) "
    "NULL)\nGO\n"
    "CREATE TABLE dbo.Spare (Id int NOT NULL)\nGO\n"
    "CREATE PROCEDURE dbo.uspBins AS SELECT Id, Code FROM dbo.Bins\nGO\n"
    "CREATE VIEW dbo.vwOld AS SELECT Id FROM dbo.Bins\nGO\n"
    "INSERT INTO dbo.Bins VALUES (1, 'A1')\nGO\n";

struct DriftCase {
    const char* name;
    // Run on the target after the comparison; empty for none.
    const char* change;
    // The lines naming what changed; empty when the script is to run.
    const char* named;
};

const DriftCase kCases[] = {
    {"ChangedProcedure", "ALTER PROCEDURE dbo.uspBins AS SELECT Id FROM dbo.Bins",
     "\n  procedure dbo.uspBins: text changed"},
    {"AddedColumn", "ALTER TABLE dbo.Bins ADD Extra int NULL",
     "\n  table dbo.Bins: columns changed"},
    {"AddedIndex", "CREATE INDEX IX_Bins_Code ON dbo.Bins (Code)",
     "\n  table dbo.Bins: indexes or constraints changed"},
    {"ChangedViewTheScriptDrops", "ALTER VIEW dbo.vwOld AS SELECT Id, Code FROM dbo.Bins",
     "\n  view dbo.vwOld: text changed"},
    {"DroppedViewTheScriptDrops", "DROP VIEW dbo.vwOld", "\n  view dbo.vwOld: disappeared"},
    {"ProcedureTheScriptCreatesAppeared", "CREATE PROCEDURE dbo.uspNew AS SELECT 3 AS Three",
     "\n  procedure dbo.uspNew: appeared"},
    {"UnrelatedTable", "ALTER TABLE dbo.Spare ADD Extra int NULL", ""},
    {"Nothing", "", ""},
};

struct Mode {
    const char* version;
    CompareReading reading;
    const char* name;
};

const Mode kModes[] = {{kVersion2000, CompareReading::Auto, "V8"},
                       {kVersion2008, CompareReading::Auto, "V10HashFirst"},
                       {kVersion2008, CompareReading::Full, "V10Full"}};

void PrintTo(const Mode& m, std::ostream* os) {
    *os << m.name;
}
void PrintTo(const DriftCase& c, std::ostream* os) {
    *os << c.name;
}

class TargetDrift : public ::testing::TestWithParam<std::tuple<Mode, DriftCase>> {};

// A batch with LF line breaks and no trailing blanks, as the script file and the log agree.
std::string Plain(const std::string& sql) {
    std::string out;
    for (char ch : sql)
        if (ch != '\r')
            out += ch;
    while (!out.empty() && (out.back() == '\n' || out.back() == ' '))
        out.pop_back();
    return out;
}

// The script's batches as the runner sends them (Plain).
std::vector<std::string> Batches(const std::string& script) {
    std::vector<std::string> batches;
    std::string current;
    std::istringstream in(script);
    for (std::string line; std::getline(in, line);) {
        if (line == "GO") {
            batches.push_back(current);
            current.clear();
        } else if (!line.empty() && line.rfind("--", 0) != 0) {
            current += (current.empty() ? "" : "\n") + line;
        }
    }
    return batches;
}

TEST_P(TargetDrift, ARunIsRefusedWhenWhatItTouchesChanged) {
    const auto& [mode, c] = GetParam();
    CatalogSim f(mode.version, {}, {kPair});
    ASSERT_SIM_STARTED(f);

    DeployScriptArgs args;
    std::string error;
    ASSERT_TRUE(ParseDeployScriptArgs({f.server.Name, "Src", f.server.Name, "Tgt", "--drop-extra",
                                       "--apply", "--confirm-target", "Tgt"},
                                      args, error))
        << error;
    args.Reading = mode.reading;
    DbCompareRequest settings = RequestFor(f.server, "Src", f.server, "Tgt");
    settings.CompleteTableScripts = true;
    settings.IgnoreSystemConstraintNames = true;
    CompareAllServices services;
    services.resolveServer = [&](const std::string&, ServerEntry& entry, std::string&) {
        entry = f.server;
        return true;
    };
    services.run = [&](const DbCompareRequest& request, ProgressSink& progress,
                       const CancelToken& cancel) {
        DbCompareResultsPtr results = RunDbCompare(request, progress, cancel);
        // Behind the comparison's back, through a connection of someone else's.
        if (*c.change) {
            OdbcError failed;
            CancelToken none;
            EXPECT_TRUE(RunWorkerQuery(
                {f.server, "Tgt", 30}, none, c.change, [](WorkerQuery&, Row&) {}, failed))
                << failed.description;
        }
        f.sim->ClearStatements();
        return results;
    };
    NullProgressSink sink;
    CancelToken cancel;
    std::ostringstream out, err;
    const int status = RunDeployScriptOn(args, settings, services, sink, cancel, out, err, 0);

    const std::vector<std::string> batches = Batches(out.str());
    ASSERT_GT(batches.size(), 5u) << out.str();
    std::vector<std::string> received;
    for (const std::string& sql : f.Sql("Tgt"))
        received.push_back(Plain(sql));
    size_t ran = 0;
    for (const std::string& batch : batches) {
        const auto times = std::count(received.begin(), received.end(), batch);
        ran += static_cast<size_t>(times);
        if (!*c.named) {
            EXPECT_GT(times, 0) << batch;
        }
    }
    if (!*c.named) {
        EXPECT_EQ(status, kDeployExitDone) << err.str();
        EXPECT_NE(err.str().find("Target now matches Source: 4 of 4 objects"), std::string::npos)
            << err.str();
        EXPECT_GE(ran, batches.size());
        return;
    }
    EXPECT_EQ(status, kDeployExitTargetChanged) << err.str();
    // After any warning the script's making gave.
    const std::string refused = "orvane-cli deploy-script: the target Tgt has changed since the "
                                "comparison; nothing was run:" +
                                std::string(c.named) +
                                "\nRun the command again to compare afresh and make a script "
                                "for the target as it is now.\n";
    ASSERT_GE(err.str().size(), refused.size()) << err.str();
    EXPECT_EQ(err.str().substr(err.str().size() - refused.size()), refused);
    EXPECT_EQ(ran, 0u);
    // The reading sent nothing but queries.
    for (const std::string& sql : received) {
        const std::string upper = ToUpperAscii(sql);
        for (const char* verb : {"ALTER ", "CREATE ", "DROP ", "BEGIN TRAN"})
            EXPECT_NE(upper.rfind(verb, 0), 0u) << sql;
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, TargetDrift,
                         ::testing::Combine(::testing::ValuesIn(kModes),
                                            ::testing::ValuesIn(kCases)),
                         [](const ::testing::TestParamInfo<std::tuple<Mode, DriftCase>>& info) {
                             return std::string(std::get<0>(info.param).name) + "_" +
                                    std::get<1>(info.param).name;
                         });

} // namespace
} // namespace orv::test

namespace orv::test {
namespace {

// Stop while the Target's texts are being read again: the check ends at once as stopped and
// finds nothing, so nothing is run.
TEST(TargetDriftStop, StopEndsTheCheckAtOnce) {
    CatalogSim f(kVersion2008, {}, {kPair},
                 {"--fault-stall", "20", "--fault-stall-on", "FROM syscomments c WHERE c.id IN"});
    ASSERT_SIM_STARTED(f);
    DbCompareRequest request = RequestFor(f.server, "Src", f.server, "Tgt");
    TargetSeen seen;
    seen.Type = kTypeProcedure;
    seen.Schema = "dbo";
    seen.Name = "uspBins";
    seen.Present = true;
    seen.TextKnown = true;
    NullProgressSink sink;
    CancelToken cancel;
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(800));
        cancel.RequestCancel();
    });
    const auto started = std::chrono::steady_clock::now();
    const TargetCheck check = CheckTarget(request, FingerprintForm::None, {seen}, sink, cancel);
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    EXPECT_EQ(check.Outcome, RunOutcome::Cancelled);
    EXPECT_EQ(check.Problem, "Stopped by the user.");
    EXPECT_TRUE(check.Changes.empty());
}

} // namespace
} // namespace orv::test
