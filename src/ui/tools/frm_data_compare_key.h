// frmDataCompareKey: asks which columns match the rows of a table pair that has no primary key
// and no unique index usable as one. The columns offered are those both sides have with
// compatible types; the key is the ticked columns in the order they were ticked (which is the
// order the rows are sorted and matched by).
#pragma once

#include <QDialog>

#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace orv {

// A column that may take part in the key, with its type on each side.
struct KeyColumnChoice {
    std::string Name;
    std::string SourceType;
    std::string TargetType;
    bool Nullable = false; // on either side: allowed, but a NULL key value matches nothing
};

class frmDataCompareKey : public QDialog {
    Q_OBJECT
public:
    // `pairName` names the table pair as the results list it; `reason` says why a key must be
    // picked; `current` is a key remembered before (ticked at the start, in its order).
    frmDataCompareKey(const std::string& pairName, const std::string& reason,
                      const std::vector<KeyColumnChoice>& columns,
                      const std::vector<std::string>& current, QWidget* parent = nullptr);

    // Shows the dialog modally; the picked key (column names in key order), empty when the
    // user skips the table.
    std::vector<std::string> ShowUp();

    // The key as ticked now, in key order.
    std::vector<std::string> Picked() const { return picked_; }
    // Ticks or unticks a column by name (what a click on its box does); false for no such name.
    bool SetTicked(const std::string& column, bool ticked);

    QTreeWidget* ColumnList() const { return pvlColumns_; }
    QPushButton* OkButton() const { return cmdOK_; }
    QPushButton* SkipButton() const { return cmdSkip_; }
    QLabel* KeyLabel() const { return lblKey_; }

private:
    void ItemChanged(QTreeWidgetItem* item, int column);
    void ShowKey();

    std::vector<std::string> picked_;
    bool updating_ = false;
    QLabel* lblPrompt_;
    QTreeWidget* pvlColumns_;
    QLabel* lblKey_;
    QPushButton* cmdOK_;
    QPushButton* cmdSkip_;
};

} // namespace orv
