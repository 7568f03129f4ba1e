// The Attach Database dialog: its checks, the single-file option, the file choosers and the
// attach itself against the simulator, which opens a copy of one of its own database files.
#include "core/paths.h"
#include "servers/exec_ado_cmd.h"
#include "servers/server_list.h"
#include "sqlsim_process.h"
#include "test_env.h"
#include "ui/tools/frm_attach_db.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>

namespace orv {
namespace {

using test::SqlsimOptions;
using test::SqlsimProcess;
using test::TestEnv;

ServerEntry EntryFor(const SqlsimProcess& sim) {
    ServerEntry e;
    e.Name = sim.ServerName();
    e.SQLAuth = true;
    e.LoginName = sim.Options().login;
    e.Pwd = sim.Options().password;
    return e;
}

std::string FirstValue(const ServerEntry& server, const std::string& database,
                       const std::string& sql) {
    RecordsetPtr rs;
    int32_t n = 0;
    std::string d;
    if (ExecAdoCmd(server, kAdCmdText, sql, rs, database, n, d) == -1 || !rs || rs->IsEOF())
        return "<failed: " + d + ">";
    return rs->Value(0).Text();
}

class AttachDialog : public ::testing::Test {
protected:
    void SetUp() override {
        InitFilePaths(env.Dir(), env.Dir(), env.Dir());
        // A database file made by the simulator itself, copied after it has shut down.
        {
            SqlsimOptions o;
            o.scriptFiles = {test::FixtureFile("dbi_inventory.sql")};
            const std::string dataDir = env.PathOf("maker");
            std::filesystem::create_directories(dataDir);
            o.extraArgs = {"--data-dir", dataDir};
            SqlsimProcess maker(o);
            std::string error;
            ASSERT_TRUE(maker.Start(error)) << error;
            const std::string path = FirstValue(EntryFor(maker), "master",
                                                "SELECT filename FROM sysdatabases WHERE name = "
                                                "'DbiShop'");
            maker.Stop();
            ASSERT_TRUE(std::filesystem::exists(path)) << path;
            dataFile = env.PathOf("shop.mdf");
            std::filesystem::copy_file(path, dataFile);
            // Whatever the journal still holds belongs to the copy too.
            if (std::filesystem::exists(path + "-wal"))
                std::filesystem::copy_file(path + "-wal", dataFile + "-wal");
        }
        logFile = env.PathOf("shop_log.ldf");
        ASSERT_TRUE(test::WriteTextFile(logFile, ""));

        SqlsimOptions o;
        o.scriptTexts = {"CREATE DATABASE DbiHost\nGO\n"};
        sim = std::make_unique<SqlsimProcess>(o);
        std::string error;
        ASSERT_TRUE(sim->Start(error)) << error;
        PanelServers()[0] = EntryFor(*sim);
    }
    void TearDown() override { ResetPanelServers(); }

    // Runs the dialog; `act` runs once it is shown. Returns what ShowUp returned.
    bool Run(frmAttachDb& d, const std::function<void()>& act) {
        QTimer::singleShot(0, &d, act);
        return d.ShowUp(0);
    }

    void Fill(frmAttachDb& d, const std::string& name, const std::string& data,
              const std::string& log) {
        d.PathBox(2)->setText(QString::fromStdString(name));
        d.PathBox(0)->setText(QString::fromStdString(data));
        d.PathBox(1)->setText(QString::fromStdString(log));
    }

    // On the box itself: the check box is wider than its caption.
    static void ClickOption(frmAttachDb& d) {
        QCheckBox* box = d.SingleFileOption();
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    }

    std::vector<std::string> Procedures() const {
        std::vector<std::string> out;
        for (const auto& s : sim->Statements())
            if (s.sql.find("sp_attach") != std::string::npos)
                out.push_back(s.database + "|" + s.sql);
        return out;
    }

    TestEnv env;
    std::unique_ptr<SqlsimProcess> sim;
    std::string dataFile;
    std::string logFile;
};

TEST_F(AttachDialog, EachMissingOrAbsentEntryIsNamedAndGetsTheFocus) {
    frmAttachDb d;
    EXPECT_EQ(d.windowTitle(), "Attach Database");
    struct Case {
        std::string name, data, log;
        std::string message;
        int box;
    };
    const std::vector<Case> cases = {
        {"  ", dataFile, logFile, "Please specify database name.", 2},
        {"Copy", " ", logFile, "Please specify database file.", 0},
        {"Copy", dataFile, "", "Please specify log file.", 1},
        {"Copy", "/nowhere/x.mdf", logFile, "File /nowhere/x.mdf doesn't exist.", 0},
        {"Copy", dataFile, " /nowhere/x.ldf ", "File /nowhere/x.ldf doesn't exist.", 1},
    };
    std::vector<QWidget*> focused;
    const bool attached = Run(d, [&] {
        for (const Case& c : cases) {
            Fill(d, c.name, c.data, c.log);
            d.cmdOK_Click();
            QApplication::processEvents();
            focused.push_back(QApplication::focusWidget());
        }
        d.reject();
    });
    EXPECT_FALSE(attached);
    ASSERT_EQ(env.prompter.messages.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(env.prompter.messages[i].icon, MsgIcon::Warning);
        EXPECT_EQ(env.prompter.messages[i].text, cases[i].message);
        EXPECT_EQ(focused[i], d.PathBox(cases[i].box)) << cases[i].message;
    }
    EXPECT_TRUE(Procedures().empty());
}

TEST_F(AttachDialog, SingleFileOptionGreysTheLogBoxAndAttachesWithoutIt) {
    frmAttachDb d;
    d.PathBox(1)->setText("left over");
    const bool attached = Run(d, [&] {
        ClickOption(d);
        EXPECT_FALSE(d.PathBox(1)->isEnabled());
        EXPECT_TRUE(d.PathBox(1)->isReadOnly());
        EXPECT_EQ(d.PathBox(1)->text(), "");
        EXPECT_EQ(d.PathBox(1)->palette().color(QPalette::Base), QColor(0xE0, 0xE0, 0xE0));
        EXPECT_FALSE(d.FileSelectButton(1)->isEnabled());
        d.PathBox(2)->setText("Imported");
        d.PathBox(0)->setText(QString::fromStdString(dataFile));
        QTest::keyClick(d.PathBox(0), Qt::Key_Return); // Enter in any box attaches
    });
    EXPECT_TRUE(attached);
    ASSERT_EQ(env.prompter.messages.size(), 1u);
    EXPECT_EQ(env.prompter.messages[0].icon, MsgIcon::None);
    EXPECT_EQ(env.prompter.messages[0].text, "Attached Successfully");
    EXPECT_EQ(Procedures(), (std::vector<std::string>{"master|sp_attach_single_file_db"}));
    EXPECT_EQ(FirstValue(PanelServers()[0], "Imported", "SELECT COUNT(*) FROM Customers"), "3");
}

TEST_F(AttachDialog, TwoFileAttachAndTheOptionClearedAgain) {
    frmAttachDb d;
    const bool attached = Run(d, [&] {
        ClickOption(d);
        EXPECT_FALSE(d.PathBox(1)->isEnabled());
        ClickOption(d);
        EXPECT_TRUE(d.PathBox(1)->isEnabled());
        EXPECT_FALSE(d.PathBox(1)->isReadOnly());
        EXPECT_EQ(d.PathBox(1)->palette().color(QPalette::Base), QColor(Qt::white));
        EXPECT_TRUE(d.FileSelectButton(1)->isEnabled());
        Fill(d, " ShopCopy ", dataFile, logFile);
        QTest::mouseClick(d.findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    });
    EXPECT_TRUE(attached);
    EXPECT_EQ(Procedures(), (std::vector<std::string>{"master|sp_attach_db"}));
    EXPECT_EQ(FirstValue(PanelServers()[0], "ShopCopy", "SELECT COUNT(*) FROM Orders"), "1");
}

TEST_F(AttachDialog, AServerRefusalIsShownAndTheWindowStaysOpenWithItsEntries) {
    frmAttachDb d;
    bool stillOpen = false;
    const bool attached = Run(d, [&] {
        Fill(d, "DbiHost", dataFile, logFile); // the name is taken on the server
        d.cmdOK_Click();
        stillOpen = d.isVisible();
        EXPECT_EQ(d.PathBox(2)->text(), "DbiHost");
        EXPECT_EQ(d.PathBox(0)->text().toStdString(), dataFile);
        // The user corrects the name and tries again.
        d.PathBox(2)->setText("Corrected");
        d.cmdOK_Click();
    });
    EXPECT_TRUE(stillOpen);
    EXPECT_TRUE(attached);
    ASSERT_EQ(env.prompter.messages.size(), 2u);
    EXPECT_EQ(env.prompter.messages[0].icon, MsgIcon::Error);
    EXPECT_NE(env.prompter.messages[0].text.find("Database 'DbiHost' already exists"),
              std::string::npos)
        << env.prompter.messages[0].text;
    EXPECT_EQ(env.prompter.messages[1].text, "Attached Successfully");
}

TEST_F(AttachDialog, FileChoosersFillTheirBoxAndCancelChangesNothing) {
    frmAttachDb d;
    env.prompter.fileAnswers = {std::string("/data/sales.mdf"), std::nullopt,
                                std::string("/data/sales_log.ldf")};
    const bool attached = Run(d, [&] {
        QTest::mouseClick(d.FileSelectButton(0), Qt::LeftButton);
        QTest::mouseClick(d.FileSelectButton(0), Qt::LeftButton); // cancelled
        QTest::mouseClick(d.FileSelectButton(1), Qt::LeftButton);
        QTest::keyClick(&d, Qt::Key_Escape);
    });
    EXPECT_FALSE(attached);
    EXPECT_EQ(d.PathBox(0)->text(), "/data/sales.mdf");
    EXPECT_EQ(d.PathBox(1)->text(), "/data/sales_log.ldf");
    ASSERT_EQ(env.prompter.fileRequests.size(), 3u);
    const FileDialogRequest& data = env.prompter.fileRequests[0];
    EXPECT_FALSE(data.save);
    EXPECT_EQ(data.title, "Select Database File");
    EXPECT_EQ(data.filter, "SQL Server Database files (*.mdf)|*.mdf");
    EXPECT_EQ(data.proposedPath, Paths().ProgramFolder);
    const FileDialogRequest& log = env.prompter.fileRequests[2];
    EXPECT_EQ(log.title, "Select Log File");
    EXPECT_EQ(log.filter, "SQL Server Log files (*.ldf)|*.ldf");
    EXPECT_TRUE(env.prompter.messages.empty());
    EXPECT_TRUE(Procedures().empty());
}

TEST_F(AttachDialog, NothingHappensBeforeTheWindowIsShown) {
    frmAttachDb d;
    Fill(d, "Early", dataFile, logFile);
    d.cmdOK_Click();
    EXPECT_FALSE(d.Attached());
    EXPECT_TRUE(env.prompter.messages.empty());
    EXPECT_TRUE(Procedures().empty());
}

} // namespace
} // namespace orv
