// Windows stay within the screen: the results of a whole-database comparison with a long name,
// a long line and a long reason keep their Exit button and both texts in sight, and the
// program's watch brings any window that is too large or out of place back within the usable
// area of its screen.
#include "db_compare_results_fixture.h"
#include "test_env.h"
#include "ui/main/frm_db_compare_results.h"
#include "ui/widgets/qt_text_view.h"
#include "ui/widgets/screen_bounds.h"

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdlib>

namespace orv {
namespace {

const std::vector<SelectedObject> kNoneSelected[2] = {};

// With ORV_SHOT_DIR set, the whole screen is kept as a picture there (run under Xvfb to see the
// windows as a person does).
void Shot(const char* name) {
    if (const char* dir = std::getenv("ORV_SHOT_DIR")) {
        QApplication::processEvents();
        QApplication::primaryScreen()->grabWindow(0).save(QString(dir) + "/" + name + ".png");
    }
}

QRect Available(const QWidget* w) {
    return w->screen()->availableGeometry();
}

// The widget's rectangle on the screen lies within the usable area, and it is shown.
void ExpectInSight(const QWidget* w, const char* what) {
    ASSERT_NE(w, nullptr) << what;
    EXPECT_TRUE(w->isVisible()) << what;
    const QRect onScreen(w->mapToGlobal(QPoint(0, 0)), w->size());
    EXPECT_TRUE(Available(w).contains(onScreen))
        << what << " at " << onScreen.x() << "," << onScreen.y() << " " << onScreen.width() << "x"
        << onScreen.height();
}

TEST(ScreenBounds, ResultsWithALongNameLineAndReasonStayOnTheScreen) {
    test::TestEnv env;
    KeepWindowsOnScreen(*qApp);
    auto r = test::SampleResults();
    const std::string longName(300, 'N');
    const std::string longLine = "SELECT " + std::string(4000, 'x') + " FROM dbo.T";
    r->Pairs.insert(r->Pairs.begin(),
                    test::MakePair(kTypeProcedure, PairStatus::Different, "dbo", longName,
                                   "CREATE PROCEDURE dbo.P AS\r\n" + longLine,
                                   "CREATE PROCEDURE dbo.P AS\r\nSELECT 1", 301, 401));
    r->Outcome = RunOutcome::Failed;
    r->Problem = "Server connection failed. Command failed: /" + std::string(600, 'p');
    frmDbCompareResults w(r, "Compare All Objects", kNoneSelected);
    w.show();
    QApplication::processEvents();
    w.SelectRow(0);
    ASSERT_EQ(w.ShownPair(0)->Source.Name, longName);
    QApplication::processEvents();

    EXPECT_TRUE(Available(&w).contains(w.frameGeometry()))
        << w.frameGeometry().width() << "x" << w.frameGeometry().height();
    ExpectInSight(w.findChild<QPushButton*>("cmdExit"), "Exit");
    ExpectInSight(w.TargetView(), "Target text");
    ExpectInSight(w.SourceView(), "Source text");
    // The long line scrolls in its view.
    EXPECT_TRUE(w.SourceView()->horizontalScrollBar()->maximum() > 0);
    Shot("results_long_line");
}

TEST(ScreenBounds, AWindowTooLargeOrOutOfPlaceIsBroughtBackWhenShown) {
    KeepWindowsOnScreen(*qApp);
    QDialog big;
    const QRect area = QApplication::primaryScreen()->availableGeometry();
    big.resize(area.width() + 900, area.height() + 700);
    big.move(area.right() - 50, area.bottom() - 50);
    big.show();
    QApplication::processEvents();
    EXPECT_TRUE(area.contains(big.frameGeometry()))
        << big.frameGeometry().x() << "," << big.frameGeometry().y() << " "
        << big.frameGeometry().width() << "x" << big.frameGeometry().height();

    // Growing later, past the screen, is held back as well.
    big.resize(area.width() * 2, area.height());
    QApplication::processEvents();
    EXPECT_TRUE(area.contains(big.frameGeometry()));
}

} // namespace
} // namespace orv
