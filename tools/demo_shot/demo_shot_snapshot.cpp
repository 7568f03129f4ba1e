// A picture of the main window with a snapshot in the Source panel: the demo's Source database
// saved as a snapshot (File > Save Snapshot - Source), opened again through the Source panel's
// "Snapshot file..." entry, and one procedure compared with the live Target. The file dialogs
// are answered in memory. Run under Xvfb by the demo script, as demo_shot is.
#include "catalog/object_types.h"
#include "compare/compare_sel_procs.h"
#include "core/paths.h"
#include "core/settings.h"
#include "servers/server_list.h"
#include "ui/main/frm_main.h"
#include "ui/main/snapshot_panel_controller.h"
#include "ui/widgets/qt_combo_control.h"
#include "ui/widgets/qt_list_control.h"
#include "util/memory_prompter.h"

#include <QAction>
#include <QApplication>
#include <QPixmap>
#include <QTest>

#include <cstdio>
#include <string>

using namespace orv;

namespace {
void Settle(int ms = 300) {
    QTest::qWait(ms);
    QApplication::processEvents();
}
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: demo_shot_snapshot MAIN.png SNAPSHOT.orvsnap [OBJECT]\n");
        return 2;
    }
    const std::string file = argv[2];
    const std::string object = argc > 3 ? argv[3] : "usp_Report_ReorderList";
    MemoryPrompter prompter;
    SetCurrentPrompter(&prompter);
    InitFilePaths(ExecutableFolder(), DocumentsFolder(), TempFolder());
    LoadSettings(LoadServerList);
    // The verdict is printed, not shown in the modal report window.
    MainWindowDialogs dialogs;
    dialogs.showComparison = [](QWidget*, const ComparisonReportRequest&) {
        std::printf("%s\n", gstrReportText.c_str());
    };
    frmMain w(dialogs);
    w.FormLoad();
    w.show();
    Settle(1500);
    QtComboControl* target = w.ServerSelector(1);
    target->setCurrentIndex(target->count() > 3 ? 1 : 0);
    Settle(1000);

    prompter.fileAnswers.push_back(file);
    w.MenuItem("mnuFileSaveSnapshot(0)")->trigger();
    Settle(500);
    prompter.fileAnswers.push_back(file);
    QtComboControl* source = w.ServerSelector(0);
    source->setCurrentIndex(source->findText(kSnapshotFileEntry));
    Settle(1000);
    for (const ShownMessage& m : prompter.messages)
        std::printf("%s: %s\n", m.title.c_str(), m.text.c_str());

    QtComboControl* type = w.TypeSelector();
    type->setCurrentIndex(type->findData(kTypeProcedure));
    Settle(1000);
    QtListControl* list = w.ObjectList(0);
    for (int r = 0; r < list->Count(); ++r)
        if (list->CellText(r, 0) == object) {
            list->SetSelected(r, true);
            list->MakeVisible(r);
        }
    Settle(800);
    w.CompareSelectedObjects();
    Settle(500);
    w.grab().save(argv[1]);
    std::printf("%s\n", w.Snapshots().Caption(0).c_str());
    return w.Snapshots().Shows(0) ? 0 : 1;
}
