// Runs the SQL Server simulator as a child process for one test: its own temporary folder,
// a free loopback port, the given T-SQL scripts loaded, every received statement logged.
// The process is stopped with SIGTERM when the object goes away.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace orv::test {

struct SqlsimOptions {
    // Login accepted by the simulator; the password may hold any character but NUL.
    std::string login = "sa";
    std::string password = "Sim#Pass1";
    // Further NAME:PASSWORD logins.
    std::vector<std::string> extraLogins;
    // The product version the simulator reports ("8.00.2039" poses as a 2000 server).
    std::string version = "8.00.2039";
    // Script files to load, in order (paths, e.g. from FixtureFile).
    std::vector<std::string> scriptFiles;
    // Script texts to load after the files; each is written to a file in the temporary folder.
    std::vector<std::string> scriptTexts;
    // Anything else for the command line.
    std::vector<std::string> extraArgs;
};

// One statement as the simulator received it.
struct LoggedStatement {
    std::string database;
    std::string login;
    std::string sql; // unescaped
};

class SqlsimProcess {
public:
    explicit SqlsimProcess(SqlsimOptions options = {});
    ~SqlsimProcess();
    SqlsimProcess(const SqlsimProcess&) = delete;
    SqlsimProcess& operator=(const SqlsimProcess&) = delete;

    // Starts the simulator and waits (up to `timeoutMs`) until it has written its port.
    // On failure `error` says why, including what the simulator wrote to standard error.
    bool Start(std::string& error, int timeoutMs = 15000);
    // SIGTERM, then waits; SIGKILL when it does not end within a few seconds.
    void Stop();
    // After Stop: starts again on the same port, as a server that was restarted.
    bool Restart(std::string& error, int timeoutMs = 15000);
    bool Running() const { return pid_ > 0; }

    int Port() const { return port_; }
    // "127.0.0.1,PORT", the server name as a user types it.
    std::string ServerName() const;
    const SqlsimOptions& Options() const { return options_; }
    const std::string& Dir() const { return dir_; }

    // Every statement logged so far, in order.
    std::vector<LoggedStatement> Statements() const;
    // Forgets the statements logged so far (Statements() then shows only later ones).
    void ClearStatements();
    std::string StderrText() const;

private:
    SqlsimOptions options_;
    std::string dir_;
    std::string portFile_;
    std::string statementLog_;
    std::string stderrFile_;
    size_t logSkip_ = 0;
    pid_t pid_ = -1;
    int port_ = 0;
    int listenPort_ = 0; // 0: any free port
};

// Path of the simulator executable: $ORV_SQLSIM, else the one built with the tests.
std::string SqlsimExecutable();
// Path of a file in tests/fixtures.
std::string FixtureFile(const std::string& name);
// Undoes the statement log's escaping of backslash, CR, LF and TAB.
std::string UnescapeLogText(const std::string& text);

} // namespace orv::test
