// The real program's first start on a registry file an earlier release wrote, with its
// passwords: run by tests/support/with-keyring, the passwords move into the session's keyring
// and the file is rewritten without them; run with --no-bus, the file stays the store and the
// log says so.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// What `command` prints on its standard output.
std::string Output(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, p))
            out += buffer;
        ::pclose(p);
    }
    return out;
}

class FirstStart : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "orvkeyring-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        fs::create_directories(root_ / "program");
        fs::copy_file(ORVANE_BIN, root_ / "program" / "orvane");
        fs::create_directories(root_ / "config" / "orvane");
        std::ofstream(root_ / "config" / "orvane" / "registry.reg")
            << "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\MAV\\Servers]\n\"Count\"=dword:"
               "00000001\n\n"
               "[HKEY_CURRENT_USER\\Software\\MAV\\Servers\\Server1]\n\"Name\"=\"OLD\\\\ONE\"\n"
               "\"SQLAuth\"=dword:00000001\n\"LoginName\"=\"sa\"\n\"Pwd\"=\"old secret\"\n"
               "\"MRUDb\"=\"master\"\n\n";
        fs::permissions(root_ / "config" / "orvane" / "registry.reg",
                        fs::perms::owner_read | fs::perms::owner_write);
    }
    void TearDown() override { fs::remove_all(root_); }

    // Starts the program, waits for `line` in its log, and ends it.
    std::string LogAfterStart(const std::string& line) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
            ::execl((root_ / "program" / "orvane").c_str(), "orvane", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        std::string text;
        for (int i = 0; i < 300 && text.find(line) == std::string::npos; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            text = ReadFile(root_ / "program" / "LogLogin.txt");
        }
        ::kill(pid, SIGTERM);
        int status = 0;
        ::waitpid(pid, &status, 0);
        return text;
    }
    std::string Registry() const { return ReadFile(root_ / "config" / "orvane" / "registry.reg"); }

    fs::path root_;
};

TEST_F(FirstStart, MovesTheFilesPasswordsIntoTheKeyring) {
    const std::string notice = "Stored passwords moved to the desktop keyring: 1 server.";
    const std::string log = LogAfterStart(notice);
    EXPECT_NE(log.find(notice), std::string::npos) << log;
    EXPECT_EQ(Registry().find("old secret"), std::string::npos) << Registry();
    EXPECT_NE(Registry().find("\"LoginName\"=\"sa\""), std::string::npos) << Registry();
    // QtKeychain files a secret under the attributes server (our service) and user (account).
    EXPECT_EQ(Output("secret-tool lookup server orvane user 'OLD\\ONE\\sa'"), "old secret");
}

TEST_F(FirstStart, WithoutAKeyringKeepsThePasswordsInTheFileAndSaysSo) {
    const std::string line = "No desktop keyring answers. Passwords are kept in " +
                             (root_ / "config" / "orvane" / "registry.reg").string() +
                             " (readable only by you).";
    const std::string log = LogAfterStart(line);
    EXPECT_NE(log.find(line), std::string::npos) << log;
    EXPECT_NE(Registry().find("\"Pwd\"=\"old secret\""), std::string::npos) << Registry();
}

} // namespace
