// Matching the lines of two texts and colouring them.
#include "compare/mark_differences.h"
#include "compare/tx_text.h"
#include "test_compare_support.h"

#include <string>
#include <vector>

namespace orv {
namespace {

using test::CompareTest;
using test::JoinLines;

CompLines Lines(const std::vector<std::string>& texts) {
    return SplitIntoLines(JoinLines(texts));
}

std::vector<int32_t> Statuses(const CompLines& lines) {
    std::vector<int32_t> s;
    for (const auto& l : lines)
        s.push_back(l.Status);
    return s;
}

constexpr int32_t S = LineSame, C = LineChanged, T = LineOnlyInTarget, O = LineOnlyInSource;

TEST(CompareMatch, InsertedTargetLineIsOnlyInTarget) {
    CompLines source = Lines({"a", "b", "c"});
    CompLines target = Lines({"a", "x", "b", "c"});
    MatchLines(source, target);
    EXPECT_EQ(Statuses(source), (std::vector<int32_t>{S, S, S}));
    EXPECT_EQ(Statuses(target), (std::vector<int32_t>{S, T, S, S}));
}

TEST(CompareMatch, DeletedSourceLineIsOnlyInSource) {
    CompLines source = Lines({"a", "gone", "b", "c"});
    CompLines target = Lines({"a", "b", "c"});
    MatchLines(source, target);
    EXPECT_EQ(Statuses(source), (std::vector<int32_t>{S, O, S, S}));
    EXPECT_EQ(Statuses(target), (std::vector<int32_t>{S, S, S}));
}

TEST(CompareMatch, ReplacedLinePairsAsChanged) {
    CompLines source = Lines({"a", "old", "c"});
    CompLines target = Lines({"a", "new", "c"});
    MatchLines(source, target);
    EXPECT_EQ(Statuses(source), (std::vector<int32_t>{S, C, S}));
    EXPECT_EQ(Statuses(target), (std::vector<int32_t>{S, C, S}));
}

TEST(CompareMatch, InsertionIsPreferredOverDeletion) {
    // Swapped lines: either reading would do; the classic walk takes the target-side insertion.
    CompLines source = Lines({"p", "q"});
    CompLines target = Lines({"q", "p"});
    MatchLines(source, target, LineMatching::LookAhead);
    EXPECT_EQ(Statuses(target), (std::vector<int32_t>{T, S}));
    EXPECT_EQ(Statuses(source), (std::vector<int32_t>{S, O}));
}

TEST(CompareMatch, LookAheadReachesTwentyLinesAndNoFurther) {
    std::vector<std::string> src = {"head", "tail1", "tail2"};
    std::vector<std::string> tgt20 = {"head"}, tgt21 = {"head"};
    for (int i = 0; i < 20; ++i)
        tgt20.push_back("ins" + std::to_string(i));
    for (int i = 0; i < 21; ++i)
        tgt21.push_back("ins" + std::to_string(i));
    for (auto* t : {&tgt20, &tgt21}) {
        t->push_back("tail1");
        t->push_back("tail2");
    }

    // The classic look-ahead.
    CompLines source = Lines(src), target = Lines(tgt20);
    MatchLines(source, target, LineMatching::LookAhead);
    EXPECT_EQ(Statuses(source), (std::vector<int32_t>{S, S, S}));
    for (size_t i = 1; i <= 20; ++i)
        EXPECT_EQ(target[i].Status, T) << i;
    EXPECT_EQ(target[21].Status, S);
    EXPECT_EQ(target[22].Status, S);

    // 21 inserted lines: the block and the lines after it pair up as changed.
    source = Lines(src);
    target = Lines(tgt21);
    MatchLines(source, target, LineMatching::LookAhead);
    EXPECT_EQ(Statuses(source), (std::vector<int32_t>{S, C, C}));
    EXPECT_EQ(target[0].Status, S);
    EXPECT_EQ(target[1].Status, C);
    EXPECT_EQ(target[2].Status, C);
    // The walk ends with the source; everything after is the target's own.
    for (size_t i = 3; i < target.size(); ++i)
        EXPECT_EQ(target[i].Status, T) << i;
}

TEST(CompareMatch, OneEmptySideMakesEveryLineOneSided) {
    CompLines none;
    CompLines target = Lines({"a", "b"});
    MatchLines(none, target);
    EXPECT_EQ(Statuses(target), (std::vector<int32_t>{T, T}));
    CompLines source = Lines({"a"});
    CompLines none2;
    MatchLines(source, none2);
    EXPECT_EQ(Statuses(source), (std::vector<int32_t>{O}));
}

TEST(CompareMatch, LeftoverLinesAtEitherEndAreOneSided) {
    CompLines source = Lines({"a", "b", "c", "d"});
    CompLines target = Lines({"a", "b"});
    MatchLines(source, target);
    EXPECT_EQ(Statuses(source), (std::vector<int32_t>{S, S, O, O}));

    source = Lines({"a"});
    target = Lines({"a", "y", "z"});
    MatchLines(source, target);
    EXPECT_EQ(Statuses(target), (std::vector<int32_t>{S, T, T}));
}

TEST(CompareMatch, EveryLineGetsAStatusOnLargeTexts) {
    std::vector<std::string> a, b;
    for (int i = 0; i < 100000; ++i) {
        a.push_back("line " + std::to_string(i));
        if (i % 997 == 0)
            b.push_back("inserted " + std::to_string(i));
        if (i % 1009 != 0)
            b.push_back(i % 499 == 0 ? "changed " + std::to_string(i) : a.back());
    }
    CompLines source = Lines(a), target = Lines(b);
    MatchLines(source, target);
    size_t same = 0;
    for (const auto& l : source) {
        ASSERT_NE(l.Status, LineUnmarked);
        same += l.Status == S;
    }
    for (const auto& l : target)
        ASSERT_NE(l.Status, LineUnmarked);
    EXPECT_GT(same, 99000u);
}

using CompareMarking = CompareTest;

TEST_F(CompareMarking, PaintsBothViewsLineByLine) {
    MemoryTextView source, target;
    source.SetText("a\r\nb\r\nc");
    target.SetText("a\r\nx\r\nb\r\nc");
    CompLines s, t;
    int32_t err = 1;
    Mark_Differences(source, target, s, t, err);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(source.BackColorAt(0), StatusToColor(LineSame));
    EXPECT_EQ(target.BackColorAt(0), StatusToColor(LineSame));
    EXPECT_EQ(target.BackColorAt(2), StatusToColor(LineOnlyInTarget)); // "x"
    EXPECT_EQ(target.BackColorAt(4), StatusToColor(LineSame));         // "b"
    EXPECT_EQ(Statuses(t), (std::vector<int32_t>{S, T, S, S}));
}

TEST_F(CompareMarking, ChangedAndOneSidedColours) {
    MemoryTextView source, target;
    source.SetText("keep\r\nold\r\ndropped");
    target.SetText("keep\r\nnew");
    CompLines s, t;
    int32_t err = 0;
    Mark_Differences(source, target, s, t, err);
    EXPECT_EQ(source.BackColorAt(5), StatusToColor(LineChanged));
    EXPECT_EQ(target.BackColorAt(5), StatusToColor(LineChanged));
    EXPECT_EQ(source.BackColorAt(9), StatusToColor(LineOnlyInSource));
}

TEST_F(CompareMarking, EqualViewsKeepTheirColours) {
    MemoryTextView source, target;
    source.SetText("same\r\ntext");
    target.SetText("same\r\ntext");
    SetRangeBackColor(source, RGBColour(1, 1, 1), 0, 4);
    CompLines s, t;
    int32_t err = 0;
    Mark_Differences(source, target, s, t, err);
    EXPECT_EQ(err, 0);
    EXPECT_TRUE(s.empty());
    EXPECT_EQ(source.BackColorAt(0), RGBColour(1, 1, 1));
    EXPECT_EQ(source.BackColorAt(5), 0u);
}

TEST_F(CompareMarking, OneEmptyViewPaintsTheOtherInItsOneSidedColour) {
    MemoryTextView source, target;
    target.SetText("a\r\nbb");
    CompLines s, t;
    int32_t err = 0;
    Mark_Differences(source, target, s, t, err);
    EXPECT_EQ(target.BackColorAt(0), StatusToColor(LineOnlyInTarget));
    EXPECT_EQ(target.BackColorAt(3), StatusToColor(LineOnlyInTarget));
}

TEST_F(CompareMarking, UnsplittableSourceStopsBeforeTheTarget) {
    class Broken : public MemoryTextView {
    public:
        int64_t LineStart(int64_t) const override { return -1; }
    } source;
    class Counting : public MemoryTextView {
    public:
        mutable int lineQueries = 0;
        int64_t Lines() const override {
            ++lineQueries;
            return MemoryTextView::Lines();
        }
    } target;
    source.SetText("a");
    target.SetText("b");
    CompLines s, t;
    int32_t err = 0;
    Mark_Differences(source, target, s, t, err);
    EXPECT_EQ(err, -1);
    EXPECT_EQ(target.lineQueries, 0);
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, "Error occurred.");
    EXPECT_EQ(target.BackColorAt(0), 0u);
}

} // namespace
} // namespace orv
