// Reading a difference in both texts at once, from the rows of the marked lines side by side
// (compare/line_alignment.h): the runs of rows that are not equal are the blocks of coloured
// lines that next and previous difference move between, and each line has the line of the other
// text that belongs at its height when the two views scroll together.
#pragma once

#include "compare/comp_line.h"
#include "compare/line_alignment.h"

#include <cstdint>
#include <vector>

namespace orv {

// One run of rows that are not equal: where it begins in each text and how many lines of each
// it holds. A side with no lines in the block begins where they would stand: the line after
// the gap, which is one past the last line when the block ends the text.
struct DifferenceBlock {
    int64_t first[2] = {0, 0};
    int64_t count[2] = {0, 0};
};

// Line numbers count from 0; side 0 is the Source, 1 the Target.
class DifferenceMap {
public:
    DifferenceMap() = default;
    // The rows as AlignMarkedLines pairs them; unmarked lines pair in order, so two unmarked
    // texts face each other line by line.
    static DifferenceMap FromMarking(const CompLines& source, const CompLines& target);

    const std::vector<AlignedRow>& Rows() const { return rows_; }
    const std::vector<DifferenceBlock>& Blocks() const { return blocks_; }
    bool Empty() const { return rows_.empty(); }
    int64_t LineCount(int side) const { return static_cast<int64_t>(rowOf_[side].size()); }

    // The line of the other side to show at the height of `line` of `side` (0 Source, 1 Target).
    // A paired line gives its partner. Inside a block the lines of both sides correspond by their
    // distance from the block's start, and a line the other side has no counterpart for gives
    // the other side's line after the block, so the other view waits while one view scrolls
    // through lines of its own. Lines past the end keep their distance from the last line. The
    // result lies within the other side's lines; -1 when the other side has none.
    int64_t Counterpart(int side, int64_t line) const;

private:
    std::vector<AlignedRow> rows_;
    std::vector<DifferenceBlock> blocks_;
    std::vector<int64_t> rowOf_[2];   // row index of each line
    std::vector<int32_t> blockOf_[2]; // block index of each line, -1 outside the blocks
};

// Moving between `count` blocks from `current` (-1: none yet). Past the last block the step
// wraps to the first and before the first to the last; `wrapped` says so. -1 when there are no
// blocks.
struct DifferenceStep {
    int index = -1;
    bool wrapped = false;
};
DifferenceStep StepDifference(int count, int current, bool forward);

} // namespace orv
