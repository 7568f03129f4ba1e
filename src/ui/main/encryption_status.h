// The status bar's word on each panel's connection: "Source: encrypted", "Target: not
// encrypted", or "encryption unknown" where neither the server nor the setting can tell; the
// tool tip says how it is known. Asked of the server each time a panel connects to one.
#pragma once

#include "servers/connection_encryption.h"
#include "ui/main/main_controller.h"

#include <array>
#include <string>

class QLabel;

namespace orv {

class EncryptionStatusController : public MainWindowController {
public:
    explicit EncryptionStatusController(frmMain& main);

    // The panel has connected to its server (`database` open): asks and shows.
    void Connected(int panel, const std::string& database);
    // The panel has no connection (cleared, or its server refused it).
    void Disconnected(int panel);
    QLabel* Label(int panel) const { return labels_[static_cast<size_t>(panel)]; }

private:
    std::array<QLabel*, 2> labels_{};
};

} // namespace orv
