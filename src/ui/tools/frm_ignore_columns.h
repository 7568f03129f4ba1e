// frmIgnoreColumns, "Ignore Columns": the columns of one table with a check box for each list
// a column can be left out of (structure comparisons, data comparisons, data analysis). OK
// writes the lists that changed; a list that cannot be written is reported and the dialog
// stays open with every choice as it was.
#pragma once

#include "catalog/ignored_columns.h"

#include <QDialog>

#include <array>
#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QTableWidget;

namespace orv {

class frmIgnoreColumns : public QDialog {
    Q_OBJECT
public:
    explicit frmIgnoreColumns(QWidget* parent = nullptr);

    // `table` names the table whose lists are shown (they are kept under its section name,
    // server.database.schema.table; a list of the earlier naming is shown and, once changed,
    // moved there); `columns` are the table's columns in order. Loads the three lists.
    void Load(const IgnoredTable& table, const std::vector<std::string>& columns);
    // Shows the dialog modally; true when a list was changed.
    bool ShowUp();

    // The kinds of the check-box columns, left to right.
    static constexpr std::array<int32_t, 3> kKinds = {2, 1, 3};
    static constexpr int kHelpTopic = 552;

    QTableWidget* Grid() const { return grdColumns_; }
    // Ticks or clears the box of `column` for list `kind`; false when there is no such row.
    bool SetIgnored(const std::string& column, int32_t kind, bool on);
    // The columns ticked for a kind, in row order.
    std::vector<std::string> Ticked(int32_t kind) const;
    bool Changed() const { return changed_; }

public slots:
    void accept() override;

private:
    int KindColumn(int32_t kind) const;

    IgnoredTable table_;
    std::array<std::vector<std::string>, 3> loaded_;
    bool changed_ = false;
    QLabel* lblTable_;
    QTableWidget* grdColumns_;
    QPushButton* cmdOK_;
    QPushButton* cmdCancel_;
    QPushButton* cmdHelp_;
};

} // namespace orv
