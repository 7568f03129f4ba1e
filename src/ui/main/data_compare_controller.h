// The data comparisons of the main window: the Data Comparisons menu, F9 and the Compare Data
// button. Each gathers the table pairs of its scope from the panels, runs with its progress
// window and shows a results window; a single pair without a usable key first asks for one.
#pragma once

#include "dbcompare/data_compare.h"
#include "dbcompare/saved_replay.h"
#include "ui/main/data_compare_key_offer.h"
#include "ui/main/main_controller.h"

namespace orv {

class DataCompareController : public MainWindowController {
public:
    using MainWindowController::MainWindowController;

    // The menu items and button, and the default progress, key and results windows.
    void Wire();

    void Run(DataCompareScope scope);
    // A saved data comparison on the panels' servers and databases: its progress window, the
    // export and print the process asks for, then its results window.
    bool RunSaved(const ReplayPlan& plan);

private:
    bool GatherPairs(DataCompareScope scope, DataCompareRequest& request);
};

} // namespace orv
