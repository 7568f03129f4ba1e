#include "ui/tools/frm_data_compare_key.h"

#include "ui/widgets/qt_text.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace orv {

namespace {

std::string Join(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& n : names)
        out += (out.empty() ? "" : ", ") + n;
    return out;
}

} // namespace

frmDataCompareKey::frmDataCompareKey(const std::string& pairName, const std::string& reason,
                                     const std::vector<KeyColumnChoice>& columns,
                                     const std::vector<std::string>& current, QWidget* parent)
    : QDialog(parent) {
    setObjectName("frmDataCompareKey");
    setWindowTitle("Choose Comparison Key");
    setModal(true);
    resize(560, 420);
    auto* root = new QVBoxLayout(this);
    lblPrompt_ = new QLabel(this);
    lblPrompt_->setObjectName("lblPrompt");
    lblPrompt_->setWordWrap(true);
    lblPrompt_->setTextFormat(Qt::PlainText);
    lblPrompt_->setText(Q("The rows of " + pairName +
                          " cannot be matched by themselves: " + reason +
                          "\n\nTick the columns whose values identify a row on both sides. "
                          "The key is remembered for this pair of tables."));
    root->addWidget(lblPrompt_);

    pvlColumns_ = new QTreeWidget(this);
    pvlColumns_->setObjectName("pvlColumns");
    pvlColumns_->setRootIsDecorated(false);
    pvlColumns_->setUniformRowHeights(true);
    pvlColumns_->setHeaderLabels({"Column", "Source type", "Target type", "Key order"});
    for (const KeyColumnChoice& c : columns) {
        auto* item = new QTreeWidgetItem(pvlColumns_);
        item->setText(0, Q(c.Name));
        item->setData(0, Qt::UserRole, Q(c.Name));
        item->setText(1, Q(c.SourceType));
        item->setText(2, Q(c.TargetType));
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Unchecked);
        if (c.Nullable)
            item->setToolTip(0, "Allows NULL: a row whose key holds NULL matches no other row");
    }
    pvlColumns_->header()->resizeSection(0, 200);
    // Types are shown when they are known.
    bool typed = false;
    for (const KeyColumnChoice& c : columns)
        typed = typed || !c.SourceType.empty() || !c.TargetType.empty();
    pvlColumns_->setColumnHidden(1, !typed);
    pvlColumns_->setColumnHidden(2, !typed);
    root->addWidget(pvlColumns_, 1);

    lblKey_ = new QLabel(this);
    lblKey_->setObjectName("lblKey");
    lblKey_->setTextFormat(Qt::PlainText);
    root->addWidget(lblKey_);

    auto* box = new QDialogButtonBox(this);
    cmdOK_ = box->addButton("&Use This Key", QDialogButtonBox::AcceptRole);
    cmdOK_->setObjectName("cmdOK");
    cmdSkip_ = box->addButton("&Skip Table", QDialogButtonBox::RejectRole);
    cmdSkip_->setObjectName("cmdSkip");
    cmdSkip_->setToolTip("Leave this pair out: it is listed as not comparable (Esc)");
    root->addWidget(box);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(pvlColumns_, &QTreeWidget::itemChanged, this, &frmDataCompareKey::ItemChanged);

    for (const std::string& name : current)
        SetTicked(name, true);
    ShowKey();
}

bool frmDataCompareKey::SetTicked(const std::string& column, bool ticked) {
    for (int r = 0; r < pvlColumns_->topLevelItemCount(); ++r) {
        QTreeWidgetItem* item = pvlColumns_->topLevelItem(r);
        if (item->data(0, Qt::UserRole).toString().toStdString() == column) {
            item->setCheckState(0, ticked ? Qt::Checked : Qt::Unchecked);
            return true;
        }
    }
    return false;
}

void frmDataCompareKey::ItemChanged(QTreeWidgetItem* item, int column) {
    if (updating_ || column != 0)
        return;
    const std::string name = item->data(0, Qt::UserRole).toString().toStdString();
    auto it = std::find(picked_.begin(), picked_.end(), name);
    if (item->checkState(0) == Qt::Checked && it == picked_.end())
        picked_.push_back(name);
    else if (item->checkState(0) != Qt::Checked && it != picked_.end())
        picked_.erase(it);
    ShowKey();
}

void frmDataCompareKey::ShowKey() {
    updating_ = true;
    for (int r = 0; r < pvlColumns_->topLevelItemCount(); ++r) {
        QTreeWidgetItem* item = pvlColumns_->topLevelItem(r);
        const std::string name = item->data(0, Qt::UserRole).toString().toStdString();
        auto it = std::find(picked_.begin(), picked_.end(), name);
        item->setText(3,
                      it == picked_.end() ? QString() : QString::number(it - picked_.begin() + 1));
    }
    updating_ = false;
    lblKey_->setText(picked_.empty() ? QString("Key: none ticked yet")
                                     : Q("Key: " + Join(picked_)));
    cmdOK_->setEnabled(!picked_.empty());
}

std::vector<std::string> frmDataCompareKey::ShowUp() {
    if (exec() != QDialog::Accepted)
        return {};
    return picked_;
}

} // namespace orv
