// The dialog that removes one stored SQL Server after the user has confirmed it.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace orv {

class QtListControl;

class frmDeleteServer : public QDialog {
    Q_OBJECT
public:
    explicit frmDeleteServer(QWidget* parent = nullptr);

    // Shows the dialog modally; pblnServerDeleted tells whether a server was removed.
    void ShowUp(bool& pblnServerDeleted);

    void Remove();
    bool ServerDeleted() const { return listChanged_; }

private:
    QLabel* lblSelect_;
    QtListControl* lstServers_;
    QPushButton* cmdRemove_;
    QPushButton* cmdExit_;
    bool listChanged_ = false;
};

} // namespace orv
