#include "core/registry.h"

#include "core/file_io.h"
#include "core/registry_document.h"

#include <cstdlib>
#include <filesystem>

namespace orv {

namespace {

std::string gOverridePath;

std::string FullPath(HKEY, const std::string& keyPath) {
    return "HKEY_CURRENT_USER\\" + keyPath;
}

RegistryDocument Load(bool* readable = nullptr) {
    auto bytes = ReadWholeFile(RegistryFilePath());
    if (!bytes) {
        if (readable)
            *readable = !FileExists(RegistryFilePath());
        return {};
    }
    return RegistryDocument::Parse(*bytes, readable);
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
