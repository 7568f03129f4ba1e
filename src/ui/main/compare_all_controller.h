// The whole-database comparisons of the main window: Compare All Objects (menu, F8 and the
// toolbar button), the bulk comparisons (every object of one type) and the selective ones (the
// objects picked in the two lists), each run with its progress window and shown in a results
// window; and a pair chosen in that window shown in the panels.
#pragma once

#include "dbcompare/db_compare.h"
#include "ui/main/main_controller.h"

#include <vector>

namespace orv {

class CompareAllController : public MainWindowController {
public:
    using MainWindowController::MainWindowController;

    // The menu items, button and list modes, and the default progress and results windows.
    void Wire();

    void CompareAllObjects();
    // `typeIndex` is the menu index 0..6 (tables, procedures, functions, views, triggers,
    // relationships, constraints).
    void CompareAllOfType(int typeIndex, bool details);
    void CompareSelectedOfType(int typeIndex, bool details);
    // Runs a comparison of the panels' databases and shows its results; null when nothing ran.
    // `filter` leaves objects out by name (a saved process's patterns).
    DbCompareResultsPtr Run(DbCompareKind kind, std::vector<ObjectType> types, bool details,
                            const ObjectFilter& filter = {});
    // The deployment script of the pair selected in the panels (the pair F7 compares), after a
    // selective comparison of it; the objects picked in both lists when several are.
    void DeploySelectedPair();
    // File > Save Snapshot: writes a snapshot of the panel's database (Source 0, Target 1) to
    // a file the user names, with the progress window; failures in a message box.
    void SaveSnapshot(int panel);
    // Shows a compared pair in the panels; false (and a message) when the panels no longer
    // show the compared databases or the object.
    bool ShowComparedPair(const DbCompareResults& results, const PairVerdict& pair);

private:
    // The objects picked in the two lists for a selective comparison of `type`; false (and a
    // message) when the lists show another type or nothing is picked.
    bool GatherSelected(ObjectType type, DbCompareRequest& request);
    bool SelectPairSide(int panel, const PairVerdict& pair);
};

} // namespace orv
