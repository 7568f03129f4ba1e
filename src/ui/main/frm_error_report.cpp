#include "ui/main/frm_error_report.h"

#include "ui/widgets/qt_text.h"
#include "util/prompter.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace orv {

namespace {
const char* const kIntro =
    "Regrettably, an problem has occurred in Orvane.\n"
    "\n"
    "Orvane may continue to function after this, but if you have further problems you should "
    "restart the program.\n"
    "\n"
    "We'd like to fix this problem quickly, but we need your help.  Can Orvane submit a bug "
    "report on your behalf to Brackwater Software?  And, can you please take just a moment to "
    "jot down what steps we should take to reproduce the problem?\n"
    "\n"
    "Your report is confidential, and only the information you see below is included in the "
    "report.";

QLabel* MakeLabel(const char* name, const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setWordWrap(true);
    return l;
}
} // namespace

frmErrorReport::frmErrorReport(Prompter& prompter, QWidget* parent)
    : QDialog(parent), prompter_(prompter) {
    setObjectName("frmErrorReport");
    setModal(true);
    setWindowTitle("An error occurred in Orvane");

    auto* title = MakeLabel("lblTitle", "Orvane Problem ", this);
    QFont f = title->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.4);
    title->setFont(f);
    auto* intro = MakeLabel("lblIntro", kIntro, this);

    txtError_ = new QPlainTextEdit(this);
    txtError_->setObjectName("txtError");
    txtError_->setReadOnly(true);
    txtComments_ = new QPlainTextEdit(this);
    txtComments_->setObjectName("txtComments");
    txtEmail_ = new QLineEdit(this);
    txtEmail_->setObjectName("txtEmail");
    cmdSend_ = new QPushButton("Send Error Report", this);
    cmdSend_->setObjectName("cmdSend");
    cmdSend_->setDefault(true);
    cmdDoNotSend_ = new QPushButton("Do Not Send", this);
    cmdDoNotSend_->setObjectName("cmdDoNotSend");

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(intro);
    layout->addWidget(MakeLabel("lblContents", "Error Report Contents:", this));
    layout->addWidget(txtError_);
    layout->addWidget(
        MakeLabel("lblComments", "How you got this error, and how we can reproduce it:", this));
    layout->addWidget(txtComments_);
    auto* emailRow = new QHBoxLayout;
    emailRow->addWidget(MakeLabel(
        "lblEmail", "Your email address, so we can contact you about this problem:", this));
    emailRow->addWidget(MakeLabel("lblRecommended", "(Highly recommended.)", this));
    layout->addLayout(emailRow);
    layout->addWidget(txtEmail_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdSend_);
    buttons->addWidget(cmdDoNotSend_);
    layout->addLayout(buttons);
    resize(560, 560);

    connect(cmdSend_, &QPushButton::clicked, this, &frmErrorReport::Send);
    connect(cmdDoNotSend_, &QPushButton::clicked, this, &QDialog::reject);
}

frmErrorReport::~frmErrorReport() {
    prompter_.SetMousePointer(savedPointer_);
}

void frmErrorReport::Load(const ErrorReport& report) {
    report_ = report;
    // The error may have struck while the hourglass was shown.
    savedPointer_ = prompter_.MousePointer();
    prompter_.SetMousePointer(kPointerDefault);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
    txtError_->setPlainText(Q(ErrorReportText(report)).replace("\r\n", "\n"));
}

void frmErrorReport::ShowUp(int32_t plngErrNum, const std::string& pstrErrDesc,
                            const std::string& pstrProgVer, int32_t plngBuildNum,
                            const std::string& pstrModuleName, const std::string& pstrProcName,
                            const std::string& pstrExtraDesc) {
    Load({plngErrNum, pstrErrDesc, pstrProgVer, plngBuildNum, pstrModuleName, pstrProcName,
          pstrExtraDesc});
    exec();
}

void frmErrorReport::Send() {
    // A report goes out once, however quickly the button is pressed again.
    if (busy_ || sent_)
        return;
    busy_ = true;
    cmdSend_->setEnabled(false);
    const std::string url =
        ErrorReportUrl(ErrorReportSite(), report_, txtComments_->toPlainText().toStdString(),
                       txtEmail_->text().toStdString());
    int code = prompter_.OpenUrl(url);
    if (code <= 32)
        prompter_.MessageBox(MsgIcon::None, "", "Error on launching URL: " + std::to_string(code));
    busy_ = false;
    sent_ = true;
    accept();
}

void InstallErrorReportWindow(Prompter& prompter) {
    SetErrorReportHandler([&prompter](const ErrorReport& r) {
        frmErrorReport window(prompter);
        window.ShowUp(r.ErrNum, r.ErrDesc, r.ProgVer, r.BuildNum, r.ModuleName, r.ProcName,
                      r.ExtraDesc);
    });
}

} // namespace orv
