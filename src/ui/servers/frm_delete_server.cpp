#include "ui/servers/frm_delete_server.h"

#include "core/error_report.h"
#include "core/program_info.h"
#include "servers/server_list.h"
#include "ui/widgets/qt_list_control.h"
#include "util/prompter.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <exception>

namespace orv {

namespace {
constexpr int32_t kDeleteUnexpectedError = 5;
}

frmDeleteServer::frmDeleteServer(QWidget* parent) : QDialog(parent) {
    setObjectName("frmDeleteServer");
    setWindowTitle("Remove Server");
    setModal(true);

    lblSelect_ = new QLabel("Select Server to be removed from the list.", this);
    lblSelect_->setObjectName("lblSelect");
    lstServers_ = new QtListControl(this);
    lstServers_->setObjectName("lstServers");
    lstServers_->AddColumn("Server", 280);
    lstServers_->header()->hide();
    lstServers_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    lstServers_->SetToolTipText("List of SQL servers");
    lblSelect_->setBuddy(lstServers_);

    cmdRemove_ = new QPushButton("&Remove", this);
    cmdRemove_->setObjectName("cmdRemove");
    cmdRemove_->setToolTip("Remove selected server from the list");
    cmdRemove_->setDefault(true);
    cmdExit_ = new QPushButton("E&xit", this);
    cmdExit_->setObjectName("cmdExit");
    cmdExit_->setToolTip("Close dialog (Esc)");
    cmdExit_->setAutoDefault(false);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(cmdRemove_);
    buttons->addWidget(cmdExit_);
    buttons->addStretch();
    auto* row = new QHBoxLayout;
    row->addWidget(lstServers_, 1);
    row->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblSelect_);
    layout->addLayout(row);
    resize(420, 240);

    connect(cmdRemove_, &QPushButton::clicked, this, &frmDeleteServer::Remove);
    connect(cmdExit_, &QPushButton::clicked, this, &QDialog::reject);

    FillServerListBox(*lstServers_);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void frmDeleteServer::ShowUp(bool& pblnServerDeleted) {
    exec();
    pblnServerDeleted = listChanged_;
    listChanged_ = false;
}

void frmDeleteServer::Remove() {
    try {
        Prompter& prompter = CurrentPrompter();
        int row = -1;
        for (int i = 0; i < lstServers_->Count() && row < 0; ++i)
            if (lstServers_->Selected(i))
                row = i;
        if (row < 0) {
            prompter.MessageBox(MsgIcon::Information, kExecutableName,
                                "Please select the server to be removed from the list.");
            lstServers_->setFocus(Qt::OtherFocusReason);
            return;
        }
        const std::string name = lstServers_->CellText(row, 0);
        const MsgAnswer answer =
            prompter.MessageBox(MsgIcon::Question, "Confirm Removing Server",
                                "Are you sure that you want to remove\r\n\r\n" + name +
                                    "\r\n\r\nfrom the list of servers?",
                                MsgButtons::YesNo);
        if (answer != MsgAnswer::Yes)
            return;
        RemoveServerFromList(name);
        LoadServerList();
        ResetPanelServers();
        listChanged_ = true;
        accept();
    } catch (const std::exception& e) {
        ReportUnexpected(kDeleteUnexpectedError, e.what(), "frmDeleteServer", "cmdRemove_Click");
    }
}

} // namespace orv
