// Two running copies of the program's server and options windows on one configuration folder:
// every completed add, removal and options save must be in the registry file afterwards, the
// file must parse and stay private, and a copy killed mid-way must not cost the file.
#include "concurrent_dialogs_journal.h"
#include "core/password_store.h"
#include "core/registry.h"
#include "core/registry_document.h"
#include "keyring/keyring_store.h"
#include "servers/server_list.h"
#include "sqlsim_process.h"
#include "test_env.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace orv::test {
namespace {

namespace fs = std::filesystem;

constexpr int kCopies = 8; // logins exist for copies 0..7
constexpr int kMaxSteps = 60;
constexpr int kSeeded = 3;

std::string SeedName(int i) {
    return "Seed Server " + std::to_string(i);
}

// The options as stored, in the form of OptionSet::Text(); "" when none was ever saved.
std::string StoredOptionsText(const RegistryDocument& doc) {
    if (!QueryRegDword(doc, HKEY_CURRENT_USER, kKeyMav, "MaxRowsInDiffTable"))
        return "";
    OptionSet now;
    for (size_t i = 0; i < kOptionChecks.size(); ++i)
        now.checks[i] = GetRegDword(doc, HKEY_CURRENT_USER, kOptionChecks[i].key,
                                    kOptionChecks[i].value, -1) == 1;
    now.serverSide =
        GetRegDword(doc, HKEY_CURRENT_USER, kKeyServers, "CursorConnectionUseServer", -1) == 1;
    now.maxRows = GetRegDword(doc, HKEY_CURRENT_USER, kKeyMav, "MaxRowsInDiffTable", -1);
    now.cacheSize = GetRegDword(doc, HKEY_CURRENT_USER, kKeyMav, "CacheSize", -1);
    return now.Text();
}

class ConcurrentCopies : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        SqlsimOptions options;
        for (int c = 0; c < kCopies; ++c)
            for (int i = 0; i < kMaxSteps; ++i)
                options.extraLogins.push_back(LoginFor(c, i) + ":" + PasswordFor(c, i));
        sim_ = new SqlsimProcess(options);
        std::string error;
        if (!sim_->Start(error))
            startError_ = error.empty() ? "simulator did not start" : error;
    }
    static void TearDownTestSuite() {
        delete sim_;
        sim_ = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(startError_.empty()) << startError_;
        xdg_ = env_.PathOf("xdg");
        folder_ = xdg_ + "/orvane";
        fs::create_directories(folder_);
        file_ = folder_ + "/registry.reg";
        SetRegistryFilePath(file_);
        // Run by tests/support/with-keyring, the copies keep their passwords in one keyring.
        keyring_ = UseDesktopKeyringWhenAvailable();
        for (int i = 1; i <= kSeeded; ++i) {
            ServerEntry e;
            e.Name = SeedName(i);
            e.SQLAuth = true;
            e.LoginName = "seed";
            e.Pwd = "seed pw " + std::to_string(i);
            e.MRUDb = "master";
            ServerAddToList(e);
        }
    }

    pid_t StartCopy(int copy, int ops, bool onlyOptions = false, bool untilKilled = false) {
        const std::string dir = env_.PathOf("copy" + std::to_string(copy));
        fs::create_directories(dir);
        journals_[copy] = dir + "/journal.txt";
        std::vector<std::string> args = {ORV_CONC_DRIVER_PATH,
                                         "--copy",
                                         std::to_string(copy),
                                         "--ops",
                                         std::to_string(ops),
                                         "--port",
                                         std::to_string(sim_->Port()),
                                         "--journal",
                                         journals_[copy],
                                         "--program-dir",
                                         dir,
                                         "--only-options",
                                         onlyOptions ? "1" : "0",
                                         "--until-killed",
                                         untilKilled ? "1" : "0"};
        // The offscreen platform's complaints about window hints would drown the test's output.
        std::vector<std::string> envs = {"XDG_CONFIG_HOME=" + xdg_, "QT_QPA_PLATFORM=offscreen",
                                         "QT_LOGGING_RULES=qt.qpa.*=false",
                                         "XDG_RUNTIME_DIR=" + env_.Dir()};
        for (char** e = environ; *e; ++e) {
            const std::string var = *e;
            if (var.rfind("XDG_CONFIG_HOME=", 0) != 0 && var.rfind("QT_QPA_PLATFORM=", 0) != 0 &&
                var.rfind("QT_LOGGING_RULES=", 0) != 0 && var.rfind("XDG_RUNTIME_DIR=", 0) != 0)
                envs.push_back(var);
        }
        std::vector<char*> argv, envp;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        for (auto& e : envs)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        pid_t pid = -1;
        EXPECT_EQ(::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()), 0);
        return pid;
    }

    static int WaitFor(pid_t pid) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        return status;
    }

    // Checks the file against every journal: `copies` lists the copies that ran.
    void CheckFile(const std::vector<int>& copies, const std::set<std::string>& alsoStored) {
        struct stat st {};
        ASSERT_EQ(::stat(file_.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        for (const auto& entry : fs::directory_iterator(folder_)) {
            const std::string name = entry.path().filename().string();
            EXPECT_TRUE(name == "registry.reg" || name == "registry.reg.lock")
                << "left in the configuration folder: " << name;
        }

        bool readable = false;
        const RegistryDocument doc = RegistryDocument::Parse(ReadTextFile(file_), &readable);
        ASSERT_TRUE(readable) << "the registry file no longer parses";

        // What the file holds, by name.
        const int32_t count = GetRegDword(doc, HKEY_CURRENT_USER, kKeyServers, "Count", -1);
        std::map<std::string, ServerEntry> stored;
        for (int32_t i = 1; i <= count; ++i) {
            ASSERT_TRUE(doc.HasKey("HKEY_CURRENT_USER\\" + ServerKeyPath(i))) << "gap at " << i;
            ServerEntry e;
            const std::string key = ServerKeyPath(i);
            e.Name = GetRegString(doc, HKEY_CURRENT_USER, key, "Name", "");
            e.SQLAuth = GetRegDword(doc, HKEY_CURRENT_USER, key, "SQLAuth", 0) == 1;
            e.LoginName = GetRegString(doc, HKEY_CURRENT_USER, key, "LoginName", "");
            e.Pwd = GetRegString(doc, HKEY_CURRENT_USER, key, "Pwd", "");
            e.MRUDb = GetRegString(doc, HKEY_CURRENT_USER, key, "MRUDb", "");
            EXPECT_TRUE(stored.emplace(e.Name, e).second) << "stored twice: " << e.Name;
        }
        EXPECT_FALSE(doc.HasKey("HKEY_CURRENT_USER\\" + ServerKeyPath(count + 1)));

        // What the journals say must be there, must be gone, or may be either.
        std::map<std::string, std::pair<int, int>> added; // name -> (copy, step)
        std::set<std::string> mustHave, mustLack, mayHave;
        std::vector<std::pair<JournalEvent, JournalEvent>> saves; // (begin, done)
        std::vector<JournalEvent> unfinishedSaves;
        for (int copy : copies) {
            const auto events = ParseJournal(ReadTextFile(journals_[copy]));
            std::map<std::string, int> stepOf;
            for (int i = 0; i < kMaxSteps; ++i)
                stepOf[ServerNameFor(copy, i, sim_->Port())] = i;
            std::map<std::string, JournalEvent> open;
            for (const auto& e : events) {
                const std::string id = e.kind + " " + e.what;
                if (!e.done) {
                    open[id] = e;
                    if (e.kind == "ADD") {
                        added[e.what] = {copy, stepOf.at(e.what)};
                        mayHave.insert(e.what);
                    } else if (e.kind == "DEL") {
                        mustHave.erase(e.what);
                        mayHave.insert(e.what);
                    }
                    continue;
                }
                if (e.kind == "ADD") {
                    mustHave.insert(e.what);
                    ++completed_;
                } else if (e.kind == "DEL") {
                    mayHave.erase(e.what);
                    mustLack.insert(e.what);
                    ++completed_;
                } else if (e.kind == "OPT") {
                    saves.push_back({open.at(id), e});
                    ++completed_;
                }
                open.erase(id);
            }
            for (const auto& [id, e] : open) {
                ++inFlight_;
                if (e.kind == "OPT")
                    unfinishedSaves.push_back(e);
            }
        }
        for (const auto& n : mustHave)
            mayHave.erase(n);
        for (int i = 1; i <= kSeeded; ++i)
            mustHave.insert(SeedName(i));
        mustHave.insert(alsoStored.begin(), alsoStored.end());

        for (const auto& n : mustHave)
            EXPECT_TRUE(stored.count(n)) << "a completed add was lost: " << n;
        for (const auto& n : mustLack) {
            EXPECT_FALSE(stored.count(n)) << "a completed removal came back: " << n;
            const auto it = added.find(n);
            if (!keyring_ || it == added.end())
                continue;
            std::string password, error;
            EXPECT_EQ(CurrentPasswordStore()->Read(
                          PasswordAccount(n, LoginFor(it->second.first, it->second.second)),
                          password, error),
                      SecretRead::Missing)
                << "the secret of a removed server stayed: " << n;
        }
        for (const auto& [name, e] : stored) {
            EXPECT_TRUE(mustHave.count(name) || mayHave.count(name)) << "never added: " << name;
            auto it = added.find(name);
            if (it == added.end())
                continue;
            const auto [copy, step] = it->second;
            EXPECT_TRUE(e.SQLAuth) << name;
            EXPECT_EQ(e.LoginName, LoginFor(copy, step)) << name;
            if (keyring_) {
                EXPECT_EQ(e.Pwd, "") << "a password in the file: " << name;
                std::string password, error;
                EXPECT_EQ(CurrentPasswordStore()->Read(PasswordAccount(name, e.LoginName), password,
                                                       error),
                          SecretRead::Found)
                    << name << ": " << error;
                EXPECT_EQ(password, PasswordFor(copy, step)) << name;
            } else {
                EXPECT_EQ(e.Pwd, PasswordFor(copy, step)) << name;
            }
            EXPECT_EQ(e.MRUDb, "master") << name;
        }

        if (saves.empty())
            return;
        // The stored options are one whole save, and no save that began after it had been
        // completed (so certainly wrote later) may have been overtaken by it.
        const std::string text = StoredOptionsText(doc);
        int64_t storedDone = -1;
        bool found = false;
        for (const auto& [begin, done] : saves)
            if (done.what == text) {
                found = true;
                storedDone = done.ns;
            }
        for (const auto& begin : unfinishedSaves)
            if (begin.what == text) {
                found = true;
                storedDone = INT64_MAX; // it may have reached the file just before the kill
            }
        ASSERT_TRUE(found) << "the stored options are no save's whole set: " << text;
        for (const auto& [begin, done] : saves)
            EXPECT_FALSE(begin.ns > storedDone)
                << "options saved later were overwritten: " << done.what << " by " << text;
    }

    TestEnv env_;
    bool keyring_ = false;
    std::string xdg_, folder_, file_;
    std::map<int, std::string> journals_;
    int completed_ = 0;
    int inFlight_ = 0;
    static SqlsimProcess* sim_;
    static std::string startError_;
};
SqlsimProcess* ConcurrentCopies::sim_ = nullptr;
std::string ConcurrentCopies::startError_;

TEST_F(ConcurrentCopies, TwoCopiesAddRemoveAndSaveOptionsAtOnceLoseNothing) {
    constexpr int kOps = 45;
    const auto start = std::chrono::steady_clock::now();
    const pid_t a = StartCopy(0, kOps);
    const pid_t b = StartCopy(1, kOps);
    const int sa = WaitFor(a);
    const int sb = WaitFor(b);
    EXPECT_TRUE(WIFEXITED(sa) && WEXITSTATUS(sa) == 0) << "copy 0 status " << sa;
    EXPECT_TRUE(WIFEXITED(sb) && WEXITSTATUS(sb) == 0) << "copy 1 status " << sb;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    CheckFile({0, 1}, {});
    EXPECT_EQ(inFlight_, 0);
    // 45 adds, 15 removals and 22 + kFinalSaves options saves per copy.
    EXPECT_EQ(completed_, 2 * (45 + 15 + 22 + kFinalSaves));
    std::printf("two copies: %d steps each, %d completed changes checked, %.1f s\n", kOps,
                completed_, seconds);
}

TEST_F(ConcurrentCopies, TwoCopiesSavingOptionsTogetherLeaveOneWholeSetAtEveryMoment) {
    constexpr int kSaves = 40;
    std::set<std::string> wholeSets = {""};
    for (int copy = 0; copy < 2; ++copy)
        for (int i = 0; i < kSaves + kFinalSaves; ++i)
            wholeSets.insert(OptionSetFor(copy, i).Text());
    const pid_t a = StartCopy(0, kSaves, true);
    const pid_t b = StartCopy(1, kSaves, true);
    // What a third copy reading the options meanwhile would see: one save's set, never half.
    int looks = 0, torn = 0;
    int sa = 0, sb = 0;
    bool aDone = false, bDone = false;
    while (!aDone || !bDone) {
        const std::string text = StoredOptionsText(RegistrySnapshot());
        ++looks;
        if (!wholeSets.count(text) && ++torn == 1)
            ADD_FAILURE() << "a reader saw half of a save: " << text;
        std::this_thread::sleep_for(std::chrono::microseconds(500));
        aDone = aDone || ::waitpid(a, &sa, WNOHANG) == a;
        bDone = bDone || ::waitpid(b, &sb, WNOHANG) == b;
    }
    EXPECT_TRUE(WIFEXITED(sa) && WEXITSTATUS(sa) == 0) << "copy 0 status " << sa;
    EXPECT_TRUE(WIFEXITED(sb) && WEXITSTATUS(sb) == 0) << "copy 1 status " << sb;
    EXPECT_EQ(torn, 0) << "of " << looks << " looks";
    CheckFile({0, 1}, {});
    EXPECT_EQ(completed_, 2 * (kSaves + kFinalSaves));
    std::printf("options only: %d saves per copy, %d looks by a reader meanwhile\n",
                kSaves + kFinalSaves, looks);
}

TEST_F(ConcurrentCopies, CopyKilledMidwayLeavesAParseableFileWithEveryCompletedChange) {
    // What a copy killed between writing its new file and renaming it leaves behind.
    const std::string leftover = file_ + ".tmp.4194303";
    ASSERT_TRUE(WriteTextFile(leftover, ReadTextFile(file_)));
    std::mt19937 random(20240611);
    int kills = 0;
    std::set<std::string> afterKills;
    for (int round = 0; round < 3; ++round) {
        const int victim = 2 + round * 2;
        const pid_t killed = StartCopy(victim, kMaxSteps, false, true);
        const pid_t survivor = StartCopy(victim + 1, 30);
        std::this_thread::sleep_for(
            std::chrono::milliseconds(std::uniform_int_distribution<int>(300, 1500)(random)));
        ASSERT_EQ(::kill(killed, SIGKILL), 0);
        const int sk = WaitFor(killed);
        EXPECT_TRUE(WIFSIGNALED(sk) && WTERMSIG(sk) == SIGKILL) << "status " << sk;
        ++kills;
        const int ss = WaitFor(survivor);
        EXPECT_TRUE(WIFEXITED(ss) && WEXITSTATUS(ss) == 0) << "survivor status " << ss;
        // A write after the kill, in case the survivor had none: it must clear what the killed
        // copy left behind.
        ServerEntry e;
        e.Name = "After kill " + std::to_string(round);
        ServerAddToList(e);
        afterKills.insert(e.Name);
    }
    CheckFile({2, 3, 4, 5, 6, 7}, afterKills);
    std::printf("kills: %d, completed changes checked: %d, in flight when killed: %d\n", kills,
                completed_, inFlight_);
}

} // namespace
} // namespace orv::test
