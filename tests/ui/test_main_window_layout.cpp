// The main window at other sizes than its design: growing, shrinking below it, maximized, the
// splitter, the size kept between runs, reading a marked comparison block by block with the two
// texts scrolling together, the object lists' columns, the report window's place, and the
// layout at twice the pixel density. The offscreen screens are two, 1920 x 1080 and
// 1280 x 1024 to its right (see offscreen_screens.json).
#include "catalog/object_types.h"
#include "compare/compare_sel_procs.h"
#include "compare/difference_blocks.h"
#include "core/registry.h"
#include "core/settings.h"
#include "servers/server_list.h"
#include "sqlsim_process.h"
#include "test_env.h"
#include "ui/main/frm_main.h"
#include "ui/main/frm_main_differences.h"
#include "ui/main/frm_main_geometry.h"
#include "ui/main/frm_report.h"
#include "ui/widgets/qt_combo_control.h"
#include "ui/widgets/qt_list_control.h"
#include "ui/widgets/qt_text_view.h"
#include "ui/widgets/scroll_sync.h"

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>
#include <QTextBlock>
#include <QToolButton>
#include <QToolTip>
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace orv {
namespace {

using test::SqlsimOptions;
using test::SqlsimProcess;
using test::TestEnv;

constexpr int Px(int twips) {
    return twips / 15;
}

class MainWindowLayoutTest : public ::testing::Test {
protected:
    // Starts the simulator on the given fixtures and stores one server pointing at it.
    void Serve(const std::vector<std::string>& fixtures, const std::string& mruDb) {
        SqlsimOptions o;
        o.version = "10.50.1600.1";
        for (const std::string& f : fixtures)
            o.scriptFiles.push_back(test::FixtureFile(f));
        sim = std::make_unique<SqlsimProcess>(o);
        std::string error;
        ASSERT_TRUE(sim->Start(error, 60000)) << error;
        ServerEntry e;
        e.Name = sim->ServerName();
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
        dialogs.showReport = [](QWidget*, const std::string&, int) {};
        // Without a stored server the window asks for one; these tests answer no.
        dialogs.addServer = [](QWidget*) { return false; };
        LoadSettings(LoadServerList);
        auto w = std::make_unique<frmMain>(std::move(dialogs));
        w->FormLoad();
        w->show();
        Settle();
        return w;
    }

    static void Settle() {
        for (int k = 0; k < 3; ++k)
            QApplication::processEvents();
    }

    static int RowOf(QtListControl* list, const std::string& name) {
        for (int r = 0; r < list->Count(); ++r)
            if (list->CellText(r, 0) == name)
                return r;
        return -1;
    }

    static void Click(QtListControl* list, int row) {
        ASSERT_GE(row, 0);
        list->scrollToItem(list->topLevelItem(row));
        const QRect rect = list->visualItemRect(list->topLevelItem(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
        Settle();
    }

    // Connects, loads the Target panel on `targetDb` and shows procedure `name` on both sides.
    void ShowProcedure(frmMain* w, const std::string& targetDb, const std::string& name) {
        QTest::keyClick(w, Qt::Key_F5);
        w->ServerSelector(1)->setCurrentIndex(-1);
        w->ServerSelector(1)->setCurrentIndex(0);
        Settle();
        Click(w->DatabaseList(1), RowOf(w->DatabaseList(1), targetDb));
        QtComboControl* type = w->TypeSelector();
        type->setCurrentIndex(type->findData(kTypeProcedure));
        Settle();
        Click(w->ObjectList(0), RowOf(w->ObjectList(0), name));
        Click(w->ObjectList(1), RowOf(w->ObjectList(1), name));
    }

    // The visible controls standing side by side in one parent.
    static std::vector<QWidget*> Siblings(QWidget* parent) {
        std::vector<QWidget*> out;
        for (QWidget* c : parent->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            if (c->isVisible() && !qobject_cast<QScrollBar*>(c))
                out.push_back(c);
        return out;
    }

    // No two visible controls of the window's client or its toolbar overlap, and all lie within
    // their parent. The splitter grip stands on the divider line by design.
    static void ExpectNoOverlap(frmMain* w, const std::string& where) {
        for (QWidget* parent : {w->centralWidget(), w->findChild<QWidget*>("picToolbar")}) {
            const std::vector<QWidget*> controls = Siblings(parent);
            for (size_t a = 0; a < controls.size(); ++a) {
                const QString an = controls[a]->objectName();
                if (an != "imgSplitter" && an != "linDivision") {
                    EXPECT_TRUE(
                        QRect(QPoint(0, 0), parent->size()).contains(controls[a]->geometry()))
                        << where << ": " << an.toStdString() << " leaves its parent";
                }
                for (size_t b = a + 1; b < controls.size(); ++b) {
                    const QString bn = controls[b]->objectName();
                    if ((an == "imgSplitter" && bn == "linDivision") ||
                        (an == "linDivision" && bn == "imgSplitter"))
                        continue;
                    EXPECT_FALSE(controls[a]->geometry().intersects(controls[b]->geometry()))
                        << where << ": " << an.toStdString() << " overlaps " << bn.toStdString();
                }
            }
        }
    }

    template <class T = QWidget> static T* Child(frmMain* w, const char* name) {
        T* c = w->findChild<T*>(name);
        EXPECT_NE(c, nullptr) << name;
        return c;
    }

    TestEnv env;
    std::unique_ptr<SqlsimProcess> sim;
    std::vector<std::string> reports;
};

// Every control where the design arrangement puts it (twips), with owners hidden.
struct DesignPlace {
    const char* name;
    int left, top, width, height;
};
const std::vector<DesignPlace> kDesign = {
    {"picToolbar", 0, 0, 11820, 675},
    {"cmdConnect", 60, 60, 1275, 495},
    {"cmbType", 1380, 150, 1635, 315},
    {"cmdCompareAll", 5040, 60, 1425, 495},
    {"cmdCompData", 6510, 60, 1545, 495},
    {"cmdHelp", 8100, 60, 945, 495},
    {"lblGen(4)", 210, 750, 2295, 255},
    {"lblGen(5)", 6210, 750, 2295, 255},
    {"lblGen(2)", 3330, 750, 2115, 255},
    {"lblGen(3)", 9270, 750, 2115, 255},
    {"lblGen(0)", 210, 1500, 645, 255},
    {"lblGen(1)", 6210, 1500, 645, 255},
    {"cmbServer(0)", 180, 1020, 2295, 315},
    {"cmbServer(1)", 6210, 1020, 2295, 315},
    {"pvlDb(0)", 3300, 1020, 2175, 1035},
    {"pvlDb(1)", 9270, 1020, 2175, 1035},
    {"cmbOwners(0)", 780, 1440, 2205, 315},
    {"cmbOwners(1)", 6780, 1440, 2205, 315},
    {"cmdDbInfo(0)", 180, 1590, 495, 435},
    {"cmdDbInfo(1)", 6210, 1590, 495, 435},
    {"lblDbInfo(0)", 750, 1710, 1095, 225},
    {"lblDbInfo(1)", 6780, 1710, 1095, 225},
    {"pvlSqlObj(0)", 180, 2310, 5295, 1095},
    {"pvlSqlObj(1)", 6210, 2310, 5295, 1095},
    {"cmdNonExistent(0)", 3990, 3420, 465, 285},
    {"cmdNonExistent(1)", 10020, 3420, 465, 285},
    {"cmdAnalyzeData(0)", 4500, 3420, 465, 285},
    {"cmdAnalyzeData(1)", 10530, 3420, 465, 285},
    {"cmdFind(0)", 5010, 3420, 465, 285},
    {"cmdFind(1)", 11040, 3420, 465, 285},
    {"txtTXProc(0)", 180, 3750, 5295, 2925},
    {"txtTXProc(1)", 6210, 3750, 5295, 2925},
    {"cmdCopyClip(0)", 180, 6915, 1905, 405},
    {"cmdCopyClip(1)", 6210, 6915, 1905, 405},
    {"cmdCopyToFile(0)", 2160, 6915, 1545, 405},
    {"cmdCopyToFile(1)", 8220, 6915, 1545, 405},
    {"cmdViewData(0)", 3810, 6915, 1545, 405},
    {"cmdViewData(1)", 9870, 6915, 1545, 405},
    {"picSecToolbar", 0, 2520, 11820, 405},
    // The grip is as tall as the divider line from the first activation on.
    {"imgSplitter", 5775, 2310, 150, 6630},
};

TEST_F(MainWindowLayoutTest, AtTheDesignSizeEveryControlIsWhereTheArrangementPutsIt) {
    auto w = OpenWindow();
    EXPECT_EQ(w->centralWidget()->size(), QSize(Px(11820), Px(7710)));
    for (const DesignPlace& d : kDesign) {
        QWidget* c = Child(w.get(), d.name);
        if (!c)
            continue;
        QRect expected(Px(d.left), Px(d.top), Px(d.width), Px(d.height));
        // A caption wider than its design width grows to the right (never clipped).
        if (auto* label = qobject_cast<QLabel*>(c); label && d.name[0] == 'l')
            expected.setWidth(std::max(expected.width(), label->sizeHint().width()));
        EXPECT_EQ(c->geometry(), expected) << d.name;
    }
    auto* line = Child(w.get(), "linDivision");
    EXPECT_EQ(line->geometry(), QRect(Px(5850) - 1, Px(750), 3, Px(7380 - 750)));
    EXPECT_FALSE(w->Geometry()->HorizontalBar()->isVisible());
    EXPECT_FALSE(w->Geometry()->VerticalBar()->isVisible());
    ExpectNoOverlap(w.get(), "design size");
}

TEST_F(MainWindowLayoutTest, ALargerOrMaximizedWindowGivesTheTextsTheRoom) {
    auto w = OpenWindow();
    const QSize text = w->TextView(0)->size();
    const QSize list = w->ObjectList(1)->size();
    const QSize button = Child(w.get(), "cmdCopyClip(1)")->size();

    struct Case {
        const char* name;
        bool maximize;
        QSize size;
    };
    for (const Case& c : {Case{"1600 x 1000", false, {1600, 1000}}, Case{"maximized", true, {}}}) {
        if (c.maximize) {
            w->showMaximized();
        } else {
            w->showNormal();
            w->resize(c.size);
        }
        Settle();
        if (c.maximize) {
            EXPECT_TRUE(w->isMaximized());
            EXPECT_EQ(w->frameGeometry().size(), w->screen()->availableGeometry().size());
        } else {
            EXPECT_EQ(w->size(), c.size);
        }
        for (int i = 0; i < 2; ++i) {
            QtTextView* view = w->TextView(i);
            EXPECT_GE(view->width(), text.width() * 18 / 10) << c.name << " panel " << i;
            EXPECT_GE(view->height(), text.height() * 18 / 10) << c.name << " panel " << i;
            // Buttons keep their size and stay under the text.
            for (const char* name : {"cmdCopyClip", "cmdCopyToFile", "cmdViewData"}) {
                QWidget* b = Child(w.get(), QString("%1(%2)").arg(name).arg(i).toUtf8());
                EXPECT_EQ(b->height(), button.height()) << c.name << " " << name;
                EXPECT_GT(b->y(), view->geometry().bottom()) << c.name << " " << name;
            }
        }
        // The extra height: a quarter to the object lists, the rest to the texts.
        const int extra = w->centralWidget()->height() - Px(7710);
        EXPECT_EQ(w->ObjectList(1)->height() - list.height(), extra / 4) << c.name;
        EXPECT_EQ(w->TextView(1)->height() - text.height(), extra - extra / 4) << c.name;
        // The extra width: shared by the two panels.
        EXPECT_LE(std::abs(w->TextView(0)->width() - w->TextView(1)->width()), 1) << c.name;
        EXPECT_EQ(Child(w.get(), "picToolbar")->width(), w->centralWidget()->width());
        ExpectNoOverlap(w.get(), c.name);
    }
    w->showNormal();
    w->resize(Px(11820), Px(7710) + w->height() - w->centralWidget()->height());
    Settle();
    EXPECT_EQ(w->TextView(1)->size(), text);
}

TEST_F(MainWindowLayoutTest, BelowTheDesignSizeScrollBarsReachEveryControl) {
    auto w = OpenWindow();
    const QSize text = w->TextView(0)->size();
    w->resize(600, 400);
    Settle();
    MainGeometry* g = w->Geometry();
    QScrollBar* h = g->HorizontalBar();
    QScrollBar* v = g->VerticalBar();
    ASSERT_TRUE(h->isVisible());
    ASSERT_TRUE(v->isVisible());
    // Nothing shrinks; scrolling to the far corner brings the last buttons into sight.
    EXPECT_EQ(w->TextView(0)->size(), text);
    h->setValue(h->maximum());
    v->setValue(v->maximum());
    Settle();
    const QRect room(0, 0, w->centralWidget()->width() - v->width(),
                     w->centralWidget()->height() - h->height());
    EXPECT_TRUE(room.contains(Child(w.get(), "cmdViewData(1)")->geometry()));
    EXPECT_TRUE(room.contains(Child(w.get(), "cmdFind(1)")->geometry()));
    h->setValue(0);
    v->setValue(0);
    Settle();
    EXPECT_EQ(Child(w.get(), "cmdConnect")->mapTo(w->centralWidget(), QPoint(0, 0)),
              QPoint(Px(60), Px(60)));
    // Only the direction that lacks room scrolls.
    w->resize(1200, 400);
    Settle();
    EXPECT_FALSE(h->isVisible());
    EXPECT_TRUE(v->isVisible());
}

// Drags the grip by `dx` pixels as a user does, the pointer keeping its place on the screen
// while the grip follows it.
void Drag(QWidget* grip, int dx) {
    const QPoint start = grip->mapToGlobal(grip->rect().center());
    QTest::mousePress(grip, Qt::LeftButton, {}, grip->rect().center());
    for (int step = 1; step <= 4; ++step) {
        QTest::mouseMove(grip, grip->mapFromGlobal(start + QPoint(dx * step / 4, 0)));
        QApplication::processEvents();
    }
    QTest::mouseRelease(grip, Qt::LeftButton, {}, grip->mapFromGlobal(start + QPoint(dx, 0)));
    QApplication::processEvents();
}

TEST_F(MainWindowLayoutTest, TheSplitterMovesTheBoundaryWithinLimits) {
    auto w = OpenWindow();
    w->resize(1400, 800);
    Settle();
    QWidget* grip = Child(w.get(), "imgSplitter");
    QWidget* line = Child(w.get(), "linDivision");
    EXPECT_EQ(grip->cursor().shape(), Qt::SplitHCursor);
    const int source = w->TextView(0)->width();
    const int target = w->TextView(1)->width();
    const int boundary = line->geometry().center().x();

    struct Case {
        const char* name;
        int dx;
        int sourceWidth; // expected, -1: source + dx
    };
    const int least = (Px(5295) + 1) / 2;
    const int most = source + target - least;
    for (const Case& c : {Case{"to the right", 150, -1}, Case{"to the left", -150, -1},
                          Case{"far left: half the design width", -2000, least},
                          Case{"far right: the Target keeps half", 2000, most}}) {
        w->Geometry()->SetSplitterShare(kSplitterMiddle);
        Settle();
        Drag(grip, c.dx);
        const int expected = c.sourceWidth < 0 ? source + c.dx : c.sourceWidth;
        EXPECT_EQ(w->TextView(0)->width(), expected) << c.name;
        EXPECT_EQ(w->TextView(0)->width() + w->TextView(1)->width(), source + target) << c.name;
        EXPECT_EQ(line->geometry().center().x() - boundary, expected - source) << c.name;
        EXPECT_LE(std::abs(grip->geometry().center().x() - line->geometry().center().x()), 1)
            << c.name;
        // The Target panel starts where it did, moved by the same distance.
        EXPECT_EQ(w->TextView(1)->x() - w->TextView(0)->geometry().right(),
                  Px(6210) - Px(180) - Px(5295) + 1)
            << c.name;
        ExpectNoOverlap(w.get(), c.name);
    }
    // A double-click puts the boundary back in the middle.
    QTest::mouseDClick(grip, Qt::LeftButton, {}, grip->rect().center());
    Settle();
    EXPECT_EQ(w->Geometry()->SplitterShare(), kSplitterMiddle);
    EXPECT_EQ(w->TextView(0)->width(), source);
}

TEST_F(MainWindowLayoutTest, SizePlaceSplitterAndScrollingTogetherSurviveARestart) {
    {
        auto w = OpenWindow();
        w->setGeometry(140, 90, 1300, 850);
        Settle();
        Drag(Child(w.get(), "imgSplitter"), 200);
        Child<QToolButton>(w.get(), "cmdScrollTogether")->click();
        EXPECT_TRUE(w->Differences()->ScrollTogether());
        w->close();
    }
    auto w = OpenWindow();
    EXPECT_EQ(w->geometry(), QRect(140, 90, 1300, 850));
    EXPECT_NE(w->Geometry()->SplitterShare(), kSplitterMiddle);
    EXPECT_EQ(w->TextView(0)->width() - w->TextView(1)->width(), 400);
    EXPECT_TRUE(w->Differences()->ScrollTogether());
    EXPECT_TRUE(w->MenuItem("mnuPopUpScrollTogether")->isChecked());

    // Maximized on the second screen: it comes back maximized there, and its normal size too.
    w->setGeometry(2000, 100, 900, 700);
    Settle();
    w->showMaximized();
    Settle();
    w->close();
    w = OpenWindow();
    EXPECT_TRUE(w->isMaximized());
    EXPECT_EQ(w->screen()->geometry().x(), 1920);
    w->showNormal();
    Settle();
    EXPECT_EQ(w->geometry(), QRect(2000, 100, 900, 700));
    w->close();

    // A place on a screen that is no longer there comes back onto one that is.
    SetRegDword(HKEY_CURRENT_USER, kKeyMav, "MainWindowLeft", 7000);
    SetRegDword(HKEY_CURRENT_USER, kKeyMav, "MainWindowTop", -500);
    SetRegDword(HKEY_CURRENT_USER, kKeyMav, "MainWindowMaximized", 0);
    w = OpenWindow();
    bool onAScreen = false;
    for (const QScreen* s : QGuiApplication::screens())
        onAScreen = onAScreen || s->availableGeometry().contains(w->geometry());
    EXPECT_TRUE(onAScreen) << w->geometry().x() << "," << w->geometry().y();
}

// The demo's compared procedure: every block of coloured lines is reached, in order, and the
// steps wrap at both ends with a word in the status bar.
TEST_F(MainWindowLayoutTest, NextAndPreviousDifferenceReachEveryColouredBlockAndWrap) {
    Serve({"demo_source.sql", "demo_target.sql"}, "OrvaneDemoSource");
    auto w = OpenWindow();
    w->resize(1000, 600); // texts longer than the views
    Settle();
    ShowProcedure(w.get(), "OrvaneDemoTarget", "usp_Report_ReorderList");
    DifferenceNavigator* nav = w->Differences();
    EXPECT_FALSE(w->MenuItem("mnuPopUpNextDiff")->isEnabled());
    QTest::keyClick(w.get(), Qt::Key_F7);
    ASSERT_EQ(reports.size(), 1u);
    const int n = nav->Count();
    ASSERT_GT(n, 0);
    EXPECT_TRUE(w->MenuItem("mnuPopUpNextDiff")->isEnabled());
    QLabel* count = nav->CountLabel();
    EXPECT_EQ(count->text().toStdString(),
              n == 1 ? "1 difference" : std::to_string(n) + " differences");

    std::set<int> reached[2];
    for (int k = 0; k < n; ++k) {
        if (k % 2 == 0)
            QTest::keyClick(w.get(), Qt::Key_Down, Qt::AltModifier);
        else
            Child<QToolButton>(w.get(), "cmdNextDiff")->click();
        Settle();
        EXPECT_EQ(nav->Current(), k);
        EXPECT_EQ(count->text().toStdString(),
                  "Difference " + std::to_string(k + 1) + " of " + std::to_string(n));
        EXPECT_TRUE(w->statusBar()->currentMessage().isEmpty()) << k;
        for (int side = 0; side < 2; ++side) {
            QtTextView* view = w->TextView(side);
            const int line = view->textCursor().blockNumber();
            reached[side].insert(line);
            // The block's line is in sight.
            const int top = view->verticalScrollBar()->value();
            const int shown = view->viewport()->height() / view->fontMetrics().lineSpacing();
            EXPECT_GE(line, top) << "block " << k << " side " << side;
            EXPECT_LT(line, top + shown) << "block " << k << " side " << side;
        }
    }
    // Every coloured line belongs to a reached block: a reached line at or above it, with only
    // coloured or empty lines between.
    const QColor white(255, 255, 255);
    int coloured = 0;
    for (int side = 0; side < 2; ++side) {
        QtTextView* view = w->TextView(side);
        int lastReached = -1;
        bool inRun = false;
        for (int line = 0; line < view->blockCount(); ++line) {
            const QTextBlock block = view->document()->findBlockByNumber(line);
            const bool empty = block.text().isEmpty();
            const QColor c = empty ? QColor() : view->BackgroundAt(view->LineStart(line));
            const bool isColoured = c.isValid() && c != white;
            if (reached[side].count(line)) {
                lastReached = line;
                inRun = true;
            }
            if (isColoured) {
                ++coloured;
                EXPECT_TRUE(inRun && lastReached >= 0)
                    << "side " << side << " line " << line << " was not reached";
            } else if (!empty) {
                inRun = false;
            }
        }
    }
    EXPECT_GT(coloured, 0);

    // Past the last: back to the first, and the status bar says so; before the first: the last.
    QTest::keyClick(w.get(), Qt::Key_Down, Qt::AltModifier);
    Settle();
    EXPECT_EQ(nav->Current(), 0);
    EXPECT_EQ(w->statusBar()->currentMessage().toStdString(), "First difference");
    QTest::keyClick(w.get(), Qt::Key_Up, Qt::AltModifier);
    Settle();
    EXPECT_EQ(nav->Current(), n - 1);
    EXPECT_EQ(w->statusBar()->currentMessage().toStdString(), "Last difference");
    EXPECT_EQ(count->text().toStdString(),
              "Difference " + std::to_string(n) + " of " + std::to_string(n));
    Child<QToolButton>(w.get(), "cmdPrevDiff")->click();
    Settle();
    EXPECT_EQ(nav->Current(), n > 1 ? n - 2 : 0);
    EXPECT_FALSE(Child<QToolButton>(w.get(), "cmdNextDiff")->toolTip().isEmpty());

    // A new object's text ends the marking, and with it the blocks.
    Click(w->ObjectList(0), RowOf(w->ObjectList(0), "usp_Customer_Get"));
    EXPECT_EQ(nav->Count(), 0);
    EXPECT_FALSE(count->isVisible());
    EXPECT_FALSE(w->MenuItem("mnuPopUpNextDiff")->isEnabled());
}

TEST_F(MainWindowLayoutTest, ScrollingOneTextMovesTheOtherWhenTheToggleIsOn) {
    auto w = OpenWindow();
    // Sixty lines against the same with five lines more after line 10 and line 40 changed;
    // one long line to scroll sideways.
    std::string source, target;
    for (int i = 0; i < 60; ++i) {
        const std::string line =
            i == 3 ? "-- " + std::string(400, '=') : "line " + std::to_string(i);
        source += line + "\r\n";
        target += (i == 40 ? "changed 40" : line) + "\r\n";
        if (i == 10)
            for (int k = 0; k < 5; ++k)
                target += "extra " + std::to_string(k) + "\r\n";
    }
    w->TextView(0)->SetText(source);
    w->TextView(1)->SetText(target);
    Settle();
    QScrollBar* sv = w->TextView(0)->verticalScrollBar();
    QScrollBar* tv = w->TextView(1)->verticalScrollBar();
    QScrollBar* sh = w->TextView(0)->horizontalScrollBar();
    QScrollBar* th = w->TextView(1)->horizontalScrollBar();
    ASSERT_GT(sv->maximum(), 3);
    ASSERT_GT(tv->maximum(), 3);

    // On (toolbar button): the same line at the top of both until a comparison marks lines;
    // the context menu item shows the switch and the registry keeps it.
    Child<QToolButton>(w.get(), "cmdScrollTogether")->click();
    EXPECT_TRUE(w->MenuItem("mnuPopUpScrollTogether")->isChecked());
    EXPECT_EQ(GetRegDword(HKEY_CURRENT_USER, kKeyMav, "ScrollTogether", 0), 1);
    sv->setValue(2);
    EXPECT_EQ(tv->value(), 2);
    tv->setValue(1);
    EXPECT_EQ(sv->value(), 1);
    ASSERT_GT(sh->maximum(), 100);
    sh->setValue(100);
    EXPECT_EQ(th->value(), 100);
    th->setValue(0);
    EXPECT_EQ(sh->value(), 0);

    // After the comparison the views align on the matched lines, also past lines one side
    // lacks.
    QTest::keyClick(w.get(), Qt::Key_F7);
    const DifferenceMap& a = w->Differences()->Alignment();
    ASSERT_FALSE(a.Empty());
    int shifted = 0;
    for (int line = 0; line <= sv->maximum(); ++line) {
        sv->setValue(line);
        const int64_t expected = std::min<int64_t>(a.Counterpart(0, line), tv->maximum());
        EXPECT_EQ(tv->value(), expected) << "source top line " << line;
        shifted += expected != std::min(line, tv->maximum()) ? 1 : 0;
    }
    EXPECT_GT(shifted, 0) << "lines only one side holds move the other view";
    // Where the Source passes line 10, the Target shows its five extra lines' end; past them
    // the lines differ by five.
    sv->setValue(20);
    EXPECT_EQ(tv->value(), 25);
    for (int line = 0; line <= tv->maximum(); ++line) {
        tv->setValue(line);
        EXPECT_EQ(sv->value(), std::min<int64_t>(a.Counterpart(1, line), sv->maximum()))
            << "target top line " << line;
    }

    // Off again from the context menu item: the views part.
    w->MenuItem("mnuPopUpScrollTogether")->trigger();
    EXPECT_FALSE(w->Differences()->ScrollTogether());
    EXPECT_FALSE(Child<QToolButton>(w.get(), "cmdScrollTogether")->isChecked());
    const int before = tv->value();
    sv->setValue(sv->value() == 0 ? 2 : 0);
    EXPECT_EQ(tv->value(), before);
}

// A block of 40 lines put into the Target: by default the comparison colours exactly that
// block, one difference to step to, and the lines after it stay white; with the classic
// look-ahead on, the lines after the block are coloured as well.
TEST_F(MainWindowLayoutTest, ALongInsertionIsOneColouredBlockUnlessClassicMatchingIsOn) {
    auto w = OpenWindow();
    std::string source, target;
    for (int i = 0; i < 80; ++i) {
        const std::string line =
            "    SET @v" + std::to_string(i % 7) + " = " + std::to_string(i) + ";\r\n";
        source += line;
        target += line;
        if (i == 20)
            for (int k = 0; k < 40; ++k)
                target += "    PRINT 'added " + std::to_string(k) + "';\r\n";
    }
    auto colouredLines = [&](int side) {
        QtTextView* view = w->TextView(side);
        int n = 0;
        for (int line = 0; line < view->blockCount(); ++line) {
            if (view->document()->findBlockByNumber(line).text().isEmpty())
                continue;
            const QColor c = view->BackgroundAt(view->LineStart(line));
            n += c.isValid() && c != QColor(255, 255, 255) ? 1 : 0;
        }
        return n;
    };
    w->TextView(0)->SetText(source);
    w->TextView(1)->SetText(target);
    QTest::keyClick(w.get(), Qt::Key_F7);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(w->Differences()->Count(), 1);
    EXPECT_EQ(colouredLines(0), 0);
    EXPECT_EQ(colouredLines(1), 40);
    EXPECT_EQ(w->TextView(1)->BackgroundAt(w->TextView(1)->LineStart(21)), QColor(122, 195, 217));

    Settings().ClassicLineMatching = true;
    QTest::keyClick(w.get(), Qt::Key_F7);
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[1], reports[0]); // the same verdict
    EXPECT_GT(colouredLines(0), 0);
    EXPECT_GT(colouredLines(1), 40);
}

TEST_F(MainWindowLayoutTest, ObjectListsHaveHeadingsColumnsThatGrowAndFullNamesInTooltips) {
    Serve({"mw_pair.sql"}, "MwSource");
    auto w = OpenWindow();
    QTest::keyClick(w.get(), Qt::Key_F5);
    Settle();
    QtListControl* list = w->ObjectList(0);
    ASSERT_GT(list->Count(), 0);
    EXPECT_TRUE(list->header()->isVisible());
    EXPECT_EQ(list->headerItem()->text(0).toStdString(), "Name");
    EXPECT_EQ(list->headerItem()->text(1).toStdString(), "Ref. Date");
    EXPECT_TRUE(list->isColumnHidden(2));
    const int name = list->columnWidth(0), date = list->columnWidth(1);
    EXPECT_EQ(name + date, list->viewport()->width());

    // The columns fill the list without a sideways scroll bar.
    EXPECT_EQ(list->horizontalScrollBar()->maximum(), 0);
    w->resize(1600, 1000);
    Settle();
    EXPECT_EQ(list->horizontalScrollBar()->maximum(), 0);
    EXPECT_GT(list->columnWidth(0), name * 3 / 2);
    EXPECT_GT(list->columnWidth(1), date * 3 / 2);
    EXPECT_EQ(list->columnWidth(0) + list->columnWidth(1), list->viewport()->width());

    // A name longer than its column shows whole in the tooltip; a short one shows the list's.
    const std::string longName(300, 'N');
    list->SetCellText(0, 0, longName);
    const QPoint at = list->visualItemRect(list->topLevelItem(0)).center();
    QHelpEvent help(QEvent::ToolTip, at, list->viewport()->mapToGlobal(at));
    QApplication::sendEvent(list->viewport(), &help);
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text().toStdString(), longName);
    QToolTip::hideText();
}

TEST_F(MainWindowLayoutTest, TheReportWindowOpensClearOfTheTargetText) {
    auto w = OpenWindow();
    struct Case {
        const char* name;
        QRect main; // empty: maximized
        bool beside;
    };
    for (const Case& c : {Case{"top left: room on the right", QRect(0, 0, 788, 561), true},
                          Case{"centred: no room beside", QRect(566, 260, 788, 561), false},
                          Case{"maximized", QRect(), false}}) {
        if (c.main.isEmpty()) {
            w->showMaximized();
        } else {
            w->showNormal();
            w->setGeometry(c.main);
        }
        Settle();
        frmReport report(w.get());
        report.show();
        Settle();
        const QRect placed = report.frameGeometry();
        const QWidget* target = w->TextView(1);
        const QRect targetOnScreen(target->mapToGlobal(QPoint(0, 0)), target->size());
        EXPECT_FALSE(placed.intersects(targetOnScreen)) << c.name;
        EXPECT_TRUE(w->screen()->availableGeometry().contains(placed)) << c.name;
        if (c.beside) {
            EXPECT_FALSE(placed.intersects(w->frameGeometry())) << c.name;
        }
        report.close();
    }
}

// Also run with QT_SCALE_FACTOR=2 (a ctest of its own): the layout is the same in
// device-independent pixels, drawn at the screen's pixel count, and nothing overlaps.
TEST_F(MainWindowLayoutTest, HighDpiLayoutScalesWithoutOverlaps) {
    auto w = OpenWindow();
    const QByteArray factor = qgetenv("QT_SCALE_FACTOR");
    const qreal ratio = factor.isEmpty() ? 1.0 : factor.toDouble();
    EXPECT_EQ(w->devicePixelRatio(), ratio);
    EXPECT_EQ(w->centralWidget()->size(), QSize(Px(11820), Px(7710)));
    EXPECT_EQ(w->TextView(0)->geometry(), QRect(Px(180), Px(3750), Px(5295), Px(2925)));
    // Text is drawn at the device's resolution, not enlarged from a half-size picture.
    const QPixmap shot = w->grab();
    EXPECT_EQ(shot.devicePixelRatio(), ratio);
    EXPECT_EQ(shot.size(), w->size() * ratio);
    ExpectNoOverlap(w.get(), "design size");
    for (QLabel* label :
         w->centralWidget()->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly))
        if (label->isVisible() && !label->text().isEmpty()) {
            EXPECT_GE(label->width(), label->sizeHint().width())
                << label->objectName().toStdString();
        }
    w->resize(1600, 1000);
    Settle();
    ExpectNoOverlap(w.get(), "1600 x 1000");
    w->showMaximized();
    Settle();
    ExpectNoOverlap(w.get(), "maximized");
}

} // namespace
} // namespace orv
