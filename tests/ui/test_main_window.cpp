// The main window driven through its real widgets, with the real catalog and connection layer
// talking to the simulator.
#include "catalog/object_types.h"
#include "compare/compare_sel_procs.h"
#include "core/paths.h"
#include "core/registry.h"
#include "core/settings.h"
#include "servers/server_list.h"
#include "sqlsim_process.h"
#include "test_env.h"
#include "ui/main/frm_main.h"
#include "ui/widgets/qt_combo_control.h"
#include "ui/widgets/qt_list_control.h"
#include "ui/widgets/qt_text_view.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace orv {
namespace {

using test::SqlsimOptions;
using test::SqlsimProcess;
using test::TestEnv;

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        SqlsimOptions o;
        o.version = "10.50.1600.1";
        o.scriptFiles = {test::FixtureFile("mw_pair.sql")};
        sim = std::make_unique<SqlsimProcess>(o);
        std::string error;
        ASSERT_TRUE(sim->Start(error)) << error;
    }

    // Stores a server pointing at the simulator, remembering `mruDb`.
    void StoreServer(const std::string& mruDb) {
        ServerEntry e;
        e.Name = sim->ServerName();
        e.SQLAuth = true;
        e.LoginName = sim->Options().login;
        e.Pwd = sim->Options().password;
        e.MRUDb = mruDb;
        ServerAddToList(e);
    }

    std::unique_ptr<frmMain> OpenWindow(MainWindowDialogs dialogs = {}) {
        if (!dialogs.showComparison)
            dialogs.showComparison = [this](QWidget*, const ComparisonReportRequest& r) {
                reports.push_back(gstrReportText);
                comparisons.push_back(r);
            };
        if (!dialogs.showReport)
            dialogs.showReport = [this](QWidget*, const std::string& caption, int) {
                reports.push_back(caption + "|" + gstrReportText);
            };
        LoadSettings(LoadServerList);
        auto w = std::make_unique<frmMain>(std::move(dialogs));
        w->FormLoad();
        w->show();
        QApplication::processEvents();
        return w;
    }

    static int RowOf(QtListControl* list, const std::string& name) {
        for (int r = 0; r < list->Count(); ++r)
            if (list->CellText(r, 0) == name)
                return r;
        return -1;
    }

    static void Click(QtListControl* list, int row) {
        QRect rect = list->visualItemRect(list->topLevelItem(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
        QApplication::processEvents();
    }

    TestEnv env;
    std::unique_ptr<SqlsimProcess> sim;
    std::vector<std::string> reports;
    std::vector<ComparisonReportRequest> comparisons;
};

TEST_F(MainWindowTest, WithoutAutoConnectNothingLoadsUntilConnectAndConnectLoadsOnlyTheSource) {
    StoreServer("MwSource");
    auto w = OpenWindow();
    EXPECT_EQ(w->windowTitle(), "Orvane");
    EXPECT_EQ(w->ServerSelector(0)->currentText().toStdString(), sim->ServerName());
    EXPECT_EQ(w->DatabaseList(0)->Count(), 0);
    EXPECT_EQ(w->ConnectState(), 2);

    QTest::keyClick(w.get(), Qt::Key_F5);
    QApplication::processEvents();
    EXPECT_EQ(w->ConnectState(), 0);
    QtListControl* dbs = w->DatabaseList(0);
    ASSERT_GE(dbs->Count(), 2);
    EXPECT_GE(RowOf(dbs, "MwSource"), 0);
    EXPECT_EQ(dbs->CurrentText(), "MwSource"); // the remembered database
    QtListControl* tables = w->ObjectList(0);
    EXPECT_EQ(tables->Count(), 2);
    EXPECT_EQ(tables->CellText(0, 0), "Customers");
    EXPECT_NE(w->TextView(0)->Text().find("[CustomerID]"), std::string::npos)
        << w->TextView(0)->Text();
    // The Target panel stays empty until a server is chosen in it.
    EXPECT_EQ(w->DatabaseList(1)->Count(), 0);
    EXPECT_EQ(w->ObjectList(1)->Count(), 0);
    EXPECT_TRUE(env.prompter.messages.empty());
}

TEST_F(MainWindowTest, AutoConnectChoosingTargetAndDatabasesRememberTheDatabase) {
    StoreServer("MwTarget");
    SetRegDword(HKEY_CURRENT_USER, kKeyServers, "AutoConnect", 1);
    auto w = OpenWindow();
    EXPECT_EQ(w->DatabaseList(0)->CurrentText(), "MwTarget");

    // Choosing the server in the Target selector loads that panel with its remembered database.
    w->ServerSelector(1)->setCurrentIndex(-1);
    w->ServerSelector(1)->setCurrentIndex(0);
    QApplication::processEvents();
    EXPECT_EQ(w->DatabaseList(1)->CurrentText(), "MwTarget");

    // Picking another database in the Source panel reloads it and stores it as remembered.
    QtListControl* dbs = w->DatabaseList(0);
    Click(dbs, RowOf(dbs, "MwSource"));
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, ServerKeyPath(1), "MRUDb", ""), "MwSource");
    EXPECT_EQ(PanelServers()[0].MRUDb, "MwSource");
}

TEST_F(MainWindowTest, TypeChangeSelectionAndAutomaticTargetSelection) {
    StoreServer("MwSource");
    SetRegDword(HKEY_CURRENT_USER, kKeyMav, "AutoSelTargetObj", 1);
    auto w = OpenWindow();
    QTest::keyClick(w.get(), Qt::Key_F5);
    w->ServerSelector(1)->setCurrentIndex(-1);
    w->ServerSelector(1)->setCurrentIndex(0);
    Click(w->DatabaseList(1), RowOf(w->DatabaseList(1), "MwTarget"));

    // Procedures in both panels.
    QtComboControl* type = w->TypeSelector();
    type->setCurrentIndex(type->findData(kTypeProcedure));
    QApplication::processEvents();
    QtListControl* src = w->ObjectList(0);
    QtListControl* tgt = w->ObjectList(1);
    EXPECT_EQ(src->Count(), 2);
    EXPECT_EQ(tgt->Count(), 1);
    EXPECT_EQ(src->toolTip().toStdString(), "List of all procedures");

    // Selecting a Source object selects the same-named Target object and shows both texts.
    Click(src, RowOf(src, "OnlyInSource"));
    tgt->SetSelected(0, false);
    w->TextView(1)->SetText("");
    Click(src, RowOf(src, "GetCustomer"));
    EXPECT_NE(w->TextView(0)->Text().find("SELECT Name, City\r\n"), std::string::npos);
    EXPECT_TRUE(tgt->Selected(0));
    EXPECT_NE(w->TextView(1)->Text().find("SELECT Name, City, CustomerID"), std::string::npos);

    // An object missing in the Target changes nothing there.
    Click(src, RowOf(src, "OnlyInSource"));
    EXPECT_NE(w->TextView(1)->Text().find("CustomerID"), std::string::npos);
}

TEST_F(MainWindowTest, CompareSelectedObjectsReportsAndColoursBothViews) {
    StoreServer("MwSource");
    auto w = OpenWindow();
    QTest::keyClick(w.get(), Qt::Key_F5);
    w->ServerSelector(1)->setCurrentIndex(-1);
    w->ServerSelector(1)->setCurrentIndex(0);
    Click(w->DatabaseList(1), RowOf(w->DatabaseList(1), "MwTarget"));
    QtComboControl* type = w->TypeSelector();
    type->setCurrentIndex(type->findData(kTypeProcedure));
    QApplication::processEvents();
    Click(w->ObjectList(0), RowOf(w->ObjectList(0), "GetCustomer"));
    Click(w->ObjectList(1), RowOf(w->ObjectList(1), "GetCustomer"));

    QTest::keyClick(w.get(), Qt::Key_F7);
    ASSERT_EQ(reports.size(), 1u);
    const std::string server = sim->ServerName();
    EXPECT_EQ(reports[0],
              "Source: " + server + ".MwSource.GetCustomer\r\nTarget: " + server +
                  ".MwTarget.GetCustomer\r\n\r\nThe selected procedures are different.");
    ASSERT_EQ(comparisons.size(), 1u);
    EXPECT_EQ(comparisons[0].Caption, "Comparison Report");
    EXPECT_EQ(gstrReportText, "");
    EXPECT_FALSE(w->Busy());

    // The changed line is coloured in both views; the equal first line is not.
    QtTextView* s = w->TextView(0);
    QtTextView* t = w->TextView(1);
    const int64_t changedS = static_cast<int64_t>(
        QString::fromStdString(s->Text()).replace("\r\n", "\n").indexOf("SELECT Name, City"));
    const int64_t changedT = static_cast<int64_t>(
        QString::fromStdString(t->Text()).replace("\r\n", "\n").indexOf("SELECT Name, City"));
    EXPECT_TRUE(s->BackgroundAt(changedS + 2).isValid());
    const QColor changed(192, 255, 192), same(255, 255, 255);
    EXPECT_EQ(s->BackgroundAt(changedS + 2), changed);
    EXPECT_EQ(t->BackgroundAt(changedT + 2), changed);
    EXPECT_EQ(s->BackgroundAt(1), same);
}

TEST_F(MainWindowTest, CompareHighlightedSectionsMessagesAndComparison) {
    StoreServer("MwSource");
    auto w = OpenWindow();
    const std::string title = "Compare Highlighted Sections";
    w->CompareHighlightedSections();
    ASSERT_EQ(env.prompter.messages.size(), 1u);
    EXPECT_EQ(env.prompter.messages[0].title, title);
    EXPECT_EQ(env.prompter.messages[0].text,
              "Cannot continue - there is no structure displayed for selected object.");

    w->TextView(0)->SetText("alpha\r\nbeta");
    w->TextView(1)->SetText("alpha\r\ngamma");
    w->CompareHighlightedSections();
    ASSERT_EQ(env.prompter.messages.size(), 2u);
    EXPECT_EQ(env.prompter.messages[1].text.rfind(
                  "Cannot continue - there is no highlighted section in Source object.\r\n\r\n"
                  "Please select some section in Source text first",
                  0),
              0u);
    EXPECT_EQ(env.prompter.messages[1].icon, MsgIcon::Information);

    w->TextView(0)->SetSelStart(0);
    w->TextView(0)->SetSelLength(5);
    w->CompareHighlightedSections();
    ASSERT_EQ(env.prompter.messages.size(), 3u);
    EXPECT_EQ(env.prompter.messages[2].text.rfind(
                  "Cannot continue - there is no highlighted section in Target object.", 0),
              0u);

    // Equal sections in texts that differ elsewhere: identical, nothing coloured.
    w->TextView(1)->SetSelStart(0);
    w->TextView(1)->SetSelLength(5);
    w->CompareHighlightedSections();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("are identical."), std::string::npos) << reports[0];
    EXPECT_FALSE(w->TextView(0)->BackgroundAt(7).isValid());
}

TEST_F(MainWindowTest, ContextMenuEnablingFollowsTheTextsAndTheType) {
    StoreServer("MwSource");
    auto w = OpenWindow();
    w->PrepareContextMenu();
    EXPECT_FALSE(w->MenuItem("mnuPopUpRefresh")->isEnabled());
    EXPECT_FALSE(w->MenuItem("mnuPopUpCompareSections")->isEnabled());
    EXPECT_FALSE(w->MenuItem("mnuPopUpRefToNonExistObj")->isEnabled()); // tables
    QtComboControl* type = w->TypeSelector();
    type->SetTag("OFF");
    type->setCurrentIndex(type->findData(kTypeView));
    type->SetTag("");
    w->PrepareContextMenu();
    EXPECT_TRUE(w->MenuItem("mnuPopUpRefToNonExistObj")->isEnabled());
    w->TextView(1)->SetText("create view v as select 1");
    w->PrepareContextMenu();
    EXPECT_TRUE(w->MenuItem("mnuPopUpRefresh")->isEnabled());
    EXPECT_TRUE(w->MenuItem("mnuPopUpCompareSections")->isEnabled());
    EXPECT_FALSE(w->MenuItem("mnuPopUpIgnoreCols")->isEnabled()); // not tables
    EXPECT_EQ(w->ContextMenu()->defaultAction(), w->MenuItem("mnuPopUpRefresh"));
}

TEST_F(MainWindowTest, CopyCommandsNeedASelectedObjectAndWriteTheText) {
    StoreServer("MwSource");
    auto w = OpenWindow();
    w->findChild<QPushButton*>("cmdCopyClip(0)")->click();
    ASSERT_EQ(env.prompter.messages.size(), 1u);
    EXPECT_EQ(env.prompter.messages[0].title, "Cannot Copy");
    EXPECT_EQ(env.prompter.messages[0].text, "There is nothing to copy.");

    QTest::keyClick(w.get(), Qt::Key_F5);
    ASSERT_EQ(w->ObjectList(0)->Count(), 2);
    Click(w->ObjectList(0), 1);
    ASSERT_EQ(w->ObjectList(0)->SelCount(), 1);
    w->findChild<QPushButton*>("cmdCopyClip(0)")->click();
    EXPECT_EQ(env.prompter.clipboard, w->TextView(0)->Text() + "\r\n");

    const std::string file = env.PathOf("orders.txt");
    env.prompter.fileAnswers.push_back(file);
    w->findChild<QPushButton*>("cmdCopyToFile(0)")->click();
    ASSERT_EQ(env.prompter.fileRequests.size(), 1u);
    EXPECT_EQ(env.prompter.fileRequests[0].proposedPath, "Orders.txt");
    // Every line of the view followed by a line break, as on the clipboard.
    EXPECT_EQ(test::ReadTextFile(file), w->TextView(0)->Text() + "\r\n");
}

TEST_F(MainWindowTest, NoStoredServerAsksForOneAndConnectsToIt) {
    bool asked = false;
    MainWindowDialogs d;
    d.addServer = [&](QWidget*) {
        asked = true;
        StoreServer("MwTarget");
        return true;
    };
    auto w = OpenWindow(d);
    QApplication::processEvents();
    ASSERT_FALSE(env.prompter.messages.empty());
    EXPECT_EQ(env.prompter.messages[0].title, "No SQL Server");
    EXPECT_EQ(env.prompter.messages[0].text,
              "There is no SQL server to connect to.\r\n\r\nPlease add server by filling in "
              "following form or by clicking menu item 'Tools' -> 'Add Server' and specifying "
              "info for the server.");
    EXPECT_TRUE(asked);
    EXPECT_EQ(w->ServerSelector(0)->currentText().toStdString(), sim->ServerName());
    EXPECT_GT(w->DatabaseList(0)->Count(), 0);
}

TEST_F(MainWindowTest, DatabaseInformationAndViewDataGuards) {
    StoreServer("MwSource");
    auto w = OpenWindow();
    QTest::keyClick(w.get(), Qt::Key_F11);
    ASSERT_EQ(env.prompter.messages.size(), 1u);
    EXPECT_EQ(env.prompter.messages[0].icon, MsgIcon::Warning);
    EXPECT_EQ(env.prompter.messages[0].title, "Cannot Display Info");
    EXPECT_EQ(env.prompter.messages[0].text,
              "Cannot display database info - the list of databases is empty.");

    QTest::keyClick(w.get(), Qt::Key_F5);
    QtComboControl* type = w->TypeSelector();
    type->setCurrentIndex(type->findData(kTypeProcedure));
    QApplication::processEvents();
    w->findChild<QPushButton*>("cmdViewData(0)")->click();
    ASSERT_EQ(env.prompter.messages.size(), 2u);
    EXPECT_EQ(env.prompter.messages[1].title, "Orvane");
    EXPECT_EQ(env.prompter.messages[1].text.rfind(
                  "This functionality is enabled only when Tables are selected", 0),
              0u);
}

TEST_F(MainWindowTest, LayoutFollowsTheOwnerSetting) {
    StoreServer("MwSource");
    auto w = OpenWindow();
    auto* info = w->findChild<QPushButton*>("cmdDbInfo(0)");
    auto* label = w->findChild<QLabel*>("lblDbInfo(1)");
    EXPECT_EQ(info->y(), 1590 / 15);
    EXPECT_EQ(label->y(), 1710 / 15);
    EXPECT_FALSE(w->OwnerSelector(0)->isVisible());
    Settings().ShowOwners = true;
    w->ApplyOwnerPlacement();
    EXPECT_EQ(info->y(), 1770 / 15);
    EXPECT_EQ(label->y(), 1890 / 15);
    EXPECT_TRUE(w->OwnerSelector(0)->isVisible());
    EXPECT_EQ(w->ServerSelector(1)->width(), 2775 / 15);
    // A larger window gives the text view room; back at the design size every control is
    // where the arrangement put it.
    const QRect before = w->TextView(1)->geometry();
    const QSize design = w->size();
    w->resize(1200, 900);
    QApplication::processEvents();
    EXPECT_NE(w->TextView(1)->geometry(), before);
    w->resize(design);
    QApplication::processEvents();
    EXPECT_EQ(w->TextView(1)->geometry(), before);
}

} // namespace
} // namespace orv

namespace orv {
namespace {

TEST_F(MainWindowTest, BuildSqlCreateStatementShowsTheScriptInTheReportWindow) {
    StoreServer("MwSource");
    auto w = OpenWindow();
    w->BuildSQLCreateStatement(0);
    ASSERT_EQ(env.prompter.messages.size(), 1u);
    EXPECT_EQ(env.prompter.messages[0].title, "Cannot Continue");
    EXPECT_EQ(env.prompter.messages[0].text,
              "Cannot continue - there is no structure displayed for selected object.");

    QTest::keyClick(w.get(), Qt::Key_F5);
    QtComboControl* type = w->TypeSelector();
    type->setCurrentIndex(type->findData(kTypeProcedure));
    QApplication::processEvents();
    w->BuildSQLCreateStatement(0);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].rfind("SQL CREATE Statement|", 0), 0u);
    EXPECT_NE(reports[0].find("CREATE PROCEDURE dbo.GetCustomer @id int"), std::string::npos)
        << reports[0];
    EXPECT_EQ(w->PopupPanel(), -1);
    EXPECT_EQ(gstrReportText, "");
}

TEST_F(MainWindowTest, OwnersAreListedWhenShown) {
    StoreServer("MwSource");
    SetRegDword(HKEY_CURRENT_USER, kKeyServers, "ShowOwners", 1);
    auto w = OpenWindow();
    QTest::keyClick(w.get(), Qt::Key_F5);
    QtComboControl* owners = w->OwnerSelector(0);
    ASSERT_GE(owners->count(), 2);
    EXPECT_EQ(owners->itemText(0).toStdString(), "All Owners");
    EXPECT_GE(owners->findText("dbo"), 1);
    // Choosing an owner keeps that owner's objects.
    owners->setCurrentIndex(owners->findText("dbo"));
    QApplication::processEvents();
    EXPECT_EQ(w->ObjectList(0)->Count(), 2);
}

TEST_F(MainWindowTest, CompactArrangementFitsASmallScreen) {
    StoreServer("MwSource");
    auto w = OpenWindow();
    w->ApplyCompactArrangement();
    EXPECT_EQ(w->width(), 9630 / 15);
    EXPECT_EQ(w->height(), 6585 / 15);
    EXPECT_EQ(w->ObjectList(1)->x(), 5040 / 15);
    EXPECT_EQ(w->TextView(0)->width(), 4395 / 15);
    auto* copy = w->findChild<QPushButton*>("cmdCopyClip(1)");
    auto* file = w->findChild<QPushButton*>("cmdCopyToFile(1)");
    EXPECT_EQ(copy->y(), 5070 / 15);
    EXPECT_EQ(file->x(), copy->x() + 1830 / 15);
    // Everything stays inside the window.
    for (QWidget* child : w->centralWidget()->findChildren<QWidget*>()) {
        if (!child->isVisibleTo(w.get()) || child->parentWidget() != w->centralWidget())
            continue;
        EXPECT_LE(child->geometry().right(), w->centralWidget()->width())
            << child->objectName().toStdString();
    }
}

TEST_F(MainWindowTest, RightClickOpensTheContextMenuOnlyWhenIdle) {
    StoreServer("MwSource");
    auto w = OpenWindow();
    QApplication::processEvents();
    ASSERT_TRUE(w->Activated());
    bool opened = false;
    int panelSeen = -2;
    bool busySeen = false;
    QTimer::singleShot(50, [&] {
        QMenu* menu = w->ContextMenu();
        opened = menu->isVisible();
        panelSeen = w->PopupPanel();
        busySeen = w->Busy();
        menu->close();
    });
    QTest::mousePress(w->TextView(1)->viewport(), Qt::RightButton, {}, QPoint(20, 20));
    EXPECT_TRUE(opened);
    EXPECT_EQ(panelSeen, 1);
    EXPECT_TRUE(busySeen);
    EXPECT_EQ(w->PopupPanel(), -1);
    EXPECT_FALSE(w->Busy());
}

} // namespace
} // namespace orv

namespace orv {
namespace {

TEST_F(MainWindowTest, F6PutsTheFocusOnTheTypeSelectorFromAnyControl) {
    StoreServer("MwSource");
    auto w = OpenWindow();
    QApplication::setActiveWindow(w.get());
    w->TextView(0)->setFocus();
    QApplication::processEvents();
    QTest::keyClick(w->TextView(0), Qt::Key_F6);
    QApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), w->TypeSelector());
}

} // namespace
} // namespace orv
