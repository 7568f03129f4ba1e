// frmAttachDb, "Attach Database": attaches a database from its data file (and log file) to the
// Source panel's server. The window stays open after a failure so the entries can be corrected.
#pragma once

#include <QDialog>

#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace orv {

class frmAttachDb : public QDialog {
    Q_OBJECT
public:
    explicit frmAttachDb(QWidget* parent = nullptr);
    ~frmAttachDb() override;

    // Shows the window modally for the server of panel plng_server_index; true when a database
    // was attached.
    bool ShowUp(int plng_server_index);

    // The Attach command (also Enter): validates, attaches, reports.
    void cmdOK_Click();
    // The "..." buttons: 0 database file, 1 log file.
    void cmdFileSelect_Click(int index);
    void chkAttachSingleFile_Click();

    bool Attached() const { return attached_; }
    bool Activated() const { return activated_; }
    // 2 database name, 0 database file, 1 log file.
    QLineEdit* PathBox(int index) const { return txtPath_[index]; }
    QPushButton* FileSelectButton(int index) const { return cmdFileSelect_[index]; }
    QCheckBox* SingleFileOption() const { return chkAttachSingleFile_; }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // False after showing the message and moving the focus to the box to correct.
    bool Validate();
    bool Refuse(int box, const std::string& message);

    QLineEdit* txtPath_[3] = {};
    QPushButton* cmdFileSelect_[2] = {};
    QCheckBox* chkAttachSingleFile_;
    QPushButton* cmdOK_;
    QPushButton* cmdCancel_;
    int serverIndex_ = 0;
    bool activated_ = false;
    bool busy_ = false;
    bool attached_ = false;
};

} // namespace orv
