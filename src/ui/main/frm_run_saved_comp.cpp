#include "ui/main/frm_run_saved_comp.h"

#include "core/help_topic.h"
#include "core/paths.h"
#include "ui/main/frm_save_comparison.h"
#include "ui/widgets/qt_list_control.h"
#include "ui/widgets/qt_text.h"
#include "util/prompter.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace orv {

namespace {

constexpr const char* kTitle = "Run Saved Comparison Process";

// Columns: number, name, kind, Source server, Source database, Target server, Target
// database, export file.
constexpr struct {
    const char* caption;
    int width;
} kColumns[] = {{"No.", 40},
                {"Name", 150},
                {"Kind", 210},
                {"Source server", 120},
                {"Source database", 140},
                {"Target server", 120},
                {"Target database", 140},
                {"Export file", 260}};

QPushButton* MakeButton(const char* name, const char* text, const char* tip, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setToolTip(tip);
    b->setAutoDefault(false);
    return b;
}

std::string ExportText(const ComparisonDescription& d) {
    std::string text = d.SavedFullExportFilePath;
    if (!text.empty())
        text += d.ExportType == kExportCsv ? " (CSV)" : " (HTML)";
    if (d.Print)
        text += text.empty() ? "print" : ", print";
    return text;
}

} // namespace

frmRunSavedComp::frmRunSavedComp(QWidget* parent) : QDialog(parent) {
    setObjectName("frmRunSavedComp");
    setWindowTitle(kTitle);
    setModal(true);

    pvlProcesses_ = new QtListControl(this);
    pvlProcesses_->setObjectName("pvlProcesses");
    for (const auto& c : kColumns)
        pvlProcesses_->AddColumn(c.caption, c.width);
    pvlProcesses_->setHeaderHidden(false);
    pvlProcesses_->setSelectionMode(QAbstractItemView::SingleSelection);
    pvlProcesses_->SetToolTipText("The saved comparison processes");

    lblFault_ = new QLabel(this);
    lblFault_->setObjectName("lblFault");
    lblFault_->setWordWrap(true);
    lblFault_->setStyleSheet("color: #a00000;");

    cmdRun_ = MakeButton("cmdRun", "&Run", "Run the selected comparison process (Enter)", this);
    cmdEdit_ = MakeButton("cmdEdit", "&Edit...",
                          "Change the selected process's name, export, printing and the "
                          "objects it leaves out",
                          this);
    cmdRename_ =
        MakeButton("cmdRename", "Re&name...", "Give the selected process a new name", this);
    cmdDelete_ = MakeButton("cmdDelete", "&Delete", "Delete the selected process", this);
    cmdHelp_ = MakeButton("cmdHelp", "&Help", "Display Help file (F1)", this);
    cmdClose_ = MakeButton("cmdClose", "&Close", "Close the window (Esc)", this);
    cmdRun_->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdRun_);
    buttons->addWidget(cmdEdit_);
    buttons->addWidget(cmdRename_);
    buttons->addWidget(cmdDelete_);
    buttons->addStretch(1);
    buttons->addWidget(cmdHelp_);
    buttons->addWidget(cmdClose_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pvlProcesses_, 1);
    layout->addWidget(lblFault_);
    layout->addLayout(buttons);
    resize(1140, 380);

    askName = [](QWidget* owner, const std::string& current) -> std::optional<std::string> {
        bool ok = false;
        const QString name = QInputDialog::getText(owner, "Rename Comparison Process",
                                                   "New name:", QLineEdit::Normal, Q(current), &ok);
        if (!ok)
            return std::nullopt;
        return name.toStdString();
    };

    askEdit = [](QWidget* owner, ComparisonDescription& d) {
        frmSaveComparison dialog(d, owner, true);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        d = dialog.Result();
        return true;
    };

    connect(cmdRun_, &QPushButton::clicked, this, &frmRunSavedComp::RunCurrent);
    connect(cmdEdit_, &QPushButton::clicked, this, &frmRunSavedComp::EditCurrent);
    connect(cmdRename_, &QPushButton::clicked, this, &frmRunSavedComp::RenameCurrent);
    connect(cmdDelete_, &QPushButton::clicked, this, &frmRunSavedComp::DeleteCurrent);
    connect(cmdHelp_, &QPushButton::clicked, this, [] { ShowHelpTopic(kHelpRunSavedComp); });
    connect(cmdClose_, &QPushButton::clicked, this, &QDialog::reject);
    connect(pvlProcesses_, &QTreeWidget::currentItemChanged, this, [this] { UpdateButtons(); });
    connect(pvlProcesses_, &QTreeWidget::itemDoubleClicked, this, [this] { RunCurrent(); });

    LoadProcesses();
}

int32_t frmRunSavedComp::ShowUp() {
    chosen_ = 0;
    exec();
    return chosen_;
}

void frmRunSavedComp::LoadProcesses(int32_t select) {
    entries_ = ListComparisonProcesses(Paths().CompsIni);
    pvlProcesses_->Clear();
    int current = entries_.empty() ? -1 : 0;
    for (size_t i = 0; i < entries_.size(); ++i) {
        const SavedProcessEntry& e = entries_[i];
        const ComparisonDescription& d = e.Description;
        const int row = pvlProcesses_->AddItem(std::to_string(e.Number));
        pvlProcesses_->SetCellText(row, 1, ComparisonDisplayName(e.Number, d));
        if (!e.Valid) {
            pvlProcesses_->SetCellText(row, 2, "(cannot be run)");
        } else {
            pvlProcesses_->SetCellText(row, 2, ComparisonKindText(d));
            pvlProcesses_->SetCellText(row, 3, d.ServerName[0]);
            pvlProcesses_->SetCellText(row, 4, d.DbName[0]);
            pvlProcesses_->SetCellText(row, 5, d.ServerName[1]);
            pvlProcesses_->SetCellText(row, 6, d.DbName[1]);
            pvlProcesses_->SetCellText(row, 7, ExportText(d));
        }
        if (e.Number == select)
            current = row;
    }
    if (current >= 0)
        pvlProcesses_->SetCurrentRow(current);
    UpdateButtons();
}

int32_t frmRunSavedComp::CurrentNumber() const {
    const int row = pvlProcesses_->CurrentRow();
    if (row < 0 || static_cast<size_t>(row) >= entries_.size())
        return 0;
    return entries_[static_cast<size_t>(row)].Number;
}

bool frmRunSavedComp::SelectNumber(int32_t number) {
    for (size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].Number == number) {
            pvlProcesses_->SetCurrentRow(static_cast<int>(i));
            UpdateButtons();
            return true;
        }
    return false;
}

void frmRunSavedComp::UpdateButtons() {
    const int row = pvlProcesses_->CurrentRow();
    const bool any = row >= 0 && static_cast<size_t>(row) < entries_.size();
    const bool valid = any && entries_[static_cast<size_t>(row)].Valid;
    cmdRun_->setEnabled(valid);
    cmdEdit_->setEnabled(valid);
    cmdRename_->setEnabled(any);
    cmdDelete_->setEnabled(any);
    lblFault_->setText(any && !valid      ? Q(entries_[static_cast<size_t>(row)].Error)
                       : entries_.empty() ? "There are no saved comparison "
                                            "processes. Save one from a "
                                            "comparison's report or results "
                                            "window."
                                          : "");
}

void frmRunSavedComp::RunCurrent() {
    const int row = pvlProcesses_->CurrentRow();
    if (row < 0 || static_cast<size_t>(row) >= entries_.size())
        return;
    const SavedProcessEntry& e = entries_[static_cast<size_t>(row)];
    if (!e.Valid) {
        CurrentPrompter().MessageBox(MsgIcon::Warning, kTitle, e.Error);
        return;
    }
    chosen_ = e.Number;
    accept();
}

void frmRunSavedComp::RenameCurrent() {
    const int32_t number = CurrentNumber();
    if (number == 0 || !askName)
        return;
    const SavedProcessEntry& e = entries_[static_cast<size_t>(pvlProcesses_->CurrentRow())];
    const std::optional<std::string> name =
        askName(this, ComparisonDisplayName(number, e.Description));
    if (!name)
        return;
    if (!RenameComparisonProcess(Paths().CompsIni, number, *name))
        CurrentPrompter().MessageBox(MsgIcon::Error, kTitle,
                                     "The process could not be renamed in " + Paths().CompsIni +
                                         ".");
    LoadProcesses(number);
}

void frmRunSavedComp::EditCurrent() {
    const int32_t number = CurrentNumber();
    if (number == 0 || !askEdit)
        return;
    const SavedProcessEntry& e = entries_[static_cast<size_t>(pvlProcesses_->CurrentRow())];
    if (!e.Valid) {
        CurrentPrompter().MessageBox(MsgIcon::Warning, kTitle, e.Error);
        return;
    }
    ComparisonDescription d = e.Description;
    if (!askEdit(this, d))
        return;
    if (!UpdateComparisonProcess(Paths().CompsIni, number, d))
        CurrentPrompter().MessageBox(MsgIcon::Error, kTitle,
                                     "The process could not be changed in " + Paths().CompsIni +
                                         ".");
    LoadProcesses(number);
}

void frmRunSavedComp::DeleteCurrent() {
    const int32_t number = CurrentNumber();
    if (number == 0)
        return;
    const SavedProcessEntry& e = entries_[static_cast<size_t>(pvlProcesses_->CurrentRow())];
    if (CurrentPrompter().MessageBox(MsgIcon::Question, kTitle,
                                     "Delete saved comparison process " + std::to_string(number) +
                                         " (" + ComparisonDisplayName(number, e.Description) + ")?",
                                     MsgButtons::YesNo) != MsgAnswer::Yes)
        return;
    if (!DeleteComparisonProcess(Paths().CompsIni, number))
        CurrentPrompter().MessageBox(MsgIcon::Error, kTitle,
                                     "The process could not be deleted from " + Paths().CompsIni +
                                         ".");
    LoadProcesses();
}

void frmRunSavedComp::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        ShowHelpTopic(kHelpRunSavedComp);
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Delete && pvlProcesses_->hasFocus()) {
        DeleteCurrent();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace orv
