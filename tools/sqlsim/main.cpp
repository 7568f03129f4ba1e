// sqlsim: serves T-SQL databases kept in SQLite over TDS on a loopback port.
#include "engine/engine.h"
#include "wire/options.h"
#include "wire/provider.h"
#include "wire/server.h"
#include "wire/statement_log.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <unistd.h>

namespace {

int gStopPipe[2] = {-1, -1};
volatile sig_atomic_t gStopRequested = 0;

void onSignal(int) {
    gStopRequested = 1;
    char c = 1;
    [[maybe_unused]] ssize_t n = ::write(gStopPipe[1], &c, 1);
}

// A temporary data directory that disappears with the process's orderly exit.
class TempDir {
public:
    bool create() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "sqlsim-XXXXXX").string();
        if (!::mkdtemp(tmpl.data()))
            return false;
        path_ = tmpl;
        return true;
    }
    ~TempDir() {
        if (!path_.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(path_, ec);
        }
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

bool readFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream s;
    s << in.rdbuf();
    out = s.str();
    return true;
}

} // namespace

int main(int argc, char** argv) {
    using namespace sqlsim;
    wire::Options opts;
    std::string error;
    if (!wire::parseOptions(std::vector<std::string>(argv + 1, argv + argc), opts, error)) {
        std::cerr << "sqlsim: " << error << "\n" << wire::kUsage;
        return 2;
    }
    if (opts.help) {
        std::cout << wire::kUsage;
        return 0;
    }

    if (::pipe2(gStopPipe, O_CLOEXEC) != 0) {
        std::perror("sqlsim: pipe");
        return 1;
    }
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    TempDir temp;
    EngineOptions engineOptions;
    engineOptions.productVersion = opts.version;
    if (opts.dataDir.empty()) {
        if (!temp.create()) {
            std::perror("sqlsim: temporary data directory");
            return 1;
        }
        engineOptions.dataDir = temp.path();
    } else {
        std::error_code ec;
        std::filesystem::create_directories(opts.dataDir, ec);
        engineOptions.dataDir = opts.dataDir;
    }

    Engine engine(engineOptions);
    for (const auto& script : opts.scripts) {
        std::string text;
        if (!readFile(script, text)) {
            std::cerr << "sqlsim: cannot read " << script << "\n";
            return 1;
        }
        if (!engine.runScript(text, error)) {
            std::cerr << "sqlsim: " << script << ": " << error << "\n";
            return 1;
        }
        // A stop during start-up takes effect between scripts, still removing the data dir.
        if (gStopRequested)
            return 0;
    }

    wire::ServerSettings settings;
    settings.productVersion = opts.version;
    settings.credentials.setAllowIntegrated(opts.allowIntegrated);
    settings.faults = opts.faults;
    settings.link = opts.link;
    for (const auto& l : opts.logins)
        settings.credentials.addNamePassword(l);
    wire::TlsCredentials tls;
    if (!opts.tlsCert.empty()) {
        if (!tls.load(opts.tlsCert, opts.tlsKey, error)) {
            std::cerr << "sqlsim: " << error << "\n";
            return 1;
        }
        settings.tls = &tls;
        settings.tlsRequired = opts.tlsRequire;
    }
    wire::StatementLog log;
    if (!opts.statementLog.empty()) {
        if (!log.open(opts.statementLog)) {
            std::cerr << "sqlsim: cannot open statement log " << opts.statementLog << "\n";
            return 1;
        }
        settings.log = &log;
    }

    wire::EngineSessions sessions(engine);
    wire::Server server(sessions, settings);
    if (!server.listen(opts.host, opts.port, error)) {
        std::cerr << "sqlsim: " << error << "\n";
        return 1;
    }
    if (!opts.portFile.empty() && !wire::writePortFile(opts.portFile, server.port(), error)) {
        std::cerr << "sqlsim: " << error << "\n";
        return 1;
    }
    std::cerr << "sqlsim: listening on " << opts.host << ":" << server.port() << "\n";
    server.serve(gStopPipe[0]);
    return 0;
}
