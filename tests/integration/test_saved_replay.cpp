// Saved comparison processes run as a scheduler runs them: `orvane-cli saved` and `run-saved`,
// and the desktop program started with /RunSavedComp:N on the offscreen platform, against the
// simulator's demo databases. Their exports must be what `compare-all` writes for the same
// comparison, and their exit statuses must tell identical from different from failed.
#include "cli_runner.h"
#include "core/saved_comparison.h"
#include "servers/worker_query.h"
#include "util/text.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

namespace orv {
namespace {

namespace fs = std::filesystem;
using test::CatalogSim;
using test::CliResult;

class SavedReplay : public test::CliTest {
protected:
    // Stores the server and gives the programs a documents folder for the comparisons file.
    void Prepare(CatalogSim& f) {
        Store(f);
        server_ = f.server.Name;
        fs::create_directories(home_ + "/Documents");
        ini_ = home_ + "/Documents/orv_comps.ini";
    }

    ComparisonDescription Whole(const std::string& db1, const std::string& db2,
                                const std::string& flags, const std::string& file) {
        ComparisonDescription d;
        d.CompType = kCompTypeStructure;
        d.CompSubType = kCompSubTypeAllObjects;
        d.EncObjTypes = flags;
        d.ServerName[0] = d.ServerName[1] = server_;
        d.DbName[0] = db1;
        d.DbName[1] = db2;
        d.SavedFullExportFilePath = file;
        d.ExportType = ExportTypeOf(file);
        d.TableId[0] = d.TableId[1] = "0";
        return d;
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

    std::string ProgramLog() const { return test::ReadTextFile(home_ + "/program/LogLogin.txt"); }

    // What compare-all writes for the same comparison, as CSV.
    std::string CompareAllCsv(const std::string& types, const std::string& db1,
                              const std::string& db2, int expectedStatus) {
        const std::string s = "'" + server_ + "'";
        const CliResult r = Run("compare-all --format csv --types " + types + " " + s + " " + db1 +
                                " " + s + " " + db2);
        EXPECT_EQ(r.status, expectedStatus) << r.err;
        return r.out;
    }

    std::string server_;
    std::string ini_;
};

TEST_P(SavedReplay, TheCommandLineListsAndRunsEachProcess) {
    CatalogSim f(GetParam(), {"demo_source.sql", "demo_target.sql"});
    ASSERT_SIM_STARTED(f);
    Prepare(f);
    const std::string same = home_ + "/same.csv";
    const std::string demo = home_ + "/demo.csv";
    ASSERT_EQ(SaveComparisonProcess(
                  ini_, Whole("OrvaneDemoSource", "OrvaneDemoSource", "1,0,1,1,1,1,0", same)),
              1);
    ComparisonDescription named =
        Whole("OrvaneDemoSource", "OrvaneDemoTarget", "1,0,0,1,1,0,0", demo);
    named.Name = "Nightly demo";
    ASSERT_EQ(SaveComparisonProcess(ini_, named), 2);
    ComparisonDescription pair = Whole("OrvaneDemoSource", "OrvaneDemoTarget", "1000000", "");
    pair.CompSubType = kCompSubTypeSinglePair;
    pair.TableName[0] = pair.TableName[1] = "Customers";
    ASSERT_EQ(SaveComparisonProcess(ini_, pair), 3);
    ASSERT_EQ(SaveComparisonProcess(ini_, Whole("OrvaneDemoSource", "OrvaneDemoTarget",
                                                "1,0,0,0,0,0,0", home_ + "/no/such/dir/x.csv")),
              4);
    std::ofstream(ini_, std::ios::app) << "[5]\r\nCompType=1\r\nCompSubType=ten\r\n";

    CliResult r = Run("saved");
    EXPECT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> lines = Split(r.out, "\n");
    ASSERT_EQ(lines.size(), 6u) << r.out; // five and the empty text after the last break
    EXPECT_EQ(lines[1], "2\tNightly demo\tCompare All Objects\t" + server_ +
                            "\tOrvaneDemoSource\t" + server_ + "\tOrvaneDemoTarget\t" + demo);
    EXPECT_EQ(lines[2].rfind("3\tProcess 3\tCompare Table Customers\t", 0), 0u) << lines[2];
    EXPECT_NE(lines[4].find("refused: Saved comparison process [5] is refused: the key "
                            "CompSubType"),
              std::string::npos)
        << lines[4];

    // Identical databases: status 0 and compare-all's very CSV in the saved file.
    r = Run("run-saved 1");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(test::ReadTextFile(same),
              CompareAllCsv("tables,functions,views,triggers,relationships", "OrvaneDemoSource",
                            "OrvaneDemoSource", 0));
    // The demo pair: status 1, to the saved file or, with --output -, to standard output.
    r = Run("run-saved 2");
    EXPECT_EQ(r.status, 1) << r.err;
    const std::string demoCsv =
        CompareAllCsv("tables,views,triggers", "OrvaneDemoSource", "OrvaneDemoTarget", 1);
    EXPECT_EQ(test::ReadTextFile(demo), demoCsv);
    r = Run("run-saved 2 --output -");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, demoCsv);
    r = Run("run-saved --output '" + home_ + "/other.html' 2");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(test::ReadTextFile(home_ + "/other.html").rfind("<!DOCTYPE html>", 0), 0u);

    // The single pair agrees with `compare` on the same two objects.
    const std::string s = "'" + server_ + "'";
    const CliResult compared =
        Run("compare " + s + " OrvaneDemoSource " + s + " OrvaneDemoTarget tables Customers");
    EXPECT_EQ(compared.status, 1) << compared.err;
    r = Run("run-saved 3");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.out.find("Customers"), std::string::npos) << r.out;

    struct Failing {
        std::string args;
        std::string message;
    };
    const std::vector<Failing> failing = {
        {"run-saved 4", home_ + "/no/such/dir/x.csv"},
        {"run-saved 5", "the key CompSubType holds \"ten\""},
        {"run-saved 9", "There is no saved comparison process number 9."},
        {"run-saved", "the number of a saved process is needed"},
        {"run-saved 1 --password x", "unexpected argument --password"},
    };
    for (const Failing& c : failing) {
        r = Run(c.args);
        EXPECT_EQ(r.status, 2) << c.args;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << "\n" << r.err;
    }
    EXPECT_FALSE(fs::exists(home_ + "/no"));
}

TEST_P(SavedReplay, TheProgramRunsAProcessUnattendedAndEndsWithItsStatus) {
    CatalogSim f(GetParam(), {"demo_source.sql", "demo_target.sql"});
    ASSERT_SIM_STARTED(f);
    Prepare(f);
    const std::string same = home_ + "/same.csv";
    const std::string demo = home_ + "/demo.csv";
    ASSERT_EQ(SaveComparisonProcess(
                  ini_, Whole("OrvaneDemoSource", "OrvaneDemoSource", "1,0,1,1,1,1,0", same)),
              1);
    ASSERT_EQ(SaveComparisonProcess(
                  ini_, Whole("OrvaneDemoSource", "OrvaneDemoTarget", "1,0,0,1,1,0,0", demo)),
              2);

    EXPECT_EQ(RunProgram("/RunSavedComp:1"), 0)
        << test::ReadTextFile(home_ + "/program-stderr.txt");
    EXPECT_EQ(test::ReadTextFile(same),
              CompareAllCsv("tables,functions,views,triggers,relationships", "OrvaneDemoSource",
                            "OrvaneDemoSource", 0));
    EXPECT_EQ(RunProgram("/RunSavedComp:2"), 1);
    EXPECT_EQ(test::ReadTextFile(demo),
              CompareAllCsv("tables,views,triggers", "OrvaneDemoSource", "OrvaneDemoTarget", 1));
    EXPECT_EQ(RunProgram("/RunSavedComp:7"), 2);
    EXPECT_EQ(RunProgram("/RunSavedComp:x"), 2);

    // One line per run, with its outcome.
    const std::string log = ProgramLog();
    EXPECT_NE(log.find("Saved comparison process 1, Compare All Objects " + server_ +
                       ".OrvaneDemoSource - " + server_ + ".OrvaneDemoSource: "),
              std::string::npos)
        << log;
    EXPECT_NE(log.find(" Exported to " + demo + ". Exit status 1.\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("Saved comparison process 7: Error: There is no saved comparison process "
                       "number 7. Exit status 2.\r\n"),
              std::string::npos)
        << log;
}

TEST_P(SavedReplay, ANightlyRunPassesWithTheEncryptedProcedureLeftOutAndKeepsOtherFiles) {
    CatalogSim f(GetParam(), {"demo_source.sql"});
    ASSERT_SIM_STARTED(f);
    Prepare(f);
    // Procedures and views of a database against itself: only the encrypted procedure stands
    // in the way of status 0.
    const std::string plain = home_ + "/plain.csv";
    ASSERT_EQ(SaveComparisonProcess(
                  ini_, Whole("OrvaneDemoSource", "OrvaneDemoSource", "0,1,0,1,0,0,0", plain)),
              1);
    ComparisonDescription left =
        Whole("OrvaneDemoSource", "OrvaneDemoSource", "0,1,0,1,0,0,0", home_ + "/left.csv");
    left.ExcludePatterns = {"procedures:sales.usp_Commission_*"};
    ASSERT_EQ(SaveComparisonProcess(ini_, left), 2);
    ComparisonDescription reported =
        Whole("OrvaneDemoSource", "OrvaneDemoSource", "0,1,0,1,0,0,0", home_ + "/reported.csv");
    reported.ReportNotComparable = true;
    ASSERT_EQ(SaveComparisonProcess(ini_, reported), 3);
    // A process stored with HTML as its type but a .csv file name, over a real CSV export.
    const std::string csv = home_ + "/real.csv";
    std::ofstream(csv) << "type,schema,name,status\n";
    ComparisonDescription mismatch = left;
    mismatch.SavedFullExportFilePath = csv;
    mismatch.ExportType = kExportHtml;
    ASSERT_EQ(SaveComparisonProcess(ini_, mismatch), 4);

    EXPECT_EQ(Run("run-saved 1").status, 2);
    CliResult r = Run("run-saved 2");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(test::ReadTextFile(home_ + "/left.csv").find("usp_Commission_Calculate"),
              std::string::npos);
    r = Run("run-saved 3");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(test::ReadTextFile(home_ + "/reported.csv")
                  .find("procedures,sales,usp_Commission_Calculate,not comparable"),
              std::string::npos);
    r = Run("run-saved 4");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("is named as a CSV file"), std::string::npos) << r.err;
    EXPECT_EQ(test::ReadTextFile(csv), "type,schema,name,status\n");

    fs::remove(home_ + "/left.csv");
    EXPECT_EQ(RunProgram("/RunSavedComp:2"), 0)
        << test::ReadTextFile(home_ + "/program-stderr.txt");
    EXPECT_TRUE(fs::exists(home_ + "/left.csv"));
    EXPECT_EQ(RunProgram("/RunSavedComp:1"), 2);
    EXPECT_EQ(RunProgram("/RunSavedComp:4"), 2);
    EXPECT_EQ(test::ReadTextFile(csv), "type,schema,name,status\n");
    const std::string log = ProgramLog();
    EXPECT_NE(log.find("Saved comparison process 4, Compare All Objects"), std::string::npos)
        << log;
    EXPECT_NE(log.find("is named as a CSV file. Nothing was written; the file is unchanged."),
              std::string::npos)
        << log;
}

// A deploying process: without DeployApply the script is written and the target untouched; with
// it (the target named again) the script runs, the comparison is made again, and the status is
// the deployment's. Unattended, data loss is never allowed: the demo's dropped column stays.
TEST_P(SavedReplay, ADeployingProcessWritesItsScriptAndRunsItOnlyWhenTheTargetIsNamed) {
    const bool v8 = GetParam() == std::string(test::kVersion2000);
    CatalogSim f(GetParam(), {"demo_source.sql", "demo_target.sql"});
    ASSERT_SIM_STARTED(f);
    Prepare(f);
    ComparisonDescription d =
        Whole("OrvaneDemoSource", "OrvaneDemoTarget", "1,1,1,1,1,1,0", home_ + "/nightly.csv");
    d.ReportNotComparable = true;
    // 2000 refuses the archive procedure's later syntax: it stays out of the deployment.
    if (v8)
        d.ExcludePatterns = {"procedures:dbo.usp_Archive_AuditLog"};
    d.Deploy = true;
    d.DeployScriptPath = home_ + "/deploy.sql";
    ASSERT_EQ(SaveComparisonProcess(ini_, d), 1);
    d.DeployApply = true;
    d.DeployTarget = "OrvaneDemoTarget";
    d.DeployScriptPath = home_ + "/applied.sql";
    ASSERT_EQ(SaveComparisonProcess(ini_, d), 2);

    CliResult r = Run("run-saved 1");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("Deployment script written to " + home_ + "/deploy.sql ("),
              std::string::npos)
        << r.err;
    EXPECT_NE(test::ReadTextFile(home_ + "/deploy.sql").find("USE [OrvaneDemoTarget]\nGO\n"),
              std::string::npos);
    EXPECT_TRUE(fs::exists(home_ + "/nightly.csv"));
    const std::string s = "'" + server_ + "'";
    r = Run("compare-all --not-comparable report --types procedures " + s + " OrvaneDemoSource " +
            s + " OrvaneDemoTarget");
    EXPECT_EQ(r.status, 1); // nothing ran

    r = Run("run-saved 2");
    // Differences remain: the column a deployment would drop (data loss) is left.
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("Target still differs from Source"), std::string::npos) << r.err;
    const std::string exclude = v8 ? " --exclude procedures:dbo.usp_Archive_AuditLog" : "";
    r = Run("compare-all --not-comparable report --types procedures,triggers" + exclude + " " + s +
            " OrvaneDemoSource " + s + " OrvaneDemoTarget");
    EXPECT_EQ(r.status, 0) << r.out;
}

// Every run of a deploying process compares afresh: a procedure changed on the target between
// two runs is in the second script and not in the first.
TEST_P(SavedReplay, ADeployingProcessComparesAfreshOnEveryRun) {
    CatalogSim f(GetParam(), {"demo_source.sql", "demo_target.sql"});
    ASSERT_SIM_STARTED(f);
    Prepare(f);
    ComparisonDescription d =
        Whole("OrvaneDemoSource", "OrvaneDemoTarget", "1,1,1,1,1,1,0", home_ + "/nightly.csv");
    d.ReportNotComparable = true;
    d.Deploy = true;
    d.DeployScriptPath = home_ + "/deploy.sql";
    ASSERT_EQ(SaveComparisonProcess(ini_, d), 1);
    const std::string step = ": Alter procedure [dbo].[usp_Customer_Get]\n";

    ASSERT_EQ(Run("run-saved 1").status, 1);
    EXPECT_EQ(test::ReadTextFile(home_ + "/deploy.sql").find(step), std::string::npos);
    OdbcError error;
    CancelToken cancel;
    ASSERT_TRUE(RunWorkerQuery(
        {f.server, "OrvaneDemoTarget", 30}, cancel,
        "ALTER PROCEDURE dbo.usp_Customer_Get AS SELECT 1 AS One", [](WorkerQuery&, Row&) {},
        error))
        << error.description;
    ASSERT_EQ(Run("run-saved 1").status, 1);
    EXPECT_NE(test::ReadTextFile(home_ + "/deploy.sql").find(step), std::string::npos);
}

TEST_P(SavedReplay, ARefusedLoginIsAnErrorForBothAndWritesNothing) {
    CatalogSim f(GetParam(), {"demo_source.sql"});
    ASSERT_SIM_STARTED(f);
    f.server.Pwd = "not the password";
    Prepare(f);
    const std::string file = home_ + "/x.csv";
    ASSERT_EQ(SaveComparisonProcess(
                  ini_, Whole("OrvaneDemoSource", "OrvaneDemoSource", "1,0,0,0,0,0,0", file)),
              1);
    EXPECT_EQ(RunProgram("/RunSavedComp:1"), 2);
    EXPECT_NE(ProgramLog().find("Error: cannot connect to server '" + server_ + "'"),
              std::string::npos)
        << ProgramLog();
    const CliResult r = Run("run-saved 1");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("cannot connect to server"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(file));
}

INSTANTIATE_TEST_SUITE_P(Versions, SavedReplay, ::testing::Values(test::kVersion2008),
                         test::VersionName);

} // namespace
} // namespace orv
