#include "explore/ignored_columns_edit.h"

#include "catalog/ignored_columns.h"
#include "core/inifile.h"
#include "util/text.h"

#include <cerrno>
#include <cstring>

namespace orv {

std::string IgnoredNameProblem(const std::string& name, bool isSection) {
    if (name.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
        return "it holds a line break or a NUL character";
    if (isSection && !name.empty() && (name.front() == ' ' || name.back() == ' '))
        return "it begins or ends with a blank";
    if (!isSection && name.size() >= cInifile::kValueBuffer - 2)
        return "it is longer than an INI value can be";
    return "";
}

namespace {

// The reader trims a value and takes off one pair of enclosing quotes: a name that begins or
// ends with a blank or a quote goes in quotes, so it comes back exactly.
std::string StoredValue(const std::string& name) {
    const bool needsQuotes =
        !name.empty() &&
        (name.front() == ' ' || name.back() == ' ' || name.front() == '\t' || name.back() == '\t' ||
         name.front() == '"' || name.front() == '\'' || name.back() == '"' || name.back() == '\'');
    return needsQuotes ? "\"" + name + "\"" : name;
}

bool WriteSection(int32_t kind, const std::string& tableName, const std::string* replaces,
                  const std::vector<std::string>& columns, std::string& error) {
    const std::string path = IgnoredColumnsFile(kind);
    if (path.empty()) {
        error = "Unknown list of ignored columns.";
        return false;
    }
    if (const std::string p = IgnoredNameProblem(tableName, true); !p.empty()) {
        error =
            "The columns of table " + tableName + " cannot be listed in " + path + ": " + p + ".";
        return false;
    }
    std::vector<std::pair<std::string, std::string>> entries;
    for (const std::string& c : columns) {
        if (const std::string p = IgnoredNameProblem(c, false); !p.empty()) {
            error = "Column " + c + " cannot be listed in " + path + ": " + p + ".";
            return false;
        }
        entries.emplace_back("Col" + std::to_string(entries.size() + 1), StoredValue(c));
    }
    errno = 0;
    if (!inifile::ReplaceSection(path, tableName, entries, replaces)) {
        const int e = errno;
        error = "Cannot write the file " + path +
                (e != 0 ? std::string(" (") + std::strerror(e) + ")" : std::string()) +
                ".\r\n\r\nThe lists of ignored columns in it are unchanged.";
        return false;
    }
    return true;
}

} // namespace

bool SetIgnoredColumns(int32_t kind, const std::string& tableName,
                       const std::vector<std::string>& columns, std::string& error) {
    return WriteSection(kind, tableName, nullptr, columns, error);
}

bool SetIgnoredColumns(int32_t kind, const IgnoredTable& table,
                       const std::vector<std::string>& columns, std::string& error) {
    const std::string earlier = EarlierIgnoredColumnsSection(table);
    return WriteSection(kind, IgnoredColumnsSection(table),
                        table.Schema.empty() ? nullptr : &earlier, columns, error);
}

std::string IgnoredColumnsReport(int32_t kind, const std::string& title) {
    const std::string path = IgnoredColumnsFile(kind);
    std::string out = "List All Ignored Columns - " + title + "\r\n" + "File: " + path + "\r\n";
    int tables = 0;
    int total = 0;
    for (const std::string& section : inifile::SectionNames(path)) {
        std::vector<std::string> columns;
        if (GetIgnoredColumns(kind, section, columns) == 0)
            continue;
        ++tables;
        out += "\r\n" + section + "\r\n";
        for (const std::string& c : columns) {
            out += "    " + c + "\r\n";
            ++total;
        }
    }
    if (tables == 0)
        out += "\r\nNo columns are ignored.\r\n";
    else
        out += "\r\n" + std::to_string(tables) + (tables == 1 ? " table, " : " tables, ") +
               std::to_string(total) + (total == 1 ? " column." : " columns.") + "\r\n";
    return out;
}

} // namespace orv
