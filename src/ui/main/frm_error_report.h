// The window that shows an unexpected error and offers to send it to the makers' site.
#pragma once

#include "core/error_report.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace orv {

class Prompter;

class frmErrorReport : public QDialog {
    Q_OBJECT
public:
    explicit frmErrorReport(Prompter& prompter, QWidget* parent = nullptr);
    ~frmErrorReport() override;

    // Stores the values and shows the window modally.
    void ShowUp(int32_t plngErrNum, const std::string& pstrErrDesc, const std::string& pstrProgVer,
                int32_t plngBuildNum, const std::string& pstrModuleName,
                const std::string& pstrProcName, const std::string& pstrExtraDesc);
    // Fills the window without showing it (the modal loop is the caller's).
    void Load(const ErrorReport& report);

    // Builds the address and opens it; does nothing while a send is under way.
    void Send();

private:
    Prompter& prompter_;
    ErrorReport report_;
    int savedPointer_ = 0;
    bool busy_ = false;
    bool sent_ = false;
    QPlainTextEdit* txtError_;
    QPlainTextEdit* txtComments_;
    QLineEdit* txtEmail_;
    QPushButton* cmdSend_;
    QPushButton* cmdDoNotSend_;
};

// Installs ReportError's handler: each report opens a fresh window.
void InstallErrorReportWindow(Prompter& prompter);

} // namespace orv
