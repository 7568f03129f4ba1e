// The results model's derived figures: counts, the overall verdict of an incomplete run, and
// the unified hunks the Details reports print.
#include "dbcompare/db_compare_results.h"

#include <gtest/gtest.h>

namespace orv {
namespace {

PairVerdict Different(std::vector<std::pair<std::string, int32_t>> s,
                      std::vector<std::pair<std::string, int32_t>> t) {
    PairVerdict p;
    p.Type = kTypeProcedure;
    p.Status = PairStatus::Different;
    for (auto& [text, status] : s)
        p.SourceLines.push_back({text, status, 0, 0});
    for (auto& [text, status] : t)
        p.TargetLines.push_back({text, status, 0, 0});
    return p;
}

TEST(DbCompareResults, CountsAndOverallVerdict) {
    DbCompareResults r;
    r.Types = {kTypeTable, kTypeProcedure};
    for (PairStatus s : {PairStatus::Identical, PairStatus::Identical, PairStatus::OnlyInTarget}) {
        PairVerdict p;
        p.Type = kTypeTable;
        p.Status = s;
        r.Pairs.push_back(p);
    }
    EXPECT_EQ(r.CountsFor(kTypeTable)[PairStatus::Identical], 2);
    EXPECT_EQ(r.CountsFor(kTypeTable)[PairStatus::OnlyInTarget], 1);
    EXPECT_EQ(r.CountsFor(kTypeProcedure).Total(), 0);
    EXPECT_EQ(r.Totals().Total(), 3);
    EXPECT_FALSE(r.AllIdentical());
    r.Pairs.pop_back();
    EXPECT_TRUE(r.AllIdentical());
    // What was gathered before a Stop may all be identical; the run as a whole is not.
    r.Outcome = RunOutcome::Cancelled;
    EXPECT_FALSE(r.AllIdentical());
    EXPECT_STREQ(PairStatusWord(PairStatus::NotComparable), "not comparable");
    EXPECT_STREQ(PairStatusWord(PairStatus::OnlyInSource), "only in source");
}

TEST(DbCompareResults, HunksCarryContextAndNumberEachSide) {
    std::vector<std::pair<std::string, int32_t>> s, t;
    for (int i = 1; i <= 10; ++i) {
        s.push_back({"l" + std::to_string(i), LineSame});
        t.push_back({"l" + std::to_string(i), LineSame});
    }
    // Line 5 changed, and a line added before line 10 in the target.
    s[4] = {"old5", LineChanged};
    t[4] = {"new5", LineChanged};
    t.insert(t.begin() + 9, {"extra", LineOnlyInTarget});
    PairVerdict p = Different(s, t);
    auto hunks = DifferingHunks(p);
    // The two changes are four rows apart, closer than twice the context: one hunk.
    ASSERT_EQ(hunks.size(), 1u);
    EXPECT_EQ(hunks[0].SourceStart, 2);
    EXPECT_EQ(hunks[0].TargetStart, 2);
    EXPECT_EQ(hunks[0].SourceCount, 9);  // l2..l10
    EXPECT_EQ(hunks[0].TargetCount, 10); // l2..l9, extra, l10
    const std::vector<std::string> expected{" l2", " l3", " l4", "-old5",  "+new5", " l6",
                                            " l7", " l8", " l9", "+extra", " l10"};
    EXPECT_EQ(hunks[0].Lines, expected);
    EXPECT_EQ(DifferingLineCount(p), 3);

    // With no context the two changes are hunks of their own, numbered where they sit.
    hunks = DifferingHunks(p, 0);
    ASSERT_EQ(hunks.size(), 2u);
    EXPECT_EQ(hunks[1].TargetStart, 10);
    EXPECT_EQ(hunks[1].SourceCount, 0);
    EXPECT_EQ(hunks[1].Lines, std::vector<std::string>{"+extra"});

    p.Status = PairStatus::Identical;
    EXPECT_TRUE(DifferingHunks(p).empty());
}

} // namespace
} // namespace orv
