// frmDeployScript: the deployment script of the objects ticked in a results window, made again
// at once whenever a tick or an option changes, with its warnings beside it. Save To File, Copy
// and Print as the other script windows; Run on Target runs it on the Target after a
// confirmation naming the server and database, with progress and Stop (Stop rolls back), and
// then compares the included objects again. Before it runs, it reads the Target again and
// refuses when what the script touches changed since the comparison, offering to compare again.
#pragma once

#include "deploy/deploy_run.h"
#include "deploy/deploy_session.h"

#include <QDialog>

#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace orv {

class QtTextView;

class frmDeployScript : public QDialog {
    Q_OBJECT
public:
    // `included` gives the ticked objects whenever the script is made; `columnOrderMatters`
    // opens the rebuild option (the comparison counted column order).
    frmDeployScript(std::shared_ptr<const DeploySession> session,
                    std::function<std::vector<DeployObject>()> included, bool columnOrderMatters,
                    QWidget* parent = nullptr);
    ~frmDeployScript() override;

    // Makes the script again from the current ticks and options.
    void Regenerate();
    // `renames` gives the column renames confirmed in the results window whenever the script
    // is made; makes it again now.
    void SetColumnRenames(std::function<std::vector<ColumnRename>()> renames);
    const DeployScript& Script() const { return script_; }

    bool SaveToFile();
    void CopyToClipboard();
    void PrintNow();
    // Asks, checks the Target is still as compared, runs the script on it and compares again;
    // false when it was not run, or failed, or was stopped (the message has been shown).
    bool RunOnTarget();
    // What the last check of the Target found (nothing checked yet: Completed, no changes).
    const TargetCheck& LastCheck() const { return lastCheck_; }

    // Called after a run that completed, with the comparison made again and its verdict
    // ("Target now matches Source: 12 of 12 objects").
    std::function<void(const DeployVerification&, const std::string& text)> onVerified;
    // Called when a run was refused because the Target changed and the user chose to compare
    // again.
    std::function<void()> onCompareAgain;
    // The clock the script's header takes its time from (tests fix it).
    std::function<std::time_t()> clock = [] { return std::time(nullptr); };

    // Controls, for tests.
    QPlainTextEdit* ScriptView() const { return txtScript_; }
    QListWidget* WarningList() const { return lstWarnings_; }
    QCheckBox* AllowDataLoss() const { return chkAllowDataLoss_; }
    QCheckBox* RebuildColumnOrder() const { return chkRebuildColumnOrder_; }
    QPushButton* RunButton() const { return cmdRunOnTarget_; }
    QLabel* StepsLabel() const { return lblSteps_; }
    const DeployRunResult& LastRun() const { return lastRun_; }

private:
    // Reads the Target again before a run; false (told, or stopped) when the run must not go on.
    bool TargetStillAsCompared(const std::vector<DeployObject>& included);

    std::shared_ptr<const DeploySession> session_;
    std::function<std::vector<DeployObject>()> included_;
    std::function<std::vector<ColumnRename>()> renames_;
    DeployScript script_;
    DeployRunResult lastRun_;
    TargetCheck lastCheck_;
    std::vector<DeployObject> scriptObjects_; // what the script shown was made from

    QLabel* lblSteps_;
    QPlainTextEdit* txtScript_;
    QLabel* lblWarnings_;
    QListWidget* lstWarnings_;
    QCheckBox* chkAllowDataLoss_;
    QCheckBox* chkRebuildColumnOrder_;
    QtTextView* txtPrint_;
    QPushButton* cmdSave_;
    QPushButton* cmdCopy_;
    QPushButton* cmdPrint_;
    QPushButton* cmdRunOnTarget_;
    QPushButton* cmdExit_;
};

} // namespace orv
