#include "ui/main/db_compare_saved_comp.h"

namespace orv {

std::string ObjectTypesFlagText(const std::vector<ObjectType>& types) {
    std::string flags = ObjectTypeFlagText(kTypeNone); // "0,0,0,0,0,0,0"
    for (ObjectType type : types) {
        const std::string one = ObjectTypeFlagText(type);
        if (one.size() != flags.size())
            continue;
        for (size_t k = 0; k < one.size(); ++k)
            if (one[k] == '1')
                flags[k] = '1';
    }
    return flags;
}

std::string CheckedObjectText(const SelectedObject& object) {
    return std::to_string(object.Type) + "," + std::to_string(object.Id) + "," + object.ListedName;
}

ComparisonDescription DescribeDbCompare(const DbCompareResults& results,
                                        const std::vector<SelectedObject> (&selected)[2],
                                        const std::string& exportPath, bool printed) {
    ComparisonDescription d;
    d.CompType = kCompTypeStructure;
    switch (results.Kind) {
    case DbCompareKind::All:
        d.CompSubType = kCompSubTypeAllObjects;
        break;
    case DbCompareKind::Bulk:
        d.CompSubType = kCompSubTypeBulk;
        break;
    case DbCompareKind::Selective:
        d.CompSubType = kCompSubTypeSelective;
        break;
    }
    d.CompSubSubType = results.Details ? kCompSubSubTypeDetails : kCompSubSubTypeSimple;
    d.EncObjTypes = ObjectTypesFlagText(results.Types);
    d.CompMethod = -1;
    for (int i = 0; i < 2; ++i) {
        d.ServerName[i] = results.ServerName[i];
        d.DbName[i] = results.DbName[i];
        d.TableId[i] = "0";
        if (results.Kind != DbCompareKind::Selective)
            continue;
        for (const SelectedObject& o : selected[i])
            d.CheckedObjects[i].push_back(CheckedObjectText(o));
        d.CheckCount[i] = static_cast<int32_t>(d.CheckedObjects[i].size());
    }
    d.SavedFullExportFilePath = exportPath;
    d.Print = printed;
    return d;
}

} // namespace orv
