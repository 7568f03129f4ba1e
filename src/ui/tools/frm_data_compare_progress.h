// frmDataCompareProgress: the progress window of a data comparison: the table being compared,
// the rows read on each side, the tables done, the elapsed time and Stop. A stopped run still
// hands back what it compared, marked incomplete.
#pragma once

#include "dbcompare/data_compare.h"
#include "ui/tools/frm_run_progress.h"

#include <cstdint>
#include <functional>
#include <string>

namespace orv {

// What runs the comparison; RunDataCompare unless a caller (a test) supplies another.
using DataCompareEngine = std::function<DataCompareResultsPtr(const DataCompareRequest&,
                                                              ProgressSink&, const CancelToken&)>;

class frmDataCompareProgress : public frmRunProgress {
    Q_OBJECT
public:
    explicit frmDataCompareProgress(QWidget* parent = nullptr);

    // Runs the comparison and returns when it has ended (completed, stopped or failed); the
    // results are never null. `caption` names the comparison in the title.
    DataCompareResultsPtr ShowUp(const std::string& caption, const DataCompareRequest& request,
                                 DataCompareEngine engine = RunDataCompare);

    // Rows read on each side of the current pair, as last reported.
    int64_t RowsRead(int side) const { return SideCount(side); }
    QLabel* TableLabel() const { return ItemLabel(); }
    QLabel* RowsLabel() const { return SideCountsLabel(); }
};

} // namespace orv
