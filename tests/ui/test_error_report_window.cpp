#include "ui/main/frm_error_report.h"
#include "util/memory_prompter.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace orv {
namespace {

ErrorReport Sample() {
    return {91, "Object variable not set", "1.0", 173, "frmMain", "LoadServer", "Line num: 7"};
}

template <class W> W* Child(QWidget& w, const char* name) {
    W* c = w.findChild<W*>(name);
    EXPECT_NE(c, nullptr) << name;
    return c;
}

TEST(ErrorReportWindow, ShowsTheFixedTextsAndTheError) {
    MemoryPrompter prompter;
    prompter.pointer = kPointerHourglass;
    frmErrorReport w(prompter);
    w.Load(Sample());
    EXPECT_EQ(w.windowTitle(), "An error occurred in Orvane");
    EXPECT_EQ(Child<QLabel>(w, "lblTitle")->text(), "Orvane Problem ");
    const QString intro = Child<QLabel>(w, "lblIntro")->text();
    EXPECT_TRUE(intro.startsWith("Regrettably, an problem has occurred in Orvane.\n\n"));
    EXPECT_TRUE(intro.contains("help.  Can Orvane submit a bug report on your behalf to "
                               "Brackwater Software?  And, can you"));
    EXPECT_TRUE(intro.endsWith("only the information you see below is included in the report."));
    EXPECT_EQ(Child<QPlainTextEdit>(w, "txtError")->toPlainText(),
              "1.0 173 Error 91 (frmMain:LoadServer)\n\nObject variable not set\n\nLine num: 7");
    EXPECT_EQ(Child<QPushButton>(w, "cmdSend")->text(), "Send Error Report");
    EXPECT_EQ(Child<QPushButton>(w, "cmdDoNotSend")->text(), "Do Not Send");
    EXPECT_EQ(Child<QLabel>(w, "lblRecommended")->text(), "(Highly recommended.)");
    // The hourglass gives way to the normal pointer while the report is shown.
    EXPECT_EQ(prompter.pointer, kPointerDefault);
}

TEST(ErrorReportWindow, SendOpensOneAddressWithTheUsersWordsAndRestoresThePointer) {
    MemoryPrompter prompter;
    prompter.pointer = kPointerHourglass;
    {
        frmErrorReport w(prompter);
        w.Load(Sample());
        w.show();
        Child<QPlainTextEdit>(w, "txtComments")->setPlainText("clicked & waited");
        Child<QLineEdit>(w, "txtEmail")->setText(" dba@example.com ");
        QTest::mouseClick(Child<QPushButton>(w, "cmdSend"), Qt::LeftButton);
        QTest::mouseClick(Child<QPushButton>(w, "cmdSend"), Qt::LeftButton);
        EXPECT_FALSE(w.isVisible());
    }
    ASSERT_EQ(prompter.openedUrls.size(), 1u);
    const std::string& url = prompter.openedUrls[0];
    EXPECT_NE(url.find("/error.php?ErrNum=91&ErrDesc=Object+variable+not+set&"), std::string::npos);
    EXPECT_NE(
        url.find("&Comments=clicked+%26+waited&Email=dba%40example.com&ExtraDesc=Line+num%3A+7"),
        std::string::npos);
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_EQ(prompter.pointer, kPointerHourglass);
}

TEST(ErrorReportWindow, ABrowserThatCannotStartIsReportedWithItsCode) {
    MemoryPrompter prompter;
    prompter.openUrlResult = 2;
    frmErrorReport w(prompter);
    w.Load(Sample());
    w.Send();
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, "Error on launching URL: 2");
    EXPECT_EQ(prompter.messages[0].icon, MsgIcon::None);
}

} // namespace
} // namespace orv
