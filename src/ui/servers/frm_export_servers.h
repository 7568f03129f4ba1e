// The choice before a server list is exported: with or without the passwords. Ticking
// "Include passwords" shows why that needs care.
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;

namespace orv {

class frmExportServers : public QDialog {
public:
    explicit frmExportServers(QWidget* parent = nullptr);
    bool IncludePasswords() const;

private:
    QCheckBox* chkPasswords_ = nullptr;
    QLabel* lblWarning_ = nullptr;
};

} // namespace orv
