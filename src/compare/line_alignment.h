// The marked lines of two views set side by side: a line the same on both sides or changed on
// both sides sits in one row with its partner; a line on one side only has a row to itself.
// Scrolling the views together, the side-by-side results and the unified hunks all read these
// rows, so they agree on which line faces which.
#pragma once

#include "compare/comp_line.h"

#include <cstdint>
#include <vector>

namespace orv {

struct AlignedRow {
    int64_t Source = -1; // index into the source lines; -1 when the row has no source line
    int64_t Target = -1;
    int32_t Status = LineUnmarked; // the status both lines (or the one line) carry
};

// Rows in the order of both texts. Lines left unmarked (a marking that did not run) pair up
// one to one as far as both sides go.
std::vector<AlignedRow> AlignMarkedLines(const CompLines& source, const CompLines& target);

} // namespace orv
