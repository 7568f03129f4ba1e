#include "ui/main/frm_report_saved_comp.h"

#include "core/inifile.h"
#include "util/text.h"

#include <algorithm>
#include <set>

namespace orv {

namespace {
int32_t ToInt(const std::string& text) {
    int32_t value = 0;
    return ParseInt32(text, value) ? value : 0;
}

std::string CheckedObjectKey(int side, size_t index) {
    return (side == 0 ? "SelCompSource" : "SelCompTarget") + std::to_string(index + 1);
}
} // namespace

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

int32_t SaveComparisonProcess(const std::string& iniPath, const ComparisonDescription& d) {
    cInifile ini;
    ini.Path = iniPath;
    std::vector<std::string> sections;
    int32_t count = 0;
    ini.EnumerateAllSections(sections, count);
    std::set<int32_t> used;
    for (int32_t i = 1; i <= count; ++i) {
        int32_t n = 0;
        if (ParseInt32(sections[static_cast<size_t>(i)], n))
            used.insert(n);
    }
    int32_t number = 1;
    while (used.count(number) != 0)
        ++number;

    ini.Section = std::to_string(number);
    const std::pair<const char*, std::string> values[] = {
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
        {"ExportType", std::to_string(ExportTypeOf(d.SavedFullExportFilePath))},
        {"Print", d.Print ? "True" : "False"},
    };
    for (const auto& [key, value] : values) {
        ini.Key = key;
        ini.SetValue(value);
        if (!ini.Success())
            return 0;
    }
    // The checked objects follow their counts, one key each: SelCompSource1, SelCompSource2,
    // ... and SelCompTarget1, ...
    for (int side = 0; side < 2; ++side) {
        const auto& list = d.CheckedObjects[side];
        const size_t n =
            std::min(list.size(), static_cast<size_t>(std::max(0, d.CheckCount[side])));
        for (size_t k = 0; k < n; ++k) {
            ini.Key = CheckedObjectKey(side, k);
            ini.SetValue(list[k]);
            if (!ini.Success())
                return 0;
        }
    }
    return number;
}

bool LoadComparisonProcess(const std::string& iniPath, int32_t number, ComparisonDescription& d) {
    cInifile ini;
    ini.Path = iniPath;
    ini.Section = std::to_string(number);
    if (ini.INISection().empty())
        return false;
    auto get = [&ini](const char* key) {
        ini.Key = key;
        ini.Default.clear();
        return ini.Value();
    };
    d = ComparisonDescription{};
    d.CompType = ToInt(get("CompType"));
    d.CompSubType = ToInt(get("CompSubType"));
    d.CompSubSubType = ToInt(get("CompSubSubType"));
    d.EncObjTypes = get("EncObjTypes");
    d.ServerName[0] = get("ServerName1");
    d.DbName[0] = get("DbName1");
    d.TableName[0] = get("TableName1");
    d.ServerName[1] = get("ServerName2");
    d.DbName[1] = get("DbName2");
    d.TableName[1] = get("TableName2");
    d.CheckCount[0] = ToInt(get("SelCompCountSource"));
    d.CheckCount[1] = ToInt(get("SelCompCountTarget"));
    d.TableId[0] = get("ObjId1");
    d.TableId[1] = get("ObjId2");
    d.SavedFullExportFilePath = get("ExportFilePath");
    d.Print = get("Print") == "True";
    for (int side = 0; side < 2; ++side)
        for (size_t k = 0; k < static_cast<size_t>(std::max(0, d.CheckCount[side])); ++k) {
            std::string value = get(CheckedObjectKey(side, k).c_str());
            if (value.empty())
                break;
            d.CheckedObjects[side].push_back(std::move(value));
        }
    return true;
}

} // namespace orv
