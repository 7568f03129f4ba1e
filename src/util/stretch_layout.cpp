#include "util/stretch_layout.h"

#include <algorithm>
#include <cmath>

namespace orv {

namespace {
struct Limits {
    int total, least, most; // both panels' width; the Source panel's narrowest and widest
};

Limits LimitsOf(const PanelSpans& spans, int extraWidth) {
    Limits l;
    l.total = spans.width[0] + spans.width[1] + std::max(0, extraWidth);
    l.least = (spans.width[0] + 1) / 2;
    l.most = l.total - (spans.width[1] + 1) / 2;
    if (l.most < l.least)
        l.most = l.least;
    return l;
}
} // namespace

Growth ShareExtraSpace(const PanelSpans& spans, int extraWidth, int extraHeight, int share) {
    Growth g;
    g.extraWidth = std::max(0, extraWidth);
    g.extraHeight = std::max(0, extraHeight);
    const Limits l = LimitsOf(spans, g.extraWidth);
    share = std::clamp(share, 0, kSplitterWhole);
    const auto wanted = static_cast<int>(
        std::lround(static_cast<double>(l.total) * share / static_cast<double>(kSplitterWhole)));
    const int source = std::clamp(wanted, l.least, l.most);
    g.panel[0] = source - spans.width[0];
    g.panel[1] = l.total - source - spans.width[1];
    return g;
}

int ShareForSourceWidth(const PanelSpans& spans, int extraWidth, int sourceWidth) {
    const Limits l = LimitsOf(spans, extraWidth);
    if (l.total <= 0)
        return kSplitterMiddle;
    const int source = std::clamp(sourceWidth, l.least, l.most);
    return static_cast<int>(
        std::lround(static_cast<double>(source) * kSplitterWhole / static_cast<double>(l.total)));
}

Box PlaceControl(const Box& design, const LayoutRule& rule, const PanelSpans& spans,
                 const Growth& growth) {
    Box b = design;
    const int dy = growth.extraHeight;
    const int lists = ObjectListShare(dy);
    switch (rule.down) {
    case Down::Keep:
        break;
    case Down::ObjectList:
        b.h += lists;
        break;
    case Down::BelowObjects:
        b.y += lists;
        break;
    case Down::TextView:
        b.y += lists;
        b.h += dy - lists;
        break;
    case Down::BelowTexts:
        b.y += dy;
        break;
    case Down::FullHeight:
        b.h += dy;
        break;
    }

    if (rule.across == Across::WindowWidth) {
        b.w += growth.extraWidth;
        return b;
    }
    if (rule.across == Across::Boundary) {
        b.x += growth.panel[0];
        return b;
    }
    if (rule.panel != 0 && rule.panel != 1)
        return b;
    const int p = rule.panel;
    const int left = spans.left[p];
    const int width = spans.width[p];
    const int grow = growth.panel[p];
    // The Target panel moves right by what the Source panel gained.
    const int shift = p == 1 ? growth.panel[0] : 0;
    auto scaled = [&](int x) {
        if (width <= 0)
            return x + shift;
        return left + shift +
               static_cast<int>(std::lround(static_cast<double>(x - left) * (width + grow) /
                                            static_cast<double>(width)));
    };
    // A panel narrower than designed shrinks as a whole.
    const Across across = grow < 0 ? Across::Stretch : rule.across;
    switch (across) {
    case Across::Keep:
        b.x += shift;
        break;
    case Across::Stretch:
        b.x = scaled(design.x);
        b.w = scaled(design.Right()) - b.x;
        break;
    case Across::ScaleLeft:
        b.x = scaled(design.x);
        break;
    case Across::FollowRight:
        b.x += shift + grow;
        break;
    case Across::Boundary:
    case Across::WindowWidth:
        break;
    }
    return b;
}

} // namespace orv
