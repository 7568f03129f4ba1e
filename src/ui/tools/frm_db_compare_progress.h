// frmDbCompareProgress: the progress window of a whole-database comparison: the step, the object
// just read or compared, a gauge, the objects that could not be read, the elapsed time and Stop.
#pragma once

#include "dbcompare/db_compare.h"
#include "ui/tools/frm_run_progress.h"

#include <functional>
#include <string>

namespace orv {

// What runs the comparison; RunDbCompare unless a caller (a test) supplies another.
using DbCompareEngine =
    std::function<DbCompareResultsPtr(const DbCompareRequest&, ProgressSink&, const CancelToken&)>;

class frmDbCompareProgress : public frmRunProgress {
    Q_OBJECT
public:
    explicit frmDbCompareProgress(QWidget* parent = nullptr);

    // Runs the comparison and returns when it has ended (completed, stopped or failed); the
    // results are never null. `caption` names the comparison in the title.
    DbCompareResultsPtr ShowUp(const std::string& caption, const DbCompareRequest& request,
                               DbCompareEngine engine = RunDbCompare);

    QLabel* ObjectLabel() const { return ItemLabel(); }
};

} // namespace orv
