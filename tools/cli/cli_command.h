// The frame every long orvane-cli command runs in: its words parsed (or its usage or help
// shown), the program started as the desktop program starts (paths, settings, stored servers),
// Ctrl-C turned into a Stop, progress on standard error, and whatever went wrong on the way
// turned into the error status. A command brings its parser and its body.
#pragma once

#include "cli_script_switches.h"
#include "compare/compare_command.h"
#include "servers/server_entry.h"
#include "util/progress.h"

#include <functional>
#include <string>
#include <vector>

namespace orv {

// Every long command's status for wrong words, an unexpected error, a message the desktop
// program would have shown in a window, and a run stopped with Ctrl-C.
constexpr int kCommandExitError = 2;

struct CommandText {
    const char* name;  // the command's word: "find"
    const char* usage; // "usage: orvane-cli find ..."
    const char* help;  // what --help prints after the usage
};

// What a command's body runs with.
struct CommandRun {
    ProgressSink& progress;    // standard error; redrawn in place on a terminal
    const CancelToken& cancel; // set by Ctrl-C
};

// Paths, settings and the stored servers, read as the desktop program reads them.
void StartUpLikeTheProgram();

// "orvane-cli <name>: <error>" and the usage on standard error; returns 2.
int ShowUsageError(const CommandText& text, const std::string& error);
// The usage and the help on standard output; returns 0.
int ShowHelp(const CommandText& text);

// Starts up, puts `switches` over the stored settings, runs `body` with Ctrl-C setting its
// token, and returns its status, or 2 when it threw or when an unexpected error was reported
// or a message shown while it ran (each has gone to standard error).
int RunInCommandFrame(const char* name, const ScriptSwitches& switches,
                      const std::function<int(CommandRun& run)>& body);

// argv[0] is the command's word, its arguments follow. Wrong words give 2 with the usage,
// --help the usage and help with 0; otherwise `body(args, run)` runs in the frame.
template <typename Args, typename Body>
int RunLongCommand(const CommandText& text, int argc, char** argv,
                   bool (*parse)(const std::vector<std::string>&, Args&, std::string&),
                   const ScriptSwitches& switches, Body body) {
    Args args;
    std::string error;
    if (!parse(std::vector<std::string>(argv + 1, argv + argc), args, error))
        return ShowUsageError(text, error);
    if (args.Help)
        return ShowHelp(text);
    return RunInCommandFrame(text.name, switches, [&](CommandRun& run) { return body(args, run); });
}

// Takes --encryption and --ca-file (with their values) out of `words`, wherever they stand;
// false with the reason when one is wrong.
bool TakeSecurityOptions(std::vector<std::string>& words, ConnectionSecurity& security,
                         std::string& error);

// The same frame for a command that connects to stored servers and takes no --login: its
// --encryption and --ca-file are taken out before `parse` sees the words, --help ends with
// what they do, and `body(args, security, run)` gets them.
template <typename Args, typename Body>
int RunConnectingCommand(const CommandText& text, int argc, char** argv,
                         bool (*parse)(const std::vector<std::string>&, Args&, std::string&),
                         const ScriptSwitches& switches, Body body) {
    std::vector<std::string> words(argv + 1, argv + argc);
    ConnectionSecurity security;
    Args args;
    std::string error;
    if (!TakeSecurityOptions(words, security, error) || !parse(words, args, error))
        return ShowUsageError(text, error);
    if (args.Help) {
        const std::string help = std::string(text.help) + kSecurityOptionsHelp;
        return ShowHelp({text.name, text.usage, help.c_str()});
    }
    return RunInCommandFrame(text.name, switches,
                             [&](CommandRun& run) { return body(args, security, run); });
}

using ServerResolver =
    std::function<bool(const std::string& name, ServerEntry& entry, std::string& error)>;

// A stored server by name, its version learned (ResolveStoredServer), with `security` in
// place of its stored encryption and CA file.
ServerResolver StoredServers(const ConnectionSecurity& security = {});
// The same, or with --login any server: the login and its password (ORVANE_PASSWORD or the
// password file) go with every server. False with the reason on standard error when the
// password file cannot be read.
bool LoginServers(const char* name, const LoginOptions& login, ServerResolver& resolver);

} // namespace orv
