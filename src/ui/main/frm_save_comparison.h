// The Save Comparison dialog: the name of the process and what a replay does with its report
// (the export file and its type, printing), asked before the process is stored.
#pragma once

#include "core/saved_comparison.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace orv {

class frmSaveComparison : public QDialog {
    Q_OBJECT
public:
    explicit frmSaveComparison(const ComparisonDescription& proposal, QWidget* parent = nullptr);

    // The description with the name and export settings as the dialog shows them.
    ComparisonDescription Result() const;
    // OK: checks the export settings (a known type, an existing folder) and closes; a fault is
    // shown and the dialog stays open. True when it closed.
    bool Confirm();
    void Browse();

    QLineEdit* NameEdit() const { return txtName_; }
    QLineEdit* ExportEdit() const { return txtExportFile_; }
    QComboBox* ExportTypeSelector() const { return cmbExportType_; }
    QCheckBox* PrintCheck() const { return chkPrint_; }

private:
    void ExportPathEdited();

    ComparisonDescription description_;
    QLineEdit* txtName_;
    QLineEdit* txtExportFile_;
    QPushButton* cmdBrowse_;
    QComboBox* cmbExportType_;
    QCheckBox* chkPrint_;
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
