#include "dbcompare/data_key_store.h"

#include "catalog/ignored_columns.h"
#include "catalog/sql_quote.h"
#include "core/inifile.h"
#include "util/text.h"

namespace orv {

namespace {

// The section of the kind-1 file that holds the remembered keys. Table sections are named
// "server.database.table", so no table's section can take this name.
constexpr const char* kKeySection = "Comparison keys";

// A full name made fit to be an INI key: the characters the file format gives a meaning are
// written as %XX.
std::string EncodeKeyName(const std::string& name) {
    std::string out;
    for (unsigned char c : name) {
        if (c < 0x20 || c == '%' || c == '=' || c == ';' || c == '[' || c == ']') {
            out += '%';
            AppendHexByte(out, c);
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string PickKeyName(const std::string& source, const std::string& target) {
    return EncodeKeyName(source) + " -> " + EncodeKeyName(target);
}

// "[a], [b]]c]" back into its names; empty when the text is not such a list.
std::vector<std::string> ParseColumnList(const std::string& text) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == ','))
            ++i;
        if (i >= text.size())
            break;
        if (text[i] != '[')
            return {};
        std::string name;
        ++i;
        bool closed = false;
        while (i < text.size()) {
            if (text[i] == ']') {
                if (i + 1 < text.size() && text[i + 1] == ']') {
                    name += ']';
                    i += 2;
                    continue;
                }
                ++i;
                closed = true;
                break;
            }
            name += text[i++];
        }
        if (!closed)
            return {};
        out.push_back(name);
    }
    return out;
}

} // namespace

std::vector<std::string> LoadPickedKey(const std::string& sourceFullName,
                                       const std::string& targetFullName) {
    std::string value;
    if (!inifile::ReadValue(IgnoredColumnsFile(kIgnoredForData), kKeySection,
                            PickKeyName(sourceFullName, targetFullName), value))
        return {};
    return ParseColumnList(value);
}

bool StorePickedKey(const std::string& sourceFullName, const std::string& targetFullName,
                    const std::vector<std::string>& columns) {
    const std::string key = PickKeyName(sourceFullName, targetFullName);
    if (columns.empty())
        return inifile::Write(IgnoredColumnsFile(kIgnoredForData), kKeySection, &key, nullptr);
    std::string value;
    for (const std::string& c : columns)
        value += (value.empty() ? "" : ", ") + QuoteCatalogName(c);
    return inifile::Write(IgnoredColumnsFile(kIgnoredForData), kKeySection, &key, &value);
}

} // namespace orv
