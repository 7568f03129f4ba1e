// Stop while the server is busy with one long statement: each long statement of each engine is
// held by the simulator (as a server working through a big query would hold it) until the
// client cancels it, and Stop must end the run at once with the outcome Cancelled, never
// Failed, and long before the command timeout could have ended it.
#include "cli_runner.h"
#include "dbcompare/data_compare.h"
#include "dbcompare/db_compare.h"
#include "explore/analyze_command.h"
#include "explore/data_analyzer.h"
#include "explore/db_catalog.h"
#include "servers/odbc_connection.h"
#include "util/text.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <future>
#include <spawn.h>
#include <thread>

extern char** environ;

namespace orv::test {
namespace {

using Clock = std::chrono::steady_clock;

// The command timeout of every run: a Stop that did nothing could only end the run this late.
constexpr int32_t kCommandTimeout = 20;
// How long the simulator holds the statement unless it is cancelled.
constexpr const char* kStallSeconds = "60";
// How soon after Stop the run must have ended.
constexpr auto kStopWithin = std::chrono::seconds(1);

// A procedure in both databases of the data pair, so the catalog readers have texts to read.
const char* const kProcedures = "USE DcSource\nGO\nCREATE PROCEDURE dbo.P1 AS SELECT 1\nGO\n"
                                "USE DcTarget\nGO\nCREATE PROCEDURE dbo.P1 AS SELECT 1\nGO\n";

struct Ended {
    RunOutcome Outcome = RunOutcome::Completed;
    std::string Problem; // what a stopped run says ("" where the engine says nothing)
};

using Engine = std::function<Ended(const ServerEntry&, const CancelToken&)>;

struct StopCase {
    const char* Name;
    // A piece of the statement the simulator holds: only that statement stalls.
    const char* StallOn;
    Engine Run;
};

void PrintTo(const StopCase& c, std::ostream* os) {
    *os << c.Name;
}

DataCompareRequest DataRequest(const ServerEntry& server, DataCompareMode mode) {
    DataCompareRequest r;
    r.Place[0] = {server, "DcSource", kCommandTimeout};
    r.Place[1] = {server, "DcTarget", kCommandTimeout};
    r.Mode = mode;
    r.Tables.push_back({{"dbo", "dbo"}, {"Customers", "Customers"}, {}});
    return r;
}

Ended RunData(const DataCompareRequest& request, const CancelToken& cancel) {
    NullProgressSink progress;
    const DataCompareResultsPtr r = RunDataCompare(request, progress, cancel);
    return {r->Outcome, r->Problem};
}

Ended CompareAll(const ServerEntry& server, std::vector<ObjectType> types,
                 const CancelToken& cancel, CompareReading reading = CompareReading::Full) {
    DbCompareRequest request;
    request.Reading = reading;
    for (int side = 0; side < 2; ++side)
        request.Server[side] = server;
    request.Database[0] = "DcSource";
    request.Database[1] = "DcTarget";
    request.Types = std::move(types);
    request.TimeoutSeconds = kCommandTimeout;
    NullProgressSink progress;
    const DbCompareResultsPtr r = RunDbCompare(request, progress, cancel);
    return {r->Outcome, r->Problem};
}

std::vector<StopCase> StopCases() {
    std::vector<StopCase> cases;
    cases.push_back({"CompareAllListing", "sch.name AS [schema] FROM sysobjects o",
                     [](const ServerEntry& s, const CancelToken& c) {
                         return CompareAll(s, {kTypeProcedure}, c);
                     }});
    cases.push_back({"CompareAllTexts", "FROM syscomments c INNER JOIN sysobjects o",
                     [](const ServerEntry& s, const CancelToken& c) {
                         return CompareAll(s, {kTypeProcedure}, c);
                     }});
    cases.push_back({"CompareAllFingerprints", "HASHBYTES('SHA1', c.text)",
                     [](const ServerEntry& s, const CancelToken& c) {
                         return CompareAll(s, {kTypeProcedure}, c, CompareReading::HashFirst);
                     }});
    cases.push_back({"CatalogLoadListing", "sch.name AS [schema] FROM sysobjects o",
                     [](const ServerEntry& s, const CancelToken& c) {
                         NullProgressSink progress;
                         const CatalogLoad load =
                             LoadDbCatalog({s, "DcSource", kCommandTimeout}, {kTypeProcedure}, {},
                                           nullptr, progress, c);
                         return Ended{load.Outcome, load.Problem};
                     }});
    cases.push_back({"DataListing", "IsMSShipped", [](const ServerEntry& s, const CancelToken& c) {
                         DataCompareRequest r = DataRequest(s, DataCompareMode::Merge);
                         r.AllTables = true;
                         r.Tables.clear();
                         return RunData(r, c);
                     }});
    cases.push_back(
        {"DataCount", "SELECT COUNT_BIG(*) FROM", [](const ServerEntry& s, const CancelToken& c) {
             DataCompareRequest r = DataRequest(s, DataCompareMode::Auto);
             r.HashThreshold = 0;
             return RunData(r, c);
         }});
    cases.push_back({"DataChecksum", "HASHBYTES(", [](const ServerEntry& s, const CancelToken& c) {
                         return RunData(DataRequest(s, DataCompareMode::Hash), c);
                     }});
    cases.push_back(
        {"DataRanges", "ROW_NUMBER() OVER", [](const ServerEntry& s, const CancelToken& c) {
             DataCompareRequest r = DataRequest(s, DataCompareMode::Hash);
             r.Hashing.WholeRangeRows = 1; // split before anything is hashed
             return RunData(r, c);
         }});
    cases.push_back({"DataMerge", "FROM [dbo].[Customers] ORDER BY",
                     [](const ServerEntry& s, const CancelToken& c) {
                         return RunData(DataRequest(s, DataCompareMode::Merge), c);
                     }});
    cases.push_back(
        {"Analyzer", "COUNT_BIG(*) AS [rows]", [](const ServerEntry& s, const CancelToken& c) {
             AnalysisRequest request;
             request.Place = {s, "DcSource", kCommandTimeout};
             request.TableName = "Customers";
             NullProgressSink progress;
             const AnalysisResultsPtr r = AnalyzeTableData(request, progress, c);
             return Ended{r->Outcome, r->Failure};
         }});
    return cases;
}

std::vector<std::string> StallArgs(const std::string& stallOn) {
    return {"--fault-stall", kStallSeconds, "--fault-stall-on", stallOn};
}

// Waits until the simulator has received a statement holding `piece`.
bool Received(const SqlsimProcess& sim, const std::string& piece,
              std::chrono::seconds within = std::chrono::seconds(30)) {
    const std::string wanted = ToLowerAscii(piece);
    const auto until = Clock::now() + within;
    while (Clock::now() < until) {
        for (const LoggedStatement& s : sim.Statements())
            if (ToLowerAscii(s.sql).find(wanted) != std::string::npos)
                return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

class StopDuringStatement : public ::testing::TestWithParam<StopCase> {};

TEST_P(StopDuringStatement, EndsAtOnceAsCancelled) {
    const StopCase& c = GetParam();
    CatalogSim f(kVersion2008, {"data_compare_pair.sql"}, {kProcedures}, StallArgs(c.StallOn));
    ASSERT_SIM_STARTED(f);
    CancelToken cancel;
    auto running = std::async(std::launch::async, [&] { return c.Run(f.server, cancel); });
    const bool held = Received(*f.sim, c.StallOn);
    if (!held) {
        cancel.RequestCancel();
        running.wait();
        FAIL() << "the run never sent the statement holding \"" << c.StallOn << "\"";
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // the server is waiting now
    const auto stoppedAt = Clock::now();
    cancel.RequestCancel();
    const bool ended =
        running.wait_for(std::chrono::seconds(kCommandTimeout + 5)) == std::future_status::ready;
    const auto took = Clock::now() - stoppedAt;
    ASSERT_TRUE(ended) << "Stop did not end the run";
    EXPECT_LE(took, kStopWithin)
        << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
    const Ended r = running.get();
    EXPECT_EQ(r.Outcome, RunOutcome::Cancelled) << r.Problem;
    if (r.Outcome == RunOutcome::Cancelled && !r.Problem.empty()) {
        EXPECT_EQ(r.Problem, kStoppedByUser);
    }
    EXPECT_TRUE(f.env.prompter.messages.empty()) << "a worker must never show a message";
    DropIdleConnections();
}

INSTANTIATE_TEST_SUITE_P(Engines, StopDuringStatement, ::testing::ValuesIn(StopCases()),
                         [](const ::testing::TestParamInfo<StopCase>& info) {
                             return std::string(info.param.Name);
                         });

// A token already set when a run starts sends nothing at all.
TEST(StopBeforeStart, NoStatementIsSent) {
    CatalogSim f(kVersion2008, {"data_compare_pair.sql"}, {kProcedures});
    ASSERT_SIM_STARTED(f);
    f.sim->ClearStatements();
    for (const StopCase& c : StopCases()) {
        CancelToken cancel;
        cancel.RequestCancel();
        const Ended r = c.Run(f.server, cancel);
        EXPECT_EQ(r.Outcome, RunOutcome::Cancelled) << c.Name << ": " << r.Problem;
    }
    EXPECT_TRUE(f.sim->Statements().empty());
    DropIdleConnections();
}

// Ctrl-C in orvane-cli analyze while the server works on a column: the program stops the
// query, prints what it has and ends with the status of a stopped run.
class StopCli : public CliTest {};

TEST_P(StopCli, CtrlCStopsTheAnalyzerInsideItsQuery) {
    const std::string piece = "COUNT_BIG(*) AS [rows]";
    CatalogSim f(GetParam(), {"data_compare_pair.sql"}, {}, StallArgs(piece));
    ASSERT_SIM_STARTED(f);
    Store(f);
    const std::string errFile = home_ + "/stderr.txt";
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    const std::string cli = ORV_CLI_PATH;
    std::vector<std::string> words = {cli, "analyze", f.server.Name, "DcSource", "Customers"};
    std::vector<std::string> env = {"XDG_CONFIG_HOME=" + home_, "HOME=" + home_};
    for (char** e = environ; *e; ++e)
        if (std::string(*e).rfind("XDG_CONFIG_HOME=", 0) != 0 &&
            std::string(*e).rfind("HOME=", 0) != 0)
            env.push_back(*e);
    std::vector<char*> argv, envp;
    for (std::string& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid = -1;
    ASSERT_EQ(posix_spawn(&pid, cli.c_str(), &files, nullptr, argv.data(), envp.data()), 0);
    posix_spawn_file_actions_destroy(&files);
    auto finish = [&](std::chrono::milliseconds within) {
        const auto until = Clock::now() + within;
        int raw = 0;
        while (Clock::now() < until) {
            if (::waitpid(pid, &raw, WNOHANG) == pid)
                return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -2;
    };
    const bool held = Received(*f.sim, piece);
    if (held)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ::kill(pid, SIGINT);
    const int status = finish(kStopWithin + std::chrono::milliseconds(500));
    if (status == -2) {
        ::kill(pid, SIGKILL);
        finish(std::chrono::seconds(5));
    }
    ASSERT_TRUE(held) << ReadTextFile(errFile);
    EXPECT_EQ(status, kAnalyzeExitError) << "-2: Ctrl-C did not end the program in time";
    const std::string err = ReadTextFile(errFile);
    EXPECT_NE(err.find("orvane-cli analyze: Stopped by the user. 0 column(s) analyzed."),
              std::string::npos)
        << err;
}

INSTANTIATE_TEST_SUITE_P(Versions, StopCli, ::testing::Values(std::string(kVersion2008)),
                         VersionName);

} // namespace
} // namespace orv::test
