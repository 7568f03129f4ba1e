#include "ui/main/frm_save_comparison.h"

#include "core/file_io.h"
#include "util/prompter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <optional>

namespace orv {

namespace {

QString Q(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}
std::string S(const QString& s) {
    return s.toStdString();
}

constexpr const char* kTitle = "Save Comparison";

SaveSettingsAsker& CurrentAsker() {
    static SaveSettingsAsker asker;
    return asker;
}

} // namespace

std::string ProposedProcessName(const ComparisonDescription& d) {
    return ComparisonKindText(d) + ": " + d.DbName[0] + " - " + d.DbName[1];
}

frmSaveComparison::frmSaveComparison(const ComparisonDescription& proposal, QWidget* parent)
    : QDialog(parent), description_(proposal) {
    setObjectName("frmSaveComparison");
    setWindowTitle(kTitle);
    setModal(true);

    txtName_ = new QLineEdit(
        Q(proposal.Name.empty() ? ProposedProcessName(proposal) : proposal.Name), this);
    txtName_->setObjectName("txtName");
    txtName_->setToolTip("The name the list of saved processes shows");
    txtExportFile_ = new QLineEdit(Q(proposal.SavedFullExportFilePath), this);
    txtExportFile_->setObjectName("txtExportFile");
    txtExportFile_->setToolTip("The file each run writes its report to; empty for none");
    cmdBrowse_ = new QPushButton("&Browse...", this);
    cmdBrowse_->setObjectName("cmdBrowse");
    cmbExportType_ = new QComboBox(this);
    cmbExportType_->setObjectName("cmbExportType");
    cmbExportType_->addItem("Hyper Text Markup Language (HTML) file", kExportHtml);
    cmbExportType_->addItem("Excel - Comma Separated Values (CSV) file", kExportCsv);
    const int32_t type = proposal.ExportType != 0 ? proposal.ExportType
                                                  : ExportTypeOf(proposal.SavedFullExportFilePath);
    cmbExportType_->setCurrentIndex(type == kExportCsv ? 1 : 0);
    chkPrint_ = new QCheckBox("&Print the report after each run", this);
    chkPrint_->setObjectName("chkPrint");
    chkPrint_->setChecked(proposal.Print);

    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(txtExportFile_, 1);
    fileRow->addWidget(cmdBrowse_);
    auto* form = new QFormLayout;
    form->addRow("&Name:", txtName_);
    // A row holding a layout gets no buddy of its own, so its label is made here.
    auto* fileLabel = new QLabel("&Export file:", this);
    fileLabel->setBuddy(txtExportFile_);
    form->addRow(fileLabel, fileRow);
    form->addRow("Export &type:", cmbExportType_);
    form->addRow("", chkPrint_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    resize(560, sizeHint().height());

    connect(cmdBrowse_, &QPushButton::clicked, this, &frmSaveComparison::Browse);
    connect(txtExportFile_, &QLineEdit::textEdited, this, &frmSaveComparison::ExportPathEdited);
    connect(buttons, &QDialogButtonBox::accepted, this, &frmSaveComparison::Confirm);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void frmSaveComparison::ExportPathEdited() {
    // The file's extension chooses the type when it names one.
    const int32_t type = ExportTypeOf(S(txtExportFile_->text()));
    if (type != 0)
        cmbExportType_->setCurrentIndex(type == kExportCsv ? 1 : 0);
}

void frmSaveComparison::Browse() {
    FileDialogRequest request;
    request.save = true;
    request.title = "Specify Export File";
    request.filter = "HTML files (*.html)|*.html|CSV files (*.csv)|*.csv";
    const std::string current = S(txtExportFile_->text());
    request.proposedPath = current.empty() ? "Comparison.html" : current;
    request.flags = 2054; // overwrite prompt, no read-only box, the path must exist
    const std::optional<std::string> path = CurrentPrompter().FileDialog(request);
    if (!path)
        return;
    txtExportFile_->setText(Q(*path));
    ExportPathEdited();
}

ComparisonDescription frmSaveComparison::Result() const {
    ComparisonDescription d = description_;
    d.Name = S(txtName_->text().trimmed());
    d.SavedFullExportFilePath = S(txtExportFile_->text().trimmed());
    d.ExportType = d.SavedFullExportFilePath.empty() ? 0 : cmbExportType_->currentData().toInt();
    d.Print = chkPrint_->isChecked();
    return d;
}

bool frmSaveComparison::Confirm() {
    const ComparisonDescription d = Result();
    const std::string& path = d.SavedFullExportFilePath;
    if (!path.empty()) {
        // A relative path would depend on the folder the replay happens to start in.
        if (path[0] != '/') {
            CurrentPrompter().MessageBox(MsgIcon::Warning, kTitle,
                                         "The export file must be given with its whole path "
                                         "(starting with /).");
            return false;
        }
        const std::string folder = FolderOf(path);
        if (!QFileInfo(Q(folder)).isDir()) {
            CurrentPrompter().MessageBox(MsgIcon::Warning, kTitle,
                                         "The folder " + folder +
                                             " does not exist. Please choose an existing folder "
                                             "for the export file.");
            return false;
        }
    }
    accept();
    return true;
}

SaveSettingsAsker SetSaveSettingsAsker(SaveSettingsAsker asker) {
    SaveSettingsAsker previous = std::move(CurrentAsker());
    CurrentAsker() = std::move(asker);
    return previous;
}

bool AskSaveSettings(QWidget* owner, ComparisonDescription& d) {
    if (CurrentAsker())
        return CurrentAsker()(owner, d);
    frmSaveComparison dialog(d, owner);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    d = dialog.Result();
    return true;
}

} // namespace orv
