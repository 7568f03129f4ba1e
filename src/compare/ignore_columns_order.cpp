#include "compare/ignore_columns_order.h"

#include "compare/run_time_error.h"
#include "compare/text_equality.h"
#include "compare/tx_text.h"
#include "core/error_report.h"
#include "util/prompter.h"
#include "util/text.h"

#include <algorithm>
#include <numeric>

namespace orv {

namespace {

// The lines of a view, or false after telling the user which side failed.
bool ViewLines(const TextView& view, const char* side, bool ignoreComments, CompLines& lines) {
    int32_t errorCode = 0;
    const int64_t count = TXText_ConvTextToArray(view, lines, errorCode);
    if (errorCode != 0) {
        CurrentPrompter().MessageBox(MsgIcon::None, "",
                                     std::string("Ignore Columns Order option (") + side +
                                         ") - error occurred.");
        return false;
    }
    if (ignoreComments && count > 0) {
        const std::string text = TXText_ConvArrayToText(lines, count, errorCode);
        if (errorCode != 0)
            return false;
        lines = SplitIntoLines(StripSqlComments(text));
        // The text carried a break after its last line; the empty line that leaves is no line
        // of the view.
        if (!lines.empty() && lines.back().LineText.empty())
            lines.pop_back();
    }
    return true;
}

} // namespace

bool CompareProcs_IgnoreColumnsOrder(const TextView& sourceView, const TextView& targetView,
                                     bool ignoreComments) {
    try {
        CompLines source, target;
        if (!ViewLines(sourceView, "Source", ignoreComments, source))
            return false;
        if (!ViewLines(targetView, "Target", ignoreComments, target))
            return false;
        SortArray_CompLine(source, true, true);
        SortArray_CompLine(target, true, true);
        return AreTypeArrays_CompLine_Identical(source, target, static_cast<int64_t>(source.size()),
                                                static_cast<int64_t>(target.size()));
    } catch (...) {
        const RunTimeError e = CurrentRunTimeError();
        ReportUnexpected(e.Number, e.Description, "modIgnoreColumnsOrder",
                         "CompareProcs_IgnoreColumnsOrder");
        return false;
    }
}

void SortArray_CompLine(CompLines& lines, bool ascending, bool ignoreCase) {
    try {
        if (lines.size() < 2)
            return;
        // Fold each key once rather than on every comparison.
        std::vector<std::string> folded;
        if (ignoreCase) {
            folded.reserve(lines.size());
            for (const CompLine& line : lines)
                folded.push_back(ToLowerAscii(line.LineText));
        }
        std::vector<size_t> order(lines.size());
        std::iota(order.begin(), order.end(), size_t{0});
        auto less = [&](size_t i, size_t j) {
            if (ignoreCase) {
                const int c = folded[i].compare(folded[j]);
                if (c != 0)
                    return c < 0;
            }
            return lines[i].LineText < lines[j].LineText;
        };
        if (ascending)
            std::sort(order.begin(), order.end(), less);
        else
            std::sort(order.begin(), order.end(), [&](size_t i, size_t j) { return less(j, i); });
        CompLines sorted;
        sorted.reserve(lines.size());
        for (size_t i : order)
            sorted.push_back(std::move(lines[i]));
        lines = std::move(sorted);
    } catch (...) {
        const RunTimeError e = CurrentRunTimeError();
        ReportUnexpected(e.Number, e.Description, "modSortTypeArrays", "SortArray_CompLine");
    }
}

bool AreTypeArrays_CompLine_Identical(const CompLines& a, const CompLines& b, int64_t countA,
                                      int64_t countB) {
    try {
        if (countA != countB)
            return false;
        for (int64_t i = 0; i < countA; ++i)
            if (a.at(static_cast<size_t>(i)).LineText != b.at(static_cast<size_t>(i)).LineText)
                return false;
        return true;
    } catch (...) {
        const RunTimeError e = CurrentRunTimeError();
        ReportUnexpected(e.Number, e.Description, "modIgnoreColumnsOrder",
                         "AreTypeArrays_CompLine_Identical");
        return false;
    }
}

} // namespace orv
