// Print and Help where the machine lacks what they need: with no printer the report window
// says so and offers a PDF file instead; with no browser for the help pages every Help says
// where the page is.
#include "compare/compare_sel_procs.h"
#include "core/error_report.h"
#include "core/help_topic.h"
#include "core/paths.h"
#include "test_env.h"
#include "ui/main/frm_main.h"
#include "ui/main/frm_report.h"
#include "ui/widgets/qt_text_view.h"

#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>

namespace orv {
namespace {

using test::ReadTextFile;
using test::TestEnv;

constexpr const char* kNoPrinter = "Cannot print - there is no printer.\r\n\r\nDo you want to "
                                   "save the report as a PDF file instead?";

class NoPrinter : public ::testing::Test {
protected:
    void SetUp() override {
        gstrReportText = "Source: a.b.c\r\nTarget: d.e.f\r\n\r\nThe selected views are different.";
        env.prompter.hasPrinter = false;
        SetErrorReportHandler([this](const ErrorReport& r) { errors.push_back(r); });
        window = std::make_unique<frmReport>();
        window->show();
    }
    void TearDown() override {
        SetErrorReportHandler(nullptr);
        gstrReportText.clear();
    }
    void ClickPrint() {
        QTest::mouseClick(window->findChild<QPushButton*>("cmdPrint"), Qt::LeftButton);
    }

    TestEnv env;
    std::vector<ErrorReport> errors;
    std::unique_ptr<frmReport> window;
};

TEST_F(NoPrinter, PrintSaysSoAndSavesAPdfFileWhenAsked) {
    const std::string pdf = env.PathOf("verdict.pdf");
    env.prompter.fileAnswers.push_back(pdf);
    ClickPrint();
    ASSERT_EQ(env.prompter.messages.size(), 1u);
    const ShownMessage& m = env.prompter.messages[0];
    EXPECT_EQ(m.title, "Cannot Print");
    EXPECT_EQ(m.text, kNoPrinter);
    EXPECT_EQ(m.icon, MsgIcon::Question);
    EXPECT_EQ(m.buttons, MsgButtons::YesNo);
    ASSERT_EQ(env.prompter.fileRequests.size(), 1u);
    EXPECT_EQ(env.prompter.fileRequests[0].proposedPath, "Report.pdf");
    EXPECT_EQ(env.prompter.fileRequests[0].filter, "PDF files (*.pdf)|*.pdf");
    EXPECT_EQ(ReadTextFile(pdf).substr(0, 5), "%PDF-");
    EXPECT_TRUE(errors.empty());
    EXPECT_FALSE(window->Busy());
}

TEST_F(NoPrinter, DecliningOrCancellingWritesNothing) {
    env.prompter.answers.push_back(MsgAnswer::No);
    ClickPrint();
    EXPECT_EQ(env.prompter.messages.size(), 1u);
    EXPECT_TRUE(env.prompter.fileRequests.empty());
    // Yes, then the file dialog is cancelled: nothing more is said.
    ClickPrint();
    EXPECT_EQ(env.prompter.messages.size(), 2u);
    EXPECT_EQ(env.prompter.fileRequests.size(), 1u);
    EXPECT_TRUE(errors.empty());
}

TEST_F(NoPrinter, AFileThatCannotBeWrittenIsReportedNotTakenForSuccess) {
    const std::string pdf = env.PathOf("no_such_folder/verdict.pdf");
    env.prompter.fileAnswers.push_back(pdf);
    ClickPrint();
    ASSERT_EQ(env.prompter.messages.size(), 2u);
    EXPECT_EQ(env.prompter.messages[1].icon, MsgIcon::Error);
    EXPECT_EQ(env.prompter.messages[1].title, "Cannot Print");
    EXPECT_EQ(env.prompter.messages[1].text,
              "Cannot save the report - the file " + pdf + " could not be written.");
    EXPECT_FALSE(std::filesystem::exists(pdf));
}

TEST_F(NoPrinter, AnExistingFileIsReplacedByTheReport) {
    const std::string pdf = env.PathOf("old.pdf");
    ASSERT_TRUE(test::WriteTextFile(pdf, "an older file"));
    env.prompter.fileAnswers.push_back(pdf);
    ClickPrint();
    EXPECT_EQ(env.prompter.messages.size(), 1u);
    EXPECT_EQ(ReadTextFile(pdf).substr(0, 5), "%PDF-");
}

// When a help page cannot be shown (it is missing), each window's Help tells the user where
// the page should be.
TEST(MissingHelpPage, EveryHelpSaysWhereThePageShouldBe) {
    TestEnv env;
    env.prompter.helpOpens = false;
    const auto expected = [](int topic) {
        return "Cannot display help - the help page is missing.\r\n\r\nThe page should be the "
               "file " +
               Paths().HelpFolder + std::to_string(topic) + ".html.";
    };
    {
        frmMain main;
        main.findChild<QPushButton*>("cmdHelp")->click();
    }
    {
        gstrReportText = "x";
        frmReport report;
        report.HelpContextID = 3;
        report.show();
        QTest::keyClick(&report, Qt::Key_F1);
        gstrReportText.clear();
    }
    ASSERT_EQ(env.prompter.messages.size(), 2u);
    EXPECT_EQ(env.prompter.helpTopics, (std::vector<int>{10, 3}));
    for (size_t k = 0; k < 2; ++k) {
        EXPECT_EQ(env.prompter.messages[k].icon, MsgIcon::Warning);
        EXPECT_EQ(env.prompter.messages[k].title, "Cannot Display Help");
        EXPECT_EQ(env.prompter.messages[k].text, expected(env.prompter.helpTopics[k]));
    }
    // A page that is shown: nothing to say.
    env.prompter.helpOpens = true;
    EXPECT_TRUE(ShowHelpTopic(230));
    EXPECT_EQ(env.prompter.messages.size(), 2u);
}

} // namespace
} // namespace orv
