#include "core/registry.h"

#include "core/file_io.h"
#include "core/registry_document.h"

#include <cstdlib>

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

std::optional<int32_t> QueryRegDword(HKEY root, const std::string& keyPath,
                                     const std::string& valueName) {
    RegistryDocument doc = Load();
    const RegValue* v = doc.Find(FullPath(root, keyPath), valueName);
    if (!v || v->type != RegValue::Type::Dword)
        return std::nullopt;
    return static_cast<int32_t>(v->dword);
}

int32_t GetRegDword(HKEY root, const std::string& keyPath, const std::string& valueName,
                    int32_t defaultValue) {
    return QueryRegDword(root, keyPath, valueName).value_or(defaultValue);
}

std::string GetRegString(HKEY root, const std::string& keyPath, const std::string& valueName,
                         const std::string& defaultValue) {
    RegistryDocument doc = Load();
    const RegValue* v = doc.Find(FullPath(root, keyPath), valueName);
    if (!v || v->type != RegValue::Type::String)
        return defaultValue;
    size_t nul = v->text.find('\0');
    return nul == std::string::npos ? v->text : v->text.substr(0, nul);
}

std::string SetRegDword(HKEY root, const std::string& keyPath, const std::string& valueName,
                        int32_t value) {
    RegValue v;
    v.type = RegValue::Type::Dword;
    v.dword = static_cast<uint32_t>(value);
    bool ok = ModifyRegistry([&](RegistryDocument& doc) {
        doc.Set(FullPath(root, keyPath), valueName, v);
        return true;
    });
    return ok ? "Success" : "No! Failed to save Value";
}

std::string SetRegString(HKEY root, const std::string& keyPath, const std::string& valueName,
                         const std::string& value) {
    RegValue v;
    v.type = RegValue::Type::String;
    v.text = value;
    bool ok = ModifyRegistry([&](RegistryDocument& doc) {
        doc.Set(FullPath(root, keyPath), valueName, v);
        return true;
    });
    return ok ? "Success" : "No! Failed to save Value";
}

void CreateRegKey(HKEY root, const std::string& keyPath) {
    ModifyRegistry([&](RegistryDocument& doc) {
        if (doc.HasKey(FullPath(root, keyPath)))
            return false;
        doc.CreateKey(FullPath(root, keyPath));
        return true;
    });
}

std::string DeleteRegKey(HKEY root, const std::string& keyPath) {
    bool found = false;
    bool ok = ModifyRegistry([&](RegistryDocument& doc) {
        found = doc.DeleteKey(FullPath(root, keyPath));
        return found;
    });
    return ok && found ? "Success" : "No! Key to Delete Or Key Not Found";
}

bool RegKeyExists(HKEY root, const std::string& keyPath) {
    return Load().HasKey(FullPath(root, keyPath));
}

} // namespace orv
