#include "dbcompare/scratch_server.h"

#include "core/file_io.h"
#include "servers/server_facts.h"
#include "util/text.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <signal.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace orv {

namespace fs = std::filesystem;

namespace {

bool Executable(const std::string& path) {
    return !path.empty() && ::access(path.c_str(), X_OK) == 0 && !fs::is_directory(path);
}

std::string NewPassword() {
    static const char kChars[] = "ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz23456789";
    std::random_device random;
    std::string password = "Orv#";
    for (int i = 0; i < 20; ++i)
        password += kChars[random() % (sizeof kChars - 1)];
    return password;
}

} // namespace

std::string FindSimulatorProgram() {
    if (const char* env = std::getenv("ORVANE_SQLSIM"); env && *env)
        return Executable(env) ? env : "";
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const std::string beside = (self.parent_path() / "orvane-sqlsim").string();
        if (Executable(beside))
            return beside;
    }
    if (const char* path = std::getenv("PATH"))
        for (const std::string& dir : Split(path, ":"))
            if (!dir.empty() && Executable(dir + "/orvane-sqlsim"))
                return dir + "/orvane-sqlsim";
    return "";
}

ScratchServer::~ScratchServer() {
    Stop();
}

bool ScratchServer::Start(const std::string& program, const std::string& version,
                          std::string& error) {
    Stop();
    std::string tmpl = (fs::temp_directory_path() / "orvane-folder-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) {
        error = std::string("cannot make a temporary folder: ") + std::strerror(errno);
        return false;
    }
    dir_ = tmpl;
    const std::string portFile = dir_ + "/port";
    const std::string errFile = dir_ + "/stderr.txt";
    const std::string password = NewPassword();
    std::vector<std::string> args = {program,
                                     "--host",
                                     "127.0.0.1",
                                     "--port",
                                     "0",
                                     "--port-file",
                                     portFile,
                                     "--version",
                                     version,
                                     "--login",
                                     "orvane:" + password};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) {
        error = std::string("cannot start the simulator: ") + std::strerror(errno);
        return false;
    }
    if (pid == 0) {
        const int fd = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd >= 0) {
            ::dup2(fd, 1);
            ::dup2(fd, 2);
        }
        ::execv(argv[0], argv.data());
        std::fprintf(stderr, "cannot run %s: %s\n", argv[0], std::strerror(errno));
        ::_exit(127);
    }
    pid_ = pid;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        const std::string text = ReadWholeFile(portFile).value_or("");
        if (!text.empty() && text.back() == '\n' && std::atoi(text.c_str()) > 0) {
            entry_ = ServerEntry{};
            entry_.Name = "127.0.0.1," + std::to_string(std::atoi(text.c_str()));
            entry_.SQLAuth = true;
            entry_.LoginName = "orvane";
            entry_.Pwd = password;
            entry_.Version = version;
            entry_.VersionMajor = VersionMajorOf(version);
            entry_.Encryption = "off";
            return true;
        }
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            error = "the simulator " + program +
                    " ended before it listened: " + Trim(ReadWholeFile(errFile).value_or(""));
            Stop();
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    error = "the simulator " + program + " did not start listening in time.";
    Stop();
    return false;
}

void ScratchServer::Stop() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        bool ended = false;
        for (int i = 0; i < 250 && !ended; ++i) {
            int status = 0;
            ended = ::waitpid(pid_, &status, WNOHANG) == pid_;
            if (!ended)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (!ended) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        pid_ = -1;
    }
    if (!dir_.empty()) {
        std::error_code ec;
        fs::remove_all(dir_, ec);
        dir_.clear();
    }
}

} // namespace orv
