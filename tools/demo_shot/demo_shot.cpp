// Drives the program on the demo to a marked comparison and saves pictures of the windows:
// the main window, and the report window with its verdict. Run by tools/demo-screenshot.sh
// under Xvfb, with the demo's configuration folder in XDG_CONFIG_HOME. With --maximized the
// main window fills the screen, the texts scroll together and the first difference is shown;
// a report picture named "-" is not saved.
#include "catalog/object_types.h"
#include "compare/compare_sel_procs.h"
#include "core/paths.h"
#include "core/settings.h"
#include "servers/server_list.h"
#include "ui/main/frm_main.h"
#include "ui/main/frm_main_differences.h"
#include "ui/main/frm_report.h"
#include "ui/widgets/qt_combo_control.h"
#include "ui/widgets/qt_list_control.h"
#include "ui/widgets/qt_prompter.h"
#include "ui/widgets/qt_text_view.h"

#include <QTextBlock>
#include <QTextCursor>

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <memory>

using namespace orv;

namespace {
void Settle(int ms = 300) {
    QTest::qWait(ms);
    QApplication::processEvents();
}

int RowOf(QtListControl* list, const std::string& name) {
    for (int r = 0; r < list->Count(); ++r)
        if (list->CellText(r, 0) == name)
            return r;
    return -1;
}
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    bool maximized = false;
    if (argc > 1 && std::string(argv[1]) == "--maximized") {
        maximized = true;
        --argc;
        ++argv;
    }
    if (argc < 3) {
        std::fprintf(stderr, "usage: demo_shot [--maximized] MAIN.png REPORT.png|- [OBJECT]\n");
        return 2;
    }
    const std::string reportShot = argv[2];
    QtPrompter prompter;
    SetCurrentPrompter(&prompter);
    InitFilePaths(ExecutableFolder(), DocumentsFolder(), TempFolder());
    LoadSettings(LoadServerList);
    const std::string object = argc > 3 ? argv[3] : "usp_Report_ReorderList";

    std::string verdict;
    MainWindowDialogs dialogs;
    std::unique_ptr<frmReport> report;
    dialogs.showComparison = [&](QWidget* owner, const ComparisonReportRequest& r) {
        verdict = gstrReportText;
        // Shown without its modal loop so that both windows can be photographed.
        (void)owner;
        report = std::make_unique<frmReport>();
        report->Describe(r.Caption, {});
        if (reportShot == "-")
            return;
        report->show();
        Settle(500);
        report->grab().save(reportShot.c_str());
    };
    frmMain w(dialogs);
    w.FormLoad();
    w.show();
    if (maximized) {
        w.showMaximized();
        Settle(500);
        // Without a window manager nothing answers the request: fill the screen ourselves.
        const QRect screen = w.screen()->availableGeometry();
        if (w.frameGeometry() != screen)
            w.setGeometry(screen);
    }
    Settle(1500);

    // The Target panel loads when its server is chosen: the demo's second stored server.
    QtComboControl* target = w.ServerSelector(1);
    target->setCurrentIndex(target->count() > 1 ? 1 : 0);
    Settle(1500);
    QtComboControl* type = w.TypeSelector();
    type->setCurrentIndex(type->findData(kTypeProcedure));
    Settle(1500);
    QtListControl* source = w.ObjectList(0);
    const int row = RowOf(source, object);
    if (row < 0) {
        std::fprintf(stderr, "demo_shot: %s is not listed\n", object.c_str());
        return 1;
    }
    source->SetSelected(row, true);
    source->MakeVisible(row);
    w.ObjectList(1)->MakeVisible(w.ObjectList(1)->CurrentRow());
    Settle(800);
    w.CompareSelectedObjects();
    if (maximized) {
        if (QAction* together = w.MenuItem("mnuPopUpScrollTogether"))
            together->setChecked(true);
        w.Differences()->Next();
    }
    // Bring the first coloured difference of each view into sight.
    for (int panel = 0; panel < 2 && !maximized; ++panel) {
        QtTextView* view = w.TextView(panel);
        for (int64_t line = 0; line < view->Lines(); ++line) {
            const QColor c = view->BackgroundAt(view->LineStart(line));
            if (c.isValid() && c != QColor(255, 255, 255)) {
                QTextCursor cursor(view->document()->findBlockByNumber(
                    static_cast<int>(std::min<int64_t>(line + 8, view->Lines() - 1))));
                view->setTextCursor(cursor);
                view->ensureCursorVisible();
                break;
            }
        }
    }
    Settle(500);
    w.grab().save(argv[1]);
    std::printf("%s\n", verdict.c_str());
    return verdict.empty() ? 1 : 0;
}
