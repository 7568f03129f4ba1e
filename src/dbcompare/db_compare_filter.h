// Which pairs of a whole-database comparison a person is looking at: a filter by status, by type
// and by a name pattern, and the walk to the next or previous differing pair among those shown.
// The results window and anything else that lists results share it, so they agree on what a
// pattern matches.
#pragma once

#include "dbcompare/db_compare_results.h"

#include <string>
#include <vector>

namespace orv {

enum class StatusFilter {
    All,
    Identical,
    Different,
    OnlyInSource,
    OnlyInTarget,
    NotComparable,
    // Everything but identical: what a person usually wants to look through.
    AnyDifference,
};

struct PairFilter {
    StatusFilter Status = StatusFilter::All;
    ObjectType Type = kTypeNone; // kTypeNone: every type
    // "*" any run of characters, "?" one character, letter case ignored. A pattern without a
    // wildcard matches names that contain it. Matched against the name and "schema.name".
    std::string NamePattern;
};

// The whole of `text` against `pattern` ("*" and "?"), ASCII letters compared without case.
bool WildcardMatch(const std::string& pattern, const std::string& text);

// A pair other than identical: changed, on one side only, or not comparable.
bool IsDifference(PairStatus status);

bool PairMatches(const PairFilter& filter, const PairVerdict& pair);

// Indexes into results.Pairs of the pairs the filter lets through, in the results' order.
std::vector<int> FilterPairs(const DbCompareResults& results, const PairFilter& filter);

// From position `from` of `shown` (indexes into results.Pairs), the position of the next
// (forward) or previous differing pair; -1 when there is none in that direction. `from` may be
// -1 (before the first) or shown.size() (after the last).
int NextDifference(const DbCompareResults& results, const std::vector<int>& shown, int from,
                   bool forward);

} // namespace orv
