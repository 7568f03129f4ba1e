#include "ui/main/compare_all_controller.h"

#include "core/settings.h"
#include "dbcompare/db_compare_report.h"
#include "dbcompare/run_settings.h"
#include "dbcompare/snapshot_command.h"
#include "servers/server_list.h"
#include "ui/main/frm_db_compare_results.h"
#include "ui/main/frm_main.h"
#include "ui/main/snapshot_panel_controller.h"
#include "ui/tools/frm_db_compare_progress.h"
#include "ui/widgets/qt_combo_control.h"
#include "ui/widgets/qt_list_control.h"
#include "ui/widgets/qt_text_view.h"
#include "util/prompter.h"
#include "util/text.h"

#include <QAction>

#include <QPointer>
#include <QPushButton>
#include <algorithm>

namespace orv {

namespace {

constexpr const char* kOff = "OFF";
constexpr const char* kCannotCompare = "Cannot Compare";
constexpr const char* kCannotShow = "Cannot Show";
constexpr const char* kCannotSaveSnapshot = "Cannot Save Snapshot";

// The menu arrays' index order.
constexpr ObjectType kMenuTypes[7] = {kTypeTable,   kTypeProcedure,    kTypeFunction,  kTypeView,
                                      kTypeTrigger, kTypeRelationship, kTypeConstraint};

void InstallDefaultWindows(MainWindowDialogs& dialogs) {
    if (!dialogs.runDbCompare)
        dialogs.runDbCompare = [](QWidget* owner, const std::string& caption,
                                  const DbCompareRequest& request) {
            frmDbCompareProgress progress(owner);
            return progress.ShowUp(caption, request);
        };
    if (!dialogs.showDbCompareResults)
        dialogs.showDbCompareResults = [](QWidget* owner, DbCompareResultsPtr results,
                                          const std::string& caption,
                                          const DbCompareRequest& request) {
            auto* window =
                new frmDbCompareResults(std::move(results), caption, request.Selected, owner);
            window->SetRequest(request);
            window->setAttribute(Qt::WA_DeleteOnClose);
            QObject::connect(window, &QDialog::finished, window, &QObject::deleteLater);
            QPointer<frmMain> main = qobject_cast<frmMain*>(owner);
            window->onPairChosen = [main](const DbCompareResults& r, const PairVerdict& p) {
                if (main)
                    main->ShowComparedPair(r, p);
            };
            window->show();
        };
}

} // namespace

void CompareAllController::Wire() {
    InstallDefaultWindows(Main().Dialogs());
    for (int i = 0; i < 2; ++i)
        if (QAction* save = Main().MenuItem(Indexed("mnuFileSaveSnapshot", i))) {
            save->setVisible(true);
            connect(save, &QAction::triggered, this, [this, i] { SaveSnapshot(i); });
        }

    // The menu is hidden until its items are connected, which they are below.
    if (QAction* menu = Main().MenuItem("mnuComparison"))
        menu->setVisible(true);
    if (QAction* deploy = Main().MenuItem("mnuComparisonDeployScript"))
        connect(deploy, &QAction::triggered, this, [this] { DeploySelectedPair(); });
    if (QAction* all = Main().MenuItem("mnuComparisonAllObj"))
        connect(all, &QAction::triggered, this, [this] { Main().CompareAllObjects(); });
    if (auto* button = Main().findChild<QPushButton*>("cmdCompareAll"))
        connect(button, &QPushButton::clicked, this, [this] { Main().CompareAllObjects(); });
    for (int k = 0; k < 7; ++k) {
        const std::pair<const char*, bool> bulk[] = {{"mnuComparisonAllObjects_Simple", false},
                                                     {"mnuComparisonAllObjects", true}};
        for (const auto& [name, details] : bulk)
            if (QAction* a = Main().MenuItem(Indexed(name, k)))
                connect(a, &QAction::triggered, this,
                        [this, k, details = details] { Main().CompareAllOfType(k, details); });
        const std::pair<const char*, bool> selective[] = {
            {"mnuComparisonAllObjectsSelective_Simple", false},
            {"mnuComparisonAllObjectsSelective", true}};
        for (const auto& [name, details] : selective)
            if (QAction* a = Main().MenuItem(Indexed(name, k)))
                connect(a, &QAction::triggered, this,
                        [this, k, details = details] { Main().CompareSelectedOfType(k, details); });
    }

    // Ctrl+click and Shift+click pick several objects for a selective comparison; a plain
    // click still picks one and shows it.
    for (int i = 0; i < 2; ++i)
        Main().ObjectList(i)->setSelectionMode(QAbstractItemView::ExtendedSelection);
}

void CompareAllController::CompareAllObjects() {
    std::vector<ObjectType> types;
    // Every type the selector offers, in its order: constraints only while analysed.
    const QtComboControl& selector = *Main().TypeSelector();
    for (int i = 0; i < selector.ListCount(); ++i)
        if (IsKnownObjectType(selector.ItemData(i)))
            types.push_back(selector.ItemData(i));
    Run(DbCompareKind::All, types, false);
}

void CompareAllController::CompareAllOfType(int typeIndex, bool details) {
    if (typeIndex < 0 || typeIndex > 6)
        return;
    const ObjectType type = kMenuTypes[typeIndex];
    Run(DbCompareKind::Bulk, {type}, details);
}

void CompareAllController::CompareSelectedOfType(int typeIndex, bool details) {
    if (typeIndex < 0 || typeIndex > 6)
        return;
    const ObjectType type = kMenuTypes[typeIndex];
    Run(DbCompareKind::Selective, {type}, details);
}

DbCompareResultsPtr CompareAllController::Run(DbCompareKind kind, std::vector<ObjectType> types,
                                              bool details, const ObjectFilter& filter) {
    frmMain& main = Main();
    if (main.Busy() || !main.CheckMdacVersion())
        return nullptr;
    if (main.DatabaseText(0).empty()) {
        Inform(kCannotCompare, "Cannot compare - the list of Source databases is empty.\r\n\r\n"
                               "Please connect to the server first (F5).");
        return nullptr;
    }
    if (main.DatabaseText(1).empty()) {
        Inform(kCannotCompare, "Cannot compare - the list of Target databases is empty.\r\n\r\n"
                               "Please choose a server in the Target panel first.");
        return nullptr;
    }
    if (types.empty())
        return nullptr;

    DbCompareRequest request;
    request.Kind = kind;
    request.Details = details;
    request.Types = types;
    request.Filter = filter;
    for (int i = 0; i < 2; ++i) {
        request.Server[i] = PanelServer(i);
        request.Database[i] = main.DatabaseText(i);
        // A panel showing a snapshot compares the snapshot itself, as snapshot:FILE does on
        // the command line: the side is named by its header, not by the panel's entry.
        if (const SnapshotBrowser* shown = main.Snapshots().Browser(i)) {
            const SnapshotHeader& header = shown->Snapshot()->Header;
            request.Server[i] = ServerEntry{};
            request.Server[i].Name = header.Server;
            request.Server[i].Version = header.VersionText;
            request.Server[i].VersionMajor = header.VersionMajor;
            request.Database[i] = header.Database;
            request.Snapshot[i] = shown->Snapshot();
            request.SnapshotFile[i] = shown->File();
        }
    }
    if (kind == DbCompareKind::Selective && !GatherSelected(types.front(), request))
        return nullptr;
    ApplyCurrentSettings(request);

    // The menu item's caption names the run in the progress and results windows.
    DbCompareResults named;
    named.Kind = kind;
    named.Details = details;
    named.Types = types;
    const std::string caption = DbCompareTitle(named);

    main.SetBusy(true);
    DbCompareResultsPtr results = main.Dialogs().runDbCompare(&main, caption, request);
    main.SetBusy(false);
    if (!results)
        return nullptr;
    // An object whose script a folder's simulator refused is missing from that side for that
    // reason alone: it is not comparable, not only on the other side.
    for (int i = 0; i < 2; ++i)
        if (!main.Snapshots().FolderFailures(i).empty()) {
            auto marked = std::make_shared<DbCompareResults>(*results);
            MarkFolderFailures(*marked, i, main.Snapshots().FolderFailures(i));
            results = std::move(marked);
        }
    if (results->Outcome == RunOutcome::Failed)
        CurrentPrompter().MessageBox(
            MsgIcon::Warning, kCannotCompare,
            "The comparison did not complete: " +
                (results->Problem.empty() ? std::string("an error occurred.") : results->Problem) +
                "\r\n\r\nThe results show the objects compared before it ended.");
    if (main.Dialogs().showDbCompareResults)
        main.Dialogs().showDbCompareResults(&main, results, caption, request);
    return results;
}

void CompareAllController::SaveSnapshot(int panel) {
    frmMain& main = Main();
    if (main.Busy() || panel < 0 || panel > 1)
        return;
    if (main.Snapshots().Refuses(panel, SnapshotRefusal::NeedsLive, "Save Snapshot"))
        return;
    const char* side = panel == 0 ? "Source" : "Target";
    const std::string database = main.DatabaseText(panel);
    if (database.empty()) {
        Inform(kCannotSaveSnapshot, std::string("Cannot save a snapshot - the list of ") + side +
                                        " databases is empty.\r\n\r\nPlease connect to the "
                                        "server first (F5).");
        return;
    }
    FileDialogRequest ask;
    ask.save = true;
    ask.title = "Save Snapshot";
    ask.filter = "Snapshot files (*.orvsnap)|*.orvsnap";
    ask.proposedPath = database + kSnapshotExtension;
    ask.flags = 2054; // overwrite prompt, no read-only box, the path must exist
    const std::optional<std::string> path = CurrentPrompter().FileDialog(ask);
    if (!path || path->empty())
        return;
    QueryPlace place;
    place.Server = PanelServer(panel);
    place.Database = database;
    DbCompareRequest settings;
    ApplyCurrentSettings(settings);
    place.TimeoutSeconds = std::max(settings.TimeoutSeconds, 0);
    const std::string serverName = place.Server.Name;
    const std::string file = *path;
    main.SetBusy(true);
    frmDbCompareProgress progress(&main);
    const DbCompareResultsPtr results =
        progress.ShowUp("Save Snapshot", settings,
                        [place, serverName, file](const DbCompareRequest&, ProgressSink& sink,
                                                  const CancelToken& cancel) {
                            return SaveSnapshotRun(place, serverName, file, sink, cancel);
                        });
    main.SetBusy(false);
    if (!results || results->Outcome == RunOutcome::Cancelled)
        return;
    if (results->Outcome == RunOutcome::Failed) {
        CurrentPrompter().MessageBox(MsgIcon::Warning, kCannotSaveSnapshot, results->Problem);
        return;
    }
    CurrentPrompter().MessageBox(MsgIcon::Information, "Save Snapshot",
                                 "The snapshot of " + database + " was saved to " + file + ".");
}

void CompareAllController::DeploySelectedPair() {
    frmMain& main = Main();
    const ObjectType type = main.CurrentType();
    if (!IsKnownObjectType(type))
        return;
    DbCompareRequest sides;
    for (int i = 0; i < 2; ++i)
        if (const SnapshotBrowser* shown = main.Snapshots().Browser(i)) {
            sides.Snapshot[i] = shown->Snapshot();
            sides.SnapshotFile[i] = shown->File();
        }
    if (const std::string refusal = DeployRefusalText(sides); !refusal.empty()) {
        Inform("Deployment Script", refusal);
        return;
    }
    // The selective comparison of the picked objects, shown as every comparison is; its
    // results window then opens the deployment script of its pairs.
    const DbCompareResultsPtr results = Run(DbCompareKind::Selective, {type}, false);
    if (!results || !results->Complete())
        return;
    if (results->AllIdentical()) {
        Inform("Deployment Script", "Nothing to deploy: the selected " +
                                        ToLowerAscii(GetObjectTypeName(type, false)) +
                                        " are identical.");
        return;
    }
    // Earlier results windows may still be open: the one showing these results deploys.
    for (frmDbCompareResults* window : main.findChildren<frmDbCompareResults*>())
        if (&window->Results() == results.get()) {
            window->OpenDeploymentScript();
            return;
        }
}

bool CompareAllController::GatherSelected(ObjectType type, DbCompareRequest& request) {
    const ObjectType shown = Main().CurrentType();
    const std::string plural = ToLowerAscii(GetObjectTypeName(type, false));
    if (shown != type) {
        Inform(kCannotCompare,
               "Cannot compare - the lists show " + ToLowerAscii(GetObjectTypeName(shown, false)) +
                   ", not " + plural + ".\r\n\r\nPlease choose " + ObjectTypeCaption(type) +
                   " in the type selector (F6) and select the " + plural + " to compare.");
        return false;
    }
    for (int i = 0; i < 2; ++i) {
        const QtListControl& list = *Main().ObjectList(i);
        for (int r = 0; r < list.Count(); ++r) {
            if (!list.Selected(r))
                continue;
            SelectedObject o;
            o.Type = type;
            ParseInt32(list.CellText(r, 2), o.Id);
            o.ListedName = list.CellText(r, 0);
            request.Selected[i].push_back(std::move(o));
        }
    }
    if (request.Selected[0].empty() && request.Selected[1].empty()) {
        Inform(kCannotCompare, "Cannot compare - no " + plural +
                                   " are selected.\r\n\r\nPlease select the " + plural +
                                   " to compare in the Source and Target lists (Ctrl+click "
                                   "or Shift+click selects several).");
        return false;
    }
    return true;
}

bool CompareAllController::ShowComparedPair(const DbCompareResults& results,
                                            const PairVerdict& pair) {
    frmMain& main = Main();
    if (main.Busy())
        return false;
    for (int i = 0; i < 2; ++i) {
        if (PanelServer(i).Name != results.ServerName[i]) {
            Inform(kCannotShow,
                   std::string("Cannot show the pair - the ") + (i == 0 ? "Source" : "Target") +
                       " panel no longer shows the server " + results.ServerName[i] + ".");
            return false;
        }
        if (main.DatabaseText(i) != results.DbName[i] &&
            frmMain::SelectListRowByName(*main.DatabaseList(i), results.DbName[i], true, false) <
                0) {
            Inform(kCannotShow, std::string("Cannot show the pair - the ") +
                                    (i == 0 ? "Source" : "Target") +
                                    " panel does not list the database " + results.DbName[i] + ".");
            return false;
        }
    }
    if (main.CurrentType() != pair.Type) {
        const int index = OfferedTypeIndex(pair.Type);
        if (index < 0) {
            Inform(kCannotShow, "Cannot show the pair - " +
                                    ToLowerAscii(GetObjectTypeName(pair.Type, false)) +
                                    " are not offered in the type selector.");
            return false;
        }
        // Choosing the type reloads both lists.
        main.TypeSelector()->SetListIndex(index);
    }
    // Source first: with automatic Target selection it moves the Target list, which the
    // Target's own step then settles.
    const bool source = SelectPairSide(0, pair);
    const bool target = SelectPairSide(1, pair);
    return source && target;
}

bool CompareAllController::SelectPairSide(int panel, const PairVerdict& pair) {
    QtListControl& list = *Main().ObjectList(panel);
    const bool present = panel == 0 ? pair.HasSource : pair.HasTarget;
    if (!present) {
        // Nothing to face the other side: the panel shows no object rather than a stranger.
        list.SetTag(kOff);
        frmMain::SelectListRowByName(list, "", false, false);
        list.SetTag("");
        Main().TextView(panel)->SetText("");
        return true;
    }
    const ObjectRef& ref = panel == 0 ? pair.Source : pair.Target;
    const std::string qualified = ref.Schema.empty() ? ref.Name : ref.Schema + "." + ref.Name;
    int row = -1;
    // By id first (names may be listed with or without their schema), then by name.
    for (int r = 0; r < list.Count() && row < 0 && ref.Id != 0; ++r) {
        int32_t id = 0;
        if (ParseInt32(list.CellText(r, 2), id) && id == ref.Id)
            row = r;
    }
    for (int r = 0; r < list.Count() && row < 0; ++r)
        if (list.CellText(r, 0) == qualified || list.CellText(r, 0) == ref.Name)
            row = r;
    if (row < 0) {
        Inform(kCannotShow, "Cannot show the pair - " + qualified + " is not in the " +
                                (panel == 0 ? "Source" : "Target") +
                                " list of objects (an owner filter may hide it).");
        return false;
    }
    list.SetSelected(row, true);
    list.MakeVisible(row);
    return true;
}

} // namespace orv
