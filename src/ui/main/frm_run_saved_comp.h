// The Run Saved Comparison Process window: the saved processes with what each compares, where
// it exports, and the commands to run, edit, rename and delete one.
#pragma once

#include "core/saved_comparison.h"

#include <QDialog>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QPushButton;

namespace orv {

class QtListControl;

// The help topic of this window.
constexpr int kHelpRunSavedComp = 500;

class frmRunSavedComp : public QDialog {
    Q_OBJECT
public:
    explicit frmRunSavedComp(QWidget* parent = nullptr);

    // Shows the window modally; the number of the process to run, or 0 when the user closed
    // the window without running one.
    int32_t ShowUp();

    // Rereads the comparisons file; the row of `select` (a number) becomes current.
    void LoadProcesses(int32_t select = 0);
    // The number of the current row; 0 when there is none.
    int32_t CurrentNumber() const;
    bool SelectNumber(int32_t number);

    // Run: closes the window with the current process chosen (a refused one is explained
    // instead). Rename asks for the new name (through `askName`); Delete asks first.
    void RunCurrent();
    void RenameCurrent();
    void DeleteCurrent();
    // Edit: the process's name, export file and type, print setting, name patterns and
    // not-comparable setting in the Edit Comparison Process dialog (through `askEdit`),
    // stored under the same number.
    void EditCurrent();

    // Lets the user change a stored process; false when cancelled. The default opens
    // frmSaveComparison as Edit Comparison Process; tests may put their own here.
    std::function<bool(QWidget* owner, ComparisonDescription& d)> askEdit;

    // Asks for a new name given the old one; nothing when cancelled. Tests put their own here.
    std::function<std::optional<std::string>(QWidget* owner, const std::string& current)> askName;

    QtListControl* List() const { return pvlProcesses_; }
    int32_t Chosen() const { return chosen_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void UpdateButtons();

    QtListControl* pvlProcesses_;
    QLabel* lblFault_;
    QPushButton* cmdRun_;
    QPushButton* cmdEdit_;
    QPushButton* cmdRename_;
    QPushButton* cmdDelete_;
    QPushButton* cmdHelp_;
    QPushButton* cmdClose_;
    std::vector<SavedProcessEntry> entries_;
    int32_t chosen_ = 0;
};

} // namespace orv
