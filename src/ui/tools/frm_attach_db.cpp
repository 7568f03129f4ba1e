#include "ui/tools/frm_attach_db.h"

#include "core/paths.h"
#include "core/program_info.h"
#include "servers/server_list.h"
#include "ui/tools/frm_attach_db_command.h"
#include "ui/widgets/qt_text.h"
#include "util/prompter.h"
#include "util/text.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include <filesystem>

namespace orv {
namespace {

constexpr int kBoxDatabaseFile = 0;
constexpr int kBoxLogFile = 1;
constexpr int kBoxDatabaseName = 2;

void SetBoxBackground(QLineEdit* box, const QColor& colour) {
    QPalette p = box->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        p.setColor(group, QPalette::Base, colour);
    box->setPalette(p);
}

bool FileExistsHere(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

std::string Trimmed(const QLineEdit* box) {
    return Trim(box->text().toStdString());
}

} // namespace

frmAttachDb::frmAttachDb(QWidget* parent) : QDialog(parent) {
    setObjectName("frmAttachDb");
    setWindowTitle("Attach Database");
    setModal(true);

    auto* heading =
        new QLabel("Specify database name and files to be attached to Source Server", this);
    heading->setObjectName("lblHeading");
    const char* captions[3] = {"Database File:", "Log File:", "Database Name:"};
    QLabel* labels[3];
    for (int i = 0; i < 3; ++i) {
        labels[i] = new QLabel(captions[i], this);
        txtPath_[i] = new QLineEdit(this);
        txtPath_[i]->setObjectName(QString("txtPath(%1)").arg(i));
        txtPath_[i]->setMinimumWidth(330);
        txtPath_[i]->installEventFilter(this);
    }
    for (int i = 0; i < 2; ++i) {
        cmdFileSelect_[i] = new QPushButton("...", this);
        cmdFileSelect_[i]->setObjectName(QString("cmdFileSelect(%1)").arg(i));
        cmdFileSelect_[i]->setFixedWidth(32);
        cmdFileSelect_[i]->setAutoDefault(false);
        connect(cmdFileSelect_[i], &QPushButton::clicked, this,
                [this, i] { cmdFileSelect_Click(i); });
    }
    chkAttachSingleFile_ = new QCheckBox("Attach single file", this);
    chkAttachSingleFile_->setObjectName("chkAttachSingleFile");
    auto* info = new QLabel("When option \"Attach single file\" is used, the server builds a new "
                            "log file and performs additional cleanup work to remove replication "
                            "from the newly attached database.",
                            this);
    info->setObjectName("lblInfo");
    info->setWordWrap(true);
    cmdOK_ = new QPushButton("&Attach", this);
    cmdOK_->setObjectName("cmdOK");
    cmdOK_->setDefault(true);
    cmdCancel_ = new QPushButton("&Cancel", this);
    cmdCancel_->setObjectName("cmdCancel");
    cmdCancel_->setAutoDefault(false);

    auto* grid = new QGridLayout;
    const int order[3] = {kBoxDatabaseName, kBoxDatabaseFile, kBoxLogFile};
    for (int row = 0; row < 3; ++row) {
        const int i = order[row];
        grid->addWidget(labels[i], row, 0);
        grid->addWidget(txtPath_[i], row, 1);
        if (i != kBoxDatabaseName)
            grid->addWidget(cmdFileSelect_[i], row, 2);
    }
    grid->addWidget(chkAttachSingleFile_, 3, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK_);
    buttons->addWidget(cmdCancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addSpacing(6);
    layout->addLayout(grid);
    layout->addWidget(info);
    layout->addLayout(buttons);

    connect(chkAttachSingleFile_, &QCheckBox::clicked, this,
            &frmAttachDb::chkAttachSingleFile_Click);
    connect(cmdOK_, &QPushButton::clicked, this, &frmAttachDb::cmdOK_Click);
    connect(cmdCancel_, &QPushButton::clicked, this, &QDialog::reject);
    setTabOrder(txtPath_[kBoxDatabaseName], txtPath_[kBoxDatabaseFile]);
    setTabOrder(txtPath_[kBoxDatabaseFile], cmdFileSelect_[0]);
    setTabOrder(cmdFileSelect_[0], txtPath_[kBoxLogFile]);

    adjustSize();
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

frmAttachDb::~frmAttachDb() = default;

bool frmAttachDb::ShowUp(int plng_server_index) {
    serverIndex_ = plng_server_index;
    attached_ = false;
    exec();
    return attached_;
}

void frmAttachDb::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    activated_ = true;
}

bool frmAttachDb::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn)
        if (auto* box = qobject_cast<QLineEdit*>(watched))
            QTimer::singleShot(0, box, [box] { box->selectAll(); });
    return QDialog::eventFilter(watched, event);
}

void frmAttachDb::chkAttachSingleFile_Click() {
    QLineEdit* log = txtPath_[kBoxLogFile];
    if (chkAttachSingleFile_->isChecked()) {
        SetBoxBackground(log, QColor(0xE0, 0xE0, 0xE0));
        log->setEnabled(false);
        log->setReadOnly(true);
        log->clear();
        cmdFileSelect_[1]->setEnabled(false);
    } else {
        SetBoxBackground(log, Qt::white);
        log->setEnabled(true);
        log->setReadOnly(false);
        cmdFileSelect_[1]->setEnabled(true);
    }
}

void frmAttachDb::cmdFileSelect_Click(int index) {
    const bool data = index == 0;
    const std::string extension = data ? "mdf" : "ldf";
    const std::string kind = data ? "SQL Server Database files (*." : "SQL Server Log files (*.";
    FileDialogRequest request;
    request.save = false;
    request.title = data ? "Select Database File" : "Select Log File";
    request.filter = kind + extension + ")|*." + extension;
    request.proposedPath = Paths().ProgramFolder;
    request.flags = 0;
    // No answer is the dialog's cancel, which ends the command quietly.
    if (auto chosen = CurrentPrompter().FileDialog(request))
        txtPath_[index]->setText(Q(*chosen));
}

bool frmAttachDb::Refuse(int box, const std::string& message) {
    CurrentPrompter().MessageBox(MsgIcon::Warning, kExecutableName, message);
    txtPath_[box]->setFocus(Qt::OtherFocusReason);
    return false;
}

bool frmAttachDb::Validate() {
    const bool single = chkAttachSingleFile_->isChecked();
    const std::string name = Trimmed(txtPath_[kBoxDatabaseName]);
    const std::string dataFile = Trimmed(txtPath_[kBoxDatabaseFile]);
    const std::string logFile = Trimmed(txtPath_[kBoxLogFile]);
    if (name.empty())
        return Refuse(kBoxDatabaseName, "Please specify database name.");
    if (dataFile.empty())
        return Refuse(kBoxDatabaseFile, "Please specify database file.");
    if (!single && logFile.empty())
        return Refuse(kBoxLogFile, "Please specify log file.");
    // Checked on this computer: the paths must be valid here and on the server alike.
    if (!FileExistsHere(dataFile))
        return Refuse(kBoxDatabaseFile, "File " + dataFile + " doesn't exist.");
    if (!single && !FileExistsHere(logFile))
        return Refuse(kBoxLogFile, "File " + logFile + " doesn't exist.");
    return true;
}

void frmAttachDb::cmdOK_Click() {
    if (!activated_ || busy_)
        return;
    busy_ = true;
    if (!Validate()) {
        busy_ = false;
        return;
    }
    AttachRequest request;
    request.DatabaseName = Trimmed(txtPath_[kBoxDatabaseName]);
    request.DatabaseFile = Trimmed(txtPath_[kBoxDatabaseFile]);
    request.SingleFile = chkAttachSingleFile_->isChecked();
    if (!request.SingleFile)
        request.LogFile = Trimmed(txtPath_[kBoxLogFile]);
    std::string errDescription;
    bool ok = false;
    {
        HourglassPointer hourglass;
        ok = AttachDatabaseFiles(PanelServers()[static_cast<size_t>(serverIndex_)], request,
                                 errDescription);
    }
    if (!ok) {
        CurrentPrompter().MessageBox(MsgIcon::Error, kExecutableName, errDescription);
        busy_ = false;
        return;
    }
    CurrentPrompter().MessageBox(MsgIcon::None, kExecutableName, "Attached Successfully");
    attached_ = true;
    busy_ = false;
    accept();
}

} // namespace orv
