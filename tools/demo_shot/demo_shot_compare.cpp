// Drives the program on the demo to a whole-database comparison and saves a picture of the
// results window with a differing procedure chosen, and when asked one of the deployment
// script window made from it. Run by tools/demo-compare-screenshot.sh
// under Xvfb, with the demo's configuration folder in XDG_CONFIG_HOME.
#include "catalog/object_types.h"
#include "core/paths.h"
#include "core/settings.h"
#include "servers/server_list.h"
#include "ui/main/frm_db_compare_results.h"
#include "ui/main/frm_deploy_script.h"
#include "ui/main/frm_main.h"
#include "ui/widgets/qt_combo_control.h"
#include "ui/widgets/qt_prompter.h"

#include <QApplication>
#include <QPixmap>
#include <QTest>

#include <cstdio>

using namespace orv;

namespace {
void Settle(int ms = 300) {
    QTest::qWait(ms);
    QApplication::processEvents();
}
} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: demo_shot_compare RESULTS.png [OBJECT [DEPLOY.png]]\n");
        return 2;
    }
    QApplication app(argc, argv);
    QtPrompter prompter;
    SetCurrentPrompter(&prompter);
    InitFilePaths(ExecutableFolder(), DocumentsFolder(), TempFolder());
    LoadSettings(LoadServerList);
    const std::string object = argc > 2 ? argv[2] : "usp_Report_ReorderList";

    frmMain w;
    w.FormLoad();
    w.show();
    Settle(1500);
    QtComboControl* target = w.ServerSelector(1);
    target->setCurrentIndex(target->count() > 1 ? 1 : 0);
    Settle(1500);
    w.CompareAllObjects();
    Settle(800);
    const auto windows = w.findChildren<frmDbCompareResults*>();
    if (windows.isEmpty()) {
        std::fprintf(stderr, "demo_shot_compare: no results window\n");
        return 1;
    }
    frmDbCompareResults* results = windows.last();
    results->resize(1280, 800);
    results->move(0, 0);
    // The chosen object, so the marked texts show.
    for (int row = 0; row < results->ShownCount(); ++row) {
        const PairVerdict* p = results->ShownPair(row);
        if (p->HasSource && p->Source.Name == object)
            results->SelectRow(row);
    }
    results->raise();
    results->activateWindow();
    Settle(800);
    results->grab().save(argv[1]);
    if (argc > 3) {
        frmDeployScript* deploy = results->OpenDeploymentScript();
        if (!deploy) {
            std::fprintf(stderr, "demo_shot_compare: no deployment script\n");
            return 1;
        }
        deploy->resize(1100, 720);
        deploy->move(40, 40);
        deploy->raise();
        deploy->activateWindow();
        Settle(800);
        deploy->grab().save(argv[3]);
    }
    const StatusCounts totals = results->Results().Totals();
    std::printf("%lld objects: %lld identical, %lld different, %lld only in source, %lld only in "
                "target, %lld not comparable\n",
                static_cast<long long>(totals.Total()),
                static_cast<long long>(totals[PairStatus::Identical]),
                static_cast<long long>(totals[PairStatus::Different]),
                static_cast<long long>(totals[PairStatus::OnlyInSource]),
                static_cast<long long>(totals[PairStatus::OnlyInTarget]),
                static_cast<long long>(totals[PairStatus::NotComparable]));
    return results->Results().Complete() ? 0 : 1;
}
