#include "dbcompare/data_compare.h"

#include "catalog/table_script.h"

#include <memory>

namespace orv {

std::string DataTableFullName(const QueryPlace& place, const std::string& schema,
                              const std::string& name) {
    return GetObjectFullName(place.Server, place.Database,
                             schema.empty() ? name : schema + "." + name, false);
}

void ApplyCurrentDataSettings(DataCompareRequest&) {}

DataCompareResultsPtr RunDataCompare(const DataCompareRequest& request, ProgressSink&,
                                     const CancelToken&) {
    auto results = std::make_shared<DataCompareResults>();
    results->CaseSensitive = request.CaseSensitive;
    results->Outcome = RunOutcome::Failed;
    results->Problem = "Data comparison is not available yet.";
    return results;
}

bool ReadKeyChoice(const QueryPlace[2], const DataTablePair&, const std::vector<std::string>&,
                   const std::vector<std::string>&, KeyChoice& choice, std::string& error) {
    choice = KeyChoice{};
    error = "Data comparison is not available yet.";
    return false;
}

std::vector<std::string> LoadPickedKey(const std::string&, const std::string&) {
    return {};
}

bool StorePickedKey(const std::string&, const std::string&, const std::vector<std::string>&) {
    return false;
}

} // namespace orv
