// frmDataView, "Data in Table": the rows of one table in a grid, loaded record by record with a
// progress gauge, the running record number and the elapsed time. Stop, Exit, Esc and closing
// the window work at any moment while it loads.
#pragma once

#include "export/table_export.h"
#include "servers/recordset.h"
#include "servers/server_entry.h"
#include "ui/widgets/data_grid_store.h"

#include <QDialog>
#include <QElapsedTimer>

#include <cstdint>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

class QLabel;
class QPushButton;

namespace orv {

class DataGrid;
class Gauge;

class frmDataView : public QDialog {
    Q_OBJECT
public:
    explicit frmDataView(QWidget* parent = nullptr);
    ~frmDataView() override;

    // Counts the table's records and shows the window modally, or says why not. Returns
    // whether the window was shown.
    bool ShowUp(const std::string& pstrExtTableName, const std::string& pstrPureTableName,
                const std::string& pstrDbName, int32_t plngIndex, int32_t plngObjId);

    // Fills the grid; runs once, on the first activation.
    void LoadData();
    // The current record of `pRs` into grid row plngRowNum: its number, then the field texts.
    void AddRecordToGrid(const Recordset& pRs, int32_t plngColor, int64_t plngRowNum);
    // Two records one under the other at the end of the grid, differing cells in red.
    void AddRecordToGrid_MarkDiff(const Recordset& prs1, const Recordset& prs2, int32_t plngColor1,
                                  int32_t plngColor2, int64_t plngRowNum);
    // Appends records plngStartRec..plnEndRec; the record set stands just before the first.
    void AddMultipleRecordsToGrid(Recordset& pRs, int32_t plngColor, int64_t plngStartRec,
                                  int64_t plnEndRec);
    // 1: the loading layout; 2: the finished layout.
    void ShowHideControls(int32_t llngStatus);

    // The loop yields at every record but runs the event loop at most this often, so that a
    // fast server does not spend its time repainting labels nobody can read that quickly; the
    // grid's 40-row refreshes then coalesce to at most ten a second. 0 runs the event loop at
    // every record and refreshes the grid at every 40th, exactly.
    void SetYieldInterval(int milliseconds) { yieldIntervalMs_ = milliseconds; }

    // Export: asks for the format and the NULL text, then for the file, and writes the rows
    // shown. ExportTo writes them to `path`, streamed row by row with the gauge; Stop or a
    // failure leaves no file (an existing one stays as it was). False when nothing was written.
    bool Export();
    bool ExportTo(const std::string& path, const TableExportOptions& options);
    // Whether the cell of grid row `row`, field column `col` (1-based) held NULL.
    bool IsNullCell(int64_t row, int32_t col) const;

    bool Loading() const { return loading_; }
    bool Exporting() const { return exporting_; }
    bool Activated() const { return activated_; }
    int32_t RecordCount() const { return recordCount_; }
    const std::string& ExtTableName() const { return extTableName_; }
    DataGrid* Grid() const { return grid_; }
    Gauge* Progress() const { return prbProgress_; }

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildControls();
    void FormLoad();
    void ScheduleFirstActivation();
    void FirstActivation();
    void cmdExit_Click();
    void cmdStop_Click();
    void Unload();
    void ApplyResize();
    void PrepareGrid(int32_t columnCount);
    void RunLoadLoop(Recordset& rs, int64_t& k);
    // Keeps the CSV form of the record's dates and bits, which the grid shows for people.
    void KeepMachineTexts(const Recordset& rs, int64_t row);
    // Shows the position, gauge and time, and lets the event loop run when its slice is due.
    void YieldToEvents(bool force);
    void FlushProgress();
    void RefreshGrid();
    void ReleaseRecordset(RecordsetPtr rs);

    ServerEntry server_;
    std::string extTableName_;
    std::string pureTableName_;
    std::string dbName_;
    int32_t objId_ = 0;
    int32_t recordCount_ = 0;
    QElapsedTimer started_;
    QElapsedTimer slice_;
    int yieldIntervalMs_ = 20;
    int64_t curRec_ = 0;
    int64_t pendingTopRow_ = 0;
    QElapsedTimer gridRefreshed_;
    std::thread releaser_;
    bool loading_ = false;
    bool exporting_ = false;
    bool exportStop_ = false;
    // One bit per field cell of the grid: was it NULL (the grid shows "Null" either way).
    std::vector<bool> nulls_;
    int32_t fieldCols_ = 0;
    // The machine form of the date and bit cells (ISO 8601 dates, 1 and 0) for the CSV export,
    // by grid row and field (0-based); rows without such cells are not written.
    DataGridStore machine_;
    std::vector<std::string> machineRow_;
    // When the rows were read, for the HTML export's heading.
    std::time_t loadedAt_ = 0;
    bool exitRequested_ = false;
    bool stopRequested_ = false;
    bool activated_ = false;
    bool activationScheduled_ = false;
    bool unloaded_ = false;
    bool tagOff_ = false;
    Qt::WindowStates lastState_ = Qt::WindowNoState;

    struct Baseline {
        QSize window;
        QSize grid;
        int exportLeft = 0;
        int exitLeft = 0;
    } baseline_;

    DataGrid* grid_;
    Gauge* prbProgress_;
    QLabel* lblTableName_;
    QLabel* lblStats_;
    QLabel* lblCur_;
    QLabel* lblCurRec_;
    QLabel* lblTime_;
    QPushButton* cmdExit_;
    QPushButton* cmdStop_;
    QPushButton* cmdExport_;
};

// 1 while a data view window is loaded, 0 otherwise.
int32_t DataViewLoaded();
// The loaded data view window; nullptr when there is none.
frmDataView* CurrentDataView();

} // namespace orv
