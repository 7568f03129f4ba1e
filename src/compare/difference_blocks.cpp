#include "compare/difference_blocks.h"

#include <algorithm>

namespace orv {

namespace {
int64_t LineOf(const AlignedRow& row, int side) {
    return side == 0 ? row.Source : row.Target;
}
// Both lines there and marked equal.
bool Same(const AlignedRow& row) {
    return row.Source >= 0 && row.Target >= 0 && row.Status == LineSame;
}
} // namespace

DifferenceMap DifferenceMap::FromMarking(const CompLines& source, const CompLines& target) {
    DifferenceMap a;
    const int64_t n[2] = {static_cast<int64_t>(source.size()), static_cast<int64_t>(target.size())};
    a.rows_ = AlignMarkedLines(source, target);

    for (int side = 0; side < 2; ++side) {
        a.rowOf_[side].assign(static_cast<size_t>(n[side]), -1);
        a.blockOf_[side].assign(static_cast<size_t>(n[side]), -1);
    }
    for (size_t r = 0; r < a.rows_.size(); ++r)
        for (int side = 0; side < 2; ++side)
            if (const int64_t line = LineOf(a.rows_[r], side); line >= 0)
                a.rowOf_[side][static_cast<size_t>(line)] = static_cast<int64_t>(r);

    // The blocks: maximal runs of rows that are not equal. A side without lines in a block
    // begins at the line that follows on that side.
    size_t r = 0;
    while (r < a.rows_.size()) {
        if (Same(a.rows_[r])) {
            ++r;
            continue;
        }
        DifferenceBlock b;
        int64_t seen[2] = {-1, -1};
        const auto index = static_cast<int32_t>(a.blocks_.size());
        for (; r < a.rows_.size() && !Same(a.rows_[r]); ++r) {
            for (int side = 0; side < 2; ++side) {
                const int64_t line = LineOf(a.rows_[r], side);
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
            b.first[side] = r < a.rows_.size() ? LineOf(a.rows_[r], side) : n[side];
        }
        a.blocks_.push_back(b);
    }
    return a;
}

int64_t DifferenceMap::Counterpart(int side, int64_t line) const {
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
    if (LineOf(row, other) >= 0) {
        result = LineOf(row, other);
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
