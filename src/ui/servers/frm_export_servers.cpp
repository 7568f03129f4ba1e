#include "ui/servers/frm_export_servers.h"

#include "servers/server_transfer.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

namespace orv {

frmExportServers::frmExportServers(QWidget* parent) : QDialog(parent) {
    setObjectName("frmExportServers");
    setWindowTitle("Export Servers");
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel("Every stored server goes to a .reg file that Orvane on another "
                             "machine can import.",
                             this);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    chkPasswords_ = new QCheckBox("Include &passwords", this);
    chkPasswords_->setObjectName("chkIncludePasswords");
    layout->addWidget(chkPasswords_);
    lblWarning_ = new QLabel(QString::fromUtf8(kIncludePasswordsWarning), this);
    lblWarning_->setObjectName("lblPasswordsWarning");
    lblWarning_->setWordWrap(true);
    lblWarning_->setVisible(false);
    layout->addWidget(lblWarning_);
    connect(chkPasswords_, &QCheckBox::toggled, lblWarning_, &QLabel::setVisible);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName("buttons");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    setMinimumWidth(420);
}

bool frmExportServers::IncludePasswords() const {
    return chkPasswords_->isChecked();
}

} // namespace orv
