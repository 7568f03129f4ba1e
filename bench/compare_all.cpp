// Compares two generated databases whole, in process (the engine) and as a user runs it
// (`orvane-cli compare-all --format csv`), and sets the times against the raw fetch of the same
// catalog rows by FreeTDS's tsql, one connection per database, both at once; reports the peak
// memory of both against the definition text compared. Not part of the test run:
//   bench_compare_all [procedures [tables [views [functions [triggers]]]]]
// (defaults 20000 2000 1000 1000 500; 1% of the objects changed, 0.5% on one side only).
#include "core/settings.h"
#include "dbcompare/db_compare.h"
#include "dbcompare/run_settings.h"
#include "servers/odbc_connection.h"
#include "sqlsim_process.h"
#include "test_env.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Shape {
    int procedures = 20000, tables = 2000, views = 1000, functions = 1000, triggers = 500;
};

// Which objects differ between the sides: every 100th is changed, every 200th (offset 1) lives
// only in the source and (offset 101) only in the target.
bool Changed(int i) {
    return i % 100 == 50;
}
bool Present(int i, bool target) {
    return i % 200 != (target ? 1 : 101);
}

void WriteDatabase(const std::string& path, const std::string& db, const Shape& s, bool target) {
    std::ofstream out(path);
    out << "CREATE DATABASE " << db << "\nGO\nUSE " << db << "\nGO\n";
    for (int t = 0; t < s.tables; ++t) {
        if (!Present(t, target))
            continue;
        out << "CREATE TABLE dbo.T" << t << " (\n    Id int IDENTITY(1,1) NOT NULL,\n";
        for (int c = 1; c < 10; ++c)
            out << "    C" << c << " " << (c % 3 == 0 ? "nvarchar(40)" : "int") << " NULL,\n";
        if (target && Changed(t))
            out << "    Extra int NULL,\n";
        out << "    CONSTRAINT PK_T" << t << " PRIMARY KEY CLUSTERED (Id)\n)\nGO\n";
    }
    for (int p = 0; p < s.procedures; ++p) {
        if (!Present(p, target))
            continue;
        out << "CREATE PROCEDURE dbo.P" << p << " @id int\nAS\n-- Procedure " << p
            << " of the generated catalog.\nSET NOCOUNT ON\n";
        for (int l = 0; l < 20; ++l)
            out << "SELECT C" << (l % 9 + 1) << ", C" << ((l + 3) % 9 + 1) << " FROM dbo.T"
                << (p + l) % s.tables << " WHERE Id = @id + " << l << "\n";
        out << (target && Changed(p) ? "RETURN 1\n" : "RETURN 0\n") << "GO\n";
    }
    for (int v = 0; v < s.views; ++v) {
        if (!Present(v, target))
            continue;
        out << "CREATE VIEW dbo.V" << v << "\nAS\nSELECT Id, C1, C2"
            << (target && Changed(v) ? ", C3" : "") << " FROM dbo.T" << v % s.tables << "\nGO\n";
    }
    for (int f = 0; f < s.functions; ++f) {
        if (!Present(f, target))
            continue;
        out << "CREATE FUNCTION dbo.F" << f << " (@x int) RETURNS int\nAS\nBEGIN\n    RETURN @x + "
            << (target && Changed(f) ? f + 1 : f) << "\nEND\nGO\n";
    }
    for (int r = 0; r < s.triggers; ++r) {
        if (!Present(r, target) || !Present(r % s.tables, false) || !Present(r % s.tables, true))
            continue;
        out << "CREATE TRIGGER dbo.TR" << r << " ON dbo.T" << r % s.tables
            << " FOR INSERT\nAS\nSELECT " << (target && Changed(r) ? 2 : 1) << " AS fired\nGO\n";
    }
}

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

long PeakKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// Runs the statements of each database through its own tsql, both at once, output discarded.
double RawFetch(const orv::test::SqlsimProcess& sim, const std::vector<std::string> dbs,
                const std::string& dir) {
    std::vector<std::string> inputs;
    for (const std::string& db : dbs) {
        const std::string path = dir + "/raw_" + db + ".sql";
        std::ofstream in(path);
        for (const auto& s : sim.Statements())
            if (s.database == db)
                in << s.sql << "\ngo\n";
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

} // namespace

int main(int argc, char** argv) {
    Shape shape;
    int* fields[] = {&shape.procedures, &shape.tables, &shape.views, &shape.functions,
                     &shape.triggers};
    for (int i = 1; i < argc && i <= 5; ++i)
        *fields[i - 1] = std::atoi(argv[i]);

    orv::test::TestEnv env;
    const std::string dir = env.Dir();
    const auto genStart = Clock::now();
    WriteDatabase(dir + "a.sql", "BenchA", shape, false);
    WriteDatabase(dir + "b.sql", "BenchB", shape, true);
    orv::test::SqlsimOptions options;
    options.version = "10.50.1600.1";
    options.scriptFiles = {dir + "a.sql", dir + "b.sql"};
    orv::test::SqlsimProcess sim(options);
    std::string error;
    if (!sim.Start(error, 3'600'000)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return 2;
    }
    std::printf("shape: %d procedures, %d tables, %d views, %d functions, %d triggers per side\n",
                shape.procedures, shape.tables, shape.views, shape.functions, shape.triggers);
    std::printf("generated and loaded in %.1f s\n", Seconds(Clock::now() - genStart));

    orv::DbCompareRequest request;
    orv::ApplyCurrentSettings(request);
    for (int side = 0; side < 2; ++side) {
        request.Server[side].Name = sim.ServerName();
        request.Server[side].SQLAuth = true;
        request.Server[side].LoginName = options.login;
        request.Server[side].Pwd = options.password;
        request.Server[side].Version = options.version;
        request.Server[side].VersionMajor = 10;
    }
    request.Database[0] = "BenchA";
    request.Database[1] = "BenchB";
    request.Types = {orv::kTypeTable,   orv::kTypeProcedure,    orv::kTypeFunction,  orv::kTypeView,
                     orv::kTypeTrigger, orv::kTypeRelationship, orv::kTypeConstraint};
    request.TimeoutSeconds = 0;

    sim.ClearStatements();
    const long peakBefore = PeakKb();
    orv::NullProgressSink sink;
    orv::CancelToken cancel;
    const auto start = Clock::now();
    const orv::DbCompareResultsPtr results = orv::RunDbCompare(request, sink, cancel);
    const double engine = Seconds(Clock::now() - start);
    const long peakAfter = PeakKb();
    if (!results->Complete()) {
        std::fprintf(stderr, "comparison failed: %s\n", results->Problem.c_str());
        return 2;
    }
    size_t textBytes = 0;
    for (const auto& p : results->Pairs)
        textBytes += p.SourceText.size() + p.TargetText.size();
    const orv::StatusCounts totals = results->Totals();
    std::printf("pairs %lld: identical %lld, different %lld, only in source %lld, only in target "
                "%lld, not comparable %lld\n",
                static_cast<long long>(totals.Total()),
                static_cast<long long>(totals[orv::PairStatus::Identical]),
                static_cast<long long>(totals[orv::PairStatus::Different]),
                static_cast<long long>(totals[orv::PairStatus::OnlyInSource]),
                static_cast<long long>(totals[orv::PairStatus::OnlyInTarget]),
                static_cast<long long>(totals[orv::PairStatus::NotComparable]));
    std::printf("engine (RunDbCompare): %.2f s, %zu statements sent\n", engine,
                sim.Statements().size());
    orv::DropIdleConnections();

    const double raw = RawFetch(sim, {"BenchA", "BenchB"}, dir);
    std::printf("raw fetch of the same statements by tsql, both databases at once: %.2f s\n", raw);
    std::printf("engine / raw fetch: %.2f (target at most 1.5)\n", engine / raw);
    orv::DropIdleConnections();
    const ChildRun cli = RunCli(sim);
    std::printf("orvane-cli compare-all --format csv: %.2f s, exit status %d (1 expected: the "
                "pair differs), peak resident memory %.1f MB\n",
                cli.seconds, cli.status, cli.peakKb / 1024.0);
    std::printf("orvane-cli / raw fetch: %.2f (target at most 1.5)\n", cli.seconds / raw);
    const double textMb = static_cast<double>(textBytes) / (1024.0 * 1024.0);
    std::printf("definition text of both databases (as compared, CR LF): %.1f MB\n", textMb);
    std::printf("peak resident memory: %.1f MB before the run, %.1f MB after (limit 3 x text + "
                "50 MB = %.1f MB)\n",
                peakBefore / 1024.0, peakAfter / 1024.0, 3 * textMb + 50);
    return 0;
}
