// A panel showing a snapshot file, chosen through the server selector and answered through the
// file dialog, against the simulator's demo databases: it lists and shows what the live
// database did, compares like it (the two-panel comparison and Compare All), refuses what needs
// a live database with the reason, keeps its server when the file cannot be read, and goes
// back to live browsing when a stored server is chosen.
#include "catalog/catalog_snapshot.h"
#include "catalog/object_types.h"
#include "core/registry.h"
#include "core/settings.h"
#include "dbcompare/script_folder_write.h"
#include "servers/server_facts.h"
#include "servers/server_list.h"
#include "sqlsim_process.h"
#include "test_env.h"
#include "ui/main/frm_db_compare_results.h"
#include "ui/main/frm_main.h"
#include "ui/main/snapshot_panel_controller.h"
#include "ui/tools/frm_run_progress.h"
#include "ui/widgets/qt_combo_control.h"
#include "ui/widgets/qt_list_control.h"
#include "ui/widgets/qt_text_view.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

namespace orv {
namespace {

using test::SqlsimOptions;
using test::SqlsimProcess;
using test::TestEnv;

void StoreServer(const std::string& name, const SqlsimProcess& sim, const std::string& mruDb) {
    ServerEntry e;
    e.Name = name;
    e.SQLAuth = true;
    e.LoginName = sim.Options().login;
    e.Pwd = sim.Options().password;
    e.MRUDb = mruDb;
    ServerAddToList(e);
}

using Verdicts = std::map<std::string, PairStatus>;

class SnapshotPanel : public ::testing::Test {
protected:
    std::unique_ptr<frmMain> OpenDemo() {
        SqlsimOptions o;
        o.version = "10.50.1600.1";
        o.scriptFiles = {test::FixtureFile("demo_source.sql"),
                         test::FixtureFile("demo_target.sql")};
        sim = std::make_unique<SqlsimProcess>(o);
        std::string error;
        EXPECT_TRUE(sim->Start(error)) << error;
        sourceServer = sim->ServerName();
        targetServer = "localhost," + std::to_string(sim->Port());
        StoreServer(sourceServer, *sim, "OrvaneDemoSource");
        StoreServer(targetServer, *sim, "OrvaneDemoTarget");
        SetRegDword(HKEY_CURRENT_USER, kKeyServers, "AutoConnect", 1);
        MainWindowDialogs dialogs;
        dialogs.showComparison = [this](QWidget*, const ComparisonReportRequest&) {
            reports.push_back(gstrReportText);
        };
        LoadSettings(LoadServerList);
        auto w = std::make_unique<frmMain>(std::move(dialogs));
        w->FormLoad();
        w->show();
        QApplication::processEvents();
        w->ServerSelector(1)->setCurrentIndex(1);
        QApplication::processEvents();
        EXPECT_EQ(w->DatabaseList(1)->CurrentText(), "OrvaneDemoTarget");
        return w;
    }

    // File > Save Snapshot of a panel, as a user takes it.
    std::string Save(frmMain& w, int panel, const std::string& name) {
        const std::string file = env.PathOf(name);
        env.prompter.fileAnswers.push_back(file);
        w.MenuItem(panel == 0 ? "mnuFileSaveSnapshot(0)" : "mnuFileSaveSnapshot(1)")->trigger();
        EXPECT_EQ(env.prompter.messages.size(), 1u);
        env.prompter.messages.clear();
        return file;
    }

    // Picks an entry of a panel's server selector as a click does (also the one shown).
    static void Choose(frmMain& w, int panel, const std::string& entry) {
        QtComboControl& selector = *w.ServerSelector(panel);
        const int k = selector.findText(QString::fromStdString(entry));
        ASSERT_GE(k, 0) << entry;
        selector.setFocus();
        QTest::keyClick(&selector, Qt::Key_Down, Qt::AltModifier);
        QApplication::processEvents();
        QAbstractItemView* list = selector.view();
        ASSERT_TRUE(list->isVisible());
        list->setCurrentIndex(list->model()->index(k, 0));
        QTest::keyClick(list, Qt::Key_Return);
        QApplication::processEvents();
    }

    // Opens a snapshot file in a panel through its selector and the file dialog.
    void OpenSnapshot(frmMain& w, int panel, const std::optional<std::string>& file) {
        env.prompter.fileAnswers.push_back(file);
        Choose(w, panel, kSnapshotFileEntry);
    }

    // The panel's caption: whole in its tool tip while it shows a snapshot (the label itself
    // may be shortened to the panel's width), else the label's own text.
    static std::string Caption(frmMain& w, int panel) {
        auto* label = w.findChild<QLabel*>(panel == 0 ? "lblGen(4)" : "lblGen(5)");
        if (!label)
            return "(no caption)";
        const QString shown = label->text();
        const QString whole = label->toolTip().isEmpty() ? shown : label->toolTip();
        if (shown != whole && !shown.contains(QChar(0x2026)))
            return "(caption not shortened in place: " + shown.toStdString() + ")";
        return whole.toStdString();
    }

    static std::vector<std::string> Listed(frmMain& w, int panel) {
        std::vector<std::string> names;
        for (int r = 0; r < w.ObjectList(panel)->Count(); ++r)
            names.push_back(w.ObjectList(panel)->CellText(r, 0));
        return names;
    }

    static void ShowType(frmMain& w, ObjectType type) {
        QtComboControl& types = *w.TypeSelector();
        for (int k = 0; k < types.ListCount(); ++k)
            if (types.ItemData(k) == type)
                types.setCurrentIndex(k);
        QApplication::processEvents();
        ASSERT_EQ(w.CurrentType(), type);
    }

    // F8, and the verdict of every pair by type and name.
    static Verdicts CompareAll(frmMain& w, frmDbCompareResults** window = nullptr) {
        w.CompareAllObjects();
        const auto all = w.findChildren<frmDbCompareResults*>();
        Verdicts out;
        if (all.isEmpty())
            return out;
        if (window)
            *window = all.last();
        const DbCompareResults& r = all.last()->Results();
        EXPECT_TRUE(r.Complete()) << r.Problem;
        for (const PairVerdict& p : r.Pairs)
            out[std::to_string(p.Type) + " " + (p.HasSource ? p.Source.Name : p.Target.Name)] =
                p.Status;
        return out;
    }

    TestEnv env;
    std::unique_ptr<SqlsimProcess> sim;
    std::string sourceServer, targetServer;
    std::vector<std::string> reports;
};

TEST_F(SnapshotPanel, ASnapshotInTheSourcePanelBrowsesAndComparesAsTheLiveDatabaseDid) {
    auto w = OpenDemo();
    const std::string file = Save(*w, 0, "source.orvsnap");
    CatalogSnapshot kept;
    std::string error;
    ASSERT_TRUE(ReadSnapshotFile(file, kept, error)) << error;

    ShowType(*w, kTypeProcedure);
    const std::vector<std::string> liveProcedures = Listed(*w, 0);
    ASSERT_GT(liveProcedures.size(), 3u);
    const Verdicts live = CompareAll(*w);
    ASSERT_FALSE(live.empty());

    OpenSnapshot(*w, 0, file);
    ASSERT_EQ(env.prompter.fileRequests.size(), 2u);
    const FileDialogRequest& asked = env.prompter.fileRequests[1];
    EXPECT_FALSE(asked.save);
    EXPECT_EQ(asked.title, "Open Snapshot");
    EXPECT_EQ(asked.filter, "Snapshot files (*.orvsnap)|*.orvsnap");
    EXPECT_TRUE(env.prompter.messages.empty());
    EXPECT_EQ(Caption(*w, 0), SnapshotTitle(kept.Header) + " - read-only");
    EXPECT_EQ(Caption(*w, 0), "OrvaneDemoSource (snapshot of " + sourceServer + ", " +
                                  kept.Header.Taken + " UTC) - read-only");
    EXPECT_EQ(w->ServerSelector(0)->Text(), kSnapshotFileEntry);
    EXPECT_EQ(w->DatabaseList(0)->Count(), 1);
    EXPECT_EQ(w->DatabaseText(0), "OrvaneDemoSource");
    EXPECT_EQ(Listed(*w, 0), liveProcedures);

    // The Target panel shows the live database the snapshot was taken of: the same procedure
    // in both panels has the same text, byte for byte, and the two-panel comparison says so.
    ASSERT_TRUE(
        frmMain::SelectListRowByName(*w->DatabaseList(1), "OrvaneDemoSource", true, false) >= 0);
    QApplication::processEvents();
    ASSERT_EQ(w->DatabaseText(1), "OrvaneDemoSource");
    const std::string procedure = "usp_Order_AddLine";
    frmMain::SelectListRowByName(*w->ObjectList(0), procedure, true, false);
    frmMain::SelectListRowByName(*w->ObjectList(1), procedure, true, false);
    QApplication::processEvents();
    const std::string text = w->TextView(0)->Text();
    EXPECT_NE(text.find("CREATE"), std::string::npos) << text;
    EXPECT_EQ(text, w->TextView(1)->Text());
    reports.clear();
    w->MenuItem("mnuComparisonSelObj")->trigger();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("are identical."), std::string::npos) << reports[0];

    // Compare All against the live Target database gives the verdicts live against live did;
    // the results window names the snapshot side by its title, and a pair chosen there is
    // shown in the panels.
    frmMain::SelectListRowByName(*w->DatabaseList(1), "OrvaneDemoTarget", true, false);
    QApplication::processEvents();
    frmDbCompareResults* results = nullptr;
    EXPECT_EQ(CompareAll(*w, &results), live);
    ASSERT_NE(results, nullptr);
    const std::string summary = results->findChild<QLabel*>("lblSummary")->text().toStdString();
    EXPECT_EQ(summary, "Source: " + SnapshotTitle(kept.Header) + "    Target: " + targetServer +
                           ".OrvaneDemoTarget");
    for (int row = 0; row < results->ShownCount(); ++row) {
        const PairVerdict* p = results->ShownPair(row);
        if (p->Type != kTypeProcedure || p->Status != PairStatus::Different)
            continue;
        results->SelectRow(row);
        results->ChooseCurrentPair();
        QApplication::processEvents();
        EXPECT_TRUE(env.prompter.messages.empty()) << env.prompter.messages[0].text;
        EXPECT_NE(w->TextView(0)->Text().find(p->Source.Name), std::string::npos);
        EXPECT_EQ(w->TextView(0)->Text(), p->SourceText);
        break;
    }

    // No deployment script is made from a snapshot.
    env.prompter.messages.clear();
    EXPECT_EQ(results->OpenDeploymentScript(), nullptr);
    ASSERT_EQ(env.prompter.messages.size(), 1u);
    EXPECT_EQ(env.prompter.messages[0].text,
              "The Source is a snapshot file; the window makes a deployment script from a live "
              "database. 'orvane-cli deploy-script' makes one from snapshot:<file> as the "
              "Source.");
    env.prompter.messages.clear();

    // The owner selector filters the snapshot's list as it filters the live database's.
    Settings().ShowOwners = true;
    ShowType(*w, kTypeTable);
    frmMain::SelectListRowByName(*w->DatabaseList(1), "OrvaneDemoSource", true, false);
    QApplication::processEvents();
    for (int i = 0; i < 2; ++i) {
        QtComboControl& owners = *w->OwnerSelector(i);
        const int k = owners.findText("sales");
        ASSERT_GE(k, 0) << i;
        owners.setCurrentIndex(k);
        QApplication::processEvents();
    }
    EXPECT_EQ(Listed(*w, 0).size(), 4u);
    EXPECT_EQ(Listed(*w, 0), Listed(*w, 1));
    EXPECT_EQ(w->TextView(0)->Text(), w->TextView(1)->Text());
    EXPECT_TRUE(env.prompter.messages.empty());

    // Choosing the stored server again browses live.
    Choose(*w, 0, sourceServer);
    EXPECT_EQ(Caption(*w, 0), "SQL Server - Source");
    EXPECT_GT(w->DatabaseList(0)->Count(), 1);
    EXPECT_EQ(PanelServers()[0].Name, sourceServer);
    EXPECT_FALSE(w->Snapshots().Shows(0));
}

TEST_F(SnapshotPanel, AFileThatCannotBeReadOrACancelLeavesThePanelAsItWas) {
    auto w = OpenDemo();
    const std::string file = Save(*w, 1, "target.orvsnap");
    std::string bytes;
    {
        std::ifstream in(file, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    const std::string cut = env.PathOf("cut.orvsnap");
    std::ofstream(cut, std::ios::binary) << bytes.substr(0, bytes.size() * 2 / 3);
    const std::string notOne = env.PathOf("notes.orvsnap");
    std::ofstream(notOne) << "Monday: check the backups\n";
    const std::vector<std::string> before = Listed(*w, 0);

    struct Case {
        std::optional<std::string> answer;
        std::string message; // empty: nothing said (a cancel)
    };
    std::string truncated, garbage, missing;
    CatalogSnapshot none;
    ReadSnapshotFile(cut, none, truncated);
    ReadSnapshotFile(notOne, none, garbage);
    ReadSnapshotFile(env.PathOf("gone.orvsnap"), none, missing);
    EXPECT_EQ(garbage, "The snapshot file " + notOne + " is not an Orvane snapshot.");
    const Case cases[] = {{cut, truncated},
                          {notOne, garbage},
                          {env.PathOf("gone.orvsnap"), missing},
                          {std::nullopt, ""}};
    for (const Case& c : cases) {
        env.prompter.messages.clear();
        OpenSnapshot(*w, 0, c.answer);
        if (c.message.empty()) {
            EXPECT_TRUE(env.prompter.messages.empty());
        } else {
            ASSERT_EQ(env.prompter.messages.size(), 1u) << c.message;
            EXPECT_EQ(env.prompter.messages[0].icon, MsgIcon::Warning);
            EXPECT_EQ(env.prompter.messages[0].title, "Cannot Open Snapshot");
            EXPECT_EQ(env.prompter.messages[0].text, c.message);
        }
        EXPECT_EQ(w->ServerSelector(0)->Text(), sourceServer);
        EXPECT_EQ(PanelServers()[0].Name, sourceServer);
        EXPECT_EQ(w->DatabaseText(0), "OrvaneDemoSource");
        EXPECT_EQ(Caption(*w, 0), "SQL Server - Source");
        EXPECT_EQ(Listed(*w, 0), before);
        EXPECT_FALSE(w->Snapshots().Shows(0));
    }
}

TEST_F(SnapshotPanel, TwoSnapshotsCompareAsTheirDatabasesDidAndRefuseWhatNeedsALiveDatabase) {
    auto w = OpenDemo();
    const std::string source = Save(*w, 0, "source.orvsnap");
    const std::string target = Save(*w, 1, "target.orvsnap");
    const Verdicts live = CompareAll(*w);
    OpenSnapshot(*w, 0, source);
    OpenSnapshot(*w, 1, target);
    ASSERT_TRUE(env.prompter.messages.empty()) << env.prompter.messages[0].text;
    EXPECT_EQ(w->DatabaseText(1), "OrvaneDemoTarget");
    frmDbCompareResults* results = nullptr;
    EXPECT_EQ(CompareAll(*w, &results), live);
    ASSERT_NE(results, nullptr);
    CatalogSnapshot s, t;
    std::string error;
    ASSERT_TRUE(ReadSnapshotFile(source, s, error) && ReadSnapshotFile(target, t, error));
    EXPECT_EQ(results->findChild<QLabel*>("lblSummary")->text().toStdString(),
              "Source: " + SnapshotTitle(s.Header) + "    Target: " + SnapshotTitle(t.Header));

    // The deployment script is for a live Target.
    env.prompter.messages.clear();
    EXPECT_EQ(results->OpenDeploymentScript(), nullptr);
    ASSERT_EQ(env.prompter.messages.size(), 1u);
    EXPECT_EQ(env.prompter.messages[0].text,
              "The Target is a snapshot file; a deployment script is made for a live database.");

    // What reads data or asks the server is refused, naming the panel and why.
    ShowType(*w, kTypeTable);
    const std::string noData = "The Source panel shows a snapshot file: it holds the catalog, "
                               "not the data.";
    struct Refusal {
        const char* what;
        std::function<void()> act;
        std::string message;
    };
    const Refusal refusals[] = {
        {"view data", [&] { w->ViewData(0); }, noData},
        {"analyze", [&] { w->AnalyzeData(0); }, noData},
        {"compare data", [&] { w->CompareDataSinglePair(); }, noData},
        {"database info",
         [&] { QTest::mouseClick(w->findChild<QPushButton*>("cmdDbInfo(1)"), Qt::LeftButton); },
         "The Target panel shows a snapshot file: Database Information needs a live database."},
        {"find", [&] { w->FindObject(0); },
         "The Source panel shows a snapshot file: Find Object needs a live database."},
        {"save snapshot", [&] { w->MenuItem("mnuFileSaveSnapshot(1)")->trigger(); },
         "The Target panel shows a snapshot file: Save Snapshot needs a live database."},
        {"attach", [&] { w->AttachDatabase(); },
         "The Source panel shows a snapshot file: Attach Database needs a live database."},
        {"deploy", [&] { w->MenuItem("mnuComparisonDeployScript")->trigger(); },
         "The Target is a snapshot file; a deployment script is made for a live database."},
    };
    for (const Refusal& r : refusals) {
        env.prompter.messages.clear();
        r.act();
        QApplication::processEvents();
        ASSERT_EQ(env.prompter.messages.size(), 1u) << r.what;
        EXPECT_EQ(env.prompter.messages[0].text, r.message) << r.what;
    }
    EXPECT_FALSE(w->Busy());

    // Refresh and Connect read the snapshot again; they reach no server for it.
    env.prompter.messages.clear();
    const std::vector<std::string> tables = Listed(*w, 0);
    ASSERT_FALSE(tables.empty());
    w->RefreshPanel(0);
    EXPECT_EQ(Listed(*w, 0), tables);
    w->Connect();
    QApplication::processEvents();
    EXPECT_TRUE(w->Snapshots().Shows(0));
    EXPECT_EQ(w->DatabaseText(0), "OrvaneDemoSource");
    EXPECT_EQ(Listed(*w, 0), tables);
    EXPECT_EQ(Caption(*w, 0), SnapshotTitle(s.Header) + " - read-only");
    EXPECT_EQ(w->DatabaseText(1), "OrvaneDemoTarget");
    EXPECT_GT(w->ObjectList(1)->Count(), 0);
    EXPECT_TRUE(env.prompter.messages.empty());
}

// A scripts folder written from the Source database opens in the Target panel through the
// selector (its scripts run in a scratch simulator) and compares identical with that database.
TEST_F(SnapshotPanel, AScriptsFolderOpensInAPanelAndComparesIdenticalToItsDatabase) {
    auto w = OpenDemo();
    // The folder's tables are complete scripts; they are read back and compared so.
    Settings().CompleteTableScripts = true;
    Settings().IgnoreSystemConstraintNames = true;
    QueryPlace place{PanelServers()[0], "OrvaneDemoSource", 60};
    const CancelToken cancel;
    ServerFacts facts;
    OdbcError odbc;
    std::string sql;
    ScriptFolderContent content;
    ASSERT_TRUE(ReadServerFacts(place, cancel, facts, odbc, sql)) << odbc.description;
    ASSERT_TRUE(BuildScriptFolder(place, facts, false, cancel, nullptr, content, odbc, sql))
        << odbc.description;
    const std::string dir = env.PathOf("demo-folder");
    std::vector<std::string> removed;
    std::string error;
    ASSERT_TRUE(WriteScriptFolder(dir, content, removed, error)) << error;
    ::setenv("ORVANE_SQLSIM", test::SqlsimExecutable().c_str(), 1);

    // Objects the folder has no file for (encrypted ones) are only in the database.
    const auto skipped = [&](const std::string& name) {
        for (const std::string& s : content.Skipped)
            if (s.find("." + name + " (") != std::string::npos)
                return true;
        return false;
    };
    ShowType(*w, kTypeProcedure);
    std::vector<std::string> liveProcedures;
    for (const std::string& name : Listed(*w, 0))
        if (!skipped(name))
            liveProcedures.push_back(name);
    EXPECT_LT(liveProcedures.size(), Listed(*w, 0).size()) << "the demo has an encrypted one";
    env.prompter.fileAnswers.push_back(dir + "/" + kScriptFolderManifest);
    Choose(*w, 1, kScriptsFolderEntry);
    ASSERT_EQ(env.prompter.fileRequests.size(), 1u);
    EXPECT_EQ(env.prompter.fileRequests[0].title, "Open Scripts Folder");
    ASSERT_TRUE(env.prompter.messages.empty()) << env.prompter.messages[0].text;
    EXPECT_EQ(Caption(*w, 1), dir + " (scripts folder) - read-only");
    EXPECT_EQ(w->ServerSelector(1)->Text(), kScriptsFolderEntry);
    EXPECT_EQ(w->DatabaseText(1), "OrvaneDemoSource");
    EXPECT_EQ(Listed(*w, 1), liveProcedures);

    frmDbCompareResults* results = nullptr;
    const Verdicts verdicts = CompareAll(*w, &results);
    ASSERT_FALSE(verdicts.empty());
    EXPECT_EQ(results->findChild<QLabel*>("lblSummary")->text().toStdString(),
              "Source: " + sourceServer + ".OrvaneDemoSource    Target: " + dir +
                  " (scripts folder)");
    for (const auto& [name, status] : verdicts)
        EXPECT_TRUE(status == PairStatus::Identical || (status == PairStatus::OnlyInSource &&
                                                        skipped(name.substr(name.find(' ') + 1))))
            << name;

    // A script the simulator refuses is named, and its object is not comparable.
    const std::string broken = dir + "/Procedures/dbo.usp_Order_AddLine.sql";
    ASSERT_TRUE(std::filesystem::exists(broken));
    std::ofstream(broken, std::ios::binary) << "CREATE PROCEDUR dbo.usp_Order_AddLine AS\n"
                                               "SELECT 1\nGO\n";
    env.prompter.fileAnswers.push_back(dir);
    Choose(*w, 1, kScriptsFolderEntry);
    ASSERT_EQ(env.prompter.messages.size(), 1u);
    EXPECT_EQ(env.prompter.messages[0].title, "Scripts Folder");
    EXPECT_EQ(env.prompter.messages[0].text.rfind(
                  "The simulator refused these scripts; their objects are not comparable:\r\n\r\n"
                  "Procedures/dbo.usp_Order_AddLine.sql line 1: Incorrect syntax near "
                  "'PROCEDUR'.",
                  0),
              0u)
        << env.prompter.messages[0].text;
    const Verdicts again = CompareAll(*w);
    EXPECT_EQ(again.at(std::to_string(kTypeProcedure) + " usp_Order_AddLine"),
              PairStatus::NotComparable);
    EXPECT_EQ(again.at(std::to_string(kTypeProcedure) + " usp_Order_Create"),
              PairStatus::Identical);

    env.prompter.messages.clear();
    w->ViewData(1);
    ASSERT_EQ(env.prompter.messages.size(), 1u);
    EXPECT_EQ(env.prompter.messages[0].text,
              "The Target panel shows a scripts folder: it holds the catalog, not the data.");
}

// A large file is read with the progress window: read whole it shows as a small one does, and
// Stop leaves the panel as it was, without a message.
TEST_F(SnapshotPanel, ALargeFileIsReadWithTheProgressWindowAndStopLeavesThePanel) {
    auto w = OpenDemo();
    const std::string small = Save(*w, 0, "source.orvsnap");
    CatalogSnapshot big;
    std::string error;
    ASSERT_TRUE(ReadSnapshotFile(small, big, error)) << error;
    CatalogResult padding;
    padding.Fields = {{"text", -9, 0}};
    for (int k = 0; k < 48; ++k)
        padding.Rows.push_back({FieldValue::Str(std::string(1024 * 1024, 'a' + k % 26))});
    big.Results["padding"] = padding;
    const std::string file = env.PathOf("big.orvsnap");
    ASSERT_TRUE(WriteSnapshotFile(file, big, error)) << error;
    ASSERT_GT(std::filesystem::file_size(file), static_cast<uintmax_t>(kSnapshotReadInPlaceBytes));
    const std::vector<std::string> live = Listed(*w, 0);

    // Stop as soon as the window is up.
    int seen = 0;
    QTimer stopper;
    QObject::connect(&stopper, &QTimer::timeout, [&] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* progress = qobject_cast<frmRunProgress*>(top);
                progress && progress->objectName() == "frmSnapshotRead" && progress->Running()) {
                ++seen;
                progress->Stop();
            }
    });
    stopper.start(0);
    OpenSnapshot(*w, 0, file);
    stopper.stop();
    EXPECT_GT(seen, 0);
    EXPECT_TRUE(env.prompter.messages.empty());
    EXPECT_FALSE(w->Snapshots().Shows(0));
    EXPECT_EQ(w->ServerSelector(0)->Text(), sourceServer);
    EXPECT_EQ(Listed(*w, 0), live);

    OpenSnapshot(*w, 0, file);
    EXPECT_TRUE(env.prompter.messages.empty());
    ASSERT_TRUE(w->Snapshots().Shows(0));
    EXPECT_EQ(Caption(*w, 0), SnapshotTitle(big.Header) + " - read-only");
    EXPECT_EQ(Listed(*w, 0), live);
    EXPECT_FALSE(w->Busy());
}

} // namespace
} // namespace orv
