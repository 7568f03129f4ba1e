// `orvane-cli compare` as a user runs it: the real executable against the simulator.
#include "sqlsim_process.h"
#include "test_env.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <vector>

namespace orv::test {
namespace {

const char* const kScript = R"(CREATE DATABASE CmpLeft
GO
USE CmpLeft
GO
CREATE TABLE dbo.Items (
    ItemID int NOT NULL,
    Name nvarchar(40) NULL,
    Price money NULL
)
GO
CREATE PROCEDURE dbo.Same @id int
AS
SELECT Name FROM dbo.Items WHERE ItemID = @id
GO
CREATE PROCEDURE dbo.Changed
AS
SELECT 1
GO
CREATE DATABASE CmpRight
GO
USE CmpRight
GO
CREATE TABLE dbo.Items (
    Name nvarchar(40) NULL,
    ItemID int NOT NULL,
    Price money NULL
)
GO
CREATE PROCEDURE dbo.Same @id int
AS
SELECT Name FROM dbo.Items WHERE ItemID = @id
GO
CREATE PROCEDURE dbo.Changed
AS
SELECT 2
GO
)";

struct CliRun {
    int status = -1;
    std::string out, err;
};

class CompareCli : public ::testing::Test {
protected:
    void SetUp() override {
        SqlsimOptions options;
        options.scriptTexts = {kScript};
        sim = std::make_unique<SqlsimProcess>(options);
        std::string error;
        ASSERT_TRUE(sim->Start(error)) << error;
    }

    // Runs the command with the simulator's login; the child gets the test's own folders.
    CliRun Run(std::vector<std::string> words) {
        const SqlsimOptions& o = sim->Options();
        std::vector<std::string> args = {ORV_CLI_PATH, "compare",    "--login",
                                         o.login,      "--password", o.password};
        args.insert(args.end(), words.begin(), words.end());
        const std::string outFile = env.PathOf("out.txt"), errFile = env.PathOf("err.txt");
        const pid_t pid = fork();
        if (pid == 0) {
            setenv("XDG_CONFIG_HOME", env.Dir().c_str(), 1);
            setenv("HOME", env.Dir().c_str(), 1);
            const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(out, 1);
            dup2(err, 2);
            std::vector<char*> argv;
            for (auto& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        CliRun run;
        int status = 0;
        waitpid(pid, &status, 0);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.out = ReadTextFile(outFile);
        run.err = ReadTextFile(errFile);
        return run;
    }

    std::string Server() const { return sim->ServerName(); }

    TestEnv env;
    std::unique_ptr<SqlsimProcess> sim;
};

TEST_F(CompareCli, IdenticalProceduresExitZero) {
    const CliRun r = Run({Server(), "CmpLeft", Server(), "CmpRight", "procedures", "Same"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Source: " + Server() + ".CmpLeft.Same\nTarget: " + Server() +
                         ".CmpRight.Same\n\nThe selected procedures are identical.\n\n"
                         "Please note that option 'Ignore Columns Order' is set ON.\n");
}

TEST_F(CompareCli, DifferentProceduresExitOneAndMarkTheChangedLine) {
    const CliRun r =
        Run({"--marks", Server(), "CmpLeft", Server(), "CmpRight", "procedures", "Changed"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.out.find("The selected procedures are different.\n"), std::string::npos);
    EXPECT_NE(r.out.find("S\t20\tSELECT 1\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("T\t20\tSELECT 2\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("S\t10\tAS\n"), std::string::npos) << r.out;
}

TEST_F(CompareCli, TablesWithReorderedColumnsAreIdentical) {
    const CliRun r = Run({Server(), "CmpLeft", Server(), "CmpRight", "tables", "Items"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("The selected tables are identical."), std::string::npos);
}

TEST_F(CompareCli, FailuresExitTwo) {
    CliRun r = Run({Server(), "CmpLeft", Server(), "CmpRight", "procedures"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("usage: orvane-cli compare"), std::string::npos);
    r = Run({Server(), "NoSuchDb", Server(), "CmpRight", "procedures", "Same"});
    EXPECT_EQ(r.status, 2) << r.out;
}

} // namespace
} // namespace orv::test
