// Matches the lines of two views and colours each by its difference status.
#pragma once

#include "compare/comp_line.h"
#include "compare/view_pair.h"
#include "util/text_view.h"

#include <cstdint>

namespace orv {

// How the lines of the two texts are matched.
enum class LineMatching {
    // Over the whole of both texts, as diff does: the fewest lines are marked, and a line the
    // same on both sides is never marked. In each run of differing lines the first lines of the
    // two sides pair up as changed; what one side has more is marked as its own.
    WholeText,
    // The classic walk, which looks at most kLookAhead lines past the current one for a
    // partner: a longer inserted or deleted block pairs up as changed lines, and the lines after
    // it with them. Where an insertion into the target and a deletion from the source would
    // both explain a difference, the insertion wins.
    LookAhead,
};

// How far past the current line the classic matching looks for a partner.
constexpr int64_t kLookAhead = 20;

// Gives every line of both arrays its status; lines compare by their exact text.
void MatchLines(CompLines& source, CompLines& target,
                LineMatching matching = LineMatching::WholeText);

// Paints every line of the array in the colour of its status.
void PaintLines(TextView& view, const CompLines& lines);

// Leaves exactly equal views alone; otherwise fills both arrays, matches and paints both views.
// errorCode becomes non-zero when a view cannot be split into lines ("Error occurred." has been
// shown and nothing is painted).
void Mark_Differences(TextView& sourceView, TextView& targetView, CompLines& sourceLines,
                      CompLines& targetLines, int32_t& errorCode,
                      LineMatching matching = LineMatching::WholeText);
// The same on views that other steps of the comparison may already have split. True when the
// lines were marked (and, with `paint`, the views painted).
bool Mark_Differences(ViewPair& views, int32_t& errorCode, bool paint = true,
                      LineMatching matching = LineMatching::WholeText);

} // namespace orv
