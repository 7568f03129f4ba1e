// Matches the lines of two views and colours each by its difference status.
#pragma once

#include "compare/comp_line.h"
#include "compare/view_pair.h"
#include "util/text_view.h"

#include <cstdint>

namespace orv {

// How far past the current line the matching looks for a partner; a longer inserted or deleted
// block pairs up as changed lines.
constexpr int64_t kLookAhead = 20;

// Gives every line of both arrays its status. Where an insertion into the target and a deletion
// from the source would both explain a difference, the insertion wins.
void MatchLines(CompLines& source, CompLines& target);

// Paints every line of the array in the colour of its status.
void PaintLines(TextView& view, const CompLines& lines);

// Leaves exactly equal views alone; otherwise fills both arrays, matches and paints both views.
// errorCode becomes non-zero when a view cannot be split into lines ("Error occurred." has been
// shown and nothing is painted).
void Mark_Differences(TextView& sourceView, TextView& targetView, CompLines& sourceLines,
                      CompLines& targetLines, int32_t& errorCode);
// The same on views that other steps of the comparison may already have split. True when the
// lines were marked (and, with `paint`, the views painted).
bool Mark_Differences(ViewPair& views, int32_t& errorCode, bool paint = true);

} // namespace orv
