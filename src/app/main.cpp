// The program's entry point: folders, debug mode, version stamp, settings, program location,
// command line, first log line, then the main window.
#include "core/crash_dumps.h"
#include "core/error_report.h"
#include "core/log.h"
#include "core/password_store.h"
#include "core/paths.h"
#include "core/settings.h"
#include "keyring/keyring_store.h"
#include "servers/server_list.h"
#include "start_switches.h"
#include "ui/main/frm_error_report.h"
#include "ui/main/frm_main.h"
#include "ui/main/saved_comp_unattended.h"
#include "ui/widgets/qt_prompter.h"
#include "ui/widgets/screen_bounds.h"
#include "util/command_args.h"
#include "util/text.h"

#include <QApplication>
#include <QStatusBar>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <unistd.h>

namespace orv {
namespace {

// The command line as one text, arguments joined by blanks, as the switch parser expects it.
std::string CommandLineText(int argc, char** argv) {
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (!text.empty())
            text += ' ';
        text += argv[i];
    }
    return text;
}

// A RunSavedComp switch whose value is no process number; empty when there is none.
std::string gBadRunSavedComp;

void ReadCommandLine(const std::string& commandLine) {
    const std::optional<std::string> value = RunSavedCompValue(commandLine);
    if (!value)
        return;
    int32_t id = 0;
    if (ParseRunSavedComp(*value, id))
        Settings().RunSavedComp = id;
    else
        gBadRunSavedComp = value->empty() ? "(nothing)" : *value;
}

// Ends the program with `status` after logging the run's line (and showing it on standard
// error, for the scheduler's mail).
void EndUnattended(int status, const std::string& line) {
    WriteLogLine(line);
    std::fprintf(stderr, "orvane: %s\n", line.c_str());
    QCoreApplication::exit(status);
}

// Runs the start-up switch's process once the main window has loaded.
void RunStartUpProcess(frmMain* window) {
    if (!gBadRunSavedComp.empty()) {
        EndUnattended(2, "Saved comparison process " + gBadRunSavedComp +
                             ": Error: /RunSavedComp needs the number of a saved comparison "
                             "process. Exit status 2.");
        return;
    }
    const int32_t number = Settings().RunSavedComp;
    std::string line;
    const int status = RunSavedProcessUnattended(number, line);
    if (status >= 0)
        EndUnattended(status, line);
    else
        window->RunSavedComparison(number);
}

// Returns the main window, or nothing when start-up failed (the error has been reported).
std::unique_ptr<frmMain> Main(int argc, char** argv) {
    try {
        InitFilePaths(ExecutableFolder(), DocumentsFolder(), TempFolder());
        Settings().DebugMode = DetectDebugMode();
        PanelServers() = {};
        StampVersion();
        const bool keyring = UseDesktopKeyringWhenAvailable();
        LoadSettings(LoadServerList);
        SaveProgramLocation();
        ReadCommandLine(CommandLineText(argc, argv));
        WriteLogLine("Starting logging, sub Main");
        const std::string passwordNotice = keyring ? MovePasswordsToKeyring().notice : [] {
            WriteLogLine("No desktop keyring answers. " + CurrentPasswordStore()->KeptText());
            return std::string();
        }();
        auto window = std::make_unique<frmMain>();
        window->FormLoad();
        window->show();
        if (!passwordNotice.empty())
            window->statusBar()->showMessage(QString::fromStdString(passwordNotice));
        return window;
    } catch (const std::exception& e) {
        ReportUnexpected(5, e.what(), "mdlMain", "Main");
    } catch (...) {
        ReportUnexpected(5, "Unknown error", "mdlMain", "Main");
    }
    return nullptr;
}

// Replaces this process with the demo's launcher, which starts the simulator and runs the
// program again on the demo's configuration folder. Returns only on failure.
int StartDemo() {
    const std::vector<std::string> command =
        DemoCommand(ExecutableFolder(), ORV_SOURCE_FOLDER, ORV_BUILD_FOLDER);
    if (command.empty()) {
        std::fprintf(stderr, "orvane: the demo is not installed with this copy\n");
        return 1;
    }
    std::vector<char*> argv;
    for (const std::string& word : command)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    std::fprintf(stderr, "orvane: cannot start %s: %s\n", argv[0], std::strerror(errno));
    return 1;
}

// --version, --help and --demo are answered before any window exists; -1 lets start-up go on.
int HandleStartSwitch(int argc, char** argv) {
    switch (ReadStartSwitch(std::vector<std::string>(argv + 1, argv + argc))) {
    case StartSwitch::None:
        return -1;
    case StartSwitch::Version:
        std::fputs(VersionText().c_str(), stdout);
        return 0;
    case StartSwitch::Help:
        std::fputs(UsageText().c_str(), stdout);
        return 0;
    case StartSwitch::Demo:
        return StartDemo();
    case StartSwitch::Unknown:
        break;
    }
    std::fprintf(stderr, "orvane: unknown option %s\nTry 'orvane --help'.\n", argv[1]);
    return 2;
}

} // namespace
} // namespace orv

int main(int argc, char** argv) {
    orv::KeepPasswordsOutOfCoreDumps();
    if (const int status = orv::HandleStartSwitch(argc, argv); status >= 0)
        return status;
    QApplication app(argc, argv);
    orv::KeepWindowsOnScreen(app);
    orv::QtPrompter prompter;
    orv::SetCurrentPrompter(&prompter);
    orv::InstallErrorReportWindow(prompter);
    auto window = orv::Main(argc, argv);
    if (!window)
        return 1;
    if (orv::Settings().RunSavedComp != 0 || !orv::gBadRunSavedComp.empty())
        QTimer::singleShot(0, window.get(), [w = window.get()] { orv::RunStartUpProcess(w); });
    return app.exec();
}
