#include "ui/main/frm_save_comparison.h"

#include "core/file_io.h"
#include "dbcompare/object_filter.h"
#include "ui/widgets/qt_text.h"
#include "util/prompter.h"
#include "util/text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <optional>

namespace orv {

namespace {

std::string S(const QString& s) {
    return s.toStdString();
}

constexpr const char* kTitle = "Save Comparison";
constexpr const char* kEditTitle = "Edit Comparison Process";

// One pattern a line, blank lines dropped.
std::vector<std::string> Patterns(const QPlainTextEdit* edit) {
    std::vector<std::string> patterns;
    for (const std::string& line : Split(S(edit->toPlainText()), "\n"))
        if (!Trim(line).empty())
            patterns.push_back(Trim(line));
    return patterns;
}

QString PatternText(const std::vector<std::string>& patterns) {
    std::string text;
    for (const std::string& p : patterns)
        text += (text.empty() ? "" : "\n") + p;
    return Q(text);
}

SaveSettingsAsker& CurrentAsker() {
    static SaveSettingsAsker asker;
    return asker;
}

} // namespace

std::string ProposedProcessName(const ComparisonDescription& d) {
    return ComparisonKindText(d) + ": " + d.DbName[0] + " - " + d.DbName[1];
}

frmSaveComparison::frmSaveComparison(const ComparisonDescription& proposal, QWidget* parent,
                                     bool editing)
    : QDialog(parent), description_(proposal) {
    setObjectName("frmSaveComparison");
    setWindowTitle(editing ? kEditTitle : kTitle);
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
    const char* patternTip = "One pattern a line: [TYPE:][schema.]name with * and ?, letter "
                             "case ignored (e.g. procedures:sales.usp_*)";
    txtInclude_ = new QPlainTextEdit(PatternText(proposal.IncludePatterns), this);
    txtInclude_->setObjectName("txtInclude");
    txtInclude_->setToolTip(QString("Compare only these objects; empty for all. ") + patternTip);
    txtInclude_->setTabChangesFocus(true);
    txtExclude_ = new QPlainTextEdit(PatternText(proposal.ExcludePatterns), this);
    txtExclude_->setObjectName("txtExclude");
    txtExclude_->setToolTip(QString("Leave these objects out (wins over Include). ") + patternTip);
    txtExclude_->setTabChangesFocus(true);
    for (QPlainTextEdit* edit : {txtInclude_, txtExclude_})
        edit->setFixedHeight(edit->fontMetrics().lineSpacing() * 4 + 12);
    cmbNotComparable_ = new QComboBox(this);
    cmbNotComparable_->setObjectName("cmbNotComparable");
    cmbNotComparable_->addItem("Make the run fail (exit status 2)");
    cmbNotComparable_->addItem("Only report them");
    cmbNotComparable_->setCurrentIndex(proposal.ReportNotComparable ? 1 : 0);
    cmbNotComparable_->setToolTip("What an object that cannot be compared (e.g. encrypted) "
                                  "does to an unattended run's status");
    // One pair of objects is compared whatever the patterns say.
    const bool singlePair =
        proposal.CompType == kCompTypeStructure && proposal.CompSubType == kCompSubTypeSinglePair;
    txtInclude_->setEnabled(!singlePair);
    txtExclude_->setEnabled(!singlePair);

    chkDeploy_ = new QCheckBox("&Deploy after comparing: write the deployment script to", this);
    chkDeploy_->setObjectName("chkDeploy");
    chkDeploy_->setChecked(proposal.Deploy);
    txtDeployScript_ = new QLineEdit(Q(proposal.DeployScriptPath), this);
    txtDeployScript_->setObjectName("txtDeployScript");
    txtDeployScript_->setToolTip("The .sql file each run writes the deployment script of the "
                                 "differing objects to (steps that lose data left out)");
    chkDeployApply_ = new QCheckBox("&Run it on the target database named here:", this);
    chkDeployApply_->setObjectName("chkDeployApply");
    chkDeployApply_->setChecked(proposal.DeployApply);
    txtDeployTarget_ = new QLineEdit(Q(proposal.DeployTarget), this);
    txtDeployTarget_->setObjectName("txtDeployTarget");
    txtDeployTarget_->setToolTip("Type the target database's name again: an unattended run "
                                 "changes that database only when it is named here");
    // Deployments are made from whole-database comparisons only.
    const bool canDeploy =
        proposal.CompType == kCompTypeStructure && proposal.CompSubType != kCompSubTypeSinglePair;
    auto updateDeploy = [this, canDeploy] {
        chkDeploy_->setEnabled(canDeploy);
        txtDeployScript_->setEnabled(canDeploy && chkDeploy_->isChecked());
        chkDeployApply_->setEnabled(canDeploy && chkDeploy_->isChecked());
        txtDeployTarget_->setEnabled(canDeploy && chkDeploy_->isChecked() &&
                                     chkDeployApply_->isChecked());
    };
    connect(chkDeploy_, &QCheckBox::toggled, this, updateDeploy);
    connect(chkDeployApply_, &QCheckBox::toggled, this, updateDeploy);
    updateDeploy();

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
    form->addRow("&Include:", txtInclude_);
    form->addRow("E&xclude:", txtExclude_);
    form->addRow("&Not comparable:", cmbNotComparable_);
    form->addRow("", chkDeploy_);
    form->addRow("Script file:", txtDeployScript_);
    form->addRow("", chkDeployApply_);
    form->addRow("Target database:", txtDeployTarget_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    resize(560, sizeHint().height());

    connect(cmdBrowse_, &QPushButton::clicked, this, &frmSaveComparison::Browse);
    connect(txtExportFile_, &QLineEdit::textEdited, this, &frmSaveComparison::ExportPathEdited);
    connect(cmbExportType_, &QComboBox::currentIndexChanged, this,
            &frmSaveComparison::ExportTypeChosen);
    connect(buttons, &QDialogButtonBox::accepted, this, &frmSaveComparison::Confirm);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void frmSaveComparison::ExportPathEdited() {
    // The file's extension chooses the type when it names one.
    const int32_t type = ExportTypeOf(S(txtExportFile_->text()));
    if (type != 0)
        cmbExportType_->setCurrentIndex(type == kExportCsv ? 1 : 0);
}

void frmSaveComparison::ExportTypeChosen() {
    // The extension follows the type, so the file never holds another kind than its name says.
    const std::string path = S(txtExportFile_->text().trimmed());
    if (path.empty() || ExportTypeOf(path) == 0)
        return;
    const std::string fitting = WithExportExtension(path, cmbExportType_->currentData().toInt());
    if (fitting != path)
        txtExportFile_->setText(Q(fitting));
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
    if (d.ExportType != 0)
        d.SavedFullExportFilePath = WithExportExtension(d.SavedFullExportFilePath, d.ExportType);
    d.IncludePatterns = Patterns(txtInclude_);
    d.ExcludePatterns = Patterns(txtExclude_);
    d.ReportNotComparable = cmbNotComparable_->currentIndex() == 1;
    d.Deploy = chkDeploy_->isEnabled() && chkDeploy_->isChecked();
    d.DeployScriptPath = d.Deploy ? S(txtDeployScript_->text().trimmed()) : std::string();
    d.DeployApply = d.Deploy && chkDeployApply_->isChecked();
    d.DeployTarget = d.DeployApply ? S(txtDeployTarget_->text().trimmed()) : std::string();
    return d;
}

bool frmSaveComparison::Confirm() {
    const ComparisonDescription d = Result();
    const std::string& path = d.SavedFullExportFilePath;
    const std::string title = windowTitle().toStdString();
    ObjectFilter filter;
    filter.Include = d.IncludePatterns;
    filter.Exclude = d.ExcludePatterns;
    std::string error;
    if (!filter.Check(error)) {
        CurrentPrompter().MessageBox(MsgIcon::Warning, title,
                                     "Please correct the pattern: " + error + ".");
        return false;
    }
    if (d.Deploy && (d.DeployScriptPath.empty() || d.DeployScriptPath[0] != '/' ||
                     !QFileInfo(Q(FolderOf(d.DeployScriptPath))).isDir())) {
        CurrentPrompter().MessageBox(MsgIcon::Warning, title,
                                     "The deployment script file must be given with its whole "
                                     "path (starting with /), in an existing folder.");
        return false;
    }
    if (d.DeployApply && d.DeployTarget != d.DbName[1]) {
        CurrentPrompter().MessageBox(MsgIcon::Warning, title,
                                     "To run the deployment on the target, type the target "
                                     "database's name (" +
                                         d.DbName[1] + ") again.");
        return false;
    }
    if (!path.empty()) {
        // A relative path would depend on the folder the replay happens to start in.
        if (path[0] != '/') {
            CurrentPrompter().MessageBox(MsgIcon::Warning, title,
                                         "The export file must be given with its whole path "
                                         "(starting with /).");
            return false;
        }
        const std::string folder = FolderOf(path);
        if (!QFileInfo(Q(folder)).isDir()) {
            CurrentPrompter().MessageBox(MsgIcon::Warning, title,
                                         "The folder " + folder +
                                             " does not exist. Please choose an existing folder "
                                             "for the export file.");
            return false;
        }
    }
    txtExportFile_->setText(Q(path));
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
