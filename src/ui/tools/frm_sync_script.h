// frmSyncScript: the T-SQL that would make the Target tables equal the Source ones, shown for
// reading, copying and saving. The program never runs it: the person who reads it decides.
#pragma once

#include <QDialog>

#include <string>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace orv {

class frmSyncScript : public QDialog {
    Q_OBJECT
public:
    // `caption` names what the script covers ("dbo.Orders", "all differing tables");
    // `proposedName` is the file name offered by Save (without folder).
    frmSyncScript(const std::string& script, const std::string& caption,
                  const std::string& proposedName, QWidget* parent = nullptr);

    const std::string& Script() const { return script_; }
    // Asks for a file and writes the script to it, all or nothing. True when written.
    bool SaveToFile();
    void CopyToClipboard();
    // The file the script was last saved to, empty before.
    const std::string& SavedPath() const { return savedPath_; }

    QPlainTextEdit* ScriptView() const { return txtScript_; }
    QPushButton* SaveButton() const { return cmdSave_; }

private:
    std::string script_;
    std::string proposedName_;
    std::string savedPath_;
    QLabel* lblNote_;
    QPlainTextEdit* txtScript_;
    QPushButton* cmdSave_;
    QPushButton* cmdCopy_;
    QPushButton* cmdClose_;
};

} // namespace orv
