#include "cli_dbinfo.h"

#include "catalog/catalog_error.h"
#include "catalog/db_info_report.h"
#include "cli_app.h"
#include "cli_prompter.h"
#include "core/error_report.h"
#include "core/paths.h"
#include "core/settings.h"
#include "servers/exec_ado_cmd.h"
#include "servers/server_list.h"

#include <ctime>

namespace orv {
namespace {

// Nobody cancels from a shell; the report runs to its end.
class QuietRunner : public DbInfoRunner {
public:
    void StepStarted(int, const std::string&) override {}
    void ListingStarted() override {}
    void StepFinished(int, const std::string&) override {}
    void UpdateElapsed() override {}
    void ShowProgress(const std::string&) override {}
};

} // namespace

int RunDbInfoCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    if (args.size() != 2) {
        std::fprintf(err, "orvane-cli: 'dbinfo' takes 2 arguments\nTry 'orvane-cli --help'.\n");
        return kCliError;
    }
    StderrPrompter prompter(err);
    int reports = 0;
    SetCurrentPrompter(&prompter);
    SetErrorReportHandler([&](const ErrorReport& r) {
        ++reports;
        std::fprintf(err, "%s\n", ErrorReportText(r).c_str());
    });
    int status = kCliError;
    try {
        InitFilePaths(ExecutableFolder(), DocumentsFolder(), TempFolder());
        Settings().DebugMode = DetectDebugMode();
        LoadSettings(LoadServerList);
        ServerEntry server;
        server.Name = args[0];
        FindServer(server);
        if (server.EntryNumber == 0) {
            std::fprintf(err, "orvane-cli: server '%s' is not stored.\n", args[0].c_str());
        } else {
            CheckSQLServerVersion(server);
            server.VersionMajor = VersionMajorOf(server.Version);
            QuietRunner runner;
            std::string text;
            const bool complete = BuildDbInfoReport(runner, server, args[1],
                                                    DbInfoDateText(std::time(nullptr)), text);
            if (complete && reports == 0 && prompter.MessagesShown() == 0) {
                std::fwrite(text.data(), 1, text.size(), out);
                std::fflush(out);
                status = kCliOk;
            }
        }
    } catch (...) {
        const CaughtError e = CurrentError();
        std::fprintf(err, "orvane-cli: error %d (%s)\n", e.number, e.description.c_str());
    }
    SetErrorReportHandler(nullptr);
    SetCurrentPrompter(nullptr);
    return status;
}

} // namespace orv
