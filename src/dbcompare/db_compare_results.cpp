#include "dbcompare/db_compare_results.h"

#include "compare/line_alignment.h"

#include <algorithm>

namespace orv {

std::string ColumnRenameNote(const PairVerdict& pair) {
    if (pair.RenamedColumnFrom.empty())
        return "";
    return "renamed? " + pair.RenamedColumnFrom + " \u2192 " + pair.RenamedColumnTo;
}

const char* PairStatusWord(PairStatus status) {
    switch (status) {
    case PairStatus::Identical:
        return "identical";
    case PairStatus::Different:
        return "different";
    case PairStatus::OnlyInSource:
        return "only in source";
    case PairStatus::OnlyInTarget:
        return "only in target";
    case PairStatus::NotComparable:
        break;
    }
    return "not comparable";
}

int64_t StatusCounts::Total() const {
    int64_t total = 0;
    for (int64_t n : Count)
        total += n;
    return total;
}

StatusCounts DbCompareResults::CountsFor(ObjectType type) const {
    StatusCounts counts;
    for (const PairVerdict& p : Pairs)
        if (p.Type == type)
            ++counts[p.Status];
    return counts;
}

StatusCounts DbCompareResults::Totals() const {
    StatusCounts counts;
    for (const PairVerdict& p : Pairs)
        ++counts[p.Status];
    return counts;
}

bool DbCompareResults::AllIdentical() const {
    return Complete() && std::all_of(Pairs.begin(), Pairs.end(), [](const PairVerdict& p) {
               return p.Status == PairStatus::Identical;
           });
}

namespace {

bool IsMarkedDifference(int32_t status) {
    return status == LineChanged || status == LineOnlyInSource || status == LineOnlyInTarget;
}

} // namespace

int64_t DifferingLineCount(const PairVerdict& pair) {
    int64_t n = 0;
    for (const CompLine& l : pair.SourceLines)
        n += IsMarkedDifference(l.Status) ? 1 : 0;
    for (const CompLine& l : pair.TargetLines)
        n += IsMarkedDifference(l.Status) ? 1 : 0;
    return n;
}

std::vector<DiffHunk> DifferingHunks(const PairVerdict& pair, int context) {
    std::vector<DiffHunk> hunks;
    if (pair.Status != PairStatus::Different)
        return hunks;
    const std::vector<AlignedRow> rows = AlignMarkedLines(pair.SourceLines, pair.TargetLines);
    const int64_t n = static_cast<int64_t>(rows.size());
    context = std::max(context, 0);
    int64_t i = 0;
    while (i < n) {
        if (!IsMarkedDifference(rows[static_cast<size_t>(i)].Status)) {
            ++i;
            continue;
        }
        // A hunk runs from `context` rows before the first differing row to `context` rows
        // after the last one, taking in every difference closer than twice the context.
        const int64_t first = std::max<int64_t>(0, i - context);
        int64_t lastDiff = i;
        for (int64_t j = i + 1; j < n && j <= lastDiff + 2 * context; ++j)
            if (IsMarkedDifference(rows[static_cast<size_t>(j)].Status))
                lastDiff = j;
        const int64_t end = std::min(n, lastDiff + context + 1);
        DiffHunk h;
        // Within a run of differing rows the removed lines come first, then the added ones.
        std::vector<std::string> added;
        auto flushAdded = [&] {
            h.Lines.insert(h.Lines.end(), added.begin(), added.end());
            added.clear();
        };
        for (int64_t r = first; r < end; ++r) {
            const AlignedRow& row = rows[static_cast<size_t>(r)];
            const CompLine* s =
                row.Source >= 0 ? &pair.SourceLines[static_cast<size_t>(row.Source)] : nullptr;
            const CompLine* t =
                row.Target >= 0 ? &pair.TargetLines[static_cast<size_t>(row.Target)] : nullptr;
            if (s && h.SourceStart == 0)
                h.SourceStart = row.Source + 1;
            if (t && h.TargetStart == 0)
                h.TargetStart = row.Target + 1;
            h.SourceCount += s ? 1 : 0;
            h.TargetCount += t ? 1 : 0;
            if (IsMarkedDifference(row.Status)) {
                if (s)
                    h.Lines.push_back("-" + s->LineText);
                if (t)
                    added.push_back("+" + t->LineText);
            } else {
                flushAdded();
                h.Lines.push_back(" " + (s ? s->LineText : t ? t->LineText : std::string()));
            }
        }
        flushAdded();
        hunks.push_back(std::move(h));
        i = end;
    }
    return hunks;
}

} // namespace orv
