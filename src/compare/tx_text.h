// The text view routines the comparison and the report window share: a view's text as line
// records and back, painting a range, copying a view to the clipboard and a view's initial state.
#pragma once

#include "compare/comp_line.h"
#include "util/text_view.h"

#include <cstdint>
#include <string>

namespace orv {

constexpr int32_t kDefaultPageWidth = 20000;  // twips
constexpr int32_t kDefaultPageHeight = 15840; // twips
constexpr double kViewFontSize = 8.25;

// Fills `lines` with the view's lines and returns their number (0 for an empty view).
// errorCode: 0 on success, -1 when the view reports an impossible line position, otherwise the
// number of the run-time error (which has been reported).
int64_t TXText_ConvTextToArray(const TextView& view, CompLines& lines, int32_t& errorCode);
// The same for a caller that has just read the view's Text() and hands it in.
int64_t TXText_ConvTextToArray(const TextView& view, const std::string& viewText, CompLines& lines,
                               int32_t& errorCode);

// The texts of the first `count` lines, each followed by CR LF (the last one too).
std::string TXText_ConvArrayToText(const CompLines& lines, int64_t count, int32_t& errorCode);

// Empties the clipboard, then puts the view's lines on it when it has any.
void TXText_CopyToClipboard(const TextView& view);

// Colours characters [startPos, endPos) and leaves them selected.
void SetRangeBackColor(TextView& view, Colour colour, int64_t startPos, int64_t endPos);

// A new view's state: empty, page size from the TXText registry values (never below the
// defaults), 8.25 points, editable only in debug mode.
void InitializeTXTextControl(TextView& view);

// Splits a text into line records the way a view would: CR LF, CR and LF each end a line and
// count as one character; a text ending in a line break has an empty last line.
CompLines SplitIntoLines(const std::string& text);

} // namespace orv
