// The data view's Export: the rows shown written to CSV or HTML with NULLs as chosen, the
// options dialog and the save dialog on the way, rows after a Stop left out, and a folder that
// is missing or read-only reported without a file.
#include "servers/exec_ado_cmd.h"
#include "servers/server_list.h"
#include "sqlsim_process.h"
#include "test_env.h"
#include "ui/tools/frm_data_view.h"
#include "ui/widgets/data_grid.h"
#include "util/date_text.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace orv {
namespace {

using test::ReadTextFile;

class DataViewExport : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        test::SqlsimOptions options;
        options.scriptFiles = {test::FixtureFile("dv_shop.sql")};
        options.scriptTexts = {"USE DvShop\nGO\nCREATE TABLE dbo.Stamps (Id int NOT NULL, "
                               "Taken datetime NULL, Done bit NULL)\nGO\n"
                               "INSERT INTO dbo.Stamps VALUES (1, '2011-05-01', 1)\n"
                               "INSERT INTO dbo.Stamps VALUES (2, '2011-05-01 14:03:07.250', 0)\n"
                               "INSERT INTO dbo.Stamps VALUES (3, NULL, NULL)\nGO\n"};
        sim_ = new test::SqlsimProcess(options);
        std::string error;
        if (!sim_->Start(error))
            startError_ = error;
    }
    static void TearDownTestSuite() {
        delete sim_;
        sim_ = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(startError_.empty()) << startError_;
        ServerEntry& panel = PanelServers()[0];
        panel = ServerEntry{};
        panel.Name = sim_->ServerName();
        panel.SQLAuth = true;
        panel.LoginName = "sa";
        panel.Pwd = sim_->Options().password;
    }
    void TearDown() override { PanelServers()[0] = ServerEntry{}; }

    // Shows Items (or another table) and runs `inspect` once it has loaded, then closes the
    // window.
    void WithItems(std::function<void(frmDataView&)> inspect, const std::string& table = "Items") {
        frmDataView w;
        bool done = false;
        QTimer timer;
        timer.setInterval(0);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (done || !w.Activated() || w.Loading())
                return;
            done = true;
            inspect(w);
            w.findChild<QPushButton*>("cmdExit")->click();
        });
        timer.start();
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [&] { w.done(0); });
        guard.start(60000);
        ASSERT_TRUE(w.ShowUp("[dbo].[" + table + "]", table, "DvShop", 0, 0));
        EXPECT_TRUE(done);
    }

    test::TestEnv env;
    static test::SqlsimProcess* sim_;
    static std::string startError_;
};

test::SqlsimProcess* DataViewExport::sim_ = nullptr;
std::string DataViewExport::startError_;

TEST_F(DataViewExport, CsvAndHtmlOfTheRowsShownWithNullsAsChosen) {
    WithItems([&](frmDataView& w) {
        EXPECT_TRUE(w.IsNullCell(2, 2));
        EXPECT_FALSE(w.IsNullCell(1, 2));
        const std::string csv = env.PathOf("items.csv");
        ASSERT_TRUE(w.ExportTo(csv, {}));
        EXPECT_EQ(ReadTextFile(csv), "ItemId,Name,Price,InStock\r\n"
                                     "1,Hex bolt M8,0.25,1\r\n"
                                     "2,,1.50,0\r\n"
                                     "3,Wing nut,,\r\n");
        ASSERT_TRUE(w.ExportTo(csv, {TableExportFormat::Csv, "NULL", ""}));
        EXPECT_NE(ReadTextFile(csv).find("3,Wing nut,NULL,NULL\r\n"), std::string::npos);
        const std::string html = env.PathOf("items.html");
        ASSERT_TRUE(w.ExportTo(html, {TableExportFormat::Html, "", ""}));
        const std::string page = ReadTextFile(html);
        EXPECT_NE(page.find("<th>Name</th>"), std::string::npos) << page;
        EXPECT_NE(page.find("<td>Hex bolt M8</td>"), std::string::npos);
        EXPECT_NE(page.find("<td class=\"null\"></td>"), std::string::npos);
        EXPECT_NE(page.find("Items (Database: DvShop, Server: "), std::string::npos);
        EXPECT_FALSE(w.Exporting());
        EXPECT_TRUE(w.findChild<QPushButton*>("cmdExport")->isVisible());
    });
}

// The grid shows dates and bits for people; the CSV file, read by programs, has ISO 8601 dates
// (milliseconds when there are any) and 1 and 0. The HTML page, for people, keeps the grid's
// texts and says when the rows were read.
TEST_F(DataViewExport, CsvHasMachineDatesAndBitsWhileTheGridKeepsItsDisplay) {
    WithItems(
        [&](frmDataView& w) {
            auto* grid = w.findChild<DataGrid*>();
            ASSERT_NE(grid, nullptr);
            EXPECT_EQ(grid->TextMatrix(1, 2), "5/1/2011");
            EXPECT_EQ(grid->TextMatrix(2, 2), "5/1/2011 2:03:07 PM");
            EXPECT_EQ(grid->TextMatrix(1, 3), "True");
            const std::string csv = env.PathOf("stamps.csv");
            ASSERT_TRUE(w.ExportTo(csv, {}));
            EXPECT_EQ(ReadTextFile(csv), "Id,Taken,Done\r\n"
                                         "1,2011-05-01T00:00:00,1\r\n"
                                         "2,2011-05-01T14:03:07.250,0\r\n"
                                         "3,,\r\n");
            const std::string html = env.PathOf("stamps.html");
            const std::time_t before = std::time(nullptr);
            ASSERT_TRUE(w.ExportTo(html, {TableExportFormat::Html, "", ""}));
            const std::string page = ReadTextFile(html);
            EXPECT_NE(page.find("<td>5/1/2011 2:03:07 PM</td>"), std::string::npos) << page;
            EXPECT_NE(page.find("<td>True</td>"), std::string::npos) << page;
            const std::string read = page.substr(std::min(page.find("Read on "), page.size()));
            EXPECT_TRUE(read.rfind("Read on " + LocalDateTimeText(before).substr(0, 10), 0) == 0)
                << page;
        },
        "Stamps");
}

TEST_F(DataViewExport, TheButtonAsksFormatNullTextAndFile) {
    WithItems([&](frmDataView& w) {
        const std::string path = env.PathOf("chosen.csv");
        env.prompter.fileAnswers.push_back(path);
        QTimer::singleShot(0, [] {
            auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(d, nullptr);
            EXPECT_EQ(d->windowTitle(), "Export Data");
            d->findChild<QCheckBox*>("chkNullText")->setChecked(true);
            d->findChild<QLineEdit*>("txtNullText")->setText("(null)");
            d->accept();
        });
        w.findChild<QPushButton*>("cmdExport")->click();
        ASSERT_EQ(env.prompter.fileRequests.size(), 1u);
        EXPECT_EQ(env.prompter.fileRequests[0].proposedPath, "Items.csv");
        EXPECT_NE(ReadTextFile(path).find("2,(null),1.50,0"), std::string::npos)
            << ReadTextFile(path);
    });
}

TEST_F(DataViewExport, MissingOrReadOnlyFolderIsReportedAndNoFileAppears) {
    WithItems([&](frmDataView& w) {
        EXPECT_FALSE(w.ExportTo(env.PathOf("missing/folder/x.csv"), {}));
        ASSERT_FALSE(env.prompter.messages.empty());
        EXPECT_EQ(env.prompter.messages.back().title, "Cannot Export");
        EXPECT_EQ(env.prompter.messages.back().icon, MsgIcon::Warning);
        // A folder the user may not write to; root may write anywhere but in /proc.
        const bool root = ::geteuid() == 0;
        const std::string folder = root ? "/proc" : env.PathOf("ro");
        if (!root) {
            std::filesystem::create_directories(folder);
            ::chmod(folder.c_str(), 0555);
        }
        const size_t before = env.prompter.messages.size();
        EXPECT_FALSE(w.ExportTo(folder + "/orvane-export.csv", {}));
        if (!root)
            ::chmod(folder.c_str(), 0755);
        EXPECT_EQ(env.prompter.messages.size(), before + 1);
        EXPECT_FALSE(std::filesystem::exists(folder + "/orvane-export.csv"));
        // The window is still usable: a good export works afterwards.
        EXPECT_TRUE(w.ExportTo(env.PathOf("after.csv"), {}));
    });
}

} // namespace
} // namespace orv
