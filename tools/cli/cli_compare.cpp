#include "cli_compare.h"

#include "catalog/ignored_columns.h"
#include "catalog/listing.h"
#include "catalog/object_lookup.h"
#include "catalog/object_text.h"
#include "catalog/object_types.h"
#include "catalog/table_script.h"
#include "cli_error_counter.h"
#include "cli_prompter.h"
#include "compare/compare_command.h"
#include "core/error_report.h"
#include "core/paths.h"
#include "core/settings.h"
#include "servers/exec_ado_cmd.h"
#include "servers/server_list.h"
#include "util/memory_list_control.h"
#include "util/memory_text_view.h"
#include "util/text.h"

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

namespace orv {

namespace {

// The stored server of that name, or an entry made from the command line's login.
ServerEntry ResolveServer(const std::string& name, const CompareCommandArgs& args,
                          const std::string& password) {
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
        entry.Pwd = password;
    }
    ApplyConnectionSecurity(args.Security(), entry);
    CheckSQLServerVersion(entry);
    entry.VersionMajor = VersionMajorOf(entry.Version);
    return entry;
}

} // namespace

namespace {

// One side's object as its database lists it.
struct ListedObject {
    std::string name;
    int32_t id = 0;
};

// Finds the typed name in the side's listing. False, with the reason on standard error, when
// the listing could not be read or lists no such object.
bool LocateObject(ServerEntry& server, const std::string& database, ObjectType type,
                  const std::string& typedName, const char* side, const ErrorCounter& errors,
                  ListedObject& found) {
    StderrPrompter prompter(stderr);
    PrompterScope scope(prompter);
    const int before = errors.count;
    MemoryListControl list;
    MemoryTextView view;
    LoadObjects(server, list, view, type, database, false);
    if (errors.count != before || prompter.MessagesShown() > 0)
        return false;
    const int row = FindListedObject(server, database, list, typedName);
    if (row < 0) {
        std::cerr << "orvane-cli compare: " << side
                  << " object not found: " << GetObjectTypeName(type, true) << " '" << typedName
                  << "' in database '" << database << "' on server '" << server.Name << "'.\n";
        return false;
    }
    found.name = list.CellText(row, 0);
    ParseInt32(list.CellText(row, 2), found.id);
    return true;
}

} // namespace

int RunCompareCommand(int argc, char** argv, const ScriptSwitches& switches) {
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i)
        words.emplace_back(argv[i]);
    CompareCommandArgs args;
    std::string error;
    if (!ParseCompareCommandArgs(words, args, error)) {
        std::cerr << "orvane-cli compare: " << error << '\n' << kCompareUsage << '\n';
        return kCompareExitError;
    }
    if (args.Help) {
        std::cout << kCompareUsage << "\n\n" << kCompareHelp;
        return 0;
    }
    const std::optional<ObjectType> type = ParseObjectType(args.Type);
    if (!type || !IsKnownObjectType(*type)) {
        std::cerr << "orvane-cli compare: unknown object type " << args.Type << '\n';
        return kCompareExitError;
    }
    std::string password;
    if (!args.Login.empty() &&
        !ResolveComparePassword(args, std::getenv(kPasswordVariable), password, error)) {
        std::cerr << "orvane-cli compare: " << error << '\n';
        return kCompareExitError;
    }
    if (Paths().IgnoredColsStructIni.empty())
        InitFilePaths(ExecutableFolder(), DocumentsFolder(), TempFolder());

    Settings().CompleteTableScripts = CompleteTableScripts();
    Settings().IgnoreSystemConstraintNames = IgnoreSystemConstraintNames();
    switches.ApplyTo(Settings());
    ErrorCounter errors;
    ServerEntry servers[2] = {ResolveServer(args.Server[0], args, password),
                              ResolveServer(args.Server[1], args, password)};
    password.clear();

    // A missing object is no difference: the command cannot compare what is not there.
    ListedObject objects[2];
    const char* const sides[2] = {"Source", "Target"};
    for (int p = 0; p < 2; ++p)
        if (!LocateObject(servers[p], args.Db[p], *type, args.Name[p], sides[p], errors,
                          objects[p]))
            return kCompareExitError;

    ComparedObjectNames names;
    names.TypeCode = *type;
    names.TypeNamePlural = GetObjectTypeName(*type, false);
    names.EncObjTypes = ObjectTypeFlagText(*type);
    for (int p = 0; p < 2; ++p) {
        names.ServerName[p] = servers[p].Name;
        names.DbName[p] = args.Db[p];
        names.ObjectName[p] = objects[p].name;
        names.FullName[p] = GetObjectFullName(servers[p], args.Db[p], objects[p].name, false);
    }

    CompareServices services;
    services.ignoredColumns = [&](int p) {
        return ListedTableIgnoredColumns(kIgnoredForStructure, servers[p], args.Db[p],
                                         objects[p].name, objects[p].id);
    };
    services.tableScriptWithoutIgnored = [&](int p) {
        int32_t ignored = 0;
        return GetTableScript(servers[p], objects[p].name, args.Db[p], true, ignored, objects[p].id,
                              "", false);
    };

    CompareOptions options;
    options.IgnoreWhitespace = IgnoreWhitespace();
    options.CaseSensitive = CaseSensitive();
    options.IgnoreColSeq = IgnoreColSeq();
    options.IgnoreComments = IgnoreComments();
    options.ClassicLineMatching = switches.ClassicLineMatching.value_or(ClassicLineMatching());

    // The definition exactly as a panel would show it for the listed row.
    auto fetch = [&](int p, std::string& text) {
        const int before = errors.count;
        MemoryTextView view;
        MemoryListControl list;
        while (list.ColumnCount() < 3)
            list.AddColumn("", 0);
        list.AddItem(objects[p].name);
        list.SetCellText(0, 2, std::to_string(objects[p].id));
        list.SetCurrentRow(0);
        list.SetSelected(0, true);
        const TextShown shown = UpdateProcedureTextBox(servers[p], view, list, *type, args.Db[p],
                                                       objects[p].name, objects[p].id);
        text = view.Text();
        return shown == TextShown::Shown && errors.count == before;
    };

    const int status =
        RunCompareCommandOn(args, names, options, services, fetch, std::cout, std::cerr);
    return errors.count > 0 ? kCompareExitError : status;
}

} // namespace orv
