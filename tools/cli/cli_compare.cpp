#include "cli_compare.h"

#include "catalog/ignored_columns.h"
#include "catalog/object_text.h"
#include "catalog/object_types.h"
#include "catalog/table_script.h"
#include "compare/compare_command.h"
#include "core/error_report.h"
#include "core/paths.h"
#include "core/settings.h"
#include "servers/exec_ado_cmd.h"
#include "servers/server_list.h"
#include "util/memory_list_control.h"
#include "util/memory_text_view.h"
#include "util/text.h"

#include <iostream>
#include <string>
#include <vector>

namespace orv {

namespace {

// The stored server of that name, or an entry made from the command line's login.
ServerEntry ResolveServer(const std::string& name, const CompareCommandArgs& args) {
    ServerEntry entry;
    LoadServerList();
    const auto& list = ServerList();
    for (size_t i = 1; i < list.size(); ++i) {
        if (EqualsNoCase(list[i].Name, name)) {
            entry = list[i];
            break;
        }
    }
    entry.Name = name;
    if (!args.Login.empty()) {
        entry.SQLAuth = true;
        entry.LoginName = args.Login;
        entry.Pwd = args.Password;
    }
    CheckSQLServerVersion(entry);
    entry.VersionMajor = VersionMajorOf(entry.Version);
    return entry;
}

// Counts the unexpected errors reported while the command runs, and shows them on stderr.
class ErrorCounter {
public:
    ErrorCounter() {
        SetErrorReportHandler([this](const ErrorReport& report) {
            ++count;
            std::cerr << ReplaceAll(ErrorReportText(report), "\r\n", "\n") << '\n';
        });
    }
    ~ErrorCounter() { SetErrorReportHandler(nullptr); }
    ErrorCounter(const ErrorCounter&) = delete;
    ErrorCounter& operator=(const ErrorCounter&) = delete;
    int count = 0;
};

} // namespace

int RunCompareCommand(int argc, char** argv, bool completeScripts) {
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i)
        words.emplace_back(argv[i]);
    CompareCommandArgs args;
    std::string error;
    if (!ParseCompareCommandArgs(words, args, error)) {
        std::cerr << "orvane-cli compare: " << error << '\n' << kCompareUsage << '\n';
        return kCompareExitError;
    }
    const std::optional<ObjectType> type = ParseObjectType(args.Type);
    if (!type || !IsKnownObjectType(*type)) {
        std::cerr << "orvane-cli compare: unknown object type " << args.Type << '\n';
        return kCompareExitError;
    }
    if (Paths().IgnoredColsStructIni.empty())
        InitFilePaths(ExecutableFolder(), DocumentsFolder(), TempFolder());

    Settings().CompleteTableScripts = completeScripts || CompleteTableScripts();
    ErrorCounter errors;
    ServerEntry servers[2] = {ResolveServer(args.Server[0], args),
                              ResolveServer(args.Server[1], args)};

    ComparedObjectNames names;
    names.TypeCode = *type;
    names.TypeNamePlural = GetObjectTypeName(*type, false);
    names.EncObjTypes = ObjectTypeFlagText(*type);
    for (int p = 0; p < 2; ++p) {
        names.ServerName[p] = servers[p].Name;
        names.DbName[p] = args.Db[p];
        names.ObjectName[p] = args.Name[p];
        names.FullName[p] = GetObjectFullName(servers[p], args.Db[p], args.Name[p], false);
    }

    CompareServices services;
    services.ignoredColumns = [](const std::string& fullName) {
        std::vector<std::string> columns;
        GetIgnoredColumns(kIgnoredForStructure, fullName, columns);
        return columns;
    };
    services.tableScriptWithoutIgnored = [&](int p) {
        int32_t ignored = 0;
        return GetTableScript(servers[p], args.Name[p], args.Db[p], true, ignored, 0, "", false);
    };

    CompareOptions options;
    options.IgnoreWhitespace = IgnoreWhitespace();
    options.CaseSensitive = CaseSensitive();
    options.IgnoreColSeq = IgnoreColSeq();
    options.IgnoreComments = IgnoreComments();

    // The definition exactly as a panel would show it.
    auto fetch = [&](int p, std::string& text) {
        const int before = errors.count;
        MemoryTextView view;
        MemoryListControl list;
        list.AddItem(args.Name[p]);
        list.SetCurrentRow(0);
        list.SetSelected(0, true);
        UpdateProcedureTextBox(servers[p], view, list, *type, args.Db[p], args.Name[p], 0);
        text = view.Text();
        return errors.count == before;
    };

    const int status =
        RunCompareCommandOn(args, names, options, services, fetch, std::cout, std::cerr);
    return errors.count > 0 ? kCompareExitError : status;
}

} // namespace orv
