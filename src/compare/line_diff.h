// The lines two texts have in common, found over the whole of both texts: a shortest edit script
// (fewest lines deleted plus inserted) in linear space, as diff tools find it. Lines are given as
// numbers, equal lines having equal numbers, so the caller decides what makes two lines equal.
#pragma once

#include <cstdint>
#include <vector>

namespace orv {

// For each line of `a` and of `b`, whether it is left out of the common lines (1) or kept in
// them (0). Of several shortest scripts the one that keeps the earlier of two equal lines is
// preferred where the search can tell. A difference too costly to search exhaustively is
// settled by a bounded search: the result then still keeps only equal lines in common, in
// order, but may leave out more lines than the fewest possible.
struct LineDiff {
    std::vector<char> changedA;
    std::vector<char> changedB;
};
LineDiff DiffLines(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b);

} // namespace orv
