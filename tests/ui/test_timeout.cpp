// The Set Timeout dialog: its key filter, what OK stores, and the refusal of values that are
// not whole numbers from 0 up.
#include "core/registry.h"
#include "core/settings.h"
#include "test_env.h"
#include "ui/settings/frm_timeout.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace orv {
namespace {

using test::TestEnv;

std::optional<int32_t> StoredTimeout() {
    return QueryRegDword(HKEY_CURRENT_USER, kKeyMav, "Timeout");
}

// Runs the dialog modally; `act` runs once it is up.
void RunDialog(frmTimeout& d, const std::function<void()>& act) {
    QTimer::singleShot(0, &d, act);
    d.exec();
}

TEST(TimeoutDialog, ShowsTheCurrentValueSelectedWithItsExplanation) {
    TestEnv env;
    Settings().Timeout = 45;
    frmTimeout d;
    EXPECT_EQ(d.windowTitle(), "Set Timeout");
    EXPECT_EQ(d.TimeoutBox()->text(), "45");
    EXPECT_EQ(d.TimeoutBox()->selectedText(), "45");
    EXPECT_NE(d.findChild<QLabel*>("lblTimeout"), nullptr);
    EXPECT_EQ(d.findChild<QLabel*>("lblTimeout")->text(), "Timeout (in seconds)");
    EXPECT_EQ(d.InfoText(),
              "Timeout indicates, in seconds, how long to wait while executing a command before "
              "terminating the attempt. Default is 30.\r\n\r\nSometimes due to delays from "
              "network traffic or heavy server use, server is not as responsive as usual and "
              "increasing timeout can prevent application from cancelling the attempt.\r\n\r\n"
              "If you set the timeout to zero, MAV will wait indefinitely until the execution is "
              "complete.");
    bool focused = false;
    RunDialog(d, [&] {
        QApplication::processEvents();
        focused = QApplication::focusWidget() == d.TimeoutBox();
        d.reject();
    });
    EXPECT_TRUE(focused);
}

TEST(TimeoutDialog, TypedDigitsAreStoredByEnterAndZeroMeansNoLimit) {
    TestEnv env;
    frmTimeout d;
    RunDialog(d, [&] {
        QLineEdit* box = d.TimeoutBox();
        box->clear();
        QTest::keyClicks(box, "1x2-.3 ");
        EXPECT_EQ(box->text(), "123");
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClicks(box, "0");
        QTest::keyClick(box, Qt::Key_Return);
    });
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(StoredTimeout(), 0);
    EXPECT_EQ(Settings().Timeout, 0);
    EXPECT_TRUE(env.prompter.messages.empty());
}

TEST(TimeoutDialog, EmptyPastedOrOversizedValuesLeaveTheSettingAndStillClose) {
    TestEnv env;
    Settings().Timeout = 30;
    for (const char* text : {"", "   ", "12a", "-5", "2147483648", "99999999999"}) {
        env.prompter.messages.clear();
        frmTimeout d;
        RunDialog(d, [&] {
            d.TimeoutBox()->setText(text); // as a paste would put it, past the key filter
            QTest::mouseClick(d.findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
        });
        EXPECT_FALSE(d.isVisible()) << text;
        ASSERT_EQ(env.prompter.messages.size(), 1u) << text;
        EXPECT_EQ(env.prompter.messages[0].icon, MsgIcon::Warning);
        EXPECT_EQ(env.prompter.messages[0].title, "Changes Not Saved");
        EXPECT_EQ(env.prompter.messages[0].text,
                  "Entered value is not valid. Timeout is not changed.");
        EXPECT_EQ(Settings().Timeout, 30) << text;
        EXPECT_FALSE(StoredTimeout().has_value()) << text;
    }
}

TEST(TimeoutDialog, EscapeAndCancelStoreNothing) {
    TestEnv env;
    Settings().Timeout = 30;
    frmTimeout d;
    RunDialog(d, [&] {
        d.TimeoutBox()->setText("99");
        QTest::keyClick(d.TimeoutBox(), Qt::Key_Escape);
    });
    EXPECT_FALSE(d.isVisible());
    frmTimeout again;
    RunDialog(again, [&] {
        again.TimeoutBox()->setText("77");
        QTest::mouseClick(again.findChild<QPushButton*>("cmdCancel"), Qt::LeftButton);
    });
    EXPECT_EQ(Settings().Timeout, 30);
    EXPECT_FALSE(StoredTimeout().has_value());
    EXPECT_TRUE(env.prompter.messages.empty());
}

TEST(TimeoutValidation, AcceptsNumbersFromZeroToTheLargest32BitValue) {
    int32_t v = -1;
    EXPECT_TRUE(ValidateTimeout(" 0 ", v));
    EXPECT_EQ(v, 0);
    EXPECT_TRUE(ValidateTimeout("2147483647", v));
    EXPECT_EQ(v, 2147483647);
    EXPECT_TRUE(ValidateTimeout("600", v));
    EXPECT_EQ(v, 600);
    v = 5;
    EXPECT_FALSE(ValidateTimeout("-1", v));
    EXPECT_FALSE(ValidateTimeout("2147483648", v));
    EXPECT_FALSE(ValidateTimeout("ten", v));
    EXPECT_FALSE(ValidateTimeout("", v));
    EXPECT_EQ(v, 5); // untouched by a refusal
}

} // namespace
} // namespace orv
