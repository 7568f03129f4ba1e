#include "ui/widgets/qt_prompter.h"

#include "core/help_topic.h"
#include "core/paths.h"
#include "ui/widgets/frm_help.h"
#include "ui/widgets/qt_text.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPrinterInfo>
#include <QRegularExpression>
#include <QUrl>

namespace orv {

namespace {
// "Text (*.txt)|*.txt|All (*.*)|*.*" pairs, or a bare pattern, into Qt's ";;" form.
QString QtFilter(const std::string& filter) {
    QStringList parts = Q(filter).split('|');
    if (parts.size() < 2)
        return Q(filter);
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        out << parts[i] + " (" + QString(parts[i + 1]).replace(';', ' ') + ")";
    return out.join(";;");
}

// The folder of the file last chosen in a file dialog; empty until one was chosen.
std::string& LastDialogFolder() {
    static std::string folder;
    return folder;
}

void RememberFolderOf(const QString& path) {
    LastDialogFolder() = QFileInfo(path).absolutePath().toStdString();
}
} // namespace

std::string QtPrompter::StartPath(const std::string& proposedPath) {
    if (proposedPath.find('/') != std::string::npos)
        return proposedPath;
    std::string folder = LastDialogFolder();
    if (folder.empty())
        folder = Paths().DataFolder;
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder + proposedPath;
}

MsgAnswer QtPrompter::MessageBox(MsgIcon icon, const std::string& title, const std::string& text,
                                 MsgButtons buttons) {
    QMessageBox box(owner_);
    box.setWindowTitle(Q(title));
    box.setText(Q(text));
    switch (icon) {
    case MsgIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MsgIcon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case MsgIcon::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case MsgIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case MsgIcon::None:
        break;
    }
    switch (buttons) {
    case MsgButtons::OK:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case MsgButtons::OKCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case MsgButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case MsgButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    case MsgButtons::YesNoDefaultNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
        break;
    }
    // A message must not appear under an hourglass.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    int r = box.exec();
    QApplication::restoreOverrideCursor();
    switch (r) {
    case QMessageBox::Yes:
        return MsgAnswer::Yes;
    case QMessageBox::No:
        return MsgAnswer::No;
    case QMessageBox::Cancel:
        return MsgAnswer::Cancel;
    default:
        return buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoDefaultNo
                   ? MsgAnswer::No
                   : MsgAnswer::OK;
    }
}

static QString FilterSuffix(const QString& nameFilter) {
    // "HTML files (*.html)" -> "html"; a wildcard extension ("*.*") gives none.
    static const QRegularExpression pattern(R"(\*\.([A-Za-z0-9_]+)\b)");
    const QRegularExpressionMatch m = pattern.match(nameFilter);
    return m.hasMatch() ? m.captured(1) : QString();
}

std::optional<std::string> QtPrompter::FileDialog(const FileDialogRequest& request) {
    if (!request.save) {
        const QString path = QFileDialog::getOpenFileName(
            owner_, Q(request.title), Q(StartPath(request.proposedPath)), QtFilter(request.filter));
        if (path.isEmpty())
            return std::nullopt;
        RememberFolderOf(path);
        return path.toStdString();
    }
    // A name typed without an extension takes the one of the chosen file type, so the file
    // written is what the type list promised (and the overwrite prompt sees that name).
    QFileDialog dialog(owner_, Q(request.title), Q(StartPath(request.proposedPath)),
                       QtFilter(request.filter));
    dialog.setObjectName("dlgFile");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(FilterSuffix(dialog.selectedNameFilter()));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog](const QString& f) { dialog.setDefaultSuffix(FilterSuffix(f)); });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QString path = dialog.selectedFiles().first();
    if (path.isEmpty())
        return std::nullopt;
    RememberFolderOf(path);
    return path.toStdString();
}

void QtPrompter::SetClipboardText(const std::string& text) {
    QGuiApplication::clipboard()->setText(Q(text));
}

std::string QtPrompter::ClipboardText() {
    return QGuiApplication::clipboard()->text().toStdString();
}

int QtPrompter::OpenUrl(const std::string& url) {
    // The shell's convention: a code above 32 means the browser was started.
    return QDesktopServices::openUrl(QUrl(Q(url), QUrl::StrictMode)) ? 42 : 2;
}

bool QtPrompter::OpenHelpTopic(int topic) {
    return frmHelp::ShowTopic(topic);
}

bool QtPrompter::HasPrinter() {
    // Without one, Qt quietly "prints" into a PDF file that has no name.
    return !QPrinterInfo::availablePrinterNames().isEmpty();
}

void QtPrompter::SetMousePointer(int pointer) {
    if (pointer_ == kPointerHourglass)
        QApplication::restoreOverrideCursor();
    pointer_ = pointer;
    if (pointer == kPointerHourglass)
        QApplication::setOverrideCursor(Qt::WaitCursor);
}

void QtPrompter::ProcessEvents() {
    QCoreApplication::processEvents();
}

} // namespace orv
