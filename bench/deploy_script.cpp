// Makes the deployment script between the two generated databases of the whole-database
// benchmark, applies it and compares again, and sets the time of making the script (reading
// both sides' structure, then writing the script) against the comparison it starts from. Not
// part of the test run:
//   bench_deploy_script [procedures [tables [views [functions [triggers]]]]]
// (defaults 20000 2000 1000 1000 500; 1% of the objects changed, 0.5% on one side only; every
// differing object is deployed, those only in the target dropped).
#include "bench_pair.h"
#include "dbcompare/db_compare.h"
#include "dbcompare/run_settings.h"
#include "deploy/deploy_run.h"
#include "deploy/deploy_session.h"
#include "sqlsim_process.h"
#include "test_env.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv) {
    bench::Shape shape;
    int* fields[] = {&shape.procedures, &shape.tables, &shape.views, &shape.functions,
                     &shape.triggers};
    for (int i = 1; i < argc && i <= 5; ++i)
        *fields[i - 1] = std::atoi(argv[i]);

    orv::test::TestEnv env;
    const std::string dir = env.Dir();
    auto start = Clock::now();
    // The changed side is the source here: the script brings the plain side up to it.
    bench::WriteDatabase(dir + "a.sql", "BenchTarget", shape, false);
    bench::WriteDatabase(dir + "b.sql", "BenchSource", shape, true);
    orv::test::SqlsimOptions options;
    options.version = "10.50.1600.1";
    options.scriptFiles = {dir + "a.sql", dir + "b.sql"};
    std::string error;
    orv::test::SqlsimProcess sim(options);
    if (!sim.Start(error, 3'600'000)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return 2;
    }
    std::printf("shape: %d procedures, %d tables, %d views, %d functions, %d triggers per side\n",
                shape.procedures, shape.tables, shape.views, shape.functions, shape.triggers);
    std::printf("generated and loaded in %.1f s\n", Since(start));

    orv::ServerEntry server;
    server.Name = sim.ServerName();
    server.SQLAuth = true;
    server.LoginName = options.login;
    server.Pwd = options.password;
    server.Version = options.version;
    server.VersionMajor = 10;
    orv::DbCompareRequest request;
    orv::ApplyCurrentSettings(request);
    request.Kind = orv::DbCompareKind::All;
    request.Types = {orv::kTypeTable, orv::kTypeProcedure, orv::kTypeFunction,
                     orv::kTypeView,  orv::kTypeTrigger,   orv::kTypeRelationship};
    request.Server[0] = request.Server[1] = server;
    request.Database[0] = "BenchSource";
    request.Database[1] = "BenchTarget";
    request.TimeoutSeconds = 0;
    orv::NullProgressSink sink;
    orv::CancelToken cancel;

    start = Clock::now();
    orv::DbCompareResultsPtr results = orv::RunDbCompare(request, sink, cancel);
    const double compare = Since(start);
    if (!results->Complete()) {
        std::fprintf(stderr, "comparison: %s\n", results->Problem.c_str());
        return 2;
    }
    start = Clock::now();
    orv::DeploySession session;
    if (!session.Prepare(request, *results, sink, cancel, error)) {
        std::fprintf(stderr, "prepare: %s\n", error.c_str());
        return 2;
    }
    const double prepare = Since(start);
    orv::DeployOptions deployOptions;
    deployOptions.AllowDataLoss = true;
    start = Clock::now();
    const orv::DeployScript script = session.Script(session.Offered(), deployOptions, 0);
    const double make = Since(start);
    start = Clock::now();
    const orv::DeployRunResult run =
        orv::RunDeployScript({server, "BenchTarget", 0}, script, sink, cancel);
    const double apply = Since(start);
    if (run.Outcome != orv::RunOutcome::Completed) {
        std::fprintf(stderr, "apply: %s\n", orv::DeployFailureText(run).c_str());
        return 2;
    }
    start = Clock::now();
    orv::DeployVerification verification;
    if (!orv::VerifyDeployment(request, session.Offered(), sink, cancel, verification, error)) {
        std::fprintf(stderr, "verify: %s\n", error.c_str());
        return 2;
    }
    const double verify = Since(start);

    std::printf("compare-all:                %.2f s (%zu objects offered to deploy)\n", compare,
                session.Offered().size());
    std::printf("read both structures:       %.2f s\n", prepare);
    std::printf("write the script:           %.3f s (%d steps, %zu bytes, %zu batches)\n", make,
                script.StepCount, script.Text.size(), script.Batches.size());
    std::printf("making the script adds:     %.1f%% to the comparison\n",
                100.0 * (prepare + make) / compare);
    std::printf("apply on the target:        %.2f s\n", apply);
    std::printf("compare again:              %.2f s: %s\n", verify,
                orv::VerificationText(verification).substr(0, 60).c_str());
    return verification.AllMatch() ? 0 : 1;
}
