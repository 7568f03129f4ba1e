#include "ui/main/main_controller.h"

#include "servers/server_list.h"
#include "ui/main/frm_main.h"
#include "ui/widgets/qt_combo_control.h"
#include "util/prompter.h"

namespace orv {

ServerEntry& MainWindowController::PanelServer(int panel) {
    return PanelServers()[static_cast<size_t>(panel)];
}

int MainWindowController::OfferedTypeIndex(ObjectType type) const {
    const QtComboControl& types = *main_.TypeSelector();
    int index = -1;
    for (int k = 0; k < types.ListCount(); ++k)
        if (types.ItemData(k) == type)
            index = k;
    return index;
}

std::string MainWindowController::Indexed(const char* name, int i) {
    return std::string(name) + "(" + std::to_string(i) + ")";
}

void MainWindowController::Inform(const std::string& title, const std::string& text) {
    CurrentPrompter().MessageBox(MsgIcon::Information, title, text);
}

} // namespace orv
