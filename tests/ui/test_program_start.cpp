// Starts the real program in a folder of its own with a fresh configuration folder.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
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

TEST(ProgramStart, FreshConfigurationWritesTheFirstLogLineAndTheVersionStamp) {
    std::string pattern = (fs::temp_directory_path() / "orvstart-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const fs::path root = pattern;
    // The program folder is the executable's folder, so the program gets a copy of its own.
    fs::create_directories(root / "program");
    fs::copy_file(ORVANE_BIN, root / "program" / "orvane");
    const fs::path config = root / "config";

    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        ::setenv("HOME", root.c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::execl((root / "program" / "orvane").c_str(), "orvane", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    const fs::path log = root / "program" / "LogLogin.txt";
    std::string text;
    for (int i = 0; i < 200 && text.find("Starting logging, sub Main") == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        text = ReadFile(log);
    }
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);

    EXPECT_NE(text.find("     Starting logging, sub Main\r\n"), std::string::npos) << text;
    const std::string reg = ReadFile(config / "orvane" / "registry.reg");
    EXPECT_NE(reg.find("[HKEY_CURRENT_USER\\Software\\MAV]"), std::string::npos) << reg;
    EXPECT_NE(reg.find("\"VerNum\"=\"1.0\""), std::string::npos) << reg;
    EXPECT_NE(reg.find("\"Location\"=\"" + (root / "program").string() + "/\""), std::string::npos)
        << reg;
    fs::remove_all(root);
}

} // namespace
