// The controllers of the main window's features, owned by the window as one object: a new
// feature adds its controller here.
#pragma once

#include "ui/main/compare_all_controller.h"
#include "ui/main/data_compare_controller.h"
#include "ui/main/encryption_status.h"
#include "ui/main/explore_controller.h"
#include "ui/main/saved_process_controller.h"
#include "ui/main/snapshot_panel_controller.h"

namespace orv {

struct MainControllers {
    // Builds the controllers and wires their menu items, buttons and default windows.
    explicit MainControllers(frmMain& main);

    CompareAllController compareAll;
    DataCompareController dataCompare;
    ExploreController explore;
    SavedProcessController savedProcesses;
    EncryptionStatusController encryption;
    SnapshotPanelController snapshots;
};

} // namespace orv
