// `orvane-cli find` and `orvane-cli check-refs`: their arguments, the run over an injected
// catalog loader, and the lines they print. The caller supplies the server and the loader, so
// this part is tested without a server.
#pragma once

#include "explore/db_catalog.h"
#include "explore/object_search.h"
#include "explore/reference_check.h"

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace orv {

// find: 0 something found, 1 nothing found, 2 error.
// check-refs: 0 no reference to a missing object, 1 some, 2 error.
constexpr int kExploreExitOk = 0;
constexpr int kExploreExitSome = 1;
constexpr int kExploreExitError = 2;

constexpr const char* kFindUsage =
    "usage: orvane-cli find <server> <database> <pattern> [--in names,texts,columns] [--regex]\n"
    "                       [--encryption <mode>] [--ca-file <file>]";
constexpr const char* kCheckRefsUsage =
    "usage: orvane-cli check-refs <server> <database> [<name>]\n"
    "                             [--encryption <mode>] "
    "[--ca-file <file>]";
extern const char* const kFindHelp;
extern const char* const kCheckRefsHelp;

struct FindArgs {
    std::string Server;
    std::string Database;
    std::string Pattern;
    unsigned In = kSearchNames;
    bool Regex = false;
    bool Help = false;
};

struct CheckRefsArgs {
    std::string Server;
    std::string Database;
    std::string Module; // empty: every module
    bool Help = false;
};

bool ParseFindArgs(const std::vector<std::string>& words, FindArgs& args, std::string& error);
bool ParseCheckRefsArgs(const std::vector<std::string>& words, CheckRefsArgs& args,
                        std::string& error);

struct ExploreServices {
    // The stored server of that name, its version known; false with the reason otherwise.
    std::function<bool(const std::string& name, ServerEntry& entry, std::string& error)>
        resolveServer;
    std::function<CatalogLoad(const QueryPlace& place, const std::vector<ObjectType>& types,
                              ProgressSink& progress, const CancelToken& cancel)>
        loadCatalog;
    int32_t TimeoutSeconds = 30;
    bool CaseSensitive = false;
};

// One match a line: type TAB schema.name TAB where TAB the matching line.
std::string FindLine(const SearchMatch& match);
// One finding a line: module TAB line TAB reference TAB reason.
std::string CheckRefsLine(const ReferenceFinding& finding);

int RunFindOn(const FindArgs& args, const ExploreServices& services, ProgressSink& progress,
              const CancelToken& cancel, std::ostream& out, std::ostream& err);
int RunCheckRefsOn(const CheckRefsArgs& args, const ExploreServices& services,
                   ProgressSink& progress, const CancelToken& cancel, std::ostream& out,
                   std::ostream& err);

} // namespace orv
