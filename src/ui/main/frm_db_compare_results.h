// frmDbCompareResults: the results of a whole-database comparison. A summary per type, the list
// of compared objects (filtered by status, type and name pattern), and below it the two
// definitions of the chosen object side by side, marked as the main window marks a pair. F3 and
// Shift+F3 step to the next and previous differing object; a double-click (or Enter) on a row
// shows that pair in the main window. The buttons copy, export, print and save the comparison
// as the report window does. The window is not modal: the main window stays usable beside it.
#pragma once

#include "dbcompare/db_compare.h"
#include "dbcompare/db_compare_filter.h"

#include <QDialog>
#include <QPointer>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeView;
class QTreeWidget;

namespace orv {

class DbCompareResultsModel;
class DeploySession;
class QtTextView;
class frmDeployScript;

class frmDbCompareResults : public QDialog {
    Q_OBJECT
public:
    // `caption` names the comparison ("Compare All Objects", "Compare Selected Views -
    // Details"); `selected` are the objects picked for a selective comparison.
    frmDbCompareResults(DbCompareResultsPtr results, const std::string& caption,
                        const std::vector<SelectedObject> (&selected)[2],
                        QWidget* parent = nullptr);
    ~frmDbCompareResults() override;

    // The comparison the results came from: with it, the ticked objects can be deployed.
    void SetRequest(const DbCompareRequest& request);
    // A line above the results saying what comparing again after a deployment found.
    void ShowVerification(const std::string& text);
    // Opens the deployment script of the ticked objects (reading both sides' structure first,
    // with progress and Stop); null when it could not be read or nothing is offered.
    frmDeployScript* OpenDeploymentScript();
    void SelectAllIncluded(bool on);
    // Confirms (or withdraws) the "renamed?" column pair of the current row as a rename for
    // the deployment script; false when the row has no such pair.
    bool ConfirmCurrentRename(bool on);
    // Runs the same comparison again (progress and Stop) and shows it in a results window of
    // its own; null when it was stopped. A deployment refused because the Target changed
    // offers it.
    frmDbCompareResults* CompareAgain();
    // The results window CompareAgain opened last.
    frmDbCompareResults* ComparedAgainWindow() const { return againWindow_; }
    DbCompareResultsModel* Model() const { return model_; }
    QLabel* VerificationLabel() const { return lblVerification_; }
    QPushButton* ConfirmRenameButton() const { return cmdConfirmRename_; }
    // The object list's context menu entry doing the same.
    QAction* ConfirmRenameAction() const { return actConfirmRename_; }
    // The results window opened after the last deployment's second comparison.
    frmDbCompareResults* VerifiedWindow() const { return verifiedWindow_; }

    // Called with a pair the user double-clicked (or pressed Enter on).
    std::function<void(const DbCompareResults&, const PairVerdict&)> onPairChosen;

    const DbCompareResults& Results() const { return *results_; }
    std::string Caption() const { return caption_; }

    // Filters; each shows the rows again and keeps the current object when it stays listed.
    void SetStatusFilter(StatusFilter status);
    void SetTypeFilter(ObjectType type);
    void SetNamePattern(const std::string& pattern);

    // The rows shown (after filtering) and the current one.
    int ShownCount() const;
    const PairVerdict* ShownPair(int row) const;
    int CurrentRow() const;
    void SelectRow(int row);
    // Moves to the next / previous differing object among the rows shown; false (and a beep)
    // when there is none in that direction.
    bool NextDifference();
    bool PreviousDifference();
    // What a double-click on the current row does.
    void ChooseCurrentPair();

    // The buttons.
    std::string ReportText() const;
    void CopyToClipboard();
    void ExportToFile();
    void PrintNow();
    void SaveComparison();

    // Controls, for tests and the screenshot.
    QTreeWidget* Summary() const { return pvlSummary_; }
    QTreeView* ObjectList() const { return pvlObjects_; }
    QtTextView* SourceView() const { return txtSource_; }
    QtTextView* TargetView() const { return txtTarget_; }
    QLabel* IncompleteLabel() const { return lblIncomplete_; }
    QLabel* ShownLabel() const { return lblShown_; }
    // The hidden view the report is printed from.
    QtTextView* PrintView() const { return txtReport_; }
    const std::string& ExportedPath() const { return exportPath_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Reads both structures once, with progress and Stop; false when stopped or failed (told).
    bool PrepareDeployment();
    void BuildControls();
    void FillSummary();
    void ApplyFilter();
    void ShowPair(const PairVerdict* pair);
    void ShowSide(QtTextView& view, QLabel& label, int side, const PairVerdict* pair);
    // How the window names a side: a snapshot by its title, a database by server and name.
    std::string SideTitle(int side) const;
    void ShowSideNames();
    void UpdateShownLabel();

    void UpdateDeployButtons();
    // The rename controls follow the current row: offered on a "renamed?" table only.
    void UpdateRenameControls();
    // A results window beside this one, for a comparison made from it.
    frmDbCompareResults* OpenSibling(DbCompareResultsPtr results, const std::string& caption);
    // The text of a side of a pair the fingerprints found identical, read when first shown
    // (the comparison did not read it); kept for the next showing.
    std::string TextReadOnDemand(const PairVerdict& pair, int side);

    DbCompareResultsPtr results_;
    std::string caption_;
    std::unique_ptr<DbCompareRequest> request_;
    QPointer<frmDeployScript> deployWindow_; // gone once the window closes
    // Both structures as read for the first script; kept so reopening the script reads nothing,
    // dropped once a run has changed the Target.
    std::shared_ptr<const DeploySession> deploySession_;
    QPointer<frmDbCompareResults> verifiedWindow_; // the last one opened after a deployment
    QPointer<frmDbCompareResults> againWindow_;    // the last one CompareAgain opened
    // Texts of fingerprint-identical pairs, read when such a pair is first shown (side 0 or 1).
    std::map<std::pair<const PairVerdict*, int>, std::string> fetchedTexts_;
    std::vector<SelectedObject> selected_[2];
    DbCompareResultsModel* model_ = nullptr;
    PairFilter filter_;
    std::string exportPath_;
    bool printed_ = false;
    bool busy_ = false;

    QLabel* lblIncomplete_;
    QLabel* lblVerification_;
    QLabel* lblSummary_;
    QTreeWidget* pvlSummary_;
    QLabel* lblFilterStatus_;
    QComboBox* cmbStatus_;
    QLabel* lblFilterType_;
    QComboBox* cmbType_;
    QLabel* lblFilterName_;
    QLineEdit* txtFilterName_;
    QLabel* lblShown_;
    QTreeView* pvlObjects_;
    QLabel* lblSource_;
    QLabel* lblTarget_;
    QtTextView* txtSource_;
    QtTextView* txtTarget_;
    QtTextView* txtReport_;
    QPushButton* cmdSelectAll_;
    QPushButton* cmdSelectNone_;
    QPushButton* cmdDeployScript_;
    QPushButton* cmdConfirmRename_;
    QAction* actConfirmRename_;
    QPushButton* cmdPrevDiff_;
    QPushButton* cmdNextDiff_;
    QPushButton* cmdCopyClip_;
    QPushButton* cmdCopyToFile_;
    QPushButton* cmdPrint_;
    QPushButton* cmdSave_;
    QPushButton* cmdExit_;
};

} // namespace orv
