// The main window as a user drives it: choosing the entry a selector already shows, filtering by
// owner where names repeat across schemas, highlighting sections and comparing them through the
// context menu opened by mouse and by keyboard, colours of an earlier comparison, and the note
// for a Source object the Target does not have.
#include "catalog/object_types.h"
#include "compare/compare_sel_procs.h"
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
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>

namespace orv {
namespace {

using test::SqlsimOptions;
using test::SqlsimProcess;
using test::TestEnv;

class MainWindowInUse : public ::testing::Test {
protected:
    void Start(const std::string& version, std::vector<std::string> files,
               std::vector<std::string> texts = {}) {
        SqlsimOptions o;
        o.version = version;
        o.scriptFiles = std::move(files);
        o.scriptTexts = std::move(texts);
        sim = std::make_unique<SqlsimProcess>(o);
        std::string error;
        ASSERT_TRUE(sim->Start(error)) << error;
    }

    // Stores a server pointing at the simulator under `name` ("127.0.0.1,PORT" by default).
    void StoreServer(const std::string& mruDb, std::string name = "") {
        ServerEntry e;
        e.Name = name.empty() ? sim->ServerName() : name;
        e.SQLAuth = true;
        e.LoginName = sim->Options().login;
        e.Pwd = sim->Options().password;
        e.MRUDb = mruDb;
        ServerAddToList(e);
    }

    std::unique_ptr<frmMain> OpenWindow() {
        MainWindowDialogs dialogs;
        dialogs.showComparison = [this](QWidget*, const ComparisonReportRequest&) {
            reports.push_back(gstrReportText);
        };
        LoadSettings(LoadServerList);
        auto w = std::make_unique<frmMain>(std::move(dialogs));
        w->FormLoad();
        w->show();
        QApplication::setActiveWindow(w.get());
        EXPECT_TRUE(QTest::qWaitForWindowActive(w.get()));
        QApplication::processEvents();
        return w;
    }

    static int RowOf(QtListControl* list, const std::string& name) {
        for (int r = 0; r < list->Count(); ++r)
            if (list->CellText(r, 0) == name)
                return r;
        return -1;
    }

    // The names in the list, sorted (rows of one name keep the order of their ids).
    static std::vector<std::string> Names(QtListControl* list) {
        std::vector<std::string> names;
        for (int r = 0; r < list->Count(); ++r)
            names.push_back(list->CellText(r, 0));
        std::sort(names.begin(), names.end());
        return names;
    }

    static void Click(QtListControl* list, int row) {
        ASSERT_GE(row, 0);
        QRect rect = list->visualItemRect(list->topLevelItem(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
        QApplication::processEvents();
    }

    // Opens the selector's list from the keyboard and takes the entry `index` with Enter, as a
    // user does.
    static void Choose(QtComboControl* combo, int index) {
        combo->setFocus();
        QTest::keyClick(combo, Qt::Key_Down, Qt::AltModifier);
        QApplication::processEvents();
        QAbstractItemView* list = combo->view();
        ASSERT_TRUE(list->isVisible());
        list->setCurrentIndex(list->model()->index(index, 0));
        QTest::keyClick(list, Qt::Key_Return);
        QApplication::processEvents();
    }

    static std::vector<std::string> Sorted(std::vector<std::string> names) {
        std::sort(names.begin(), names.end());
        return names;
    }

    // Clicks into line `line` of the view and highlights `length` characters from its start
    // with Shift+Right, as a user does from the keyboard.
    static void Highlight(QtTextView* view, int line, int length) {
        const QRect at = view->cursorRect(QTextCursor(view->document()->findBlockByNumber(line)));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(2, at.center().y()));
        QApplication::processEvents();
        QTest::keyClick(view, Qt::Key_Home);
        for (int k = 0; k < length; ++k)
            QTest::keyClick(view, Qt::Key_Right, Qt::ShiftModifier);
        QApplication::processEvents();
    }

    // Picks the context menu's Compare Highlighted Sections once the menu is up: by a click on
    // the item, or with the arrow keys and Enter.
    void PickCompareSectionsWhenTheMenuOpens(frmMain* w, bool byKeyboard) {
        QTimer::singleShot(50, [w, byKeyboard, this] {
            QMenu* menu = w->ContextMenu();
            menuOpened = menu->isVisible();
            QAction* item = w->MenuItem("mnuPopUpCompareSections");
            if (!byKeyboard) {
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
                return;
            }
            for (int k = 0; k < 12 && menu->activeAction() != item; ++k)
                QTest::keyClick(menu, Qt::Key_Down);
            QTest::keyClick(menu, Qt::Key_Return);
        });
    }

    TestEnv env;
    std::unique_ptr<SqlsimProcess> sim;
    std::vector<std::string> reports;
    bool menuOpened = false;
};

// Both panels loaded with the procedures of MwSource and MwTarget.
class PairOfPanels : public MainWindowInUse {
protected:
    void SetUp() override {
        Start("10.50.1600.1", {test::FixtureFile("mw_pair.sql")},
              {"USE MwSource\nGO\nCREATE VIEW dbo.SourceViewA AS SELECT 1 AS One\nGO\n"
               "CREATE VIEW dbo.SourceViewB AS SELECT 2 AS Two\nGO\n"});
    }

    std::unique_ptr<frmMain> OpenOnProcedures(bool autoSelect) {
        StoreServer("MwSource");
        SetRegDword(HKEY_CURRENT_USER, kKeyMav, "AutoSelTargetObj", autoSelect ? 1 : 0);
        auto w = OpenWindow();
        QTest::keyClick(w.get(), Qt::Key_F5);
        w->ServerSelector(1)->setCurrentIndex(-1);
        w->ServerSelector(1)->setCurrentIndex(0);
        Click(w->DatabaseList(1), RowOf(w->DatabaseList(1), "MwTarget"));
        QtComboControl* type = w->TypeSelector();
        type->setCurrentIndex(type->findData(kTypeProcedure));
        QApplication::processEvents();
        return w;
    }
};

TEST_F(PairOfPanels, ChoosingTheServerAlreadyShownLoadsThePanelOnce) {
    StoreServer("MwTarget");
    StoreServer("MwSource", "localhost," + std::to_string(sim->Port()));
    auto w = OpenWindow();
    const auto databaseQueries = [&] {
        const auto all = sim->Statements();
        return std::count_if(all.begin(), all.end(), [](const test::LoggedStatement& s) {
            return s.sql == "SELECT name FROM sysdatabases ORDER BY name";
        });
    };
    // Nothing is loaded; both selectors show the first server. Choosing it loads the panel.
    ASSERT_EQ(w->ServerSelector(1)->currentIndex(), 0);
    ASSERT_EQ(w->DatabaseList(1)->Count(), 0);
    Choose(w->ServerSelector(1), 0);
    EXPECT_EQ(w->DatabaseList(1)->CurrentText(), "MwTarget");
    EXPECT_EQ(w->DatabaseList(0)->Count(), 0);
    Choose(w->ServerSelector(0), 0);
    EXPECT_EQ(w->DatabaseList(0)->CurrentText(), "MwTarget");
    EXPECT_EQ(databaseQueries(), 2);

    // Choosing another server loads the panel once, not once for the change and once more
    // for the choice.
    Choose(w->ServerSelector(1), 1);
    EXPECT_EQ(w->DatabaseList(1)->CurrentText(), "MwSource");
    EXPECT_EQ(databaseQueries(), 3);
    // A change the program makes still counts as a click; the user's next choice of that same
    // entry loads again.
    w->ServerSelector(1)->setCurrentIndex(0);
    QApplication::processEvents();
    EXPECT_EQ(databaseQueries(), 4);
    Choose(w->ServerSelector(1), 0);
    EXPECT_EQ(databaseQueries(), 5);
    EXPECT_TRUE(env.prompter.messages.empty());
}

TEST_F(PairOfPanels, HighlightedSectionsAreComparedFromTheMenuByMouseAndByKeyboard) {
    auto w = OpenOnProcedures(false);
    Click(w->ObjectList(0), RowOf(w->ObjectList(0), "GetCustomer"));
    Click(w->ObjectList(1), RowOf(w->ObjectList(1), "GetCustomer"));
    QtTextView* source = w->TextView(0);
    QtTextView* target = w->TextView(1);
    // Line 2 of both is "SELECT Name, City..."; the first 12 characters are the same.
    const auto selectBoth = [&] {
        Highlight(source, 2, 12);
        Highlight(target, 2, 12);
        ASSERT_EQ(source->SelText(), "SELECT Name,");
        ASSERT_EQ(target->SelText(), "SELECT Name,");
    };

    // Right click on the Target, where the focus is.
    selectBoth();
    PickCompareSectionsWhenTheMenuOpens(w.get(), false);
    QTest::mousePress(target->viewport(), Qt::RightButton, {}, QPoint(30, 10));
    EXPECT_TRUE(menuOpened);
    // Shift+F10 on the Target.
    selectBoth();
    menuOpened = false;
    PickCompareSectionsWhenTheMenuOpens(w.get(), true);
    QTest::keyClick(target, Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_TRUE(menuOpened);
    // Right click on the Source, which had lost the focus to the Target.
    selectBoth();
    menuOpened = false;
    PickCompareSectionsWhenTheMenuOpens(w.get(), false);
    QTest::mousePress(source->viewport(), Qt::RightButton, {}, QPoint(30, 10));
    EXPECT_TRUE(menuOpened);

    for (const ShownMessage& m : env.prompter.messages)
        ADD_FAILURE() << m.title << ": " << m.text;
    ASSERT_EQ(reports.size(), 3u);
    for (const std::string& r : reports)
        EXPECT_NE(r.find("The selected procedures are identical."), std::string::npos) << r;
    // Moving into a view with the keyboard still starts without a highlighted section.
    ASSERT_GT(target->SelLength(), 0);
    target->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    EXPECT_EQ(target->SelLength(), 0);
}

TEST_F(PairOfPanels, AComparisonFoundIdenticalLeavesNoColoursOfTheLastOne) {
    auto w = OpenOnProcedures(false);
    Click(w->ObjectList(0), RowOf(w->ObjectList(0), "GetCustomer"));
    Click(w->ObjectList(1), RowOf(w->ObjectList(1), "GetCustomer"));
    QtTextView* source = w->TextView(0);
    QtTextView* target = w->TextView(1);
    QTest::keyClick(w.get(), Qt::Key_F7);
    ASSERT_EQ(reports.size(), 1u);
    ASSERT_NE(reports[0].find("are different."), std::string::npos);
    ASSERT_TRUE(source->BackgroundAt(0).isValid());

    Highlight(source, 0, 6);
    Highlight(target, 0, 6);
    w->CompareHighlightedSections();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_NE(reports[1].find("are identical."), std::string::npos) << reports[1];
    for (QtTextView* view : {source, target}) {
        const int64_t length = static_cast<int64_t>(view->document()->characterCount()) - 1;
        for (int64_t offset = 0; offset < length; ++offset)
            if (view->BackgroundAt(offset).isValid()) {
                ADD_FAILURE() << view->objectName().toStdString() << " coloured at " << offset;
                break;
            }
    }
    // The highlighted sections are still there to look at.
    EXPECT_EQ(source->SelText().size(), 6u);
}

TEST_F(PairOfPanels, ASourceObjectWithoutNamesakeIsNotedUnderTheTargetList) {
    auto w = OpenOnProcedures(true);
    QtListControl* src = w->ObjectList(0);
    QtListControl* tgt = w->ObjectList(1);
    QLabel* note = w->TargetNote();
    Click(src, RowOf(src, "GetCustomer"));
    ASSERT_TRUE(tgt->Selected(RowOf(tgt, "GetCustomer")));
    EXPECT_FALSE(note->isVisible());
    const std::string targetText = w->TextView(1)->Text();
    const QRect viewAt = w->TextView(1)->geometry();

    // The Target keeps what it shows, and says that it is not the Source object's namesake.
    Click(src, RowOf(src, "OnlyInSource"));
    EXPECT_EQ(w->TextView(1)->Text(), targetText);
    EXPECT_TRUE(tgt->Selected(RowOf(tgt, "GetCustomer")));
    ASSERT_TRUE(note->isVisible());
    EXPECT_EQ(note->text().toStdString(), "No procedure named OnlyInSource in Target");
    // One line at the top of the Target text view, which moves the text down rather than
    // covering any of it; the view keeps its place in the window.
    QtTextView* view = w->TextView(1);
    EXPECT_EQ(note->parentWidget(), view);
    EXPECT_GE(view->viewport()->geometry().top(), note->geometry().bottom());
    EXPECT_EQ(view->geometry(), viewAt);
    EXPECT_EQ(note->toolTip(), note->text());

    // A namesake found again ends the note, even when it was already the Target's selection.
    Click(src, RowOf(src, "GetCustomer"));
    EXPECT_FALSE(note->isVisible());
    EXPECT_EQ(w->TextView(1)->viewport()->geometry().top(), w->TextView(1)->contentsRect().top());
    // So does any change of the Target's selection.
    Click(src, RowOf(src, "OnlyInSource"));
    ASSERT_TRUE(note->isVisible());
    tgt->SetSelected(RowOf(tgt, "GetCustomer"), false);
    QApplication::processEvents();
    EXPECT_FALSE(note->isVisible());
    Click(src, RowOf(src, "GetCustomer"));
    Click(src, RowOf(src, "OnlyInSource"));
    ASSERT_TRUE(note->isVisible());
    QtComboControl* type = w->TypeSelector();
    type->setCurrentIndex(type->findData(kTypeTable));
    QApplication::processEvents();
    EXPECT_FALSE(note->isVisible());

    // Views: the Source has two, the Target none at all.
    type->setCurrentIndex(type->findData(kTypeView));
    QApplication::processEvents();
    ASSERT_EQ(tgt->Count(), 0);
    Click(src, RowOf(src, "SourceViewB"));
    Click(src, RowOf(src, "SourceViewA"));
    ASSERT_TRUE(note->isVisible());
    EXPECT_EQ(note->text().toStdString(), "No view named SourceViewA in Target");
    // Filling the Target list anew ends the note, even when it stays as empty as it was.
    type->setCurrentIndex(type->findData(kTypeTrigger));
    QApplication::processEvents();
    ASSERT_EQ(tgt->Count(), 0);
    EXPECT_FALSE(note->isVisible());
    EXPECT_TRUE(env.prompter.messages.empty());
}

// The owner filter where one name is used in two schemas, listed as sales.Orders and
// dbo.Orders on later servers and twice as Orders on SQL Server 2000.
class OwnerFilter : public MainWindowInUse, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override {
        Start(GetParam(), {}, {R"(CREATE DATABASE Owned
GO
USE Owned
GO
CREATE USER sales WITHOUT LOGIN
GO
CREATE SCHEMA sales AUTHORIZATION sales
GO
CREATE TABLE dbo.Orders (OrderID int NOT NULL PRIMARY KEY)
GO
CREATE TABLE sales.Orders (OrderNo int NOT NULL PRIMARY KEY, Stage tinyint NULL)
GO
CREATE TABLE sales.Regions (RegionID int NOT NULL PRIMARY KEY)
GO
CREATE TABLE dbo.Customers (CustomerID int NOT NULL PRIMARY KEY)
GO
CREATE FUNCTION dbo.OrdersOf (@c int) RETURNS TABLE AS RETURN (SELECT OrderID FROM dbo.Orders)
GO
)"});
    }
    bool Later() const { return std::string(GetParam()).rfind("8.", 0) != 0; }
};

TEST_P(OwnerFilter, EachOwnerKeepsItsObjectsUnderTheirListedNames) {
    StoreServer("Owned");
    SetRegDword(HKEY_CURRENT_USER, kKeyServers, "ShowOwners", 1);
    auto w = OpenWindow();
    QTest::keyClick(w.get(), Qt::Key_F5);
    QtListControl* list = w->ObjectList(0);
    const std::vector<std::string> all = Names(list);
    const std::string salesOrders = Later() ? "sales.Orders" : "Orders";
    const std::string dboOrders = Later() ? "dbo.Orders" : "Orders";
    ASSERT_EQ(all, Sorted({"Customers", dboOrders, salesOrders, "Regions"}));

    QtComboControl* owners = w->OwnerSelector(0);
    Choose(owners, owners->findText("sales"));
    EXPECT_EQ(Names(list), Sorted({salesOrders, "Regions"}));
    EXPECT_NE(w->TextView(0)->Text().find("[OrderNo]"), std::string::npos)
        << w->TextView(0)->Text();

    Choose(owners, owners->findText("dbo"));
    EXPECT_EQ(Names(list), Sorted({"Customers", dboOrders}));
    EXPECT_EQ(w->TextView(0)->Text().find("[OrderNo]"), std::string::npos);

    // Functions of every kind have an owner, inline ones included.
    QtComboControl* type = w->TypeSelector();
    type->setCurrentIndex(type->findData(kTypeFunction));
    QApplication::processEvents();
    Choose(owners, owners->findText("dbo"));
    EXPECT_EQ(Names(list), (std::vector<std::string>{"OrdersOf"}));

    Choose(owners, 0); // All Owners
    EXPECT_EQ(Names(list), (std::vector<std::string>{"OrdersOf"}));
    EXPECT_TRUE(env.prompter.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(BothCatalogs, OwnerFilter, ::testing::Values("8.00.2039", "10.50.1600.1"));

} // namespace
} // namespace orv
