#include "core/saved_comparison.h"

#include "core/inifile.h"
#include "util/text.h"

#include <algorithm>
#include <set>
#include <utility>

namespace orv {

namespace {

std::string CheckedObjectKey(int side, size_t index) {
    return (side == 0 ? "SelCompSource" : "SelCompTarget") + std::to_string(index + 1);
}

// A value is one line of the file: line breaks and other control characters become blanks,
// so no value can start a key or section of its own.
std::string OneLine(const std::string& value) {
    std::string out = value;
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    return out;
}

// The seven flags of a flag text in either saved form ("1,0,0,0,0,0,0" or "1000000"); false
// when the text is neither.
bool ParseFlags(const std::string& text, std::string& flags) {
    flags.clear();
    const std::string bare = ReplaceAll(text, ",", "");
    if (bare.size() != 7 || bare.find_first_not_of("01") != std::string::npos)
        return false;
    if (text.find(',') != std::string::npos && text.size() != 13)
        return false;
    flags = bare;
    return true;
}

std::string Bracketed(const std::string& part) {
    return "[" + ReplaceAll(part, "]", "]]") + "]";
}

// "[a]<sep>[b]<sep>...": every part bracketed and not empty, "]]" standing for "]".
bool ParseBracketedParts(const std::string& text, char separator, std::vector<std::string>& parts) {
    parts.clear();
    size_t i = 0;
    while (true) {
        if (i >= text.size() || text[i] != '[')
            return false;
        std::string part;
        for (++i;; ++i) {
            if (i >= text.size())
                return false;
            if (text[i] == ']') {
                if (i + 1 < text.size() && text[i + 1] == ']') {
                    part += ']';
                    ++i;
                    continue;
                }
                ++i;
                break;
            }
            part += text[i];
        }
        if (part.empty())
            return false;
        parts.push_back(std::move(part));
        if (i == text.size())
            return true;
        if (text[i] != separator)
            return false;
        ++i;
    }
}

// The selector's order of the seven flags.
constexpr const char* kTypePlural[7] = {"Tables",   "Procedures",    "Functions",  "Views",
                                        "Triggers", "Relationships", "Constraints"};

// Reads one section and checks each value as it goes; the first fault ends the reading.
class SectionReader {
public:
    SectionReader(const std::string& path, int32_t number)
        : path_(path), section_(std::to_string(number)) {}

    bool Exists() const { return !inifile::KeyNames(path_, section_).empty(); }

    bool Text(const char* key, std::string& value, bool required, bool nonEmpty = false) {
        value.clear();
        if (!inifile::ReadValue(path_, section_, key, value)) {
            if (required)
                return Fail(key, "is missing");
            return true;
        }
        if (nonEmpty && Trim(value).empty())
            return Fail(key, "is empty");
        return true;
    }

    bool Number(const char* key, int32_t& value, bool required, int32_t min = 0) {
        std::string text;
        value = 0;
        if (!Text(key, text, required))
            return false;
        if (text.empty() && !required)
            return true;
        if (!ParseInt32(Trim(text), value))
            return Fail(key, "holds \"" + text + "\", which is not a number");
        if (value < min)
            return Fail(key, "holds " + text + ", which is below " + std::to_string(min));
        return true;
    }

    bool Fail(const std::string& key, const std::string& what) {
        error_ = "Saved comparison process [" + section_ + "] is refused: the key " + key + " " +
                 what + ".";
        return false;
    }

    const std::string& Error() const { return error_; }

private:
    std::string path_;
    std::string section_;
    std::string error_;
};

// The table pairs, their picked keys and the mode of a data comparison.
bool ReadDataPairs(SectionReader& r, ComparisonDescription& d) {
    const int32_t count = d.CheckCount[0];
    if (d.CheckCount[1] != count)
        return r.Fail("SelCompCountTarget", "holds " + std::to_string(d.CheckCount[1]) +
                                                ", but SelCompCountSource holds " +
                                                std::to_string(count) +
                                                ": every pair has two tables");
    if (d.CompSubType == kCompSubTypeDataSinglePair && count != 1)
        return r.Fail("SelCompCountSource",
                      "holds " + std::to_string(count) + ", but a single pair of tables needs 1");
    if (d.CompSubType == kCompSubTypeDataSelected && count == 0)
        return r.Fail("SelCompCountSource", "is 0: no table pair is picked");
    // All tables lists none.
    const int32_t used = d.CompSubType == kCompSubTypeDataAllTables ? 0 : count;
    std::string text, schema, name;
    for (int32_t k = 0; k < used; ++k) {
        for (int side = 0; side < 2; ++side) {
            const std::string key = CheckedObjectKey(side, static_cast<size_t>(k));
            if (!r.Text(key.c_str(), text, true, true))
                return false;
            if (!ParseBracketedTableName(text, schema, name))
                return r.Fail(key, "holds \"" + text + "\", which is not [schema].[table]");
            d.CheckedObjects[side].push_back(text);
        }
        const std::string key = "DataKey" + std::to_string(k + 1);
        std::vector<std::string> columns;
        if (!r.Text(key.c_str(), text, false))
            return false;
        if (!text.empty() && !ParseBracketedColumnList(text, columns))
            return r.Fail(key, "holds \"" + text + "\", which is not [column],[column],...");
        d.DataKeys.push_back(text);
    }
    if (!r.Number("DataMode", d.DataMode, false, 0))
        return false;
    if (d.DataMode > kDataModeHash)
        return r.Fail("DataMode", "holds " + std::to_string(d.DataMode) +
                                      ", which is neither 0 (auto), 1 (merge) nor 2 (hash)");
    return true;
}

bool ReadChecked(const std::string& path, int32_t number, ComparisonDescription& d,
                 std::string& error) {
    d = ComparisonDescription{};
    SectionReader r(path, number);
    if (number <= 0 || !r.Exists()) {
        error = "There is no saved comparison process number " + std::to_string(number) + ".";
        return false;
    }
    auto fail = [&] {
        error = r.Error();
        return false;
    };
    auto refuse = [&](const std::string& key, const std::string& what) {
        r.Fail(key, what);
        return fail();
    };
    std::string text;
    if (!r.Text("Name", d.Name, false) || !r.Number("CompType", d.CompType, true, 1) ||
        !r.Number("CompSubType", d.CompSubType, true) ||
        !r.Number("CompSubSubType", d.CompSubSubType, false))
        return fail();
    if (d.CompSubSubType > kCompSubSubTypeDetails)
        return refuse("CompSubSubType", "holds " + std::to_string(d.CompSubSubType) +
                                            ", which is neither 0 (simple) nor 1 (details)");
    const bool structure = d.CompType == kCompTypeStructure;
    const bool data = d.CompType == kCompTypeData;
    if (data && d.CompSubType != kCompSubTypeDataAllTables &&
        d.CompSubType != kCompSubTypeDataSelected && d.CompSubType != kCompSubTypeDataSinglePair)
        return refuse("CompSubType",
                      "holds " + std::to_string(d.CompSubType) + ", which is no data comparison");
    if (structure && d.CompSubType != kCompSubTypeAllObjects && d.CompSubType != kCompSubTypeBulk &&
        d.CompSubType != kCompSubTypeSelective && d.CompSubType != kCompSubTypeSinglePair)
        return refuse("CompSubType", "holds " + std::to_string(d.CompSubType) +
                                         ", which is no structure comparison");

    std::string flags;
    if (!r.Text("EncObjTypes", d.EncObjTypes, true))
        return fail();
    if (!ParseFlags(d.EncObjTypes, flags))
        return refuse("EncObjTypes",
                      "holds \"" + d.EncObjTypes + "\", which is not seven flags 0 or 1");
    const auto ones = std::count(flags.begin(), flags.end(), '1');
    if (structure && ones == 0)
        return refuse("EncObjTypes", "names no object type");
    if (structure && d.CompSubType != kCompSubTypeAllObjects && ones != 1)
        return refuse("EncObjTypes", "must name exactly one object type for this comparison");

    const bool pair = structure && d.CompSubType == kCompSubTypeSinglePair;
    if (!r.Text("ServerName1", d.ServerName[0], true, true) ||
        !r.Text("DbName1", d.DbName[0], true, true) ||
        !r.Text("ServerName2", d.ServerName[1], true, true) ||
        !r.Text("DbName2", d.DbName[1], true, true) ||
        !r.Text("TableName1", d.TableName[0], pair, pair) ||
        !r.Text("TableName2", d.TableName[1], pair, pair))
        return fail();
    int32_t id = 0;
    if (!r.Number("ObjId1", id, pair, 0))
        return fail();
    d.TableId[0] = std::to_string(id);
    if (!r.Number("ObjId2", id, pair, 0))
        return fail();
    d.TableId[1] = std::to_string(id);

    const bool selective = structure && d.CompSubType == kCompSubTypeSelective;
    if (!r.Number("SelCompCountSource", d.CheckCount[0], false, 0) ||
        !r.Number("SelCompCountTarget", d.CheckCount[1], false, 0))
        return fail();
    if (selective && d.CheckCount[0] + d.CheckCount[1] == 0)
        return refuse("SelCompCountSource", "and SelCompCountTarget are both 0: nothing is picked");
    if (data && !ReadDataPairs(r, d))
        return fail();
    for (int side = 0; side < 2 && !data; ++side) {
        // The picks of a non-selective comparison are not used; a selective one needs each.
        const int32_t count = selective ? d.CheckCount[side] : 0;
        for (int32_t k = 0; k < count; ++k) {
            const std::string key = CheckedObjectKey(side, static_cast<size_t>(k));
            if (!r.Text(key.c_str(), text, true, true))
                return fail();
            const std::vector<std::string> parts = Split(text, ",");
            int32_t type = 0, objectId = 0;
            if (parts.size() < 3 || !ParseInt32(Trim(parts[0]), type) ||
                !ParseInt32(Trim(parts[1]), objectId) ||
                text.size() <= parts[0].size() + parts[1].size() + 2)
                return refuse(key, "holds \"" + text + "\", which is not <type>,<id>,<name>");
            d.CheckedObjects[side].push_back(text);
        }
    }

    if (!r.Text("ExportFilePath", d.SavedFullExportFilePath, false) ||
        !r.Number("ExportType", d.ExportType, false, 0))
        return fail();
    if (!d.SavedFullExportFilePath.empty() && d.ExportType != kExportHtml &&
        d.ExportType != kExportCsv)
        return refuse("ExportType", "holds " + std::to_string(d.ExportType) +
                                        ", but an export file needs 1 (HTML) or 2 (CSV)");
    for (int list = 0; list < 2; ++list) {
        const std::string prefix = list == 0 ? "Include" : "Exclude";
        auto& patterns = list == 0 ? d.IncludePatterns : d.ExcludePatterns;
        for (int k = 1;; ++k) {
            const std::string key = prefix + std::to_string(k);
            if (!r.Text(key.c_str(), text, false))
                return fail();
            if (Trim(text).empty())
                break;
            patterns.push_back(Trim(text));
        }
    }
    if (!r.Text("NotComparable", text, false))
        return fail();
    if (EqualsNoCase(Trim(text), "report"))
        d.ReportNotComparable = true;
    else if (!text.empty() && !EqualsNoCase(Trim(text), "error"))
        return refuse("NotComparable", "holds \"" + text + "\", which is neither error nor report");
    if (!r.Text("Action", text, false))
        return fail();
    if (EqualsNoCase(Trim(text), "deploy"))
        d.Deploy = true;
    else if (!text.empty() && !EqualsNoCase(Trim(text), "compare"))
        return refuse("Action", "holds \"" + text + "\", which is neither compare nor deploy");
    if (!r.Text("DeployScriptFile", d.DeployScriptPath, false) ||
        !r.Text("DeployTarget", d.DeployTarget, false) || !r.Text("DeployApply", text, false))
        return fail();
    d.DeployScriptPath = Trim(d.DeployScriptPath);
    d.DeployTarget = Trim(d.DeployTarget);
    if (EqualsNoCase(Trim(text), "True"))
        d.DeployApply = true;
    else if (!text.empty() && !EqualsNoCase(Trim(text), "False"))
        return refuse("DeployApply", "holds \"" + text + "\", which is neither True nor False");
    if (d.Deploy && d.DeployScriptPath.empty())
        return refuse("DeployScriptFile", "is empty, but a process that deploys writes its "
                                          "script there");
    if (d.Deploy && d.DeployApply && d.DeployTarget != d.DbName[1])
        return refuse("DeployTarget", "holds \"" + d.DeployTarget +
                                          "\", but a process that applies its "
                                          "deployment must name its target database (" +
                                          d.DbName[1] + ") there");
    if (!r.Text("Print", text, false))
        return fail();
    if (EqualsNoCase(Trim(text), "True"))
        d.Print = true;
    else if (!text.empty() && !EqualsNoCase(Trim(text), "False"))
        return refuse("Print", "holds \"" + text + "\", which is neither True nor False");
    d.CompMethod = -1;
    return true;
}

} // namespace

std::string BracketedTableName(const std::string& schema, const std::string& name) {
    return schema.empty() ? Bracketed(name) : Bracketed(schema) + "." + Bracketed(name);
}

bool ParseBracketedTableName(const std::string& text, std::string& schema, std::string& name) {
    std::vector<std::string> parts;
    if (!ParseBracketedParts(text, '.', parts) || parts.size() > 2)
        return false;
    schema = parts.size() == 2 ? parts[0] : std::string();
    name = parts.back();
    return true;
}

std::string BracketedColumnList(const std::vector<std::string>& columns) {
    std::string text;
    for (const std::string& c : columns)
        text += (text.empty() ? "" : ",") + Bracketed(c);
    return text;
}

bool ParseBracketedColumnList(const std::string& text, std::vector<std::string>& columns) {
    return ParseBracketedParts(text, ',', columns);
}

int32_t ExportTypeOf(const std::string& path) {
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos)
        return 0;
    const std::string ext = ToLowerAscii(path.substr(dot));
    if (ext == ".htm" || ext == ".html")
        return kExportHtml;
    if (ext == ".csv")
        return kExportCsv;
    return 0;
}

namespace {

// The keys and values of a process's section, in the order they are written.
std::vector<std::pair<std::string, std::string>> SectionValues(const ComparisonDescription& d) {
    const int32_t exportType =
        d.ExportType != 0 ? d.ExportType : ExportTypeOf(d.SavedFullExportFilePath);
    std::vector<std::pair<std::string, std::string>> values = {
        {"CompType", std::to_string(d.CompType)},
        {"CompSubType", std::to_string(d.CompSubType)},
        {"CompSubSubType", std::to_string(d.CompSubSubType)},
        {"EncObjTypes", d.EncObjTypes},
        {"ServerName1", d.ServerName[0]},
        {"DbName1", d.DbName[0]},
        {"TableName1", d.TableName[0]},
        {"ServerName2", d.ServerName[1]},
        {"DbName2", d.DbName[1]},
        {"TableName2", d.TableName[1]},
        {"SelCompCountSource", std::to_string(d.CheckCount[0])},
        {"SelCompCountTarget", std::to_string(d.CheckCount[1])},
        {"ObjId1", d.TableId[0]},
        {"ObjId2", d.TableId[1]},
        {"ExportFilePath", d.SavedFullExportFilePath},
        {"ExportType", std::to_string(exportType)},
        {"Print", d.Print ? "True" : "False"},
    };
    // The checked objects follow their counts, one key each: SelCompSource1, SelCompSource2,
    // ... and SelCompTarget1, ...
    for (int side = 0; side < 2; ++side) {
        const auto& list = d.CheckedObjects[side];
        const size_t n =
            std::min(list.size(), static_cast<size_t>(std::max(0, d.CheckCount[side])));
        for (size_t k = 0; k < n; ++k)
            values.emplace_back(CheckedObjectKey(side, k), list[k]);
    }
    if (d.CompType == kCompTypeData) {
        const size_t n = std::min(d.DataKeys.size(), d.CheckedObjects[0].size());
        for (size_t k = 0; k < n; ++k)
            if (!d.DataKeys[k].empty())
                values.emplace_back("DataKey" + std::to_string(k + 1), d.DataKeys[k]);
        values.emplace_back("DataMode", std::to_string(d.DataMode));
    }
    for (size_t k = 0; k < d.IncludePatterns.size(); ++k)
        values.emplace_back("Include" + std::to_string(k + 1), d.IncludePatterns[k]);
    for (size_t k = 0; k < d.ExcludePatterns.size(); ++k)
        values.emplace_back("Exclude" + std::to_string(k + 1), d.ExcludePatterns[k]);
    if (d.ReportNotComparable)
        values.emplace_back("NotComparable", "report");
    if (d.Deploy) {
        values.emplace_back("Action", "deploy");
        values.emplace_back("DeployScriptFile", d.DeployScriptPath);
        values.emplace_back("DeployApply", d.DeployApply ? "True" : "False");
        if (!d.DeployTarget.empty())
            values.emplace_back("DeployTarget", d.DeployTarget);
    }
    if (!d.Name.empty())
        values.emplace_back("Name", Trim(d.Name));
    for (auto& [key, value] : values)
        value = OneLine(value);
    return values;
}

} // namespace

std::string WithExportExtension(const std::string& path, int32_t type) {
    if (path.empty() || (type != kExportHtml && type != kExportCsv))
        return path;
    const std::string ext = type == kExportCsv ? ".csv" : ".html";
    if (ExportTypeOf(path) == 0)
        return path + ext;
    if (ExportTypeOf(path) == type)
        return path;
    return path.substr(0, path.find_last_of('.')) + ext;
}

int32_t SaveComparisonProcess(const std::string& iniPath, const ComparisonDescription& d) {
    const std::vector<std::pair<std::string, std::string>> values = SectionValues(d);

    const std::string section = inifile::AddSection(
        iniPath,
        [](const std::vector<std::string>& names) {
            std::set<int32_t> used;
            for (const std::string& name : names) {
                int32_t n = 0;
                if (ParseInt32(name, n))
                    used.insert(n);
            }
            int32_t number = 1;
            while (used.count(number) != 0)
                ++number;
            return std::to_string(number);
        },
        values);
    int32_t number = 0;
    return !section.empty() && ParseInt32(section, number) ? number : 0;
}

bool ReadComparisonProcess(const std::string& iniPath, int32_t number, ComparisonDescription& d,
                           std::string& error) {
    error.clear();
    return ReadChecked(iniPath, number, d, error);
}

bool LoadComparisonProcess(const std::string& iniPath, int32_t number, ComparisonDescription& d) {
    std::string error;
    return ReadChecked(iniPath, number, d, error);
}

std::vector<SavedProcessEntry> ListComparisonProcesses(const std::string& iniPath) {
    std::set<int32_t> numbers;
    for (const std::string& name : inifile::SectionNames(iniPath)) {
        int32_t n = 0;
        if (ParseInt32(name, n) && n > 0 && name == std::to_string(n))
            numbers.insert(n);
    }
    std::vector<SavedProcessEntry> list;
    for (int32_t n : numbers) {
        SavedProcessEntry e;
        e.Number = n;
        e.Valid = ReadChecked(iniPath, n, e.Description, e.Error);
        if (!e.Valid) {
            // Still show what can be shown of a refused process.
            inifile::ReadValue(iniPath, std::to_string(n), "Name", e.Description.Name);
        }
        list.push_back(std::move(e));
    }
    return list;
}

bool RenameComparisonProcess(const std::string& iniPath, int32_t number, const std::string& name) {
    const std::string section = std::to_string(number);
    if (number <= 0 || inifile::KeyNames(iniPath, section).empty())
        return false;
    const std::string key = "Name";
    const std::string value = OneLine(Trim(name));
    return value.empty() ? inifile::Write(iniPath, section, &key, nullptr)
                         : inifile::Write(iniPath, section, &key, &value);
}

bool UpdateComparisonProcess(const std::string& iniPath, int32_t number,
                             const ComparisonDescription& d) {
    const std::string section = std::to_string(number);
    if (number <= 0 || inifile::KeyNames(iniPath, section).empty())
        return false;
    return inifile::ReplaceSection(iniPath, section, SectionValues(d));
}

bool DeleteComparisonProcess(const std::string& iniPath, int32_t number) {
    const std::string section = std::to_string(number);
    if (number <= 0 || inifile::KeyNames(iniPath, section).empty())
        return false;
    return inifile::Write(iniPath, section, nullptr, nullptr);
}

std::string ComparisonKindText(const ComparisonDescription& d) {
    if (d.CompType == kCompTypeData) {
        switch (d.CompSubType) {
        case kCompSubTypeDataAllTables:
            return "Compare Data in All Tables";
        case kCompSubTypeDataSelected:
            return "Compare Data in Selected Tables";
        case kCompSubTypeDataSinglePair: {
            if (d.CheckedObjects[0].empty() || d.CheckedObjects[1].empty())
                return "Compare Data in Single Pair of Tables";
            std::string schema, name[2];
            for (int side = 0; side < 2; ++side)
                if (!ParseBracketedTableName(d.CheckedObjects[side].front(), schema, name[side]))
                    name[side] = d.CheckedObjects[side].front();
                else if (!schema.empty())
                    name[side] = schema + "." + name[side];
            return "Compare Data in Tables " + name[0] +
                   (name[1] == name[0] ? std::string() : " and " + name[1]);
        }
        default:
            return "Data comparison " + std::to_string(d.CompSubType);
        }
    }
    if (d.CompType != kCompTypeStructure)
        return "Comparison of kind " + std::to_string(d.CompType);
    std::string flags;
    ParseFlags(d.EncObjTypes, flags);
    std::string plural = "Objects";
    for (size_t k = 0; k < flags.size(); ++k)
        if (flags[k] == '1') {
            plural = kTypePlural[k];
            break;
        }
    const std::string details = d.CompSubSubType == kCompSubSubTypeDetails ? " - Details" : "";
    switch (d.CompSubType) {
    case kCompSubTypeAllObjects:
        return "Compare All Objects";
    case kCompSubTypeBulk:
        return "Compare All " + plural + details;
    case kCompSubTypeSelective:
        return "Compare Selected " + plural + details;
    case kCompSubTypeSinglePair:
        return "Compare " + plural.substr(0, plural.size() - 1) + " " + d.TableName[0] +
               (d.TableName[1] == d.TableName[0] ? std::string() : " and " + d.TableName[1]);
    default:
        return "Structure comparison " + std::to_string(d.CompSubType);
    }
}

std::string ComparisonDisplayName(int32_t number, const ComparisonDescription& d) {
    return d.Name.empty() ? "Process " + std::to_string(number) : d.Name;
}

} // namespace orv
