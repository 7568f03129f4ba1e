// The registry file's contents in memory: keys in file order, each with its values in order.
// Reads both the REGEDIT4 form we write and the "Windows Registry Editor Version 5.00" form of
// an export made on Windows (UTF-16LE with BOM or UTF-8).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

struct RegValue {
    enum class Type { String, Dword, Other };
    Type type = Type::String;
    std::string text;   // String: may hold NULs (readers stop at the first)
    uint32_t dword = 0; // Dword
    std::string raw;    // Other: the right-hand side as found, written back unchanged
};

struct RegKey {
    std::string path; // full path, e.g. HKEY_CURRENT_USER\Software\MAV
    std::vector<std::pair<std::string, RegValue>> values;
};

class RegistryDocument {
public:
    // Parses file bytes. Lines that cannot be understood are skipped; `readable` tells whether
    // the whole file was understood (a header was found, or it was empty, and no line was
    // skipped), which is what decides whether a save must first keep a copy of it.
    static RegistryDocument Parse(std::string_view bytes, bool* readable = nullptr);
    // The REGEDIT4 form, UTF-8, LF line breaks.
    std::string Serialize() const;

    const RegValue* Find(std::string_view keyPath, std::string_view name) const;
    bool HasKey(std::string_view keyPath) const;
    // Creates the key and its parents when missing.
    RegKey& CreateKey(std::string_view keyPath);
    void Set(std::string_view keyPath, std::string_view name, RegValue value);
    // Removes the key and every key below it; false when it did not exist.
    bool DeleteKey(std::string_view keyPath);
    // Removes one value; false when it did not exist.
    bool DeleteValue(std::string_view keyPath, std::string_view name);

    const std::vector<RegKey>& Keys() const { return keys_; }

private:
    RegKey* FindKey(std::string_view keyPath);
    const RegKey* FindKey(std::string_view keyPath) const;
    std::vector<RegKey> keys_;
};

} // namespace orv
