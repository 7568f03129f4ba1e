// The whole-database comparisons of the main window: Compare All Objects (menu, F8 and the
// toolbar button), the bulk comparisons (every object of one type) and the selective ones (the
// objects picked in the two lists), each run with its progress window and shown in a results
// window; and a pair chosen in that window shown in the panels.
#include "ui/main/frm_main.h"

#include "catalog/object_types.h"
#include "core/settings.h"
#include "dbcompare/db_compare_report.h"
#include "dbcompare/run_settings.h"
#include "servers/server_list.h"
#include "ui/main/frm_db_compare_results.h"
#include "ui/tools/frm_db_compare_progress.h"
#include "ui/widgets/qt_combo_control.h"
#include "ui/widgets/qt_list_control.h"
#include "ui/widgets/qt_text_view.h"
#include "util/prompter.h"
#include "util/text.h"

#include <QAction>
#include <QMenu>
#include <QPointer>
#include <QPushButton>

namespace orv {

namespace {

constexpr const char* kOff = "OFF";
constexpr const char* kCannotCompare = "Cannot Compare";
constexpr const char* kCannotShow = "Cannot Show";

// The menu arrays' index order.
constexpr ObjectType kMenuTypes[7] = {kTypeTable,   kTypeProcedure,    kTypeFunction,  kTypeView,
                                      kTypeTrigger, kTypeRelationship, kTypeConstraint};

std::string Indexed(const char* name, int i) {
    return std::string(name) + "(" + std::to_string(i) + ")";
}

void Inform(const std::string& title, const std::string& text) {
    CurrentPrompter().MessageBox(MsgIcon::Information, title, text);
}

} // namespace

void frmMain::WireDbCompareCommands() {
    if (!dialogs_.runDbCompare)
        dialogs_.runDbCompare = [](QWidget* owner, const std::string& caption,
                                   const DbCompareRequest& request) {
            frmDbCompareProgress progress(owner);
            return progress.ShowUp(caption, request);
        };
    if (!dialogs_.showDbCompareResults)
        dialogs_.showDbCompareResults = [](QWidget* owner, DbCompareResultsPtr results,
                                           const std::string& caption,
                                           const DbCompareRequest& request) {
            auto* window =
                new frmDbCompareResults(std::move(results), caption, request.Selected, owner);
            window->setAttribute(Qt::WA_DeleteOnClose);
            QObject::connect(window, &QDialog::finished, window, &QObject::deleteLater);
            QPointer<frmMain> main = qobject_cast<frmMain*>(owner);
            window->onPairChosen = [main](const DbCompareResults& r, const PairVerdict& p) {
                if (main)
                    main->ShowComparedPair(r, p);
            };
            window->show();
        };

    // The menu is on show now that its items act.
    if (QAction* menu = MenuItem("mnuComparison"))
        menu->setVisible(true);
    if (QAction* all = MenuItem("mnuComparisonAllObj"))
        connect(all, &QAction::triggered, this, [this] { CompareAllObjects(); });
    connect(cmdCompareAll_, &QPushButton::clicked, this, [this] { CompareAllObjects(); });
    for (int k = 0; k < 7; ++k) {
        const std::pair<const char*, bool> bulk[] = {{"mnuComparisonAllObjects_Simple", false},
                                                     {"mnuComparisonAllObjects", true}};
        for (const auto& [name, details] : bulk)
            if (QAction* a = MenuItem(Indexed(name, k)))
                connect(a, &QAction::triggered, this,
                        [this, k, details = details] { CompareAllOfType(k, details); });
        const std::pair<const char*, bool> selective[] = {
            {"mnuComparisonAllObjectsSelective_Simple", false},
            {"mnuComparisonAllObjectsSelective", true}};
        for (const auto& [name, details] : selective)
            if (QAction* a = MenuItem(Indexed(name, k)))
                connect(a, &QAction::triggered, this,
                        [this, k, details = details] { CompareSelectedOfType(k, details); });
    }

    // Ctrl+click and Shift+click pick several objects for a selective comparison; a plain
    // click still picks one and shows it.
    for (QtListControl* list : pvlSqlObj_)
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
}

void frmMain::CompareAllObjects() {
    std::vector<ObjectType> types;
    // Every type the selector offers, in its order: constraints only while analysed.
    for (int i = 0; i < cmbType_->ListCount(); ++i)
        if (IsKnownObjectType(cmbType_->ItemData(i)))
            types.push_back(cmbType_->ItemData(i));
    RunDbCompareCommand(DbCompareKind::All, types, false);
}

void frmMain::CompareAllOfType(int typeIndex, bool details) {
    if (typeIndex < 0 || typeIndex > 6)
        return;
    const ObjectType type = kMenuTypes[typeIndex];
    RunDbCompareCommand(DbCompareKind::Bulk, {type}, details);
}

void frmMain::CompareSelectedOfType(int typeIndex, bool details) {
    if (typeIndex < 0 || typeIndex > 6)
        return;
    const ObjectType type = kMenuTypes[typeIndex];
    RunDbCompareCommand(DbCompareKind::Selective, {type}, details);
}

DbCompareResultsPtr frmMain::RunDbCompareCommand(DbCompareKind kind, std::vector<ObjectType> types,
                                                 bool details, const ObjectFilter& filter) {
    if (busy_ || !CheckMdacVersion())
        return nullptr;
    if (DatabaseText(0).empty()) {
        Inform(kCannotCompare, "Cannot compare - the list of Source databases is empty.\r\n\r\n"
                               "Please connect to the server first (F5).");
        return nullptr;
    }
    if (DatabaseText(1).empty()) {
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
        request.Server[i] = PanelServers()[static_cast<size_t>(i)];
        request.Database[i] = DatabaseText(i);
    }
    if (kind == DbCompareKind::Selective) {
        const ObjectType type = types.front();
        const std::string plural = ToLowerAscii(GetObjectTypeName(type, false));
        if (CurrentType() != type) {
            Inform(kCannotCompare,
                   "Cannot compare - the lists show " +
                       ToLowerAscii(GetObjectTypeName(CurrentType(), false)) + ", not " + plural +
                       ".\r\n\r\nPlease choose " + ObjectTypeCaption(type) +
                       " in the type selector (F6) and select the " + plural + " to compare.");
            return nullptr;
        }
        for (int i = 0; i < 2; ++i) {
            const QtListControl& list = *pvlSqlObj_[i];
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
            return nullptr;
        }
    }
    ApplyCurrentSettings(request);

    // The menu item's caption names the run in the progress and results windows.
    DbCompareResults named;
    named.Kind = kind;
    named.Details = details;
    named.Types = types;
    const std::string caption = DbCompareTitle(named);

    busy_ = true;
    DbCompareResultsPtr results = dialogs_.runDbCompare(this, caption, request);
    busy_ = false;
    if (!results)
        return nullptr;
    if (results->Outcome == RunOutcome::Failed)
        CurrentPrompter().MessageBox(
            MsgIcon::Warning, kCannotCompare,
            "The comparison did not complete: " +
                (results->Problem.empty() ? std::string("an error occurred.") : results->Problem) +
                "\r\n\r\nThe results show the objects compared before it ended.");
    if (dialogs_.showDbCompareResults)
        dialogs_.showDbCompareResults(this, results, caption, request);
    return results;
}

bool frmMain::ShowComparedPair(const DbCompareResults& results, const PairVerdict& pair) {
    if (busy_)
        return false;
    for (int i = 0; i < 2; ++i) {
        if (PanelServers()[static_cast<size_t>(i)].Name != results.ServerName[i]) {
            Inform(kCannotShow,
                   std::string("Cannot show the pair - the ") + (i == 0 ? "Source" : "Target") +
                       " panel no longer shows the server " + results.ServerName[i] + ".");
            return false;
        }
        if (DatabaseText(i) != results.DbName[i] &&
            SelectListRowByName(*pvlDb_[i], results.DbName[i], true, false) < 0) {
            Inform(kCannotShow, std::string("Cannot show the pair - the ") +
                                    (i == 0 ? "Source" : "Target") +
                                    " panel does not list the database " + results.DbName[i] + ".");
            return false;
        }
    }
    if (CurrentType() != pair.Type) {
        int index = -1;
        for (int k = 0; k < cmbType_->ListCount(); ++k)
            if (cmbType_->ItemData(k) == pair.Type)
                index = k;
        if (index < 0) {
            Inform(kCannotShow, "Cannot show the pair - " +
                                    ToLowerAscii(GetObjectTypeName(pair.Type, false)) +
                                    " are not offered in the type selector.");
            return false;
        }
        // Choosing the type reloads both lists.
        cmbType_->SetListIndex(index);
    }
    // Source first: with automatic Target selection it moves the Target list, which the
    // Target's own step then settles.
    const bool source = SelectPairSide(0, pair);
    const bool target = SelectPairSide(1, pair);
    return source && target;
}

bool frmMain::SelectPairSide(int panel, const PairVerdict& pair) {
    QtListControl& list = *pvlSqlObj_[panel];
    const bool present = panel == 0 ? pair.HasSource : pair.HasTarget;
    if (!present) {
        // Nothing to face the other side: the panel shows no object rather than a stranger.
        list.SetTag(kOff);
        SelectListRowByName(list, "", false, false);
        list.SetTag("");
        txtTXProc_[panel]->SetText("");
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
