// Where the room of a two-panel window goes when the window is larger than its design: the two
// panels share the extra width (the splitter between them decides the shares), the object lists
// take a quarter of the extra height and the text views the rest, and controls of a fixed size
// keep it. Arithmetic on pixel rectangles only, so it is checked without a display.
#pragma once

#include <cstdint>

namespace orv {

struct Box {
    int x = 0, y = 0, w = 0, h = 0;
    int Right() const { return x + w; }
    int Bottom() const { return y + h; }
    bool Empty() const { return w <= 0 || h <= 0; }
    bool Intersects(const Box& o) const {
        return !Empty() && !o.Empty() && x < o.Right() && o.x < Right() && y < o.Bottom() &&
               o.y < Bottom();
    }
    bool Contains(const Box& o) const {
        return o.x >= x && o.y >= y && o.Right() <= Right() && o.Bottom() <= Bottom();
    }
    friend bool operator==(const Box&, const Box&) = default;
};

// How a control follows the width of its panel.
enum class Across {
    Keep,        // keeps its place and size (buttons, captions at the panel's left edge)
    Stretch,     // both edges scale with the panel (lists, selectors, text views)
    ScaleLeft,   // its left edge scales, its width stays (a caption over a stretching control)
    FollowRight, // keeps its distance from the panel's right edge (small buttons under a list)
    Boundary,    // stands on the divider between the panels
    WindowWidth, // spans the window (toolbar strips)
};

// How a control follows the height of the window.
enum class Down {
    Keep,         // above the object lists
    ObjectList,   // grows by the object lists' share of the extra height
    BelowObjects, // moves down by that share
    TextView,     // moves down by that share and grows by the rest
    BelowTexts,   // moves down by the whole extra height
    FullHeight,   // grows by the whole extra height (the divider)
};

struct LayoutRule {
    int panel = -1; // 0 Source, 1 Target, -1 neither
    Across across = Across::Keep;
    Down down = Down::Keep;
};

// The two panels of the design arrangement.
struct PanelSpans {
    int left[2] = {0, 0};
    int width[2] = {0, 0};
};

// The splitter's position: the Source panel's part of the two panels' width, in 1/10,000.
constexpr int kSplitterWhole = 10000;
constexpr int kSplitterMiddle = kSplitterWhole / 2;

// How much wider than designed each panel is (negative: narrower).
struct Growth {
    int panel[2] = {0, 0};
    int extraWidth = 0;
    int extraHeight = 0;
};

// The object lists' part of the extra height; the text views take the rest.
constexpr int ObjectListShare(int extraHeight) {
    return extraHeight / 4;
}

// The panels' widths for a window `extraWidth` wider than designed (below the design nothing
// shrinks: pass 0) and the splitter at `share`: the Source panel gets that part of both panels'
// width, but each panel keeps at least half its design width.
Growth ShareExtraSpace(const PanelSpans& spans, int extraWidth, int extraHeight, int share);

// The share that gives the Source panel `sourceWidth` pixels, within the same limits.
int ShareForSourceWidth(const PanelSpans& spans, int extraWidth, int sourceWidth);

// Where a control designed at `design` stands. A panel narrower than designed scales all its
// controls, so that what stood side by side still does.
Box PlaceControl(const Box& design, const LayoutRule& rule, const PanelSpans& spans,
                 const Growth& growth);

} // namespace orv
