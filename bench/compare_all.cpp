// Compares two generated databases whole, in process (the engine) in each way of reading module
// texts (full, hash-first, auto) and as a user runs it (`orvane-cli compare-all --format csv`),
// and sets the times against a plain read of the same module texts and column rows by FreeTDS's
// tsql, one connection per database, both at once; reports the bytes each reading received and
// the peak memory against the definition text compared. Not part of the test run:
//   bench_compare_all [--latency-ms N] [--bandwidth-kbps N] [--repeat N]
//                     [procedures [tables [views [functions [triggers]]]]]
// (defaults 20000 2000 1000 1000 500; 1% of the objects changed, 0.5% on one side only). The
// link options are the simulator's: every connection then behaves as over that link, tsql's
// included. ORV_BENCH_STATEMENTS=1 also times each statement alone.
#include "bench_pair.h"
#include "catalog/listing.h"
#include "catalog/table_script.h"
#include "core/settings.h"
#include "dbcompare/db_compare.h"
#include "dbcompare/run_settings.h"
#include "servers/odbc_connection.h"
#include "sqlsim_process.h"
#include "test_env.h"

#include <linux/tcp.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using bench::Shape;
using bench::WriteDatabase;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

long PeakKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// Runs `statements[i]` through a tsql of its own on database dbs[i], all at once, output
// discarded; the seconds until the last one ends.
double TsqlRun(const orv::test::SqlsimProcess& sim, const std::vector<std::string>& dbs,
               const std::vector<std::vector<std::string>>& statements, const std::string& dir) {
    std::vector<std::string> inputs;
    for (size_t i = 0; i < dbs.size(); ++i) {
        const std::string path = dir + "/tsql_" + std::to_string(i) + ".sql";
        std::ofstream in(path);
        for (const std::string& sql : statements[i])
            in << sql << "\ngo\n";
        in << "exit\n";
        inputs.push_back(path);
    }
    std::fflush(nullptr); // children must not write this process's buffered output again
    const auto start = Clock::now();
    std::vector<pid_t> children;
    for (size_t i = 0; i < dbs.size(); ++i) {
        const pid_t pid = fork();
        if (pid == 0) {
            freopen(inputs[i].c_str(), "r", stdin);
            freopen("/dev/null", "w", stdout);
            freopen("/dev/null", "w", stderr);
            const std::string port = std::to_string(sim.Port());
            execlp("tsql", "tsql", "-H", "127.0.0.1", "-p", port.c_str(), "-U",
                   sim.Options().login.c_str(), "-P", sim.Options().password.c_str(), "-D",
                   dbs[i].c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            std::fprintf(stderr, "tsql ended with status %d\n", status);
    }
    return Seconds(Clock::now() - start);
}

// The statements the comparison sent to each database, as the simulator logged them.
std::vector<std::vector<std::string>> SentStatements(const orv::test::SqlsimProcess& sim,
                                                     const std::vector<std::string>& dbs) {
    std::vector<std::vector<std::string>> out(dbs.size());
    for (const auto& s : sim.Statements())
        for (size_t i = 0; i < dbs.size(); ++i)
            if (s.database == dbs[i])
                out[i].push_back(s.sql);
    return out;
}

// The plainest read of what a comparison needs: every module text and every column row, each
// with its object's name, and nothing computed per row.
std::vector<std::string> PlainReadStatements() {
    return {"SELECT o.id, o.name, o.xtype, c.colid, c.text FROM syscomments c "
            "INNER JOIN sysobjects o ON o.id = c.id ORDER BY o.id, c.colid",
            "SELECT o.id, o.name, c.name, c.colorder, c.xtype, c.xusertype, c.length, c.prec, "
            "c.scale, c.isnullable, c.status FROM syscolumns c INNER JOIN sysobjects o ON o.id = "
            "c.id WHERE o.xtype = 'U' ORDER BY o.id, c.colorder"};
}

// Each statement alone through tsql, less the time of a trivial one: where the server's time
// goes.
void TimeEachStatement(const orv::test::SqlsimProcess& sim, const std::string& db,
                       const std::vector<std::string>& statements, const std::string& dir) {
    const double floor = TsqlRun(sim, {db}, {{"SELECT 1"}}, dir);
    for (const std::string& sql : statements) {
        const double t = TsqlRun(sim, {db}, {{sql}}, dir) - floor;
        std::printf("  %7.3f s  %.150s\n", t, sql.c_str());
    }
}

struct ChildRun {
    double seconds = 0;
    long peakKb = 0;
    int status = -1;
};

// Runs the command-line front end on the pair as a user would, report discarded; its own peak
// memory comes from the kernel's accounting of the child.
ChildRun RunCli(const orv::test::SqlsimProcess& sim) {
    std::fflush(nullptr);
    ChildRun run;
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        freopen("/dev/null", "w", stdout);
        setenv("ORVANE_PASSWORD", sim.Options().password.c_str(), 1);
        const std::string server = sim.ServerName();
        execl(ORV_CLI_PATH, "orvane-cli", "compare-all", "--format", "csv", "--login",
              sim.Options().login.c_str(), server.c_str(), "BenchA", server.c_str(), "BenchB",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage u{};
    wait4(pid, &status, 0, &u);
    run.seconds = Seconds(Clock::now() - start);
    run.peakKb = u.ru_maxrss;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// The bytes received so far on this process's open connections to `port`: the kernel counts
// them per socket, so the ODBC driver needs no hook. Pooled connections stay open after a run
// until DropIdleConnections, so a run that starts with none open is measured whole.
uint64_t BytesReceivedFrom(int port) {
    uint64_t total = 0;
    DIR* dir = opendir("/proc/self/fd");
    if (!dir)
        return 0;
    while (dirent* e = readdir(dir)) {
        const int fd = std::atoi(e->d_name);
        if (fd <= 2 || fd == dirfd(dir))
            continue;
        sockaddr_in peer{};
        socklen_t size = sizeof peer;
        if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &size) != 0 ||
            peer.sin_family != AF_INET || ntohs(peer.sin_port) != port)
            continue;
        tcp_info info{};
        socklen_t infoSize = sizeof info;
        if (getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &infoSize) == 0)
            total += info.tcpi_bytes_received;
    }
    closedir(dir);
    return total;
}

// With ORV_BENCH_TRACE set, each step's start in seconds from the run's start, on stderr: where
// a run's time goes.
class TracingSink final : public orv::ProgressSink {
public:
    void Begin(const std::string& step, int64_t) override {
        std::fprintf(stderr, "  %6.3f s  %s\n", Seconds(Clock::now() - start_), step.c_str());
    }
    void Advance(int64_t, const std::string&) override {}
    void Note(const std::string&) override {}
    void Warn(const std::string&) override {}

private:
    Clock::time_point start_ = Clock::now();
};

struct EngineRun {
    double seconds = 0;
    uint64_t bytes = 0;
    orv::DbCompareResultsPtr results;
};

// One whole comparison in process, from no open connection, timed; the best of `repeat`. The
// statements and results are the last run's alone, so the replays and the memory figure are
// one run's.
EngineRun RunEngine(orv::DbCompareRequest request, orv::CompareReading reading,
                    orv::test::SqlsimProcess& sim, int repeat) {
    request.Reading = reading;
    EngineRun best;
    for (int i = 0; i < repeat; ++i) {
        orv::DropIdleConnections();
        sim.ClearStatements();
        best.results.reset();
        orv::NullProgressSink quiet;
        TracingSink tracing;
        orv::CancelToken cancel;
        const auto start = Clock::now();
        orv::DbCompareResultsPtr results = orv::RunDbCompare(
            request,
            std::getenv("ORV_BENCH_TRACE") ? static_cast<orv::ProgressSink&>(tracing) : quiet,
            cancel);
        const double seconds = Seconds(Clock::now() - start);
        const uint64_t bytes = BytesReceivedFrom(sim.Port());
        if (i == 0 || seconds < best.seconds) {
            best.seconds = seconds;
            best.bytes = bytes;
        }
        best.results = std::move(results);
    }
    orv::DropIdleConnections();
    return best;
}

void PrintCounts(const orv::DbCompareResults& r) {
    const orv::StatusCounts totals = r.Totals();
    std::printf("pairs %lld: identical %lld, different %lld, only in source %lld, only in target "
                "%lld, not comparable %lld\n",
                static_cast<long long>(totals.Total()),
                static_cast<long long>(totals[orv::PairStatus::Identical]),
                static_cast<long long>(totals[orv::PairStatus::Different]),
                static_cast<long long>(totals[orv::PairStatus::OnlyInSource]),
                static_cast<long long>(totals[orv::PairStatus::OnlyInTarget]),
                static_cast<long long>(totals[orv::PairStatus::NotComparable]));
}

// The verdicts of two runs, pair by pair (a hash-first run leaves identical texts unread).
bool SameVerdicts(const orv::DbCompareResults& a, const orv::DbCompareResults& b) {
    if (a.Pairs.size() != b.Pairs.size())
        return false;
    for (size_t i = 0; i < a.Pairs.size(); ++i)
        if (a.Pairs[i].Status != b.Pairs[i].Status ||
            a.Pairs[i].Source.Id != b.Pairs[i].Source.Id ||
            a.Pairs[i].Target.Id != b.Pairs[i].Target.Id)
            return false;
    return true;
}

// Every figure of one link: the three readings in process, the tsql reads, and (on loopback)
// the command line and the time of each statement.
int Measure(orv::test::SqlsimProcess& sim, const std::string& dir, int repeat, bool loopback) {
    orv::DbCompareRequest request;
    orv::ApplyCurrentSettings(request);
    for (int side = 0; side < 2; ++side) {
        request.Server[side].Name = sim.ServerName();
        request.Server[side].SQLAuth = true;
        request.Server[side].LoginName = sim.Options().login;
        request.Server[side].Pwd = sim.Options().password;
        request.Server[side].Version = sim.Options().version;
        request.Server[side].VersionMajor = 10;
    }
    request.Database[0] = "BenchA";
    request.Database[1] = "BenchB";
    request.Types = {orv::kTypeTable,   orv::kTypeProcedure,    orv::kTypeFunction,  orv::kTypeView,
                     orv::kTypeTrigger, orv::kTypeRelationship, orv::kTypeConstraint};
    request.TimeoutSeconds = 0;

    sim.ClearStatements();
    const long peakBefore = PeakKb();
    const EngineRun full = RunEngine(request, orv::CompareReading::Full, sim, repeat);
    const long peakAfter = PeakKb();
    if (!full.results->Complete()) {
        std::fprintf(stderr, "comparison failed: %s\n", full.results->Problem.c_str());
        return 2;
    }
    const std::vector<std::string> dbs = {"BenchA", "BenchB"};
    const auto sent = SentStatements(sim, dbs);
    size_t textBytes = 0;
    for (const auto& p : full.results->Pairs)
        textBytes += p.SourceText.size() + p.TargetText.size();
    PrintCounts(*full.results);
    std::printf("full read:  %.2f s, %.1f MB received, %zu statements\n", full.seconds,
                full.bytes / 1e6, sent[0].size() + sent[1].size());
    sim.ClearStatements();
    const EngineRun hashed = RunEngine(request, orv::CompareReading::HashFirst, sim, repeat);
    const auto sentHashed = SentStatements(sim, dbs);
    std::printf("hash-first: %.2f s, %.1f MB received, %zu statements; %.3f x the full read's "
                "time, %.3f x its bytes%s\n",
                hashed.seconds, hashed.bytes / 1e6, sim.Statements().size(),
                hashed.seconds / full.seconds,
                static_cast<double>(hashed.bytes) / static_cast<double>(full.bytes),
                SameVerdicts(*full.results, *hashed.results) ? "" : "  VERDICTS DIFFER");
    const EngineRun automatic = RunEngine(request, orv::CompareReading::Auto, sim, repeat);
    std::printf("auto (%s): %.2f s, %.1f MB received; %.3f x the full read's time%s\n",
                orv::CompareReadingWord(automatic.results->Reading), automatic.seconds,
                automatic.bytes / 1e6, automatic.seconds / full.seconds,
                SameVerdicts(*full.results, *automatic.results) ? "" : "  VERDICTS DIFFER");

    const double raw = TsqlRun(sim, dbs, sent, dir);
    std::printf("raw fetch of the full read's statements by tsql, both databases at once: %.2f s "
                "(full read / raw fetch %.2f)\n",
                raw, full.seconds / raw);
    const double rawHashed = TsqlRun(sim, dbs, sentHashed, dir);
    std::printf("raw fetch of the hash-first reading's statements by tsql: %.2f s (hash-first / "
                "raw fetch %.2f)\n",
                rawHashed, hashed.seconds / rawHashed);
    const double plain = TsqlRun(sim, dbs, {PlainReadStatements(), PlainReadStatements()}, dir);
    std::printf("plain read of module texts and column rows by tsql, both databases at once: "
                "%.2f s\n",
                plain);
    std::printf("comparison / plain read: full %.2f, hash-first %.2f, auto %.2f (target at most "
                "1.5 on loopback)\n",
                full.seconds / plain, hashed.seconds / plain, automatic.seconds / plain);
    if (!loopback)
        return 0;
    if (std::getenv("ORV_BENCH_STATEMENTS")) {
        std::printf("each statement of BenchA alone:\n");
        TimeEachStatement(sim, "BenchA", sent[0], dir);
        std::printf("each statement of BenchA's hash-first reading alone:\n");
        TimeEachStatement(sim, "BenchA", sentHashed[0], dir);
        std::printf("the plain read's statements alone:\n");
        TimeEachStatement(sim, "BenchA", PlainReadStatements(), dir);
        // The panel's listing still asks OBJECTPROPERTY of every object, and the columns of
        // every table by the per-row identity lookups: the simulator's catalog functions at work.
        std::printf("per-row catalog functions alone:\n");
        TimeEachStatement(sim, "BenchA",
                          {orv::BuildObjSQLString(orv::kTypeProcedure, true),
                           orv::TableColumnsSql("sco.id AS tableid, ", "sob.name",
                                                "WHERE OBJECTPROPERTY(sob.id, N'IsUserTable') = 1 ",
                                                "sco.id, sco.colorder")},
                          dir);
    }
    const ChildRun cli = RunCli(sim);
    std::printf("orvane-cli compare-all --format csv (auto): %.2f s, exit status %d (1 expected: "
                "the pair differs), peak resident memory %.1f MB; / plain read %.2f\n",
                cli.seconds, cli.status, cli.peakKb / 1024.0, cli.seconds / plain);
    const double textMb = static_cast<double>(textBytes) / (1024.0 * 1024.0);
    std::printf("definition text of both databases (as compared, CR LF): %.1f MB\n", textMb);
    std::printf("peak resident memory: %.1f MB before the full read, %.1f MB after (limit 3 x text "
                "+ 50 MB = %.1f MB)\n",
                peakBefore / 1024.0, peakAfter / 1024.0, 3 * textMb + 50);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    Shape shape;
    int* fields[] = {&shape.procedures, &shape.tables, &shape.views, &shape.functions,
                     &shape.triggers};
    std::vector<std::string> linkArgs;
    int repeat = 1;
    int counted = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if ((a == "--latency-ms" || a == "--bandwidth-kbps") && i + 1 < argc) {
            linkArgs.push_back(a);
            linkArgs.push_back(argv[++i]);
        } else if (a == "--repeat" && i + 1 < argc) {
            repeat = std::max(1, std::atoi(argv[++i]));
        } else if (counted < 5) {
            *fields[counted++] = std::atoi(argv[i]);
        }
    }

    orv::test::TestEnv env;
    const std::string dir = env.Dir();
    const auto genStart = Clock::now();
    WriteDatabase(dir + "a.sql", "BenchA", shape, false);
    WriteDatabase(dir + "b.sql", "BenchB", shape, true);
    // The databases are loaded once into a kept data folder; a simulator on the slower link
    // serves the same files afterwards.
    orv::test::SqlsimOptions options;
    options.version = "10.50.1600.1";
    options.scriptFiles = {dir + "a.sql", dir + "b.sql"};
    options.extraArgs = {"--data-dir", dir + "data"};
    std::string error;
    auto sim = std::make_unique<orv::test::SqlsimProcess>(options);
    if (!sim->Start(error, 3'600'000)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return 2;
    }
    std::printf("shape: %d procedures, %d tables, %d views, %d functions, %d triggers per side\n",
                shape.procedures, shape.tables, shape.views, shape.functions, shape.triggers);
    std::printf("generated and loaded in %.1f s\n", Seconds(Clock::now() - genStart));
    std::printf("\n-- loopback, unshaped --\n");
    if (const int status = Measure(*sim, dir, repeat, true))
        return status;
    if (linkArgs.empty())
        return 0;

    sim.reset();
    options.scriptFiles.clear();
    options.extraArgs.insert(options.extraArgs.end(), linkArgs.begin(), linkArgs.end());
    sim = std::make_unique<orv::test::SqlsimProcess>(options);
    if (!sim->Start(error, 600'000)) {
        std::fprintf(stderr, "simulator on the slower link: %s\n", error.c_str());
        return 2;
    }
    std::string link;
    for (const std::string& w : linkArgs)
        link += " " + w;
    std::printf("\n-- simulated link:%s --\n", link.c_str());
    return Measure(*sim, dir, repeat, false);
}
