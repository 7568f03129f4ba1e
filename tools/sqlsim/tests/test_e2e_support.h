// Starts the real sqlsim executable in a private temporary directory and runs Debian's own
// clients (tsql, isql) against it with private configuration files.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace sqlsim::e2e {

namespace fs = std::filesystem;

inline std::string readText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void writeText(const fs::path& p, const std::string& text) {
    std::ofstream out(p, std::ios::binary);
    out << text;
}

inline std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) {
        if (!l.empty() && l.back() == '\r')
            l.pop_back();
        out.push_back(l);
    }
    return out;
}

// A fresh directory per test, removed afterwards, so tests can run in parallel.
class TempDir {
public:
    TempDir() {
        std::string tmpl = (fs::temp_directory_path() / "sqlsim-e2e-XXXXXX").string();
        if (!::mkdtemp(tmpl.data()))
            throw std::runtime_error("mkdtemp");
        path_ = tmpl;
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// One running sqlsim. The constructor waits for the port file; the destructor stops the
// process with SIGTERM.
class Simulator {
public:
    Simulator(const TempDir& dir, const std::string& script, std::vector<std::string> extra = {})
        : dir_(dir.path()) {
        fs::create_directories(dir_ / "tmp");
        fs::path scriptPath = dir_ / "setup.sql";
        writeText(scriptPath, script);
        portFile_ = dir_ / "port";
        logFile_ = dir_ / "statements.log";
        std::vector<std::string> args = {SQLSIM_BIN,       "--port",           "0",
                                         "--port-file",    portFile_.string(), "--statement-log",
                                         logFile_.string()};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back(scriptPath.string());
        start(args);
    }

    ~Simulator() { stop(); }

    // Returns the exit status, or -1 if it had to be killed.
    int stop() {
        if (pid_ <= 0)
            return exitStatus_;
        ::kill(pid_, SIGTERM);
        for (int i = 0; i < 500; ++i) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                return exitStatus_;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
        return -1;
    }

    bool running() const { return port_ > 0; }
    int port() const { return port_; }
    pid_t pid() const { return pid_; }
    std::string stderrText() const { return readText(dir_ / "sqlsim.err"); }
    std::vector<std::string> statementLog() const { return lines(readText(logFile_)); }

    // Peak resident memory so far, in kB (VmHWM).
    long peakRssKb() const {
        std::ifstream in("/proc/" + std::to_string(pid_) + "/status");
        for (std::string l; std::getline(in, l);)
            if (l.rfind("VmHWM:", 0) == 0)
                return std::strtol(l.c_str() + 6, nullptr, 10);
        return -1;
    }

    // Waits for the process to end by itself (a failing start-up script); returns its exit code.
    int waitExit() {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    void start(const std::vector<std::string>& args) {
        fs::path err = dir_ / "sqlsim.err";
        pid_ = ::fork();
        if (pid_ == 0) {
            FILE* f = std::freopen(err.c_str(), "w", stderr);
            (void)f;
            // Its default data directory lands here, where a test can watch it go away.
            ::setenv("TMPDIR", (dir_ / "tmp").c_str(), 1);
            std::vector<char*> argv;
            for (const auto& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        // Start-up runs the scripts first; give it time, but notice an early exit.
        for (int i = 0; i < 3000; ++i) {
            if (fs::exists(portFile_)) {
                port_ = std::atoi(readText(portFile_).c_str());
                return;
            }
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                pid_ = -1;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    fs::path dir_;
    fs::path portFile_;
    fs::path logFile_;
    pid_t pid_ = -1;
    int port_ = 0;
    int exitStatus_ = -1;
};

// Private ODBC and FreeTDS configuration; nothing under /etc is read or written.
class ClientConfig {
public:
    ClientConfig(const TempDir& dir, int port, const std::string& tdsVersion = "7.3",
                 const std::string& database = "")
        : dir_(dir.path() / ("odbc-" + tdsVersion + database)) {
        fs::create_directories(dir_);
        writeText(dir_ / "odbcinst.ini",
                  "[FreeTDS]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so\n");
        writeText(dir_ / "odbc.ini",
                  "[sim]\nDriver=FreeTDS\nServer=127.0.0.1\nPort=" + std::to_string(port) +
                      "\nTDS_Version=" + tdsVersion + "\nClientCharset=UTF-8\n" +
                      (database.empty() ? "" : "Database=" + database + "\n"));
        writeText(dir_ / "freetds.conf", "[global]\n\tclient charset = UTF-8\n");
    }

    std::string env() const {
        return "ODBCSYSINI=" + dir_.string() + " ODBCINI=" + (dir_ / "odbc.ini").string() +
               " FREETDSCONF=" + (dir_ / "freetds.conf").string() + " ";
    }

    // Runs `command` (with the private configuration) feeding `input`; returns all output.
    std::string run(const std::string& command, const std::string& input) const {
        static std::atomic<int> counter{0};
        int n = counter++;
        fs::path in = dir_ / ("in" + std::to_string(n));
        fs::path out = dir_ / ("out" + std::to_string(n));
        writeText(in, input);
        std::string cmd =
            env() + "timeout 30 " + command + " < " + in.string() + " > " + out.string() + " 2>&1";
        int rc = std::system(cmd.c_str());
        (void)rc;
        return readText(out);
    }

    std::string isql(const std::string& user, const std::string& password,
                     const std::string& input) const {
        return run("isql -v -b sim '" + user + "' '" + password + "'", input);
    }

    std::string tsql(int port, const std::string& version, const std::string& user,
                     const std::string& password, const std::string& input) const {
        return run("tsql -H 127.0.0.1 -p " + std::to_string(port) + " -v " + version + " -U '" +
                       user + "' -P '" + password + "'",
                   input);
    }

    const fs::path& path() const { return dir_; }

private:
    fs::path dir_;
};

} // namespace sqlsim::e2e
