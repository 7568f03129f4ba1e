#include "util/screen_fit.h"

#include <algorithm>
#include <cstdint>

namespace orv {

namespace {
int64_t OverlapArea(const Box& a, const Box& b) {
    const int w = std::min(a.Right(), b.Right()) - std::max(a.x, b.x);
    const int h = std::min(a.Bottom(), b.Bottom()) - std::max(a.y, b.y);
    return w > 0 && h > 0 ? static_cast<int64_t>(w) * h : 0;
}

// Moves `b` (already no larger than `area`) into `area`.
Box MoveInto(Box b, const Box& area) {
    b.x = std::clamp(b.x, area.x, std::max(area.x, area.Right() - b.w));
    b.y = std::clamp(b.y, area.y, std::max(area.y, area.Bottom() - b.h));
    return b;
}
} // namespace

Box FitOntoScreens(const Box& saved, const std::vector<Box>& screens, int minWidth, int minHeight) {
    if (screens.empty())
        return saved;
    const Box* best = &screens.front();
    int64_t bestArea = 0;
    for (const Box& s : screens) {
        const int64_t area = OverlapArea(saved, s);
        if (area > bestArea) {
            bestArea = area;
            best = &s;
        }
    }
    const Box& s = *best;
    Box b = saved;
    b.w = std::clamp(b.w, std::min(minWidth, s.w), std::max(1, s.w));
    b.h = std::clamp(b.h, std::min(minHeight, s.h), std::max(1, s.h));
    return MoveInto(b, s);
}

Box PlaceBesideOwner(const Box& owner, int width, int height, const Box& screen,
                     const Box& keepClear) {
    const int w = std::min(width, screen.w);
    const int h = std::min(height, screen.h);
    auto fits = [&](const Box& b) { return screen.Contains(b); };
    // Beside or below the owner, lined up with its top or left edge as far as the screen lets.
    const Box sides[4] = {
        MoveInto({owner.Right(), owner.y, w, h}, {owner.Right(), screen.y, w, screen.h}),
        MoveInto({owner.x, owner.Bottom(), w, h}, {screen.x, owner.Bottom(), screen.w, h}),
        MoveInto({owner.x - w, owner.y, w, h}, {owner.x - w, screen.y, w, screen.h}),
        MoveInto({owner.x, owner.y - h, w, h}, {screen.x, owner.y - h, screen.w, h}),
    };
    for (const Box& b : sides)
        if (fits(b))
            return b;
    if (!keepClear.Empty()) {
        const Box clear[4] = {
            MoveInto({keepClear.x - w, owner.y, w, h}, {keepClear.x - w, screen.y, w, screen.h}),
            MoveInto({owner.x, keepClear.Bottom(), w, h},
                     {screen.x, keepClear.Bottom(), screen.w, h}),
            MoveInto({owner.x, keepClear.y - h, w, h}, {screen.x, keepClear.y - h, screen.w, h}),
            MoveInto({keepClear.Right(), owner.y, w, h},
                     {keepClear.Right(), screen.y, w, screen.h}),
        };
        for (const Box& b : clear)
            if (fits(b) && !b.Intersects(keepClear))
                return b;
    }
    return {screen.x + (screen.w - w) / 2, screen.y + (screen.h - h) / 2, w, h};
}

} // namespace orv
