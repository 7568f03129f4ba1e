#include "ui/main/explore_controller.h"

#include "explore/db_catalog.h"
#include "ui/main/frm_main.h"
#include "ui/main/snapshot_panel_controller.h"
#include "ui/tools/frm_find_object.h"
#include "ui/tools/frm_missing_refs.h"
#include "ui/widgets/qt_combo_control.h"
#include "ui/widgets/qt_list_control.h"
#include "ui/widgets/qt_text.h"
#include "ui/widgets/qt_text_view.h"
#include "util/prompter.h"
#include "util/text.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTextBlock>

namespace orv {

namespace {

constexpr const char* kCannotFind = "Cannot Find";
constexpr const char* kCannotShow = "Cannot Show";

// Shows a non-modal tool window on top, creating it when there is none.
template <typename Window> void Present(Window* w) {
    w->show();
    w->raise();
    w->activateWindow();
}

} // namespace

void ExploreController::Wire() {
    catalogCache_ = std::make_shared<DbCatalogCache>();
    for (const char* name : {"mnuToolsFind", "mnuSep6", "mnuSep5", "mnuFileRefresh(0)",
                             "mnuFileRefresh(1)", "mnuFileSep4"})
        if (QAction* a = Main().MenuItem(name))
            a->setVisible(true);
    for (int i = 0; i < 2; ++i) {
        if (QAction* a = Main().MenuItem(Indexed("mnuToolsFindInDb", i)))
            connect(a, &QAction::triggered, this, [this, i] { FindObject(i); });
        if (QAction* a = Main().MenuItem(Indexed("mnuFileRefresh", i)))
            connect(a, &QAction::triggered, this, [this, i] { RefreshPanel(i); });
        if (auto* find = Main().findChild<QPushButton*>(Q(Indexed("cmdFind", i))))
            connect(find, &QPushButton::clicked, this, [this, i] { FindObject(i); });
    }
    if (QAction* a = Main().MenuItem("mnuPopUpRefToNonExistObj"))
        connect(a, &QAction::triggered, this, [this] {
            const int panel = Main().PopupPanel();
            if (panel >= 0 && Main().CheckMdacVersion())
                CheckReferences(panel, true);
        });
}

frmFindObject* ExploreController::FindWindow(int panel) const {
    return findWindows_[static_cast<size_t>(panel & 1)];
}

frmMissingReferences* ExploreController::ReferencesWindow() const {
    return refsWindow_;
}

void ExploreController::FindObject(int panel) {
    frmMain& main = Main();
    if (panel < 0 || panel > 1 || main.Busy() || !main.CheckMdacVersion())
        return;
    if (main.Snapshots().Refuses(panel, SnapshotRefusal::NeedsLive, "Find Object"))
        return;
    const std::string db = main.DatabaseText(panel);
    if (db.empty()) {
        Inform(kCannotFind, "Cannot find objects - the list of databases is empty.");
        return;
    }
    const ServerEntry& server = PanelServer(panel);
    frmFindObject* w = findWindows_[panel];
    // One window per panel; it follows the panel to another server or database.
    if (w && (w->Database() != db ||
              w->windowTitle().toStdString() != FindObjectCaption(panel, server.Name, db))) {
        if (w->Loading())
            w->Stop();
        w->close();
        w->deleteLater();
        w = nullptr;
    }
    if (!w) {
        w = new frmFindObject(panel, server, db, catalogCache_, &main);
        w->setAttribute(Qt::WA_DeleteOnClose);
        w->onMatchChosen = [this, server = server.Name, db](int p, const SearchMatch& m) {
            const std::string highlight =
                m.LineText.substr(std::min(m.MatchStart, m.LineText.size()), m.MatchLength);
            ShowObjectAt(p, server, db, m.Type, m.Id, m.ListedName, m.Line,
                         m.Where == MatchWhere::Column ? m.Column : highlight);
        };
        findWindows_[panel] = w;
    }
    Present(w);
    w->PatternBox()->setFocus();
}

void ExploreController::CheckReferences(int panel, bool selectedObjectOnly) {
    frmMain& main = Main();
    if (panel < 0 || panel > 1 ||
        main.Snapshots().Refuses(panel, SnapshotRefusal::NeedsLive,
                                 "Finding references to non-existent objects"))
        return;
    const std::string db = main.DatabaseText(panel);
    if (db.empty()) {
        CurrentPrompter().MessageBox(
            MsgIcon::Warning, kCannotFind,
            "Cannot find references to non-existent objects - the list of databases is empty.");
        return;
    }
    std::string module;
    if (selectedObjectOnly) {
        const QtListControl& list = *main.ObjectList(panel);
        const int row = list.CurrentRow();
        module = row >= 0 && row < list.Count() ? list.CellText(row, 0) : "";
        if (module.empty()) {
            Inform(kCannotFind, "Cannot find references to non-existent objects - no object is "
                                "selected.");
            return;
        }
    }
    if (refsWindow_) {
        refsWindow_->Stop();
        refsWindow_->close();
    }
    const ServerEntry& server = PanelServer(panel);
    auto* w = new frmMissingReferences(panel, server, db, module, catalogCache_, &main);
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->onFindingChosen = [this, server = server.Name, db](int p, const ReferenceFinding& f) {
        const std::string listed = f.ModuleSchema.empty() || EqualsNoCase(f.ModuleSchema, "dbo")
                                       ? f.ModuleName
                                       : f.ModuleSchema + "." + f.ModuleName;
        ShowObjectAt(p, server, db, f.ModuleType, 0, listed, f.Line, f.Reference);
    };
    refsWindow_ = w;
    Present(w);
    w->Run();
}

void ExploreController::RefreshPanel(int panel) {
    frmMain& main = Main();
    if (panel < 0 || panel > 1 || main.Busy() || !main.CheckMdacVersion())
        return;
    ServerEntry& server = PanelServer(panel);
    if (server.Name.empty())
        return;
    const std::string db = main.DatabaseText(panel);
    const QtComboControl& owners = *main.OwnerSelector(panel);
    const std::string owner = owners.ListIndex() > 0 ? owners.List(owners.ListIndex()) : "";
    const QtListControl& list = *main.ObjectList(panel);
    const int row = list.CurrentRow();
    const std::string object = row >= 0 && row < list.Count() ? list.CellText(row, 0) : "";

    // The catalog read for searches is as old as the lists: both are read again.
    catalogCache_->DropServer(server.Name);
    if (!main.LoadServer(panel, false))
        return;
    if (!db.empty() && main.DatabaseText(panel) != db)
        frmMain::SelectListRowByName(*main.DatabaseList(panel), db, true, false);
    if (!owner.empty() && main.DatabaseText(panel) == db) {
        QtComboControl& o = *main.OwnerSelector(panel);
        for (int k = 0; k < o.ListCount(); ++k)
            if (o.List(k) == owner) {
                if (o.ListIndex() != k)
                    o.SetListIndex(k);
                break;
            }
    }
    if (!object.empty() && main.DatabaseText(panel) == db) {
        QtListControl& objects = *main.ObjectList(panel);
        const int again = frmMain::SelectListRowByName(objects, object, true, false);
        if (again >= 0 && objects.CurrentRow() != again)
            objects.SetCurrentRow(again);
    }
}

int ExploreController::ListedRow(int panel, int32_t id, const std::string& listedName) const {
    const QtListControl& list = *Main().ObjectList(panel);
    int row = -1;
    for (int r = 0; r < list.Count() && row < 0 && id != 0; ++r) {
        int32_t rowId = 0;
        if (ParseInt32(list.CellText(r, 2), rowId) && rowId == id)
            row = r;
    }
    for (int r = 0; r < list.Count() && row < 0; ++r)
        if (EqualsNoCase(list.CellText(r, 0), listedName))
            row = r;
    // A list that shows names without their schema.
    const size_t dot = listedName.rfind('.');
    for (int r = 0; r < list.Count() && row < 0 && dot != std::string::npos; ++r)
        if (EqualsNoCase(list.CellText(r, 0), listedName.substr(dot + 1)))
            row = r;
    return row;
}

bool ExploreController::ShowObjectAt(int panel, const std::string& server,
                                     const std::string& database, ObjectType type, int32_t id,
                                     const std::string& listedName, int line,
                                     const std::string& highlight) {
    frmMain& main = Main();
    if (panel < 0 || panel > 1 || main.Busy())
        return false;
    const char* side = panel == 0 ? "Source" : "Target";
    if (PanelServer(panel).Name != server) {
        Inform(kCannotShow, std::string("Cannot show the object - the ") + side +
                                " panel no longer shows the server " + server + ".");
        return false;
    }
    if (main.DatabaseText(panel) != database &&
        frmMain::SelectListRowByName(*main.DatabaseList(panel), database, true, false) < 0) {
        Inform(kCannotShow, std::string("Cannot show the object - the ") + side +
                                " panel does not list the database " + database + ".");
        return false;
    }
    if (main.CurrentType() != type) {
        const int index = OfferedTypeIndex(type);
        if (index < 0)
            return false;
        main.TypeSelector()->SetListIndex(index);
    }
    QtListControl& list = *main.ObjectList(panel);
    const int row = ListedRow(panel, id, listedName);
    if (row < 0) {
        Inform(kCannotShow, "Cannot show the object - " + listedName + " is not in the " + side +
                                " list of objects (an owner filter may hide it).");
        return false;
    }
    if (list.CurrentRow() != row || !list.Selected(row)) {
        list.SetSelected(row, true);
        list.SetCurrentRow(row);
    }
    list.MakeVisible(row);

    // The line, and the match in it, selected and scrolled into view.
    QtTextView& view = *main.TextView(panel);
    const int64_t start = view.LineStart(std::max(0, line - 1));
    if (start < 0)
        return true;
    const QString lineText = view.document()->findBlockByNumber(std::max(0, line - 1)).text();
    const QString wanted = Q(highlight);
    const qsizetype at = wanted.isEmpty() ? -1 : lineText.indexOf(wanted, 0, Qt::CaseInsensitive);
    view.SetSelStart(start + (at < 0 ? 0 : at));
    view.SetSelLength(at < 0 ? lineText.size() : wanted.size());
    view.centerCursor();
    return true;
}

} // namespace orv
