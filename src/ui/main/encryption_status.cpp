#include "ui/main/encryption_status.h"

#include "core/settings.h"
#include "ui/main/frm_main.h"

#include <QLabel>
#include <QStatusBar>

namespace orv {

namespace {
const char* const kPanelNames[2] = {"Source", "Target"};
} // namespace

EncryptionStatusController::EncryptionStatusController(frmMain& main) : MainWindowController(main) {
    for (int panel = 0; panel < 2; ++panel) {
        auto* label = new QLabel(main.statusBar());
        label->setObjectName(QString::fromStdString(Indexed("lblEncryption", panel)));
        label->setVisible(false);
        label->setContentsMargins(8, 0, 8, 0);
        main.statusBar()->addPermanentWidget(label);
        labels_[static_cast<size_t>(panel)] = label;
    }
}

void EncryptionStatusController::Connected(int panel, const std::string& database) {
    ServerEntry server = PanelServer(panel);
    if (server.Name.empty()) {
        Disconnected(panel);
        return;
    }
    if (server.VersionMajor == 0)
        server.VersionMajor = VersionMajorOf(server.Version);
    const EncryptionReport report = AskConnectionEncryption(server, database, Settings().Timeout);
    QLabel* label = Label(panel);
    label->setText(QString("%1: %2").arg(kPanelNames[panel], EncryptionStateText(report.State)));
    label->setToolTip(QString::fromStdString(server.Name + ": " + report.Reason));
    label->setVisible(true);
}

void EncryptionStatusController::Disconnected(int panel) {
    QLabel* label = Label(panel);
    label->clear();
    label->setToolTip({});
    label->setVisible(false);
}

} // namespace orv
