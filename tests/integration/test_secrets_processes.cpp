// The password through whole program processes: orvane-cli failing in every way a connection
// can fail, and orvane-cli and the desktop program crashing while connected. Neither what they
// print, nor their log, nor any file a crash leaves may hold the password; every write keeps
// the registry file private.
#include "core/registry.h"
#include "core/settings.h"
#include "servers/server_list.h"
#include "test_env.h"
#include "test_secrets_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

namespace orv::test {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string out, err;
};

// Runs `argv` in `dir` with the configuration folder `xdg`, standard output and error to files
// there; core dumps allowed as far as the hard limit lets, so a crash would leave one.
pid_t Spawn(const std::vector<std::string>& argv, const std::string& dir, const std::string& xdg) {
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    rlimit core{};
    ::getrlimit(RLIMIT_CORE, &core);
    core.rlim_cur = core.rlim_max;
    ::setrlimit(RLIMIT_CORE, &core);
    if (::chdir(dir.c_str()) != 0)
        ::_exit(120);
    int out = ::open("stdout.txt", O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = ::open("stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(out, 1);
    ::dup2(err, 2);
    ::setenv("XDG_CONFIG_HOME", xdg.c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // The signal is the crash under test: a sanitizer must not turn it into a report and an exit.
    const char* asan = std::getenv("ASAN_OPTIONS");
    const std::string options = std::string(asan ? asan : "") + (asan ? ":" : "") + "handle_segv=0";
    ::setenv("ASAN_OPTIONS", options.c_str(), 1);
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(121);
}

Outcome Collect(pid_t pid, const std::string& dir) {
    Outcome o;
    ::waitpid(pid, &o.status, 0);
    o.out = ReadTextFile(dir + "/stdout.txt");
    o.err = ReadTextFile(dir + "/stderr.txt");
    return o;
}

std::string LogBeside(const std::string& program) {
    return fs::path(program).parent_path().string() + "/LogLogin.txt";
}

unsigned ModeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 0777) : 0;
}

class SecretsThroughProcesses : public ::testing::Test {
protected:
    static void SetUpTestSuite() { sims_ = new SecretSims(30); }
    static void TearDownTestSuite() {
        delete sims_;
        sims_ = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(sims_->error.empty()) << sims_->error;
        xdg_ = env_.PathOf("xdg");
        fs::create_directories(xdg_ + "/orvane");
        registry_ = xdg_ + "/orvane/registry.reg";
        SetRegistryFilePath(registry_);
        run_ = env_.PathOf("run");
        fs::create_directories(run_);
    }

    // Stores one server per failure kind (the stalled one first when asked, so that a program
    // connecting at start goes there), checking the file stays private after each kind of
    // write the program makes.
    std::vector<FailureKind> StoreServers(int32_t timeout, bool stalledFirst = false) {
        auto kinds = FailureKinds(*sims_);
        if (stalledFirst)
            std::rotate(kinds.begin(), kinds.end() - 1, kinds.end());
        for (const FailureKind& kind : kinds) {
            ServerEntry e;
            e.Name = kind.server;
            e.SQLAuth = true;
            e.LoginName = kind.login;
            e.Pwd = kSecret;
            e.MRUDb = kind.database;
            ServerAddToList(e);
            EXPECT_EQ(ModeOf(registry_), 0600u) << "after adding";
        }
        SetRegDword(HKEY_CURRENT_USER, kKeyMav, "Timeout", timeout);
        EXPECT_EQ(ModeOf(registry_), 0600u) << "after a setting";
        StampVersion();
        SaveProgramLocation();
        EXPECT_EQ(ModeOf(registry_), 0600u) << "after the start-up writes";
        ServerEntry extra;
        extra.Name = "to remove";
        ServerAddToList(extra);
        RemoveServerFromList("to remove");
        EXPECT_EQ(ModeOf(registry_), 0600u) << "after removing";
        return kinds;
    }

    TestEnv env_;
    std::string xdg_, registry_, run_;
    static SecretSims* sims_;
};
SecretSims* SecretsThroughProcesses::sims_ = nullptr;

TEST_F(SecretsThroughProcesses, CommandLineFailuresPrintNoPassword) {
    const auto kinds = StoreServers(1);
    const std::string log = LogBeside(ORV_CLI_PATH);
    int checks = 0;
    for (const FailureKind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        const Outcome o = Collect(
            Spawn({ORV_CLI_PATH, "list", kind.server, kind.database, "tables"}, run_, xdg_), run_);
        EXPECT_TRUE(WIFEXITED(o.status) && WEXITSTATUS(o.status) == 2)
            << "status " << o.status << "\n"
            << o.out << o.err;
        EXPECT_FALSE(o.err.empty());
        EXPECT_EQ(SecretIn(o.out), "") << o.out;
        EXPECT_EQ(SecretIn(o.err), "") << o.err;
        EXPECT_EQ(SecretIn(ReadTextFile(log)), "") << log;
        checks += 3;
    }
    EXPECT_EQ(ModeOf(registry_), 0600u) << "after the command line learned server versions";
    std::printf("orvane-cli: %d secrets checks (3 places x %zu failure kinds)\n", checks,
                kinds.size());
}

// The comparison's login password comes from a file: whatever goes wrong, it is not printed
// nor logged, and it never was in the arguments.
TEST_F(SecretsThroughProcesses, CompareWithAPasswordFilePrintsNoPassword) {
    const std::string file = run_ + "/password.txt";
    {
        std::FILE* f = std::fopen(file.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fprintf(f, "%s\n", kSecret.c_str());
        std::fclose(f);
    }
    const std::string log = LogBeside(ORV_CLI_PATH);
    for (const FailureKind& kind : FailureKinds(*sims_)) {
        if (kind.name == "timeout")
            continue; // the comparison keeps the default command timeout
        SCOPED_TRACE(kind.name);
        const std::vector<std::string> argv = {
            ORV_CLI_PATH, "compare",     "--login",   kind.login,    "--password-file", file,
            kind.server,  kind.database, kind.server, kind.database, "tables",          "Orders"};
        for (const auto& word : argv)
            EXPECT_EQ(SecretIn(word), "");
        const Outcome o = Collect(Spawn(argv, run_, xdg_), run_);
        EXPECT_TRUE(WIFEXITED(o.status) && WEXITSTATUS(o.status) == 2)
            << "status " << o.status << "\n"
            << o.out << o.err;
        EXPECT_FALSE(o.err.empty());
        // It failed at the server, with the password read.
        EXPECT_EQ(o.err.find("password file"), std::string::npos) << o.err;
        EXPECT_EQ(SecretIn(o.out), "") << o.out;
        EXPECT_EQ(SecretIn(o.err), "") << o.err;
        EXPECT_EQ(SecretIn(ReadTextFile(log)), "") << log;
    }
}

// A crash while a query is under way: the process holds the password in memory, so a core file
// would hold it too.
class CrashWhileConnected : public SecretsThroughProcesses,
                            public ::testing::WithParamInterface<int> {};

TEST_P(CrashWhileConnected, LeavesNoCoreAndPrintsNoPassword) {
    // Wait for the stalled server without limit; the desktop program connects to it at start.
    const std::string stalled = StoreServers(0, true).front().server;
    SetRegDword(HKEY_CURRENT_USER, kKeyServers, "AutoConnect", 1);
    const int signal = GetParam();
    struct Program {
        std::vector<std::string> argv;
    };
    std::vector<Program> programs = {{{ORV_CLI_PATH, "list", stalled, "Sales", "tables"}}};
#ifdef ORVANE_PATH
    programs.push_back({{ORVANE_PATH}});
#endif
    for (const Program& p : programs) {
        SCOPED_TRACE(p.argv[0]);
        const std::string dir = run_ + "/" + fs::path(p.argv[0]).filename().string();
        fs::create_directories(dir);
        sims_->stalled->ClearStatements();
        const pid_t pid = Spawn(p.argv, dir, xdg_);
        // Crash it once its query has reached the stalled server.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (sims_->stalled->Statements().empty() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_FALSE(sims_->stalled->Statements().empty()) << "it never reached the server";
        ASSERT_EQ(::kill(pid, signal), 0);
        const Outcome o = Collect(pid, dir);
        ASSERT_TRUE(WIFSIGNALED(o.status)) << "status " << o.status;
        EXPECT_EQ(WTERMSIG(o.status), signal);
        EXPECT_FALSE(WCOREDUMP(o.status)) << "the crash dumped the process's memory";
        EXPECT_EQ(SecretIn(o.out + o.err), "") << o.out << o.err;
        EXPECT_EQ(SecretInFolder(dir), "");
        EXPECT_EQ(SecretIn(ReadTextFile(LogBeside(p.argv[0]))), "");
    }
    EXPECT_EQ(ModeOf(registry_), 0600u);
}

INSTANTIATE_TEST_SUITE_P(Signals, CrashWhileConnected, ::testing::Values(SIGSEGV, SIGABRT));

} // namespace
} // namespace orv::test
