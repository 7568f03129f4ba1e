// A column renamed in one database looks, to a comparison, like one column dropped and another
// added; deployed as such its values are lost. A table whose columns differ by exactly one
// such pair of the same shape is flagged as a likely rename, never acted on until a user
// confirms it.
#pragma once

#include "catalog/bulk_catalog.h"

#include <string>
#include <vector>

namespace orv {

// A column as the comparison sees it: its name, and its line of the table's text without the
// name (type, length, precision and scale, identity, nullability).
struct ColumnShape {
    std::string Name;
    std::string Shape;
};

std::vector<ColumnShape> TableColumnShapes(const CatalogTypeRead& read, const CatalogObject& table);

struct ColumnRenameGuess {
    std::string OldName; // only in the target
    std::string NewName; // only in the source
    bool Found() const { return !OldName.empty(); }
};

// The pair when exactly one column is only in the target and exactly one only in the source
// (names in any letter case, as the server's default collation matches them) and both have
// the same shape; nothing otherwise.
ColumnRenameGuess GuessColumnRename(const std::vector<ColumnShape>& source,
                                    const std::vector<ColumnShape>& target);

} // namespace orv
