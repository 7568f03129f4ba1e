#include "catalog/ignored_columns.h"

#include "catalog/schemas.h"
#include "core/inifile.h"
#include "core/paths.h"
#include "util/text.h"

namespace orv {

std::string IgnoredColumnsFile(int32_t kind) {
    switch (kind) {
    case kIgnoredForData:
        return Paths().IgnoredColsDataIni;
    case kIgnoredForStructure:
        return Paths().IgnoredColsStructIni;
    case kIgnoredForAnalysis:
        return Paths().IgnoredColsAnalysisIni;
    default:
        return "";
    }
}

int32_t GetIgnoredColumns(int32_t kind, const std::string& tableName,
                          std::vector<std::string>& columns) {
    columns.clear();
    cInifile ini;
    ini.Path = IgnoredColumnsFile(kind);
    ini.Section = tableName;
    if (ini.Path.empty())
        return 0;
    std::vector<std::string> keys;
    int32_t count = 0;
    ini.EnumerateCurrentSection(keys, count);
    if (count <= 0)
        return 0;
    columns.reserve(static_cast<size_t>(count));
    // The key list starts at index 1.
    for (int32_t i = 1; i <= count && static_cast<size_t>(i) < keys.size(); ++i) {
        ini.Key = keys[static_cast<size_t>(i)];
        columns.push_back(ini.Value());
    }
    return static_cast<int32_t>(columns.size());
}

std::string IgnoredColumnsSection(const IgnoredTable& table) {
    std::string section = table.Server + "." + table.Database + ".";
    if (!table.Schema.empty())
        section += table.Schema + ".";
    return section + table.Name;
}

std::string EarlierIgnoredColumnsSection(const IgnoredTable& table) {
    return table.Server + "." + table.Database + "." + table.Name;
}

namespace {

bool HasSection(const std::string& path, const std::string& section) {
    for (const std::string& s : inifile::SectionNames(path))
        if (EqualsNoCase(s, section))
            return true;
    return false;
}

bool StartsWithNoCase(const std::string& s, const std::string& prefix) {
    return s.size() >= prefix.size() && EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

bool EndsWithNoCase(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() && EqualsNoCase(s.substr(s.size() - suffix.size()), suffix);
}

} // namespace

int32_t GetIgnoredColumns(int32_t kind, const IgnoredTable& table,
                          std::vector<std::string>& columns) {
    const std::string section = IgnoredColumnsSection(table);
    if (table.Schema.empty() || HasSection(IgnoredColumnsFile(kind), section))
        return GetIgnoredColumns(kind, section, columns);
    return GetIgnoredColumns(kind, EarlierIgnoredColumnsSection(table), columns);
}

IgnoredTable ListedIgnoredTable(ServerEntry& server, const std::string& database,
                                const std::string& listedName, int32_t id) {
    IgnoredTable table{server.Name, database, "", listedName};
    if (id > 0) {
        std::string schema, name;
        if (Db_GetObjNameById(server, database, id, schema, name) && !name.empty()) {
            table.Schema = schema;
            table.Name = name;
        }
        return table;
    }
    table.Schema = GetSchemaForObject(server, database, listedName, kTypeTable);
    if (table.Schema.empty() && listedName.find('.') != std::string::npos) {
        // Not a table of that whole name: the listed "schema.name" form.
        table.Name = BareObjectName(listedName);
        table.Schema = listedName.substr(0, listedName.size() - table.Name.size() - 1);
    }
    return table;
}

int32_t GetListedTableIgnoredColumns(int32_t kind, ServerEntry& server, const std::string& database,
                                     const std::string& listedName, int32_t id,
                                     std::vector<std::string>& columns) {
    columns.clear();
    // Any section of this server and database that ends in the table's own name may be its
    // list (its schema is not known yet), and so may the section of the earlier naming.
    const std::string prefix = server.Name + "." + database + ".";
    const std::string bare = "." + BareObjectName(listedName);
    bool candidate = false;
    for (const std::string& s : inifile::SectionNames(IgnoredColumnsFile(kind)))
        if (EqualsNoCase(s, prefix + listedName) ||
            (StartsWithNoCase(s, prefix) && EndsWithNoCase(s, bare)))
            candidate = true;
    if (!candidate)
        return 0;
    return GetIgnoredColumns(kind, ListedIgnoredTable(server, database, listedName, id), columns);
}

IgnoredColumnsLookup StoredIgnoredColumns(int32_t kind) {
    return [kind](const IgnoredTable& table) {
        std::vector<std::string> columns;
        GetIgnoredColumns(kind, table, columns);
        return columns;
    };
}

std::vector<std::string> ListedTableIgnoredColumns(int32_t kind, ServerEntry& server,
                                                   const std::string& database,
                                                   const std::string& listedName, int32_t id) {
    std::vector<std::string> columns;
    GetListedTableIgnoredColumns(kind, server, database, listedName, id, columns);
    return columns;
}

} // namespace orv
