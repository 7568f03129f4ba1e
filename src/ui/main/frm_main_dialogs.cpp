// The windows the main window opens, wired to the real ones unless the caller supplied others.
#include "ui/main/frm_main.h"

namespace orv {

void frmMain::InstallDefaultDialogs() {
    // Filled in as the windows exist; a missing one leaves its command without a window.
}

} // namespace orv
