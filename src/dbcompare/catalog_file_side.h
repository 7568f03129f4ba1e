// `orvane-cli list` and `show` over a snapshot file or a scripts folder, read-only: the
// listing and the text the panel would show, built by the bulk reader from the kept rows (a
// folder's scripts are run in a scratch simulator first), so that they are what the same
// commands give for the database the file or folder was made from.
#pragma once

#include "catalog/bulk_catalog.h"
#include "catalog/catalog_snapshot.h"

#include <optional>
#include <string>
#include <vector>

namespace orv {

// Reads the side a word names, "snapshot:<file>" or "folder:<dir>", into a snapshot: the file
// read, or the folder's scripts run and their catalog read. Nothing when the word names
// neither; false with a message when it cannot be read. `refused` gets "<file> line <n>:
// <message>" of each script of a folder the simulator refused (its object is then absent).
std::optional<bool> ReadCatalogFileSide(const std::string& word, const CancelToken& cancel,
                                        CatalogSnapshotPtr& snapshot,
                                        std::vector<std::string>& refused, std::string& error);

// Every object of the type as the list shows it, read with the options (tables as the
// settings script them).
bool ReadCatalogFileObjects(const CatalogSnapshotPtr& snapshot, const std::string& label,
                            ObjectType type, const CatalogReadOptions& options,
                            CatalogTypeRead& out, std::string& error);

// The object a typed name means: the listed name (exact, else in any letter case), else
// schema.name; null when none.
const CatalogObject* FindCatalogFileObject(const CatalogTypeRead& read, const std::string& typed);

} // namespace orv
