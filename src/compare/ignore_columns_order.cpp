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

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

// Orders by the case-folded text, then by the exact text, comparing bytes as unsigned values;
// folding on the fly spares a folded copy of every line.
int CompareLineKeys(const std::string& x, const std::string& y, bool ignoreCase) {
    if (ignoreCase) {
        const size_t n = std::min(x.size(), y.size());
        for (size_t i = 0; i < n; ++i) {
            const auto cx = static_cast<unsigned char>(LowerAscii(x[i]));
            const auto cy = static_cast<unsigned char>(LowerAscii(y[i]));
            if (cx != cy)
                return cx < cy ? -1 : 1;
        }
        if (x.size() != y.size())
            return x.size() < y.size() ? -1 : 1;
    }
    return x.compare(y);
}

std::vector<size_t> SortedOrder(const CompLines& lines, bool ascending, bool ignoreCase) {
    std::vector<size_t> order(lines.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::sort(order.begin(), order.end(), [&](size_t i, size_t j) {
        const int c = CompareLineKeys(lines[i].LineText, lines[j].LineText, ignoreCase);
        return ascending ? c < 0 : c > 0;
    });
    return order;
}

bool MayHoldComments(const CompLines& lines) {
    for (const CompLine& line : lines)
        if (line.LineText.find("--") != std::string::npos ||
            line.LineText.find("/*") != std::string::npos)
            return true;
    return false;
}

// One side's lines with their comments removed, built only when the line counts could match:
// most texts that differ differ in their number of lines too.
class BareSide {
public:
    BareSide(const CompLines& lines, bool strip) : lines_(lines), strip_(strip) {
        if (!strip_)
            return;
        int32_t errorCode = 0;
        text_ = StripSqlComments(
            TXText_ConvArrayToText(lines, static_cast<int64_t>(lines.size()), errorCode));
        count_ = 0;
        for (size_t i = 0; i < text_.size(); ++i)
            if (text_[i] == '\n' ||
                (text_[i] == '\r' && (i + 1 == text_.size() || text_[i + 1] != '\n')))
                ++count_;
        // The joined text carried a break after its last line; a text that lost that break
        // with a comment-only last line still has the line before it.
        if (!text_.empty() && text_.back() != '\n' && text_.back() != '\r')
            ++count_;
    }
    size_t Count() const { return strip_ ? count_ : lines_.size(); }
    const CompLines& Lines() {
        if (!strip_)
            return lines_;
        if (bare_.empty() && !text_.empty()) {
            bare_ = SplitIntoLines(text_);
            if (!bare_.empty() && bare_.back().LineText.empty() &&
                (text_.back() == '\n' || text_.back() == '\r'))
                bare_.pop_back();
        }
        return bare_;
    }

private:
    const CompLines& lines_;
    bool strip_;
    std::string text_;
    size_t count_ = 0;
    CompLines bare_;
};

bool SameSortedLines(const CompLines& source, const CompLines& target) {
    if (source.size() != target.size())
        return false; // no order can make them equal, so spare the sort
    const std::vector<size_t> a = SortedOrder(source, true, true);
    const std::vector<size_t> b = SortedOrder(target, true, true);
    for (size_t i = 0; i < a.size(); ++i)
        if (source[a[i]].LineText != target[b[i]].LineText)
            return false;
    return true;
}

// Splits one side, or tells the user which side failed.
bool SplitSide(ViewPair& views, int side) {
    if (views.Split(side) == 0)
        return true;
    CurrentPrompter().MessageBox(MsgIcon::None, "",
                                 std::string("Ignore Columns Order option (") +
                                     (side == 0 ? "Source" : "Target") + ") - error occurred.");
    return false;
}

} // namespace

bool CompareProcs_IgnoreColumnsOrder(ViewPair& views, bool ignoreComments) {
    try {
        if (!SplitSide(views, 0) || !SplitSide(views, 1))
            return false;
        const CompLines& source = views.Lines(0);
        const CompLines& target = views.Lines(1);
        if (!ignoreComments)
            return SameSortedLines(source, target);
        // Only a side that may hold comments needs its lines rebuilt.
        BareSide bareSource(source, MayHoldComments(source));
        BareSide bareTarget(target, MayHoldComments(target));
        if (bareSource.Count() != bareTarget.Count())
            return false;
        return SameSortedLines(bareSource.Lines(), bareTarget.Lines());
    } catch (...) {
        const RunTimeError e = CurrentRunTimeError();
        ReportUnexpected(e.Number, e.Description, "modIgnoreColumnsOrder",
                         "CompareProcs_IgnoreColumnsOrder");
        return false;
    }
}

bool CompareProcs_IgnoreColumnsOrder(TextView& sourceView, TextView& targetView,
                                     bool ignoreComments) {
    ViewPair views(sourceView, targetView);
    return CompareProcs_IgnoreColumnsOrder(views, ignoreComments);
}

void SortArray_CompLine(CompLines& lines, bool ascending, bool ignoreCase) {
    try {
        if (lines.size() < 2)
            return;
        const std::vector<size_t> order = SortedOrder(lines, ascending, ignoreCase);
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
