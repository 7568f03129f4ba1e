#include "dbcompare/run_settings.h"

#include "catalog/ignored_columns.h"
#include "core/settings.h"
#include "dbcompare/data_key_store.h"

namespace orv {

CatalogReadOptions CatalogReadOptionsFromSettings() {
    const ProgramSettings& s = Settings();
    CatalogReadOptions o;
    o.IgnoreSysObjects = s.IgnoreSysObjects;
    o.IgnoreIndexes = s.IgnoreIndexes;
    o.CompleteTableScripts = s.CompleteTableScripts;
    o.IgnoreSystemConstraintNames = s.IgnoreSystemConstraintNames;
    return o;
}

void ApplyCurrentSettings(DbCompareRequest& request) {
    request.Options = CompareOptions::FromSettings();
    const CatalogReadOptions catalog = CatalogReadOptionsFromSettings();
    request.CompleteTableScripts = catalog.CompleteTableScripts;
    request.IgnoreSystemConstraintNames = catalog.IgnoreSystemConstraintNames;
    request.IgnoreIndexes = catalog.IgnoreIndexes;
    request.IgnoreSysObjects = catalog.IgnoreSysObjects;
    request.TimeoutSeconds = Settings().Timeout;
    request.IgnoredColumns = StoredIgnoredColumns(kIgnoredForStructure);
    // A word this version does not know reads as the default.
    request.Reading = ParseCompareReading(Settings().CompareReading).value_or(CompareReading::Auto);
}

void ApplyCurrentDataSettings(DataCompareRequest& request) {
    const ProgramSettings& s = Settings();
    request.CaseSensitive = s.CaseSensitive;
    request.RowKeepLimit = s.MaxRowsInDiffTable > 0 ? s.MaxRowsInDiffTable : 5000;
    request.Sync.DisableTriggers = s.SyncDisableTriggers;
    for (QueryPlace& place : request.Place)
        place.TimeoutSeconds = s.Timeout;
    request.IgnoredColumns = StoredIgnoredColumns(kIgnoredForData);
    request.PickedKey = [](const std::string& source, const std::string& target) {
        return LoadPickedKey(source, target);
    };
}

} // namespace orv
