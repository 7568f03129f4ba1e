// Compares two generated tables of eight columns that differ in 100 rows (30 changed, 35 only in
// the source, 35 only in the target) in merge mode and in hash mode, and two identical tables in
// hash mode; sets the times against the raw fetch of both tables ordered by key by FreeTDS's
// bsqldb, both at once, into /dev/null; reports rows transferred, bisection rounds, rows hashed
// and hashing time per side, and the peak memory of orvane-cli compare-data in every mode.
// Not part of the test run:
//   bench_compare_data [rows]        (default 1000000)
#include "dbcompare/data_compare.h"
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
#include <set>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// The 100 differing rows, spread over the table.
struct Differences {
    std::set<int> changed, onlySource;
    int onlyTarget = 35;
    explicit Differences(int rows) {
        for (int i = 0; i < 30; ++i)
            changed.insert(1 + static_cast<int>(static_cast<int64_t>(rows) * i / 30) + 3);
        for (int i = 0; i < 35; ++i)
            onlySource.insert(1 + static_cast<int>(static_cast<int64_t>(rows) * i / 35) + 11);
    }
};

void WriteTable(std::ofstream& out, const std::string& db, int rows, const Differences& d,
                bool target) {
    out << "CREATE DATABASE " << db << "\nGO\nUSE " << db << "\nGO\n"
        << "CREATE TABLE dbo.Big (Id int NOT NULL, V varchar(40) NOT NULL, NV nvarchar(40) NULL, "
           "Amount decimal(12,2) NOT NULL, At datetime NOT NULL, F float NULL, Flag bit NOT "
           "NULL, N int NULL, CONSTRAINT PK_Big PRIMARY KEY (Id))\nGO\n";
    int inBatch = 0;
    auto row = [&](int id, bool changed) {
        out << (inBatch == 0 ? "INSERT INTO dbo.Big VALUES (" : ", (") << id << ", 'value " << id
            << (changed ? "x" : "") << "', N'wert " << id % 977 << "', " << id % 100000 << "."
            << (id % 100 < 10 ? "0" : "") << id % 100 << ", '2020-01-" << (id % 28 < 9 ? "0" : "")
            << id % 28 + 1 << " 10:" << (id % 60 < 10 ? "0" : "") << id % 60 << ":00.000', "
            << (id % 13) << ".25, " << id % 2 << ", "
            << (id % 7 == 0 ? std::string("NULL") : std::to_string(id % 1000)) << ")";
        if (++inBatch == 1000) {
            out << "\nGO\n";
            inBatch = 0;
        }
    };
    for (int id = 1; id <= rows; ++id) {
        if (target && d.onlySource.count(id))
            continue;
        row(id, target && d.changed.count(id));
    }
    if (target)
        for (int i = 1; i <= d.onlyTarget; ++i)
            row(rows + i * 2, false);
    if (inBatch)
        out << "\nGO\n";
}

// Both tables fetched ordered by key by their own bsqldb, both at once, into /dev/null.
double RawFetch(const orv::test::SqlsimProcess& sim, const std::string& dir,
                const std::vector<std::string>& dbs) {
    const std::string conf = dir + "freetds.conf";
    std::ofstream(conf) << "[benchsim]\n\thost = 127.0.0.1\n\tport = " << sim.Port()
                        << "\n\ttds version = 7.3\n\tclient charset = UTF-8\n";
    const std::string query = dir + "raw.sql";
    std::ofstream(query) << "SELECT Id, V, NV, Amount, At, F, Flag, N FROM dbo.Big ORDER BY Id\n";
    std::fflush(nullptr);
    const auto start = Clock::now();
    std::vector<pid_t> children;
    for (const std::string& db : dbs) {
        const pid_t pid = fork();
        if (pid == 0) {
            setenv("FREETDSCONF", conf.c_str(), 1);
            freopen("/dev/null", "w", stdout);
            freopen("/dev/null", "w", stderr);
            execlp("bsqldb", "bsqldb", "-S", "benchsim", "-U", sim.Options().login.c_str(), "-P",
                   sim.Options().password.c_str(), "-D", db.c_str(), "-i", query.c_str(),
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            std::fprintf(stderr, "bsqldb ended with status %d\n", status);
    }
    return Seconds(Clock::now() - start);
}

struct ChildRun {
    double seconds = 0;
    long peakKb = 0;
    int status = -1;
};

ChildRun RunCli(const orv::test::SqlsimProcess& sim, const char* mode, const char* db2) {
    std::fflush(nullptr);
    ChildRun run;
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        freopen("/dev/null", "w", stdout);
        freopen("/dev/null", "w", stderr);
        setenv("ORVANE_PASSWORD", sim.Options().password.c_str(), 1);
        const std::string server = sim.ServerName();
        execl(ORV_CLI_PATH, "orvane-cli", "compare-data", "--tables", "dbo.Big", "--mode", mode,
              "--format", "csv", "--login", sim.Options().login.c_str(), server.c_str(), "BenchA",
              server.c_str(), db2, static_cast<char*>(nullptr));
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

struct EngineRun {
    double seconds = 0;
    orv::DataTableResult pair;
};

EngineRun RunEngine(orv::DataCompareRequest request, orv::DataCompareMode mode,
                    const std::string& db2) {
    request.Mode = mode;
    request.Place[1].Database = db2;
    orv::NullProgressSink sink;
    orv::CancelToken cancel;
    const auto start = Clock::now();
    const orv::DataCompareResultsPtr r = orv::RunDataCompare(request, sink, cancel);
    EngineRun run;
    run.seconds = Seconds(Clock::now() - start);
    if (!r->Complete() || r->Tables.size() != 1) {
        std::fprintf(stderr, "comparison failed: %s\n", r->Problem.c_str());
        std::exit(2);
    }
    run.pair = r->Tables[0];
    orv::DropIdleConnections();
    return run;
}

void Print(const char* what, const EngineRun& e, double raw, int rows) {
    const orv::DataTableResult& p = e.pair;
    const int64_t transferred = p.RowsRead[0] + p.RowsRead[1];
    std::printf("%s: %.2f s (%.2f x raw fetch); identical %lld, different %lld, only in source "
                "%lld, only in target %lld; rows transferred %lld (%.3f%% of %d); bisection "
                "rounds %lld; rows hashed %lld / %lld; hashing %.2f s / %.2f s (source / "
                "target)\n",
                what, e.seconds, e.seconds / raw, static_cast<long long>(p.Identical),
                static_cast<long long>(p.Different), static_cast<long long>(p.OnlyInSource),
                static_cast<long long>(p.OnlyInTarget), static_cast<long long>(transferred),
                100.0 * static_cast<double>(transferred) / (2.0 * rows), 2 * rows,
                static_cast<long long>(p.BisectionRounds), static_cast<long long>(p.RowsHashed[0]),
                static_cast<long long>(p.RowsHashed[1]), p.HashSeconds[0], p.HashSeconds[1]);
}

} // namespace

int main(int argc, char** argv) {
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    orv::test::TestEnv env;
    const std::string dir = env.Dir();
    const Differences d(rows);
    const auto genStart = Clock::now();
    {
        std::ofstream a(dir + "a.sql"), b(dir + "b.sql"), c(dir + "c.sql");
        WriteTable(a, "BenchA", rows, d, false);
        WriteTable(b, "BenchB", rows, d, true);
        WriteTable(c, "BenchC", rows, d, false); // a copy of BenchA in a database of its own
    }
    orv::test::SqlsimOptions options;
    options.version = "10.50.1600.1";
    options.scriptFiles = {dir + "a.sql", dir + "b.sql", dir + "c.sql"};
    orv::test::SqlsimProcess sim(options);
    std::string error;
    if (!sim.Start(error, 7'200'000)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return 2;
    }
    std::printf("%d rows per table, 8 columns; generated and loaded in %.1f s\n", rows,
                Seconds(Clock::now() - genStart));

    orv::DataCompareRequest request;
    for (int side = 0; side < 2; ++side) {
        orv::ServerEntry& s = request.Place[side].Server;
        s.Name = sim.ServerName();
        s.SQLAuth = true;
        s.LoginName = options.login;
        s.Pwd = options.password;
        s.Version = options.version;
        s.VersionMajor = 10;
        request.Place[side].Database = side == 0 ? "BenchA" : "BenchB";
    }
    request.Tables.push_back({{"dbo", "dbo"}, {"Big", "Big"}, {}});
    request.RowKeepLimit = 5000;
    // ORVANE_BENCH_HASHING="first-part-rows,fanout,small-range" tries other range sizes.
    if (const char* tuning = std::getenv("ORVANE_BENCH_HASHING")) {
        long long first = 0, small = 0;
        int fanout = 0;
        if (std::sscanf(tuning, "%lld,%d,%lld", &first, &fanout, &small) == 3) {
            request.Hashing.FirstPartRows = first;
            request.Hashing.Fanout = fanout;
            request.Hashing.SmallRange = small;
        }
        std::printf("hashing: first parts of %lld rows, then %d parts, fetched at %lld rows\n",
                    static_cast<long long>(request.Hashing.FirstPartRows), request.Hashing.Fanout,
                    static_cast<long long>(request.Hashing.SmallRange));
    }

    const double raw = RawFetch(sim, dir, {"BenchA", "BenchB"});
    std::printf("(c) bsqldb, both tables ordered by key at once into /dev/null: %.2f s\n", raw);
    const EngineRun merge = RunEngine(request, orv::DataCompareMode::Merge, "BenchB");
    Print("(a) merge", merge, raw, rows);
    const EngineRun hash = RunEngine(request, orv::DataCompareMode::Hash, "BenchB");
    Print("(b) hash", hash, raw, rows);
    const EngineRun same = RunEngine(request, orv::DataCompareMode::Hash, "BenchC");
    Print("(b') hash, identical tables", same, raw, rows);
    const bool agree = merge.pair.Identical == hash.pair.Identical &&
                       merge.pair.Different == hash.pair.Different &&
                       merge.pair.OnlyInSource == hash.pair.OnlyInSource &&
                       merge.pair.OnlyInTarget == hash.pair.OnlyInTarget;
    std::printf("merge and hash agree: %s (expected 30 different, 35 only in source, 35 only "
                "in target)\n",
                agree ? "yes" : "NO");
    for (const char* mode : {"merge", "hash"}) {
        const ChildRun cli = RunCli(sim, mode, "BenchB");
        std::printf("orvane-cli compare-data --mode %s: %.2f s, exit status %d, peak resident "
                    "memory %.1f MB\n",
                    mode, cli.seconds, cli.status, cli.peakKb / 1024.0);
    }
    const ChildRun cliSame = RunCli(sim, "hash", "BenchC");
    std::printf("orvane-cli compare-data --mode hash, identical tables: %.2f s, exit status %d, "
                "peak resident memory %.1f MB\n",
                cliSame.seconds, cliSame.status, cliSame.peakKb / 1024.0);
    return 0;
}
