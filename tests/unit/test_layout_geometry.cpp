// Where the room of a larger window goes, where a remembered window comes back on the screens
// there are, where a report opens next to its owner, and the stored placement itself.
#include "core/registry.h"
#include "core/settings.h"
#include "core/window_placement.h"
#include "test_env.h"
#include "util/screen_fit.h"
#include "util/stretch_layout.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace orv {

void PrintTo(const Box& b, std::ostream* os) {
    *os << "{" << b.x << ", " << b.y << ", " << b.w << ", " << b.h << "}";
}

namespace {

// The main window's panels at the design size, in pixels.
PanelSpans DesignSpans() {
    PanelSpans s;
    s.left[0] = 12;
    s.left[1] = 414;
    s.width[0] = s.width[1] = 353;
    return s;
}

TEST(StretchLayout, PanelsShareTheExtraWidthAsTheSplitterSays) {
    struct Case {
        const char* name;
        int extraWidth, share, grow0, grow1;
    };
    const std::vector<Case> cases = {
        {"design size, middle", 0, kSplitterMiddle, 0, 0},
        {"wider, middle", 812, kSplitterMiddle, 406, 406},
        {"odd pixel goes to one side", 813, kSplitterMiddle, 407, 406},
        {"narrower than the design counts as the design", -100, kSplitterMiddle, 0, 0},
        {"Source at its least: half its design width", 0, 0, -176, 176},
        {"Target at its least", 0, kSplitterWhole, 176, -176},
        {"beyond the whole is the whole", 0, 3 * kSplitterWhole, 176, -176},
        {"seven tenths", 400, 7000, 421, -21},
    };
    for (const Case& c : cases) {
        const Growth g = ShareExtraSpace(DesignSpans(), c.extraWidth, 0, c.share);
        EXPECT_EQ(g.panel[0], c.grow0) << c.name;
        EXPECT_EQ(g.panel[1], c.grow1) << c.name;
        EXPECT_EQ(g.panel[0] + g.panel[1], std::max(0, c.extraWidth)) << c.name;
    }
}

struct Control {
    const char* name;
    Box design;
    LayoutRule rule;
};

// The main window's controls at the design size (pixels) with the rules they follow.
std::vector<Control> MainWindowControls() {
    using A = Across;
    using D = Down;
    std::vector<Control> c = {
        {"picToolbar", {0, 0, 788, 45}, {-1, A::WindowWidth, D::Keep}},
        {"linDivision", {389, 50, 3, 442}, {-1, A::Boundary, D::FullHeight}},
    };
    for (int p = 0; p < 2; ++p) {
        const int o = p == 0 ? 0 : 402; // the Target panel's controls stand 6030 twips right
        const std::vector<Control> panel = {
            {"lblGen server", {14 + o, 50, 153, 17}, {p, A::ScaleLeft, D::Keep}},
            {"lblGen database", {222 + o, 50, 141, 17}, {p, A::ScaleLeft, D::Keep}},
            {"cmbServer", {12 + o, 68, 153, 21}, {p, A::Stretch, D::Keep}},
            {"pvlDb", {220 + o, 68, 145, 69}, {p, A::Stretch, D::Keep}},
            {"cmdDbInfo", {12 + o, 106, 33, 29}, {p, A::Keep, D::Keep}},
            {"lblDbInfo", {50 + o, 114, 73, 15}, {p, A::Keep, D::Keep}},
            {"pvlSqlObj", {12 + o, 154, 353, 73}, {p, A::Stretch, D::ObjectList}},
            {"cmdNonExistent", {266 + o, 228, 31, 19}, {p, A::FollowRight, D::BelowObjects}},
            {"cmdAnalyzeData", {300 + o, 228, 31, 19}, {p, A::FollowRight, D::BelowObjects}},
            {"cmdFind", {334 + o, 228, 31, 19}, {p, A::FollowRight, D::BelowObjects}},
            {"txtTXProc", {12 + o, 250, 353, 195}, {p, A::Stretch, D::TextView}},
            {"cmdCopyClip", {12 + o, 461, 127, 27}, {p, A::Keep, D::BelowTexts}},
            {"cmdCopyToFile", {144 + o, 461, 103, 27}, {p, A::Keep, D::BelowTexts}},
            {"cmdViewData", {254 + o, 461, 103, 27}, {p, A::Keep, D::BelowTexts}},
        };
        c.insert(c.end(), panel.begin(), panel.end());
    }
    return c;
}

// What the window tests cannot see from outside: how a panel narrower than designed shrinks
// controls that otherwise keep their size, and the quarter of odd extra heights.
TEST(StretchLayout, ControlsFollowTheirRules) {
    const PanelSpans spans = DesignSpans();
    const Growth narrowSource = ShareExtraSpace(spans, 0, 0, 0);
    const Growth odd = ShareExtraSpace(spans, 0, 7, kSplitterMiddle);
    struct Case {
        const char* name;
        Box design;
        LayoutRule rule;
        Growth growth;
        Box expected;
    };
    const std::vector<Case> cases = {
        {"a narrower panel shrinks its buttons too",
         {144, 461, 103, 27},
         {0, Across::Keep, Down::BelowTexts},
         narrowSource,
         {78, 461, 52, 27}},
        {"the wider Target panel keeps its buttons' size, moved left",
         {414, 461, 127, 27},
         {1, Across::Keep, Down::BelowTexts},
         narrowSource,
         {238, 461, 127, 27}},
        {"object list: 7 / 4 = 1",
         {12, 154, 353, 73},
         {0, Across::Stretch, Down::ObjectList},
         odd,
         {12, 154, 353, 74}},
        {"text view: the other 6",
         {12, 250, 353, 195},
         {0, Across::Stretch, Down::TextView},
         odd,
         {12, 251, 353, 201}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PlaceControl(c.design, c.rule, spans, c.growth), c.expected) << c.name;
}

TEST(StretchLayout, NothingThatStoodApartOverlapsAtAnySizeOrSplitterPosition) {
    const PanelSpans spans = DesignSpans();
    const std::vector<Control> controls = MainWindowControls();
    for (int extraWidth : {0, 1, 97, 812, 2400})
        for (int extraHeight : {0, 3, 400, 1500})
            for (int share : {0, 1500, kSplitterMiddle, 6100, kSplitterWhole}) {
                const Growth g = ShareExtraSpace(spans, extraWidth, extraHeight, share);
                std::vector<Box> placed;
                for (const Control& c : controls)
                    placed.push_back(PlaceControl(c.design, c.rule, spans, g));
                for (size_t a = 0; a < controls.size(); ++a) {
                    EXPECT_LE(placed[a].Right(), 788 + extraWidth) << controls[a].name;
                    EXPECT_LE(placed[a].Bottom(), 514 + extraHeight) << controls[a].name;
                    for (size_t b = a + 1; b < controls.size(); ++b) {
                        if (controls[a].design.Intersects(controls[b].design))
                            continue;
                        ASSERT_FALSE(placed[a].Intersects(placed[b]))
                            << controls[a].name << " / " << controls[b].name << " at +"
                            << extraWidth << " +" << extraHeight << " share " << share;
                    }
                }
            }
}

TEST(ScreenFit, ARememberedWindowComesBackOnTheScreensThereAre) {
    const std::vector<Box> two = {{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
    struct Case {
        const char* name;
        Box saved;
        std::vector<Box> screens;
        Box expected;
    };
    const std::vector<Case> cases = {
        {"inside the first screen", {100, 80, 1000, 700}, two, {100, 80, 1000, 700}},
        {"inside the second screen", {2000, 50, 900, 600}, two, {2000, 50, 900, 600}},
        {"hanging off the second screen's right edge",
         {2800, 100, 900, 600},
         two,
         {2300, 100, 900, 600}},
        {"mostly on the second of two", {1800, 100, 900, 600}, two, {1920, 100, 900, 600}},
        {"on a screen that is gone", {5000, 3000, 800, 600}, two, {1120, 480, 800, 600}},
        {"far to the left and above", {-3000, -3000, 800, 600}, two, {0, 0, 800, 600}},
        {"larger than any screen", {0, 0, 2500, 1400}, two, {0, 0, 1920, 1080}},
        {"too small to use", {10, 10, 40, 30}, two, {10, 10, 320, 240}},
        {"second screen gone, window was on it",
         {2000, 50, 900, 600},
         {{0, 0, 1920, 1080}},
         {1020, 50, 900, 600}},
        {"screen with an offset origin",
         {0, 0, 800, 600},
         {{-1280, 0, 1280, 1024}},
         {-800, 0, 800, 600}},
        {"no screens known", {7, 8, 9, 10}, {}, {7, 8, 9, 10}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FitOntoScreens(c.saved, c.screens, 320, 240), c.expected) << c.name;
}

TEST(ScreenFit, AReportOpensBesideItsOwnerOrClearOfTheTargetText) {
    const Box screen = {0, 0, 1920, 1080};
    struct Case {
        const char* name;
        Box owner, keepClear;
        Box expected;
    };
    const std::vector<Case> cases = {
        {"right of the owner", {0, 0, 800, 560}, {414, 250, 353, 195}, {800, 0, 720, 480}},
        {"right of the owner, raised to fit the screen's bottom",
         {0, 700, 800, 560},
         {},
         {800, 600, 720, 480}},
        {"below when the right side is full", {1100, 0, 800, 560}, {}, {1100, 560, 720, 480}},
        {"left when right and below are full", {900, 300, 800, 700}, {}, {180, 300, 720, 480}},
        {"centred owner: left of the Target text",
         {566, 260, 788, 561},
         {980, 510, 353, 195},
         {260, 260, 720, 480}},
        {"maximized owner: left of the Target text",
         {0, 0, 1920, 1080},
         {963, 330, 950, 700},
         {243, 0, 720, 480}},
        {"maximized owner, Target text under most of the screen: above it",
         {0, 0, 1920, 1080},
         {10, 500, 1900, 560},
         {0, 20, 720, 480}},
        {"no room anywhere: centred",
         {0, 0, 1920, 1080},
         {10, 300, 1900, 700},
         {600, 300, 720, 480}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PlaceBesideOwner(c.owner, 720, 480, screen, c.keepClear), c.expected) << c.name;
}

// The window test restarts with a saved placement; here what only a hand-edited or foreign
// registry holds: a place left of the primary screen, no size, a splitter beyond the whole, a
// switch stored as text.
TEST(WindowPlacement, StoredValuesComeBackAndBrokenOnesAreIgnored) {
    test::TestEnv env;
    MainWindowPlacement p;
    p.left = -1200;
    p.top = 30;
    p.width = 1000;
    p.height = 700;
    SaveMainWindowPlacement(p);
    MainWindowPlacement back = LoadMainWindowPlacement();
    EXPECT_TRUE(back.known);
    EXPECT_EQ(back.left, -1200);
    EXPECT_EQ(back.splitter, kSplitterMiddle);

    SetRegDword(HKEY_CURRENT_USER, kKeyMav, "MainWindowWidth", 0);
    SetRegDword(HKEY_CURRENT_USER, kKeyMav, "MainWindowSplitter", 99999);
    SetRegString(HKEY_CURRENT_USER, kKeyMav, "ScrollTogether", "1");
    back = LoadMainWindowPlacement();
    EXPECT_FALSE(back.known);
    EXPECT_EQ(back.splitter, kSplitterWhole);
    EXPECT_FALSE(back.scrollTogether);
}

} // namespace
} // namespace orv
