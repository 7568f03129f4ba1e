// Saved comparison processes in the main window: File > Run Saved Comparison Process (Ctrl+F5)
// opens the list of processes; running one sets the two panels up as saved (server, database,
// type, objects), runs the comparison as its menu item would, shows its report or results,
// and exports and prints as the process says.
#pragma once

#include "dbcompare/saved_replay.h"
#include "ui/main/main_controller.h"

#include <cstdint>

namespace orv {

class CompareAllController;
class DataCompareController;

class SavedProcessController : public MainWindowController {
public:
    // Whole-database and data comparisons run as their own controllers run them.
    SavedProcessController(frmMain& main, CompareAllController& compareAll,
                           DataCompareController& dataCompare)
        : MainWindowController(main), compareAll_(compareAll), dataCompare_(dataCompare) {}

    // The menu item and the default list window.
    void Wire();

    // The list window, then the chosen process run.
    void RunCommand();
    // False, with a message, when the process cannot be run.
    bool Run(int32_t number);

private:
    bool SetUpPanels(const ReplayPlan& plan);
    // One panel on the saved server and database.
    bool SetUpPanel(int side, const ReplayPlan& plan);
    // The saved objects picked in both lists, as Ctrl+clicks would.
    void PickSavedObjects(const ReplayPlan& plan);
    // A single pair: the comparison the F7 command runs, its report after the export.
    bool RunSinglePair(const ReplayPlan& plan);
    void ExportAndPrint(const ReplayPlan& plan, const DbCompareResults& results);

    CompareAllController& compareAll_;
    DataCompareController& dataCompare_;
};

} // namespace orv
