#include "compare/mark_differences.h"

#include "compare/line_diff.h"
#include "compare/run_time_error.h"
#include "compare/tx_text.h"
#include "core/error_report.h"
#include "util/prompter.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

namespace orv {

namespace {

void SetStatus(CompLines& lines, int64_t from, int64_t to, int32_t status) {
    for (int64_t i = from; i <= to; ++i)
        lines[static_cast<size_t>(i)].Status = status;
}

void MatchWholeTexts(CompLines& source, CompLines& target) {
    // Equal texts get equal numbers.
    std::unordered_map<std::string_view, uint32_t> numbers;
    numbers.reserve(source.size() + target.size());
    auto number = [&](const CompLines& lines) {
        std::vector<uint32_t> out;
        out.reserve(lines.size());
        for (const CompLine& line : lines)
            out.push_back(numbers.emplace(line.LineText, static_cast<uint32_t>(numbers.size()))
                              .first->second);
        return out;
    };
    const std::vector<uint32_t> a = number(source);
    const std::vector<uint32_t> b = number(target);
    const LineDiff diff = DiffLines(a, b);

    const size_t e = source.size(), d = target.size();
    size_t g = 0, f = 0;
    while (g < e || f < d) {
        size_t gEnd = g, fEnd = f;
        while (gEnd < e && diff.changedA[gEnd])
            ++gEnd;
        while (fEnd < d && diff.changedB[fEnd])
            ++fEnd;
        // A run of differing lines: pairs first, then what one side has more.
        const size_t paired = std::min(gEnd - g, fEnd - f);
        for (size_t i = 0; i < gEnd - g; ++i)
            source[g + i].Status = i < paired ? LineChanged : LineOnlyInSource;
        for (size_t i = 0; i < fEnd - f; ++i)
            target[f + i].Status = i < paired ? LineChanged : LineOnlyInTarget;
        g = gEnd;
        f = fEnd;
        // The common lines come in the same order on both sides.
        if (g < e && f < d) {
            source[g++].Status = LineSame;
            target[f++].Status = LineSame;
        }
    }
}

void MatchLookAhead(CompLines& source, CompLines& target) {
    // 0-based indices here; e and d are the line counts.
    const int64_t e = static_cast<int64_t>(source.size());
    const int64_t d = static_cast<int64_t>(target.size());
    if (e == 0 && d == 0)
        return;
    if (e == 0 || d == 0) {
        SetStatus(target, 0, d - 1, LineOnlyInTarget);
        SetStatus(source, 0, e - 1, LineOnlyInSource);
        return;
    }

    int64_t g = 0, f = 0;
    bool sourceEnded = false, targetEnded = false;
    for (int64_t step = 0; step < e; ++step) {
        if (g >= e) {
            sourceEnded = true;
            break;
        }
        if (f >= d) {
            targetEnded = true;
            break;
        }
        CompLine& s = source[static_cast<size_t>(g)];
        CompLine& t = target[static_cast<size_t>(f)];
        if (s.LineText == t.LineText) {
            s.Status = LineSame;
            t.Status = LineSame;
        } else {
            bool matched = false;
            const int64_t lastTarget = std::min(d - 1, f + kLookAhead);
            for (int64_t m = f; m <= lastTarget; ++m) {
                if (target[static_cast<size_t>(m)].LineText == s.LineText) {
                    SetStatus(target, f, m - 1, LineOnlyInTarget);
                    s.Status = LineSame;
                    target[static_cast<size_t>(m)].Status = LineSame;
                    f = m;
                    matched = true;
                    break;
                }
            }
            if (!matched) {
                const int64_t lastSource = std::min(e - 1, g + kLookAhead);
                for (int64_t m = g; m <= lastSource; ++m) {
                    if (source[static_cast<size_t>(m)].LineText == t.LineText) {
                        SetStatus(source, g, m - 1, LineOnlyInSource);
                        t.Status = LineSame;
                        source[static_cast<size_t>(m)].Status = LineSame;
                        g = m;
                        matched = true;
                        break;
                    }
                }
            }
            if (!matched) {
                s.Status = LineChanged;
                t.Status = LineChanged;
            }
        }
        ++f;
        ++g;
    }
    // The walk can also end on its step limit with the source used up; the sweep from the end
    // below catches what that leaves.
    if (sourceEnded)
        SetStatus(target, f, d - 1, LineOnlyInTarget);
    if (targetEnded)
        SetStatus(source, g, e - 1, LineOnlyInSource);

    for (int64_t i = e - 1; i >= 0 && source[static_cast<size_t>(i)].Status == LineUnmarked; --i)
        source[static_cast<size_t>(i)].Status = LineOnlyInSource;
    for (int64_t i = d - 1; i >= 0 && target[static_cast<size_t>(i)].Status == LineUnmarked; --i)
        target[static_cast<size_t>(i)].Status = LineOnlyInTarget;
}

} // namespace

void MatchLines(CompLines& source, CompLines& target, LineMatching matching) {
    if (matching == LineMatching::LookAhead)
        MatchLookAhead(source, target);
    else
        MatchWholeTexts(source, target);
}

void PaintLines(TextView& view, const CompLines& lines) {
    for (const CompLine& line : lines)
        SetRangeBackColor(view, StatusToColor(line.Status), line.StartPos, line.EndPos);
}

bool Mark_Differences(ViewPair& views, int32_t& errorCode, bool paint, LineMatching matching) {
    errorCode = 0;
    try {
        if (views.Text(0) == views.Text(1))
            return false;
        errorCode = views.Split(0);
        if (errorCode == 0)
            errorCode = views.Split(1);
        if (errorCode != 0) {
            CurrentPrompter().MessageBox(MsgIcon::None, "", "Error occurred.");
            return false;
        }
        MatchLines(views.Lines(0), views.Lines(1), matching);
        if (paint) {
            PaintLines(views.View(0), views.Lines(0));
            PaintLines(views.View(1), views.Lines(1));
        }
        return true;
    } catch (...) {
        const RunTimeError e = CurrentRunTimeError();
        errorCode = e.Number;
        ReportUnexpected(e.Number, e.Description, "modMarkDifferences", "Mark_Differences");
        return false;
    }
}

void Mark_Differences(TextView& sourceView, TextView& targetView, CompLines& sourceLines,
                      CompLines& targetLines, int32_t& errorCode, LineMatching matching) {
    ViewPair views(sourceView, targetView);
    Mark_Differences(views, errorCode, true, matching);
    sourceLines = std::move(views.Lines(0));
    targetLines = std::move(views.Lines(1));
}

} // namespace orv
