// Find Object, the references window and Refresh as the main window offers them, against the
// simulator: captions and keys, a match or a reference shown in its panel at its line, the
// catalog read once and kept until Refresh, a pattern that is not a valid expression, a
// database that cannot be read, Stop while the catalog is being read.
#include "core/settings.h"
#include "explore/db_catalog.h"
#include "servers/exec_ado_cmd.h"
#include "servers/server_list.h"
#include "sqlsim_process.h"
#include "test_env.h"
#include "ui/main/frm_main.h"
#include "ui/tools/frm_find_object.h"
#include "ui/tools/frm_missing_refs.h"
#include "ui/widgets/qt_combo_control.h"
#include "ui/widgets/qt_list_control.h"
#include "ui/widgets/qt_text_view.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <cstdlib>

namespace orv {
namespace {

using test::SqlsimOptions;
using test::SqlsimProcess;
using test::TestEnv;

constexpr const char* kDb = "RefsCheck";
constexpr const char* kVersion = "10.50.1600.1";

// With ORV_SHOT_DIR set, the window is kept as a picture there.
void Shot(QWidget* w, const char* name) {
    if (const char* dir = std::getenv("ORV_SHOT_DIR"))
        w->grab().save(QString(dir) + "/" + name + ".png");
}

class ExploreWindows : public ::testing::Test {
protected:
    void StartSim(std::vector<std::string> extra = {}) {
        SqlsimOptions o;
        o.version = kVersion;
        o.scriptFiles = {test::FixtureFile("refs_modules.sql")};
        o.extraArgs = std::move(extra);
        sim = std::make_unique<SqlsimProcess>(o);
        std::string error;
        ASSERT_TRUE(sim->Start(error)) << error;
        server.Name = sim->ServerName();
        server.SQLAuth = true;
        server.LoginName = o.login;
        server.Pwd = o.password;
        server.MRUDb = kDb;
    }

    std::unique_ptr<frmMain> OpenConnected() {
        ServerAddToList(server);
        LoadSettings(LoadServerList);
        MainWindowDialogs dialogs;
        dialogs.addServer = [](QWidget*) { return false; };
        auto w = std::make_unique<frmMain>(std::move(dialogs));
        w->FormLoad();
        w->show();
        QApplication::processEvents();
        QTest::keyClick(w.get(), Qt::Key_F5);
        QApplication::processEvents();
        if (w->DatabaseList(0)->CurrentText() != kDb)
            frmMain::SelectListRowByName(*w->DatabaseList(0), kDb, true, false);
        QApplication::processEvents();
        return w;
    }

    static void ChooseType(frmMain& w, ObjectType type) {
        QtComboControl* types = w.TypeSelector();
        for (int i = 0; i < types->ListCount(); ++i)
            if (types->ItemData(i) == type)
                types->setCurrentIndex(i);
        QApplication::processEvents();
    }

    static std::string CurrentObject(frmMain& w, int panel) {
        QtListControl* list = w.ObjectList(panel);
        const int row = list->CurrentRow();
        return row >= 0 ? list->CellText(row, 0) : "";
    }

    // The line the text view's cursor is on (1-based) and the selected text.
    static std::pair<int, std::string> Cursor(frmMain& w, int panel) {
        QtTextView* view = w.TextView(panel);
        return {view->textCursor().blockNumber() + 1, view->SelText()};
    }

    bool RefsDbQueried() const {
        for (const auto& s : sim->Statements())
            if (s.database == kDb)
                return true;
        return false;
    }

    static void Search(frmFindObject& f, const std::string& pattern) {
        QSignalSpy done(&f, &frmFindObject::searched);
        f.PatternBox()->setText(QString::fromStdString(pattern));
        QTest::mouseClick(f.FindButton(), Qt::LeftButton);
        if (done.isEmpty()) {
            ASSERT_TRUE(done.wait(15000));
        }
    }

    TestEnv env;
    std::unique_ptr<SqlsimProcess> sim;
    ServerEntry server;
};

TEST_F(ExploreWindows, MenusCaptionsAndKeys) {
    StartSim();
    auto w = OpenConnected();
    QAction* find = w->MenuItem("mnuToolsFind");
    ASSERT_NE(find, nullptr);
    EXPECT_TRUE(find->isVisible());
    EXPECT_EQ(find->text().toStdString(), "&Find Object");
    ASSERT_NE(find->menu(), nullptr);
    EXPECT_EQ(w->MenuItem("mnuToolsFindInDb(0)")->text().toStdString(), "In &Source Database");
    EXPECT_EQ(w->MenuItem("mnuToolsFindInDb(1)")->text().toStdString(), "In &Target Database");
    EXPECT_EQ(w->MenuItem("mnuFileRefresh(0)")->text().toStdString(), "Refresh - &Source");
    EXPECT_EQ(w->MenuItem("mnuFileRefresh(1)")->text().toStdString(), "Refresh - &Target");
    for (const char* name : {"mnuFileRefresh(0)", "mnuFileRefresh(1)", "mnuFileSep4"})
        EXPECT_TRUE(w->MenuItem(name)->isVisible()) << name;
    EXPECT_EQ(w->MenuItem("mnuPopUpRefToNonExistObj")->text().toStdString(),
              "Find references to non-existent objects");

    w->MenuItem("mnuToolsFindInDb(0)")->trigger();
    frmFindObject* f = w->FindWindow(0);
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(f->isVisible());
    EXPECT_EQ(f->windowTitle().toStdString(),
              "Find Object - Source Database (" + server.Name + "." + kDb + ")");
    EXPECT_EQ(f->FindButton()->text().toStdString(), "&Find");
    EXPECT_TRUE(f->FindButton()->isDefault());
    EXPECT_EQ(f->StopButton()->text().toStdString(), "&Stop");
    EXPECT_FALSE(f->StopButton()->isEnabled());
    EXPECT_EQ(f->RegexBox()->text().toStdString(), "Regular e&xpression");
    EXPECT_EQ(f->NamesBox()->text().toStdString(), "&Names");
    EXPECT_TRUE(f->NamesBox()->isChecked());
    EXPECT_EQ(f->TextsBox()->text().toStdString(), "Definition &texts");
    EXPECT_EQ(f->ColumnsBox()->text().toStdString(), "C&olumn names");
    // Every caption's key is its own.
    std::set<QChar> keys;
    for (QAbstractButton* b : f->findChildren<QAbstractButton*>()) {
        const qsizetype at = b->text().indexOf('&');
        if (at >= 0) {
            EXPECT_TRUE(keys.insert(b->text().at(at + 1).toLower()).second)
                << b->text().toStdString();
        }
    }
    // The pattern box takes the keys first.
    EXPECT_EQ(f->focusWidget(), f->PatternBox());
    Shot(f, "find_object_empty");
}

TEST_F(ExploreWindows, AMatchIsShownInItsPanelAtItsLineAndTheCatalogIsReadOnce) {
    StartSim();
    auto w = OpenConnected();
    ASSERT_EQ(w->DatabaseList(0)->CurrentText(), kDb);
    w->FindObject(0);
    frmFindObject* f = w->FindWindow(0);
    ASSERT_NE(f, nullptr);
    f->NamesBox()->setChecked(false);
    f->TextsBox()->setChecked(true);
    Search(*f, "nosuchlog");
    ASSERT_EQ(f->Results()->topLevelItemCount(), 1) << f->StatusLabel()->text().toStdString();
    QTreeWidgetItem* item = f->Results()->topLevelItem(0);
    EXPECT_EQ(item->text(0).toStdString(), "Procedure");
    EXPECT_EQ(item->text(2).toStdString(), "usp_Broken");
    EXPECT_EQ(item->text(3).toStdString(), "line 6");
    Shot(f, "find_object_results");

    // A double-click shows the procedure, the line selected at the match.
    const QRect rect = f->Results()->visualItemRect(item);
    // As the platform delivers a double-click: a click, then the double-click, then a release.
    QWidget* viewport = f->Results()->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, rect.center());
    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(rect.center()),
                    QPointF(viewport->mapToGlobal(rect.center())), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
    QApplication::sendEvent(viewport, &dbl);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, rect.center());
    QApplication::processEvents();
    EXPECT_EQ(w->CurrentType(), kTypeProcedure);
    EXPECT_EQ(CurrentObject(*w, 0), "usp_Broken");
    EXPECT_EQ(Cursor(*w, 0), (std::pair<int, std::string>{6, "NoSuchLog"}));

    // Later searches answer from memory: nothing more is asked of the database.
    sim->ClearStatements();
    f->NamesBox()->setChecked(true);
    f->ColumnsBox()->setChecked(true);
    Search(*f, "Setting*");
    EXPECT_FALSE(RefsDbQueried());
    EXPECT_GE(f->Results()->topLevelItemCount(), 3);
    for (int r = 0; r < f->Results()->topLevelItemCount(); ++r)
        if (f->Results()->topLevelItem(r)->text(3) == "column SettingKey") {
            f->Results()->setCurrentItem(f->Results()->topLevelItem(r));
            QTest::keyClick(f->Results(), Qt::Key_Return); // Enter shows it too
        }
    EXPECT_EQ(w->CurrentType(), kTypeTable);
    EXPECT_EQ(CurrentObject(*w, 0), "Settings"); // this server's lists show no schema
    EXPECT_EQ(Cursor(*w, 0).second, "SettingKey");

    // An invalid expression: its message, nothing run, the window as it was.
    f->RegexBox()->setChecked(true);
    f->PatternBox()->setText("NoSuch(");
    const int before = f->Results()->topLevelItemCount();
    QTest::mouseClick(f->FindButton(), Qt::LeftButton);
    ASSERT_EQ(env.prompter.messages.size(), 1u);
    EXPECT_EQ(env.prompter.messages[0].icon, MsgIcon::Warning);
    EXPECT_EQ(env.prompter.messages[0].title, "Cannot Find");
    EXPECT_NE(env.prompter.messages[0].text.find("regular expression is not valid"),
              std::string::npos);
    EXPECT_FALSE(f->Loading());
    EXPECT_EQ(f->Results()->topLevelItemCount(), before);

    // Refresh forgets the catalog: the next search reads it again.
    w->MenuItem("mnuFileRefresh(0)")->trigger();
    QApplication::processEvents();
    EXPECT_EQ(w->CatalogCache()->Any(server.Name, kDb), nullptr);
}

TEST_F(ExploreWindows, TheReferencesWindowForTheDatabaseAndForOneModule) {
    StartSim();
    auto w = OpenConnected();
    // The database's button: every module.
    auto* button = w->findChild<QPushButton*>("cmdNonExistent(0)");
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
    frmMissingReferences* r = w->ReferencesWindow();
    ASSERT_NE(r, nullptr);
    QSignalSpy checked(r, &frmMissingReferences::checked);
    if (checked.isEmpty()) {
        ASSERT_TRUE(checked.wait(15000));
    }
    EXPECT_EQ(r->windowTitle().toStdString(),
              "References to Non-existent Objects - " + server.Name + "." + kDb);
    EXPECT_EQ(r->Results()->topLevelItemCount(), 22);
    EXPECT_EQ(r->SummaryLabel()->text().toStdString(),
              "20 references to non-existent objects. 2 references to other databases or "
              "servers not checked.");
    // The ones not checked come last.
    EXPECT_EQ(r->Results()->topLevelItem(21)->text(3).toStdString(), "not checked");
    EXPECT_FALSE(w->Busy());
    Shot(r, "missing_references");

    // The text view's item: the selected procedure only; a double-click shows the line.
    ChooseType(*w, kTypeProcedure);
    frmMain::SelectListRowByName(*w->ObjectList(0), "fn_Broken", true, false);
    ChooseType(*w, kTypeFunction);
    const int row = frmMain::SelectListRowByName(*w->ObjectList(0), "fn_Broken", true, false);
    ASSERT_GE(row, 0);
    w->ObjectList(0)->SetCurrentRow(row);
    QApplication::processEvents();
    w->CheckReferences(0, true);
    r = w->ReferencesWindow();
    QSignalSpy one(r, &frmMissingReferences::checked);
    if (one.isEmpty()) {
        ASSERT_TRUE(one.wait(15000));
    }
    ASSERT_EQ(r->Results()->topLevelItemCount(), 1);
    EXPECT_EQ(r->Results()->topLevelItem(0)->text(2).toStdString(), "dbo.NoSuchItems");
    ChooseType(*w, kTypeTable);
    emit r->Results()->itemDoubleClicked(r->Results()->topLevelItem(0), 0);
    QApplication::processEvents();
    EXPECT_EQ(w->CurrentType(), kTypeFunction);
    EXPECT_EQ(CurrentObject(*w, 0), "fn_Broken");
    EXPECT_EQ(Cursor(*w, 0), (std::pair<int, std::string>{5, "dbo.NoSuchItems"}));
}

// The progress line of a catalog read ends on what came of it: progress still on its way when
// the read ended must not put "Reading ... of ..." back in its place afterwards.
TEST_F(ExploreWindows, TheStatusLineEndsOnTheCountAndTheVerdictNotOnProgress) {
    StartSim();
    auto w = OpenConnected();
    w->FindObject(0);
    frmFindObject* f = w->FindWindow(0);
    ASSERT_NE(f, nullptr);
    f->NamesBox()->setChecked(false);
    f->TextsBox()->setChecked(true);
    Search(*f, "nosuchlog");
    QTest::qWait(400); // longer than the progress interval
    EXPECT_EQ(f->StatusLabel()->text().toStdString(), "1 match found.");
    Shot(f, "find_object_status");

    // The references window reads the catalog afresh after a refresh.
    w->MenuItem("mnuFileRefresh(0)")->trigger();
    QApplication::processEvents();
    QTest::mouseClick(w->findChild<QPushButton*>("cmdNonExistent(0)"), Qt::LeftButton);
    frmMissingReferences* r = w->ReferencesWindow();
    ASSERT_NE(r, nullptr);
    QSignalSpy checked(r, &frmMissingReferences::checked);
    if (checked.isEmpty()) {
        ASSERT_TRUE(checked.wait(15000));
    }
    QTest::qWait(400);
    Shot(r, "missing_references_summary");
    EXPECT_EQ(r->SummaryLabel()->text().toStdString(),
              "20 references to non-existent objects. 2 references to other databases or "
              "servers not checked.");
}

TEST_F(ExploreWindows, RefreshKeepsTheSelectionAndShowsNewObjects) {
    StartSim();
    auto w = OpenConnected();
    ChooseType(*w, kTypeProcedure);
    const int row = frmMain::SelectListRowByName(*w->ObjectList(0), "usp_Valid", true, false);
    ASSERT_GE(row, 0);
    w->ObjectList(0)->SetCurrentRow(row);
    QApplication::processEvents();
    ASSERT_EQ(CurrentObject(*w, 0), "usp_Valid");
    // Another session adds a procedure meanwhile.
    RecordsetPtr rs;
    int32_t number = 0;
    std::string description;
    ASSERT_NE(ExecAdoCmd(server, kAdCmdText, "CREATE PROCEDURE dbo.aaa_Added AS SELECT 1", rs, kDb,
                         number, description),
              -1)
        << description;
    w->MenuItem("mnuFileRefresh(0)")->trigger();
    QApplication::processEvents();
    EXPECT_EQ(w->DatabaseList(0)->CurrentText(), kDb);
    EXPECT_EQ(w->CurrentType(), kTypeProcedure);
    bool added = false;
    for (int r = 0; r < w->ObjectList(0)->Count(); ++r)
        added = added || w->ObjectList(0)->CellText(r, 0) == "aaa_Added";
    EXPECT_TRUE(added);
    EXPECT_EQ(CurrentObject(*w, 0), "usp_Valid");
    EXPECT_NE(w->TextView(0)->Text().find("CREATE PROCEDURE dbo.usp_Valid"), std::string::npos);
}

// A database that cannot be read and Stop during the read leave the window usable.
TEST_F(ExploreWindows, ADatabaseGoneAndStop) {
    StartSim();
    server.Version = kVersion;
    auto cache = std::make_shared<DbCatalogCache>();
    frmFindObject gone(0, server, "NoSuchDatabase", cache);
    gone.show();
    Search(gone, "x");
    ASSERT_EQ(env.prompter.messages.size(), 1u);
    EXPECT_EQ(env.prompter.messages[0].icon, MsgIcon::Warning);
    EXPECT_EQ(env.prompter.messages[0].title, "orvane");
    EXPECT_EQ(
        env.prompter.messages[0].text.rfind("Server connection failed.\r\n\r\nRun time error: ", 0),
        0u)
        << env.prompter.messages[0].text;
    EXPECT_TRUE(gone.FindButton()->isEnabled());
    EXPECT_FALSE(gone.StopButton()->isEnabled());
    EXPECT_EQ(cache->Any(server.Name, "NoSuchDatabase"), nullptr);

    // A server that takes long over every query: Stop ends the read within moments.
    sim.reset();
    StartSim({"--fault-stall", "20"});
    server.Version = kVersion;
    frmFindObject slow(0, server, kDb, cache);
    slow.show();
    QSignalSpy done(&slow, &frmFindObject::searched);
    slow.PatternBox()->setText("x");
    QTest::mouseClick(slow.FindButton(), Qt::LeftButton);
    EXPECT_TRUE(slow.Loading());
    EXPECT_TRUE(slow.StopButton()->isEnabled());
    EXPECT_FALSE(slow.FindButton()->isEnabled());
    QTest::qWait(300);
    QElapsedTimer timer;
    timer.start();
    QTest::keyClick(&slow, Qt::Key_Escape); // Esc stops a read rather than closing
    ASSERT_TRUE(done.wait(10000));
    EXPECT_LT(timer.elapsed(), 8000);
    EXPECT_TRUE(slow.isVisible());
    EXPECT_EQ(slow.StatusLabel()->text().toStdString(), "Stopped - nothing was searched.");
    EXPECT_TRUE(slow.FindButton()->isEnabled());
    EXPECT_EQ(cache->Any(server.Name, kDb), nullptr);
    EXPECT_EQ(env.prompter.messages.size(), 1u);

    // The references window against the same slow server: its Stop button ends the read too,
    // and the window stays open to be run again.
    frmMissingReferences refs(0, server, kDb, "", cache);
    refs.show();
    QSignalSpy checked(&refs, &frmMissingReferences::checked);
    refs.Run();
    EXPECT_TRUE(refs.Loading());
    EXPECT_TRUE(refs.StopButton()->isEnabled());
    QTest::qWait(300);
    timer.restart();
    QTest::mouseClick(refs.StopButton(), Qt::LeftButton);
    ASSERT_TRUE(checked.wait(10000));
    EXPECT_LT(timer.elapsed(), 8000);
    EXPECT_TRUE(refs.isVisible());
    EXPECT_FALSE(refs.Loading());
    EXPECT_EQ(refs.SummaryLabel()->text().toStdString(), "Stopped - nothing was checked.");
    EXPECT_EQ(refs.Results()->topLevelItemCount(), 0);
    EXPECT_EQ(cache->Any(server.Name, kDb), nullptr);
    EXPECT_EQ(env.prompter.messages.size(), 1u);
}

} // namespace
} // namespace orv
