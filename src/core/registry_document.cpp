#include "core/registry_document.h"

#include "util/text.h"

#include <cstdio>

namespace orv {

namespace {

constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";

std::string DecodeFileText(std::string_view bytes) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE)
        return Utf16LeToUtf8(bytes.substr(2));
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes = bytes.substr(3);
    return Utf8OrLatin1Lines(bytes);
}

// Logical lines: CR LF and LF both end a line; a hex value continued with a trailing
// backslash is joined with the lines that follow. (Only hex lists end in a backslash: texts
// end in a quote, key lines in a bracket.)
std::vector<std::string> LogicalLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string pending;
    bool continuing = false;
    for (auto& physical : Split(text, "\n")) {
        std::string line = continuing ? TrimWhitespace(physical) : physical;
        // Blanks after the backslash are invisible in an editor; the line still continues.
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.pop_back();
        pending += line;
        if (!pending.empty() && pending.back() == '\\' &&
            pending.find("=hex") != std::string::npos) {
            pending.pop_back();
            continuing = true;
            continue;
        }
        lines.push_back(std::move(pending));
        pending.clear();
        continuing = false;
    }
    if (!pending.empty())
        lines.push_back(std::move(pending));
    return lines;
}

// Reads a quoted text starting at s[i] == '"'; i ends after the closing quote.
bool ReadQuoted(const std::string& s, size_t& i, std::string& out) {
    if (i >= s.size() || s[i] != '"')
        return false;
    ++i;
    out.clear();
    while (i < s.size()) {
        char c = s[i++];
        if (c == '\\' && i < s.size()) {
            out += s[i++];
        } else if (c == '"') {
            return true;
        } else {
            out += c;
        }
    }
    return false;
}

bool ParseHexBytes(std::string_view list, std::string& bytes) {
    bytes.clear();
    for (const auto& piece : Split(list, ",")) {
        std::string p = TrimWhitespace(piece);
        if (p.empty())
            continue;
        if (p.size() > 2)
            return false;
        unsigned v = 0;
        for (char c : p) {
            v <<= 4;
            if (c >= '0' && c <= '9')
                v |= static_cast<unsigned>(c - '0');
            else if (c >= 'a' && c <= 'f')
                v |= static_cast<unsigned>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                v |= static_cast<unsigned>(c - 'A' + 10);
            else
                return false;
        }
        bytes += static_cast<char>(v);
    }
    return true;
}

bool ParseValue(const std::string& rhs, bool unicodeFile, RegValue& v) {
    if (!rhs.empty() && rhs[0] == '"') {
        size_t i = 0;
        std::string text;
        if (!ReadQuoted(rhs, i, text))
            return false;
        v.type = RegValue::Type::String;
        v.text = text;
        return true;
    }
    if (StartsWithNoCase(rhs, "dword:")) {
        std::string digits = TrimWhitespace(rhs.substr(6));
        if (digits.empty() || digits.size() > 8)
            return false;
        uint32_t n = 0;
        for (char c : digits) {
            n <<= 4;
            if (c >= '0' && c <= '9')
                n |= static_cast<uint32_t>(c - '0');
            else if (c >= 'a' && c <= 'f')
                n |= static_cast<uint32_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                n |= static_cast<uint32_t>(c - 'A' + 10);
            else
                return false;
        }
        v.type = RegValue::Type::Dword;
        v.dword = n;
        return true;
    }
    if (StartsWithNoCase(rhs, "hex(1):")) {
        std::string bytes;
        if (!ParseHexBytes(rhs.substr(7), bytes))
            return false;
        v.type = RegValue::Type::String;
        // A version 5 export holds UTF-16 text; ours hold UTF-8. Either keeps its terminator,
        // which readers cut off with everything after the first NUL.
        v.text = unicodeFile ? Utf16LeToUtf8(bytes) : bytes;
        while (!v.text.empty() && v.text.back() == '\0')
            v.text.pop_back();
        return true;
    }
    v.type = RegValue::Type::Other;
    // Written back as found, so it must not end in what would join it with the next line, nor
    // in a blank or CR that the next read would cut off (a save would then differ from the one
    // before it): both are trimmed until neither is left.
    v.raw = rhs;
    while (!v.raw.empty() && v.raw.back() == '\\')
        v.raw = TrimWhitespace(v.raw.substr(0, v.raw.size() - 1));
    return true;
}

std::string Quote(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

// Control characters would break the line structure. Bytes that are not UTF-8 (a hex(1) value
// of an 8-bit export) would make the whole file fail the UTF-8 check on the next load, and every
// other non-ASCII text in it would then be read as Latin-1 and saved garbled.
bool NeedsHex(std::string_view s) {
    for (unsigned char c : s)
        if (c < 0x20)
            return true;
    return !IsValidUtf8(s);
}

std::string HexList(std::string_view bytes) {
    std::string out;
    char buf[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02x", static_cast<unsigned char>(bytes[i]));
        if (i)
            out += ',';
        out += buf;
    }
    return out;
}

std::string ParentPath(std::string_view path) {
    size_t cut = path.rfind('\\');
    return cut == std::string_view::npos ? std::string() : std::string(path.substr(0, cut));
}

// One `"name"=value` (or `@=value`, or `"name"=-`) line of `key`. False when the line is not one.
// A line the file ends in without a line break may have been cut short (a copy that ran out of
// disk, a torn download). A quoted text shows that by its missing quote; a number or a hex list
// cannot, and read anyway it would give a wrong timeout or a shorter password, so such a line
// is taken only when `complete`.
bool ReadValueLine(const std::string& line, bool unicode, bool complete, RegKey& key) {
    std::string name;
    size_t i = 0;
    if (line[0] == '@') {
        i = 1;
    } else if (!ReadQuoted(line, i, name)) {
        return false;
    }
    while (i < line.size() && line[i] == ' ')
        ++i;
    if (i >= line.size() || line[i] != '=')
        return false;
    std::string rhs = TrimWhitespace(line.substr(i + 1));
    if (!complete && (rhs.empty() || rhs[0] != '"'))
        return false;
    if (rhs == "-") {
        auto& vals = key.values;
        for (auto it = vals.begin(); it != vals.end(); ++it)
            if (EqualsNoCase(it->first, name)) {
                vals.erase(it);
                break;
            }
        return true;
    }
    RegValue v;
    if (!ParseValue(rhs, unicode, v))
        return false;
    for (auto& [n, old] : key.values)
        if (EqualsNoCase(n, name)) {
            old = std::move(v);
            return true;
        }
    key.values.emplace_back(std::move(name), std::move(v));
    return true;
}

} // namespace

RegistryDocument RegistryDocument::Parse(std::string_view bytes, bool* readable) {
    RegistryDocument doc;
    std::string text = DecodeFileText(bytes);
    bool unicode = false, headerSeen = false;
    size_t dropped = 0;
    RegKey* current = nullptr;
    const bool cutShort = !text.empty() && text.back() != '\n' && text.back() != '\r';
    const auto lines = LogicalLines(text);
    for (size_t n = 0; n < lines.size(); ++n) {
        std::string line = TrimWhitespace(lines[n]);
        if (line.empty() || line[0] == ';')
            continue;
        if (line == kHeader4 || line == kHeader5) {
            // A repeated header (two exports joined into one file) changes nothing.
            if (!headerSeen)
                unicode = line == kHeader5;
            headerSeen = true;
            continue;
        }
        if (line.front() == '[' && line.back() == ']') {
            std::string path = line.substr(1, line.size() - 2);
            if (!path.empty() && path[0] == '-') {
                doc.DeleteKey(path.substr(1));
                current = nullptr;
            } else {
                current = &doc.CreateKey(path);
            }
            continue;
        }
        // Anything else must be a value of the current key; what is not is counted, so a save
        // keeps a copy of the file instead of silently dropping the line.
        if (!current || !ReadValueLine(line, unicode, !cutShort || n + 1 < lines.size(), *current))
            ++dropped;
    }
    if (readable)
        *readable = (headerSeen || TrimWhitespace(text).empty()) && dropped == 0;
    return doc;
}

std::string RegistryDocument::Serialize() const {
    std::string out(kHeader4);
    out += "\n";
    for (const auto& key : keys_) {
        out += "\n[" + key.path + "]\n";
        for (const auto& [name, v] : key.values) {
            out += name.empty() ? std::string("@") : Quote(name);
            out += '=';
            switch (v.type) {
            case RegValue::Type::String: {
                // Trailing NULs mean nothing to a reader and the terminator below stands for
                // them; writing them out would change the file on every save.
                std::string_view text = v.text;
                while (!text.empty() && text.back() == '\0')
                    text.remove_suffix(1);
                if (NeedsHex(text))
                    out += "hex(1):" + HexList(std::string(text) + std::string(1, '\0'));
                else
                    out += Quote(text);
                break;
            }
            case RegValue::Type::Dword: {
                char buf[16];
                std::snprintf(buf, sizeof buf, "dword:%08x", v.dword);
                out += buf;
                break;
            }
            case RegValue::Type::Other:
                out += v.raw;
                break;
            }
            out += '\n';
        }
    }
    return out;
}

RegKey* RegistryDocument::FindKey(std::string_view keyPath) {
    for (auto& k : keys_)
        if (EqualsNoCase(k.path, keyPath))
            return &k;
    return nullptr;
}

const RegKey* RegistryDocument::FindKey(std::string_view keyPath) const {
    for (const auto& k : keys_)
        if (EqualsNoCase(k.path, keyPath))
            return &k;
    return nullptr;
}

const RegValue* RegistryDocument::Find(std::string_view keyPath, std::string_view name) const {
    const RegKey* k = FindKey(keyPath);
    if (!k)
        return nullptr;
    for (const auto& [n, v] : k->values)
        if (EqualsNoCase(n, name))
            return &v;
    return nullptr;
}

bool RegistryDocument::HasKey(std::string_view keyPath) const {
    return FindKey(keyPath);
}

RegKey& RegistryDocument::CreateKey(std::string_view keyPath) {
    if (RegKey* k = FindKey(keyPath))
        return *k;
    std::string parent = ParentPath(keyPath);
    if (!parent.empty() && parent.find('\\') != std::string::npos)
        CreateKey(parent);
    keys_.push_back(RegKey{std::string(keyPath), {}});
    return keys_.back();
}

void RegistryDocument::Set(std::string_view keyPath, std::string_view name, RegValue value) {
    RegKey& k = CreateKey(keyPath);
    for (auto& [n, v] : k.values)
        if (EqualsNoCase(n, name)) {
            v = std::move(value);
            return;
        }
    k.values.emplace_back(std::string(name), std::move(value));
}

bool RegistryDocument::DeleteKey(std::string_view keyPath) {
    bool found = false;
    std::string prefix = std::string(keyPath) + "\\";
    for (auto it = keys_.begin(); it != keys_.end();) {
        if (EqualsNoCase(it->path, keyPath) || StartsWithNoCase(it->path, prefix)) {
            found = true;
            it = keys_.erase(it);
        } else {
            ++it;
        }
    }
    return found;
}

bool RegistryDocument::DeleteValue(std::string_view keyPath, std::string_view name) {
    RegKey* k = FindKey(keyPath);
    if (!k)
        return false;
    for (auto it = k->values.begin(); it != k->values.end(); ++it)
        if (EqualsNoCase(it->first, name)) {
            k->values.erase(it);
            return true;
        }
    return false;
}

} // namespace orv
