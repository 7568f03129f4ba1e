#include "sqlsim_process.h"

#include "crash_trace.h"
#include "test_env.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace orv::test {

namespace fs = std::filesystem;

std::string SqlsimExecutable() {
    if (const char* env = std::getenv("ORV_SQLSIM"); env && *env)
        return env;
#ifdef ORV_SQLSIM_PATH
    return ORV_SQLSIM_PATH;
#else
    return "sqlsim";
#endif
}

std::string FixtureFile(const std::string& name) {
#ifdef ORV_FIXTURES_DIR
    return std::string(ORV_FIXTURES_DIR) + "/" + name;
#else
    return "tests/fixtures/" + name;
#endif
}

std::string UnescapeLogText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        char c = text[++i];
        switch (c) {
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 't':
            out += '\t';
            break;
        default:
            out += c;
            break;
        }
    }
    return out;
}

SqlsimProcess::SqlsimProcess(SqlsimOptions options) : options_(std::move(options)) {}

SqlsimProcess::~SqlsimProcess() {
    Stop();
    if (!dir_.empty()) {
        const char* keep = std::getenv("ORV_KEEP_TEST_DIRS");
        if (!(keep && *keep == '1')) {
            std::error_code ec;
            fs::remove_all(dir_, ec);
        }
    }
}

std::string SqlsimProcess::ServerName() const {
    return "127.0.0.1," + std::to_string(port_);
}

bool SqlsimProcess::Start(std::string& error, int timeoutMs) {
    InstallCrashTrace();
    if (pid_ > 0) {
        error = "already running";
        return false;
    }
    if (dir_.empty()) {
        std::string tmpl = (fs::temp_directory_path() / "orv-sqlsim-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) {
            error = std::string("mkdtemp: ") + std::strerror(errno);
            return false;
        }
        dir_ = tmpl + "/";
    }
    portFile_ = dir_ + "port";
    statementLog_ = dir_ + "statements.log";
    stderrFile_ = dir_ + "stderr.txt";
    std::error_code ec;
    fs::remove(portFile_, ec);

    std::vector<std::string> args = {SqlsimExecutable(),
                                     "--port",
                                     std::to_string(listenPort_),
                                     "--port-file",
                                     portFile_,
                                     "--statement-log",
                                     statementLog_,
                                     "--version",
                                     options_.version,
                                     "--login",
                                     options_.login + ":" + options_.password};
    for (const auto& l : options_.extraLogins) {
        args.push_back("--login");
        args.push_back(l);
    }
    for (const auto& a : options_.extraArgs)
        args.push_back(a);
    for (const auto& f : options_.scriptFiles)
        args.push_back(f);
    for (size_t i = 0; i < options_.scriptTexts.size(); ++i) {
        std::string path = dir_ + "script" + std::to_string(i + 1) + ".sql";
        if (!WriteTextFile(path, options_.scriptTexts[i])) {
            error = "cannot write " + path;
            return false;
        }
        args.push_back(path);
    }

    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    pid_t pid = ::fork();
    if (pid < 0) {
        error = std::string("fork: ") + std::strerror(errno);
        return false;
    }
    if (pid == 0) {
        int fd = ::open(stderrFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
            ::dup2(fd, 2);
            ::dup2(fd, 1);
        }
        ::execv(argv[0], argv.data());
        std::fprintf(stderr, "exec %s: %s\n", argv[0], std::strerror(errno));
        ::_exit(127);
    }
    pid_ = pid;

    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        std::string text = ReadTextFile(portFile_);
        if (!text.empty() && text.back() == '\n') {
            port_ = std::atoi(text.c_str());
            if (port_ > 0)
                return true;
        }
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            error = "sqlsim ended before listening: " + StderrText();
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    Stop();
    error = "sqlsim did not write its port in time: " + StderrText();
    return false;
}

bool SqlsimProcess::Restart(std::string& error, int timeoutMs) {
    Stop();
    listenPort_ = port_;
    const bool started = Start(error, timeoutMs);
    listenPort_ = 0;
    return started;
}

void SqlsimProcess::Stop() {
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGTERM);
    for (int i = 0; i < 250; ++i) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

std::vector<LoggedStatement> SqlsimProcess::Statements() const {
    std::vector<LoggedStatement> out;
    std::istringstream in(ReadTextFile(statementLog_));
    std::string line;
    size_t index = 0;
    while (std::getline(in, line)) {
        if (index++ < logSkip_)
            continue;
        LoggedStatement s;
        size_t t1 = line.find('\t');
        size_t t2 = t1 == std::string::npos ? t1 : line.find('\t', t1 + 1);
        if (t2 == std::string::npos) {
            s.sql = UnescapeLogText(line);
        } else {
            s.database = UnescapeLogText(line.substr(0, t1));
            s.login = UnescapeLogText(line.substr(t1 + 1, t2 - t1 - 1));
            s.sql = UnescapeLogText(line.substr(t2 + 1));
        }
        out.push_back(std::move(s));
    }
    return out;
}

void SqlsimProcess::ClearStatements() {
    std::istringstream in(ReadTextFile(statementLog_));
    std::string line;
    size_t n = 0;
    while (std::getline(in, line))
        ++n;
    logSkip_ = n;
}

std::string SqlsimProcess::StderrText() const {
    return ReadTextFile(stderrFile_);
}

} // namespace orv::test
