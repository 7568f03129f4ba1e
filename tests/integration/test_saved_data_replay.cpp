// Saved data comparison processes run from the command line against the documented pair of
// databases: the export must be the very CSV `compare-data` writes for the same tables, the
// exit status must follow the verdicts, and a malformed process is refused naming its key.
#include "cli_runner.h"
#include "core/saved_comparison.h"
#include "data_compare_support.h"
#include "util/text.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

namespace orv::test {
namespace {

namespace fs = std::filesystem;

class SavedDataReplay : public CliTest {
protected:
    void Prepare(DataSim& f) {
        Store(f);
        server_ = f.server.Name;
        fs::create_directories(home_ + "/Documents");
        ini_ = home_ + "/Documents/orv_comps.ini";
    }

    // A data process over `pairs` ("[schema].[name]" on both sides) with one key per pair.
    ComparisonDescription Data(int32_t subType, const std::string& db2,
                               const std::vector<std::string>& pairs,
                               const std::vector<std::string>& keys, const std::string& file) {
        ComparisonDescription d;
        d.CompType = kCompTypeData;
        d.CompSubType = subType;
        d.EncObjTypes = "1,0,0,0,0,0,0";
        d.ServerName[0] = d.ServerName[1] = server_;
        d.DbName[0] = "DcSource";
        d.DbName[1] = db2;
        for (int side = 0; side < 2; ++side)
            d.CheckedObjects[side] = pairs;
        d.CheckCount[0] = d.CheckCount[1] = static_cast<int32_t>(pairs.size());
        d.DataKeys = keys;
        d.DataMode = kDataModeMerge;
        d.SavedFullExportFilePath = file;
        d.ExportType = ExportTypeOf(file);
        d.TableId[0] = d.TableId[1] = "0";
        return d;
    }

    std::string CompareDataCsv(const std::string& options, int expectedStatus) {
        const std::string s = "'" + server_ + "'";
        const CliResult r =
            Run("compare-data --format csv " + options + " " + s + " DcSource " + s + " DcTarget");
        EXPECT_EQ(r.status, expectedStatus) << r.err;
        return r.out;
    }

    // The desktop program, a copy in a folder of its own (its log goes beside it), started
    // with `switchText`; its exit status, or -1 when it had not ended after two minutes.
    int RunProgram(const std::string& switchText) {
        const fs::path program = fs::path(home_) / "program" / "orvane";
        if (!fs::exists(program)) {
            fs::create_directories(program.parent_path());
            fs::copy_file(ORVANE_BIN, program);
        }
        const pid_t pid = ::fork();
        if (pid < 0)
            return -1;
        if (pid == 0) {
            ::setenv("XDG_CONFIG_HOME", home_.c_str(), 1);
            ::setenv("HOME", home_.c_str(), 1);
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
            const std::string err = home_ + "/program-stderr.txt";
            std::freopen(err.c_str(), "w", stderr);
            ::execl(program.c_str(), "orvane", switchText.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        int status = 0;
        for (int i = 0; i < 1200; ++i) {
            if (::waitpid(pid, &status, WNOHANG) == pid)
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        return -1;
    }

    std::string server_;
    std::string ini_;
};

TEST_F(SavedDataReplay, RunSavedExportsWhatCompareDataWritesAndRefusesMalformedProcesses) {
    DataSim f(kVersion2008, {}, false);
    ASSERT_SIM_STARTED(f);
    Prepare(f);
    const std::string two = home_ + "/two.csv", picked = home_ + "/picked.csv",
                      same = home_ + "/same.csv";
    // Bracketed names survive the file: the odd table's name holds brackets, a quote, a dot
    // and "--".
    ASSERT_EQ(SaveComparisonProcess(ini_, Data(kCompSubTypeDataSelected, "DcTarget",
                                               {"[dbo].[Customers]", "[dbo].[we]]ird.na'me --]"},
                                               {"", ""}, two)),
              1);
    ComparisonDescription key =
        Data(kCompSubTypeDataSinglePair, "DcTarget", {"[dbo].[Picked]"}, {"[Code]"}, picked);
    key.Name = "Picked nightly";
    ASSERT_EQ(SaveComparisonProcess(ini_, key), 2);
    ASSERT_EQ(SaveComparisonProcess(ini_, Data(kCompSubTypeDataSinglePair, "DcSource",
                                               {"[dbo].[Customers]"}, {""}, same)),
              3);
    // Hand-edited sections: a table name without brackets, and counts that do not pair up.
    std::ofstream(ini_, std::ios::app)
        << "[4]\r\nCompType=2\r\nCompSubType=30\r\nEncObjTypes=1,0,0,0,0,0,0\r\n"
           "ServerName1=s\r\nDbName1=a\r\nServerName2=s\r\nDbName2=b\r\n"
           "SelCompCountSource=1\r\nSelCompCountTarget=1\r\n"
           "SelCompSource1=dbo.Customers\r\nSelCompTarget1=[dbo].[Customers]\r\n"
        << "[5]\r\nCompType=2\r\nCompSubType=30\r\nEncObjTypes=1,0,0,0,0,0,0\r\n"
           "ServerName1=s\r\nDbName1=a\r\nServerName2=s\r\nDbName2=b\r\n"
           "SelCompCountSource=1\r\nSelCompCountTarget=2\r\n";

    CliResult r = Run("run-saved 1");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(ReadTextFile(two),
              CompareDataCsv("--mode merge --tables \"dbo.Customers,[we]]ird.na'me --]\"", 1));

    r = Run("run-saved 2");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(ReadTextFile(picked), CompareDataCsv("--tables dbo.Picked --key Code", 1));

    r = Run("run-saved 3");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(ReadTextFile(same).find("dbo.Customers,identical,"), std::string::npos)
        << ReadTextFile(same);

    const struct {
        int number;
        const char* key;
    } refused[] = {{4, "the key SelCompSource1 holds \"dbo.Customers\""},
                   {5, "the key SelCompCountTarget holds 2"}};
    for (const auto& c : refused) {
        r = Run("run-saved " + std::to_string(c.number));
        EXPECT_EQ(r.status, 2) << c.number;
        EXPECT_NE(r.err.find(c.key), std::string::npos) << r.err;
    }

    r = Run("saved");
    EXPECT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> lines = Split(r.out, "\n");
    ASSERT_EQ(lines.size(), 6u) << r.out;
    EXPECT_EQ(lines[0].rfind("1\tProcess 1\tCompare Data in Selected Tables\t", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1], "2\tPicked nightly\tCompare Data in Tables dbo.Picked\t" + server_ +
                            "\tDcSource\t" + server_ + "\tDcTarget\t" + picked);
    EXPECT_NE(lines[3].find("refused: "), std::string::npos) << lines[3];
}

TEST_F(SavedDataReplay, TheProgramRunsASavedDataProcessUnattended) {
    DataSim f(kVersion2008, {}, false);
    ASSERT_SIM_STARTED(f);
    Prepare(f);
    const std::string file = home_ + "/customers.csv";
    ASSERT_EQ(SaveComparisonProcess(ini_, Data(kCompSubTypeDataSinglePair, "DcTarget",
                                               {"[dbo].[Customers]"}, {""}, file)),
              1);
    EXPECT_EQ(RunProgram("/RunSavedComp:1"), 1);
    EXPECT_EQ(ReadTextFile(file), CompareDataCsv("--mode merge --tables dbo.Customers", 1));
    const std::string log = ReadTextFile(home_ + "/program/LogLogin.txt");
    EXPECT_NE(log.find("Compare Data in Tables dbo.Customers"), std::string::npos) << log;
    EXPECT_NE(log.find("1 table compared, 1 different."), std::string::npos) << log;
}

} // namespace
} // namespace orv::test
