// Ctrl-C in every long orvane-cli command: each is started against a server that stalls every
// statement, interrupted once it is waiting, and must end on its own (not by the signal) soon
// after, with status 2, the stop named on standard error, and no report or script file left.
#include "core/registry.h"
#include "core/saved_comparison.h"
#include "core/settings.h"
#include "fault_database.h"
#include "servers/server_list.h"
#include "test_catalog_sim.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <thread>
#include <unistd.h>

namespace orv {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Every statement waits this long unless the client cancels it.
constexpr int kStallSeconds = 30;

struct Interrupted {
    const char* command;
    // The words after the program's name; "{S}" is the server, "{F}" and "{G}" files.
    std::vector<std::string> words;
    // Files the stopped run must not have written.
    std::vector<std::string> untouched;
    bool quietStdout; // nothing at all on standard output
};

struct Ended {
    bool byItself = false;
    int status = -1;
    Clock::duration afterSignal{};
    std::string out;
    std::string err;
};

class CliInterrupt : public test::BothVersions {
protected:
    void SetUp() override {
        test::SqlsimOptions o;
        o.version = GetParam();
        o.scriptTexts = {test::FaultScript()};
        o.extraArgs = {"--fault-stall", std::to_string(kStallSeconds)};
        sim_ = std::make_unique<test::SqlsimProcess>(o);
        std::string error;
        ASSERT_TRUE(sim_->Start(error)) << error;
        // The version is stored, so every statement the server sees belongs to the command.
        ServerEntry stored;
        stored.Name = sim_->ServerName();
        stored.SQLAuth = true;
        stored.LoginName = o.login;
        stored.Pwd = o.password;
        stored.Version = o.version;
        ServerAddToList(stored);
        SetRegDword(HKEY_CURRENT_USER, kKeyMav, "Timeout", test::kFaultTimeoutSeconds);
        home_ = env_.PathOf("xdg");
        fs::create_directories(home_ + "/orvane");
        fs::create_directories(home_ + "/Documents");
        ComparisonDescription d;
        d.CompType = kCompTypeStructure;
        d.CompSubType = kCompSubTypeAllObjects;
        d.EncObjTypes = "1,1,0,0,0,0,0";
        d.ServerName[0] = d.ServerName[1] = stored.Name;
        d.DbName[0] = d.DbName[1] = "FaultDb";
        d.SavedFullExportFilePath = File("saved.csv");
        d.ExportType = ExportTypeOf(d.SavedFullExportFilePath);
        d.TableId[0] = d.TableId[1] = "0";
        ASSERT_EQ(SaveComparisonProcess(home_ + "/Documents/orv_comps.ini", d), 1);
        fs::copy_file(env_.RegistryFile(), home_ + "/orvane/registry.reg");
    }

    std::string File(const std::string& name) const { return home_ + "/" + name; }

    std::string Expand(std::string word) const {
        for (const auto& [mark, value] : std::map<std::string, std::string>{
                 {"{S}", sim_->ServerName()}, {"{F}", File("f.out")}, {"{G}", File("g.out")}})
            for (size_t at = word.find(mark); at != std::string::npos; at = word.find(mark))
                word.replace(at, mark.size(), value);
        return word;
    }

    // Starts the command, sends SIGINT once the server holds one of its statements, and waits
    // for the end (killing it after a generous limit, so a hang fails instead of blocking).
    Ended RunAndInterrupt(const Interrupted& c) {
        std::vector<std::string> words = {ORV_CLI_PATH};
        for (const std::string& w : c.words)
            words.push_back(Expand(w));
        std::vector<char*> argv;
        for (std::string& w : words)
            argv.push_back(w.data());
        argv.push_back(nullptr);
        const std::string outFile = File("stdout.txt"), errFile = File("stderr.txt");
        sim_->ClearStatements();
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::setenv("XDG_CONFIG_HOME", home_.c_str(), 1);
            ::setenv("HOME", home_.c_str(), 1);
            ::dup2(::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
            ::dup2(::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        Ended e;
        if (pid < 0)
            return e;
        // The first statement reaching the server is held there for kStallSeconds.
        for (auto until = Clock::now() + std::chrono::seconds(10);
             sim_->Statements().empty() && Clock::now() < until;)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ::kill(pid, SIGINT);
        const auto signalled = Clock::now();
        int raw = 0;
        while (::waitpid(pid, &raw, WNOHANG) == 0) {
            if (Clock::now() - signalled > std::chrono::seconds(kStallSeconds / 2)) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &raw, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        e.afterSignal = Clock::now() - signalled;
        e.byItself = WIFEXITED(raw);
        e.status = e.byItself ? WEXITSTATUS(raw) : -1;
        e.out = test::ReadTextFile(outFile);
        e.err = test::ReadTextFile(errFile);
        return e;
    }

    test::TestEnv env_;
    std::unique_ptr<test::SqlsimProcess> sim_;
    std::string home_;
};

TEST_P(CliInterrupt, EveryLongCommandStopsOnControlC) {
    const Interrupted commands[] = {
        {"find", {"find", "{S}", "FaultDb", "P*", "--in", "names,texts"}, {}, false},
        {"check-refs", {"check-refs", "{S}", "FaultDb"}, {}, false},
        {"analyze", {"analyze", "{S}", "FaultDb", "T01"}, {}, false},
        {"dbinfo", {"dbinfo", "{S}", "FaultDb"}, {}, true},
        {"compare-all",
         {"compare-all", "--format", "csv", "--output", "{F}", "{S}", "FaultDb", "{S}", "FaultDb"},
         {"{F}"},
         true},
        {"compare-data",
         {"compare-data", "--tables", "dbo.T01", "--script", "{F}", "--rows", "{G}", "{S}",
          "FaultDb", "{S}", "FaultDb"},
         {"{F}", "{G}"},
         false},
        {"run-saved", {"run-saved", "1"}, {"{F}", File("saved.csv")}, true},
        {"run-saved --output", {"run-saved", "1", "--output", "{F}"}, {"{F}"}, true},
    };
    // A statement the token cannot reach ends at the command timeout; allow that and a second.
    const auto limit = std::chrono::seconds(test::kFaultTimeoutSeconds + 1);
    for (const Interrupted& c : commands) {
        const Ended e = RunAndInterrupt(c);
        EXPECT_TRUE(e.byItself) << c.command << ": ended by the signal, not by its own Stop";
        EXPECT_EQ(e.status, 2) << c.command << "\n" << e.err;
        EXPECT_LT(e.afterSignal, limit)
            << c.command << " took "
            << std::chrono::duration_cast<std::chrono::milliseconds>(e.afterSignal).count()
            << " ms after Ctrl-C";
        EXPECT_NE(e.err.find("Stopped by the user."), std::string::npos) << c.command << "\n"
                                                                         << e.err;
        // A statement that timed out while the run was stopping does not make it a failure.
        for (size_t at = e.err.find("did not complete"); at != std::string::npos;
             at = e.err.find("did not complete", at + 1)) {
            EXPECT_EQ(e.err.compare(at, 38, "did not complete: Stopped by the user."), 0)
                << c.command << "\n"
                << e.err;
        }
        for (const std::string& file : c.untouched) {
            EXPECT_FALSE(fs::exists(Expand(file))) << c.command << " wrote " << Expand(file);
        }
        if (c.quietStdout) {
            EXPECT_EQ(e.out, "") << c.command;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, CliInterrupt,
                         ::testing::Values(test::kVersion2000, test::kVersion2008),
                         test::VersionName);

} // namespace
} // namespace orv
