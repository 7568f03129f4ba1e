// A panel showing a snapshot file or a scripts folder instead of a live database: the server
// selector's last entries open one, the panel then browses it read-only (database, types,
// owners, objects and their texts, all from the kept catalog), and the commands that need a
// live database refuse it with the reason. Choosing a stored server again ends it.
#pragma once

#include "catalog/bulk_catalog.h"
#include "catalog/snapshot_browse.h"
#include "dbcompare/db_compare.h"
#include "dbcompare/script_folder_read.h"
#include "ui/main/main_controller.h"

#include <QString>

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace orv {

// The server selector's entries after the stored servers.
constexpr const char* kSnapshotFileEntry = "Snapshot file...";
constexpr const char* kScriptsFolderEntry = "Scripts folder...";

// Why a command cannot run on a panel that shows a snapshot.
enum class SnapshotRefusal {
    NoData,    // the command reads table data
    NeedsLive, // the command asks the server
};

// Why no deployment script is made for these sides: a snapshot (or a scripts folder read into
// one) has no database to run a script in, and is no live Source a run could check again.
// Empty when both sides are live databases.
std::string DeployRefusalText(const DbCompareRequest& request);

// How a window names a side read from a snapshot: its title, or for a scripts folder
// "<folder> (scripts folder)". Empty for a live side.
std::string SnapshotSideTitle(const DbCompareRequest& request, int side);

class SnapshotPanelController : public MainWindowController {
public:
    using MainWindowController::MainWindowController;

    // True when the selector entry is one of the two this controller handles.
    static bool IsSnapshotEntry(const std::string& text);
    // The selector's entry was chosen: asks for the file or folder and, when it reads, shows
    // it in the panel. Otherwise the panel and its selector stay as they were.
    void EntryChosen(int panel, const std::string& entry);
    // A stored server was chosen: the panel browses live again.
    void Leave(int panel);

    bool Shows(int panel) const { return browsers_[Side(panel)] != nullptr; }
    SnapshotBrowser* Browser(int panel) const { return browsers_[Side(panel)].get(); }
    // The scripts a folder shown in the panel refused (its objects are not comparable).
    const std::vector<FolderScriptFailure>& FolderFailures(int panel) const {
        return failures_[Side(panel)];
    }
    // What the panel's caption says; empty for a live panel.
    std::string Caption(int panel) const;

    // The panel's database, owners, object list and first text, from the snapshot.
    bool Load(int panel);
    // The object list of the current type (and owner), and the first object's text.
    void ListObjects(int panel);
    // The text of the object on `row` of the list.
    void ShowObject(int panel, int row);

    // True (after a message) when `panel` shows a snapshot; `command` names the command for a
    // NeedsLive refusal.
    bool Refuses(int panel, SnapshotRefusal why, const std::string& command = "");
    // The same for whichever panel shows one, Source first.
    bool RefusesEither(SnapshotRefusal why, const std::string& command = "");
    // The message a refusal shows.
    std::string RefusalText(int panel, SnapshotRefusal why, const std::string& command) const;

private:
    static size_t Side(int panel) { return panel == 0 ? 0 : 1; }
    bool Open(bool folder, std::shared_ptr<SnapshotBrowser>& browser,
              std::vector<FolderScriptFailure>& failures);
    void Show(int panel, std::shared_ptr<SnapshotBrowser> browser);
    // Puts the selector back on the entry the panel shows.
    void RestoreSelector(int panel);
    void SetCaption(int panel);
    std::string Owner(int panel) const;

    std::array<std::shared_ptr<SnapshotBrowser>, 2> browsers_;
    std::array<bool, 2> folder_{false, false};
    std::array<std::vector<FolderScriptFailure>, 2> failures_;
    std::array<QString, 2> liveCaption_;
};

} // namespace orv
