// The data analyzer on a table of 1,000,000 rows (tests/fixtures/sim_million.sql): the time of
// one whole analysis through the program's ODBC path, the statements sent (one catalog query,
// then per column one aggregate query and at most one for the top values) and what the server
// received. Run: bench_analyze_data [runs]
#include "explore/data_analyzer.h"
#include "sqlsim_process.h"
#include "test_env.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    using namespace orv;
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;
    test::TestEnv env;
    test::SqlsimOptions options;
    options.version = "10.50.1600.1";
    options.scriptFiles = {test::FixtureFile("sim_million.sql")};
    test::SqlsimProcess sim(options);
    std::string error;
    const auto loadStart = std::chrono::steady_clock::now();
    if (!sim.Start(error, 600000)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return 2;
    }
    std::printf(
        "simulator loaded in %.1f s\n",
        std::chrono::duration<double>(std::chrono::steady_clock::now() - loadStart).count());
    AnalysisRequest request;
    request.Place.Server.Name = sim.ServerName();
    request.Place.Server.SQLAuth = true;
    request.Place.Server.LoginName = options.login;
    request.Place.Server.Pwd = options.password;
    request.Place.Server.Version = options.version;
    request.Place.Database = "BigDb";
    request.Place.TimeoutSeconds = 0;
    request.TableName = "Million";
    for (int run = 1; run <= runs; ++run) {
        sim.ClearStatements();
        NullProgressSink progress;
        CancelToken cancel;
        const auto start = std::chrono::steady_clock::now();
        const AnalysisResultsPtr r = AnalyzeTableData(request, progress, cancel);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (r->Outcome != RunOutcome::Completed) {
            std::fprintf(stderr, "analysis failed: %s\n", r->Failure.c_str());
            return 2;
        }
        size_t received = 0;
        for (const auto& s : sim.Statements())
            received += s.database == "BigDb";
        std::printf("run %d: %zu columns of %lld rows in %.2f s; %zu statements sent, %zu "
                    "received by the server\n",
                    run, r->Columns.size(),
                    static_cast<long long>(r->Columns.empty() ? 0 : r->Columns[0].Rows), seconds,
                    r->Sent.size(), received);
        for (const std::string& sql : r->Sent)
            std::printf("  %s\n", sql.c_str());
    }
    return 0;
}
