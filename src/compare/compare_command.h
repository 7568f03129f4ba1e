// The command-line comparison of two objects: its arguments, its run on texts fetched by the
// caller, and what it prints. The caller supplies the texts, so this part needs no server.
#pragma once

#include "compare/compare_sel_procs.h"
#include "servers/server_entry.h"
#include "util/option_words.h"

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace orv {

constexpr int kCompareExitIdentical = 0;
constexpr int kCompareExitDifferent = 1;
constexpr int kCompareExitError = 2;

constexpr const char* kCompareUsage =
    "usage: orvane-cli compare [--marks] [--login <name> [--password-file <file>]] <server1> "
    "<db1> <server2> <db2> <type> <name1> [<name2>]";

// Where the password of --login comes from when no file is named.
constexpr const char* kPasswordVariable = "ORVANE_PASSWORD";

extern const char* const kCompareHelp;

// --login and --password-file, which every comparison verb takes.
struct LoginOptions {
    // SQL Server login for servers that are not in the stored list; empty: trusted login.
    std::string Login;
    // The file whose first line is the login's password; empty: the environment variable.
    std::string PasswordFile;
    // --encryption: request, require or off for every server of the run; empty: as stored.
    std::string Encryption;
    // --ca-file: the CA that must have signed every server's certificate; empty: as stored.
    std::string CAFile;

    ConnectionSecurity Security() const { return {Encryption, CAFile}; }
};

// Reads the reader's word if it is --encryption or --ca-file: 1 when it was (its value taken and
// checked), 0 when it is another word, -1 with a message in `error`.
int ReadSecurityOption(OptionWords& reader, ConnectionSecurity& security, std::string& error);

// What --help says of --encryption and --ca-file, for every command that takes them.
extern const char* const kSecurityOptionsHelp;

// Reads the reader's word if it is --login, --password-file, --encryption, --ca-file or the refused
// --password: 1 when it was one of them (its value taken), 0 when it is another word, -1 with a
// message in `error` (which never holds what followed --password).
int ReadLoginOption(OptionWords& reader, LoginOptions& login, std::string& error);
// After the last word: false with a message when a password file is named without a login.
bool CheckLoginOptions(const LoginOptions& login, std::string& error);

struct CompareCommandArgs : LoginOptions {
    std::string Server[2];
    std::string Db[2];
    std::string Type;
    std::string Name[2]; // the second defaults to the first
    bool Marks = false;
    bool Help = false; // --help: the rest of the words do not matter
};

// False with a message in `error` when the words do not make a comparison. A password given
// on the command line is refused: every process listing would show it.
bool ParseCompareCommandArgs(const std::vector<std::string>& words, CompareCommandArgs& args,
                             std::string& error);

// The password of --login: the first line of the password file when one is named, else
// `environmentValue` (the variable's value, null when it is not set), else empty. False with a
// message when the file cannot be read. The message never holds the password.
bool ResolveComparePassword(const LoginOptions& login, const char* environmentValue,
                            std::string& password, std::string& error);

// Fetches the definition shown for a panel (0 Source, 1 Target); false when it could not be
// read (the reason has gone to the error stream).
using FetchObjectText = std::function<bool(int panel, std::string& text)>;

// Shows both texts in memory views, compares them as the window would and prints the verdict
// (and with --marks every line of both sides with its status code). Messages the comparison
// would show go to `err`. Returns the exit status: 0 identical, 1 different, 2 error.
int RunCompareCommandOn(const CompareCommandArgs& args, const ComparedObjectNames& names,
                        const CompareOptions& options, const CompareServices& services,
                        const FetchObjectText& fetch, std::ostream& out, std::ostream& err);

// One line per view line: "S" or "T", the status code and the line's text, tab-separated.
std::string FormatMarks(const CompLines& source, const CompLines& target);

} // namespace orv
