#include "dbcompare/catalog_file_side.h"

#include "dbcompare/compare_all_command.h"
#include "dbcompare/script_folder_read.h"
#include "util/text.h"

namespace orv {

std::optional<bool> ReadCatalogFileSide(const std::string& word, const CancelToken& cancel,
                                        CatalogSnapshotPtr& snapshot,
                                        std::vector<std::string>& refused, std::string& error) {
    const std::string snapshotPrefix = kSnapshotSidePrefix, folderPrefix = kFolderSidePrefix;
    if (word.rfind(snapshotPrefix, 0) == 0) {
        const std::string file = word.substr(snapshotPrefix.size());
        auto read = std::make_shared<CatalogSnapshot>();
        if (file.empty()) {
            error = "snapshot: needs a file name";
            return false;
        }
        if (!ReadSnapshotFile(file, *read, error))
            return false;
        snapshot = std::move(read);
        return true;
    }
    if (word.rfind(folderPrefix, 0) == 0) {
        const std::string folder = word.substr(folderPrefix.size());
        if (folder.empty()) {
            error = "folder: needs a folder name";
            return false;
        }
        ScriptFolderRead read;
        NullProgressSink progress;
        if (!ReadFolderSide(folder, progress, cancel, read, error))
            return false;
        // A refused script leaves its object out: the caller names each.
        for (const FolderScriptFailure& f : read.Failures)
            refused.push_back(folder + "/" + FolderFailureText(f));
        snapshot = std::move(read.Snapshot);
        return true;
    }
    return std::nullopt;
}

bool ReadCatalogFileObjects(const CatalogSnapshotPtr& snapshot, const std::string& label,
                            ObjectType type, const CatalogReadOptions& options,
                            CatalogTypeRead& out, std::string& error) {
    SnapshotRows rows(snapshot, label);
    ServerFacts facts;
    OdbcError odbc;
    std::string sql;
    const CancelToken cancel;
    if (!rows.Facts(facts, odbc, sql)) {
        error = odbc.description;
        return false;
    }
    BulkCatalogReader reader(rows, facts, options, cancel);
    if (!reader.ReadType(type, out, odbc, sql)) {
        error = odbc.description;
        return false;
    }
    return true;
}

const CatalogObject* FindCatalogFileObject(const CatalogTypeRead& read, const std::string& typed) {
    for (const bool exact : {true, false})
        for (const CatalogObject& o : read.Objects)
            if (exact ? o.ListedName == typed : EqualsNoCase(o.ListedName, typed))
                return &o;
    for (size_t dot = typed.find('.'); dot != std::string::npos; dot = typed.find('.', dot + 1))
        for (const CatalogObject& o : read.Objects)
            if (EqualsNoCase(o.Ref.Schema, typed.substr(0, dot)) &&
                EqualsNoCase(o.Ref.Name, typed.substr(dot + 1)))
                return &o;
    return nullptr;
}

} // namespace orv
