// Matching the lines of two texts over their whole length (the default), and the classic
// 20-line look-ahead kept as an option.
#include "compare/compare_sel_procs.h"
#include "compare/line_alignment.h"
#include "compare/line_diff.h"
#include "compare/mark_differences.h"
#include "compare/tx_text.h"
#include "long_procedure_text.h"
#include "test_compare_support.h"

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace orv {
namespace {

using test::CompareTest;
using test::JoinLines;

constexpr int32_t S = LineSame, C = LineChanged, T = LineOnlyInTarget, O = LineOnlyInSource;

CompLines Lines(const std::vector<std::string>& texts) {
    return SplitIntoLines(JoinLines(texts));
}

std::vector<int32_t> Statuses(const CompLines& lines) {
    std::vector<int32_t> s;
    for (const auto& l : lines)
        s.push_back(l.Status);
    return s;
}

size_t Marked(const CompLines& lines) {
    return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [](const CompLine& l) {
        return l.Status != LineSame && l.Status != LineUnmarked;
    }));
}

std::vector<std::string> Numbered(const char* prefix, int count) {
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i)
        out.push_back(prefix + std::to_string(i));
    return out;
}

std::vector<std::string> Concat(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

std::vector<int32_t> Repeat(int32_t status, size_t n) {
    return std::vector<int32_t>(n, status);
}

std::vector<int32_t> ConcatS(std::initializer_list<std::vector<int32_t>> parts) {
    std::vector<int32_t> out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

struct MatchCase {
    const char* name;
    std::vector<std::string> source, target;
    std::vector<int32_t> sourceStatus, targetStatus;
};

TEST(WholeTextMatching, MarksExactlyTheDifferingLines) {
    const auto head = Numbered("head", 3), tail = Numbered("tail", 3);
    const auto block30 = Numbered("new", 30);
    const std::vector<MatchCase> cases = {
        {"identical texts", {"a", "b", "c"}, {"a", "b", "c"}, {S, S, S}, {S, S, S}},
        {"one inserted line", {"a", "b", "c"}, {"a", "x", "b", "c"}, {S, S, S}, {S, T, S, S}},
        {"one deleted line", {"a", "gone", "b"}, {"a", "b"}, {S, O, S}, {S, S}},
        {"replaced line", {"a", "old", "c"}, {"a", "new", "c"}, {S, C, S}, {S, C, S}},
        // Two lines replaced by three: two pairs, then the Target's extra line.
        {"uneven replacement",
         {"a", "o1", "o2", "z"},
         {"a", "n1", "n2", "n3", "z"},
         {S, C, C, S},
         {S, C, C, T, S}},
        {"source empty", {}, {"a", "b"}, {}, {T, T}},
        {"target empty", {"a"}, {}, {O}, {}},
        // A block longer than any look-ahead is still only the block.
        {"long insertion", Concat({head, tail}), Concat({head, block30, tail}), Repeat(S, 6),
         ConcatS({Repeat(S, 3), Repeat(T, 30), Repeat(S, 3)})},
        {"long deletion", Concat({head, block30, tail}), Concat({head, tail}),
         ConcatS({Repeat(S, 3), Repeat(O, 30), Repeat(S, 3)}), Repeat(S, 6)},
        // A block moved past other lines: the shorter side of the move is marked.
        {"moved block",
         {"m1", "m2", "a", "b", "c", "d", "e"},
         {"a", "b", "c", "d", "e", "m1", "m2"},
         {O, O, S, S, S, S, S},
         {S, S, S, S, S, T, T}},
        // Of two equal lines the earlier one is kept, and the deletion comes first.
        {"repeated line", {"x", "a", "x"}, {"x"}, {S, O, O}, {S}},
        {"changes at both ends", {"s", "a", "b", "e"}, {"a", "b"}, {O, S, S, O}, {S, S}},
    };
    for (const MatchCase& c : cases) {
        CompLines source = Lines(c.source), target = Lines(c.target);
        MatchLines(source, target);
        EXPECT_EQ(Statuses(source), c.sourceStatus) << c.name;
        EXPECT_EQ(Statuses(target), c.targetStatus) << c.name;
    }
}

// The length of a longest common subsequence, the slow and sure way.
size_t LongestCommon(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    std::vector<std::vector<size_t>> l(a.size() + 1, std::vector<size_t>(b.size() + 1, 0));
    for (size_t i = a.size(); i-- > 0;)
        for (size_t j = b.size(); j-- > 0;)
            l[i][j] = a[i] == b[j] ? l[i + 1][j + 1] + 1 : std::max(l[i + 1][j], l[i][j + 1]);
    return l[0][0];
}

// The lines kept in common pair up, in order, with equal lines.
void ExpectCommonLinesEqual(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b,
                            const LineDiff& d, size_t& kept) {
    std::vector<uint32_t> keptA, keptB;
    for (size_t i = 0; i < a.size(); ++i)
        if (!d.changedA[i])
            keptA.push_back(a[i]);
    for (size_t i = 0; i < b.size(); ++i)
        if (!d.changedB[i])
            keptB.push_back(b[i]);
    EXPECT_EQ(keptA, keptB);
    kept = keptA.size();
}

TEST(WholeTextMatching, KeepsALongestCommonRunOfLinesOnRandomTexts) {
    std::mt19937 rng(7);
    for (int round = 0; round < 400; ++round) {
        // Few distinct lines, so lines repeat and many alignments compete.
        std::uniform_int_distribution<uint32_t> line(0, 1 + round % 6);
        std::uniform_int_distribution<int> length(0, 40);
        std::vector<uint32_t> a(static_cast<size_t>(length(rng))), b;
        for (auto& v : a)
            v = line(rng);
        // Half the rounds edit a copy, the other half are unrelated texts.
        if (round % 2 == 0) {
            b = a;
            for (int edits = round % 9; edits > 0; --edits) {
                std::uniform_int_distribution<size_t> at(0, b.size());
                const size_t p = at(rng);
                if (edits % 3 == 0 && p < b.size())
                    b.erase(b.begin() + static_cast<long>(p));
                else
                    b.insert(b.begin() + static_cast<long>(p), line(rng));
            }
        } else {
            b.resize(static_cast<size_t>(length(rng)));
            for (auto& v : b)
                v = line(rng);
        }
        const LineDiff d = DiffLines(a, b);
        size_t kept = 0;
        ExpectCommonLinesEqual(a, b, d, kept);
        EXPECT_EQ(kept, LongestCommon(a, b)) << "round " << round;
    }
}

// Texts far apart with lines repeating all through them make the exhaustive search too costly;
// the bounded search must still end, mark every line and pair only equal lines.
TEST(WholeTextMatching, CostlyDifferencesStillPairOnlyEqualLines) {
    std::mt19937 rng(11);
    std::uniform_int_distribution<uint32_t> line(0, 40);
    std::vector<uint32_t> a(6000), b(6000);
    for (auto& v : a)
        v = line(rng);
    for (auto& v : b)
        v = line(rng);
    const LineDiff d = DiffLines(a, b);
    ASSERT_EQ(d.changedA.size(), a.size());
    ASSERT_EQ(d.changedB.size(), b.size());
    size_t kept = 0;
    ExpectCommonLinesEqual(a, b, d, kept);
    // Random texts over 41 lines share about 2/sqrt(41) of their length (some 1,870 lines);
    // a search that gave up on the whole text would keep next to none.
    EXPECT_GT(kept, 1200u);
}

// The 10,000-line procedure with a 64-line step inserted: only the step is marked.
TEST(WholeTextMatching, LongProcedureWithAnInsertedStepMarksOnlyTheStep) {
    const auto procedure = test::MaintenanceProcedure(10000);
    size_t at = 0;
    const auto changed = test::WithInsertedStep(procedure, 4000, 64, at);
    ASSERT_EQ(changed.size(), procedure.size() + 64);

    CompLines source = Lines(procedure), target = Lines(changed);
    MatchLines(source, target);
    EXPECT_EQ(Marked(source), 0u);
    EXPECT_EQ(Marked(target), 64u);
    for (size_t i = 0; i < target.size(); ++i)
        ASSERT_EQ(target[i].Status, i >= at && i < at + 64 ? T : S) << i;

    // The classic look-ahead loses its way after the block, as it always did.
    CompLines classicSource = Lines(procedure), classicTarget = Lines(changed);
    MatchLines(classicSource, classicTarget, LineMatching::LookAhead);
    EXPECT_GT(Marked(classicSource) + Marked(classicTarget), 640u);
}

// Through the comparison itself: the default options mark over the whole texts, the classic
// option brings the look-ahead back, and the verdict is the same either way.
class LineMatchingOption : public CompareTest {};

TEST_F(LineMatchingOption, ComparisonMarksByTheOptionAndKeepsItsVerdict) {
    const auto procedure = test::MaintenanceProcedure(2000);
    size_t at = 0;
    const auto changed = test::WithInsertedStep(procedure, 900, 30, at);
    MemoryTextView source, target;
    source.SetText(JoinLines(procedure));
    target.SetText(JoinLines(changed));

    auto run = [&](bool classic, bool ignoreColSeq) {
        CompareRequest r;
        r.sourceView = &source;
        r.targetView = &target;
        r.names.TypeNamePlural = "procedures";
        r.options.IgnoreColSeq = ignoreColSeq;
        r.options.ClassicLineMatching = classic;
        return CompareSelProcs(r);
    };
    for (bool ignoreColSeq : {false, true}) {
        const CompareResult whole = run(false, ignoreColSeq);
        const CompareResult classic = run(true, ignoreColSeq);
        ASSERT_TRUE(whole.Compared && classic.Compared);
        EXPECT_FALSE(whole.Identical);
        EXPECT_EQ(whole.Verdict, classic.Verdict);
        EXPECT_EQ(Marked(whole.SourceLines) + Marked(whole.TargetLines), 30u);
        EXPECT_GT(Marked(classic.SourceLines) + Marked(classic.TargetLines), 30u);
        // The painted colours follow the marking: the first line after the block is white.
        const CompLine& after = whole.TargetLines[at + 30];
        EXPECT_EQ(after.Status, S);
        // The classic look-ahead, 20 lines deep, is still lost there.
        EXPECT_NE(classic.TargetLines[at + 30].Status, S);
    }
    EXPECT_EQ(CompareOptions{}.ClassicLineMatching, false);
}

TEST_F(LineMatchingOption, TheSettingReachesTheOptionsOfEveryComparison) {
    EXPECT_FALSE(ClassicLineMatching());
    EXPECT_FALSE(CompareOptions::FromSettings().ClassicLineMatching);
    SetRegDword(HKEY_CURRENT_USER, kKeyComparisons, "ClassicLineMatching", 1);
    EXPECT_TRUE(ClassicLineMatching());
    LoadSettings(nullptr);
    EXPECT_TRUE(CompareOptions::FromSettings().ClassicLineMatching);
    SetRegDword(HKEY_CURRENT_USER, kKeyComparisons, "ClassicLineMatching", 2); // not 1: off
    EXPECT_FALSE(ClassicLineMatching());
}

// Rows of the side-by-side view follow the new marking: a long insertion is rows of the Target
// alone, and the lines after it face their equals again.
TEST(WholeTextMatching, AlignedRowsPutTheCommonLinesSideBySide) {
    const auto head = Numbered("head", 2), tail = Numbered("tail", 2);
    CompLines source = Lines(Concat({head, {"old"}, tail}));
    CompLines target = Lines(Concat({head, {"new"}, Numbered("ins", 25), tail}));
    MatchLines(source, target);
    const auto rows = AlignMarkedLines(source, target);
    ASSERT_EQ(rows.size(), 2u + 1u + 25u + 2u);
    EXPECT_EQ(rows[2].Status, C);
    EXPECT_EQ(rows[2].Source, 2);
    EXPECT_EQ(rows[2].Target, 2);
    for (size_t r = 3; r < 28; ++r)
        EXPECT_EQ(rows[r].Source, -1) << r;
    EXPECT_EQ(rows[28].Source, 3);
    EXPECT_EQ(rows[28].Target, 28);
    EXPECT_EQ(rows[28].Status, S);
}

} // namespace
} // namespace orv
