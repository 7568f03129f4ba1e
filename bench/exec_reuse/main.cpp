// Runs small queries through ExecAdoCmd against the simulator, first logging in for every call,
// then reusing idle connections, and prints both timings and their ratio.
//   bench_exec_reuse [CALLS]   (default 2000)
#include "core/settings.h"
#include "servers/exec_ado_cmd.h"
#include "servers/odbc_connection.h"
#include "sqlsim_process.h"
#include "test_env.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Run {
    double seconds = 0;
    int failures = 0;
    orv::ConnectionStats stats;
};

Run RunCalls(const orv::ServerEntry& server, int calls, bool reuse) {
    orv::SetConnectionReuse(reuse);
    orv::DropIdleConnections();
    const orv::ConnectionStats before = orv::GetConnectionStats();
    Run r;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < calls; ++i) {
        orv::RecordsetPtr rs;
        int32_t errNumber = 0;
        std::string errDescription;
        // The shape of a row count: one small query per table.
        if (orv::ExecAdoCmd(server, orv::kAdCmdText,
                            "SELECT COUNT(*) AS n FROM T" + std::to_string(i % 20 + 1), rs, "Bench",
                            errNumber, errDescription) == -1 ||
            !rs || rs->Value("n").Long() != i % 20 + 1) {
            ++r.failures;
            if (r.failures == 1)
                std::fprintf(stderr, "first failure: %d %s\n", errNumber, errDescription.c_str());
        }
        if (rs)
            rs->Close();
    }
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const orv::ConnectionStats after = orv::GetConnectionStats();
    r.stats.logins = after.logins - before.logins;
    r.stats.reuses = after.reuses - before.reuses;
    return r;
}

} // namespace

int main(int argc, char** argv) {
    const int calls = argc > 1 ? std::atoi(argv[1]) : 2000;
    orv::test::TestEnv env;
    orv::Settings().CursorLocation = orv::kCursorClientSide;
    orv::QuietConnectionErrors = true;

    std::string script = "CREATE DATABASE Bench\nGO\nUSE Bench\nGO\n";
    for (int t = 1; t <= 20; ++t) {
        script += "CREATE TABLE T" + std::to_string(t) + " (Id int NOT NULL)\nGO\n";
        for (int row = 1; row <= t; ++row)
            script +=
                "INSERT INTO T" + std::to_string(t) + " VALUES (" + std::to_string(row) + ")\n";
        script += "GO\n";
    }
    orv::test::SqlsimOptions options;
    options.scriptTexts = {script};
    orv::test::SqlsimProcess sim(options);
    std::string error;
    if (!sim.Start(error)) {
        std::fprintf(stderr, "cannot start the simulator: %s\n", error.c_str());
        return 1;
    }
    orv::ServerEntry server;
    server.Name = sim.ServerName();
    server.SQLAuth = true;
    server.LoginName = options.login;
    server.Pwd = options.password;

    RunCalls(server, 20, true); // warm-up: driver loaded, simulator files open
    const Run fresh = RunCalls(server, calls, false);
    const Run reused = RunCalls(server, calls, true);
    const Run freshAgain = RunCalls(server, calls, false);
    orv::DropIdleConnections();

    auto print = [calls](const char* what, const Run& r) {
        std::printf("%-22s %8.3f s  %7.3f ms/call  logins %6lld  reuses %6lld  failures %d\n", what,
                    r.seconds, 1000.0 * r.seconds / calls, static_cast<long long>(r.stats.logins),
                    static_cast<long long>(r.stats.reuses), r.failures);
    };
    std::printf("%d calls of ExecAdoCmd (client-side cursor) against sqlsim on loopback\n", calls);
    print("login for every call", fresh);
    print("reused connections", reused);
    print("login for every call", freshAgain);
    std::printf("ratio (without / with reuse): %.2f\n",
                reused.seconds > 0 ? fresh.seconds / reused.seconds : 0.0);
    return fresh.failures + reused.failures == 0 ? 0 : 2;
}
