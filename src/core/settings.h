// Program-wide settings: read from the registry at start-up into one set of values, plus the
// getters that read single settings on demand. A Boolean is on exactly when its DWORD is 1.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace orv {

constexpr const char* kKeyMav = "Software\\MAV";
constexpr const char* kKeyServers = "Software\\MAV\\Servers";
constexpr const char* kKeyComparisons = "Software\\MAV\\Comparisons";
constexpr const char* kKeyTXText = "Software\\MAV\\TXText";

constexpr int32_t kCursorServerSide = 2;
constexpr int32_t kCursorClientSide = 3;

struct ProgramSettings {
    int32_t Timeout = 30;
    int32_t MaxRowsInDiffTable = 5000;
    int32_t CacheSize = 5;
    int32_t CursorLocation = kCursorServerSide;
    bool ShowOwners = false;
    bool CaseSensitive = false;
    bool IgnoreWhitespace = true;
    bool IgnoreComments = true;
    bool IgnoreIndexes = false;
    bool IgnoreColSeq = true;
    bool IgnoreSysObjects = true;
    bool FilterOfflineDbs = true;
    bool AutoSelTargetObj = false;
    bool AnalyzeConstraints = false;
    // Table scripts add defaults, CHECK and UNIQUE constraints, index uniqueness, non-clustered
    // primary keys; relationships show all their column pairs; CREATE scripts recreate all of it.
    bool CompleteTableScripts = true;
    // In complete table scripts, constraints whose names the server generated are written (and
    // so compared) without their names.
    bool IgnoreSystemConstraintNames = true;
    // Synchronisation scripts disable the target's triggers on the tables they change.
    bool SyncDisableTriggers = true;
    // Differing lines are marked by the classic 20-line look-ahead rather than over the whole
    // texts.
    bool ClassicLineMatching = false;
    // How a whole-database comparison reads module texts: "auto" (fingerprints first where
    // both servers can give them), "full" or "hash-first".
    std::string CompareReading = "auto";
    bool ShowSecondaryToolbar = false;
    bool DebugMode = false;
    // The saved comparison process named on the command line; 0 when none.
    int32_t RunSavedComp = 0;
};

// The one program-wide copy.
ProgramSettings& Settings();

// Reads a Boolean setting: on exactly when the stored DWORD equals 1.
bool GetRegBool(const std::string& keyPath, const std::string& valueName, bool defaultValue);

// Getters that read the registry on every call.
bool PreserveDbSel();
bool AutoConnect();
bool CursorConnectionUseServer();
bool ShowDataCompOpt();
bool PromptToSave();
bool ShowOwners();
bool CaseSensitive();
bool IgnoreWhitespace();
bool IgnoreComments();
bool IgnoreIndexes();
bool IgnoreColSeq();
bool AutoSelTargetObj();
bool AnalyzeConstraints();
bool CompleteTableScripts();
bool IgnoreSystemConstraintNames();
bool ClassicLineMatching();
// The stored CompareReading text (default "auto"); the comparison reads it as a word.
std::string CompareReadingSetting();
bool IgnoreSysObjects();
bool SyncDisableTriggers();
// Outside debug mode always on; in debug mode the stored value (default on).
bool FilterOfflineDbs();
int32_t MaxRowsInDiffTable();
int32_t CacheSize();
int32_t TimeoutSetting();

// Reads every start-up setting in the documented order. `loadServerList` is called where the
// stored server list is loaded (the server room owns it).
void LoadSettings(const std::function<void()>& loadServerList);

// Writes the current version text to VerNum whenever the stored one differs.
void StampVersion();
// Writes the program folder to Location.
void SaveProgramLocation();

} // namespace orv
