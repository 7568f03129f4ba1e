#include "ui/servers/frm_add_server.h"

#include "core/error_report.h"
#include "core/help_topic.h"
#include "core/log.h"
#include "core/program_info.h"
#include "servers/connection_string.h"
#include "servers/server_list.h"
#include "servers/server_probe.h"
#include "util/prompter.h"
#include "util/text.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>

#include <exception>

namespace orv {

namespace {
// Classic "Invalid procedure call", the number a failed library call is reported under.
constexpr int32_t kErrUnexpected = 5;
constexpr int kHelpTopicAddServer = 60;

QLabel* MakeLabel(const char* name, const char* text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}

QLineEdit* MakeBox(const char* name, const char* tip, QWidget* parent) {
    auto* b = new QLineEdit(parent);
    b->setObjectName(name);
    b->setToolTip(tip);
    return b;
}

QPushButton* MakeButton(const char* name, const char* text, const char* tip, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setToolTip(tip);
    return b;
}

void SetBoxBackground(QLineEdit* box, const QColor& colour) {
    QPalette p = box->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        p.setColor(group, QPalette::Base, colour);
    box->setPalette(p);
}

std::string Text(const QLineEdit* box) {
    return box->text().toStdString();
}
} // namespace

frmAddServer::frmAddServer(QWidget* parent) : QDialog(parent) {
    WriteLogLine("Loading frmAddServer");
    setObjectName("frmAddServer");
    setWindowTitle("Add SQL Server");
    setModal(true);

    txtServer_ = MakeBox("txtServer", "SQL Server name", this);
    txtDatabase_ = MakeBox("txtDatabase", "SQL Server name", this);
    optGen_[1] = new QRadioButton("SQL Server authentication", this);
    optGen_[1]->setObjectName("optGen(1)");
    optGen_[0] = new QRadioButton("Windows authentication", this);
    optGen_[0]->setObjectName("optGen(0)");
    for (QRadioButton* o : optGen_)
        o->setToolTip("Authentication mode");

    fraLogin_ = new QGroupBox(this);
    fraLogin_->setObjectName("fraLogin");
    lblGen2_ = MakeLabel("lblGen(2)", "Login name:", fraLogin_);
    lblGen3_ = MakeLabel("lblGen(3)", "Password:", fraLogin_);
    txtLogin_ = MakeBox("txtLogin", "Login name", fraLogin_);
    txtPassword_ = MakeBox("txtPassword", "Password", fraLogin_);
    txtPassword_->setEchoMode(QLineEdit::Password);
    // The classic password box shows one "*" per character, not the style's bullet.
    txtPassword_->setStyleSheet("lineedit-password-character: 42");

    // TLS to the server: asked for when the server offers it, demanded, or declined.
    cboEncryption_ = new QComboBox(this);
    cboEncryption_->setObjectName("cboEncryption");
    cboEncryption_->setToolTip("Encryption of the connection: request uses TLS when the server "
                               "offers it, require refuses a server without it, off never asks");
    for (const char* setting : kEncryptionSettings)
        cboEncryption_->addItem(setting);
    // The CA whose signature the server's certificate must carry; empty: not checked.
    txtCAFile_ = MakeBox("txtCAFile",
                         "PEM file of the CA that signed the server's certificate (empty: the "
                         "certificate is not checked)",
                         this);
    cmdCAFile_ = MakeButton("cmdCAFile", "...", "Choose the CA certificate file", this);
    cmdCAFile_->setAutoDefault(false);

    cmdOK_ = MakeButton("cmdOK", "OK", "Accept changes and close dialog (Enter)", this);
    cmdOK_->setDefault(true);
    cmdCancel_ = MakeButton("cmdCancel", "Cancel", "Cancel changes and close dialog (Esc)", this);
    cmdCancel_->setAutoDefault(false);
    cmdHelp_ = MakeButton("cmdHelp", "Help", "Display help file (F1)", this);
    cmdHelp_->setAutoDefault(false);

    auto* login = new QGridLayout(fraLogin_);
    login->addWidget(lblGen2_, 0, 0);
    login->addWidget(txtLogin_, 0, 1);
    login->addWidget(lblGen3_, 1, 0);
    login->addWidget(txtPassword_, 1, 1);

    auto* grid = new QGridLayout;
    grid->addWidget(MakeLabel("lblGen(0)", "SQL Server:", this), 0, 0);
    grid->addWidget(txtServer_, 0, 1);
    grid->addWidget(MakeLabel("lblGen(1)", "Database:", this), 1, 0);
    grid->addWidget(txtDatabase_, 1, 1);
    grid->addWidget(MakeLabel("lblGen(4)", "Connect using:", this), 2, 0, Qt::AlignTop);
    auto* options = new QVBoxLayout;
    options->addWidget(optGen_[1]);
    options->addWidget(optGen_[0]);
    grid->addLayout(options, 2, 1);
    grid->addWidget(fraLogin_, 3, 1);
    grid->addWidget(MakeLabel("lblGen(5)", "Encryption:", this), 4, 0);
    grid->addWidget(cboEncryption_, 4, 1, Qt::AlignLeft);
    grid->addWidget(MakeLabel("lblGen(6)", "CA certificate:", this), 5, 0);
    auto* caFile = new QHBoxLayout;
    caFile->addWidget(txtCAFile_);
    caFile->addWidget(cmdCAFile_);
    grid->addLayout(caFile, 5, 1);
    grid->setColumnMinimumWidth(1, 260);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK_);
    buttons->addWidget(cmdCancel_);
    buttons->addWidget(cmdHelp_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(6);
    layout->addLayout(buttons);

    connect(optGen_[1], &QRadioButton::clicked, this, [this] { SelectAuthentication(1); });
    connect(optGen_[0], &QRadioButton::clicked, this, [this] { SelectAuthentication(0); });
    connect(cmdOK_, &QPushButton::clicked, this, &frmAddServer::OK);
    connect(cmdCancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(cmdHelp_, &QPushButton::clicked, this, &frmAddServer::OpenHelp);
    connect(cmdCAFile_, &QPushButton::clicked, this, &frmAddServer::ChooseCAFile);

    optGen_[1]->setChecked(true);
    SelectAuthentication(1);
    txtDatabase_->setText("master");

    adjustSize();
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

frmAddServer::~frmAddServer() = default;

void frmAddServer::ShowUp(bool& pblnServerAdded) {
    exec();
    pblnServerAdded = listChanged_;
    listChanged_ = false;
}

void frmAddServer::SelectAuthentication(int index) {
    const bool sqlAuth = index == 1;
    fraLogin_->setEnabled(sqlAuth);
    lblGen2_->setEnabled(sqlAuth);
    lblGen3_->setEnabled(sqlAuth);
    if (!sqlAuth) {
        txtLogin_->clear();
        txtPassword_->clear();
    }
    const QColor background =
        sqlAuth ? QColor(Qt::white) : fraLogin_->palette().color(QPalette::Window);
    SetBoxBackground(txtLogin_, background);
    SetBoxBackground(txtPassword_, background);
}

void frmAddServer::SelectAndFocus(QLineEdit* box) {
    box->selectAll();
    box->setFocus(Qt::OtherFocusReason);
}

void frmAddServer::ChooseCAFile() {
    FileDialogRequest request;
    request.save = false;
    request.title = "CA certificate";
    request.filter = "Certificates (*.pem;*.crt)|*.pem;*.crt|All files (*.*)|*.*";
    request.proposedPath = Text(txtCAFile_);
    if (std::optional<std::string> path = CurrentPrompter().FileDialog(request))
        txtCAFile_->setText(QString::fromStdString(*path));
}

void frmAddServer::OK() {
    try {
        WriteLogLine("Unloading cmdOK_Click");
        Prompter& prompter = CurrentPrompter();
        const std::string server = Trim(Text(txtServer_));
        if (server.empty()) {
            prompter.MessageBox(MsgIcon::None, kExecutableName, "Please enter server name.");
            SelectAndFocus(txtServer_);
            return;
        }
        const std::string database = Trim(Text(txtDatabase_));
        if (database.empty()) {
            prompter.MessageBox(MsgIcon::None, kExecutableName, "Please enter database name.");
            txtDatabase_->setFocus(Qt::OtherFocusReason);
            return;
        }
        const bool sqlAuth = optGen_[1]->isChecked();
        std::string login, password;
        if (sqlAuth) {
            login = Trim(Text(txtLogin_));
            if (login.empty()) {
                prompter.MessageBox(MsgIcon::None, kExecutableName, "Please enter Login name.");
                txtLogin_->setFocus(Qt::OtherFocusReason);
                return;
            }
            password = Trim(Text(txtPassword_));
        }
        if (ServerExists(server)) {
            prompter.MessageBox(MsgIcon::None, kExecutableName,
                                "This server is already added to the list.");
            txtServer_->setFocus(Qt::OtherFocusReason);
            return;
        }

        ServerEntry entry;
        entry.Name = server;
        entry.SQLAuth = sqlAuth;
        entry.LoginName = login;
        entry.Pwd = password;
        entry.MRUDb = database;
        entry.Encryption = cboEncryption_->currentText().toStdString();
        entry.CAFile = Trim(Text(txtCAFile_));
        entry.EntryNumber = 0;
        std::string reason;
        if (TestConnection(entry, &reason)) {
            ServerAddToList(entry);
            LoadServerList();
            ResetPanelServers();
            listChanged_ = true;
            accept();
            return;
        }
        // The server's own reason (a refused login, a database it cannot open) follows on the
        // next line: "does not exist or access denied" alone leaves the user guessing.
        prompter.MessageBox(MsgIcon::Warning, "Cannot Connect To The Server",
                            "Cannot connect to the server - server does not exist or access "
                            "denied." +
                                (reason.empty() ? std::string() : "\r\n" + reason) +
                                "\r\n\r\nPlease enter correct server data.");
        SelectAndFocus(txtServer_);
    } catch (const std::exception& e) {
        ReportUnexpected(kErrUnexpected, e.what(), "frmAddServer", "cmdOK_Click");
    }
}

void frmAddServer::OpenHelp() {
    ShowHelpTopic(kHelpTopicAddServer);
}

void frmAddServer::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        event->accept();
        OpenHelp();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmAddServer::done(int result) {
    if (!unloaded_) {
        unloaded_ = true;
        WriteLogLine("Unloading frmAddServer");
    }
    QDialog::done(result);
}

} // namespace orv
