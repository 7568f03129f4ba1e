// Export of the data view: the rows the grid shows, to a CSV file or an HTML table, streamed
// from the grid row by row (no second copy of the rows), with the gauge and Stop.
#include "ui/tools/frm_data_view.h"

#include "catalog/record_counts.h"
#include "catalog/table_script.h"
#include "ui/widgets/data_grid.h"
#include "ui/widgets/gauge.h"
#include "ui/widgets/qt_text.h"
#include "util/prompter.h"
#include "util/text.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <cmath>

namespace orv {

namespace {

constexpr int kYieldMs = 50;

// The export's choices: format and what a NULL becomes.
class ExportOptionsDialog : public QDialog {
public:
    explicit ExportOptionsDialog(QWidget* parent) : QDialog(parent) {
        setObjectName("frmExportOptions");
        setWindowTitle("Export Data");
        auto* layout = new QVBoxLayout(this);
        optCsv_ = new QRadioButton("&CSV file (comma-separated, UTF-8, header row)", this);
        optCsv_->setObjectName("optCsv");
        optHtml_ = new QRadioButton("&HTML table", this);
        optHtml_->setObjectName("optHtml");
        optCsv_->setChecked(true);
        chkNull_ = new QCheckBox("Write &NULL values as:", this);
        chkNull_->setObjectName("chkNullText");
        txtNull_ = new QLineEdit("NULL", this);
        txtNull_->setObjectName("txtNullText");
        txtNull_->setEnabled(false);
        connect(chkNull_, &QCheckBox::toggled, txtNull_, &QLineEdit::setEnabled);
        auto* note = new QLabel("Otherwise a NULL is written as an empty field.", this);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        for (QWidget* w :
             std::initializer_list<QWidget*>{optCsv_, optHtml_, chkNull_, txtNull_, note, buttons})
            layout->addWidget(w);
    }
    TableExportOptions Options() const {
        TableExportOptions o;
        o.Format = optHtml_->isChecked() ? TableExportFormat::Html : TableExportFormat::Csv;
        if (chkNull_->isChecked())
            o.NullText = txtNull_->text().toStdString();
        return o;
    }

private:
    QRadioButton* optCsv_;
    QRadioButton* optHtml_;
    QCheckBox* chkNull_;
    QLineEdit* txtNull_;
};

} // namespace

bool frmDataView::IsNullCell(int64_t row, int32_t col) const {
    if (row < 1 || col < 1 || col > fieldCols_)
        return false;
    const size_t i = static_cast<size_t>(row) * fieldCols_ + static_cast<size_t>(col - 1);
    return i < nulls_.size() && nulls_[i];
}

bool frmDataView::Export() {
    if (loading_ || exporting_)
        return false;
    ExportOptionsDialog choose(this);
    if (choose.exec() != QDialog::Accepted)
        return false;
    TableExportOptions options = choose.Options();
    const bool html = options.Format == TableExportFormat::Html;
    FileDialogRequest request;
    request.save = true;
    request.title = "Export Data";
    request.filter = html ? "HTML files (*.html)|*.html" : "CSV files (*.csv)|*.csv";
    request.proposedPath = pureTableName_ + (html ? ".html" : ".csv");
    request.flags = 2054;
    const std::optional<std::string> path = CurrentPrompter().FileDialog(request);
    if (!path || path->empty())
        return false;
    return ExportTo(*path, options);
}

bool frmDataView::ExportTo(const std::string& path, const TableExportOptions& given) {
    if (loading_ || exporting_)
        return false;
    Prompter& prompter = CurrentPrompter();
    TableExportOptions options = given;
    if (options.Title.empty())
        options.Title = GetObjectFullName(server_, dbName_, pureTableName_, true);
    if (options.When == 0)
        options.When = loadedAt_;
    const int32_t cols = grid_->Cols();
    std::vector<std::string> headers;
    for (int32_t c = 1; c < cols; ++c)
        headers.push_back(grid_->TextMatrix(0, c));
    TableExportWriter writer;
    std::string error;
    if (!writer.Open(path, options, headers, error)) {
        prompter.MessageBox(MsgIcon::Warning, "Cannot Export", error);
        return false;
    }

    exporting_ = true;
    exportStop_ = false;
    loading_ = true; // closing the window now asks the export to end first
    ShowHideControls(1);
    lblCur_->setText("Exporting Record:");
    const int64_t last = grid_->Rows() - 1;
    std::vector<std::string_view> cells(static_cast<size_t>(std::max(cols - 1, 0)));
    std::unique_ptr<bool[]> nulls(new bool[cells.size() + 1]);
    QElapsedTimer slice;
    slice.start();
    bool ok = true;
    int64_t written = 0;
    const DataGridStore& store = grid_->Model().Store();
    // A CSV file is read by programs: dates and bits go in their machine form.
    const bool machine = options.Format == TableExportFormat::Csv;
    for (int64_t row = 1; row <= last && ok; ++row) {
        if (!store.RowWritten(row))
            continue; // beyond where loading was stopped
        const bool machineRow = machine && machine_.RowWritten(row);
        for (int32_t c = 1; c < cols; ++c) {
            const std::string_view kept = machineRow ? machine_.Cell(row, c - 1) : "";
            cells[static_cast<size_t>(c - 1)] = kept.empty() ? store.Cell(row, c) : kept;
            nulls[static_cast<size_t>(c - 1)] = IsNullCell(row, c);
        }
        ok = writer.WriteRow(cells.data(), nulls.get(), cells.size());
        ++written;
        if (slice.elapsed() >= kYieldMs) {
            lblCurRec_->setText(Q(FormatThousands(written)));
            prbProgress_->SetValue(
                static_cast<int32_t>(std::lround(static_cast<double>(row) / last * 100.0)));
            QCoreApplication::processEvents();
            slice.restart();
            if (exportStop_ || exitRequested_)
                break;
        }
    }
    const bool stopped = exportStop_ || exitRequested_;
    bool committed = false;
    if (stopped) {
        writer.Discard();
    } else if (!(committed = writer.Commit(error))) {
        prompter.MessageBox(MsgIcon::Warning, "Cannot Export", error);
    }
    exporting_ = false;
    loading_ = false;
    lblCur_->setText("Current Record:");
    ShowHideControls(2);
    if (exitRequested_) {
        exitRequested_ = false;
        Unload();
    }
    return committed;
}

} // namespace orv
