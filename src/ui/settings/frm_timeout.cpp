#include "ui/settings/frm_timeout.h"

#include "core/registry.h"
#include "core/settings.h"
#include "ui/settings/numeric_box.h"
#include "ui/widgets/qt_text.h"
#include "util/prompter.h"
#include "util/text.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace orv {
namespace {

// The name users know the program by in this text, as it has always read.
constexpr const char* kInfoProgramName = "MAV";

std::string InformationText() {
    return std::string("Timeout indicates, in seconds, how long to wait while executing a command "
                       "before terminating the attempt. Default is 30.\r\n\r\n") +
           "Sometimes due to delays from network traffic or heavy server use, server is not as "
           "responsive as usual and increasing timeout can prevent application from cancelling "
           "the attempt.\r\n\r\n" +
           "If you set the timeout to zero, " + kInfoProgramName +
           " will wait indefinitely until the execution is complete.";
}

} // namespace

bool ValidateTimeout(const std::string& text, int32_t& value) {
    const std::string t = Trim(text);
    int32_t n = 0;
    // Numeric as the classic test reads it, then converted to a 32-bit whole number.
    if (t.empty() || !ParseInt32(t, n) || n < 0)
        return false;
    value = n;
    return true;
}

frmTimeout::frmTimeout(QWidget* parent) : QDialog(parent) {
    setObjectName("frmTimeout");
    setWindowTitle("Set Timeout");
    setModal(true);

    auto* caption = new QLabel("Timeout (in seconds)", this);
    caption->setObjectName("lblTimeout");
    txtTimeout_ = new QLineEdit(this);
    txtTimeout_->setObjectName("txtTimeout");
    txtTimeout_->setFixedWidth(100);
    NumericBoxFilter::Install(txtTimeout_);
    lblInfo_ = new QLabel(this);
    lblInfo_->setObjectName("lblInfo");
    lblInfo_->setWordWrap(true);
    lblInfo_->setTextFormat(Qt::PlainText);
    lblInfo_->setFixedWidth(360);
    lblInfo_->setFrameShape(QFrame::StyledPanel);
    lblInfo_->setMargin(6);

    cmdOK_ = new QPushButton("OK", this);
    cmdOK_->setObjectName("cmdOK");
    cmdOK_->setDefault(true);
    cmdCancel_ = new QPushButton("Cancel", this);
    cmdCancel_->setObjectName("cmdCancel");
    cmdCancel_->setAutoDefault(false);

    auto* top = new QHBoxLayout;
    top->addWidget(caption);
    top->addWidget(txtTimeout_);
    top->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK_);
    buttons->addWidget(cmdCancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(lblInfo_);
    layout->addLayout(buttons);

    connect(cmdOK_, &QPushButton::clicked, this, &frmTimeout::OK);
    connect(cmdCancel_, &QPushButton::clicked, this, &QDialog::reject);

    // Qt shows "\r" as a glyph of its own; the line breaks are kept as plain "\n" on screen.
    lblInfo_->setText(Q(ReplaceAll(InformationText(), "\r\n", "\n")));
    txtTimeout_->setText(QString::number(Settings().Timeout));
    txtTimeout_->selectAll();

    adjustSize();
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

frmTimeout::~frmTimeout() = default;

std::string frmTimeout::InfoText() const {
    return ReplaceAll(lblInfo_->text().toStdString(), "\n", "\r\n");
}

void frmTimeout::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (activated_)
        return;
    activated_ = true;
    QTimer::singleShot(0, this, [this] {
        txtTimeout_->setFocus(Qt::OtherFocusReason);
        txtTimeout_->selectAll();
    });
}

void frmTimeout::OK() {
    int32_t value = 0;
    if (ValidateTimeout(txtTimeout_->text().toStdString(), value)) {
        SetRegDword(HKEY_CURRENT_USER, kKeyMav, "Timeout", value);
        Settings().Timeout = value;
    } else {
        CurrentPrompter().MessageBox(MsgIcon::Warning, "Changes Not Saved",
                                     "Entered value is not valid. Timeout is not changed.");
    }
    accept();
}

} // namespace orv
