// Pairing the objects of one type found on the two sides by schema (owner on SQL Server 2000)
// and name.
#pragma once

#include "dbcompare/db_compare_results.h"

#include <string>
#include <vector>

namespace orv {

// One pair: indices into the source and target lists, -1 for a side the object is missing from.
struct PairIndex {
    int Source = -1;
    int Target = -1;
};

// The key objects pair by: schema and name, letter case folded unless `caseSensitive`.
std::string PairKey(const ObjectRef& object, bool caseSensitive);

// Every object of both lists in exactly one pair, ordered by key. Objects whose keys are equal
// pair exact namesakes first, then the rest in list order; what is left stands alone.
std::vector<PairIndex> PairObjects(const std::vector<const ObjectRef*>& source,
                                   const std::vector<const ObjectRef*>& target, bool caseSensitive);

} // namespace orv
