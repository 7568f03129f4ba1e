#include "servers/server_list.h"

#include "core/log.h"
#include "core/program_info.h"
#include "core/registry.h"
#include "core/settings.h"
#include "util/prompter.h"
#include "util/text.h"

namespace orv {

namespace {

bool gListLoaded = false;

ServerEntry ReadEntry(int32_t i) {
    const std::string key = ServerKeyPath(i);
    ServerEntry e;
    e.Name = GetRegString(HKEY_CURRENT_USER, key, "Name", "");
    e.SQLAuth = GetRegDword(HKEY_CURRENT_USER, key, "SQLAuth", 0) == 1;
    e.LoginName = GetRegString(HKEY_CURRENT_USER, key, "LoginName", "");
    e.Pwd = GetRegString(HKEY_CURRENT_USER, key, "Pwd", "");
    e.MRUDb = GetRegString(HKEY_CURRENT_USER, key, "MRUDb", "");
    e.EntryNumber = i;
    e.Version = GetRegString(HKEY_CURRENT_USER, key, "Version", "");
    return e;
}

void WriteEntry(int32_t i, const ServerEntry& e) {
    const std::string key = ServerKeyPath(i);
    CreateRegKey(HKEY_CURRENT_USER, key);
    SetRegString(HKEY_CURRENT_USER, key, "Name", e.Name);
    SetRegDword(HKEY_CURRENT_USER, key, "SQLAuth", e.SQLAuth ? 1 : 0);
    SetRegString(HKEY_CURRENT_USER, key, "LoginName", e.LoginName);
    SetRegString(HKEY_CURRENT_USER, key, "Pwd", e.Pwd);
    SetRegString(HKEY_CURRENT_USER, key, "MRUDb", e.MRUDb);
    SetRegString(HKEY_CURRENT_USER, key, "Version", e.Version);
}

int32_t StoredCount() {
    return GetRegDword(HKEY_CURRENT_USER, kKeyServers, "Count", 0);
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
    const int32_t n = StoredCount();
    if (n <= 0)
        return;
    list.resize(static_cast<size_t>(n) + 1);
    for (int32_t i = 1; i <= n; ++i)
        list[static_cast<size_t>(i)] = ReadEntry(i);
    gListLoaded = true;
}

int32_t ServerCount() {
    LoadServerList();
    const int32_t n = StoredCount();
    return n < 0 ? 0 : n;
}

void FindServer(ServerEntry& entry) {
    ServerEntry cleared;
    cleared.Name = entry.Name;
    entry = cleared;
    const int32_t n = StoredCount();
    for (int32_t i = 1; i <= n; ++i) {
        if (GetRegString(HKEY_CURRENT_USER, ServerKeyPath(i), "Name", "") != entry.Name)
            continue;
        ServerEntry found = ReadEntry(i);
        entry.SQLAuth = found.SQLAuth;
        entry.LoginName = found.LoginName;
        entry.Pwd = found.Pwd;
        entry.MRUDb = found.MRUDb;
        entry.Version = found.Version;
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
    const int32_t n = ServerCount() + 1;
    // Count goes first, as it always has: a reader in between sees an entry with empty values.
    SetRegDword(HKEY_CURRENT_USER, kKeyServers, "Count", n);
    WriteEntry(n, entry);
    WriteLogLine("ServerAddToList: " + entry.Name);
    LoadServerList();
}

void RemoveServerFromList(const std::string& name) {
    const int32_t n = ServerCount();
    std::vector<ServerEntry> kept;
    bool found = false;
    const auto& servers = ServerList();
    for (int32_t i = 1; i <= n && static_cast<size_t>(i) < servers.size(); ++i) {
        const ServerEntry& e = servers[static_cast<size_t>(i)];
        if (e.Name == name)
            found = true;
        else
            kept.push_back(e);
    }
    // A name that is not stored changes nothing; renumbering anyway would drop the last entry.
    if (!found)
        return;
    for (int32_t i = 1; i <= n; ++i)
        DeleteRegKey(HKEY_CURRENT_USER, ServerKeyPath(i));
    for (size_t j = 0; j < kept.size(); ++j)
        WriteEntry(static_cast<int32_t>(j + 1), kept[j]);
    SetRegDword(HKEY_CURRENT_USER, kKeyServers, "Count", static_cast<int32_t>(kept.size()));
    LoadServerList();
}

} // namespace orv
