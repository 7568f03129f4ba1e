#include "start_switches.h"

#include "core/file_io.h"
#include "core/paths.h"
#include "core/program_info.h"

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

std::string VersionText() {
    return std::string(kExecutableName) + " " + kProgramVersion + "\n";
}

std::string UsageText() {
    return "Usage: orvane [/RunSavedComp NUMBER]\n"
           "       orvane --demo | --version | --help\n"
           "\n"
           "Opens the main window on the servers stored in ~/.config/orvane/registry.reg.\n"
           "\n"
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
