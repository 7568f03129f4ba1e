// Loading the table into the grid, and the other ways records reach it.
#include "ui/tools/frm_data_view.h"

#include "catalog/record_counts.h"
#include "catalog/table_script.h"
#include "core/program_info.h"
#include "servers/exec_ado_cmd.h"
#include "servers/machine_text.h"
#include "ui/widgets/data_grid.h"
#include "ui/widgets/gauge.h"
#include "ui/widgets/qt_text.h"
#include "util/prompter.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTime>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <string_view>
#include <system_error>
#include <vector>

namespace orv {

namespace {

constexpr int32_t kRowColWidth = 540;
constexpr int32_t kDataColWidth = 1440;
// Selection colour of the grid while it shows table data (0x00BBGGRR: aqua).
constexpr int32_t kGridHighlight = 16776960;
constexpr uint32_t kTextRed = 255;
constexpr uint32_t kTextBlack = 0;
constexpr qint64 kGridRefreshMs = 100;

// The texts of a record's fields, reusing one buffer so a row costs no allocations once warm.
class RowTexts {
public:
    void Fill(const Recordset& rs, std::string_view rowNumber) {
        const int n = rs.FieldCount();
        owned_.resize(static_cast<size_t>(n));
        views_.resize(static_cast<size_t>(n) + 1);
        views_[0] = rowNumber;
        for (int i = 0; i < n; ++i)
            views_[static_cast<size_t>(i) + 1] =
                FieldText(rs.Value(i), owned_[static_cast<size_t>(i)]);
    }
    const std::string_view* Data() const { return views_.data(); }
    int32_t Count() const { return static_cast<int32_t>(views_.size()); }

    // "Null" for a null, else the value's text form; texts are used in place.
    static std::string_view FieldText(const FieldValue& v, std::string& buffer) {
        if (v.IsNull())
            return "Null";
        if (v.kind == FieldValue::Kind::Text)
            return v.text;
        buffer = v.Text();
        return buffer;
    }

private:
    std::vector<std::string> owned_;
    std::vector<std::string_view> views_;
};

std::string ElapsedText(qint64 ms) {
    return QTime(0, 0).addMSecs(static_cast<int>(ms % 86400000)).toString("hh:mm:ss").toStdString();
}

} // namespace

void frmDataView::LoadData() {
    Prompter& prompter = CurrentPrompter();
    int64_t k = 0;
    RecordsetPtr rs;
    try {
        prompter.SetMousePointer(kPointerHourglass);
        started_.start();
        slice_.start();
        loading_ = true;
        ShowHideControls(1);

        std::vector<ColumnInfo> columns;
        std::string text;
        int32_t lastIndex = 0;
        int32_t ignoredCount = 0;
        if (GetTableStructure(server_, dbName_, pureTableName_, text, columns, lastIndex, false,
                              ignoredCount, 1, objId_, "")) {
            PrepareGrid(static_cast<int32_t>(columns.size()) + 1);
            for (size_t i = 0; i < columns.size(); ++i)
                grid_->SetTextMatrix(0, static_cast<int32_t>(i) + 1, columns[i].ColumnName);

            int32_t errNumber = 0;
            std::string errDescription;
            ExecAdoCmd(server_, kAdCmdText, "SELECT * FROM " + extTableName_, rs, dbName_,
                       errNumber, errDescription);
            // The grid keeps its own copy of each row: the record set need not keep them too.
            if (rs)
                rs->SetForwardOnly(true);
            YieldToEvents(true);
            if (!exitRequested_ && !stopRequested_ && rs && !(rs->IsBOF() && rs->IsEOF()))
                RunLoadLoop(*rs, k);
        }
    } catch (const GridError& e) {
        if (e.Number() == kGridErrOutOfMemory)
            prompter.MessageBox(MsgIcon::Information, kExecutableName,
                                "Only first " + FormatThousands(std::max<int64_t>(k - 1, 0)) +
                                    " records can be displayed.");
        else
            prompter.MessageBox(MsgIcon::Error, kExecutableName,
                                "Error in Sub frmDataView.LoadData, error nr " +
                                    std::to_string(e.Number()) + " (" + e.what() + ").");
    } catch (const RecordsetError& e) {
        // The rows stopped coming part-way: the grid holds only those before the failure.
        prompter.MessageBox(MsgIcon::Error, kExecutableName,
                            "Error in Sub frmDataView.LoadData, error nr " +
                                std::to_string(e.Number()) + " (" + e.what() + ").");
    } catch (const std::exception& e) {
        prompter.MessageBox(MsgIcon::Error, kExecutableName,
                            std::string("Error in Sub frmDataView.LoadData, error nr 5 (") +
                                e.what() + ").");
    }

    ReleaseRecordset(std::move(rs));
    FlushProgress();
    pendingTopRow_ = 0;
    loading_ = false;
    prompter.SetMousePointer(kPointerDefault);
    if (exitRequested_) {
        exitRequested_ = false;
        Unload();
    } else if (stopRequested_) {
        cmdStop_->hide();
        cmdExport_->show();
    } else {
        ShowHideControls(2);
    }
    if (k > 0)
        grid_->SetTopRow(1);
    grid_->SetRedraw(true);
}

// The record set is closed here, which gives its connection back; what is left is the memory
// of the rows it read, up to millions of small values. Freeing those takes long enough to be
// felt, so it happens beside the event loop: nothing else can reach the closed set.
void frmDataView::ReleaseRecordset(RecordsetPtr rs) {
    if (!rs)
        return;
    rs->Close();
    if (releaser_.joinable())
        releaser_.join();
    try {
        releaser_ = std::thread([owned = std::move(rs)]() mutable { owned.reset(); });
    } catch (const std::system_error&) {
        // No thread to be had: free it here, late rather than never.
    }
}

void frmDataView::PrepareGrid(int32_t columnCount) {
    grid_->SetRedraw(true);
    grid_->SetCols(columnCount);
    grid_->SetRows(1);
    grid_->SetTextMatrix(0, 0, "Row");
    grid_->SetColWidth(0, kRowColWidth);
    for (int32_t c = 1; c < columnCount; ++c)
        grid_->SetColWidth(c, kDataColWidth);
    QPalette palette = grid_->palette();
    palette.setColor(QPalette::Highlight, ColorFromColorRef(kGridHighlight));
    palette.setColor(QPalette::HighlightedText, Qt::black);
    grid_->setPalette(palette);
    grid_->setAlternatingRowColors(false);
}

void frmDataView::RunLoadLoop(Recordset& rs, int64_t& k) {
    grid_->SetRows(int64_t{recordCount_} + 1);
    fieldCols_ = rs.FieldCount();
    nulls_.assign((static_cast<size_t>(recordCount_) + 1) * static_cast<size_t>(fieldCols_), false);
    machine_.SetRows(0);
    machine_.SetCols(fieldCols_);
    loadedAt_ = std::time(nullptr);
    grid_->show();
    grid_->Refresh();
    if (cmdExit_->isVisible())
        cmdExit_->setFocus();
    else if (cmdStop_->isVisible())
        cmdStop_->setFocus();

    RowTexts texts;
    std::string number;
    for (k = 1; k <= recordCount_; ++k) {
        if (k == 1)
            rs.MoveFirst();
        else
            rs.MoveNext();
        if (rs.IsEOF())
            break;
        curRec_ = k;
        YieldToEvents(false);
        if (exitRequested_ || stopRequested_)
            break;
        number = std::to_string(k);
        texts.Fill(rs, number);
        grid_->SetRowTexts(k, texts.Data(), texts.Count());
        for (int32_t i = 0; i < fieldCols_ && i < rs.FieldCount(); ++i)
            if (rs.Value(i).IsNull())
                nulls_[static_cast<size_t>(k) * fieldCols_ + i] = true;
        KeepMachineTexts(rs, k);
        if (k % 40 == 0) {
            pendingTopRow_ = k == 40 ? 40 : k - 40;
            if (yieldIntervalMs_ == 0)
                RefreshGrid();
        }
    }
}

void frmDataView::KeepMachineTexts(const Recordset& rs, int64_t row) {
    const int32_t n = std::min(fieldCols_, static_cast<int32_t>(rs.FieldCount()));
    machineRow_.resize(static_cast<size_t>(std::max(n, 0)));
    bool any = false;
    for (int32_t i = 0; i < n; ++i) {
        const FieldValue& v = rs.Value(i);
        const bool differs =
            v.kind == FieldValue::Kind::DateTime || v.kind == FieldValue::Kind::Bool;
        machineRow_[static_cast<size_t>(i)] = differs ? MachineText(v) : std::string();
        any = any || differs;
    }
    if (!any)
        return;
    std::vector<std::string_view> cells(machineRow_.begin(), machineRow_.end());
    // Short of memory the rows stop here, as the grid's own rows do.
    if ((machine_.Rows() <= row && !machine_.SetRows(int64_t{recordCount_} + 1)) ||
        !machine_.SetRow(row, cells.data(), n))
        throw GridError(kGridErrOutOfMemory, "Out of memory");
}

// The 40-row refresh: the new top row, one repaint, and repainting off again until the next.
void frmDataView::RefreshGrid() {
    if (pendingTopRow_ <= 0)
        return;
    grid_->SetTopRow(pendingTopRow_);
    grid_->SetRedraw(true);
    grid_->Refresh();
    grid_->SetRedraw(false);
    pendingTopRow_ = 0;
    gridRefreshed_.restart();
}

void frmDataView::FlushProgress() {
    if (curRec_ <= 0 || recordCount_ <= 0)
        return;
    // Refreshes due since the last slice are one repaint, and the grid repaints at most ten
    // times a second: painting a table is the dearest thing a slice can do, and a person
    // cannot follow rows scrolling by faster anyway.
    if (!gridRefreshed_.isValid() || gridRefreshed_.elapsed() >= kGridRefreshMs)
        RefreshGrid();
    lblCurRec_->setText(Q(FormatThousands(curRec_)));
    prbProgress_->SetValue(
        static_cast<int32_t>(std::lround(static_cast<double>(curRec_) / recordCount_ * 100.0)));
    lblTime_->setText(Q(ElapsedText(started_.elapsed())));
}

void frmDataView::YieldToEvents(bool force) {
    if (!force && slice_.elapsed() < yieldIntervalMs_)
        return;
    FlushProgress();
    QCoreApplication::processEvents();
    slice_.restart();
}

void frmDataView::AddRecordToGrid(const Recordset& pRs, int32_t /*plngColor*/, int64_t plngRowNum) {
    RowTexts texts;
    const std::string number = std::to_string(plngRowNum);
    texts.Fill(pRs, number);
    grid_->SetRowTexts(plngRowNum, texts.Data(), texts.Count());
}

void frmDataView::AddRecordToGrid_MarkDiff(const Recordset& prs1, const Recordset& prs2,
                                           int32_t plngColor1, int32_t plngColor2,
                                           int64_t plngRowNum) {
    const int64_t r = grid_->AddRows(2);
    const std::string number = std::to_string(plngRowNum);
    grid_->SetTextMatrix(r, 0, number);
    grid_->SetTextMatrix(r + 1, 0, number);
    std::string buffer1;
    std::string buffer2;
    for (int i = 0; i < prs1.FieldCount(); ++i) {
        // Both sides in their plain text form: a null is empty here, so it differs from "Null".
        const std::string text1 = prs1.Value(i).Text();
        const std::string text2 = i < prs2.FieldCount() ? prs2.Value(i).Text() : std::string();
        grid_->SetTextMatrix(r, i + 1, text1);
        grid_->SetTextMatrix(r + 1, i + 1, text2);
        grid_->SetCellBackColor(r, i + 1, static_cast<uint32_t>(plngColor1));
        grid_->SetCellBackColor(r + 1, i + 1, static_cast<uint32_t>(plngColor2));
        const uint32_t fore = text1 != text2 ? kTextRed : kTextBlack;
        grid_->SetCellForeColor(r, i + 1, fore);
        grid_->SetCellForeColor(r + 1, i + 1, fore);
    }
}

void frmDataView::AddMultipleRecordsToGrid(Recordset& pRs, int32_t plngColor, int64_t plngStartRec,
                                           int64_t plnEndRec) {
    int64_t row = grid_->AddRows(plnEndRec - plngStartRec + 1);
    RowTexts texts;
    std::string number;
    for (int64_t j = plngStartRec; j <= plnEndRec; ++j, ++row) {
        pRs.MoveNext();
        if (pRs.IsEOF()) {
            CurrentPrompter().MessageBox(MsgIcon::None, kExecutableName,
                                         "Debug - wrong number of records in "
                                         "AddMultipleRecordsToGrid.");
            return;
        }
        number = std::to_string(j);
        texts.Fill(pRs, number);
        grid_->SetRowTexts(row, texts.Data(), texts.Count());
        for (int32_t c = 1; c < texts.Count(); ++c)
            grid_->SetCellBackColor(row, c, static_cast<uint32_t>(plngColor));
    }
}

} // namespace orv
