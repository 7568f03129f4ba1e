#include "ui/tools/frm_sync_script.h"

#include "export/export_file.h"
#include "ui/widgets/qt_text.h"
#include "util/prompter.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <optional>

namespace orv {

frmSyncScript::frmSyncScript(const std::string& script, const std::string& caption,
                             const std::string& proposedName, QWidget* parent)
    : QDialog(parent), script_(script), proposedName_(FileNameSafe(proposedName, "sync")) {
    setObjectName("frmSyncScript");
    setWindowTitle(Q("Synchronisation Script - " + caption));
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    resize(900, 640);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect avail = screen->availableGeometry();
        resize(std::min(width(), avail.width() - 40), std::min(height(), avail.height() - 40));
        move(avail.center() - rect().center());
    }
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(8, 8, 8, 8);
    lblNote_ = new QLabel(this);
    lblNote_->setObjectName("lblNote");
    lblNote_->setWordWrap(true);
    lblNote_->setText("This script makes the Target table data equal to the Source. Orvane does "
                      "not run it: read it, save it and run it yourself on the Target server, "
                      "where it runs as one transaction.");
    root->addWidget(lblNote_);
    txtScript_ = new QPlainTextEdit(this);
    txtScript_->setObjectName("txtScript");
    txtScript_->setReadOnly(true);
    txtScript_->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtScript_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // The view shows lines; the script keeps its own CR LF line breaks for the file.
    QString shown = Q(script_);
    shown.replace("\r\n", "\n");
    txtScript_->setPlainText(shown);
    root->addWidget(txtScript_, 1);

    auto* buttons = new QHBoxLayout;
    auto button = [this](const char* name, const char* text, const char* tip) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setToolTip(tip);
        b->setAutoDefault(false);
        return b;
    };
    cmdSave_ = button("cmdSave", "&Save To File", "Save the script to a .sql file");
    cmdCopy_ = button("cmdCopyClip", "Copy To &Clipboard", "Copy the script to the clipboard");
    cmdClose_ = button("cmdExit", "&Close", "Close the script (Esc)");
    buttons->addStretch(1);
    buttons->addWidget(cmdSave_);
    buttons->addWidget(cmdCopy_);
    buttons->addWidget(cmdClose_);
    root->addLayout(buttons);
    connect(cmdSave_, &QPushButton::clicked, this, [this] { SaveToFile(); });
    connect(cmdCopy_, &QPushButton::clicked, this, &frmSyncScript::CopyToClipboard);
    connect(cmdClose_, &QPushButton::clicked, this, &QDialog::accept);
}

bool frmSyncScript::SaveToFile() {
    FileDialogRequest request;
    request.save = true;
    request.title = "Save Synchronisation Script";
    request.filter = "SQL scripts (*.sql)|*.sql|All files (*.*)|*.*";
    request.proposedPath = proposedName_ + ".sql"; // in the documents folder or the last used
    request.flags = 2054; // overwrite prompt, no read-only box, the path must exist
    const std::optional<std::string> path = CurrentPrompter().FileDialog(request);
    if (!path)
        return false;
    std::string error;
    if (!WriteExportFile(*path, script_, error)) {
        CurrentPrompter().MessageBox(MsgIcon::Error, "Cannot Save", error);
        return false;
    }
    savedPath_ = *path;
    return true;
}

void frmSyncScript::CopyToClipboard() {
    CurrentPrompter().SetClipboardText(script_);
}

} // namespace orv
