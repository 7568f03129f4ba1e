// The hostile catalog: the checked-in script plus the parts generated here (names of exactly
// 128 characters, a module of about 1 MB, a table of 1,024 columns), the names a test expects
// back, and the check that every statement the simulator received is one of the program's own
// query shapes with each name sitting whole inside its literal or bracketed identifier.
#pragma once

#include "servers/server_entry.h"
#include "test_catalog_sim.h"

#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace orv::test::hostile {

inline constexpr const char* kDb = "HostileCat";
inline constexpr int kWideColumns = 1024;
inline constexpr int kWideRows = 3;

// Names of exactly 128 characters (UTF-16 units, as the server counts them).
std::string Name128Ascii();
std::string Name128Cyrillic();
std::string Name128Emoji(); // 64 letters outside the BMP
std::string Column128();
std::string Procedure128();

std::string BigModuleName();
// The module's stored text, exactly as the server keeps it.
std::string BigModuleText();

std::string WideTableName();
std::string WideColumnName(int index); // 1-based
// The value of column `index` in row `row` (both 1-based), as text.
std::string WideValue(int row, int index);

// Scripts loaded after hostile_catalog.sql.
std::vector<std::string> GeneratedScripts();

// The objects of the database by type, as a 2000 server lists them (no schema prefixes),
// each name once.
std::set<std::string> Tables();
std::set<std::string> Procedures();
inline std::set<std::string> Views() {
    return {"v]iew/*", "Import.v2"};
}
inline std::set<std::string> Functions() {
    return {"fn'%_\xF0\x9F\x93\xA6"};
}
inline std::set<std::string> Triggers() {
    return {"tr';--"};
}
inline std::set<std::string> Relationships() {
    return {"FK_'];DROP TABLE Victim;--"};
}
std::set<std::string> Constraints();
inline constexpr const char* kOddSchema = "own'er]/*x";
inline constexpr const char* kCyrillicSchema = "\xD1\x81\xD1\x85\xD0\xB5\xD0\xBC\xD0\xB0";

// Table names two schemas hold, with their schemas.
inline std::map<std::string, std::vector<std::string>> SharedTableNames() {
    return {{"Dup'", {"dbo", kOddSchema}}, {"Import.2019", {"dbo", kCyrillicSchema}}};
}
// The table listing: shared names twice, bare on a 2000 server, schema-qualified on later ones.
std::multiset<std::string> ListedTables(bool v8);

// What the statement check found.
struct LogCheck {
    size_t statements = 0;        // statements looked at
    size_t namesInside = 0;       // literals and identifiers decoded back to a catalog name
    std::vector<std::string> bad; // statements of no known shape, or with a name cut open
};

// Checks every statement against the program's query shapes. A literal must hold a name of
// `known` with its apostrophes doubled, an identifier a chain of such names in brackets with
// "]" doubled; the rest of the statement must be the shape's fixed text, so nothing of a name
// can have reached the server as SQL.
LogCheck CheckStatements(const std::vector<std::string>& statements,
                         const std::set<std::string>& known);

// Every object, user and schema name of the database, read straight from the catalog.
std::set<std::string> CatalogNames(const ServerEntry& server);
// The rows of dbo.Victim, or -1 when it cannot be read.
int VictimRows(const ServerEntry& server);

// The simulator with the whole hostile catalog loaded, posing as `version`.
class HostileSim : public CatalogSim {
public:
    explicit HostileSim(const std::string& version)
        : CatalogSim(version, {"hostile_catalog.sql"}, GeneratedScripts()) {}

    // Checks every statement received so far, and that Victim still has its rows; adds a
    // failure for each statement of no known shape. `typed` are names a test typed on purpose
    // that name no object whole (such as schema.name), which lookups may quote too.
    LogCheck ExpectCleanLog(const std::set<std::string>& typed = {}) const;
};

} // namespace orv::test::hostile
