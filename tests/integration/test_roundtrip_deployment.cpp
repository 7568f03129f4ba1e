// The deployment proves itself: compare, make the script, run it on the target, compare again.
// Over generated pairs in both directions and both server generations: the target ends
// identical, and every table it kept holds all its rows with the same values in the columns
// both sides share. Without permission to lose data, nothing is lost: the held-back steps are
// the only differences left, and allowing them finishes the job.
//
// ORVANE_DEPLOY_SEEDS picks the seeds ("1-200", "17"); the normal run takes a few.
#include "catalog/create_builder.h"
#include "catalog/sql_quote.h"
#include "dbcompare_support.h"
#include "deploy/deploy_run.h"
#include "deploy/deploy_session.h"
#include "deploy/schema_reader.h"
#include "deploy_pair_generator.h"
#include "test_catalog_sim.h"

#include <cstdlib>
#include <map>
#include <set>

namespace orv::test {
namespace {

std::vector<uint32_t> Seeds() {
    const char* env = std::getenv("ORVANE_DEPLOY_SEEDS");
    std::string text = env && *env ? env : "1-3";
    size_t dash = text.find('-');
    uint32_t first = static_cast<uint32_t>(std::stoul(text.substr(0, dash)));
    uint32_t last = dash == std::string::npos
                        ? first
                        : static_cast<uint32_t>(std::stoul(text.substr(dash + 1)));
    std::vector<uint32_t> seeds;
    for (uint32_t s = first; s <= last; ++s)
        seeds.push_back(s);
    return seeds;
}

const std::vector<ObjectType> kDeployTypes = {kTypeTable, kTypeProcedure, kTypeFunction,
                                              kTypeView,  kTypeTrigger,   kTypeRelationship};

DbCompareRequest DeployRequest(const ServerEntry& server, const std::string& source,
                               const std::string& target) {
    DbCompareRequest r = RequestFor(server, source, server, target, kDeployTypes);
    // Defaults, CHECKs and uniques count, whatever names the server gave them.
    r.CompleteTableScripts = true;
    r.IgnoreSystemConstraintNames = true;
    r.Reading = CompareReading::Full;
    return r;
}

// Every row of every target table, in key order, over the columns it shares with the source.
using TableRows = std::map<std::string, std::vector<std::string>>;

SchemaModel WholeModel(const ServerEntry& server, const std::string& database) {
    SchemaModel model;
    OdbcError error;
    std::string failedSql;
    CancelToken cancel;
    ServerFacts facts;
    facts.VersionMajor = server.VersionMajor;
    SchemaReadRequest everything;
    everything.Everything = true;
    EXPECT_TRUE(
        ReadSchemaModel({server, database, 30}, facts, everything, cancel, model, error, failedSql))
        << error.description << "\n"
        << failedSql;
    return model;
}

// The rows of every target table over the columns it shares with the source, as they stand
// before the deployment; read again afterwards over the same columns. A column confirmed as
// renamed is shared too: read under its old name before, under its new one after.
struct SharedRows {
    std::map<std::string, std::string> Columns; // table: its column list, as named after
    TableRows Rows;
};

const ColumnRename* RenameOf(const std::vector<ColumnRename>& renames, const TableDef& t,
                             const std::string& column) {
    for (const ColumnRename& r : renames)
        if (SameName(r.Schema, t.Schema) && SameName(r.Table, t.Name) &&
            SameName(r.OldName, column))
            return &r;
    return nullptr;
}

TableRows RowsOf(const ServerEntry& server, const std::string& database,
                 const std::map<std::string, std::string>& columns) {
    TableRows rows;
    for (const auto& [table, list] : columns) {
        std::vector<std::string>& out = rows[table];
        OdbcError error;
        CancelToken cancel;
        const bool ok = RunWorkerQuery(
            {server, database, 30}, cancel, "SELECT " + list + " FROM " + table + " ORDER BY [Id]",
            [&](WorkerQuery&, Row& row) {
                std::string line;
                for (const FieldValue& v : row)
                    line += (v.IsNull() ? std::string("NULL") : v.Text()) + "|";
                out.push_back(line);
            },
            error);
        EXPECT_TRUE(ok) << table << ": " << error.description;
    }
    return rows;
}

SharedRows RowsBefore(const ServerEntry& server, const std::string& sourceDb,
                      const std::string& targetDb, const std::vector<ColumnRename>& renames) {
    const SchemaModel source = WholeModel(server, sourceDb);
    const SchemaModel target = WholeModel(server, targetDb);
    SharedRows shared;
    std::map<std::string, std::string> now;
    for (const TableDef& t : target.Tables) {
        const TableDef* s = source.FindTable(t.Schema, t.Name);
        if (!s)
            continue;
        std::string columns, after;
        for (const ColumnDef& c : t.Columns) {
            const ColumnRename* renamed = RenameOf(renames, t, c.Name);
            const ColumnDef* sc = s->FindColumn(renamed ? renamed->NewName : c.Name);
            if (sc && c.Computed.empty() && sc->Computed.empty()) {
                columns += (columns.empty() ? "" : ", ") + QuoteCatalogName(c.Name);
                after += (after.empty() ? "" : ", ") + QuoteCatalogName(sc->Name);
            }
        }
        const std::string table = QuoteCatalogName(t.Schema) + "." + QuoteCatalogName(t.Name);
        now[table] = columns;
        shared.Columns[table] = after;
    }
    shared.Rows = RowsOf(server, targetDb, now);
    return shared;
}

struct Deployed {
    DeployScript Script;
    DeployRunResult Run;
};

// One deployment of every offered object (only-in-target ones dropped).
Deployed Deploy(const CatalogSim& f, const DbCompareRequest& request, DeploySession& session,
                bool allowLoss, SharedRows* before, const std::vector<ColumnRename>& renames = {}) {
    NullProgressSink sink;
    CancelToken cancel;
    DbCompareResultsPtr results = RunDbCompare(request, sink, cancel);
    EXPECT_TRUE(results->Complete()) << results->Problem;
    // Every pair differs somewhere before its first deployment.
    if (before) {
        EXPECT_FALSE(results->AllIdentical());
    }
    std::string error;
    EXPECT_TRUE(session.Prepare(request, *results, sink, cancel, error)) << error;
    if (before)
        *before = RowsBefore(f.server, request.Database[0], request.Database[1], renames);
    DeployOptions options;
    options.AllowDataLoss = allowLoss;
    options.ColumnRenames = renames;
    Deployed d;
    d.Script = session.Script(session.Offered(), options, 0);
    // Nothing changed the target since the comparison: the check before a run agrees, on
    // every generated shape.
    const TargetCheck check = session.CheckTarget(session.Offered(), sink, cancel);
    EXPECT_TRUE(check.Unchanged()) << check.Problem << TargetChangeList(check, "\n");
    d.Run = RunDeployScript({f.server, request.Database[1], 60}, d.Script, sink, cancel);
    return d;
}

std::string Describe(uint32_t seed, const std::string& version, const GeneratedPair& pair) {
    std::string text = "seed " + std::to_string(seed) + " (" + version +
                       "; rerun with ORVANE_DEPLOY_SEEDS=" + std::to_string(seed) + "):";
    for (const std::string& m : pair.Mutations)
        text += "\n  " + m;
    return text;
}

class DeployRoundTrip : public BothVersions {};

TEST_P(DeployRoundTrip, GeneratedPairsBothWaysEndIdenticalWithEveryRow) {
    const bool later = GetParam() != kVersion2000;
    for (uint32_t seed : Seeds()) {
        const GeneratedPair pair = GeneratePair(seed, later);
        const std::string about = Describe(seed, GetParam(), pair);
        // Forward: base is the target; backward: the changed copy is.
        CatalogSim f(GetParam(), {},
                     {pair.ChangedScript("FwdSource") + pair.BaseScript("FwdTarget") +
                      pair.BaseScript("BackSource") + pair.ChangedScript("BackTarget")});
        ASSERT_SIM_STARTED(f) << about;
        for (const char* direction : {"Fwd", "Back"}) {
            SCOPED_TRACE(about + "\n  direction " + direction);
            const DbCompareRequest request = DeployRequest(
                f.server, std::string(direction) + "Source", std::string(direction) + "Target");
            // The columns the changed copy renamed, confirmed as a user would confirm them.
            const bool forward = direction[0] == 'F';
            std::vector<ColumnRename> renames;
            for (const GeneratedPair::RenamedColumn& r : pair.RenamedColumns)
                renames.push_back({r.Schema, r.Table, forward ? r.BaseName : r.ChangedName,
                                   forward ? r.ChangedName : r.BaseName});
            // First as a user would leave it: no data loss.
            DeploySession first;
            SharedRows before;
            Deployed held = Deploy(f, request, first, false, &before, renames);
            ASSERT_EQ(held.Run.Outcome, RunOutcome::Completed)
                << DeployFailureText(held.Run) << "\n"
                << held.Script.Text;
            EXPECT_EQ(RowsOf(f.server, request.Database[1], before.Columns), before.Rows)
                << held.Script.Text;
            DbCompareResultsPtr after = Compare(request);
            if (held.Script.LeftOutSteps == 0) {
                EXPECT_TRUE(after->AllIdentical())
                    << testing::PrintToString(NotIdentical(*after)) << "\n"
                    << held.Script.Text;
                continue;
            }
            // Then with the held-back steps allowed.
            DeploySession second;
            Deployed allowed = Deploy(f, request, second, true, nullptr, renames);
            ASSERT_EQ(allowed.Run.Outcome, RunOutcome::Completed)
                << DeployFailureText(allowed.Run) << "\n"
                << allowed.Script.Text;
            after = Compare(request);
            EXPECT_TRUE(after->AllIdentical())
                << testing::PrintToString(NotIdentical(*after)) << "\n"
                << allowed.Script.Text;
            // Every row stays, with its values in the columns both sides had.
            std::map<std::string, std::string> kept;
            const SchemaModel now = WholeModel(f.server, request.Database[1]);
            for (const auto& [table, list] : before.Columns) {
                // Columns the source lacked are gone now: compare over those still there.
                std::string columns;
                for (const TableDef& t : now.Tables) {
                    if (QuoteCatalogName(t.Schema) + "." + QuoteCatalogName(t.Name) != table)
                        continue;
                    for (const ColumnDef& c : t.Columns) {
                        const std::string q = QuoteCatalogName(c.Name);
                        if ((", " + list + ",").find(", " + q + ",") != std::string::npos)
                            columns += (columns.empty() ? "" : ", ") + q;
                    }
                }
                kept[table] = columns;
            }
            const TableRows after2 = RowsOf(f.server, request.Database[1], kept);
            for (const auto& [table, rows] : before.Rows)
                EXPECT_EQ(after2.at(table).size(), rows.size()) << table;
        }
        if (HasFailure())
            break; // one failing seed says enough
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, DeployRoundTrip, ::testing::Values(kVersion2000, kVersion2008),
                         VersionName);

// The structure reader takes what each module uses from the server's dependency catalog:
// both versions know a view's view; only 2008's by-name catalog knows a procedure that was
// made before the one it calls (2000's sysdepends never learns of it, and the planner then
// has the text alone).
class DeployDependencies : public BothVersions {};

TEST_P(DeployDependencies, TheServersDependencyCatalogIsRead) {
    CatalogSim f(GetParam(), {},
                 {"CREATE DATABASE Deps\nGO\nUSE Deps\nGO\n"
                  "CREATE TABLE dbo.Orders (Id int NOT NULL, Total money NULL)\nGO\n"
                  "CREATE VIEW dbo.vOrders AS SELECT Id, Total FROM dbo.Orders\nGO\n"
                  "CREATE VIEW dbo.vLargeOrders AS SELECT Id FROM vOrders WHERE Total > 100\nGO\n"
                  "CREATE PROCEDURE dbo.uspNightly AS\nEXEC dbo.uspArchiveOrders\nGO\n"
                  "CREATE PROCEDURE dbo.uspArchiveOrders AS DELETE FROM dbo.Orders\nGO\n"});
    ASSERT_SIM_STARTED(f);
    const SchemaModel model = WholeModel(f.server, "Deps");
    auto usesOf = [&](const std::string& name) {
        std::set<std::string> uses;
        for (const ModuleDef& m : model.Modules)
            if (m.Name == name)
                for (const auto& [schema, used] : m.DependsOn)
                    uses.insert((schema.empty() ? "-" : schema) + "." + used);
        return uses;
    };
    const bool later = GetParam() != kVersion2000;
    EXPECT_EQ(usesOf("vLargeOrders"), (std::set<std::string>{later ? "-.vOrders" : "dbo.vOrders"}));
    EXPECT_EQ(usesOf("vOrders"), (std::set<std::string>{"dbo.Orders"}));
    EXPECT_EQ(usesOf("uspArchiveOrders"), (std::set<std::string>{"dbo.Orders"}));
    EXPECT_EQ(usesOf("uspNightly"),
              later ? std::set<std::string>{"dbo.uspArchiveOrders"} : std::set<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Versions, DeployDependencies,
                         ::testing::Values(kVersion2000, kVersion2008), VersionName);

// A second comparison of what was deployed says so in one line.
TEST(DeployVerification, SaysTheTargetNowMatches) {
    const GeneratedPair pair = GeneratePair(7, true);
    CatalogSim f(kVersion2008, {}, {pair.ChangedScript("VSource") + pair.BaseScript("VTarget")});
    ASSERT_SIM_STARTED(f);
    const DbCompareRequest request = DeployRequest(f.server, "VSource", "VTarget");
    DeploySession session;
    Deployed d = Deploy(f, request, session, true, nullptr);
    ASSERT_EQ(d.Run.Outcome, RunOutcome::Completed) << DeployFailureText(d.Run);
    NullProgressSink sink;
    CancelToken cancel;
    DeployVerification v;
    std::string error;
    ASSERT_TRUE(VerifyDeployment(request, session.Offered(), sink, cancel, v, error)) << error;
    EXPECT_TRUE(v.AllMatch());
    const std::string n = std::to_string(session.Offered().size());
    EXPECT_EQ(VerificationText(v), "Target now matches Source: " + n + " of " + n + " objects");
}

// A procedure renamed with sp_rename keeps its old name in its text, as SQL Server keeps it. The
// comparison says so, and the deployment creates it under its new name; the old one, ticked
// as only in the target, goes.
class DeployRenamedModule : public BothVersions {};

std::vector<std::string> ProcedureNames(const ServerEntry& server, const std::string& db) {
    std::vector<std::string> names;
    OdbcError error;
    CancelToken cancel;
    EXPECT_TRUE(RunWorkerQuery(
        {server, db, 30}, cancel, "SELECT name FROM sysobjects WHERE xtype = 'P' ORDER BY name",
        [&](WorkerQuery&, Row& row) { names.push_back(row[0].Text()); }, error))
        << error.description;
    return names;
}

TEST_P(DeployRenamedModule, TheProcedureArrivesUnderItsNewNameAndTheOldOneGoes) {
    const std::string table = "CREATE TABLE dbo.Shipments (Id int NOT NULL PRIMARY KEY, "
                              "Carrier varchar(40) NULL)\nGO\n";
    const std::string proc = "-- shipments per carrier\nCREATE PROCEDURE dbo.usp_ShipCount\nAS\n"
                             "SELECT Carrier, COUNT(*) AS Shipped FROM dbo.Shipments GROUP BY "
                             "Carrier\nGO\n";
    CatalogSim f(GetParam(), {},
                 {"CREATE DATABASE RnSource\nGO\nUSE RnSource\nGO\n" + table + proc +
                  "EXEC sp_rename 'dbo.usp_ShipCount', 'usp_ShipmentsByCarrier'\nGO\n"
                  "CREATE DATABASE RnTarget\nGO\nUSE RnTarget\nGO\n" +
                  table + proc});
    ASSERT_SIM_STARTED(f);
    const DbCompareRequest request = DeployRequest(f.server, "RnSource", "RnTarget");
    NullProgressSink sink;
    CancelToken cancel;
    const DbCompareResultsPtr before = RunDbCompare(request, sink, cancel);
    ASSERT_TRUE(before->Complete()) << before->Problem;
    bool noted = false;
    for (const PairVerdict& p : before->Pairs)
        if (p.HasSource && p.Source.Name == "usp_ShipmentsByCarrier") {
            EXPECT_EQ(p.Status, PairStatus::OnlyInSource);
            EXPECT_EQ(p.DefinitionNote, "definition names dbo.usp_ShipCount");
            noted = true;
        }
    EXPECT_TRUE(noted);

    DeploySession session;
    const Deployed d = Deploy(f, request, session, false, nullptr);
    ASSERT_EQ(d.Run.Outcome, RunOutcome::Completed) << DeployFailureText(d.Run);
    EXPECT_NE(d.Script.Text.find("CREATE PROCEDURE [dbo].[usp_ShipmentsByCarrier]"),
              std::string::npos)
        << d.Script.Text;
    EXPECT_EQ(ProcedureNames(f.server, "RnTarget"),
              std::vector<std::string>{"usp_ShipmentsByCarrier"});
    // The name in the source's header is no difference once deployed: nothing is left to do.
    const DbCompareResultsPtr after = Compare(request);
    EXPECT_TRUE(after->AllIdentical()) << testing::PrintToString(NotIdentical(*after));

    // The CREATE script of the renamed procedure creates it under its current name too.
    ServerEntry server = f.server;
    std::string dropPart;
    const std::string create =
        SQL_BuildCreateStatement(server, server.Name, "RnSource", "usp_ShipmentsByCarrier",
                                 kTypeProcedure, 0, "\r\n", dropPart);
    EXPECT_NE(create.find("CREATE PROCEDURE [usp_ShipmentsByCarrier]\n"), std::string::npos)
        << create;
    EXPECT_EQ(create.find("CREATE PROCEDURE dbo.usp_ShipCount"), std::string::npos) << create;
}

INSTANTIATE_TEST_SUITE_P(Versions, DeployRenamedModule,
                         ::testing::Values(kVersion2000, kVersion2008), VersionName);

// A column renamed with sp_rename on the source is flagged "renamed?", never acted on alone:
// unconfirmed, the script is the drop and the add it always was. Confirmed, the target's
// column takes the new name in place and every row keeps its value.
class DeployRenamedColumn : public BothVersions {};

TEST_P(DeployRenamedColumn, ConfirmedRenameKeepsEveryValue) {
    const std::string table = "CREATE TABLE dbo.Parcels (Id int NOT NULL PRIMARY KEY, Weight "
                              "decimal(8,3) NOT NULL, Carrier varchar(20) NULL)\nGO\n"
                              "CREATE INDEX IX_Parcels_Weight ON dbo.Parcels (Weight)\nGO\n"
                              "INSERT INTO dbo.Parcels VALUES (1, 1.250, 'post')\n"
                              "INSERT INTO dbo.Parcels VALUES (2, 30.000, NULL)\n"
                              "INSERT INTO dbo.Parcels VALUES (3, 0.075, 'courier')\nGO\n";
    CatalogSim f(GetParam(), {},
                 {"CREATE DATABASE CnSource\nGO\nUSE CnSource\nGO\n" + table +
                  "EXEC sp_rename 'dbo.Parcels.Weight', 'Kilograms', 'COLUMN'\nGO\n"
                  "CREATE DATABASE CnTarget\nGO\nUSE CnTarget\nGO\n" +
                  table});
    ASSERT_SIM_STARTED(f);
    const DbCompareRequest request = DeployRequest(f.server, "CnSource", "CnTarget");
    NullProgressSink sink;
    CancelToken cancel;
    const DbCompareResultsPtr before = RunDbCompare(request, sink, cancel);
    ASSERT_TRUE(before->Complete()) << before->Problem;
    const PairVerdict* parcels = nullptr;
    for (const PairVerdict& p : before->Pairs)
        if (p.Type == kTypeTable && p.HasSource && p.Source.Name == "Parcels")
            parcels = &p;
    ASSERT_NE(parcels, nullptr);
    EXPECT_EQ(parcels->Status, PairStatus::Different);
    EXPECT_EQ(ColumnRenameNote(*parcels), "renamed? Weight \u2192 Kilograms");

    DeploySession session;
    std::string error;
    ASSERT_TRUE(session.Prepare(request, *before, sink, cancel, error)) << error;
    DeployOptions options;
    const DeployScript unconfirmed = session.Script(session.Offered(), options, 0);
    EXPECT_EQ(unconfirmed.Text.find("sp_rename"), std::string::npos) << unconfirmed.Text;
    EXPECT_NE(unconfirmed.Text.find("-- ALTER TABLE [dbo].[Parcels] DROP COLUMN [Weight]"),
              std::string::npos)
        << unconfirmed.Text;

    options.ColumnRenames = {{"dbo", "Parcels", "Weight", "Kilograms"}};
    const DeployScript script = session.Script(session.Offered(), options, 0);
    EXPECT_EQ(script.StepCount, 1) << script.Text;
    EXPECT_EQ(script.LeftOutSteps, 0) << script.Text;
    const DeployRunResult run = RunDeployScript({f.server, "CnTarget", 60}, script, sink, cancel);
    ASSERT_EQ(run.Outcome, RunOutcome::Completed) << DeployFailureText(run) << "\n" << script.Text;
    EXPECT_TRUE(Compare(request)->AllIdentical()) << script.Text;
    const TableRows rows =
        RowsOf(f.server, "CnTarget", {{"dbo.Parcels", "Id, Kilograms, Carrier"}});
    EXPECT_EQ(rows.at("dbo.Parcels"),
              (std::vector<std::string>{"1|1.250|post|", "2|30.000|NULL|", "3|0.075|courier|"}));
}

INSTANTIATE_TEST_SUITE_P(Versions, DeployRenamedColumn,
                         ::testing::Values(kVersion2000, kVersion2008), VersionName);

} // namespace
} // namespace orv::test
