// Comparing two objects: decides "identical" or "different" under the comparison settings,
// marks the differing lines of both views and builds the verdict for the report window. The
// window only gathers the inputs and shows the result.
#pragma once

#include "compare/comp_line.h"
#include "compare/view_pair.h"
#include "util/text_view.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

constexpr int32_t kTypeTables = 50;

// What the main window knows about the two compared objects; index 0 Source, 1 Target.
struct ComparedObjectNames {
    int32_t TypeCode = 0;
    std::string TypeNamePlural; // "tables", "procedures", ...
    std::string EncObjTypes;    // the seven-flag text of the type, for the report window
    std::string ServerName[2];
    std::string DbName[2];
    std::string ObjectName[2];
    std::string FullName[2]; // server.database.object
};

struct CompareOptions {
    bool IgnoreWhitespace = true;
    bool CaseSensitive = false;
    bool IgnoreColSeq = true;
    bool IgnoreComments = true;
    // Differing lines are marked by the classic 20-line look-ahead instead of over the whole
    // texts. The verdict is the same either way.
    bool ClassicLineMatching = false;
    // The program's current settings.
    static CompareOptions FromSettings();
};

// What the comparison needs from the catalog, supplied by the caller so this room needs no
// server: the structure-comparison ignored-column list of a side's table (0 Source, 1 Target;
// the caller knows which table that is and reads its list under its one section name), and the
// table re-scripted without those columns for a panel.
struct CompareServices {
    std::function<std::vector<std::string>(int side)> ignoredColumns;
    std::function<std::string(int panel)> tableScriptWithoutIgnored;
    // Set and cleared around the comparison (the main window's busy flag).
    std::function<void(bool busy)> setBusy;
};

struct CompareRequest {
    // false: compare the two views' whole texts; true: compare the two given texts (highlighted
    // sections). The marking always works on the whole views.
    bool givenTexts = false;
    std::string sourceText;
    std::string targetText;
    TextView* sourceView = nullptr;
    TextView* targetView = nullptr;
    ComparedObjectNames names;
    CompareOptions options;
    CompareServices services;
};

// Everything the report window is opened with.
struct ComparisonReportRequest {
    std::string Caption = "Comparison Report";
    int HelpContext = 3;
    std::string ServerName[2];
    std::string DbName[2];
    std::string ObjectName[2];
    int32_t CompType = 1;
    int32_t CompSubType = 35;
    int32_t CompSubSubType = 0;
    std::string EncObjTypes;
    int32_t CompMethod = -1;
    bool PlayingSavedComp = false;
    std::string SavedExportFilePath;
    int32_t CheckCount[2] = {0, 0};
    bool Print = false;
    int32_t TableId[2] = {0, 0};
    // Not empty when the comparison cannot be saved to run again, and why.
    std::string SaveRefusal;
};

struct CompareResult {
    // False when nothing was compared: both texts empty (the user has been told) or a run-time
    // error (reported).
    bool Compared = false;
    bool Identical = false;
    bool ColumnsIgnored = false;
    bool Marked = false;       // the differences were marked in the views
    int32_t MarkErrorCode = 0; // non-zero when a view could not be split into lines
    std::string Verdict;       // the report window's text
    CompLines SourceLines, TargetLines;
    ComparisonReportRequest Report;
};

constexpr const char* kMsgNothingToCompare = "Cannot compare - the list of objects is empty.";
constexpr const char* kNoteColumnsIgnored =
    "Please note that some columns were ignored during comparison.";
constexpr const char* kNoteIgnoreColumnsOrder =
    "Please note that option 'Ignore Columns Order' is set ON.";

CompareResult CompareSelProcs(const CompareRequest& request);

// The text a comparison of two whole views starts from: the view's text without the blanks at
// both ends.
std::string_view ViewTextForComparison(ViewPair& views, int side);

// What the deciding steps of a comparison found.
struct PairDecision {
    bool Identical = false;
    bool ColumnsIgnored = false;
    bool Marked = false;       // the lines of both views were given their statuses
    int32_t MarkErrorCode = 0; // non-zero when a view could not be split into lines
};

// The deciding steps of a comparison, with no window, pointer, message or report of their own:
// for a table, each side's text without its ignored columns; the equality of the two texts
// under the options; the line-order check on the whole views; and, when the objects differ,
// the statuses of the views' lines (views.Lines). `text` holds the two texts compared in the
// first step (a side may be replaced by its text without ignored columns). With `paint` the
// marked lines are also coloured in the views. The main window's comparison and the
// whole-database comparison both decide through this one function.
PairDecision DecideObjectPair(ViewPair& views, std::string_view text[2], int32_t typeCode,
                              const CompareOptions& options, const CompareServices& services,
                              bool paint);

// The verdict text the report window shows.
std::string BuildVerdictText(const ComparedObjectNames& names, bool identical, bool columnsIgnored,
                             bool ignoreColSeq);

// The text handed to the report window while it is open.
extern std::string gstrReportText;

// Hands the verdict to the report window through gstrReportText, shows it with `showUp` and
// empties the text again once the window has closed.
void ShowComparisonReport(const CompareResult& result,
                          const std::function<void(const ComparisonReportRequest&)>& showUp);

} // namespace orv
