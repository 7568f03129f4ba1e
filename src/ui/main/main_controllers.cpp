#include "ui/main/main_controllers.h"

namespace orv {

MainControllers::MainControllers(frmMain& main)
    : compareAll(main), dataCompare(main), explore(main),
      savedProcesses(main, compareAll, dataCompare), encryption(main), snapshots(main) {
    compareAll.Wire();
    savedProcesses.Wire();
    explore.Wire();
    dataCompare.Wire();
}

} // namespace orv
