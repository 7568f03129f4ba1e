#include "ui/widgets/frm_help.h"

#include "core/help_topic.h"
#include "ui/widgets/qt_text.h"

#include <QApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTextBrowser>
#include <QVBoxLayout>

#include <algorithm>

namespace orv {

namespace {

QPointer<frmHelp>& TheWindow() {
    static QPointer<frmHelp> window;
    return window;
}

QPushButton* MakeButton(const char* name, const char* text, const char* tip, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setToolTip(tip);
    b->setAutoDefault(false);
    return b;
}

} // namespace

frmHelp::frmHelp(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("frmHelp");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("Orvane Help");
    cmdBack_ = MakeButton("cmdBack", "&Back", "Show the page shown before (Alt+Left)", this);
    cmdForward_ =
        MakeButton("cmdForward", "&Forward", "Show the next page again (Alt+Right)", this);
    cmdIndex_ = MakeButton("cmdIndex", "&Index", "Show the index of the help pages", this);
    cmdClose_ = MakeButton("cmdClose", "&Close", "Close the help (Esc)", this);
    txtHelp_ = new QTextBrowser(this);
    txtHelp_->setObjectName("txtHelp");
    // Links between the pages open here; anything else (a web address) goes to the desktop.
    txtHelp_->setOpenLinks(true);
    txtHelp_->setOpenExternalLinks(true);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {cmdBack_, cmdForward_, cmdIndex_})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(cmdClose_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(txtHelp_, 1);

    cmdBack_->setEnabled(false);
    cmdForward_->setEnabled(false);
    connect(cmdBack_, &QPushButton::clicked, txtHelp_, &QTextBrowser::backward);
    connect(cmdForward_, &QPushButton::clicked, txtHelp_, &QTextBrowser::forward);
    connect(txtHelp_, &QTextBrowser::backwardAvailable, cmdBack_, &QPushButton::setEnabled);
    connect(txtHelp_, &QTextBrowser::forwardAvailable, cmdForward_, &QPushButton::setEnabled);
    connect(cmdIndex_, &QPushButton::clicked, this,
            [this] { ShowPage(HelpPagePath(kHelpTopicIndex)); });
    connect(cmdClose_, &QPushButton::clicked, this, &QWidget::close);
    connect(txtHelp_, &QTextBrowser::sourceChanged, this, [this] { UpdateTitle(); });

    resize(760, 640);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        resize(std::min(width(), area.width() - 40), std::min(height(), area.height() - 40));
        move(area.center() - rect().center());
    }
}

frmHelp* frmHelp::Current() {
    return TheWindow().data();
}

bool frmHelp::ShowTopic(int topic) {
    const std::string path = HelpPagePath(topic);
    if (!QFileInfo(Q(path)).isFile())
        return false;
    QPointer<frmHelp>& window = TheWindow();
    // Above a modal dialog only a window of that dialog can be used: the help window becomes
    // one of its windows for as long as it is open.
    QWidget* modal = QApplication::activeModalWidget();
    if (window && modal && window->parentWidget() != modal && window != modal) {
        const QRect place = window->geometry();
        window->setParent(modal, Qt::Window);
        window->setGeometry(place);
    }
    if (!window)
        window = new frmHelp(modal);
    window->ShowPage(path);
    window->show();
    window->raise();
    window->activateWindow();
    return true;
}

bool frmHelp::ShowPage(const std::string& path) {
    const QFileInfo page(Q(path));
    if (!page.isFile())
        return false;
    const QUrl url = QUrl::fromLocalFile(page.absoluteFilePath());
    if (txtHelp_->source() != url)
        txtHelp_->setSource(url);
    UpdateTitle();
    return true;
}

QUrl frmHelp::Page() const {
    return txtHelp_->source();
}

void frmHelp::UpdateTitle() {
    const QString title = txtHelp_->documentTitle();
    setWindowTitle(title.isEmpty() ? QString("Orvane Help") : title);
}

void frmHelp::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    if (event->modifiers() == Qt::AltModifier && event->key() == Qt::Key_Left) {
        txtHelp_->backward();
        return;
    }
    if (event->modifiers() == Qt::AltModifier && event->key() == Qt::Key_Right) {
        txtHelp_->forward();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace orv
