#include "servers/server_list.h"

#include "servers/connection_string.h"

#include "core/log.h"
#include "core/program_info.h"
#include "core/registry.h"
#include "core/registry_document.h"
#include "core/settings.h"
#include "util/prompter.h"
#include "util/text.h"

namespace orv {

namespace {

bool gListLoaded = false;

// Every read and write of the list goes through one document: a snapshot for reads, the locked
// document of ModifyRegistry for changes. Another running copy that adds or removes a server
// between two single-value calls would otherwise be lost (a stale Count) or mixed in (a
// renumbered key read under the old numbering).
ServerEntry ReadEntry(const RegistryDocument& doc, int32_t i) {
    const std::string key = ServerKeyPath(i);
    ServerEntry e;
    e.Name = GetRegString(doc, HKEY_CURRENT_USER, key, "Name", "");
    e.SQLAuth = GetRegDword(doc, HKEY_CURRENT_USER, key, "SQLAuth", 0) == 1;
    e.LoginName = GetRegString(doc, HKEY_CURRENT_USER, key, "LoginName", "");
    e.Pwd = GetRegString(doc, HKEY_CURRENT_USER, key, "Pwd", "");
    e.MRUDb = GetRegString(doc, HKEY_CURRENT_USER, key, "MRUDb", "");
    e.EntryNumber = i;
    e.Version = GetRegString(doc, HKEY_CURRENT_USER, key, "Version", "");
    // A value no release writes (a hand-edited file) falls back to the default, as a missing one.
    const std::string encryption =
        EncryptionSettingOf(GetRegString(doc, HKEY_CURRENT_USER, key, "Encryption", ""));
    if (!encryption.empty())
        e.Encryption = encryption;
    e.CAFile = GetRegString(doc, HKEY_CURRENT_USER, key, "CAFile", "");
    return e;
}

void WriteEntry(RegistryDocument& doc, int32_t i, const ServerEntry& e) {
    const std::string key = ServerKeyPath(i);
    CreateRegKey(doc, HKEY_CURRENT_USER, key);
    SetRegString(doc, HKEY_CURRENT_USER, key, "Name", e.Name);
    SetRegDword(doc, HKEY_CURRENT_USER, key, "SQLAuth", e.SQLAuth ? 1 : 0);
    SetRegString(doc, HKEY_CURRENT_USER, key, "LoginName", e.LoginName);
    SetRegString(doc, HKEY_CURRENT_USER, key, "Pwd", e.Pwd);
    SetRegString(doc, HKEY_CURRENT_USER, key, "MRUDb", e.MRUDb);
    SetRegString(doc, HKEY_CURRENT_USER, key, "Version", e.Version);
    // Written once it differs from the default, so files of servers never changed stay as
    // earlier releases wrote them.
    const std::string encryption = EncryptionSettingOf(e.Encryption);
    if ((!encryption.empty() && encryption != "request") ||
        !GetRegString(doc, HKEY_CURRENT_USER, key, "Encryption", "").empty())
        SetRegString(doc, HKEY_CURRENT_USER, key, "Encryption",
                     encryption.empty() ? "request" : encryption);
    if (!e.CAFile.empty() || !GetRegString(doc, HKEY_CURRENT_USER, key, "CAFile", "").empty())
        SetRegString(doc, HKEY_CURRENT_USER, key, "CAFile", e.CAFile);
}

int32_t StoredCount(const RegistryDocument& doc) {
    return GetRegDword(doc, HKEY_CURRENT_USER, kKeyServers, "Count", 0);
}

int32_t StoredNumberOf(const RegistryDocument& doc, const ServerEntry& entry) {
    const int32_t n = StoredCount(doc);
    auto nameAt = [&](int32_t i) {
        return GetRegString(doc, HKEY_CURRENT_USER, ServerKeyPath(i), "Name", "");
    };
    if (entry.EntryNumber > 0 && entry.EntryNumber <= n && nameAt(entry.EntryNumber) == entry.Name)
        return entry.EntryNumber;
    for (int32_t i = 1; i <= n; ++i)
        if (nameAt(i) == entry.Name)
            return i;
    return 0;
}

} // namespace

int32_t VersionMajorOf(const std::string& version) {
    std::string t = Trim(version);
    std::string head = t.substr(0, t.find('.'));
    int32_t major = 0;
    return ParseInt32(head, major) ? major : 0;
}

std::vector<ServerEntry>& ServerList() {
    static std::vector<ServerEntry> list;
    return list;
}

bool IsServerListLoaded() {
    return gListLoaded;
}

std::array<ServerEntry, 2>& PanelServers() {
    static std::array<ServerEntry, 2> panels;
    return panels;
}

std::string ServerKeyPath(int32_t entryNumber) {
    return std::string(kKeyServers) + "\\Server" + std::to_string(entryNumber);
}

void LoadServerList() {
    auto& list = ServerList();
    list.clear();
    gListLoaded = false;
    const RegistryDocument doc = RegistrySnapshot();
    const int32_t n = StoredCount(doc);
    if (n <= 0)
        return;
    list.resize(static_cast<size_t>(n) + 1);
    for (int32_t i = 1; i <= n; ++i)
        list[static_cast<size_t>(i)] = ReadEntry(doc, i);
    gListLoaded = true;
}

int32_t ServerCount() {
    LoadServerList();
    // The list just loaded, not a second read: N must match the entries ServerList holds.
    const auto& list = ServerList();
    return list.empty() ? 0 : static_cast<int32_t>(list.size() - 1);
}

void FindServer(ServerEntry& entry) {
    ServerEntry cleared;
    cleared.Name = entry.Name;
    entry = cleared;
    const RegistryDocument doc = RegistrySnapshot();
    const int32_t n = StoredCount(doc);
    for (int32_t i = 1; i <= n; ++i) {
        if (GetRegString(doc, HKEY_CURRENT_USER, ServerKeyPath(i), "Name", "") != entry.Name)
            continue;
        ServerEntry found = ReadEntry(doc, i);
        entry.SQLAuth = found.SQLAuth;
        entry.LoginName = found.LoginName;
        entry.Pwd = found.Pwd;
        entry.MRUDb = found.MRUDb;
        entry.Version = found.Version;
        entry.Encryption = found.Encryption;
        entry.CAFile = found.CAFile;
        entry.EntryNumber = i;
        return;
    }
    CurrentPrompter().MessageBox(MsgIcon::Warning, kExecutableName,
                                 "Server '" + entry.Name + "' not found.");
}

void ResetPanelServers() {
    for (auto& panel : PanelServers()) {
        panel = ServerEntry{};
        if (!gListLoaded || ServerList().size() < 2)
            continue;
        const ServerEntry& first = ServerList()[1];
        panel.Name = first.Name;
        panel.SQLAuth = first.SQLAuth;
        panel.LoginName = first.LoginName;
        panel.Pwd = first.Pwd;
        panel.MRUDb = first.MRUDb;
        panel.EntryNumber = first.EntryNumber;
        panel.Version = first.Version;
        panel.VersionMajor = VersionMajorOf(first.Version);
        panel.Encryption = first.Encryption;
        panel.CAFile = first.CAFile;
    }
}

void FillServerListBox(ListControl& list) {
    list.Clear();
    const int32_t n = ServerCount();
    const auto& servers = ServerList();
    for (int32_t i = 1; i <= n && static_cast<size_t>(i) < servers.size(); ++i)
        list.AddItem(servers[static_cast<size_t>(i)].Name);
}

void ServerAddToList(const ServerEntry& entry) {
    ModifyRegistry([&](RegistryDocument& doc) {
        const int32_t stored = StoredCount(doc);
        const int32_t n = (stored < 0 ? 0 : stored) + 1;
        SetRegDword(doc, HKEY_CURRENT_USER, kKeyServers, "Count", n);
        WriteEntry(doc, n, entry);
        return true;
    });
    WriteLogLine("ServerAddToList: " + entry.Name);
    LoadServerList();
}

std::string GetStoredServerString(const ServerEntry& entry, const std::string& valueName) {
    const RegistryDocument doc = RegistrySnapshot();
    const int32_t i = StoredNumberOf(doc, entry);
    return i > 0 ? GetRegString(doc, HKEY_CURRENT_USER, ServerKeyPath(i), valueName, "") : "";
}

void SetStoredServerString(const ServerEntry& entry, const std::string& valueName,
                           const std::string& value) {
    ModifyRegistry([&](RegistryDocument& doc) {
        const int32_t i = StoredNumberOf(doc, entry);
        if (i > 0)
            SetRegString(doc, HKEY_CURRENT_USER, ServerKeyPath(i), valueName, value);
        return i > 0;
    });
}

void RemoveServerFromList(const std::string& name) {
    ModifyRegistry([&](RegistryDocument& doc) {
        const int32_t n = StoredCount(doc);
        std::vector<ServerEntry> kept;
        bool found = false;
        for (int32_t i = 1; i <= n; ++i) {
            ServerEntry e = ReadEntry(doc, i);
            if (e.Name == name)
                found = true;
            else
                kept.push_back(std::move(e));
        }
        // A name that is not stored (perhaps another copy removed it meanwhile) changes
        // nothing; renumbering anyway would drop the last entry.
        if (!found)
            return false;
        for (int32_t i = 1; i <= n; ++i)
            DeleteRegKey(doc, HKEY_CURRENT_USER, ServerKeyPath(i));
        for (size_t j = 0; j < kept.size(); ++j)
            WriteEntry(doc, static_cast<int32_t>(j + 1), kept[j]);
        SetRegDword(doc, HKEY_CURRENT_USER, kKeyServers, "Count",
                    static_cast<int32_t>(kept.size()));
        return true;
    });
    LoadServerList();
}

} // namespace orv
