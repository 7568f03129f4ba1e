// Deployments of the demo pair both ways, and runs that fail or are stopped half-way: the
// target is then exactly as it was, and the message names the step and the server's words.
#include "catalog/sql_quote.h"
#include "dbcompare_support.h"
#include "deploy/deploy_run.h"
#include "deploy/deploy_session.h"
#include "test_catalog_sim.h"

#include <chrono>
#include <thread>

namespace orv::test {
namespace {

const std::vector<ObjectType> kTypes = {kTypeTable, kTypeProcedure, kTypeFunction,
                                        kTypeView,  kTypeTrigger,   kTypeRelationship};

DbCompareRequest Request(const ServerEntry& server, const std::string& source,
                         const std::string& target) {
    DbCompareRequest r = RequestFor(server, source, server, target, kTypes);
    r.CompleteTableScripts = true;
    r.IgnoreSystemConstraintNames = true;
    return r;
}

// "table: rows" for every table of the database, in name order.
std::vector<std::string> RowCounts(const ServerEntry& server, const std::string& database) {
    std::vector<std::string> counts;
    std::vector<std::string> tables;
    OdbcError error;
    CancelToken cancel;
    EXPECT_TRUE(RunWorkerQuery(
        {server, database, 30}, cancel,
        "SELECT TABLE_SCHEMA, TABLE_NAME FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_TYPE = "
        "'BASE TABLE' ORDER BY TABLE_SCHEMA, TABLE_NAME",
        [&](WorkerQuery&, Row& row) {
            tables.push_back(QuoteCatalogName(row[0].Text()) + "." +
                             QuoteCatalogName(row[1].Text()));
        },
        error));
    for (const std::string& t : tables) {
        EXPECT_TRUE(RunWorkerQuery(
            {server, database, 30}, cancel, "SELECT COUNT(*) FROM " + t,
            [&](WorkerQuery&, Row& row) { counts.push_back(t + ": " + row[0].Text()); }, error))
            << t << ": " << error.description;
    }
    return counts;
}

struct Prepared {
    DbCompareRequest Request;
    std::vector<DeployObject> Included;
    DeploySession Session;
    DeployScript Script;
};

void Prepare(const CatalogSim& f, const std::string& source, const std::string& target,
             bool allowLoss, Prepared& p, const std::string& leaveOut = {}) {
    p.Request = Request(f.server, source, target);
    DbCompareResultsPtr results = Compare(p.Request);
    ASSERT_TRUE(results->Complete()) << results->Problem;
    NullProgressSink sink;
    CancelToken cancel;
    std::string error;
    ASSERT_TRUE(p.Session.Prepare(p.Request, *results, sink, cancel, error)) << error;
    std::vector<DeployObject> included;
    for (const DeployObject& o : p.Session.Offered()) {
        if (o.Name != leaveOut)
            included.push_back(o);
    }
    p.Included = included;
    DeployOptions options;
    options.AllowDataLoss = allowLoss;
    p.Script = p.Session.Script(included, options, 0);
}

class DeployDemo : public BothVersions {};

// The demo's documented changes, deployed in either direction with data loss allowed (the
// target's extra columns go), end identical; the tables keep every row. On SQL Server 2000 the
// archive procedure stays behind: its DELETE TOP (n) is later syntax that server refuses.
TEST_P(DeployDemo, BothDirectionsEndIdenticalWithEveryRow) {
    const bool v8 = GetParam() == std::string(kVersion2000);
    for (const auto& [source, target] :
         {std::pair<std::string, std::string>{"OrvaneDemoSource", "OrvaneDemoTarget"},
          {"OrvaneDemoTarget", "OrvaneDemoSource"}}) {
        SCOPED_TRACE(source + " -> " + target);
        CatalogSim f(GetParam(), {"demo_source.sql", "demo_target.sql"});
        ASSERT_SIM_STARTED(f);
        const std::vector<std::string> rowsBefore = RowCounts(f.server, target);
        Prepared p;
        Prepare(f, source, target, true, p, v8 ? "usp_Archive_AuditLog" : "");
        ASSERT_GT(p.Script.StepCount, 0);
        NullProgressSink sink;
        CancelToken cancel;
        DeployRunResult run = RunDeployScript({f.server, target, 60}, p.Script, sink, cancel);
        ASSERT_EQ(run.Outcome, RunOutcome::Completed) << DeployFailureText(run) << "\n"
                                                      << p.Script.Text;
        DeployVerification v;
        std::string error;
        ASSERT_TRUE(VerifyDeployment(p.Request, p.Included, sink, cancel, v, error)) << error;
        EXPECT_TRUE(v.AllMatch()) << VerificationText(v) << "\n" << p.Script.Text;
        // Encrypted modules stay not comparable, as they were.
        std::vector<std::string> left;
        for (const std::string& pair : NotIdentical(*Compare(p.Request))) {
            if (pair.find(": not comparable") == std::string::npos)
                left.push_back(pair);
        }
        if (v8) {
            const bool forward = source == "OrvaneDemoSource";
            EXPECT_EQ(left, std::vector<std::string>{
                                std::string("Procedure dbo.usp_Archive_AuditLog: only in ") +
                                (forward ? "source" : "target")});
        } else {
            EXPECT_EQ(left, std::vector<std::string>{});
        }
        // Tables dropped as only in the target are gone; every other kept its rows.
        std::vector<std::string> rowsAfter = RowCounts(f.server, target);
        for (const std::string& line : rowsAfter) {
            const std::string table = line.substr(0, line.find("]: ") + 1);
            for (const std::string& was : rowsBefore) {
                if (was.substr(0, was.find("]: ") + 1) == table) {
                    EXPECT_EQ(line, was);
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, DeployDemo, ::testing::Values(kVersion2000, kVersion2008),
                         VersionName);

// A step the server refuses (a UNIQUE over rows that repeat) ends the run: the step and the
// server's message are named, and the steps before it are rolled back with it.
TEST(DeployRun, AFailingStepRollsBackEverythingBefore) {
    CatalogSim f(kVersion2008, {},
                 {"CREATE DATABASE Src\nGO\nUSE Src\nGO\nCREATE TABLE dbo.Bins (Id int NOT NULL "
                  "PRIMARY KEY, Code char(2) NULL CONSTRAINT UQ_Bins_Code UNIQUE, Note "
                  "varchar(20) NULL)\nGO\nCREATE PROCEDURE dbo.uspBins AS SELECT Id FROM "
                  "dbo.Bins\nGO\n"
                  "CREATE DATABASE Tgt\nGO\nUSE Tgt\nGO\nCREATE TABLE dbo.Bins (Id int NOT NULL "
                  "PRIMARY KEY, Code char(2) NULL)\nGO\nINSERT INTO dbo.Bins VALUES (1, 'A1')\n"
                  "INSERT INTO dbo.Bins VALUES (2, 'A1')\nGO\n"});
    ASSERT_SIM_STARTED(f);
    Prepared p;
    Prepare(f, "Src", "Tgt", false, p);
    const std::vector<std::string> before = NotIdentical(*Compare(p.Request));
    NullProgressSink sink;
    CancelToken cancel;
    DeployRunResult run = RunDeployScript({f.server, "Tgt", 60}, p.Script, sink, cancel);
    ASSERT_EQ(run.Outcome, RunOutcome::Failed) << p.Script.Text;
    EXPECT_TRUE(run.RolledBack);
    EXPECT_EQ(run.FailedStep, "Alter table [dbo].[Bins]: add constraint [UQ_Bins_Code]");
    EXPECT_EQ(DeployFailureText(run),
              "Step " + std::to_string(run.FailedStepNumber) +
                  " (Alter table [dbo].[Bins]: add constraint [UQ_Bins_Code]) failed: The CREATE "
                  "UNIQUE INDEX statement terminated because a duplicate key was found for the "
                  "object name 'dbo.Bins' and the index name 'UQ_Bins_Code'. The duplicate key "
                  "value is (A1). The deployment was rolled back.");
    // The column added before the failing step is gone again.
    EXPECT_EQ(NotIdentical(*Compare(p.Request)), before);
    EXPECT_EQ(RowCounts(f.server, "Tgt"), std::vector<std::string>{"[dbo].[Bins]: 2"});
}

// Stop while a step runs: the step is cancelled on the server and the run rolled back.
TEST(DeployRun, StopRollsBack) {
    CatalogSim f(kVersion2008, {},
                 {"CREATE DATABASE Src\nGO\nUSE Src\nGO\nCREATE TABLE dbo.Bins (Id int NOT NULL, "
                  "Note varchar(20) NULL)\nGO\nCREATE PROCEDURE dbo.uspSlowToMake AS SELECT 1\nGO\n"
                  "CREATE DATABASE Tgt\nGO\nUSE Tgt\nGO\nCREATE TABLE dbo.Bins (Id int NOT NULL)\n"
                  "GO\n"},
                 {"--fault-stall", "20", "--fault-stall-on", "uspSlowToMake"});
    ASSERT_SIM_STARTED(f);
    Prepared p;
    Prepare(f, "Src", "Tgt", false, p);
    const std::vector<std::string> before = NotIdentical(*Compare(p.Request));
    NullProgressSink sink;
    CancelToken cancel;
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(800));
        cancel.RequestCancel();
    });
    const auto started = std::chrono::steady_clock::now();
    DeployRunResult run = RunDeployScript({f.server, "Tgt", 60}, p.Script, sink, cancel);
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    ASSERT_EQ(run.Outcome, RunOutcome::Cancelled) << p.Script.Text;
    EXPECT_TRUE(run.RolledBack);
    EXPECT_EQ(DeployFailureText(run), "Stopped by the user. The deployment was rolled back.");
    EXPECT_EQ(NotIdentical(*Compare(p.Request)), before);
}

} // namespace
} // namespace orv::test
