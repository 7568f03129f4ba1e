#include "core/inifile.h"

#include "core/file_io.h"
#include "util/text.h"

#include <algorithm>
#include <sys/stat.h>

namespace orv {

namespace inifile {

namespace {

// `intact` is false when a rewrite would not give back the file's bytes for the lines it keeps:
// the file is there but could not be read, or its encoding had to be guessed.
std::vector<std::string> LoadLines(const std::string& path, bool* intact = nullptr) {
    auto bytes = ReadWholeFile(path);
    if (intact)
        *intact = bytes ? IsValidUtf8(*bytes) : !FileExists(path);
    if (!bytes)
        return {};
    std::string text;
    if (bytes->rfind("\xFF\xFE", 0) == 0) {
        // Saved as "Unicode" by a Windows editor; the profile calls read that form too.
        text = Utf16LeToUtf8(std::string_view(*bytes).substr(2));
        if (intact)
            *intact = false;
    } else {
        text = Utf8OrLatin1Lines(*bytes);
    }
    if (text.rfind("\xEF\xBB\xBF", 0) == 0)
        text.erase(0, 3);
    std::vector<std::string> lines = Split(text, "\n");
    for (auto& l : lines)
        if (!l.empty() && l.back() == '\r')
            l.pop_back();
    if (!lines.empty() && lines.back().empty())
        lines.pop_back();
    return lines;
}

// A line means what precedes its first NUL, as it would to the C-string profile calls; a name
// holding a NUL could not be listed either, since the lists separate names with NULs. The
// whole line is still written back untouched.
std::string_view Meaningful(const std::string& line) {
    return std::string_view(line).substr(0, line.find('\0'));
}

// "[name]" -> name; false for other lines.
bool SectionHeader(const std::string& line, std::string& name) {
    std::string t = TrimWhitespace(Meaningful(line));
    if (t.size() < 2 || t.front() != '[')
        return false;
    // The last "]": a table's name may hold one ("[s.db.Or]ders]").
    size_t close = t.rfind(']');
    if (close == std::string::npos)
        return false;
    name = TrimWhitespace(t.substr(1, close - 1));
    return true;
}

// "key=value" -> key and value, both trimmed, a value in matching quotes unquoted.
bool KeyLine(const std::string& line, std::string& key, std::string& value) {
    std::string t = TrimWhitespace(Meaningful(line));
    if (t.empty() || t[0] == ';')
        return false;
    size_t eq = t.find('=');
    if (eq == std::string::npos)
        return false;
    key = TrimWhitespace(t.substr(0, eq));
    value = TrimWhitespace(t.substr(eq + 1));
    if (value.size() >= 2 && ((value.front() == '"' && value.back() == '"') ||
                              (value.front() == '\'' && value.back() == '\'')))
        value = value.substr(1, value.size() - 2);
    return true;
}

// [begin, end) of the first section with that name; begin is the header line.
bool FindSection(const std::vector<std::string>& lines, const std::string& section, size_t& begin,
                 size_t& end) {
    std::string name;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (SectionHeader(lines[i], name) && EqualsNoCase(name, section)) {
            begin = i;
            end = i + 1;
            while (end < lines.size() && !SectionHeader(lines[end], name))
                ++end;
            return true;
        }
    }
    return false;
}

bool Store(const std::string& path, const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& l : lines)
        text += l + "\r\n";
    // A file the user made private stays private.
    struct stat st {};
    const unsigned mode = ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 0777) : 0644;
    return ReplaceFileAtomically(path, text, mode);
}

} // namespace

bool ReadValue(const std::string& path, const std::string& section, const std::string& key,
               std::string& value) {
    auto lines = LoadLines(path);
    size_t b, e;
    if (!FindSection(lines, section, b, e))
        return false;
    std::string k, v;
    for (size_t i = b + 1; i < e; ++i)
        if (KeyLine(lines[i], k, v) && EqualsNoCase(k, key)) {
            value = v;
            return true;
        }
    return false;
}

std::vector<std::string> KeyNames(const std::string& path, const std::string& section) {
    std::vector<std::string> names;
    auto lines = LoadLines(path);
    size_t b, e;
    if (!FindSection(lines, section, b, e))
        return names;
    std::string k, v;
    for (size_t i = b + 1; i < e; ++i)
        if (KeyLine(lines[i], k, v))
            names.push_back(k);
    return names;
}

std::vector<std::string> SectionNames(const std::string& path) {
    std::vector<std::string> names;
    std::string name;
    for (const auto& l : LoadLines(path))
        if (SectionHeader(l, name))
            names.push_back(name);
    return names;
}

bool Write(const std::string& path, const std::string& section, const std::string* key,
           const std::string* value) {
    FileLock lock(path);
    bool intact = true;
    auto lines = LoadLines(path, &intact);
    auto store = [&] {
        // A file we could not read faithfully is kept beside the new one, never just replaced.
        if (!intact && !KeepBackupCopy(path))
            return false;
        return Store(path, lines);
    };
    size_t b, e;
    bool found = FindSection(lines, section, b, e);
    if (!key) {
        if (found)
            lines.erase(lines.begin() + static_cast<long>(b), lines.begin() + static_cast<long>(e));
        return !found || store();
    }
    if (!found) {
        if (!value)
            return true;
        lines.push_back("[" + section + "]");
        lines.push_back(*key + "=" + *value);
        return store();
    }
    std::string k, v;
    for (size_t i = b + 1; i < e; ++i) {
        if (KeyLine(lines[i], k, v) && EqualsNoCase(k, *key)) {
            if (value)
                lines[i] = k + "=" + *value;
            else
                lines.erase(lines.begin() + static_cast<long>(i));
            return store();
        }
    }
    if (!value)
        return true;
    // New keys go after the section's last non-blank line, before any blank separator.
    size_t insertAt = e;
    while (insertAt > b + 1 && TrimWhitespace(lines[insertAt - 1]).empty())
        --insertAt;
    lines.insert(lines.begin() + static_cast<long>(insertAt), *key + "=" + *value);
    return store();
}

std::string AddSection(const std::string& path,
                       const std::function<std::string(const std::vector<std::string>&)>& choose,
                       const std::vector<std::pair<std::string, std::string>>& values) {
    FileLock lock(path);
    bool intact = true;
    auto lines = LoadLines(path, &intact);
    std::vector<std::string> names;
    std::string name;
    for (const auto& l : lines)
        if (SectionHeader(l, name))
            names.push_back(name);
    const std::string section = choose(names);
    if (section.empty())
        return {};
    size_t b, e;
    if (FindSection(lines, section, b, e))
        lines.erase(lines.begin() + static_cast<long>(b), lines.begin() + static_cast<long>(e));
    lines.push_back("[" + section + "]");
    for (const auto& [key, value] : values)
        lines.push_back(key + "=" + value);
    if (!intact && !KeepBackupCopy(path))
        return {};
    return Store(path, lines) ? section : std::string();
}

bool ReplaceSection(const std::string& path, const std::string& section,
                    const std::vector<std::pair<std::string, std::string>>& entries,
                    const std::string* replaces) {
    FileLock lock(path);
    bool intact = true;
    auto lines = LoadLines(path, &intact);
    bool changed = false;
    size_t b, e;
    if (replaces && !EqualsNoCase(*replaces, section) && FindSection(lines, *replaces, b, e)) {
        lines.erase(lines.begin() + static_cast<long>(b), lines.begin() + static_cast<long>(e));
        changed = true;
    }
    std::vector<std::string> replacement;
    if (!entries.empty()) {
        replacement.push_back("[" + section + "]");
        for (const auto& [key, value] : entries)
            replacement.push_back(key + "=" + value);
    }
    if (FindSection(lines, section, b, e)) {
        // A blank line that separated it from the next section stays.
        while (e > b + 1 && TrimWhitespace(lines[e - 1]).empty())
            --e;
        lines.erase(lines.begin() + static_cast<long>(b), lines.begin() + static_cast<long>(e));
        lines.insert(lines.begin() + static_cast<long>(b), replacement.begin(), replacement.end());
    } else if (entries.empty()) {
        if (!changed)
            return true;
    } else {
        lines.insert(lines.end(), replacement.begin(), replacement.end());
    }
    if (!intact && !KeepBackupCopy(path))
        return false;
    return Store(path, lines);
}

} // namespace inifile

namespace {
std::string JoinWithNuls(const std::vector<std::string>& names, size_t limit) {
    std::string out;
    for (const auto& n : names) {
        if (Utf8Length(out) + Utf8Length(n) + 1 > static_cast<int64_t>(limit))
            break;
        out += n;
        out += '\0';
    }
    return out;
}
} // namespace

std::string cInifile::Value() const {
    std::string v;
    if (!inifile::ReadValue(Path, Section, Key, v))
        v = Default;
    // The buffer holds 255 characters, one of them the terminator.
    return Utf8Left(v, kValueBuffer - 1);
}

void cInifile::SetValue(const std::string& value) {
    std::string clean;
    for (char c : value)
        if (c != '\0')
            clean += c;
    lastReturnCode_ = inifile::Write(Path, Section, &Key, &clean) ? 1 : 0;
}

std::string cInifile::INISection() const {
    return JoinWithNuls(inifile::KeyNames(Path, Section), kListBuffer);
}

void cInifile::SetINISection(const std::string&) {
    lastReturnCode_ = inifile::Write(Path, Section, nullptr, nullptr) ? 1 : 0;
}

std::string cInifile::Sections() const {
    return JoinWithNuls(inifile::SectionNames(Path), kListBuffer);
}

void cInifile::DeleteKey() {
    lastReturnCode_ = inifile::Write(Path, Section, &Key, nullptr) ? 1 : 0;
}

void cInifile::DeleteSection() {
    lastReturnCode_ = inifile::Write(Path, Section, nullptr, nullptr) ? 1 : 0;
}

void cInifile::EnumerateCurrentSection(std::vector<std::string>& sKey, int32_t& iCount) const {
    sKey.assign(1, std::string());
    iCount = 0;
    std::string list = INISection();
    for (const auto& name : Split(list, std::string(1, '\0'))) {
        if (name.empty())
            continue;
        sKey.push_back(name);
        ++iCount;
    }
}

void cInifile::EnumerateAllSections(std::vector<std::string>& sSections, int32_t& iCount) const {
    sSections.assign(1, std::string());
    iCount = 0;
    for (const auto& name : Split(Sections(), std::string(1, '\0'))) {
        if (name.empty())
            continue;
        sSections.push_back(name);
        ++iCount;
    }
}

void cInifile::SaveFormPosition(const FormPlacement& form) {
    const std::string savedKey = Key;
    if (!form.IsMinimised()) {
        auto put = [this](const char* k, const std::string& v) {
            Key = k;
            SetValue(v);
        };
        put("Maximised", form.IsMaximised() ? "1" : "0");
        if (!form.IsMaximised()) {
            put("Left", std::to_string(form.Left()));
            put("Top", std::to_string(form.Top()));
            put("Width", std::to_string(form.Width()));
            put("Height", std::to_string(form.Height()));
        }
    }
    Key = savedKey;
}

void cInifile::LoadFormPosition(FormPlacement& form, int32_t lMinWidth, int32_t lMinHeight) {
    const std::string savedKey = Key, savedDefault = Default;
    Default = "FAIL";
    auto get = [this](const char* k, int32_t fallback) {
        Key = k;
        return CLngDefault(Value(), fallback);
    };
    int32_t left = get("Left", form.Left());
    int32_t top = get("Top", form.Top());
    int32_t width = std::max(get("Width", form.Width()), lMinWidth);
    int32_t height = std::max(get("Height", form.Height()), lMinHeight);
    // Keep the whole window on the screen, shrinking it only when the screen is smaller.
    width = std::min(width, std::max(form.ScreenWidth(), lMinWidth));
    height = std::min(height, std::max(form.ScreenHeight(), lMinHeight));
    left = std::clamp(left, 0, std::max(0, form.ScreenWidth() - width));
    top = std::clamp(top, 0, std::max(0, form.ScreenHeight() - height));
    form.Move(left, top, width, height);
    if (get("Maximised", 0) == 1)
        form.Maximise();
    Key = savedKey;
    Default = savedDefault;
}

int32_t cInifile::CLngDefault(const std::string& sString, int32_t lDefault) {
    int32_t v = 0;
    return ParseInt32(sString, v) ? v : lDefault;
}

} // namespace orv
