#include "catalog/snapshot_browse.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <set>

namespace orv {

namespace {
constexpr size_t kPiece = 1024 * 1024;
} // namespace

bool ReadSnapshotFileInSteps(const std::string& path, CatalogSnapshot& snapshot,
                             ProgressSink& progress, const CancelToken& cancel,
                             std::string& error) {
    error.clear();
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
        // The plain reader words every failure to open; it is asked again for the message.
        return ReadSnapshotFile(path, snapshot, error);
    }
    const std::streamoff size = in.tellg();
    in.seekg(0);
    std::string bytes;
    if (size > 0)
        bytes.reserve(static_cast<size_t>(size));
    progress.Begin("Reading " + path, size > 0 ? (size + kPiece - 1) / kPiece : 0);
    std::string piece(kPiece, '\0');
    while (in) {
        if (cancel.cancelRequested())
            return false;
        in.read(piece.data(), static_cast<std::streamsize>(piece.size()));
        bytes.append(piece.data(), static_cast<size_t>(in.gcount()));
        progress.Advance(1, std::to_string(bytes.size() / kPiece) + " MB");
    }
    if (in.bad()) {
        error = "The snapshot file " + path + " cannot be read.";
        return false;
    }
    if (cancel.cancelRequested())
        return false;
    progress.Begin("Reading the catalog of " + path, 0);
    const bool read = ParseSnapshotBytes(path, bytes, snapshot, error);
    // Stop pressed while the catalog was taken apart still means the reader wants none of it.
    if (cancel.cancelRequested()) {
        error.clear();
        return false;
    }
    return read;
}

SnapshotBrowser::SnapshotBrowser(CatalogSnapshotPtr snapshot, std::string file, std::string what)
    : snapshot_(std::move(snapshot)), file_(std::move(file)), what_(std::move(what)) {}

std::shared_ptr<SnapshotBrowser> SnapshotBrowser::OfSnapshot(CatalogSnapshotPtr snapshot,
                                                             const std::string& file) {
    std::string title = SnapshotTitle(snapshot->Header);
    return std::make_shared<SnapshotBrowser>(std::move(snapshot), file, std::move(title));
}

std::shared_ptr<SnapshotBrowser> SnapshotBrowser::OfFolder(CatalogSnapshotPtr snapshot,
                                                           const std::string& folder) {
    return std::make_shared<SnapshotBrowser>(std::move(snapshot), folder,
                                             folder + " (scripts folder)");
}

std::string SnapshotBrowser::ServerName() const {
    // As a comparison's results name a snapshot side.
    std::string name = snapshot_->Header.Server;
    if (!snapshot_->Header.Taken.empty())
        name += " (snapshot of " + snapshot_->Header.Taken + " UTC)";
    return name;
}

const CatalogTypeRead* SnapshotBrowser::Objects(ObjectType type, const CatalogReadOptions& options,
                                                std::string& error) {
    const Key key{type, options.IgnoreSysObjects, options.IgnoreIndexes,
                  options.CompleteTableScripts, options.IgnoreSystemConstraintNames};
    if (const auto it = read_.find(key); it != read_.end())
        return &it->second;
    SnapshotRows rows(snapshot_, file_);
    ServerFacts facts;
    OdbcError odbc;
    std::string failedSql;
    rows.Facts(facts, odbc, failedSql);
    const CancelToken never;
    BulkCatalogReader reader(rows, facts, options, never);
    CatalogTypeRead out;
    if (!reader.ReadType(type, out, odbc, failedSql)) {
        error = odbc.description.empty() ? "The snapshot file " + file_ + " cannot be read."
                                         : odbc.description;
        return nullptr;
    }
    return &read_.emplace(key, std::move(out)).first->second;
}

std::vector<const CatalogObject*> SnapshotBrowser::Listed(ObjectType type,
                                                          const CatalogReadOptions& options,
                                                          const std::string& owner,
                                                          std::string& error) {
    std::vector<const CatalogObject*> listed;
    const CatalogTypeRead* read = Objects(type, options, error);
    if (!read)
        return listed;
    for (const CatalogObject& o : read->Objects)
        if (owner.empty() || o.Ref.Schema == owner)
            listed.push_back(&o);
    return listed;
}

std::vector<std::string> SnapshotBrowser::Owners(ObjectType type,
                                                 const CatalogReadOptions& options) {
    std::string error;
    std::set<std::string> owners;
    if (const CatalogTypeRead* read = Objects(type, options, error))
        for (const CatalogObject& o : read->Objects)
            if (!o.Ref.Schema.empty())
                owners.insert(o.Ref.Schema);
    return {owners.begin(), owners.end()};
}

const CatalogObject* SnapshotBrowser::Find(ObjectType type, const CatalogReadOptions& options,
                                           int32_t id, const std::string& listedName) {
    std::string error;
    const CatalogTypeRead* read = Objects(type, options, error);
    if (!read)
        return nullptr;
    // Relationships and constraints may share their table's id: the name tells them apart.
    const CatalogObject* byId = nullptr;
    for (const CatalogObject& o : read->Objects) {
        if (id != 0 && o.Ref.Id == id) {
            if (o.ListedName == listedName)
                return &o;
            if (!byId)
                byId = &o;
        }
    }
    if (byId)
        return byId;
    for (const CatalogObject& o : read->Objects)
        if (o.ListedName == listedName)
            return &o;
    return nullptr;
}

} // namespace orv
