// Snapshots on the whole-database benchmark's generated pair: the time to take and write a
// snapshot of one database against the time the comparison takes to read that database, the
// file's size against the module texts it keeps, and comparing a snapshot with a live database
// against comparing the two live databases (the verdicts must be the same). Not part of the
// test run:
//   bench_snapshot [--repeat N] [procedures [tables [views [functions [triggers]]]]]
// (defaults 20000 2000 1000 1000 500, as bench_compare_all).
#include "bench_pair.h"
#include "catalog/bulk_catalog.h"
#include "catalog/catalog_snapshot.h"
#include "dbcompare/db_compare.h"
#include "dbcompare/run_settings.h"
#include "servers/odbc_connection.h"
#include "sqlsim_process.h"
#include "test_env.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// The best time of `repeat` runs of `run`, each from no open connection.
double Best(int repeat, const std::function<bool()>& run) {
    double best = -1;
    for (int i = 0; i < repeat; ++i) {
        orv::DropIdleConnections();
        const auto start = Clock::now();
        if (!run())
            return -1;
        const double s = Seconds(Clock::now() - start);
        if (best < 0 || s < best)
            best = s;
    }
    orv::DropIdleConnections();
    return best;
}

bool SameVerdicts(const orv::DbCompareResults& a, const orv::DbCompareResults& b) {
    if (a.Pairs.size() != b.Pairs.size())
        return false;
    for (size_t i = 0; i < a.Pairs.size(); ++i)
        if (a.Pairs[i].Status != b.Pairs[i].Status ||
            a.Pairs[i].Source.Name != b.Pairs[i].Source.Name ||
            a.Pairs[i].Target.Name != b.Pairs[i].Target.Name)
            return false;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    bench::Shape shape;
    int* fields[] = {&shape.procedures, &shape.tables, &shape.views, &shape.functions,
                     &shape.triggers};
    int repeat = 1, counted = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--repeat" && i + 1 < argc)
            repeat = std::max(1, std::atoi(argv[++i]));
        else if (counted < 5)
            *fields[counted++] = std::atoi(argv[i]);
    }
    orv::test::TestEnv env;
    const std::string dir = env.Dir();
    bench::WriteDatabase(dir + "a.sql", "BenchA", shape, false);
    bench::WriteDatabase(dir + "b.sql", "BenchB", shape, true);
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
    const orv::QueryPlace place{request.Server[0], "BenchA", 0};
    const orv::CancelToken cancel;

    // One database as the comparison reads it (full reading, the settings' options).
    const double read = Best(repeat, [&] {
        orv::ServerFacts facts;
        orv::OdbcError e;
        std::string sql;
        if (!orv::ReadServerFacts(place, cancel, facts, e, sql))
            return false;
        orv::CatalogReadOptions o;
        o.IgnoreSysObjects = request.IgnoreSysObjects;
        o.IgnoreIndexes = request.IgnoreIndexes;
        o.CompleteTableScripts = request.CompleteTableScripts;
        o.IgnoreSystemConstraintNames = request.IgnoreSystemConstraintNames;
        orv::BulkCatalogReader reader(place, facts, o, cancel);
        for (const orv::ObjectType type : request.Types) {
            orv::CatalogTypeRead out;
            if (!reader.ReadType(type, out, e, sql)) {
                std::fprintf(stderr, "read: %s\n", e.description.c_str());
                return false;
            }
        }
        return true;
    });

    const std::string file = dir + "BenchA.orvsnap";
    auto snapshot = std::make_shared<orv::CatalogSnapshot>();
    // The catalog's share of the best run.
    double takeSeconds = 0, bestRun = -1;
    const double write = Best(repeat, [&] {
        orv::OdbcError e;
        std::string sql, message;
        const auto takeStart = Clock::now();
        if (!orv::TakeSnapshot(place, sim.ServerName(), cancel, nullptr, *snapshot, e, sql)) {
            std::fprintf(stderr, "snapshot: %s\n", e.description.c_str());
            return false;
        }
        const double take = Seconds(Clock::now() - takeStart);
        if (!orv::WriteSnapshotFile(file, *snapshot, message)) {
            std::fprintf(stderr, "%s\n", message.c_str());
            return false;
        }
        const double run = Seconds(Clock::now() - takeStart);
        if (bestRun < 0 || run < bestRun) {
            bestRun = run;
            takeSeconds = take;
        }
        return true;
    });
    if (read < 0 || write < 0)
        return 2;
    size_t textBytes = 0;
    for (const auto& [key, result] : snapshot->Results)
        if (key.rfind("texts of ", 0) == 0)
            for (const orv::Row& row : result.Rows)
                for (const orv::FieldValue& v : row)
                    if (v.kind == orv::FieldValue::Kind::Text)
                        textBytes += v.text.size();
    const auto fileBytes = std::filesystem::file_size(file);
    std::printf("comparison's read of BenchA alone: %.2f s\n", read);
    std::printf("snapshot of BenchA taken and written: %.2f s (%.2f x the read; target at most "
                "1.2)\n",
                write, write / read);
    std::printf("  of which reading the catalog: %.2f s, the file: %.2f s\n", takeSeconds,
                bestRun - takeSeconds);
    std::printf("snapshot file %.1f MB, module texts in it %.1f MB: %.3f x (target at most "
                "1.2)\n",
                fileBytes / 1e6, textBytes / 1e6,
                static_cast<double>(fileBytes) / static_cast<double>(textBytes));

    std::string message;
    auto fromFile = std::make_shared<orv::CatalogSnapshot>();
    const auto readStart = Clock::now();
    if (!orv::ReadSnapshotFile(file, *fromFile, message)) {
        std::fprintf(stderr, "%s\n", message.c_str());
        return 2;
    }
    if (std::getenv("ORV_BENCH_KEEP"))
        std::filesystem::copy_file(file, std::getenv("ORV_BENCH_KEEP"),
                                   std::filesystem::copy_options::overwrite_existing);
    std::printf("snapshot file read back: %.2f s\n", Seconds(Clock::now() - readStart));

    orv::DbCompareResultsPtr live, withSnapshot;
    request.Reading = orv::CompareReading::Full;
    const double liveFull = Best(repeat, [&] {
        orv::NullProgressSink quiet;
        live = orv::RunDbCompare(request, quiet, cancel);
        return live->Complete();
    });
    request.Reading = orv::CompareReading::Auto;
    const double liveAuto = Best(repeat, [&] {
        orv::NullProgressSink quiet;
        return orv::RunDbCompare(request, quiet, cancel)->Complete();
    });
    request.Snapshot[0] = fromFile;
    request.SnapshotFile[0] = file;
    const double snap = Best(repeat, [&] {
        orv::NullProgressSink quiet;
        withSnapshot = orv::RunDbCompare(request, quiet, cancel);
        return withSnapshot->Complete();
    });
    // A snapshot kept while comparing (compare-all --snapshot-out) holds the fingerprints the
    // comparison read, so the next comparison with it reads only the live side's differences.
    request.Snapshot[0] = nullptr;
    request.SnapshotFile[0].clear();
    request.KeepSnapshot[0] = true;
    orv::CatalogSnapshotPtr keptSnapshot;
    {
        orv::NullProgressSink quiet;
        const orv::DbCompareResultsPtr kept = orv::RunDbCompare(request, quiet, cancel);
        if (!kept->Complete() || !kept->SnapshotTaken[0])
            return 2;
        keptSnapshot = kept->SnapshotTaken[0];
    }
    request.KeepSnapshot[0] = false;
    request.Snapshot[0] = keptSnapshot;
    request.SnapshotFile[0] = file;
    orv::DbCompareResultsPtr withKept;
    const double snapKept = Best(repeat, [&] {
        orv::NullProgressSink quiet;
        withKept = orv::RunDbCompare(request, quiet, cancel);
        return withKept->Complete();
    });
    if (liveFull < 0 || liveAuto < 0 || snap < 0 || snapKept < 0)
        return 2;
    std::printf("compare live BenchA with live BenchB: full %.2f s, auto (hash-first) %.2f s\n",
                liveFull, liveAuto);
    std::printf("compare snapshot of BenchA with live BenchB: %.2f s (%.2f x live full, %.2f x "
                "live auto; target at most 1.0)%s\n",
                snap, snap / liveFull, snap / liveAuto,
                SameVerdicts(*live, *withSnapshot) ? "" : "  VERDICTS DIFFER");
    std::printf("compare a snapshot of BenchA kept while comparing (its fingerprints kept) with "
                "live BenchB: %.2f s (%.2f x live auto, reading %s)%s\n",
                snapKept, snapKept / liveAuto,
                withKept->Reading == orv::CompareReading::HashFirst ? "hash-first" : "full",
                SameVerdicts(*live, *withKept) ? "" : "  VERDICTS DIFFER");
    return 0;
}
