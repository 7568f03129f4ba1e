// Single registry values and keys, kept in one .reg-syntax text file per user. Every call goes
// to the file, so two running copies see each other's writes; every write is a locked
// read-modify-write with an atomic replace. Reads never fail towards the caller.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace orv {

enum class HKEY { HKEY_CURRENT_USER };
constexpr HKEY HKEY_CURRENT_USER = HKEY::HKEY_CURRENT_USER;

// The file: $XDG_CONFIG_HOME/orvane/registry.reg (default ~/.config/orvane/registry.reg),
// unless a path was set (tests point it at their own folder).
std::string RegistryFilePath();
void SetRegistryFilePath(const std::string& path);

// The stored DWORD, or nothing when the value is missing or of another type.
std::optional<int32_t> QueryRegDword(HKEY root, const std::string& keyPath,
                                     const std::string& valueName);
int32_t GetRegDword(HKEY root, const std::string& keyPath, const std::string& valueName,
                    int32_t defaultValue);
std::string GetRegString(HKEY root, const std::string& keyPath, const std::string& valueName,
                         const std::string& defaultValue);
// "Success", or "No! Failed to save Value".
std::string SetRegDword(HKEY root, const std::string& keyPath, const std::string& valueName,
                        int32_t value);
std::string SetRegString(HKEY root, const std::string& keyPath, const std::string& valueName,
                         const std::string& value);
void CreateRegKey(HKEY root, const std::string& keyPath);
// Removes exactly this key and its subkeys. "Success", or "No! Key to Delete Or Key Not Found".
std::string DeleteRegKey(HKEY root, const std::string& keyPath);
bool RegKeyExists(HKEY root, const std::string& keyPath);

class RegistryDocument;
// Runs `change` on the current contents under the file lock and stores the result atomically.
// `change` returns false to leave the file untouched. False when the file could not be written.
bool ModifyRegistry(const std::function<bool(RegistryDocument&)>& change);
// The whole file as it is now, for a caller that reads several values that belong together: a
// running copy that rewrites the file between two single reads cannot then mix old and new.
RegistryDocument RegistrySnapshot();

// The same reads and writes on a document, for changes of several values that must reach the
// file (and the other running copy) all at once: inside ModifyRegistry, or on a snapshot.
std::optional<int32_t> QueryRegDword(const RegistryDocument& doc, HKEY root,
                                     const std::string& keyPath, const std::string& valueName);
int32_t GetRegDword(const RegistryDocument& doc, HKEY root, const std::string& keyPath,
                    const std::string& valueName, int32_t defaultValue);
std::string GetRegString(const RegistryDocument& doc, HKEY root, const std::string& keyPath,
                         const std::string& valueName, const std::string& defaultValue);
void SetRegDword(RegistryDocument& doc, HKEY root, const std::string& keyPath,
                 const std::string& valueName, int32_t value);
void SetRegString(RegistryDocument& doc, HKEY root, const std::string& keyPath,
                  const std::string& valueName, const std::string& value);
void CreateRegKey(RegistryDocument& doc, HKEY root, const std::string& keyPath);
// False when the key did not exist.
bool DeleteRegKey(RegistryDocument& doc, HKEY root, const std::string& keyPath);
// False when the value did not exist.
bool DeleteRegValue(RegistryDocument& doc, HKEY root, const std::string& keyPath,
                    const std::string& valueName);

} // namespace orv
