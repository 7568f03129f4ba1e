// Side-by-side rows and unified hunks read from marked lines: every line lands in exactly one
// row, in order, and the hunks number their lines as the texts do.
#include "compare/line_alignment.h"

#include <gtest/gtest.h>

namespace orv {
namespace {

CompLines Lines(const std::vector<std::pair<const char*, int32_t>>& marked) {
    CompLines lines;
    for (const auto& [text, status] : marked)
        lines.push_back({text, status, 0, 0});
    return lines;
}

TEST(LineAlignment, PairsSameAndChangedAndGivesOneSidedLinesTheirOwnRows) {
    const CompLines s =
        Lines({{"a", LineSame}, {"b", LineChanged}, {"x", LineOnlyInSource}, {"c", LineSame}});
    const CompLines t = Lines({{"a", LineSame},
                               {"B", LineChanged},
                               {"c", LineSame},
                               {"y", LineOnlyInTarget},
                               {"z", LineOnlyInTarget}});
    const auto rows = AlignMarkedLines(s, t);
    const std::vector<std::tuple<int64_t, int64_t, int32_t>> expected{
        {0, 0, LineSame}, {1, 1, LineChanged},       {2, -1, LineOnlyInSource},
        {3, 2, LineSame}, {-1, 3, LineOnlyInTarget}, {-1, 4, LineOnlyInTarget}};
    ASSERT_EQ(rows.size(), expected.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].Source, std::get<0>(expected[i])) << i;
        EXPECT_EQ(rows[i].Target, std::get<1>(expected[i])) << i;
        EXPECT_EQ(rows[i].Status, std::get<2>(expected[i])) << i;
    }
}

TEST(LineAlignment, UnmarkedOrEmptySidesStillCoverEveryLine) {
    EXPECT_TRUE(AlignMarkedLines({}, {}).empty());
    const auto rows = AlignMarkedLines(Lines({{"a", LineUnmarked}}),
                                       Lines({{"a", LineUnmarked}, {"b", LineUnmarked}}));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].Source, 0);
    EXPECT_EQ(rows[0].Target, 0);
    EXPECT_EQ(rows[1].Source, -1);
    EXPECT_EQ(rows[1].Target, 1);
}

} // namespace
} // namespace orv
