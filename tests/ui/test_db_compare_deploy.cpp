// The deployment from the results window, on the demo pair in the simulator: the Include
// boxes, Select All / None, the script following every tick at once, and Run on Target, both
// one that succeeds and says so in a fresh results window and one that fails half-way and
// leaves the target as it was.
#include "core/registry.h"
#include "core/settings.h"
#include "dbcompare/db_compare.h"
#include "dbcompare/run_settings.h"
#include "servers/server_list.h"
#include "sqlsim_process.h"
#include "test_env.h"
#include "ui/main/db_compare_results_model.h"
#include "ui/main/frm_db_compare_results.h"
#include "ui/main/frm_deploy_script.h"
#include "ui/main/frm_main.h"
#include "ui/widgets/qt_combo_control.h"
#include "ui/widgets/qt_list_control.h"
#include "ui/widgets/qt_text_view.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

#include <cstdlib>

namespace orv {
namespace {

using test::SqlsimOptions;
using test::SqlsimProcess;
using test::TestEnv;

class DeployFromResults : public ::testing::Test {
protected:
    // The demo pair, the target changed further by `extra` (run at start-up).
    void Start(const std::string& extra = {}) {
        SqlsimOptions o;
        o.version = "10.50.1600.1";
        o.scriptFiles = {test::FixtureFile("demo_source.sql"),
                         test::FixtureFile("demo_target.sql")};
        if (!extra.empty())
            o.scriptTexts = {extra};
        sim = std::make_unique<SqlsimProcess>(o);
        std::string error;
        ASSERT_TRUE(sim->Start(error)) << error;
        server.Name = sim->ServerName();
        server.SQLAuth = true;
        server.LoginName = o.login;
        server.Pwd = o.password;
        server.Version = o.version;
        server.VersionMajor = 10;
    }

    DbCompareRequest Request() const {
        DbCompareRequest r;
        ApplyCurrentSettings(r);
        r.Kind = DbCompareKind::All;
        r.Types = {kTypeTable, kTypeProcedure, kTypeFunction,
                   kTypeView,  kTypeTrigger,   kTypeRelationship};
        r.Server[0] = r.Server[1] = server;
        r.Database[0] = "OrvaneDemoSource";
        r.Database[1] = "OrvaneDemoTarget";
        r.CompleteTableScripts = true;
        r.IgnoreSystemConstraintNames = true;
        r.TimeoutSeconds = 30;
        return r;
    }

    std::unique_ptr<frmDbCompareResults> OpenResults() {
        const DbCompareRequest request = Request();
        NullProgressSink sink;
        CancelToken cancel;
        DbCompareResultsPtr results = RunDbCompare(request, sink, cancel);
        EXPECT_TRUE(results->Complete()) << results->Problem;
        const std::vector<SelectedObject> none[2] = {};
        auto w = std::make_unique<frmDbCompareResults>(results, "Compare All Objects", none);
        w->SetRequest(request);
        w->show();
        QApplication::processEvents();
        return w;
    }

    static QPushButton* Button(QWidget& w, const char* name) {
        auto* b = w.findChild<QPushButton*>(name);
        EXPECT_NE(b, nullptr) << name;
        return b;
    }

    static std::string ScriptText(frmDeployScript& d) {
        return d.ScriptView()->toPlainText().toStdString();
    }

    // Ticks or unticks the box of the pair named `name` as a click does.
    static void Tick(frmDbCompareResults& w, const std::string& name, bool on) {
        DbCompareResultsModel* m = w.Model();
        for (int row = 0; row < m->rowCount(); ++row) {
            const PairVerdict* p = m->PairAt(row);
            const ObjectRef& ref = p->HasSource ? p->Source : p->Target;
            if (ref.Name == name) {
                ASSERT_TRUE(m->flags(m->index(row, DbCompareResultsModel::ColInclude)) &
                            Qt::ItemIsUserCheckable);
                ASSERT_TRUE(m->setData(m->index(row, DbCompareResultsModel::ColInclude),
                                       on ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole));
                return;
            }
        }
        ADD_FAILURE() << "no row " << name;
    }

    // Runs `sql` on the target through a connection of its own, as someone else would.
    void ChangeTarget(const std::string& sql) {
        OdbcError error;
        CancelToken cancel;
        ASSERT_TRUE(RunWorkerQuery(
            {server, "OrvaneDemoTarget", 30}, cancel, sql, [](WorkerQuery&, Row&) {}, error))
            << error.description;
    }

    TestEnv env;
    std::unique_ptr<SqlsimProcess> sim;
    ServerEntry server;
};

TEST_F(DeployFromResults, TicksMakeTheScriptAgainAtOnce) {
    Start();
    auto w = OpenResults();
    for (const char* name : {"cmdSelectAll", "cmdSelectNone", "cmdDeployScript"})
        EXPECT_TRUE(Button(*w, name)->isEnabled()) << name;
    // Differing and only-in-source objects start ticked, only-in-target ones not.
    const std::vector<DeployObject> first = w->Model()->IncludedObjects();
    EXPECT_FALSE(first.empty());
    for (const DeployObject& o : first)
        EXPECT_NE(o.Status, PairStatus::OnlyInTarget) << o.Name;

    QTest::mouseClick(Button(*w, "cmdDeployScript"), Qt::LeftButton);
    QApplication::processEvents();
    auto* d = w->findChild<frmDeployScript*>("frmDeployScript");
    ASSERT_NE(d, nullptr);
    EXPECT_NE(ScriptText(*d).find("-- Step 1 of "), std::string::npos);
    EXPECT_NE(ScriptText(*d).find("CREATE PROCEDURE dbo.usp_Archive_AuditLog"), std::string::npos);
    EXPECT_EQ(d->WarningList()->count(), 2); // VatNumber dropped, Products.Name shortened
    EXPECT_FALSE(d->RebuildColumnOrder()->isEnabled()); // column order is ignored

    // Unticked, the procedure leaves the script and joins the left-out list.
    Tick(*w, "usp_Archive_AuditLog", false);
    EXPECT_EQ(ScriptText(*d).find("CREATE PROCEDURE dbo.usp_Archive_AuditLog"), std::string::npos);
    EXPECT_NE(ScriptText(*d).find("--     Procedure [dbo].[usp_Archive_AuditLog] (only in "
                                  "source)"),
              std::string::npos);
    // Ticking an only-in-target view drops it.
    Tick(*w, "vw_LowStock", true);
    EXPECT_NE(ScriptText(*d).find("DROP VIEW [dbo].[vw_LowStock]"), std::string::npos);
    // Allowing data loss brings the held-back steps in.
    EXPECT_EQ(ScriptText(*d).find("\nALTER TABLE [dbo].[Customers] DROP COLUMN [VatNumber]\n"),
              std::string::npos);
    d->AllowDataLoss()->setChecked(true);
    EXPECT_NE(ScriptText(*d).find("\nALTER TABLE [dbo].[Customers] DROP COLUMN [VatNumber]\n"),
              std::string::npos);
    // Select None: nothing to deploy, and nothing to run.
    QTest::mouseClick(Button(*w, "cmdSelectNone"), Qt::LeftButton);
    EXPECT_EQ(ScriptText(*d).find("-- Step 1 of "), std::string::npos);
    EXPECT_FALSE(d->RunButton()->isEnabled());
    QTest::mouseClick(Button(*w, "cmdSelectAll"), Qt::LeftButton);
    EXPECT_TRUE(d->RunButton()->isEnabled());
    EXPECT_EQ(w->Model()->IncludedObjects().size(),
              static_cast<size_t>(w->Model()->OfferedCount()));
}

// A table whose columns differ only by a renamed one shows "renamed?" with the pair. Nothing
// is assumed: the script drops and adds until the rename is confirmed (the button, or the
// list's context menu entry), then renames in place; withdrawn, it drops and adds again.
TEST_F(DeployFromResults, ARenamedColumnIsFlaggedAndConfirmingItChangesTheScript) {
    const std::string table = "CREATE TABLE dbo.Parcels (Id int NOT NULL PRIMARY KEY, Weight "
                              "decimal(8,3) NOT NULL)\nGO\n"
                              "INSERT INTO dbo.Parcels VALUES (1, 1.250)\nGO\n";
    Start("USE OrvaneDemoSource\nGO\n" + table +
          "EXEC sp_rename 'Parcels.Weight', 'Kilograms', 'COLUMN'\nGO\n"
          "USE OrvaneDemoTarget\nGO\n" +
          table);
    auto w = OpenResults();
    DbCompareResultsModel* m = w->Model();
    int parcels = -1;
    for (int row = 0; row < m->rowCount(); ++row)
        if (m->PairAt(row)->HasSource && m->PairAt(row)->Source.Name == "Parcels")
            parcels = row;
    ASSERT_GE(parcels, 0);
    auto note = [&] {
        return m->data(m->index(parcels, DbCompareResultsModel::ColNote), Qt::DisplayRole)
            .toString()
            .toStdString();
    };
    EXPECT_NE(note().find("renamed? Weight \u2192 Kilograms"), std::string::npos) << note();
    QPushButton* confirm = w->ConfirmRenameButton();
    w->SelectRow(parcels == 0 ? 1 : 0);
    EXPECT_FALSE(confirm->isEnabled());
    w->SelectRow(parcels);
    EXPECT_TRUE(confirm->isEnabled());
    EXPECT_TRUE(w->ObjectList()->actions().contains(w->ConfirmRenameAction()));
    EXPECT_EQ(w->ConfirmRenameAction()->text().toStdString(),
              "Confirm Column Rename Weight \u2192 Kilograms");

    frmDeployScript* d = w->OpenDeploymentScript();
    ASSERT_NE(d, nullptr);
    const std::string renameSql = "EXEC sp_rename N'[dbo].[Parcels].[Weight]', N'Kilograms', "
                                  "'COLUMN';";
    EXPECT_EQ(ScriptText(*d).find(renameSql), std::string::npos);
    EXPECT_NE(ScriptText(*d).find("-- ALTER TABLE [dbo].[Parcels] DROP COLUMN [Weight]"),
              std::string::npos);

    QTest::mouseClick(confirm, Qt::LeftButton);
    EXPECT_NE(ScriptText(*d).find(renameSql), std::string::npos) << ScriptText(*d);
    EXPECT_EQ(ScriptText(*d).find("DROP COLUMN [Weight]"), std::string::npos);
    EXPECT_NE(note().find("renamed Weight \u2192 Kilograms (confirmed)"), std::string::npos);
    EXPECT_EQ(confirm->text().toStdString(), "Undo &Rename");
    EXPECT_TRUE(w->ConfirmRenameAction()->isChecked());
    if (const char* shot = std::getenv("ORVANE_SCREENSHOT_DIR"))
        w->grab().save(QString(shot) + "/db_compare_renamed_column.png");

    // Withdrawn from the context menu entry: the drop and the add again.
    w->ConfirmRenameAction()->trigger();
    EXPECT_EQ(ScriptText(*d).find(renameSql), std::string::npos);
    EXPECT_NE(ScriptText(*d).find("-- ALTER TABLE [dbo].[Parcels] DROP COLUMN [Weight]"),
              std::string::npos);
    EXPECT_EQ(confirm->text().toStdString(), "Confirm &Rename");
}

TEST_F(DeployFromResults, RunOnTargetAsksRunsAndComparesAgain) {
    Start();
    auto w = OpenResults();
    frmDeployScript* d = w->OpenDeploymentScript();
    ASSERT_NE(d, nullptr);
    w->SelectAllIncluded(true);
    d->AllowDataLoss()->setChecked(true);
    // No: nothing runs.
    env.prompter.answers = {MsgAnswer::No};
    EXPECT_FALSE(d->RunOnTarget());
    ASSERT_FALSE(env.prompter.messages.empty());
    EXPECT_EQ(env.prompter.messages.back().title, "Run on Target");
    EXPECT_EQ(env.prompter.messages.back().buttons, MsgButtons::YesNoDefaultNo);
    EXPECT_EQ(env.prompter.messages.back().text.rfind(
                  "Run the deployment script on OrvaneDemoTarget on " + server.Name + "?", 0),
              0u);
    EXPECT_EQ(d->LastRun().BatchesRun, 0u);
    env.prompter.answers = {MsgAnswer::Yes};
    ASSERT_TRUE(d->RunOnTarget());
    QApplication::processEvents();
    frmDbCompareResults* after = w->VerifiedWindow();
    ASSERT_NE(after, nullptr);
    EXPECT_TRUE(after->VerificationLabel()->isVisible());
    const std::string n = std::to_string(w->Model()->OfferedCount());
    EXPECT_EQ(after->VerificationLabel()->text().toStdString(),
              "Target now matches Source: " + n + " of " + n + " objects");
}

// The target changed after the comparison so that a step fails half-way (a table takes the
// name of a procedure the script creates, which no check of the procedures sees): the message
// names the step and the server's words, and the steps before it are rolled back.
TEST_F(DeployFromResults, AFailedRunShowsTheStepAndLeavesTheTargetAsItWas) {
    Start();
    auto w = OpenResults();
    frmDeployScript* d = w->OpenDeploymentScript();
    ASSERT_NE(d, nullptr);
    // Someone adds a table of the name of the procedure the script is about to create.
    ChangeTarget("CREATE TABLE dbo.usp_Archive_AuditLog (Id int NULL)");
    NullProgressSink sink;
    CancelToken cancel;
    DbCompareResultsPtr before = RunDbCompare(Request(), sink, cancel);
    env.prompter.answers = {MsgAnswer::Yes};
    EXPECT_FALSE(d->RunOnTarget());
    ASSERT_FALSE(env.prompter.messages.empty());
    const ShownMessage& shown = env.prompter.messages.back();
    EXPECT_EQ(shown.icon, MsgIcon::Error);
    EXPECT_EQ(shown.title, "Deployment Not Done");
    EXPECT_NE(shown.text.find("(Create procedure [dbo].[usp_Archive_AuditLog]) failed: There is "
                              "already an object named 'usp_Archive_AuditLog' in the database."),
              std::string::npos)
        << shown.text;
    EXPECT_NE(shown.text.find("The deployment was rolled back."), std::string::npos);
    EXPECT_EQ(w->VerifiedWindow(), nullptr);
    // Every pair is as it was before the run.
    DbCompareResultsPtr again = RunDbCompare(Request(), sink, cancel);
    ASSERT_EQ(again->Pairs.size(), before->Pairs.size());
    for (size_t i = 0; i < again->Pairs.size(); ++i)
        EXPECT_EQ(again->Pairs[i].Status, before->Pairs[i].Status) << again->Pairs[i].Source.Name;
}

// Someone changes a procedure the script alters after the comparison: Run on Target reads the
// Target again, refuses with a message naming it, runs none of the script, and on Yes compares
// again, in a results window that shows the procedure as it is now.
TEST_F(DeployFromResults, RunOnTargetRefusesWhenTheTargetChangedAndComparesAgain) {
    Start();
    auto w = OpenResults();
    frmDeployScript* d = w->OpenDeploymentScript();
    ASSERT_NE(d, nullptr);
    const DeployScript script = d->Script();
    ChangeTarget("ALTER PROCEDURE dbo.usp_Report_ReorderList AS SELECT 'changed by hand' AS Note");
    sim->ClearStatements();
    env.prompter.answers = {MsgAnswer::Yes, MsgAnswer::Yes};
    EXPECT_FALSE(d->RunOnTarget());
    ASSERT_FALSE(env.prompter.messages.empty());
    const ShownMessage& shown = env.prompter.messages.back();
    EXPECT_EQ(shown.icon, MsgIcon::Warning);
    EXPECT_EQ(shown.title, "Target Changed");
    EXPECT_EQ(shown.buttons, MsgButtons::YesNo);
    EXPECT_EQ(shown.text, "The Target OrvaneDemoTarget has changed since the comparison, so the "
                          "script was not run and nothing was changed:\r\n"
                          "  procedure dbo.usp_Report_ReorderList: text changed\r\n\r\n"
                          "Compare the databases again now?");
    EXPECT_EQ(d->LastRun().BatchesRun, 0u);
    EXPECT_EQ(d->LastCheck().Changes.size(), 1u);
    for (const auto& logged : sim->Statements())
        for (const DeployBatch& batch : script.Batches)
            EXPECT_NE(logged.sql, batch.Sql);

    frmDbCompareResults* again = w->ComparedAgainWindow();
    ASSERT_NE(again, nullptr);
    const PairVerdict* pair = nullptr;
    for (const PairVerdict& p : again->Results().Pairs)
        if (p.HasTarget && p.Target.Name == "usp_Report_ReorderList")
            pair = &p;
    ASSERT_NE(pair, nullptr);
    EXPECT_NE(pair->TargetText.find("changed by hand"), std::string::npos);
}

// A change to an object the script neither touches nor relies on: the check finds nothing
// and the script runs.
TEST_F(DeployFromResults, AnUnrelatedChangeDoesNotStopTheRun) {
    Start();
    auto w = OpenResults();
    frmDeployScript* d = w->OpenDeploymentScript();
    ASSERT_NE(d, nullptr);
    // A procedure the comparison found identical and the script does not use.
    ChangeTarget("ALTER PROCEDURE dbo.usp_Customer_Get AS SELECT 1 AS One");
    env.prompter.answers = {MsgAnswer::Yes};
    EXPECT_TRUE(d->RunOnTarget());
    EXPECT_TRUE(d->LastCheck().Unchanged());
    EXPECT_GT(d->LastCheck().Checked, 0);
    EXPECT_GT(d->LastRun().BatchesRun, 0u);
    EXPECT_EQ(w->ComparedAgainWindow(), nullptr);
}

// A pair the fingerprints found identical was compared without its text; chosen in the results
// window, its text is read then and shown on both sides.
TEST_F(DeployFromResults, FingerprintIdenticalPairsShowTheirTextWhenChosen) {
    Start();
    DbCompareRequest request = Request();
    request.Reading = CompareReading::HashFirst;
    NullProgressSink sink;
    CancelToken cancel;
    DbCompareResultsPtr results = RunDbCompare(request, sink, cancel);
    ASSERT_TRUE(results->Complete());
    const std::vector<SelectedObject> none[2] = {};
    frmDbCompareResults w(results, "Compare All Objects", none);
    w.SetRequest(request);
    w.show();
    int row = -1;
    for (int r = 0; r < w.ShownCount() && row < 0; ++r) {
        const PairVerdict* p = w.ShownPair(r);
        if (!p->TextsRead && p->Source.Name == "usp_Customer_Get")
            row = r;
    }
    ASSERT_GE(row, 0);
    w.SelectRow(row);
    QApplication::processEvents();
    for (QtTextView* view : {w.SourceView(), w.TargetView()})
        EXPECT_NE(view->Text().find("CREATE PROCEDURE dbo.usp_Customer_Get"), std::string::npos);
}

// After picking one pair in the panels, Structure Comparisons > Deployment Script compares that
// pair and opens its script.
TEST_F(DeployFromResults, TheMenuDeploysThePairPickedInThePanels) {
    Start();
    for (const auto& [name, db] :
         {std::pair<std::string, std::string>{sim->ServerName(), "OrvaneDemoSource"},
          {"localhost," + std::to_string(sim->Port()), "OrvaneDemoTarget"}}) {
        ServerEntry e = server;
        e.Name = name;
        e.Version.clear();
        e.MRUDb = db;
        ServerAddToList(e);
    }
    SetRegDword(HKEY_CURRENT_USER, kKeyServers, "AutoConnect", 1);
    LoadSettings(LoadServerList);
    frmMain w;
    w.FormLoad();
    w.show();
    QApplication::processEvents();
    w.ServerSelector(1)->setCurrentIndex(1);
    QApplication::processEvents();
    QtComboControl* types = w.TypeSelector();
    types->setCurrentIndex(types->findData(kTypeProcedure));
    QApplication::processEvents();
    for (int panel = 0; panel < 2; ++panel)
        ASSERT_GE(frmMain::SelectListRowByName(*w.ObjectList(panel), "usp_Report_ReorderList", true,
                                               false),
                  0)
            << panel;
    QAction* menu = w.MenuItem("mnuComparisonDeployScript");
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->text(), "&Deployment Script");
    menu->trigger();
    QApplication::processEvents();
    auto* d = w.findChild<frmDeployScript*>("frmDeployScript");
    ASSERT_NE(d, nullptr);
    const std::string script = ScriptText(*d);
    EXPECT_NE(script.find("-- Step 1 of 1: Alter procedure [dbo].[usp_Report_ReorderList]"),
              std::string::npos)
        << script;
    EXPECT_NE(script.find("ALTER PROCEDURE dbo.usp_Report_ReorderList"), std::string::npos);
}

} // namespace
} // namespace orv
