#include "ui/tools/frm_ignore_columns.h"

#include "catalog/ignored_columns.h"
#include "core/help_topic.h"
#include "explore/ignored_columns_edit.h"
#include "ui/widgets/qt_text.h"
#include "util/prompter.h"
#include "util/text.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

#include <algorithm>

namespace orv {

namespace {

bool Contains(const std::vector<std::string>& list, const std::string& name) {
    return std::any_of(list.begin(), list.end(),
                       [&](const std::string& s) { return EqualsNoCase(s, name); });
}

constexpr int kIgnoreColumnsWidth = 560;
constexpr int kHeight = 420;

} // namespace

frmIgnoreColumns::frmIgnoreColumns(QWidget* parent) : QDialog(parent) {
    setObjectName("frmIgnoreColumns");
    setWindowTitle("Ignore Columns");
    setModal(true);
    lblTable_ = new QLabel(this);
    lblTable_->setObjectName("lblTable");
    lblTable_->setTextFormat(Qt::PlainText);
    lblTable_->setGeometry(10, 10, kIgnoreColumnsWidth - 20, 20);
    grdColumns_ = new QTableWidget(0, 4, this);
    grdColumns_->setObjectName("grdColumns");
    grdColumns_->setHorizontalHeaderLabels(
        {"Column", "Structure comparisons", "Data comparisons", "Data analysis"});
    grdColumns_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdColumns_->verticalHeader()->hide();
    grdColumns_->verticalHeader()->setDefaultSectionSize(20);
    grdColumns_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    grdColumns_->setGeometry(10, 36, kIgnoreColumnsWidth - 20, kHeight - 36 - 50);
    grdColumns_->setToolTip("Tick a column to leave it out of that kind of comparison or analysis");

    auto button = [this](const char* name, const char* caption, int left) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setGeometry(left, kHeight - 38, 100, 28);
        return b;
    };
    cmdOK_ = button("cmdOK", "OK", kIgnoreColumnsWidth - 330);
    cmdCancel_ = button("cmdCancel", "Cancel", kIgnoreColumnsWidth - 220);
    cmdHelp_ = button("cmdHelp", "&Help", kIgnoreColumnsWidth - 110);
    cmdOK_->setDefault(true);
    connect(cmdOK_, &QPushButton::clicked, this, &frmIgnoreColumns::accept);
    connect(cmdCancel_, &QPushButton::clicked, this, &frmIgnoreColumns::reject);
    connect(cmdHelp_, &QPushButton::clicked, this, [] { ShowHelpTopic(kHelpTopic); });
    cmdHelp_->setShortcut(QKeySequence(Qt::Key_F1));
    setFixedSize(kIgnoreColumnsWidth, kHeight);
}

int frmIgnoreColumns::KindColumn(int32_t kind) const {
    for (size_t i = 0; i < kKinds.size(); ++i)
        if (kKinds[i] == kind)
            return static_cast<int>(i) + 1;
    return -1;
}

void frmIgnoreColumns::Load(const IgnoredTable& table, const std::vector<std::string>& columns) {
    table_ = table;
    lblTable_->setText(Q("Table: " + IgnoredColumnsSection(table)));
    std::vector<std::string> rows = columns;
    for (size_t k = 0; k < kKinds.size(); ++k) {
        GetIgnoredColumns(kKinds[k], table, loaded_[k]);
        // A listed column the table no longer has keeps its row, so OK does not drop it.
        for (const std::string& c : loaded_[k])
            if (!Contains(rows, c))
                rows.push_back(c);
    }
    grdColumns_->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const bool inTable = static_cast<size_t>(r) < columns.size();
        auto* name = new QTableWidgetItem(Q(rows[r]));
        name->setData(Qt::UserRole, Q(rows[r]));
        if (!inTable) {
            name->setText(Q(rows[r] + "  (not in the table)"));
            name->setForeground(Qt::gray);
        }
        grdColumns_->setItem(r, 0, name);
        for (size_t k = 0; k < kKinds.size(); ++k) {
            auto* box = new QTableWidgetItem;
            box->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
            box->setCheckState(Contains(loaded_[k], rows[r]) ? Qt::Checked : Qt::Unchecked);
            grdColumns_->setItem(r, static_cast<int>(k) + 1, box);
        }
    }
    grdColumns_->resizeColumnToContents(1);
    grdColumns_->resizeColumnToContents(2);
    grdColumns_->resizeColumnToContents(3);
}

bool frmIgnoreColumns::ShowUp() {
    changed_ = false;
    exec();
    return changed_;
}

bool frmIgnoreColumns::SetIgnored(const std::string& column, int32_t kind, bool on) {
    const int c = KindColumn(kind);
    for (int r = 0; r < grdColumns_->rowCount() && c > 0; ++r)
        if (grdColumns_->item(r, 0)->data(Qt::UserRole).toString().toStdString() == column) {
            grdColumns_->item(r, c)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
            return true;
        }
    return false;
}

std::vector<std::string> frmIgnoreColumns::Ticked(int32_t kind) const {
    std::vector<std::string> out;
    const int c = KindColumn(kind);
    for (int r = 0; r < grdColumns_->rowCount() && c > 0; ++r)
        if (grdColumns_->item(r, c)->checkState() == Qt::Checked)
            out.push_back(grdColumns_->item(r, 0)->data(Qt::UserRole).toString().toStdString());
    return out;
}

void frmIgnoreColumns::accept() {
    std::string problems;
    for (size_t k = 0; k < kKinds.size(); ++k) {
        const std::vector<std::string> now = Ticked(kKinds[k]);
        if (now == loaded_[k])
            continue;
        std::string error;
        if (SetIgnoredColumns(kKinds[k], table_, now, error)) {
            loaded_[k] = now;
            changed_ = true;
        } else {
            problems += (problems.empty() ? "" : "\r\n\r\n") + error;
        }
    }
    if (!problems.empty()) {
        // The dialog stays open with the choices made, so nothing is lost.
        CurrentPrompter().MessageBox(MsgIcon::Warning, "Cannot Save", problems);
        return;
    }
    QDialog::accept();
}

} // namespace orv
