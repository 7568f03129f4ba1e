// The program's entry point: folders, debug mode, version stamp, settings, program location,
// command line, first log line, then the main window.
#include "core/crash_dumps.h"
#include "core/error_report.h"
#include "core/log.h"
#include "core/paths.h"
#include "core/settings.h"
#include "servers/server_list.h"
#include "ui/main/frm_error_report.h"
#include "ui/main/frm_main.h"
#include "ui/widgets/qt_prompter.h"
#include "util/command_args.h"
#include "util/text.h"

#include <QApplication>

#include <exception>
#include <memory>

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

void ReadCommandLine(const std::string& commandLine) {
    if (commandLine.empty())
        return;
    CCommandArgs args;
    args.Delim = "/";
    args.TestString = commandLine;
    args.Parse();
    const std::string value = args.Item("RunSavedComp");
    int32_t id = 0;
    if (!value.empty() && ParseInt32(value, id))
        Settings().RunSavedComp = id;
}

// Returns the main window, or nothing when start-up failed (the error has been reported).
std::unique_ptr<QWidget> Main(int argc, char** argv) {
    try {
        InitFilePaths(ExecutableFolder(), DocumentsFolder(), TempFolder());
        Settings().DebugMode = DetectDebugMode();
        PanelServers() = {};
        StampVersion();
        LoadSettings(LoadServerList);
        SaveProgramLocation();
        ReadCommandLine(CommandLineText(argc, argv));
        WriteLogLine("Starting logging, sub Main");
        auto window = std::make_unique<frmMain>();
        window->FormLoad();
        window->show();
        return window;
    } catch (const std::exception& e) {
        ReportUnexpected(5, e.what(), "mdlMain", "Main");
    } catch (...) {
        ReportUnexpected(5, "Unknown error", "mdlMain", "Main");
    }
    return nullptr;
}

} // namespace
} // namespace orv

int main(int argc, char** argv) {
    orv::KeepPasswordsOutOfCoreDumps();
    QApplication app(argc, argv);
    orv::QtPrompter prompter;
    orv::SetCurrentPrompter(&prompter);
    orv::InstallErrorReportWindow(prompter);
    auto window = orv::Main(argc, argv);
    if (!window)
        return 1;
    return app.exec();
}
