#include "ui/main/results_export.h"

#include "core/saved_comparison.h"
#include "util/prompter.h"

namespace orv {

std::optional<ResultsExportTarget> AskResultsExportTarget(const std::string& proposedName) {
    FileDialogRequest request;
    request.save = true;
    request.title = "Specify Target File";
    request.filter = "HTML files (*.html)|*.html|CSV files (*.csv)|*.csv";
    request.proposedPath = proposedName; // in the documents folder or the folder last used
    request.flags = 2054;                // overwrite prompt, no read-only box, the path must exist
    const std::optional<std::string> path = CurrentPrompter().FileDialog(request);
    if (!path)
        return std::nullopt;
    const int32_t type = ExportTypeOf(*path);
    if (type != kExportHtml && type != kExportCsv) {
        CurrentPrompter().MessageBox(MsgIcon::Warning, "Cannot Export",
                                     "Cannot export - the file name must end in .html, .htm or "
                                     ".csv.");
        return std::nullopt;
    }
    return ResultsExportTarget{*path, type};
}

} // namespace orv
