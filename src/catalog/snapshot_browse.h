// A panel browsing a snapshot instead of a live database: the objects of a type as the bulk
// reader builds them from the kept rows (so a list and a text are what the live panel showed
// when the snapshot was taken), kept once read for the reading options they were read under.
#pragma once

#include "catalog/bulk_catalog.h"
#include "catalog/catalog_snapshot.h"
#include "util/progress.h"

#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace orv {

// Files up to this size are read on the calling thread; larger ones with a progress window.
constexpr int64_t kSnapshotReadInPlaceBytes = 8 * 1024 * 1024;

// Reads a snapshot file in pieces, telling `progress` of each and stopping at `cancel`
// (false with an empty `error` then). Its messages are ReadSnapshotFile's.
bool ReadSnapshotFileInSteps(const std::string& path, CatalogSnapshot& snapshot,
                             ProgressSink& progress, const CancelToken& cancel, std::string& error);

class SnapshotBrowser {
public:
    // `what` names the source in the caption ("<title> - read-only").
    SnapshotBrowser(CatalogSnapshotPtr snapshot, std::string file, std::string what);

    // The snapshot's own title: SnapshotTitle of its header.
    static std::shared_ptr<SnapshotBrowser> OfSnapshot(CatalogSnapshotPtr snapshot,
                                                       const std::string& file);
    // A scripts folder read into a snapshot: "<folder> (scripts folder)".
    static std::shared_ptr<SnapshotBrowser> OfFolder(CatalogSnapshotPtr snapshot,
                                                     const std::string& folder);

    // What the panel's caption says: "<what> - read-only".
    std::string Caption() const { return what_ + " - read-only"; }
    const std::string& Database() const { return snapshot_->Header.Database; }
    const CatalogSnapshotPtr& Snapshot() const { return snapshot_; }
    const std::string& File() const { return file_; }
    // The name a panel gives the server of a snapshot: the one a comparison's results give
    // that side, so a pair chosen in the results is found in the panel.
    std::string ServerName() const;

    // Every object of `type` under `options`; null, with `error`, when the snapshot cannot
    // give them (a result it does not hold).
    const CatalogTypeRead* Objects(ObjectType type, const CatalogReadOptions& options,
                                   std::string& error);
    // The objects of the list, in its order: those of `owner` only unless it is empty.
    std::vector<const CatalogObject*> Listed(ObjectType type, const CatalogReadOptions& options,
                                             const std::string& owner, std::string& error);
    // The owners (schemas) of the type's objects, sorted, each once.
    std::vector<std::string> Owners(ObjectType type, const CatalogReadOptions& options);
    // The object of a list row: by its id, else by its listed name; null when none.
    const CatalogObject* Find(ObjectType type, const CatalogReadOptions& options, int32_t id,
                              const std::string& listedName);

private:
    using Key = std::tuple<int32_t, bool, bool, bool, bool>;
    CatalogSnapshotPtr snapshot_;
    std::string file_;
    std::string what_;
    std::map<Key, CatalogTypeRead> read_;
};

} // namespace orv
