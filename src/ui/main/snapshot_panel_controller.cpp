#include "ui/main/snapshot_panel_controller.h"

#include "catalog/listing.h"
#include "catalog/object_text.h"
#include "catalog/owners.h"
#include "catalog/script_folder_layout.h"
#include "core/settings.h"
#include "dbcompare/run_settings.h"
#include "dbcompare/script_folder_read.h"
#include "servers/server_list.h"
#include "ui/main/frm_main.h"
#include "ui/tools/frm_run_progress.h"
#include "ui/widgets/qt_combo_control.h"
#include "ui/widgets/qt_list_control.h"
#include "ui/widgets/qt_text_view.h"
#include "util/prompter.h"
#include "util/text.h"

#include <QLabel>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace orv {

namespace {

constexpr const char* kOff = "OFF";
constexpr const char* kCannotOpenSnapshot = "Cannot Open Snapshot";
constexpr const char* kCannotOpenFolder = "Cannot Open Scripts Folder";

RunProgressLook ReadLook() {
    RunProgressLook look;
    look.ObjectName = "frmSnapshotRead";
    look.Title = "Reading";
    look.ItemName = "lblObject";
    look.StopTip = "Stop reading (Esc)";
    look.Stopping = "Stopping...";
    look.HideUnsizedGauge = true;
    return look;
}

int64_t FileSize(const std::string& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    return ec ? 0 : static_cast<int64_t>(size);
}

} // namespace

std::string SnapshotSideTitle(const DbCompareRequest& request, int side) {
    if (!request.Snapshot[side])
        return "";
    if (std::filesystem::is_directory(request.SnapshotFile[side]))
        return request.SnapshotFile[side] + " (scripts folder)";
    return SnapshotTitle(request.Snapshot[side]->Header);
}

std::string DeployRefusalText(const DbCompareRequest& request) {
    const auto what = [&](int side) {
        return std::filesystem::is_directory(request.SnapshotFile[side]) ? "a scripts folder"
                                                                         : "a snapshot file";
    };
    if (request.Snapshot[1])
        return std::string("The Target is ") + what(1) +
               "; a deployment script is made for a live database.";
    // The command line deploys from either: it runs the scripts in a scratch simulator first.
    if (request.Snapshot[0])
        return std::string("The Source is ") + what(0) +
               "; the window makes a deployment script from a live database. 'orvane-cli "
               "deploy-script' makes one from " +
               (std::filesystem::is_directory(request.SnapshotFile[0]) ? "folder:<dir>"
                                                                       : "snapshot:<file>") +
               " as the Source.";
    return "";
}

bool SnapshotPanelController::IsSnapshotEntry(const std::string& text) {
    return text == kSnapshotFileEntry || text == kScriptsFolderEntry;
}

void SnapshotPanelController::EntryChosen(int panel, const std::string& entry) {
    frmMain& main = Main();
    if (main.Busy()) {
        RestoreSelector(panel);
        return;
    }
    std::shared_ptr<SnapshotBrowser> browser;
    std::vector<FolderScriptFailure> failures;
    const bool folder = entry == kScriptsFolderEntry;
    if (!Open(folder, browser, failures)) {
        RestoreSelector(panel);
        return;
    }
    folder_[Side(panel)] = folder;
    failures_[Side(panel)] = std::move(failures);
    Show(panel, std::move(browser));
}

bool SnapshotPanelController::Open(bool folder, std::shared_ptr<SnapshotBrowser>& browser,
                                   std::vector<FolderScriptFailure>& failures) {
    FileDialogRequest ask;
    ask.save = false;
    if (folder) {
        ask.title = "Open Scripts Folder";
        ask.filter = "Scripts folder manifest (orvane-folder.txt)|orvane-folder.txt";
        ask.proposedPath = kScriptFolderManifest;
    } else {
        ask.title = "Open Snapshot";
        ask.filter = "Snapshot files (*.orvsnap)|*.orvsnap";
    }
    ask.flags = 4096; // the file must exist
    const std::optional<std::string> answer = CurrentPrompter().FileDialog(ask);
    if (!answer || answer->empty())
        return false;
    std::string path = *answer;
    frmMain& main = Main();
    std::string error;
    bool read = false;
    bool stopped = false;

    if (folder) {
        // The manifest names the folder; a folder itself is taken as it is.
        if (!std::filesystem::is_directory(path))
            path = std::filesystem::path(path).parent_path().string();
        ScriptFolderRead folderRead;
        main.SetBusy(true);
        {
            frmRunProgress progress(ReadLook(), &main);
            progress.Run(path, [&](ProgressSink& sink, const CancelToken& cancel) {
                try {
                    read = ReadFolderSide(path, sink, cancel, folderRead, error);
                } catch (const std::exception& e) {
                    error = e.what();
                }
            });
            stopped = progress.StopRequested();
        }
        main.SetBusy(false);
        if (read && !stopped) {
            browser = SnapshotBrowser::OfFolder(folderRead.Snapshot, path);
            std::string refused;
            for (const FolderScriptFailure& f : folderRead.Failures)
                refused += (refused.empty() ? "" : "\r\n") + FolderFailureText(f);
            if (!refused.empty())
                CurrentPrompter().MessageBox(MsgIcon::Warning, "Scripts Folder",
                                             "The simulator refused these scripts; their "
                                             "objects are not comparable:\r\n\r\n" +
                                                 refused);
            failures = std::move(folderRead.Failures);
            return true;
        }
        if (!stopped)
            CurrentPrompter().MessageBox(MsgIcon::Warning, kCannotOpenFolder, error);
        return false;
    }

    auto snapshot = std::make_shared<CatalogSnapshot>();
    if (FileSize(path) <= kSnapshotReadInPlaceBytes) {
        read = ReadSnapshotFile(path, *snapshot, error);
    } else {
        main.SetBusy(true);
        {
            frmRunProgress progress(ReadLook(), &main);
            progress.Run(path, [&](ProgressSink& sink, const CancelToken& cancel) {
                try {
                    read = ReadSnapshotFileInSteps(path, *snapshot, sink, cancel, error);
                } catch (const std::exception& e) {
                    error = e.what();
                }
            });
            stopped = progress.StopRequested();
        }
        main.SetBusy(false);
    }
    if (stopped)
        return false;
    if (!read) {
        CurrentPrompter().MessageBox(MsgIcon::Warning, kCannotOpenSnapshot, error);
        return false;
    }
    browser = SnapshotBrowser::OfSnapshot(std::move(snapshot), path);
    return true;
}

void SnapshotPanelController::Show(int panel, std::shared_ptr<SnapshotBrowser> browser) {
    const CatalogSnapshot& s = *browser->Snapshot();
    // The panel's server entry names the snapshot, as a comparison's results name that side;
    // it is no stored server (nothing is remembered for it) and no command reaches a server
    // with it, the refusals below see to that.
    ServerEntry entry;
    entry.Name = browser->ServerName();
    entry.Version = s.Header.VersionText;
    entry.VersionMajor = s.Header.VersionMajor;
    PanelServer(panel) = entry;
    browsers_[Side(panel)] = std::move(browser);
    SetCaption(panel);
    Load(panel);
}

void SnapshotPanelController::Leave(int panel) {
    if (!browsers_[Side(panel)])
        return;
    browsers_[Side(panel)].reset();
    failures_[Side(panel)].clear();
    SetCaption(panel);
}

std::string SnapshotPanelController::Caption(int panel) const {
    const auto& b = browsers_[Side(panel)];
    return b ? b->Caption() : std::string();
}

void SnapshotPanelController::SetCaption(int panel) {
    frmMain& main = Main();
    auto* caption = main.findChild<QLabel*>(QString::fromStdString(Indexed("lblGen", 4 + panel)));
    auto* database = main.findChild<QLabel*>(QString::fromStdString(Indexed("lblGen", 2 + panel)));
    if (!caption)
        return;
    const size_t side = Side(panel);
    if (liveCaption_[side].isEmpty())
        liveCaption_[side] = caption->text();
    const std::string text = Caption(panel);
    if (text.empty()) {
        caption->setText(liveCaption_[side]);
        caption->setToolTip("");
        caption->setStyleSheet("");
        if (database)
            database->setVisible(true);
        return;
    }
    const QString full = QString::fromStdString(text);
    caption->setToolTip(full);
    caption->setStyleSheet("QLabel { color: #7a4b00; font-weight: bold; }");
    // The caption runs over the database list's heading, which the list itself then answers:
    // it shows the one database the snapshot holds. It stops at the panel's edge, shortened in
    // the middle when it must be (its tool tip says it whole).
    if (database)
        database->setVisible(false);
    caption->setText(full);
    const int room = main.TextView(panel)->geometry().right() - caption->x();
    const int wanted = caption->sizeHint().width();
    if (room > 0 && wanted > room) {
        const int margins = wanted - caption->fontMetrics().horizontalAdvance(full);
        caption->setText(caption->fontMetrics().elidedText(full, Qt::ElideMiddle, room - margins));
    }
    caption->resize(std::min(wanted, room > 0 ? room : wanted), caption->height());
    caption->raise();
}

void SnapshotPanelController::RestoreSelector(int panel) {
    QtComboControl& selector = *Main().ServerSelector(panel);
    const std::string want = Shows(panel)
                                 ? (folder_[Side(panel)] ? kScriptsFolderEntry : kSnapshotFileEntry)
                                 : PanelServer(panel).Name;
    const std::string saved = selector.Tag();
    selector.SetTag(kOff);
    for (int k = 0; k < selector.ListCount(); ++k)
        if (selector.List(k) == want) {
            selector.SetListIndex(k);
            break;
        }
    selector.SetTag(saved == kOff ? "" : saved);
}

bool SnapshotPanelController::Load(int panel) {
    SnapshotBrowser* browser = Browser(panel);
    if (!browser)
        return false;
    frmMain& main = Main();
    QtListControl& dbList = *main.DatabaseList(panel);
    dbList.SetTag(kOff);
    dbList.SetRedraw(false);
    dbList.Clear();
    if (dbList.ColumnCount() == 0)
        dbList.AddColumn("", 0);
    dbList.AddItem(browser->Database());
    dbList.SetCurrentRow(0);
    dbList.SetSelected(0, true);
    dbList.SetRedraw(true);
    dbList.SetTag("");
    ListObjects(panel);
    return true;
}

std::string SnapshotPanelController::Owner(int panel) const {
    const QtComboControl& owners = *Main().OwnerSelector(panel);
    if (!Settings().ShowOwners || owners.ListIndex() <= 0)
        return "";
    return owners.List(owners.ListIndex());
}

void SnapshotPanelController::ListObjects(int panel) {
    SnapshotBrowser* browser = Browser(panel);
    if (!browser)
        return;
    frmMain& main = Main();
    const ObjectType type = main.CurrentType();
    const CatalogReadOptions options = CatalogReadOptionsFromSettings();

    // The owner chosen stays chosen while it owns objects of the type shown.
    QtComboControl& owners = *main.OwnerSelector(panel);
    std::string owner = Owner(panel);
    if (Settings().ShowOwners) {
        const std::vector<std::string> all = browser->Owners(type, options);
        owners.SetTag(kOff);
        owners.Clear();
        owners.AddItem(kAllOwners);
        int chosen = 0;
        for (const std::string& o : all) {
            const int k = owners.AddItem(o);
            if (o == owner)
                chosen = k;
        }
        owners.SetListIndex(chosen);
        owners.SetTag("");
        owner = chosen > 0 ? owner : "";
    }

    std::string error;
    const std::vector<const CatalogObject*> listed = browser->Listed(type, options, owner, error);
    std::vector<TwoStr> entries;
    entries.reserve(listed.size());
    for (const CatalogObject* o : listed)
        entries.push_back(TwoStr{o->ListedName, o->Ref.Modified, o->Ref.Id, o->Ref.Schema});
    QtListControl& list = *main.ObjectList(panel);
    list.SetTag(kOff);
    LoadListView(list, entries, static_cast<int32_t>(entries.size()));
    list.SetTag(kOff);
    if (list.Count() > 0)
        list.SetSelected(0, true);
    list.SetTag("");
    if (!error.empty()) {
        main.TextView(panel)->SetText("");
        CurrentPrompter().MessageBox(MsgIcon::Warning, kCannotOpenSnapshot, error);
        return;
    }
    ShowObject(panel, list.Count() > 0 ? 0 : -1);
}

void SnapshotPanelController::ShowObject(int panel, int row) {
    SnapshotBrowser* browser = Browser(panel);
    if (!browser)
        return;
    frmMain& main = Main();
    QtListControl& list = *main.ObjectList(panel);
    QtTextView& view = *main.TextView(panel);
    if (row < 0 || row >= list.Count()) {
        view.SetText(list.Count() == 0 ? "" : kNothingToShow);
        return;
    }
    int32_t id = 0;
    ParseInt32(list.CellText(row, 2), id);
    const CatalogObject* object = browser->Find(
        main.CurrentType(), CatalogReadOptionsFromSettings(), id, list.CellText(row, 0));
    // An object without text (encrypted) shows nothing, as the live panel showed it.
    view.SetText(object ? object->Text : "");
}

std::string SnapshotPanelController::RefusalText(int panel, SnapshotRefusal why,
                                                 const std::string& command) const {
    const std::string what = folder_[Side(panel)] ? "a scripts folder" : "a snapshot file";
    const std::string start =
        std::string("The ") + (panel == 0 ? "Source" : "Target") + " panel shows " + what + ": ";
    if (why == SnapshotRefusal::NoData)
        return start + "it holds the catalog, not the data.";
    return start + (command.empty() ? std::string("this") : command) + " needs a live database.";
}

bool SnapshotPanelController::Refuses(int panel, SnapshotRefusal why, const std::string& command) {
    if (panel < 0 || panel > 1 || !Shows(panel))
        return false;
    CurrentPrompter().MessageBox(MsgIcon::Information, "Read-Only Panel",
                                 RefusalText(panel, why, command));
    return true;
}

bool SnapshotPanelController::RefusesEither(SnapshotRefusal why, const std::string& command) {
    return Refuses(0, why, command) || Refuses(1, why, command);
}

} // namespace orv
