#include "servers/server_list.h"

#include "servers/connection_string.h"

#include "core/log.h"
#include "core/password_store.h"
#include "core/program_info.h"
#include "core/registry.h"
#include "core/registry_document.h"
#include "core/settings.h"
#include "util/prompter.h"
#include "util/text.h"

#include <algorithm>
#include <set>

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

// `pwdToFile` is false while a keyring keeps the passwords: the entry is then written without.
void WriteEntry(RegistryDocument& doc, int32_t i, const ServerEntry& e, bool pwdToFile) {
    const std::string key = ServerKeyPath(i);
    CreateRegKey(doc, HKEY_CURRENT_USER, key);
    SetRegString(doc, HKEY_CURRENT_USER, key, "Name", e.Name);
    SetRegDword(doc, HKEY_CURRENT_USER, key, "SQLAuth", e.SQLAuth ? 1 : 0);
    SetRegString(doc, HKEY_CURRENT_USER, key, "LoginName", e.LoginName);
    if (pwdToFile)
        SetRegString(doc, HKEY_CURRENT_USER, key, "Pwd", e.Pwd);
    else
        DeleteRegValue(doc, HKEY_CURRENT_USER, key, "Pwd");
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

// Accounts whose keyring refused or failed once: asked again in this run, the desktop would
// prompt on every reload of the list.
std::set<std::string>& RefusedAccounts() {
    static std::set<std::string> refused;
    return refused;
}

void WarnKeyring(const std::string& text) {
    WriteLogLine(text);
    CurrentPrompter().MessageBox(MsgIcon::Warning, kExecutableName, text);
}

// The password of a SQL login from the keyring; a password the file still holds (not moved yet,
// or written by an earlier release running meanwhile) serves when the keyring has none.
void TakePasswordFromStore(PasswordStore& store, ServerEntry& e) {
    if (store.InRegistryFile() || !e.SQLAuth)
        return;
    const std::string account = PasswordAccount(e.Name, e.LoginName);
    if (RefusedAccounts().count(account) != 0)
        return;
    std::string password, error;
    const SecretRead read = store.Read(account, password, error);
    if (read == SecretRead::Found) {
        e.Pwd = password;
    } else if (read == SecretRead::Failed) {
        RefusedAccounts().insert(account);
        WarnKeyring("The password of server '" + e.Name + "' could not be read from the " +
                    "desktop keyring: " + error + ". The server stays listed; its connections " +
                    "ask the server without a password until the keyring is unlocked.");
    }
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
    const auto store = CurrentPasswordStore();
    for (int32_t i = 1; i <= n; ++i)
        TakePasswordFromStore(*store, list[static_cast<size_t>(i)]);
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
        TakePasswordFromStore(*CurrentPasswordStore(), found);
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
    const auto store = CurrentPasswordStore();
    const bool inFile = store->InRegistryFile();
    // The secret first: a server whose password the keyring refused is still listed (without
    // it), and the file never holds a password while a keyring answers.
    if (!inFile && entry.SQLAuth) {
        const std::string account = PasswordAccount(entry.Name, entry.LoginName);
        std::string error;
        if (store->Write(account, entry.Pwd, error))
            RefusedAccounts().erase(account);
        else
            WarnKeyring("The password of server '" + entry.Name + "' could not be stored in " +
                        "the desktop keyring: " + error + ". The server is listed without it.");
    }
    ModifyRegistry([&](RegistryDocument& doc) {
        const int32_t stored = StoredCount(doc);
        const int32_t n = (stored < 0 ? 0 : stored) + 1;
        SetRegDword(doc, HKEY_CURRENT_USER, kKeyServers, "Count", n);
        WriteEntry(doc, n, entry, inFile);
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
    const auto store = CurrentPasswordStore();
    const bool inFile = store->InRegistryFile();
    std::set<std::string> removedAccounts, keptAccounts;
    ModifyRegistry([&](RegistryDocument& doc) {
        removedAccounts.clear();
        keptAccounts.clear();
        const int32_t n = StoredCount(doc);
        std::vector<ServerEntry> kept;
        bool found = false;
        for (int32_t i = 1; i <= n; ++i) {
            ServerEntry e = ReadEntry(doc, i);
            if (e.Name == name) {
                found = true;
                if (e.SQLAuth)
                    removedAccounts.insert(PasswordAccount(e.Name, e.LoginName));
            } else {
                keptAccounts.insert(PasswordAccount(e.Name, e.LoginName));
                kept.push_back(std::move(e));
            }
        }
        // A name that is not stored (perhaps another copy removed it meanwhile) changes
        // nothing; renumbering anyway would drop the last entry.
        if (!found)
            return false;
        for (int32_t i = 1; i <= n; ++i)
            DeleteRegKey(doc, HKEY_CURRENT_USER, ServerKeyPath(i));
        // A password the file still holds (not moved yet) stays with its server.
        for (size_t j = 0; j < kept.size(); ++j)
            WriteEntry(doc, static_cast<int32_t>(j + 1), kept[j], inFile || !kept[j].Pwd.empty());
        SetRegDword(doc, HKEY_CURRENT_USER, kKeyServers, "Count",
                    static_cast<int32_t>(kept.size()));
        return true;
    });
    // After the file: a failure here leaves an unused secret behind, never a server without one.
    if (!inFile)
        for (const std::string& account : removedAccounts) {
            std::string error;
            if (keptAccounts.count(account) == 0 && !store->Remove(account, error))
                WriteLogLine("The password of server '" + name +
                             "' could not be removed from the desktop keyring: " + error + ".");
        }
    LoadServerList();
}

PasswordMove MovePasswordsToKeyring() {
    PasswordMove result;
    const auto store = CurrentPasswordStore();
    if (store->InRegistryFile())
        return result;
    std::vector<std::pair<std::string, std::string>> moved; // account, password
    const RegistryDocument doc = RegistrySnapshot();
    const int32_t n = StoredCount(doc);
    for (int32_t i = 1; i <= n; ++i) {
        const ServerEntry e = ReadEntry(doc, i);
        if (e.Pwd.empty())
            continue;
        const std::string account = PasswordAccount(e.Name, e.LoginName);
        std::string error;
        if (!store->Write(account, e.Pwd, error)) {
            result.failed = true;
            result.notice = "Stored passwords could not be moved to the desktop keyring: " + error +
                            ". They stay in " + RegistryFilePath() + ".";
            WriteLogLine(result.notice);
            return result;
        }
        moved.emplace_back(account, e.Pwd);
    }
    // Only a value still as it was moved leaves the file: one another copy changed meanwhile
    // waits for the next start.
    const bool rewritten = ModifyRegistry([&](RegistryDocument& current) {
        result.moved = 0;
        bool changed = false;
        const int32_t count = StoredCount(current);
        for (int32_t i = 1; i <= count; ++i) {
            const ServerEntry e = ReadEntry(current, i);
            // An empty value (a server that logs in with its Windows account) only goes.
            if (e.Pwd.empty()) {
                changed |= DeleteRegValue(current, HKEY_CURRENT_USER, ServerKeyPath(i), "Pwd");
                continue;
            }
            const auto m = std::find(moved.begin(), moved.end(),
                                     std::make_pair(PasswordAccount(e.Name, e.LoginName), e.Pwd));
            if (m != moved.end() &&
                DeleteRegValue(current, HKEY_CURRENT_USER, ServerKeyPath(i), "Pwd"))
                ++result.moved;
        }
        return changed || result.moved > 0;
    });
    if (result.moved > 0 && !rewritten) {
        // The secrets are stored; the passwords stay in the file too, and the next start
        // tries again.
        result.moved = 0;
        result.failed = true;
        result.notice = "Stored passwords were copied to the desktop keyring but " +
                        RegistryFilePath() + " could not be rewritten without them.";
        WriteLogLine(result.notice);
    } else if (result.moved > 0) {
        result.notice =
            "Stored passwords moved to the desktop keyring: " + std::to_string(result.moved) +
            (result.moved == 1 ? " server." : " servers.");
        WriteLogLine(result.notice);
    }
    LoadServerList();
    return result;
}

} // namespace orv
