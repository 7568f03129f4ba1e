// Scripts folders on the whole-database benchmark's generated database: the time to write it
// as a folder (against the comparison's read of it), the folder's size, the time to read the
// folder back (start a simulator, run every script, read the catalog they made), and a
// comparison of the folder with its database, which must find every object identical. Not
// part of the test run:
//   bench_script_folder [procedures [tables [views [functions [triggers]]]]]
// (defaults 20000 2000 1000 1000 500, as bench_compare_all).
#include "bench_pair.h"
#include "catalog/bulk_catalog.h"
#include "dbcompare/db_compare.h"
#include "dbcompare/run_settings.h"
#include "dbcompare/script_folder_read.h"
#include "dbcompare/script_folder_write.h"
#include "servers/odbc_connection.h"
#include "sqlsim_process.h"
#include "test_env.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
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
    bench::WriteDatabase(dir + "a.sql", "BenchA", shape, false);
    orv::test::SqlsimOptions options;
    options.version = "10.50.1600.1";
    options.scriptFiles = {dir + "a.sql"};
    orv::test::SqlsimProcess sim(options);
    std::string error;
    if (!sim.Start(error, 3'600'000)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return 2;
    }
    std::printf("shape: %d procedures, %d tables, %d views, %d functions, %d triggers\n",
                shape.procedures, shape.tables, shape.views, shape.functions, shape.triggers);
    orv::ServerEntry server;
    server.Name = sim.ServerName();
    server.SQLAuth = true;
    server.LoginName = sim.Options().login;
    server.Pwd = sim.Options().password;
    server.Version = sim.Options().version;
    server.VersionMajor = 10;
    const orv::QueryPlace place{server, "BenchA", 0};
    const orv::CancelToken cancel;
    orv::ServerFacts facts;
    orv::OdbcError e;
    std::string sql;
    if (!orv::ReadServerFacts(place, cancel, facts, e, sql))
        return 2;

    auto start = Clock::now();
    {
        orv::CatalogReadOptions o;
        o.CompleteTableScripts = true;
        o.IgnoreSystemConstraintNames = true;
        orv::BulkCatalogReader reader(place, facts, o, cancel);
        for (const orv::ObjectType type :
             {orv::kTypeTable, orv::kTypeProcedure, orv::kTypeFunction, orv::kTypeView,
              orv::kTypeTrigger, orv::kTypeRelationship, orv::kTypeConstraint}) {
            orv::CatalogTypeRead out;
            if (!reader.ReadType(type, out, e, sql))
                return 2;
        }
    }
    const double read = Since(start);
    orv::DropIdleConnections();

    const std::string folder = dir + "BenchA-folder";
    start = Clock::now();
    orv::ScriptFolderContent content;
    if (!orv::BuildScriptFolder(place, facts, false, cancel, nullptr, content, e, sql)) {
        std::fprintf(stderr, "build: %s\n%s\n", e.description.c_str(), sql.c_str());
        return 2;
    }
    const double built = Since(start);
    std::vector<std::string> removed;
    if (!orv::WriteScriptFolder(folder, content, removed, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    const double written = Since(start);
    uint64_t bytes = 0;
    for (const auto& f : std::filesystem::recursive_directory_iterator(folder))
        if (f.is_regular_file())
            bytes += f.file_size();
    start = Clock::now();
    if (!orv::WriteScriptFolder(folder, content, removed, error))
        return 2;
    const double rewritten = Since(start);
    std::printf("comparison's read of BenchA alone: %.2f s\n", read);
    std::printf("folder built %.2f s, written %.2f s in all (%.2f x the read): %zu files, "
                "%.1f MB\n",
                built, written, written / read, content.Manifest.Files.size(), bytes / 1e6);
    std::printf("the same folder written again (nothing changed): %.2f s\n", rewritten);

    start = Clock::now();
    orv::ScriptFolderRead back;
    if (!orv::ReadScriptFolder(folder, orv::test::SqlsimExecutable(), cancel, nullptr, back,
                               error)) {
        std::fprintf(stderr, "read back: %s\n", error.c_str());
        return 2;
    }
    const double readBack = Since(start);
    std::printf("folder read back (simulator started, scripts run, catalog read): %.2f s, "
                "%zu scripts refused\n",
                readBack, back.Failures.size());

    orv::DbCompareRequest request;
    orv::ApplyCurrentSettings(request);
    request.Server[0] = server;
    request.Server[1] = server;
    request.Database[0] = "BenchA";
    request.Database[1] = "BenchA";
    request.CompleteTableScripts = true;
    request.IgnoreSystemConstraintNames = true;
    request.Reading = orv::CompareReading::Full;
    request.TimeoutSeconds = 0;
    request.Types = {orv::kTypeTable,   orv::kTypeProcedure,    orv::kTypeFunction,  orv::kTypeView,
                     orv::kTypeTrigger, orv::kTypeRelationship, orv::kTypeConstraint};
    request.Snapshot[0] = back.Snapshot;
    start = Clock::now();
    orv::NullProgressSink quiet;
    const orv::DbCompareResultsPtr r = orv::RunDbCompare(request, quiet, cancel);
    const double compared = Since(start);
    if (!r->Complete())
        return 2;
    const orv::StatusCounts totals = r->Totals();
    std::printf("folder compared with BenchA: %.2f s, %lld of %lld identical\n", compared,
                static_cast<long long>(totals[orv::PairStatus::Identical]),
                static_cast<long long>(totals.Total()));
    return totals[orv::PairStatus::Identical] == totals.Total() ? 0 : 1;
}
