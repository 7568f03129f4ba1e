// The help window of the program: a topic's page shown without any browser, the links between
// the pages followed by a click, Back and Forward, one window for every request, and a window
// that can be used while a modal dialog is open.
#include "core/help_topic.h"
#include "core/paths.h"
#include "test_env.h"
#include "ui/widgets/frm_help.h"
#include "ui/widgets/qt_prompter.h"
#include "util/prompter.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>
#include <cstdlib>
#include <gtest/gtest.h>

namespace orv {
namespace {

// With ORV_SHOT_DIR set, the whole screen is kept as a picture there (run under Xvfb to see the
// windows as a person does).
void Shot(const char* name) {
    if (const char* dir = std::getenv("ORV_SHOT_DIR")) {
        QApplication::processEvents();
        QApplication::primaryScreen()->grabWindow(0).save(QString(dir) + "/" + name + ".png");
    }
}

std::string PageName(const frmHelp& h) {
    return h.Page().fileName().toStdString();
}

// Clicks the first link to `href` in the shown page, as a person does.
bool ClickLink(frmHelp& h, const QString& href) {
    QTextBrowser* b = h.Browser();
    for (QTextBlock block = b->document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (!f.isValid() || f.charFormat().anchorHref() != href)
                continue;
            QTextCursor c(b->document());
            c.setPosition(f.position() + 1);
            b->setTextCursor(c);
            b->ensureCursorVisible();
            QApplication::processEvents();
            const QPoint at = b->cursorRect(c).center();
            QTest::mouseClick(b->viewport(), Qt::LeftButton, {}, at);
            QApplication::processEvents();
            return true;
        }
    }
    return false;
}

// Every test starts with no help window and the source tree's help pages.
class HelpWindow : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = Paths().HelpFolder;
        Paths().HelpFolder = std::string(ORV_HELP_DIR) + "/";
    }
    void TearDown() override {
        delete frmHelp::Current();
        Paths().HelpFolder = saved_;
    }
    std::string saved_;
};

TEST_F(HelpWindow, ATopicOpensItsPageAndTheLinksBackAndForwardWork) {
    // No browser anywhere on the path: the page must still show.
    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", "/nonexistent");
    QtPrompter prompter;
    const bool shown = prompter.OpenHelpTopic(10);
    qputenv("PATH", savedPath);
    ASSERT_TRUE(shown);
    frmHelp* h = frmHelp::Current();
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(h->isVisible());
    EXPECT_EQ(PageName(*h), "10.html");
    EXPECT_EQ(h->windowTitle().toStdString(), "The main window - Orvane Help");
    EXPECT_NE(h->Browser()->toPlainText().indexOf("Getting started"), -1);
    EXPECT_FALSE(h->BackButton()->isEnabled());
    EXPECT_FALSE(h->ForwardButton()->isEnabled());

    Shot("help_window_main");
    ASSERT_TRUE(ClickLink(*h, "4.html"));
    EXPECT_EQ(PageName(*h), "4.html");
    EXPECT_EQ(h->windowTitle().toStdString().rfind("Whole-database comparison", 0), 0u);
    ASSERT_TRUE(h->BackButton()->isEnabled());
    QTest::mouseClick(h->BackButton(), Qt::LeftButton);
    EXPECT_EQ(PageName(*h), "10.html");
    ASSERT_TRUE(h->ForwardButton()->isEnabled());
    QTest::mouseClick(h->ForwardButton(), Qt::LeftButton);
    EXPECT_EQ(PageName(*h), "4.html");
    QTest::mouseClick(h->IndexButton(), Qt::LeftButton);
    EXPECT_EQ(PageName(*h), "550.html");

    // Another topic goes to the same window.
    ASSERT_TRUE(prompter.OpenHelpTopic(530));
    EXPECT_EQ(frmHelp::Current(), h);
    EXPECT_EQ(PageName(*h), "530.html");
    EXPECT_EQ(QApplication::topLevelWidgets().count(h), 1);
    QTest::keyClick(h, Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_EQ(frmHelp::Current(), nullptr) << "closing the window ends it";
}

TEST_F(HelpWindow, AMissingPageShowsNothingAndIsToldWithItsPath) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Paths().HelpFolder = dir.path().toStdString() + "/";
    QtPrompter prompter;
    EXPECT_FALSE(prompter.OpenHelpTopic(10));
    EXPECT_EQ(frmHelp::Current(), nullptr);

    test::TestEnv env; // the message goes to the memory prompter
    env.prompter.helpOpens = false;
    EXPECT_FALSE(ShowHelpTopic(60));
    ASSERT_EQ(env.prompter.messages.size(), 1u);
    EXPECT_EQ(env.prompter.messages[0].title, "Cannot Display Help");
    EXPECT_EQ(env.prompter.messages[0].text,
              "Cannot display help - the help page is missing.\r\n\r\nThe page should be the "
              "file " +
                  Paths().HelpFolder + "60.html.");
}

TEST_F(HelpWindow, HelpAskedForInAModalDialogCanBeUsed) {
    QtPrompter prompter;
    QDialog dialog;
    dialog.setModal(true);
    std::string pageAfterClick;
    bool opened = false;
    QTimer::singleShot(0, &dialog, [&] {
        opened = prompter.OpenHelpTopic(60);
        if (frmHelp* h = frmHelp::Current()) {
            QApplication::processEvents();
            // A window the dialog blocks would not take the click.
            QTest::mouseClick(h->IndexButton(), Qt::LeftButton);
            pageAfterClick = PageName(*h);
        }
        dialog.reject();
    });
    dialog.exec();
    EXPECT_TRUE(opened);
    EXPECT_EQ(pageAfterClick, "550.html");
}

} // namespace
} // namespace orv
