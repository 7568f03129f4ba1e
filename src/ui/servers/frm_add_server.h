// The dialog that adds a SQL Server to the stored list, but only after a trial connection with
// the typed name, database and credentials has worked.
#pragma once

#include <QDialog>

#include <string>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace orv {

class frmAddServer : public QDialog {
    Q_OBJECT
public:
    explicit frmAddServer(QWidget* parent = nullptr);
    ~frmAddServer() override;

    // Shows the dialog modally; pblnServerAdded tells whether a server was stored.
    void ShowUp(bool& pblnServerAdded);

    // Checks the fields, tries the connection and stores the server; closes the dialog on
    // success, otherwise says what is wrong and leaves the focus on the field to correct.
    void OK();
    // Index 1: SQL Server authentication (login fields usable); 0: Windows authentication.
    void SelectAuthentication(int index);
    // Browses for the CA certificate file.
    void ChooseCAFile();
    bool ServerAdded() const { return listChanged_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void done(int result) override;

private:
    static void SelectAndFocus(QLineEdit* box);
    void OpenHelp();

    QLineEdit* txtServer_;
    QLineEdit* txtDatabase_;
    QRadioButton* optGen_[2];
    QGroupBox* fraLogin_;
    QLabel* lblGen2_;
    QLabel* lblGen3_;
    QLineEdit* txtLogin_;
    QLineEdit* txtPassword_;
    QComboBox* cboEncryption_;
    QLineEdit* txtCAFile_;
    QPushButton* cmdCAFile_;
    QPushButton* cmdOK_;
    QPushButton* cmdCancel_;
    QPushButton* cmdHelp_;
    bool listChanged_ = false;
    bool unloaded_ = false;
};

} // namespace orv
