// frmDataCompareResults: the results of a data comparison. Per table pair its status and
// counts (identical, different, only in source, only in target, conflicts, rows compared, time
// taken); for the chosen pair its differing rows with the Source and Target value of each
// compared column side by side and the differing cells coloured, filtered by status, and per
// column the number of rows that differ in it. The buttons pick a key for a pair that has
// none, show the synchronisation script, copy, export and print. Not modal.
#pragma once

#include "dbcompare/data_compare.h"
#include "ui/main/data_compare_key_offer.h"
#include "ui/main/data_compare_rows_model.h"

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class QTableView;
class QTreeWidget;

namespace orv {

class QtTextView;

class frmDataCompareResults : public QDialog {
    Q_OBJECT
public:
    // `caption` names the comparison ("Compare Data in All Tables"); `request` is what was run
    // (a pair is compared again from it).
    frmDataCompareResults(DataCompareResultsPtr results, const std::string& caption,
                          const DataCompareRequest& request, QWidget* parent = nullptr);
    ~frmDataCompareResults() override;

    // Runs a comparison with its progress window; the default opens one over this window.
    std::function<DataCompareResultsPtr(const std::string& caption, const DataCompareRequest&)>
        runComparison;
    // Asks for a key; the default opens the key dialog.
    DataKeyAsker askKey;
    // Shows a synchronisation script (what it covers, the file name offered); the default
    // opens the script window modally.
    std::function<void(const std::string& script, const std::string& covers,
                       const std::string& fileName)>
        showScript;

    const DataCompareResults& Results() const { return *results_; }
    std::string Caption() const { return caption_; }

    // The pairs listed (every pair of the results, in their order) and the current one.
    int CurrentTable() const;
    void SelectTable(int index);
    void SetRowFilter(RowFilter filter);
    int ShownRowCount() const;

    // The buttons.
    // Asks for a key for the current pair (when it has none), remembers it and compares the
    // pair again; true when the pair was compared again.
    bool ChooseKey();
    // The script of the current pair, or of every differing pair; false (after a message) when
    // there is nothing to script or the comparison it needs did not complete.
    bool ShowSyncScript(bool allTables);
    std::string ReportText() const;
    void CopyToClipboard();
    void ExportToFile();
    void PrintNow();
    // Saves the comparison as a process (the save dialog asks for its name and export).
    void SaveComparison();

    // Controls, for tests and the screenshot.
    QTreeWidget* TableList() const { return pvlTables_; }
    QTableView* RowGrid() const { return grdRows_; }
    DataCompareRowsModel* RowModel() const { return rows_; }
    QTreeWidget* ColumnList() const { return pvlColumns_; }
    QLabel* IncompleteLabel() const { return lblIncomplete_; }
    QLabel* PairLabel() const { return lblPair_; }
    QLabel* ShownLabel() const { return lblShown_; }
    QComboBox* StatusFilter() const { return cmbStatus_; }
    QPushButton* KeyButton() const { return cmdKey_; }
    QPushButton* ScriptButton() const { return cmdScript_; }
    QPushButton* ScriptAllButton() const { return cmdScriptAll_; }
    QPushButton* SaveButton() const { return cmdSave_; }
    QtTextView* PrintView() const { return txtReport_; }
    // Whether the results went to a printer or a PDF file: a saved process then prints too.
    bool Printed() const { return printed_; }
    const std::string& ExportedPath() const { return exportPath_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void BuildControls();
    void FillTables();
    void ShowTable(int index);
    void ShowColumns(const DataTableResult* pair);
    void UpdateShownLabel();
    void UpdateButtons();
    DataCompareResultsPtr Run(const std::string& caption, const DataCompareRequest& request);

    DataCompareResultsPtr results_;
    std::string caption_;
    DataCompareRequest request_;
    std::string exportPath_;
    bool printed_ = false;
    bool busy_ = false;

    QLabel* lblIncomplete_;
    QLabel* lblSummary_;
    QTreeWidget* pvlTables_;
    QLabel* lblPair_;
    QLabel* lblFilterStatus_;
    QComboBox* cmbStatus_;
    QLabel* lblShown_;
    QTableView* grdRows_;
    DataCompareRowsModel* rows_;
    QTreeWidget* pvlColumns_;
    QtTextView* txtReport_;
    QPushButton* cmdKey_;
    QPushButton* cmdScript_;
    QPushButton* cmdScriptAll_;
    QPushButton* cmdCopyClip_;
    QPushButton* cmdCopyToFile_;
    QPushButton* cmdPrint_;
    QPushButton* cmdSave_;
    QPushButton* cmdHelp_;
    QPushButton* cmdExit_;
};

// The help topic of the data comparison windows.
constexpr int kDataCompareHelpTopic = 510;

} // namespace orv
