#include "servers/server_transfer.h"

#include "core/file_io.h"
#include "core/log.h"
#include "core/password_store.h"
#include "core/registry.h"
#include "core/registry_document.h"
#include "core/settings.h"
#include "servers/server_list.h"
#include "util/encryption_setting.h"
#include "util/text.h"

namespace orv {

namespace {

std::string Plural(int32_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

bool IsStored(const std::string& name) {
    const auto& list = ServerList();
    for (size_t i = 1; i < list.size(); ++i)
        if (EqualsNoCase(list[i].Name, name))
            return true;
    return false;
}

} // namespace

ServerTransfer ImportServersFromReg(const std::string& path) {
    ServerTransfer t;
    const std::optional<std::string> bytes = ReadWholeFile(path);
    if (!bytes) {
        t.message = "Cannot read " + path + ".";
        return t;
    }
    const RegistryDocument doc = RegistryDocument::Parse(*bytes);
    const int32_t n = GetRegDword(doc, HKEY_CURRENT_USER, kKeyServers, "Count", 0);
    if (n <= 0) {
        t.message = path + " holds no stored servers.";
        return t;
    }
    LoadServerList();
    bool passwords = false;
    for (int32_t i = 1; i <= n; ++i) {
        const std::string key = ServerKeyPath(i);
        ServerEntry e;
        e.Name = GetRegString(doc, HKEY_CURRENT_USER, key, "Name", "");
        if (Trim(e.Name).empty())
            continue;
        if (IsStored(e.Name)) {
            ++t.skipped;
            continue;
        }
        e.SQLAuth = GetRegDword(doc, HKEY_CURRENT_USER, key, "SQLAuth", 0) == 1;
        e.LoginName = GetRegString(doc, HKEY_CURRENT_USER, key, "LoginName", "");
        e.Pwd = GetRegString(doc, HKEY_CURRENT_USER, key, "Pwd", "");
        e.MRUDb = GetRegString(doc, HKEY_CURRENT_USER, key, "MRUDb", "");
        e.Version = GetRegString(doc, HKEY_CURRENT_USER, key, "Version", "");
        const std::string encryption =
            EncryptionSettingOf(GetRegString(doc, HKEY_CURRENT_USER, key, "Encryption", ""));
        if (!encryption.empty())
            e.Encryption = encryption;
        e.CAFile = GetRegString(doc, HKEY_CURRENT_USER, key, "CAFile", "");
        passwords |= !e.Pwd.empty();
        // The same path as a server added by hand: the password goes where passwords are kept.
        ServerAddToList(e);
        ++t.servers;
    }
    t.ok = true;
    t.message = "Imported " + Plural(t.servers, "server", "servers") + " from " + path + ".";
    if (t.skipped > 0)
        t.message += " " + Plural(t.skipped, "server was already stored and left as it is.",
                                  "servers were already stored and left as they are.");
    if (passwords && !CurrentPasswordStore()->InRegistryFile())
        t.message += " Their passwords went to the desktop keyring.";
    WriteLogLine(t.message);
    return t;
}

ServerTransfer ExportServersToReg(const std::string& path, bool includePasswords) {
    ServerTransfer t;
    LoadServerList(); // the passwords as the store has them, the keyring included
    const auto& list = ServerList();
    RegistryDocument doc;
    const int32_t n = list.empty() ? 0 : static_cast<int32_t>(list.size() - 1);
    SetRegDword(doc, HKEY_CURRENT_USER, kKeyServers, "Count", n);
    for (int32_t i = 1; i <= n; ++i) {
        const ServerEntry& e = list[static_cast<size_t>(i)];
        const std::string key = ServerKeyPath(i);
        SetRegString(doc, HKEY_CURRENT_USER, key, "Name", e.Name);
        SetRegDword(doc, HKEY_CURRENT_USER, key, "SQLAuth", e.SQLAuth ? 1 : 0);
        SetRegString(doc, HKEY_CURRENT_USER, key, "LoginName", e.LoginName);
        if (includePasswords)
            SetRegString(doc, HKEY_CURRENT_USER, key, "Pwd", e.Pwd);
        SetRegString(doc, HKEY_CURRENT_USER, key, "MRUDb", e.MRUDb);
        SetRegString(doc, HKEY_CURRENT_USER, key, "Version", e.Version);
        if (e.Encryption != "request")
            SetRegString(doc, HKEY_CURRENT_USER, key, "Encryption", e.Encryption);
        if (!e.CAFile.empty())
            SetRegString(doc, HKEY_CURRENT_USER, key, "CAFile", e.CAFile);
    }
    if (!ReplaceFileAtomically(path, doc.Serialize(), 0600)) {
        t.message = "Cannot write " + path + ".";
        return t;
    }
    t.ok = true;
    t.servers = n;
    t.message = "Exported " + Plural(n, "server", "servers") + " to " + path +
                (includePasswords ? " with their passwords." : " without passwords.");
    WriteLogLine(t.message);
    return t;
}

} // namespace orv
