#include "explore/explore_commands.h"

#include "catalog/object_types.h"
#include "export/printable_text.h"
#include "util/text.h"

namespace orv {

const char* const kFindHelp =
    "Looks for a pattern in the names, definition texts or column names of a database's\n"
    "objects (tables, procedures, functions, views, triggers) and prints one match a line:\n"
    "type TAB schema.name TAB where (name, line N, column C) TAB the matching line.\n"
    "\n"
    "  --in LIST   where to look, any of names,texts,columns (default: names)\n"
    "  --regex     the pattern is a regular expression (ECMAScript grammar)\n"
    "\n"
    "A plain pattern may hold the wildcards * and ?; in a name it then matches the whole\n"
    "name (\"usp_*\"), without them it is found anywhere. Letter case counts only when the\n"
    "setting 'Case sensitive' is on.\n"
    "Progress is shown on standard error when it is a terminal; Ctrl-C stops the search.\n"
    "Exit status: 0 something found, 1 nothing found, 2 error or stopped.\n";

const char* const kCheckRefsHelp =
    "Lists the references of the database's modules (procedures, functions, views, triggers),\n"
    "or of the one named, to objects that do not exist: module TAB line TAB reference TAB\n"
    "reason. References to another database or a linked server cannot be looked up and are\n"
    "listed with the reason 'not checked'.\n"
    "Progress is shown on standard error when it is a terminal; Ctrl-C stops the check.\n"
    "Exit status: 0 no reference to a missing object, 1 some, 2 error or stopped.\n";

namespace {

bool ParseIn(const std::string& list, unsigned& in, std::string& error) {
    in = 0;
    for (const std::string& word : Split(list, ",")) {
        const std::string w = ToLowerAscii(Trim(word));
        if (w == "names" || w == "name")
            in |= kSearchNames;
        else if (w == "texts" || w == "text")
            in |= kSearchTexts;
        else if (w == "columns" || w == "column")
            in |= kSearchColumns;
        else {
            error = "--in takes names, texts and columns, not '" + word + "'.";
            return false;
        }
    }
    if (in == 0) {
        error = "--in needs at least one of names, texts, columns.";
        return false;
    }
    return true;
}

// A field of a tab-separated line: nothing in it may start a field or a line of its own.
std::string Field(const std::string& text) {
    return ReplaceAll(PrintableText(text), "\t", "\xE2\x90\x89"); // U+2409
}

// The matching line as a reader wants it: indentation tabs as blanks.
std::string LineField(const std::string& text) {
    return PrintableText(ReplaceAll(text, "\t", " "));
}

std::string TypeWord(ObjectType type) {
    return ToLowerAscii(GetObjectTypeName(type, true));
}

// The server and the catalog; false (and a message) when either cannot be had.
bool Load(const std::string& command, const std::string& serverName, const std::string& db,
          const std::vector<ObjectType>& types, const ExploreServices& services,
          ProgressSink& progress, const CancelToken& cancel, DbCatalogPtr& catalog,
          std::ostream& err) {
    ServerEntry server;
    std::string error;
    if (!services.resolveServer(serverName, server, error)) {
        err << "orvane-cli " << command << ": " << error << '\n';
        return false;
    }
    QueryPlace place{server, db, services.TimeoutSeconds};
    CatalogLoad load = services.loadCatalog(place, types, progress, cancel);
    if (!load.Catalog && load.Outcome == RunOutcome::Cancelled) {
        err << "orvane-cli " << command << ": " << kStoppedByUser << '\n';
        return false;
    }
    if (!load.Catalog) {
        err << "orvane-cli " << command << ": cannot read the catalog of database '" << db
            << "': " << (load.Problem.empty() ? std::string("unknown error") : load.Problem)
            << '\n';
        return false;
    }
    catalog = std::move(load.Catalog);
    return true;
}

} // namespace

bool ParseFindArgs(const std::vector<std::string>& words, FindArgs& args, std::string& error) {
    std::vector<std::string> plain;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (w == "--help" || w == "-h") {
            args.Help = true;
            return true;
        }
        if (w == "--regex") {
            args.Regex = true;
        } else if (w == "--in" || w.rfind("--in=", 0) == 0) {
            std::string list;
            if (w == "--in") {
                if (i + 1 >= words.size()) {
                    error = "--in needs a list.";
                    return false;
                }
                list = words[++i];
            } else {
                list = w.substr(5);
            }
            if (!ParseIn(list, args.In, error))
                return false;
        } else if (w.size() > 1 && w[0] == '-' && w[1] == '-') {
            error = "unknown option '" + w + "'.";
            return false;
        } else {
            plain.push_back(w);
        }
    }
    if (plain.size() != 3) {
        error = "find takes a server, a database and a pattern.";
        return false;
    }
    args.Server = plain[0];
    args.Database = plain[1];
    args.Pattern = plain[2];
    return true;
}

bool ParseCheckRefsArgs(const std::vector<std::string>& words, CheckRefsArgs& args,
                        std::string& error) {
    std::vector<std::string> plain;
    for (const std::string& w : words) {
        if (w == "--help" || w == "-h") {
            args.Help = true;
            return true;
        }
        if (w.size() > 1 && w[0] == '-' && w[1] == '-') {
            error = "unknown option '" + w + "'.";
            return false;
        }
        plain.push_back(w);
    }
    if (plain.size() < 2 || plain.size() > 3) {
        error = "check-refs takes a server, a database and optionally a module's name.";
        return false;
    }
    args.Server = plain[0];
    args.Database = plain[1];
    if (plain.size() == 3)
        args.Module = plain[2];
    return true;
}

std::string FindLine(const SearchMatch& m) {
    return TypeWord(m.Type) + "\t" + Field(m.QualifiedName()) + "\t" + Field(m.WhereText()) + "\t" +
           LineField(m.LineText);
}

std::string CheckRefsLine(const ReferenceFinding& f) {
    return Field(f.Module()) + "\t" + std::to_string(f.Line) + "\t" + Field(f.Reference) + "\t" +
           f.Reason;
}

int RunFindOn(const FindArgs& args, const ExploreServices& services, ProgressSink& progress,
              const CancelToken& cancel, std::ostream& out, std::ostream& err) {
    std::string error;
    // An invalid expression runs nothing, not even the connection.
    auto pattern = SearchPattern::Compile(args.Pattern, args.Regex, services.CaseSensitive, error);
    if (!pattern) {
        err << "orvane-cli find: " << error << '\n';
        return kExploreExitError;
    }
    DbCatalogPtr catalog;
    if (!Load("find", args.Server, args.Database, SearchableTypes(), services, progress, cancel,
              catalog, err))
        return kExploreExitError;
    SearchRequest request;
    request.Pattern = args.Pattern;
    request.Regex = args.Regex;
    request.CaseSensitive = services.CaseSensitive;
    request.In = args.In;
    const SearchResult result = SearchCatalog(*catalog, request, *pattern, &cancel);
    for (const SearchMatch& m : result.Matches)
        out << FindLine(m) << '\n';
    out.flush();
    if (result.Cancelled) {
        err << "orvane-cli find: " << kStoppedByUser << '\n';
        return kExploreExitError;
    }
    return result.Matches.empty() ? kExploreExitSome : kExploreExitOk;
}

int RunCheckRefsOn(const CheckRefsArgs& args, const ExploreServices& services,
                   ProgressSink& progress, const CancelToken& cancel, std::ostream& out,
                   std::ostream& err) {
    DbCatalogPtr catalog;
    if (!Load("check-refs", args.Server, args.Database, ReferenceCheckTypes(), services, progress,
              cancel, catalog, err))
        return kExploreExitError;
    bool found = false;
    const auto findings = CheckCatalogReferences(*catalog, args.Module, &found, &cancel);
    if (cancel.cancelRequested()) {
        err << "orvane-cli check-refs: " << kStoppedByUser << '\n';
        return kExploreExitError;
    }
    if (!args.Module.empty() && !found) {
        err << "orvane-cli check-refs: no procedure, function, view or trigger '" << args.Module
            << "' in database '" << args.Database << "'.\n";
        return kExploreExitError;
    }
    bool missing = false;
    for (const ReferenceFinding& f : findings) {
        out << CheckRefsLine(f) << '\n';
        missing = missing || !f.NotChecked();
    }
    out.flush();
    return missing ? kExploreExitSome : kExploreExitOk;
}

} // namespace orv
