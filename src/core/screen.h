// Screen measures: the classic layouts are in twips, 15 to a pixel.
#pragma once

#include <cstdint>

namespace orv {

constexpr int32_t kTwipsPerPixel = 15;
constexpr int32_t TwipsToPixels(int32_t twips) {
    return twips / kTwipsPerPixel;
}

// True for a screen of exactly 640 x 480 pixels, where the main window takes its compact layout.
constexpr bool IsSmallScreen(int32_t widthTwips, int32_t heightTwips) {
    return widthTwips / kTwipsPerPixel == 640 && heightTwips / kTwipsPerPixel == 480;
}

} // namespace orv
