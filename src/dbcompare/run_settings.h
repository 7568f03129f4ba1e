// What the stored settings decide for a run, read once where the run's request is built (the
// window or the command line), on the thread that owns the settings. The engines then read
// only their requests, never the settings.
#pragma once

#include "catalog/bulk_catalog.h"
#include "dbcompare/data_compare.h"
#include "dbcompare/db_compare.h"

namespace orv {

// How catalogs are read: system objects, indexes, complete table scripts and the names of
// constraints the server named.
CatalogReadOptions CatalogReadOptionsFromSettings();

// Fills the fields of a whole-database request that come from the settings (the comparison
// options, the catalog read options, the timeout, the ignored-column lists of structure
// comparisons).
void ApplyCurrentSettings(DbCompareRequest& request);

// Fills CaseSensitive, RowKeepLimit (MaxRowsInDiffTable), Sync.DisableTriggers, the timeout of
// both places, the ignored-column lists of kind 1 and the remembered keys from the settings and
// the INI file.
void ApplyCurrentDataSettings(DataCompareRequest& request);

} // namespace orv
