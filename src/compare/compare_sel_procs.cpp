#include "compare/compare_sel_procs.h"

#include "compare/ignore_columns_order.h"
#include "compare/mark_differences.h"
#include "compare/run_time_error.h"
#include "compare/text_equality.h"
#include "compare/view_pair.h"
#include "core/error_report.h"
#include "core/settings.h"
#include "util/prompter.h"
#include "util/text.h"

#include <stdexcept>

namespace orv {

std::string gstrReportText;

CompareOptions CompareOptions::FromSettings() {
    const ProgramSettings& s = Settings();
    CompareOptions o;
    o.IgnoreWhitespace = s.IgnoreWhitespace;
    o.CaseSensitive = s.CaseSensitive;
    o.IgnoreColSeq = s.IgnoreColSeq;
    o.IgnoreComments = s.IgnoreComments;
    o.ClassicLineMatching = s.ClassicLineMatching;
    return o;
}

std::string BuildVerdictText(const ComparedObjectNames& names, bool identical, bool columnsIgnored,
                             bool ignoreColSeq) {
    std::string text = "Source: " + names.FullName[0] + "\r\nTarget: " + names.FullName[1] +
                       "\r\n\r\nThe selected " + names.TypeNamePlural + " are " +
                       (identical ? "identical." : "different.");
    if (identical) {
        if (columnsIgnored)
            text += std::string("\r\n\r\n") + kNoteColumnsIgnored;
        if (ignoreColSeq)
            text += std::string("\r\n\r\n") + kNoteIgnoreColumnsOrder;
    }
    return text;
}

namespace {

// Clears the busy flag and the hourglass however the comparison ends.
class BusyScope {
public:
    explicit BusyScope(const std::function<void(bool)>& setBusy) : setBusy_(setBusy) {
        if (setBusy_)
            setBusy_(true);
        CurrentPrompter().SetMousePointer(kPointerHourglass);
    }
    ~BusyScope() {
        if (setBusy_)
            setBusy_(false);
        CurrentPrompter().SetMousePointer(kPointerDefault);
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    const std::function<void(bool)>& setBusy_;
};

bool TextsEqual(std::string_view a, std::string_view b, const CompareOptions& options) {
    std::string bareA, bareB;
    if (options.IgnoreComments) {
        if (MayHoldSqlComments(a))
            a = bareA = StripSqlComments(a);
        if (MayHoldSqlComments(b))
            b = bareB = StripSqlComments(b);
    }
    if (options.IgnoreWhitespace)
        return CompareTextsIgnoringWhitespace(a, b, options.CaseSensitive);
    return a == b;
}

// Blanks only, as the text taken from a view has always been trimmed.
std::string_view TrimBlanks(std::string_view s) {
    const size_t b = s.find_first_not_of(' ');
    if (b == std::string_view::npos)
        return {};
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

ComparisonReportRequest ReportRequestFor(const ComparedObjectNames& names) {
    ComparisonReportRequest r;
    for (int i = 0; i < 2; ++i) {
        r.ServerName[i] = names.ServerName[i];
        r.DbName[i] = names.DbName[i];
        r.ObjectName[i] = names.ObjectName[i];
    }
    r.EncObjTypes = names.EncObjTypes;
    return r;
}

} // namespace

std::string_view ViewTextForComparison(ViewPair& views, int side) {
    return TrimBlanks(views.Text(side));
}

PairDecision DecideObjectPair(ViewPair& views, std::string_view text[2], int32_t typeCode,
                              const CompareOptions& options, const CompareServices& services,
                              bool paint) {
    PairDecision decision;
    // A side's text without its ignored columns lives here while it is compared.
    std::string withoutIgnored[2];
    bool replaced[2] = {false, false};
    if (typeCode == kTypeTables && services.ignoredColumns) {
        for (int side = 0; side < 2; ++side) {
            if (services.ignoredColumns(side).empty())
                continue;
            decision.ColumnsIgnored = true;
            if (services.tableScriptWithoutIgnored) {
                withoutIgnored[side] = services.tableScriptWithoutIgnored(side);
                text[side] = withoutIgnored[side];
                replaced[side] = true;
            }
        }
    }
    bool equal = TextsEqual(text[0], text[1], options);
    // The second opinion works on the views' whole texts, as the marking does.
    if (!equal && options.IgnoreColSeq)
        equal = CompareProcs_IgnoreColumnsOrder(views, options.IgnoreComments);
    if (!equal)
        decision.Marked = Mark_Differences(views, decision.MarkErrorCode, paint,
                                           options.ClassicLineMatching ? LineMatching::LookAhead
                                                                       : LineMatching::WholeText);
    decision.Identical = equal;
    // The replaced texts die with this call; nobody may keep looking at them.
    for (int side = 0; side < 2; ++side)
        if (replaced[side])
            text[side] = {};
    return decision;
}

CompareResult CompareSelProcs(const CompareRequest& request) {
    CompareResult result;
    BusyScope busy(request.services.setBusy);
    int step = 1;
    try {
        if (!request.sourceView || !request.targetView)
            throw std::invalid_argument("both text views are needed");
        TextView& sourceView = *request.sourceView;
        TextView& targetView = *request.targetView;
        const CompareOptions& options = request.options;

        step = 2;
        ViewPair views(sourceView, targetView);
        // Views into the cached view texts, or into `given` for texts that are not the views'.
        std::string given[2];
        std::string_view text[2];
        if (request.givenTexts) {
            given[0] = request.sourceText;
            given[1] = request.targetText;
            text[0] = given[0];
            text[1] = given[1];
        } else {
            text[0] = ViewTextForComparison(views, 0);
            text[1] = ViewTextForComparison(views, 1);
        }

        step = 3;
        if (text[0].empty() && text[1].empty()) {
            CurrentPrompter().MessageBox(MsgIcon::Information, "Cannot Compare",
                                         kMsgNothingToCompare);
            return result;
        }

        step = 4;
        const ComparedObjectNames& names = request.names;

        step = 5;
        // The marks of an earlier comparison go first: a verdict of "identical", or a marking
        // that fails, must not leave the previous colours behind as if they were this one's.
        sourceView.ClearBackColors();
        targetView.ClearBackColors();
        const PairDecision decision =
            DecideObjectPair(views, text, names.TypeCode, options, request.services, true);
        result.ColumnsIgnored = decision.ColumnsIgnored;
        result.Marked = decision.Marked;
        result.MarkErrorCode = decision.MarkErrorCode;
        const bool equal = decision.Identical;

        step = 8;
        if (!equal) {
            result.SourceLines = std::move(views.Lines(0));
            result.TargetLines = std::move(views.Lines(1));
        }

        step = 9;
        CurrentPrompter().SetMousePointer(kPointerDefault);

        step = 10;
        result.Identical = equal;
        result.Verdict =
            BuildVerdictText(names, equal, result.ColumnsIgnored, options.IgnoreColSeq);

        step = 11;
        result.Report = ReportRequestFor(names);
        // A replay reads the objects afresh; what was highlighted in them is not kept.
        if (request.givenTexts)
            result.Report.SaveRefusal =
                "A comparison of highlighted sections cannot be saved: the highlighted text is "
                "not kept, so it could not be run again as it was.";
        result.Compared = true;
    } catch (...) {
        const RunTimeError e = CurrentRunTimeError();
        ReportUnexpected(e.Number, e.Description, "frmMain", "CompareSelProcs",
                         "Line num: " + std::to_string(step));
        result.Compared = false;
    }
    return result;
}

void ShowComparisonReport(const CompareResult& result,
                          const std::function<void(const ComparisonReportRequest&)>& showUp) {
    if (!result.Compared)
        return;
    gstrReportText = result.Verdict;
    if (showUp)
        showUp(result.Report);
    gstrReportText.clear();
}

} // namespace orv
