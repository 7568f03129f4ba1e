#include "start_switches.h"

#include "core/file_io.h"
#include "core/paths.h"
#include "core/program_info.h"
#include "util/command_args.h"
#include "util/text.h"

#include <unistd.h>

namespace orv {

StartSwitch ReadStartSwitch(const std::vector<std::string>& args) {
    if (args.empty() || args[0].rfind("--", 0) != 0)
        return StartSwitch::None;
    const std::string& s = args[0];
    if (s == "--version")
        return StartSwitch::Version;
    if (s == "--help")
        return StartSwitch::Help;
    if (s == "--demo")
        return StartSwitch::Demo;
    return StartSwitch::Unknown;
}

std::optional<std::string> RunSavedCompValue(const std::string& commandLine) {
    if (commandLine.empty())
        return std::nullopt;
    CCommandArgs args;
    args.Delim = "/";
    args.TestString = commandLine;
    args.Parse();
    const std::string name = "RunSavedComp";
    for (int16_t i = 1; i <= args.Count(); ++i) {
        const std::string key = args.Key(i);
        if (EqualsNoCase(key, name))
            return Trim(args.Item(std::to_string(i)));
        // "/RunSavedComp:12" has no blank, so the parser sees one key holding the number.
        if (key.size() > name.size() && EqualsNoCase(key.substr(0, name.size()), name) &&
            (key[name.size()] == ':' || key[name.size()] == '=')) {
            const std::string rest = Trim(key.substr(name.size() + 1));
            // "/RunSavedComp: 12": the number is the switch's value.
            const std::string value = Trim(args.Item(std::to_string(i)));
            return rest.empty() && value != key ? value : rest;
        }
    }
    return std::nullopt;
}

bool ParseRunSavedComp(const std::string& value, int32_t& number) {
    return ParseInt32(Trim(value), number) && number > 0;
}

std::string VersionText() {
    return std::string(kExecutableName) + " " + kProgramVersion + "\n";
}

std::string UsageText() {
    return "Usage: orvane [/RunSavedComp:NUMBER]\n"
           "       orvane --demo | --version | --help\n"
           "\n"
           "Opens the main window on the servers stored in ~/.config/orvane/registry.reg.\n"
           "\n"
           "  /RunSavedComp:NUMBER\n"
           "             run saved comparison process NUMBER once the window has loaded\n"
           "             (File > Run Saved Comparison Process lists them). A process with\n"
           "             an export file or Print set runs without any dialog, writes one log\n"
           "             line and ends the program with status 0 (identical), 1 (differences)\n"
           "             or 2 (error: no such process, a server no longer stored, a failed\n"
           "             login, an unwritable export path); run it under\n"
           "             QT_QPA_PLATFORM=offscreen from cron. Other processes show their\n"
           "             results in the window.\n"
           "  --demo     start the built-in demo: a SQL Server simulator on a free loopback port\n"
           "             with two sample databases, and the program on a configuration folder\n"
           "             of its own (your stored servers are not touched)\n"
           "  --version  print the version and exit\n"
           "  --help     print this text and exit\n"
           "\n"
           "See orvane(1) for the files the program reads and writes.\n";
}

std::vector<std::string> DemoCommand(const std::string& programFolder,
                                     const std::string& sourceFolder,
                                     const std::string& buildFolder) {
    const std::string share = InstalledShareFolder(programFolder);
    if (!share.empty()) {
        // <prefix>/share/orvane/ -> <prefix>/libexec/orvane/orvane-demo
        const std::string prefix =
            share.substr(0, share.size() - std::string("share/orvane/").size());
        const std::string launcher = prefix + "libexec/orvane/orvane-demo";
        if (::access(launcher.c_str(), X_OK) == 0)
            return {launcher};
        return {};
    }
    const std::string script = AddBackslash(sourceFolder) + "scripts/demo";
    if (!sourceFolder.empty() && !buildFolder.empty() && ::access(script.c_str(), X_OK) == 0)
        return {script, buildFolder};
    return {};
}

} // namespace orv
