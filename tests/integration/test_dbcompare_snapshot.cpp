// Snapshots as a side of the whole-database comparison: a snapshot taken of a database and
// written to a file compares identical with that database, whichever side it stands on and
// whatever reading options the comparison uses; a change made on the live side afterwards is
// the only difference found; and a snapshot kept while comparing holds the same as one taken
// on its own.
#include "catalog/catalog_snapshot.h"
#include "dbcompare_support.h"
#include "test_catalog_sim.h"
#include "test_hostile_catalog.h"

#include <filesystem>

namespace orv::test {
namespace {

struct SnapshotCase {
    const char* name;
    std::vector<std::string> fixtures;
    std::vector<std::string> scripts;
    const char* db;
};

std::vector<SnapshotCase> Cases() {
    return {
        {"DemoSource", {"demo_source.sql"}, {}, "OrvaneDemoSource"},
        {"DemoTarget", {"demo_target.sql"}, {}, "OrvaneDemoTarget"},
        {"Hostile", {"hostile_catalog.sql"}, hostile::GeneratedScripts(), hostile::kDb},
    };
}

// Takes the snapshot, writes it to a file and reads the file back: what a comparison gets is
// what came through the file.
CatalogSnapshotPtr SnapshotThroughFile(const CatalogSim& f, const std::string& db,
                                       const std::string& path) {
    CatalogSnapshot taken;
    OdbcError error;
    std::string sql;
    const CancelToken cancel;
    EXPECT_TRUE(TakeSnapshot({f.server, db, 30}, "Prod", cancel, nullptr, taken, error, sql))
        << error.description << "\n"
        << sql;
    std::string message;
    EXPECT_TRUE(WriteSnapshotFile(path, taken, message)) << message;
    auto read = std::make_shared<CatalogSnapshot>();
    EXPECT_TRUE(ReadSnapshotFile(path, *read, message)) << message;
    EXPECT_EQ(read->Header.Database, db);
    EXPECT_EQ(read->Header.Server, "Prod");
    EXPECT_EQ(read->Header.VersionMajor, f.server.VersionMajor);
    EXPECT_EQ(read->Header.VersionText, f.server.Version);
    EXPECT_EQ(read->Results.size(), taken.Results.size());
    return read;
}

DbCompareRequest WithSnapshot(const CatalogSim& f, const std::string& db,
                              const CatalogSnapshotPtr& snapshot, const std::string& path,
                              int side) {
    DbCompareRequest request = RequestFor(f.server, db, f.server, db);
    request.Snapshot[side] = snapshot;
    request.SnapshotFile[side] = path;
    request.Server[side].Name = "Prod";
    request.Reading = CompareReading::Auto;
    return request;
}

std::string Dump(const DbCompareResults& r) {
    std::string out = r.Problem;
    for (const std::string& line : NotIdentical(r))
        out += "\n" + line;
    return out;
}

void ExecLive(const CatalogSim& f, const std::string& db, const std::string& sql) {
    OdbcError error;
    const CancelToken cancel;
    EXPECT_TRUE(RunWorkerQuery(
        {f.server, db, 30}, cancel, sql, [](WorkerQuery&, Row&) {}, error))
        << error.description << "\n"
        << sql;
}

class SnapshotRoundTrip : public BothVersions {};

TEST_P(SnapshotRoundTrip, ASnapshotComparesIdenticalWithItsDatabaseUnderEveryReadingOption) {
    for (const SnapshotCase& c : Cases()) {
        CatalogSim f(GetParam(), c.fixtures, c.scripts);
        ASSERT_SIM_STARTED(f);
        const std::string path = f.env.PathOf(std::string(c.name) + kSnapshotExtension);
        const CatalogSnapshotPtr snapshot = SnapshotThroughFile(f, c.db, path);
        ASSERT_FALSE(snapshot->Results.empty()) << c.name;
        // The live side's texts, read live on both sides: the snapshot's must be these bytes.
        DbCompareRequest liveRequest = RequestFor(f.server, c.db, f.server, c.db);
        liveRequest.Reading = CompareReading::Full;
        const DbCompareResultsPtr live = Compare(liveRequest);
        // Encrypted modules cannot be compared even live: those stay as they are.
        const std::vector<std::string> unlike = NotIdentical(*live);
        for (const std::string& line : unlike)
            EXPECT_NE(line.find(": not comparable"), std::string::npos) << c.name << line;
        for (const bool complete : {false, true}) {
            for (const bool ignoreSys : {true, false}) {
                for (const int side : {0, 1}) {
                    const std::string label = std::string(c.name) + (complete ? " complete" : "") +
                                              (ignoreSys ? "" : " with system objects") +
                                              (side ? " target" : " source");
                    DbCompareRequest request = WithSnapshot(f, c.db, snapshot, path, side);
                    request.CompleteTableScripts = complete;
                    request.IgnoreSystemConstraintNames = complete;
                    request.IgnoreSysObjects = ignoreSys;
                    f.sim->ClearStatements();
                    const DbCompareResultsPtr r = Compare(request);
                    ASSERT_TRUE(r->Complete()) << label << ": " << r->Problem;
                    EXPECT_EQ(NotIdentical(*r), unlike) << label << Dump(*r);
                    // A snapshot taken alone keeps no fingerprints: both read in full.
                    EXPECT_EQ(r->Reading, CompareReading::Full) << label;
                    for (const std::string& sql : f.Sql(c.db))
                        EXPECT_EQ(sql.find("HASHBYTES"), std::string::npos) << label << sql;
                    EXPECT_EQ(r->ServerName[side],
                              "Prod (snapshot of " + snapshot->Header.Taken + " UTC)")
                        << label;
                    EXPECT_EQ(r->ServerName[1 - side], f.server.Name) << label;
                    if (complete || !ignoreSys)
                        continue;
                    // The snapshot's texts are the live ones byte for byte; the live side's are
                    // too, where its fingerprints did not spare reading them.
                    ASSERT_EQ(r->Pairs.size(), live->Pairs.size()) << label;
                    for (size_t i = 0; i < r->Pairs.size(); ++i) {
                        const PairVerdict& p = r->Pairs[i];
                        const PairVerdict& l = live->Pairs[i];
                        const bool liveUnread = !p.TextsRead;
                        EXPECT_TRUE(p.SourceText == l.SourceText ||
                                    (side == 1 && liveUnread && p.SourceText.empty()))
                            << label << " " << p.Source.Name;
                        EXPECT_TRUE(p.TargetText == l.TargetText ||
                                    (side == 0 && liveUnread && p.TargetText.empty()))
                            << label << " " << p.Target.Name;
                    }
                }
            }
        }
    }
}

TEST_P(SnapshotRoundTrip, AChangeMadeAfterTheSnapshotIsTheOnlyDifference) {
    CatalogSim f(GetParam(), {"demo_source.sql"});
    ASSERT_SIM_STARTED(f);
    const std::string path = f.env.PathOf("monday.orvsnap");
    const CatalogSnapshotPtr snapshot = SnapshotThroughFile(f, "OrvaneDemoSource", path);
    DbCompareRequest liveRequest =
        RequestFor(f.server, "OrvaneDemoSource", f.server, "OrvaneDemoSource");
    std::vector<std::string> expected = NotIdentical(*Compare(liveRequest));
    expected.push_back("Procedure dbo.usp_Customer_Get: different");
    std::sort(expected.begin(), expected.end());
    ExecLive(f, "OrvaneDemoSource",
             "ALTER PROCEDURE dbo.usp_Customer_Get @CustomerId int AS SELECT @CustomerId");
    for (const CompareReading reading : {CompareReading::Full, CompareReading::HashFirst}) {
        DbCompareRequest request = WithSnapshot(f, "OrvaneDemoSource", snapshot, path, 0);
        request.Reading = reading;
        const DbCompareResultsPtr r = Compare(request);
        ASSERT_TRUE(r->Complete()) << r->Problem;
        EXPECT_EQ(NotIdentical(*r), expected) << CompareReadingWord(reading);
    }
}

TEST_P(SnapshotRoundTrip, ASnapshotKeptWhileComparingHoldsWhatOneTakenAloneHolds) {
    CatalogSim f(GetParam(), {"demo_source.sql", "demo_target.sql"});
    ASSERT_SIM_STARTED(f);
    CatalogSnapshot alone;
    OdbcError error;
    std::string sql;
    const CancelToken cancel;
    ASSERT_TRUE(TakeSnapshot({f.server, "OrvaneDemoTarget", 30}, f.server.Name, cancel, nullptr,
                             alone, error, sql))
        << error.description;
    // Hash-first leaves identical texts on the server; the snapshot must hold them all the same.
    DbCompareRequest request =
        RequestFor(f.server, "OrvaneDemoSource", f.server, "OrvaneDemoTarget", {kTypeProcedure});
    request.Reading = CompareReading::Auto;
    request.KeepSnapshot[1] = true;
    const DbCompareResultsPtr r = Compare(request);
    ASSERT_TRUE(r->Complete()) << r->Problem;
    EXPECT_TRUE(r->SnapshotProblem.empty()) << r->SnapshotProblem;
    ASSERT_TRUE(r->SnapshotTaken[1]);
    EXPECT_FALSE(r->SnapshotTaken[0]);
    const CatalogSnapshot& kept = *r->SnapshotTaken[1];
    EXPECT_EQ(kept.Header.Database, "OrvaneDemoTarget");
    // Besides, the fingerprints the comparison read.
    size_t prints = 0;
    for (const auto& [key, result] : kept.Results)
        prints += key.rfind("fingerprints of ", 0) == 0;
    // (SQL Server 2000 has none: the comparison read in full.)
    EXPECT_EQ(prints, f.server.VersionMajor >= 9 ? 1u : 0u);
    ASSERT_EQ(kept.Results.size(), alone.Results.size() + prints);
    for (const auto& [key, result] : alone.Results) {
        const auto it = kept.Results.find(key);
        ASSERT_NE(it, kept.Results.end()) << key;
        ASSERT_EQ(it->second.Rows.size(), result.Rows.size()) << key;
        for (size_t i = 0; i < result.Rows.size(); ++i)
            for (size_t k = 0; k < result.Rows[i].size(); ++k)
                EXPECT_EQ(it->second.Rows[i][k].Text(), result.Rows[i][k].Text()) << key;
    }
}

// compare-all --snapshot-out keeps the fingerprints a hash-first comparison read: the next
// comparison with that snapshot reads the live side's fingerprints and only the texts that
// differ, and finds what changed meanwhile.
TEST_P(SnapshotRoundTrip, ASnapshotKeptWhileComparingLetsTheNextComparisonReadFingerprints) {
    CatalogSim f(GetParam(), {"demo_source.sql", "demo_target.sql"});
    ASSERT_SIM_STARTED(f);
    DbCompareRequest request =
        RequestFor(f.server, "OrvaneDemoSource", f.server, "OrvaneDemoTarget");
    request.Reading = CompareReading::Auto;
    request.KeepSnapshot[1] = true;
    const DbCompareResultsPtr first = Compare(request);
    ASSERT_TRUE(first->Complete()) << first->Problem;
    ASSERT_TRUE(first->SnapshotTaken[1]) << first->SnapshotProblem;
    const std::string path = f.env.PathOf("night.orvsnap");
    std::string message;
    ASSERT_TRUE(WriteSnapshotFile(path, *first->SnapshotTaken[1], message)) << message;
    auto snapshot = std::make_shared<CatalogSnapshot>();
    ASSERT_TRUE(ReadSnapshotFile(path, *snapshot, message)) << message;

    ExecLive(f, "OrvaneDemoTarget",
             "ALTER PROCEDURE dbo.usp_Customer_Get @CustomerId int AS SELECT @CustomerId");
    DbCompareRequest next = WithSnapshot(f, "OrvaneDemoTarget", snapshot, path, 0);
    next.Reading = CompareReading::Auto;
    f.sim->ClearStatements();
    const DbCompareResultsPtr r = Compare(next);
    ASSERT_TRUE(r->Complete()) << r->Problem;
    const bool hashes = f.server.VersionMajor >= 9;
    EXPECT_EQ(r->Reading, hashes ? CompareReading::HashFirst : CompareReading::Full);
    if (hashes) {
        for (const std::string& sql : f.Sql("OrvaneDemoTarget")) {
            for (const ObjectType type : {kTypeProcedure, kTypeFunction, kTypeView, kTypeTrigger})
                EXPECT_EQ(sql.find(BulkModuleTextQuery(type)), std::string::npos) << sql;
        }
    }
    // The same verdicts as the full read of the same pair.
    DbCompareRequest full = next;
    full.Reading = CompareReading::Full;
    const DbCompareResultsPtr expected = Compare(full);
    ASSERT_TRUE(expected->Complete()) << expected->Problem;
    EXPECT_EQ(NotIdentical(*r), NotIdentical(*expected)) << Dump(*r);
    const std::vector<std::string> unlike = NotIdentical(*r);
    EXPECT_NE(std::find(unlike.begin(), unlike.end(), "Procedure dbo.usp_Customer_Get: different"),
              unlike.end())
        << Dump(*r);
}

INSTANTIATE_TEST_SUITE_P(Versions, SnapshotRoundTrip,
                         ::testing::Values(std::string(kVersion2000), std::string(kVersion2008)),
                         VersionName);

} // namespace
} // namespace orv::test
