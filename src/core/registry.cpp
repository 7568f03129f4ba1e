#include "core/registry.h"

#include "core/file_io.h"
#include "core/registry_document.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <sys/stat.h>

namespace orv {

namespace {

std::string gOverridePath;

std::string FullPath(HKEY, const std::string& keyPath) {
    return "HKEY_CURRENT_USER\\" + keyPath;
}

// What identifies one version of the file. Every writer replaces the file by renaming a new
// one over it, so a changed file has at least a new inode; size and both times guard against
// an editor that writes in place.
struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    bool operator==(const FileStamp& o) const {
        return device == o.device && inode == o.inode && size == o.size &&
               modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec &&
               changed.tv_sec == o.changed.tv_sec && changed.tv_nsec == o.changed.tv_nsec;
    }
};

std::optional<FileStamp> StampOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return FileStamp{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
}

bool SettledSince(const timespec& stamp) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const long long ageMs = (static_cast<long long>(now.tv_sec) - stamp.tv_sec) * 1000 +
                            (now.tv_nsec - stamp.tv_nsec) / 1000000;
    return ageMs > 100;
}

// The last version read and parsed. Settings are read one value at a time, some of them for
// every command sent to a server; reading and parsing the whole file each time made the file
// a large share of a short command's cost.
struct ParsedCache {
    std::mutex mutex;
    std::string path;
    std::optional<FileStamp> stamp;
    RegistryDocument doc;
    bool readable = false;
};

ParsedCache& TheCache() {
    static ParsedCache cache;
    return cache;
}

RegistryDocument Load(bool* readable = nullptr) {
    const std::string path = RegistryFilePath();
    const std::optional<FileStamp> before = StampOf(path);
    ParsedCache& cache = TheCache();
    if (before) {
        std::lock_guard lock(cache.mutex);
        if (cache.stamp && *cache.stamp == *before && cache.path == path) {
            if (readable)
                *readable = cache.readable;
            return cache.doc;
        }
    }
    auto bytes = ReadWholeFile(path);
    if (!bytes) {
        if (readable)
            *readable = !FileExists(path);
        return {};
    }
    bool whole = false;
    RegistryDocument doc = RegistryDocument::Parse(*bytes, &whole);
    if (readable)
        *readable = whole;
    // Kept only when the file did not change while it was read, and only once its time is
    // older than the clock's coarse step: a same-size rewrite in place within one step would
    // leave every field of the stamp as it was.
    if (before && StampOf(path) == before && SettledSince(before->modified) &&
        SettledSince(before->changed)) {
        std::lock_guard lock(cache.mutex);
        cache.path = path;
        cache.stamp = before;
        cache.doc = doc;
        cache.readable = whole;
    }
    return doc;
}

// Every writer makes its temporary file while it holds the lock, so one found by the lock's
// holder was left by a copy killed between writing and renaming. It holds the stored passwords;
// nothing would ever remove it otherwise.
void RemoveLeftTemporaries(const std::string& path) {
    namespace fs = std::filesystem;
    const fs::path file(path);
    const std::string prefix = file.filename().string() + ".tmp.";
    std::error_code ec;
    for (fs::directory_iterator it(file.parent_path(), ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0) {
            std::error_code ignored;
            fs::remove(it->path(), ignored);
        }
    }
}

} // namespace

std::string RegistryFilePath() {
    if (!gOverridePath.empty())
        return gOverridePath;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (xdg && *xdg == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home && *home ? home : "/tmp") + "/.config";
    }
    return base + "/orvane/registry.reg";
}

void SetRegistryFilePath(const std::string& path) {
    gOverridePath = path;
}

bool ModifyRegistry(const std::function<bool(RegistryDocument&)>& change) {
    const std::string path = RegistryFilePath();
    if (!MakeFolders(FolderOf(path), 0700))
        return false;
    FileLock lock(path);
    if (!lock.Locked())
        return false;
    RemoveLeftTemporaries(path);
    bool readable = true;
    RegistryDocument doc = Load(&readable);
    if (!change(doc))
        return true;
    // Never write over a file we could not understand without keeping it: it may hold the
    // only copy of the user's servers and passwords.
    if (!readable && !KeepBackupCopy(path))
        return false;
    return ReplaceFileAtomically(path, doc.Serialize(), 0600);
}

RegistryDocument RegistrySnapshot() {
    return Load();
}

std::optional<int32_t> QueryRegDword(const RegistryDocument& doc, HKEY root,
                                     const std::string& keyPath, const std::string& valueName) {
    const RegValue* v = doc.Find(FullPath(root, keyPath), valueName);
    if (!v || v->type != RegValue::Type::Dword)
        return std::nullopt;
    return static_cast<int32_t>(v->dword);
}

int32_t GetRegDword(const RegistryDocument& doc, HKEY root, const std::string& keyPath,
                    const std::string& valueName, int32_t defaultValue) {
    return QueryRegDword(doc, root, keyPath, valueName).value_or(defaultValue);
}

std::string GetRegString(const RegistryDocument& doc, HKEY root, const std::string& keyPath,
                         const std::string& valueName, const std::string& defaultValue) {
    const RegValue* v = doc.Find(FullPath(root, keyPath), valueName);
    if (!v || v->type != RegValue::Type::String)
        return defaultValue;
    size_t nul = v->text.find('\0');
    return nul == std::string::npos ? v->text : v->text.substr(0, nul);
}

void SetRegDword(RegistryDocument& doc, HKEY root, const std::string& keyPath,
                 const std::string& valueName, int32_t value) {
    RegValue v;
    v.type = RegValue::Type::Dword;
    v.dword = static_cast<uint32_t>(value);
    doc.Set(FullPath(root, keyPath), valueName, v);
}

void SetRegString(RegistryDocument& doc, HKEY root, const std::string& keyPath,
                  const std::string& valueName, const std::string& value) {
    RegValue v;
    v.type = RegValue::Type::String;
    v.text = value;
    doc.Set(FullPath(root, keyPath), valueName, v);
}

void CreateRegKey(RegistryDocument& doc, HKEY root, const std::string& keyPath) {
    if (!doc.HasKey(FullPath(root, keyPath)))
        doc.CreateKey(FullPath(root, keyPath));
}

bool DeleteRegKey(RegistryDocument& doc, HKEY root, const std::string& keyPath) {
    return doc.DeleteKey(FullPath(root, keyPath));
}

bool DeleteRegValue(RegistryDocument& doc, HKEY root, const std::string& keyPath,
                    const std::string& valueName) {
    return doc.DeleteValue(FullPath(root, keyPath), valueName);
}

std::optional<int32_t> QueryRegDword(HKEY root, const std::string& keyPath,
                                     const std::string& valueName) {
    return QueryRegDword(Load(), root, keyPath, valueName);
}

int32_t GetRegDword(HKEY root, const std::string& keyPath, const std::string& valueName,
                    int32_t defaultValue) {
    return QueryRegDword(root, keyPath, valueName).value_or(defaultValue);
}

std::string GetRegString(HKEY root, const std::string& keyPath, const std::string& valueName,
                         const std::string& defaultValue) {
    return GetRegString(Load(), root, keyPath, valueName, defaultValue);
}

std::string SetRegDword(HKEY root, const std::string& keyPath, const std::string& valueName,
                        int32_t value) {
    bool ok = ModifyRegistry([&](RegistryDocument& doc) {
        SetRegDword(doc, root, keyPath, valueName, value);
        return true;
    });
    return ok ? "Success" : "No! Failed to save Value";
}

std::string SetRegString(HKEY root, const std::string& keyPath, const std::string& valueName,
                         const std::string& value) {
    bool ok = ModifyRegistry([&](RegistryDocument& doc) {
        SetRegString(doc, root, keyPath, valueName, value);
        return true;
    });
    return ok ? "Success" : "No! Failed to save Value";
}

void CreateRegKey(HKEY root, const std::string& keyPath) {
    ModifyRegistry([&](RegistryDocument& doc) {
        if (doc.HasKey(FullPath(root, keyPath)))
            return false;
        CreateRegKey(doc, root, keyPath);
        return true;
    });
}

std::string DeleteRegKey(HKEY root, const std::string& keyPath) {
    bool found = false;
    bool ok = ModifyRegistry([&](RegistryDocument& doc) {
        found = DeleteRegKey(doc, root, keyPath);
        return found;
    });
    return ok && found ? "Success" : "No! Key to Delete Or Key Not Found";
}

bool RegKeyExists(HKEY root, const std::string& keyPath) {
    return Load().HasKey(FullPath(root, keyPath));
}

} // namespace orv
