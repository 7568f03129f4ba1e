// Where a window goes on the screens there are: a remembered window brought back onto them, and
// a second window placed next to the one it belongs to. Pixel arithmetic only.
#pragma once

#include "util/stretch_layout.h"

#include <vector>

namespace orv {

// `saved` moved and, where it must, shrunk onto the screen that holds most of it (the first
// screen when none holds any of it), no smaller than `minWidth` x `minHeight` unless the screen
// itself is. Screens are their usable areas; with none, `saved` is returned unchanged.
Box FitOntoScreens(const Box& saved, const std::vector<Box>& screens, int minWidth, int minHeight);

// Where a window `width` x `height` opens next to `owner` (outer frames) on `screen`: to the
// right of the owner if it fits there, else below it, else to its left, else above it. When no
// side has room, where it leaves `keepClear` (the part of the owner read alongside it) in sight:
// left of it, below it, above it or right of it; else centred on the screen. The result lies on
// the screen as far as the window's size allows.
Box PlaceBesideOwner(const Box& owner, int width, int height, const Box& screen,
                     const Box& keepClear);

} // namespace orv
