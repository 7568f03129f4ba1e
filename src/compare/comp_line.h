// One line of a text view with its difference status, and the colours the statuses paint.
#pragma once

#include "util/text_view.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orv {

enum LineStatus : int32_t {
    LineUnmarked = 0,
    LineSame = 10,
    LineChanged = 20,
    LineOnlyInTarget = 30,
    LineOnlyInSource = 40,
};

struct CompLine {
    std::string LineText; // without its line break
    int32_t Status = LineUnmarked;
    // Character offsets in the view's text, a line break counting as one character. EndPos is
    // one past the line's last character.
    int64_t StartPos = 0;
    int64_t EndPos = 0;
};

// Index 0 is line 1 of the view; the classic 1-based numbering lives only in messages.
using CompLines = std::vector<CompLine>;

// The background colour painted for a status; unknown codes paint black.
Colour StatusToColor(int32_t status);

} // namespace orv
