// The Source and Target views of one comparison, each read and split into lines at most once:
// the equality check, the line-order check and the marking all need the same lines, and large
// texts should not be copied and split three times.
#pragma once

#include "compare/comp_line.h"
#include "util/text_view.h"

#include <cstdint>
#include <string>

namespace orv {

class ViewPair {
public:
    ViewPair(TextView& source, TextView& target) : views_{&source, &target} {}

    TextView& View(int side) { return *views_[side]; }
    // The view's whole text, read on first use.
    const std::string& Text(int side);
    // Splits the view on first use; returns the split's error code (0 on success).
    int32_t Split(int side);
    // The lines of the last split.
    CompLines& Lines(int side) { return lines_[side]; }

private:
    TextView* views_[2];
    std::string text_[2];
    bool textRead_[2] = {false, false};
    CompLines lines_[2];
    bool split_[2] = {false, false};
    int32_t splitError_[2] = {0, 0};
};

} // namespace orv
