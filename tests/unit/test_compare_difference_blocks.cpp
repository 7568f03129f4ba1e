// Reading the marking back: the blocks of coloured lines next and previous difference move
// between, the line of the other text that belongs at the same height, and the step from one
// block to the next.
#include "compare/difference_blocks.h"
#include "compare/mark_differences.h"
#include "compare/tx_text.h"
#include "test_compare_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace orv {
namespace {

using test::JoinLines;

struct Marked {
    CompLines source, target;
    DifferenceMap alignment;
};

CompLines Lines(const std::vector<std::string>& texts) {
    return texts.empty() ? CompLines{} : SplitIntoLines(JoinLines(texts));
}

Marked Mark(const std::vector<std::string>& source, const std::vector<std::string>& target) {
    Marked m{Lines(source), Lines(target), {}};
    MatchLines(m.source, m.target);
    m.alignment = DifferenceMap::FromMarking(m.source, m.target);
    return m;
}

// first[0], count[0], first[1], count[1]
using B = std::vector<int64_t>;

std::vector<B> BlocksOf(const DifferenceMap& a) {
    std::vector<B> out;
    for (const DifferenceBlock& b : a.Blocks())
        out.push_back({b.first[0], b.count[0], b.first[1], b.count[1]});
    return out;
}

struct BlockCase {
    const char* name;
    std::vector<std::string> source, target;
    std::vector<B> blocks;
};

TEST(DifferenceBlocks, BlocksOfTheMarking) {
    const std::vector<BlockCase> cases = {
        {"equal texts", {"a", "b", "c"}, {"a", "b", "c"}, {}},
        {"line inserted in the target", {"a", "b", "c"}, {"a", "x", "b", "c"}, {{1, 0, 1, 1}}},
        {"line deleted from the source", {"a", "gone", "b", "c"}, {"a", "b", "c"}, {{1, 1, 1, 0}}},
        {"line changed", {"a", "old", "c"}, {"a", "new", "c"}, {{1, 1, 1, 1}}},
        {"two blocks apart",
         {"a", "b1", "c", "d", "e1"},
         {"a", "b2", "c", "d", "e2"},
         {{1, 1, 1, 1}, {4, 1, 4, 1}}},
        {"lines added at the end", {"a", "b"}, {"a", "b", "x", "y"}, {{2, 0, 2, 2}}},
        {"line only at the start", {"x", "a", "b"}, {"a", "b"}, {{0, 1, 0, 0}}},
        {"changed then deleted is one block",
         {"a", "x", "gone", "c"},
         {"a", "y", "c"},
         {{1, 2, 1, 1}}},
        {"empty source", {}, {"a", "b"}, {{0, 0, 0, 2}}},
        {"empty target", {"a", "b"}, {}, {{0, 2, 0, 0}}},
    };
    for (const BlockCase& c : cases) {
        const Marked m = Mark(c.source, c.target);
        EXPECT_EQ(BlocksOf(m.alignment), c.blocks) << c.name;
    }
}

struct CounterpartCase {
    const char* name;
    std::vector<std::string> source, target;
    int side;
    std::vector<int64_t> lines, expected;
};

TEST(DifferenceBlocks, CounterpartKeepsMatchedLinesAtTheSameHeight) {
    const std::vector<CounterpartCase> cases = {
        // The Target waits on "b" while the Source passes its extra line.
        {"source extra line",
         {"a", "gone", "b", "c"},
         {"a", "b", "c"},
         0,
         {0, 1, 2, 3},
         {0, 1, 1, 2}},
        {"target side of it", {"a", "gone", "b", "c"}, {"a", "b", "c"}, 1, {0, 1, 2}, {0, 2, 3}},
        // A block of five extra Target lines: the Source waits on "b".
        {"target block",
         {"a", "b"},
         {"a", "t1", "t2", "t3", "t4", "t5", "b"},
         1,
         {0, 1, 3, 5, 6},
         {0, 1, 1, 1, 1}},
        // Inside a block of changed lines the lines correspond in order; the longer side's
        // extra lines face the line after the block.
        {"uneven block",
         {"a", "x1", "x2", "x3", "z"},
         {"a", "y1", "z"},
         0,
         {1, 2, 3, 4},
         {1, 2, 2, 2}},
        // Past the end: the distance from the last line is kept as far as the other text goes.
        {"past the end",
         {"a", "b", "c", "d"},
         {"a", "b", "c", "d", "e", "f"},
         0,
         {3, 4, 5, 9},
         {3, 4, 5, 5}},
        {"empty other side", {"a"}, {}, 0, {0}, {-1}},
        {"empty own side", {}, {"a", "b"}, 0, {0, 5}, {0, 0}},
    };
    for (const CounterpartCase& c : cases) {
        const Marked m = Mark(c.source, c.target);
        std::vector<int64_t> got;
        for (int64_t line : c.lines)
            got.push_back(m.alignment.Counterpart(c.side, line));
        EXPECT_EQ(got, c.expected) << c.name;
    }
}

// A deterministic stream of edits of one text into another: lines changed, dropped, inserted
// alone and in runs longer than the look-ahead.
std::vector<std::string> Edited(const std::vector<std::string>& base, uint32_t seed) {
    std::vector<std::string> out;
    uint32_t x = seed;
    auto next = [&x] {
        x = x * 1664525u + 1013904223u;
        return (x >> 16) % 100;
    };
    for (size_t i = 0; i < base.size(); ++i) {
        const uint32_t r = next();
        if (r < 8)
            continue; // dropped
        if (r < 16) {
            out.push_back(base[i] + " -- changed");
            continue;
        }
        if (r < 20)
            for (uint32_t k = 0; k < 1 + next() % 25; ++k)
                out.push_back("inserted " + std::to_string(i) + "." + std::to_string(k));
        out.push_back(base[i]);
    }
    return out;
}

TEST(DifferenceBlocks, EveryColouredLineIsInOneBlockAndNoEqualLineIs) {
    std::vector<std::string> base;
    for (int i = 0; i < 160; ++i)
        base.push_back(i % 7 == 0 ? "GO" : "line " + std::to_string(i));
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        const Marked m = Mark(Edited(base, seed), Edited(base, seed * 7919u));
        const CompLines* sides[2] = {&m.source, &m.target};
        for (int side = 0; side < 2; ++side) {
            std::vector<int> covering(sides[side]->size(), 0);
            int64_t previousEnd = 0;
            for (const DifferenceBlock& b : m.alignment.Blocks()) {
                EXPECT_GE(b.first[side], previousEnd) << "seed " << seed;
                previousEnd = b.first[side] + b.count[side];
                for (int64_t l = b.first[side]; l < previousEnd; ++l)
                    ++covering[static_cast<size_t>(l)];
            }
            for (size_t l = 0; l < covering.size(); ++l) {
                const bool coloured = (*sides[side])[l].Status != LineSame;
                ASSERT_EQ(covering[l], coloured ? 1 : 0)
                    << "seed " << seed << " side " << side << " line " << l;
            }
        }
        // Paired lines are each other's counterparts.
        for (const AlignedRow& row : m.alignment.Rows()) {
            if (row.Source < 0 || row.Target < 0)
                continue;
            ASSERT_EQ(m.alignment.Counterpart(0, row.Source), row.Target) << "seed " << seed;
            ASSERT_EQ(m.alignment.Counterpart(1, row.Target), row.Source) << "seed " << seed;
        }
    }
}

TEST(DifferenceBlocks, StepWrapsAtBothEnds) {
    struct Case {
        int count, current;
        bool forward;
        int index;
        bool wrapped;
    };
    const std::vector<Case> cases = {
        {0, -1, true, -1, false}, {0, -1, false, -1, false}, {3, -1, true, 0, false},
        {3, -1, false, 2, false}, {3, 0, true, 1, false},    {3, 2, true, 0, true},
        {3, 0, false, 2, true},   {3, 1, false, 0, false},   {1, 0, true, 0, true},
        {1, 0, false, 0, true},   {3, 7, true, 0, false},
    };
    for (const Case& c : cases) {
        const DifferenceStep s = StepDifference(c.count, c.current, c.forward);
        EXPECT_EQ(s.index, c.index) << c.count << " " << c.current << " " << c.forward;
        EXPECT_EQ(s.wrapped, c.wrapped) << c.count << " " << c.current << " " << c.forward;
    }
}

} // namespace
} // namespace orv
