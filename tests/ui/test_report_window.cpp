// The report window on the offscreen platform: what it shows, and what copy, export, print,
// resize and the keys really do.
#include "compare/compare_sel_procs.h"
#include "core/error_report.h"
#include "core/paths.h"
#include "test_env.h"
#include "ui/main/frm_report.h"
#include "ui/widgets/qt_text_view.h"

#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>

namespace orv {
namespace {

using test::ReadTextFile;
using test::TestEnv;

template <class W> W* Child(QWidget& w, const char* name) {
    W* c = w.findChild<W*>(name);
    EXPECT_NE(c, nullptr) << name;
    return c;
}

// Fills the global report text for one test and empties it afterwards, as the callers do.
struct ReportText {
    explicit ReportText(const std::string& text) { gstrReportText = text; }
    ~ReportText() { gstrReportText.clear(); }
};

const char* const kVerdict = "Source: srvA.Source.GetOrders\r\n"
                             "Target: srvB.Target.GetOrders\r\n"
                             "\r\n"
                             "The selected procedures are different.";

TEST(ReportWindow, ShowsTheHandedTextWithItsCaptionButtonsAndTips) {
    TestEnv env;
    ReportText text(kVerdict);
    frmReport w;
    w.mstrFormCaption = "Database Information";
    w.show();
    EXPECT_EQ(w.windowTitle(), "Database Information");
    auto* view = Child<QtTextView>(w, "txtReport");
    EXPECT_EQ(view->Text(), kVerdict);
    EXPECT_TRUE(view->isReadOnly());

    struct Expected {
        const char* name;
        const char* text;
        const char* tip;
    };
    for (const Expected& e :
         {Expected{"cmdCopyClip", "Copy To &Clipboard", "Copy report to clipboard"},
          Expected{"cmdCopyToFile", "Export To &File", "Copy report to file"},
          Expected{"cmdPrint", "&Print", "Print report on the default printer"},
          Expected{"cmdSave", "&Save Comparison",
                   "Save comparison's process parameters so it can be re-run later (Alt + S)"},
          Expected{"cmdExit", "E&xit", "Close report (Esc)"}}) {
        auto* b = Child<QPushButton>(w, e.name);
        EXPECT_EQ(b->text(), e.text);
        EXPECT_EQ(b->toolTip(), e.tip);
        // Captions must fit their buttons.
        EXPECT_GE(b->width(), b->fontMetrics().horizontalAdvance(b->text().remove('&')) + 8)
            << e.name;
        EXPECT_TRUE(w.rect().contains(b->geometry())) << e.name;
    }
}

TEST(ReportWindow, ComparisonShowUpKeepsTheDescriptionAndGenericHidesSave) {
    TestEnv env;
    ReportText text(kVerdict);
    {
        frmReport w;
        bool saveVisible = false;
        QTimer::singleShot(0, &w, [&] {
            saveVisible = Child<QPushButton>(w, "cmdSave")->isVisible();
            w.close();
        });
        w.ShowUp("Comparison Report", "srvA", "srvB", "Source", "Target", "GetOrders", "GetOrders2",
                 1, 35, 0, "0100000", -1, false, "", 0, 2, {"left"}, {"x", "y"}, false, 1234, -7);
        EXPECT_TRUE(saveVisible);
        EXPECT_EQ(w.windowTitle(), "Comparison Report");
        EXPECT_EQ(w.mstrFormCaption, "Comparison Report");
        const ComparisonDescription& d = w.Description();
        EXPECT_EQ(d.ServerName[1], "srvB");
        EXPECT_EQ(d.DbName[0], "Source");
        EXPECT_EQ(d.TableName[1], "GetOrders2");
        EXPECT_EQ(d.CompSubType, 35);
        EXPECT_EQ(d.EncObjTypes, "0100000");
        EXPECT_EQ(d.TableId[0], "1234");
        EXPECT_EQ(d.TableId[1], "-7");
        // Checked objects travel only with a positive count.
        EXPECT_TRUE(d.CheckedObjects[0].empty());
        EXPECT_EQ(d.CheckedObjects[1], (std::vector<std::string>{"x", "y"}));
    }
    {
        frmReport w;
        bool saveVisible = true;
        QString shown;
        QTimer::singleShot(0, &w, [&] {
            saveVisible = Child<QPushButton>(w, "cmdSave")->isVisible();
            shown = QString::fromStdString(Child<QtTextView>(w, "txtReport")->Text());
            QTest::keyClick(&w, Qt::Key_Escape);
        });
        w.ShowUp_Generic("SQL CREATE Statement");
        EXPECT_FALSE(saveVisible);
        EXPECT_EQ(shown.toStdString(), kVerdict);
        EXPECT_EQ(w.windowTitle(), "SQL CREATE Statement");
        EXPECT_FALSE(w.isVisible());
    }
}

TEST(ReportWindow, TheComparisonHandOverShowsTheVerdictAndEmptiesTheTextAfterwards) {
    TestEnv env;
    CompareResult result;
    result.Compared = true;
    result.Verdict = kVerdict;
    result.Report.ServerName[0] = "srvA";
    std::string seenTitle, seenText;
    ShowComparisonReport(result, [&](const ComparisonReportRequest& request) {
        QTimer::singleShot(0, [&] {
            auto* w = qobject_cast<frmReport*>(QApplication::activeModalWidget());
            ASSERT_NE(w, nullptr);
            seenTitle = w->windowTitle().toStdString();
            seenText = Child<QtTextView>(*w, "txtReport")->Text();
            // F1 opens the comparison report's own help page.
            QTest::keyClick(w, Qt::Key_F1);
            w->close();
        });
        ShowComparisonReportWindow(request);
    });
    EXPECT_EQ(seenTitle, "Comparison Report");
    EXPECT_EQ(seenText, kVerdict);
    EXPECT_EQ(env.prompter.helpTopics, std::vector<int>{3});
    EXPECT_EQ(gstrReportText, "");
}

TEST(ReportWindow, CopyPutsEveryLineWithALineBreakOnTheClipboard) {
    TestEnv env;
    {
        ReportText text("first\r\n  second line");
        frmReport w;
        w.show();
        QTest::mouseClick(Child<QPushButton>(w, "cmdCopyClip"), Qt::LeftButton);
        EXPECT_EQ(env.prompter.clipboard, "first\r\n  second line\r\n");
    }
    {
        // An empty report empties the clipboard rather than leaving something stale on it.
        ReportText text("");
        env.prompter.clipboard = "stale";
        frmReport w;
        w.show();
        w.CopyToClipboard();
        EXPECT_EQ(env.prompter.clipboard, "");
    }
}

TEST(ReportWindow, ExportWritesTheLinesToTheChosenFileProposingReportTxt) {
    TestEnv env;
    ReportText text(kVerdict);
    frmReport w;
    w.show();
    const std::string path = env.PathOf("verdict.txt");
    env.prompter.fileAnswers.push_back(path);
    QTest::mouseClick(Child<QPushButton>(w, "cmdCopyToFile"), Qt::LeftButton);
    ASSERT_EQ(env.prompter.fileRequests.size(), 1u);
    EXPECT_TRUE(env.prompter.fileRequests[0].save);
    // A bare name: the dialog puts it in the documents folder or the folder last used.
    EXPECT_EQ(env.prompter.fileRequests[0].proposedPath, "Report.txt");
    EXPECT_EQ(ReadTextFile(path), std::string(kVerdict) + "\r\n");
    EXPECT_TRUE(env.prompter.messages.empty());

    // Cancelled: nothing written, nothing said.
    std::filesystem::remove(path);
    w.ExportToFile();
    EXPECT_EQ(env.prompter.fileRequests.size(), 2u);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(env.prompter.messages.empty());
    EXPECT_FALSE(w.Busy());
}

TEST(ReportWindow, AnEmptyReportExportsNothingAndAsksForNoFile) {
    TestEnv env;
    ReportText text("");
    frmReport w;
    w.show();
    w.ExportToFile();
    EXPECT_TRUE(env.prompter.fileRequests.empty());
    EXPECT_TRUE(env.prompter.messages.empty());
}

// A save dialog that lets the user press Export again while it is open.
class ReenteringPrompter : public MemoryPrompter {
public:
    frmReport* window = nullptr;
    int dialogs = 0;
    bool busySeen = false;
    std::optional<std::string> FileDialog(const FileDialogRequest& request) override {
        ++dialogs;
        busySeen = window->Busy();
        window->ExportToFile();
        window->PrintNow();
        return MemoryPrompter::FileDialog(request);
    }
};

TEST(ReportWindow, ASecondExportOrPrintWhileOneRunsIsIgnored) {
    TestEnv env;
    ReenteringPrompter prompter;
    SetCurrentPrompter(&prompter);
    ReportText text(kVerdict);
    std::vector<ErrorReport> reports;
    SetErrorReportHandler([&](const ErrorReport& r) { reports.push_back(r); });
    frmReport w;
    prompter.window = &w;
    w.show();
    const std::string pdf = env.PathOf("must_not_exist.pdf");
    Child<QtTextView>(w, "txtReport")->SetPrintOutputFile(QString::fromStdString(pdf));
    w.ExportToFile();
    EXPECT_EQ(prompter.dialogs, 1);
    EXPECT_TRUE(prompter.busySeen);
    EXPECT_FALSE(std::filesystem::exists(pdf));
    EXPECT_FALSE(w.Busy());
    SetErrorReportHandler(nullptr);
    SetCurrentPrompter(&env.prompter);
    EXPECT_TRUE(reports.empty());
}

TEST(ReportWindow, PrintSendsTheWholeReportToThePrinter) {
    TestEnv env;
    std::string longText;
    for (int i = 1; i <= 200; ++i)
        longText += "line " + std::to_string(i) + "\r\n";
    ReportText text(longText);
    std::vector<ErrorReport> reports;
    SetErrorReportHandler([&](const ErrorReport& r) { reports.push_back(r); });
    frmReport w;
    w.show();
    auto* view = Child<QtTextView>(w, "txtReport");
    const std::string pdf = env.PathOf("report.pdf");
    view->SetPrintOutputFile(QString::fromStdString(pdf));
    ASSERT_GT(view->PageCount(), 1);
    QTest::mouseClick(Child<QPushButton>(w, "cmdPrint"), Qt::LeftButton);
    SetErrorReportHandler(nullptr);
    EXPECT_TRUE(reports.empty());
    const std::string bytes = ReadTextFile(pdf);
    ASSERT_GT(bytes.size(), 100u);
    EXPECT_EQ(bytes.substr(0, 5), "%PDF-");
    // Every page of the report is printed, not just the first.
    size_t pages = 0;
    for (size_t at = bytes.find("/Type /Page\n"); at != std::string::npos;
         at = bytes.find("/Type /Page\n", at + 1))
        ++pages;
    if (pages == 0)
        for (size_t at = bytes.find("/Type /Page"); at != std::string::npos;
             at = bytes.find("/Type /Page", at + 1))
            if (bytes.compare(at, 12, "/Type /Pages") != 0)
                ++pages;
    EXPECT_EQ(static_cast<int>(pages), view->PageCount());
}

TEST(ReportWindow, WideningMovesTheButtonsAndWidensTheTextButNothingShrinksBelowTheDesign) {
    TestEnv env;
    ReportText text(kVerdict);
    frmReport w;
    w.show();
    const QSize base = w.BaselineSize();
    auto* view = Child<QtTextView>(w, "txtReport");
    auto* exit = Child<QPushButton>(w, "cmdExit");
    auto* copy = Child<QPushButton>(w, "cmdCopyClip");
    const QRect viewAt = view->geometry(), exitAt = exit->geometry(), copyAt = copy->geometry();

    // 600 twips wider, 300 twips higher.
    w.ApplyResize(base + QSize(40, 20), Qt::WindowNoState);
    EXPECT_EQ(view->size(), viewAt.size() + QSize(40, 20));
    EXPECT_EQ(exit->pos(), exitAt.topLeft() + QPoint(40, 20));
    EXPECT_EQ(copy->pos(), copyAt.topLeft() + QPoint(40, 20));

    // Narrower than the design: the width part stays as it was, the height still follows.
    w.ApplyResize(base + QSize(-100, 50), Qt::WindowNoState);
    EXPECT_EQ(view->width(), viewAt.width() + 40);
    EXPECT_EQ(view->height(), viewAt.height() + 50);
    EXPECT_EQ(copy->pos(), copyAt.topLeft() + QPoint(40, 50));

    // Minimized: nothing moves.
    w.ApplyResize(QSize(10, 10), Qt::WindowMinimized);
    EXPECT_EQ(copy->pos(), copyAt.topLeft() + QPoint(40, 50));
}

TEST(ReportWindow, RestoringFromMaximizedBelowTheDesignSnapsBackToTheDesign) {
    TestEnv env;
    ReportText text(kVerdict);
    frmReport w;
    w.show();
    const QSize base = w.BaselineSize();
    auto* view = Child<QtTextView>(w, "txtReport");
    auto* print = Child<QPushButton>(w, "cmdPrint");
    const QRect viewAt = view->geometry(), printAt = print->geometry();

    w.ApplyResize(base + QSize(300, 200), Qt::WindowMaximized);
    EXPECT_EQ(print->pos(), printAt.topLeft() + QPoint(300, 200));
    w.ApplyResize(base - QSize(120, 90), Qt::WindowNoState);
    EXPECT_EQ(w.size(), base);
    EXPECT_EQ(view->geometry(), viewAt);
    EXPECT_EQ(print->geometry(), printAt);

    // Without the maximized step a small normal window keeps its controls where they are.
    w.ApplyResize(base + QSize(60, 0), Qt::WindowNoState);
    w.ApplyResize(base - QSize(120, 90), Qt::WindowNoState);
    EXPECT_EQ(print->pos(), printAt.topLeft() + QPoint(60, 0));
}

TEST(ReportWindow, EscClosesAndF1OpensTheTopicOnlyWhenTheWindowHasOne) {
    TestEnv env;
    ReportText text(kVerdict);
    {
        frmReport w;
        w.show();
        QTest::keyClick(&w, Qt::Key_F1);
        EXPECT_TRUE(env.prompter.helpTopics.empty());
        QTest::keyClick(&w, Qt::Key_Escape);
        EXPECT_FALSE(w.isVisible());
        EXPECT_EQ(w.result(), QDialog::Accepted);
    }
    {
        frmReport w;
        w.HelpContextID = 8;
        w.show();
        // The keys work while the reader is in the text, where they usually are.
        auto* view = Child<QtTextView>(w, "txtReport");
        QTest::keyClick(view, Qt::Key_F1);
        EXPECT_EQ(env.prompter.helpTopics, std::vector<int>{8});
        QTest::keyClick(view, Qt::Key_Escape);
        EXPECT_FALSE(w.isVisible());
    }
}

// Every topic the windows open has a page that stands on its own, with no outside address.
TEST(HelpPages, EachTopicHasASelfContainedPage) {
    for (int topic : {3, 8, 10, 60, 230}) {
        const std::string page =
            ReadTextFile(std::string(ORV_HELP_DIR) + "/" + std::to_string(topic) + ".html");
        ASSERT_FALSE(page.empty()) << topic;
        EXPECT_NE(page.find("<title>"), std::string::npos) << topic;
        EXPECT_NE(page.find("<h1>"), std::string::npos) << topic;
        EXPECT_EQ(page.find("http://"), std::string::npos) << topic;
        EXPECT_EQ(page.find("https://"), std::string::npos) << topic;
        EXPECT_EQ(page.find("src="), std::string::npos) << topic;
        // Links between pages name pages that exist.
        for (size_t at = page.find("href=\""); at != std::string::npos;
             at = page.find("href=\"", at + 1)) {
            const size_t end = page.find('"', at + 6);
            const std::string target = page.substr(at + 6, end - at - 6);
            EXPECT_TRUE(std::filesystem::exists(std::string(ORV_HELP_DIR) + "/" + target))
                << topic << " -> " << target;
        }
    }
}

} // namespace
} // namespace orv
