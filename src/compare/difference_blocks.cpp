#include "compare/difference_blocks.h"

#include <algorithm>

namespace orv {

LineAlignment LineAlignment::FromMarking(const CompLines& source, const CompLines& target) {
    LineAlignment a;
    const int64_t n[2] = {static_cast<int64_t>(source.size()), static_cast<int64_t>(target.size())};
    auto alone = [&](int side, int64_t line) {
        AlignedRow row;
        row.line[side] = line;
        a.rows_.push_back(row);
    };
    int64_t i = 0, j = 0;
    while (i < n[0] && j < n[1]) {
        const int32_t s = source[static_cast<size_t>(i)].Status;
        const int32_t t = target[static_cast<size_t>(j)].Status;
        if (s == LineOnlyInSource) {
            alone(0, i++);
        } else if (t == LineOnlyInTarget) {
            alone(1, j++);
        } else {
            AlignedRow row;
            row.line[0] = i++;
            row.line[1] = j++;
            row.same = s == LineSame && t == LineSame;
            a.rows_.push_back(row);
        }
    }
    while (i < n[0])
        alone(0, i++);
    while (j < n[1])
        alone(1, j++);

    for (int side = 0; side < 2; ++side) {
        a.rowOf_[side].assign(static_cast<size_t>(n[side]), -1);
        a.blockOf_[side].assign(static_cast<size_t>(n[side]), -1);
    }
    for (size_t r = 0; r < a.rows_.size(); ++r)
        for (int side = 0; side < 2; ++side)
            if (a.rows_[r].line[side] >= 0)
                a.rowOf_[side][static_cast<size_t>(a.rows_[r].line[side])] =
                    static_cast<int64_t>(r);

    // The blocks: maximal runs of rows that are not equal. A side without lines in a block
    // begins at the line that follows on that side.
    size_t r = 0;
    while (r < a.rows_.size()) {
        if (a.rows_[r].same) {
            ++r;
            continue;
        }
        DifferenceBlock b;
        int64_t seen[2] = {-1, -1};
        const auto index = static_cast<int32_t>(a.blocks_.size());
        for (; r < a.rows_.size() && !a.rows_[r].same; ++r) {
            for (int side = 0; side < 2; ++side) {
                const int64_t line = a.rows_[r].line[side];
                if (line < 0)
                    continue;
                if (seen[side] < 0)
                    b.first[side] = line;
                seen[side] = line;
                ++b.count[side];
                a.blockOf_[side][static_cast<size_t>(line)] = index;
            }
        }
        for (int side = 0; side < 2; ++side) {
            if (b.count[side] > 0)
                continue;
            // The row after the block is equal (both sides there) or the text has ended.
            b.first[side] = r < a.rows_.size() ? a.rows_[r].line[side] : n[side];
        }
        a.blocks_.push_back(b);
    }
    return a;
}

int64_t LineAlignment::Counterpart(int side, int64_t line) const {
    if (side != 0 && side != 1)
        return -1;
    const int other = 1 - side;
    const int64_t n = LineCount(side);
    const int64_t m = LineCount(other);
    if (m == 0)
        return -1;
    if (n == 0)
        return 0;
    int64_t beyond = 0;
    if (line < 0)
        line = 0;
    if (line >= n) {
        beyond = line - (n - 1);
        line = n - 1;
    }
    int64_t result;
    const AlignedRow& row = rows_[static_cast<size_t>(rowOf_[side][static_cast<size_t>(line)])];
    if (row.line[other] >= 0) {
        result = row.line[other];
    } else {
        const DifferenceBlock& b =
            blocks_[static_cast<size_t>(blockOf_[side][static_cast<size_t>(line)])];
        result = b.first[other] + std::min(line - b.first[side], b.count[other]);
    }
    return std::clamp<int64_t>(result + beyond, 0, m - 1);
}

DifferenceStep StepDifference(int count, int current, bool forward) {
    DifferenceStep step;
    if (count <= 0)
        return step;
    if (current < 0 || current >= count) {
        step.index = forward ? 0 : count - 1;
        return step;
    }
    if (forward) {
        step.wrapped = current + 1 >= count;
        step.index = step.wrapped ? 0 : current + 1;
    } else {
        step.wrapped = current == 0;
        step.index = step.wrapped ? count - 1 : current - 1;
    }
    return step;
}

} // namespace orv
