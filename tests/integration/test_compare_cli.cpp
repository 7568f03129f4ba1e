// `orvane-cli compare` as a user runs it: the real executable against the simulator.
#include "sqlsim_process.h"
#include "test_env.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
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

    // Runs the command with the simulator's login, its password in a file.
    CliRun Run(std::vector<std::string> words) {
        const SqlsimOptions& o = sim->Options();
        const std::string file = env.PathOf("password.txt");
        if (std::FILE* f = std::fopen(file.c_str(), "w")) {
            std::fprintf(f, "%s\n", o.password.c_str());
            std::fclose(f);
        }
        std::vector<std::string> args = {"compare", "--login", o.login, "--password-file", file};
        args.insert(args.end(), words.begin(), words.end());
        return Exec(args);
    }

    // Runs orvane-cli with these arguments; the child gets the test's own folders and, when
    // given, the password in its environment.
    CliRun Exec(const std::vector<std::string>& words, const char* passwordVariable = nullptr) {
        std::vector<std::string> args = {ORV_CLI_PATH};
        args.insert(args.end(), words.begin(), words.end());
        const std::string outFile = env.PathOf("out.txt"), errFile = env.PathOf("err.txt");
        const pid_t pid = fork();
        if (pid == 0) {
            setenv("XDG_CONFIG_HOME", env.Dir().c_str(), 1);
            setenv("HOME", env.Dir().c_str(), 1);
            if (passwordVariable != nullptr)
                setenv("ORVANE_PASSWORD", passwordVariable, 1);
            else
                unsetenv("ORVANE_PASSWORD");
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

// A missing object is no difference: nothing was compared.
TEST_F(CompareCli, AMissingObjectIsAnErrorNamingItsSide) {
    CliRun r = Run({Server(), "CmpLeft", Server(), "CmpRight", "procedures", "Nope", "Same"});
    EXPECT_EQ(r.status, 2) << r.out;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "orvane-cli compare: Source object not found: Procedure 'Nope' in database "
                     "'CmpLeft' on server '" +
                         Server() + "'.\n");
    r = Run({Server(), "CmpLeft", Server(), "CmpRight", "tables", "Items", "Gone"});
    EXPECT_EQ(r.status, 2) << r.out;
    EXPECT_NE(r.err.find("Target object not found: Table 'Gone' in database 'CmpRight'"),
              std::string::npos)
        << r.err;
    // schema.name finds the listed object.
    r = Run({Server(), "CmpLeft", Server(), "CmpRight", "procedures", "dbo.Same"});
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(CompareCli, ThePasswordComesFromAFileOrTheEnvironmentNeverTheArguments) {
    const SqlsimOptions& o = sim->Options();
    const std::vector<std::string> objects = {Server(),   "CmpLeft",    Server(),
                                              "CmpRight", "procedures", "Same"};
    auto with = [&](std::vector<std::string> words) {
        words.insert(words.end(), objects.begin(), objects.end());
        return words;
    };
    CliRun r = Exec(with({"compare", "--login", o.login}), o.password.c_str());
    EXPECT_EQ(r.status, 0) << r.err;
    r = Exec(with({"compare", "--login", o.login}), "not the password");
    EXPECT_EQ(r.status, 2) << r.out;

    r = Exec(with({"compare", "--login", o.login, "--password", o.password}), o.password.c_str());
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("orvane-cli compare: --password is not accepted: a password on the "
                          "command line shows in every process listing.",
                          0),
              0u)
        << r.err;
    EXPECT_EQ(r.err.find(o.password), std::string::npos) << r.err;

    r = Exec(with({"compare", "--login", o.login, "--password-file", env.PathOf("none")}));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "orvane-cli compare: cannot read the password file " + env.PathOf("none") +
                         ": No such file or directory\n");
}

TEST_F(CompareCli, HelpDescribesTheExitStatusOfEachCommand) {
    CliRun r = Exec({"compare", "--help"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("usage: orvane-cli compare [--marks] [--login <name> [--password-file "
                          "<file>]]",
                          0),
              0u)
        << r.out;
    EXPECT_NE(r.out.find("Exit status: 0 the objects are identical, 1 they are different, 2 "
                         "error"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("ORVANE_PASSWORD"), std::string::npos);
    r = Exec({"--help"});
    EXPECT_EQ(r.status, 0);
    for (const char* line : {"  list, dbinfo   0 success, 2 error\n",
                             "  create, count  0 success, 1 object not found, 2 error\n",
                             "  compare        0 identical, 1 different, 2 error"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
}

} // namespace
} // namespace orv::test
