// The second opinion for texts found different: are both views made of the same lines in some
// order? A table whose columns were created in another order scripts the same lines reordered.
#pragma once

#include "compare/comp_line.h"
#include "compare/view_pair.h"
#include "util/text_view.h"

#include <cstdint>

namespace orv {

// True when both views hold the same lines, whatever their order. With `ignoreComments` the
// lines are those of the texts without their comments. A view that cannot be split into lines
// is reported by a message and gives false.
bool CompareProcs_IgnoreColumnsOrder(TextView& sourceView, TextView& targetView,
                                     bool ignoreComments = false);

// The same on views that other steps of the comparison may already have split; their lines
// are left as they are.
bool CompareProcs_IgnoreColumnsOrder(ViewPair& views, bool ignoreComments);

// Sorts in O(n log n) with no limit on the number of lines. Ignoring case, lines are ordered by
// their case-folded text and then by their exact text, so equal multisets of lines always end
// in the same order.
void SortArray_CompLine(CompLines& lines, bool ascending, bool ignoreCase);

// Same count and the same line texts at the same positions, letter case included.
bool AreTypeArrays_CompLine_Identical(const CompLines& a, const CompLines& b, int64_t countA,
                                      int64_t countB);

} // namespace orv
