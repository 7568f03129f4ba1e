// An INI file read and written section by section with the private-profile rules: section and
// key names compare ignoring case, the file keeps its order and its other lines, values are
// read into a 255-character buffer, and every write replaces the file atomically.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace orv {

// A window's placement, as SaveFormPosition/LoadFormPosition see it.
class FormPlacement {
public:
    virtual ~FormPlacement() = default;
    virtual bool IsMinimised() const = 0;
    virtual bool IsMaximised() const = 0;
    virtual int32_t Left() const = 0;
    virtual int32_t Top() const = 0;
    virtual int32_t Width() const = 0;
    virtual int32_t Height() const = 0;
    virtual int32_t ScreenWidth() const = 0;
    virtual int32_t ScreenHeight() const = 0;
    virtual void Move(int32_t left, int32_t top, int32_t width, int32_t height) = 0;
    virtual void Maximise() = 0;
};

class cInifile {
public:
    std::string Path;
    std::string Section;
    std::string Key;
    std::string Default;

    // The value of Key in Section, at most 254 characters, or Default.
    std::string Value() const;
    // NUL characters are removed before writing.
    void SetValue(const std::string& value);
    int32_t LastReturnCode() const { return lastReturnCode_; }
    bool Success() const { return lastReturnCode_ != 0; }
    // The key names of Section, each followed by a NUL (at most 8192 characters in all).
    std::string INISection() const;
    // Writing removes the section, as the profile call does for a section-only write.
    void SetINISection(const std::string& text);
    // All section names, each followed by a NUL.
    std::string Sections() const;
    void DeleteKey();
    void DeleteSection();
    // Fills sKey (from index 1; index 0 is unused) and iCount.
    void EnumerateCurrentSection(std::vector<std::string>& sKey, int32_t& iCount) const;
    void EnumerateAllSections(std::vector<std::string>& sSections, int32_t& iCount) const;
    void SaveFormPosition(const FormPlacement& form);
    void LoadFormPosition(FormPlacement& form, int32_t lMinWidth, int32_t lMinHeight);
    static int32_t CLngDefault(const std::string& sString, int32_t lDefault);

    static constexpr size_t kValueBuffer = 255;
    static constexpr size_t kListBuffer = 8192;

private:
    int32_t lastReturnCode_ = 0;
};

// The profile calls themselves, on one file.
namespace inifile {
// Value of key in section, or nothing when the file, section or key is missing.
bool ReadValue(const std::string& path, const std::string& section, const std::string& key,
               std::string& value);
std::vector<std::string> KeyNames(const std::string& path, const std::string& section);
std::vector<std::string> SectionNames(const std::string& path);
// Writes key = value (creating section and file as needed). A null key removes the section;
// a null value removes the key. Returns false when the file could not be written.
bool Write(const std::string& path, const std::string& section, const std::string* key,
           const std::string* value);
// One locked read-modify-write: `choose` picks a section name from the section names the file
// holds at that moment, and the section is written at the end of the file with `values` in
// their order (a section of that name is replaced). Empty when `choose` gave no name or the
// file could not be written; the chosen name otherwise.
std::string AddSection(const std::string& path,
                       const std::function<std::string(const std::vector<std::string>&)>& choose,
                       const std::vector<std::pair<std::string, std::string>>& values);
// Makes the section hold exactly these key=value lines, in one atomic replace: in its place
// when it exists, at the end of the file otherwise; no entries removes it. `replaces`, when
// given, names a section that goes in the same replace (a section being renamed). The file's
// other lines stay as they were. Returns false when the file could not be written (it is then
// untouched).
bool ReplaceSection(const std::string& path, const std::string& section,
                    const std::vector<std::pair<std::string, std::string>>& entries,
                    const std::string* replaces = nullptr);
} // namespace inifile

} // namespace orv
