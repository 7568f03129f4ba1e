#include "core/settings.h"

#include "core/paths.h"
#include "core/program_info.h"
#include "core/registry.h"

namespace orv {

ProgramSettings& Settings() {
    static ProgramSettings settings;
    return settings;
}

bool GetRegBool(const std::string& keyPath, const std::string& valueName, bool defaultValue) {
    // Another number (2 included) is off; a missing value or one of another type is the default.
    auto v = QueryRegDword(HKEY_CURRENT_USER, keyPath, valueName);
    return v ? *v == 1 : defaultValue;
}

bool PreserveDbSel() {
    return GetRegBool(kKeyMav, "PreserveDbSel", true);
}
bool AutoConnect() {
    return GetRegBool(kKeyServers, "AutoConnect", false);
}
bool CursorConnectionUseServer() {
    return GetRegBool(kKeyServers, "CursorConnectionUseServer", true);
}
bool ShowDataCompOpt() {
    return GetRegBool(kKeyComparisons, "ShowDataCompOpt", true);
}
bool PromptToSave() {
    return GetRegBool(kKeyComparisons, "PromptToSave", true);
}
bool ShowOwners() {
    return GetRegBool(kKeyServers, "ShowOwners", false);
}
bool CaseSensitive() {
    return GetRegBool(kKeyComparisons, "CaseSensitive", false);
}
bool IgnoreWhitespace() {
    return GetRegBool(kKeyComparisons, "IgnoreWhitespace", true);
}
bool IgnoreComments() {
    return GetRegBool(kKeyComparisons, "IgnoreComments", true);
}
bool IgnoreIndexes() {
    return GetRegBool(kKeyComparisons, "IgnoreIndexes", false);
}
bool IgnoreColSeq() {
    return GetRegBool(kKeyComparisons, "IgnoreColSeq", true);
}
bool AutoSelTargetObj() {
    return GetRegBool(kKeyMav, "AutoSelTargetObj", false);
}
bool AnalyzeConstraints() {
    return GetRegBool(kKeyMav, "AnalyzeConstraints", false);
}
bool CompleteTableScripts() {
    return GetRegBool(kKeyComparisons, "CompleteTableScripts", true);
}
bool IgnoreSystemConstraintNames() {
    return GetRegBool(kKeyComparisons, "IgnoreSystemConstraintNames", true);
}
bool ClassicLineMatching() {
    return GetRegBool(kKeyComparisons, "ClassicLineMatching", false);
}
bool IgnoreSysObjects() {
    return GetRegBool(kKeyComparisons, "IgnoreSysObjects", true);
}
bool SyncDisableTriggers() {
    return GetRegBool(kKeyComparisons, "SyncDisableTriggers", true);
}

bool FilterOfflineDbs() {
    if (!Settings().DebugMode)
        return true;
    return GetRegBool(kKeyServers, "FilterOfflineDbs", true);
}

int32_t MaxRowsInDiffTable() {
    return GetRegDword(HKEY_CURRENT_USER, kKeyMav, "MaxRowsInDiffTable", 5000);
}
int32_t CacheSize() {
    return GetRegDword(HKEY_CURRENT_USER, kKeyMav, "CacheSize", 5);
}
int32_t TimeoutSetting() {
    return GetRegDword(HKEY_CURRENT_USER, kKeyMav, "Timeout", 30);
}

void LoadSettings(const std::function<void()>& loadServerList) {
    ProgramSettings& s = Settings();
    s.Timeout = TimeoutSetting();
    if (loadServerList)
        loadServerList();
    s.MaxRowsInDiffTable = MaxRowsInDiffTable();
    s.ShowOwners = ShowOwners();
    s.CaseSensitive = CaseSensitive();
    s.IgnoreWhitespace = IgnoreWhitespace();
    s.IgnoreComments = IgnoreComments();
    s.IgnoreIndexes = IgnoreIndexes();
    s.CursorLocation = CursorConnectionUseServer() ? kCursorServerSide : kCursorClientSide;
    s.CacheSize = CacheSize();
    s.ShowSecondaryToolbar = false;
    s.IgnoreSysObjects = IgnoreSysObjects();
    s.FilterOfflineDbs = FilterOfflineDbs();
    s.IgnoreColSeq = IgnoreColSeq();
    s.AutoSelTargetObj = AutoSelTargetObj();
    s.AnalyzeConstraints = AnalyzeConstraints();
    s.CompleteTableScripts = CompleteTableScripts();
    s.IgnoreSystemConstraintNames = IgnoreSystemConstraintNames();
    s.SyncDisableTriggers = SyncDisableTriggers();
    s.ClassicLineMatching = ClassicLineMatching();
    s.CompareReading = CompareReadingSetting();
}

std::string CompareReadingSetting() {
    return GetRegString(HKEY_CURRENT_USER, kKeyComparisons, "CompareReading", "auto");
}

void StampVersion() {
    const std::string current = std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor);
    if (GetRegString(HKEY_CURRENT_USER, kKeyMav, "VerNum", "") != current)
        SetRegString(HKEY_CURRENT_USER, kKeyMav, "VerNum", current);
}

void SaveProgramLocation() {
    SetRegString(HKEY_CURRENT_USER, kKeyMav, "Location", Paths().ProgramFolder);
}

} // namespace orv
