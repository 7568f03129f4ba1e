// The Save Comparison dialog: the name of the process, what a replay does with its report
// (the export file and its type, printing), the objects it keeps or leaves out and what an
// object that cannot be compared does to its status; asked before the process is stored, and
// again (as Edit Comparison Process) when a stored one is edited.
#pragma once

#include "core/saved_comparison.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace orv {

class frmSaveComparison : public QDialog {
    Q_OBJECT
public:
    // `editing`: the dialog edits a stored process (its title says so).
    explicit frmSaveComparison(const ComparisonDescription& proposal, QWidget* parent = nullptr,
                               bool editing = false);

    // The description with the name and export settings as the dialog shows them.
    ComparisonDescription Result() const;
    // OK: checks the export settings (a whole path, an existing folder) and the name patterns
    // and closes; a fault is shown and the dialog stays open. The file's extension follows the
    // export type: a name ending in the other type's extension gets this type's, a name
    // without either gets it appended. True when it closed.
    bool Confirm();
    void Browse();

    QLineEdit* NameEdit() const { return txtName_; }
    QLineEdit* ExportEdit() const { return txtExportFile_; }
    QComboBox* ExportTypeSelector() const { return cmbExportType_; }
    QCheckBox* PrintCheck() const { return chkPrint_; }
    QPlainTextEdit* IncludeEdit() const { return txtInclude_; }
    QPlainTextEdit* ExcludeEdit() const { return txtExclude_; }
    QComboBox* NotComparableSelector() const { return cmbNotComparable_; }
    QCheckBox* DeployCheck() const { return chkDeploy_; }
    QLineEdit* DeployScriptEdit() const { return txtDeployScript_; }
    QCheckBox* DeployApplyCheck() const { return chkDeployApply_; }
    QLineEdit* DeployTargetEdit() const { return txtDeployTarget_; }

private:
    void ExportPathEdited();
    void ExportTypeChosen();

    ComparisonDescription description_;
    QLineEdit* txtName_;
    QLineEdit* txtExportFile_;
    QPushButton* cmdBrowse_;
    QComboBox* cmbExportType_;
    QCheckBox* chkPrint_;
    QPlainTextEdit* txtInclude_;
    QPlainTextEdit* txtExclude_;
    QComboBox* cmbNotComparable_;
    // A whole-database process may deploy after comparing: the script's file, and whether it
    // runs on the target, which is then named again.
    QCheckBox* chkDeploy_;
    QLineEdit* txtDeployScript_;
    QCheckBox* chkDeployApply_;
    QLineEdit* txtDeployTarget_;
};

// Asks for the name and export settings of a process about to be saved; false when the user
// cancels. The default opens frmSaveComparison; tests put their own in place.
using SaveSettingsAsker = std::function<bool(QWidget* owner, ComparisonDescription& d)>;
// Returns the asker that was in place.
SaveSettingsAsker SetSaveSettingsAsker(SaveSettingsAsker asker);
bool AskSaveSettings(QWidget* owner, ComparisonDescription& d);

// The name proposed for a new process: what it compares and between which databases.
std::string ProposedProcessName(const ComparisonDescription& d);

} // namespace orv
