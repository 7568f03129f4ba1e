// The stored server list: Count and keys Server1..ServerN under Software\MAV\Servers, with the
// program-wide cache ServerList rebuilt from the registry, and the two panel records.
#pragma once

#include "servers/server_entry.h"
#include "util/list_control.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace orv {

// Index 0 is unused so that ServerList()[i] is entry Server<i>.
std::vector<ServerEntry>& ServerList();
// True when the last load found at least one stored server.
bool IsServerListLoaded();

// The Source (0) and Target (1) panel records: copies, not references into ServerList.
std::array<ServerEntry, 2>& PanelServers();

// The registry key of entry i: Software\MAV\Servers\Server<i>.
std::string ServerKeyPath(int32_t entryNumber);

void LoadServerList();
// N (a negative stored Count gives 0); reloads ServerList on every call.
int32_t ServerCount();
// Fills the entry from the stored server of exactly its Name; warns and leaves it cleared
// when there is none.
void FindServer(ServerEntry& entry);
void ResetPanelServers();
void FillServerListBox(ListControl& list);
void ServerAddToList(const ServerEntry& entry);
// One text value (MRUDb, Version) of the stored server a panel record was taken from. The
// record's EntryNumber was right when it was read, but another running copy may have removed a
// server since and renumbered the rest: the number is trusted only while the name stored there
// still matches, otherwise the server is found by name. When it is no longer stored, the read
// gives empty text and the write does nothing.
std::string GetStoredServerString(const ServerEntry& entry, const std::string& valueName);
void SetStoredServerString(const ServerEntry& entry, const std::string& valueName,
                           const std::string& value);
void RemoveServerFromList(const std::string& name);

// While a keyring keeps the passwords, those the registry file still holds (from an earlier
// release, or written by one running meanwhile) move into it: every one is stored first, and
// only then is the file rewritten without them, so a refusal loses nothing. `notice` is the
// one line to show, empty when there was nothing to move.
struct PasswordMove {
    int32_t moved = 0;
    bool failed = false;
    std::string notice;
};
PasswordMove MovePasswordsToKeyring();

} // namespace orv
