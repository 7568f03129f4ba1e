#include "dbcompare/data_compare_saved.h"

#include <algorithm>

namespace orv {

ComparisonDescription DescribeDataCompare(const DataCompareResults& results,
                                          const DataCompareRequest& request, int32_t subType,
                                          const std::string& exportPath, bool printed) {
    ComparisonDescription d;
    d.CompType = kCompTypeData;
    d.CompSubType = request.AllTables ? kCompSubTypeDataAllTables : subType;
    d.CompSubSubType = kCompSubSubTypeSimple;
    d.EncObjTypes = "1,0,0,0,0,0,0"; // tables
    d.CompMethod = -1;
    for (int side = 0; side < 2; ++side) {
        d.ServerName[side] = results.ServerName[side];
        d.DbName[side] = results.DbName[side];
        d.TableId[side] = "0";
    }
    if (!request.AllTables) {
        for (const DataTablePair& pair : request.Tables) {
            for (int side = 0; side < 2; ++side)
                d.CheckedObjects[side].push_back(
                    BracketedTableName(pair.Schema[side], pair.Name[side]));
            d.DataKeys.push_back(BracketedColumnList(pair.Key));
        }
        d.CheckCount[0] = d.CheckCount[1] = static_cast<int32_t>(request.Tables.size());
        if (request.Tables.size() == 1)
            for (int side = 0; side < 2; ++side)
                d.TableName[side] = request.Tables.front().Name[side];
    }
    d.DataMode = request.Mode == DataCompareMode::Merge  ? kDataModeMerge
                 : request.Mode == DataCompareMode::Hash ? kDataModeHash
                                                         : kDataModeAuto;
    d.SavedFullExportFilePath = exportPath;
    d.Print = printed;
    return d;
}

bool DataPairsOfProcess(const ComparisonDescription& d, std::vector<DataTablePair>& pairs,
                        std::string& error) {
    pairs.clear();
    if (d.CompSubType == kCompSubTypeDataAllTables)
        return true;
    const size_t count = std::min(d.CheckedObjects[0].size(), d.CheckedObjects[1].size());
    for (size_t k = 0; k < count; ++k) {
        DataTablePair pair;
        for (int side = 0; side < 2; ++side)
            if (!ParseBracketedTableName(d.CheckedObjects[side][k], pair.Schema[side],
                                         pair.Name[side])) {
                error = std::string(side == 0 ? "SelCompSource" : "SelCompTarget") +
                        std::to_string(k + 1) + " is not [schema].[table].";
                return false;
            }
        if (k < d.DataKeys.size() && !d.DataKeys[k].empty() &&
            !ParseBracketedColumnList(d.DataKeys[k], pair.Key)) {
            error = "DataKey" + std::to_string(k + 1) + " is not [column],[column],...";
            return false;
        }
        pairs.push_back(std::move(pair));
    }
    if (pairs.empty()) {
        error = "the process names no table pair to compare.";
        return false;
    }
    return true;
}

DataCompareMode DataModeOfProcess(int32_t mode) {
    return mode == kDataModeMerge  ? DataCompareMode::Merge
           : mode == kDataModeHash ? DataCompareMode::Hash
                                   : DataCompareMode::Auto;
}

} // namespace orv
