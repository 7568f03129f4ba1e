#include "dbcompare/snapshot_folder.h"

#include "catalog/catalog_snapshot.h"
#include "dbcompare/script_folder_write.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace orv {

namespace {

namespace fs = std::filesystem;

// A folder made for one run, private to its user (mkdtemp makes it 0700), removed with
// everything in it when this goes.
class PrivateFolder {
public:
    PrivateFolder() = default;
    ~PrivateFolder() {
        if (!path_.empty()) {
            std::error_code ec;
            fs::remove_all(path_, ec);
        }
    }
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;
    bool Make(std::string& error) {
        std::error_code ec;
        const fs::path base = fs::temp_directory_path(ec);
        std::string pattern = ((ec ? fs::path("/tmp") : base) / "orvane-snapshot-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            error = std::string("cannot make a temporary folder: ") + std::strerror(errno) + ".";
            return false;
        }
        path_ = pattern;
        return true;
    }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

} // namespace

bool LoadSnapshotAsFolder(const std::string& file, const std::string& simulator,
                          const CancelToken& cancel,
                          const std::function<void(const std::string&)>& progress,
                          LoadedScriptFolder& out, std::string& error) {
    auto snapshot = std::make_shared<CatalogSnapshot>();
    if (!ReadSnapshotFile(file, *snapshot, error))
        return false;
    const std::string database = snapshot->Header.Database;
    SnapshotRows rows(std::move(snapshot), file);
    ServerFacts facts;
    OdbcError odbc;
    std::string sql;
    ScriptFolderContent content;
    if (!rows.Facts(facts, odbc, sql) ||
        !BuildScriptFolderFrom(rows, facts, database, false, cancel, progress, content, odbc,
                               sql)) {
        error = cancel.cancelRequested() ? std::string(kStoppedByUser) : odbc.description;
        return false;
    }
    PrivateFolder folder;
    std::vector<std::string> removed;
    if (!folder.Make(error) || !WriteScriptFolder(folder.Path(), content, removed, error))
        return false;
    return LoadScriptFolder(folder.Path(), simulator, cancel, progress, out, error);
}

bool OpenSnapshotSide(const std::string& file, ProgressSink& progress, const CancelToken& cancel,
                      std::shared_ptr<LoadedScriptFolder>& loaded, std::string& error) {
    progress.Begin("Running the snapshot " + file + " as scripts", 0);
    loaded = std::make_shared<LoadedScriptFolder>();
    return LoadSnapshotAsFolder(
        file, "", cancel, [&](const std::string& item) { progress.Advance(1, item); }, *loaded,
        error);
}

} // namespace orv
