#include "compare/compare_command.h"

#include "compare/tx_text.h"
#include "core/error_report.h"
#include "util/encryption_setting.h"
#include "util/memory_prompter.h"
#include "util/memory_text_view.h"
#include "util/text.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace orv {

namespace {

// Messages go to the error stream; the questions nobody can answer get the default answer.
class StreamPrompter : public MemoryPrompter {
public:
    explicit StreamPrompter(std::ostream& err) : err_(err) {}
    MsgAnswer MessageBox(MsgIcon icon, const std::string& title, const std::string& text,
                         MsgButtons buttons) override {
        err_ << (title.empty() ? std::string() : title + ": ") << ReplaceAll(text, "\r\n", "\n")
             << '\n';
        return MemoryPrompter::MessageBox(icon, title, text, buttons);
    }

private:
    std::ostream& err_;
};

} // namespace

const char* const kCompareHelp =
    "Compares one object of two databases as the desktop program does (Compare Selected\n"
    "Objects, with the comparison settings of the Options dialog) and prints the verdict.\n"
    "\n"
    "  <server1> <db1>         the Source: a stored server (or any server with --login) and\n"
    "                          a database on it\n"
    "  <server2> <db2>         the Target\n"
    "  <type>                  tables, procedures, functions, views, triggers, relationships,\n"
    "                          constraints, or the type code (50, 10, 20, 30, 40, 60, 80)\n"
    "  <name1> [<name2>]       the object as listed (a name may hold \".\"; schema.name is\n"
    "                          understood when no object is listed under the whole name);\n"
    "                          the Target's name defaults to the Source's\n"
    "  --marks                 also prints every line of both sides: S or T, the line's\n"
    "                          status code and its text, tab-separated\n"
    "  --classic-line-matching the statuses of --marks come from the classic 20-line\n"
    "                          look-ahead instead of matching the whole texts\n"
    "  --login <name>          connects to both servers with this SQL Server login\n"
    "  --password-file <file>  the login's password is the first line of this file\n"
    "  --encryption <mode>     request, require or off: TLS to every server of the run,\n"
    "                          in place of what the stored servers say\n"
    "  --ca-file <file>        every server's certificate must be signed by a CA in this\n"
    "                          PEM file and made out to the server's name (implies\n"
    "                          require)\n"
    "  --help                  this text\n"
    "\n"
    "Without --password-file the login's password is taken from the environment variable\n"
    "ORVANE_PASSWORD (empty when it is not set). There is no --password option: a password\n"
    "on the command line shows in every process listing.\n"
    "\n"
    "Exit status: 0 the objects are identical, 1 they are different, 2 error (wrong\n"
    "arguments, a server or query failure, or the object missing on either side).\n";

const char* const kSecurityOptionsHelp =
    "\n"
    "Encryption, for this run only, in place of what the stored server says (anywhere after\n"
    "the command):\n"
    "  --encryption <mode>     request: TLS when the server offers it (for the login alone\n"
    "                          or the whole session, as the server answers); require: a\n"
    "                          server that does not encrypt the whole session is refused\n"
    "                          before the login is sent; off: no TLS asked for\n"
    "  --ca-file <file>        the server's certificate must be signed by a CA in this PEM\n"
    "                          file and made out to the server's name (implies require)\n";

bool ParseCompareCommandArgs(const std::vector<std::string>& words, CompareCommandArgs& args,
                             std::string& error) {
    args = CompareCommandArgs{};
    std::vector<std::string> positional;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (w == "--help" || w == "-h") {
            args.Help = true;
            return true;
        }
    }
    OptionWords reader(words);
    while (reader.Next()) {
        const std::string& w = reader.Word();
        const int loginWord = ReadLoginOption(reader, args, error);
        if (loginWord < 0)
            return false;
        if (loginWord > 0)
            continue;
        if (w == "--marks") {
            args.Marks = true;
        } else if (w.size() > 2 && w.rfind("--", 0) == 0) {
            // Only the option's name: a mistyped option may carry a secret after its "=".
            error = "unknown option " + reader.Name();
            return false;
        } else {
            positional.push_back(w);
        }
    }
    if (!CheckLoginOptions(args, error))
        return false;
    if (positional.size() < 6 || positional.size() > 7) {
        error = "expected 6 or 7 arguments, got " + std::to_string(positional.size());
        return false;
    }
    args.Server[0] = positional[0];
    args.Db[0] = positional[1];
    args.Server[1] = positional[2];
    args.Db[1] = positional[3];
    args.Type = positional[4];
    args.Name[0] = positional[5];
    args.Name[1] = positional.size() == 7 ? positional[6] : positional[5];
    for (const std::string* s : {&args.Server[0], &args.Db[0], &args.Server[1], &args.Db[1],
                                 &args.Type, &args.Name[0], &args.Name[1]}) {
        if (s->empty()) {
            error = "arguments may not be empty";
            return false;
        }
    }
    return true;
}

int ReadLoginOption(OptionWords& reader, LoginOptions& login, std::string& error) {
    const std::string& name = reader.Name();
    if (name == "--login")
        return reader.Value(login.Login, error) ? 1 : -1;
    if (name == "--password-file")
        return reader.Value(login.PasswordFile, error) ? 1 : -1;
    ConnectionSecurity security = login.Security();
    if (const int taken = ReadSecurityOption(reader, security, error); taken != 0) {
        login.Encryption = security.Encryption;
        login.CAFile = security.CAFile;
        return taken;
    }
    if (name == "--password") {
        error = "--password is not accepted: a password on the command line shows in every "
                "process listing. Put it in the first line of a file readable only by you and "
                "give --password-file FILE, or set the environment variable " +
                std::string(kPasswordVariable) + ".";
        return -1;
    }
    return 0;
}

int ReadSecurityOption(OptionWords& reader, ConnectionSecurity& security, std::string& error) {
    const std::string& name = reader.Name();
    if (name == "--encryption") {
        std::string value;
        if (!reader.Value(value, error))
            return -1;
        security.Encryption = EncryptionSettingOf(value);
        if (security.Encryption.empty()) {
            error = "--encryption takes request, require or off, not " + value;
            return -1;
        }
        return 1;
    }
    if (name == "--ca-file") {
        if (!reader.Value(security.CAFile, error))
            return -1;
        if (security.CAFile.empty()) {
            error = "--ca-file needs a file name";
            return -1;
        }
        return 1;
    }
    return 0;
}

bool CheckLoginOptions(const LoginOptions& login, std::string& error) {
    if (!login.PasswordFile.empty() && login.Login.empty()) {
        error = "--password-file needs --login";
        return false;
    }
    return true;
}

bool ResolveComparePassword(const LoginOptions& args, const char* environmentValue,
                            std::string& password, std::string& error) {
    password.clear();
    if (args.PasswordFile.empty()) {
        if (environmentValue != nullptr)
            password = environmentValue;
        return true;
    }
    // stdio rather than a stream: a folder opens but fails to read, and must not pass for an
    // empty password; a pipe (a shell's <(...)) must work.
    std::FILE* file = std::fopen(args.PasswordFile.c_str(), "rb");
    if (file == nullptr) {
        error = "cannot read the password file " + args.PasswordFile + ": " + std::strerror(errno);
        return false;
    }
    int c = 0;
    while ((c = std::fgetc(file)) != EOF && c != '\n')
        password += static_cast<char>(c);
    const bool failed = std::ferror(file) != 0;
    const int readError = errno;
    std::fclose(file);
    if (failed) {
        password.clear();
        error =
            "cannot read the password file " + args.PasswordFile + ": " + std::strerror(readError);
        return false;
    }
    // A file written on Windows ends its line with CR LF.
    if (!password.empty() && password.back() == '\r')
        password.pop_back();
    return true;
}

std::string FormatMarks(const CompLines& source, const CompLines& target) {
    std::string out;
    for (const auto* side : {&source, &target})
        for (const CompLine& line : *side)
            out += std::string(side == &source ? "S" : "T") + '\t' + std::to_string(line.Status) +
                   '\t' + line.LineText + '\n';
    return out;
}

int RunCompareCommandOn(const CompareCommandArgs& args, const ComparedObjectNames& names,
                        const CompareOptions& options, const CompareServices& services,
                        const FetchObjectText& fetch, std::ostream& out, std::ostream& err) {
    StreamPrompter prompter(err);
    PrompterScope scope(prompter);

    MemoryTextView views[2];
    for (int panel = 0; panel < 2; ++panel) {
        std::string text;
        if (!fetch(panel, text))
            return kCompareExitError;
        if (TrimWhitespace(text).empty())
            err << "no definition of " << names.FullName[panel] << '\n';
        views[panel].SetText(text);
    }

    CompareRequest request;
    request.sourceView = &views[0];
    request.targetView = &views[1];
    request.names = names;
    request.options = options;
    request.services = services;
    const CompareResult result = CompareSelProcs(request);
    if (!result.Compared)
        return kCompareExitError;

    out << ReplaceAll(result.Verdict, "\r\n", "\n") << '\n';
    if (args.Marks) {
        CompLines lines[2] = {result.SourceLines, result.TargetLines};
        // Identical objects are not marked; their lines are listed with no status.
        for (int panel = 0; panel < 2; ++panel) {
            if (!result.Marked) {
                int32_t errorCode = 0;
                TXText_ConvTextToArray(views[panel], lines[panel], errorCode);
            }
        }
        out << FormatMarks(lines[0], lines[1]);
    }
    return result.Identical ? kCompareExitIdentical : kCompareExitDifferent;
}

} // namespace orv
