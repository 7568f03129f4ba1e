#include "catalog/script_folder_layout.h"

#include "util/text.h"

#include <cstdint>
#include <cstdio>
#include <map>

namespace orv {

namespace {

struct FolderType {
    ObjectType Type;
    const char* Folder;
};

// The order a folder is read back in: what others depend on first.
constexpr FolderType kFolders[] = {
    {kFolderSchemas, "Schemas"},          {kFolderUserTypes, "Types"},  {kTypeTable, "Tables"},
    {kTypeRelationship, "Relationships"}, {kTypeFunction, "Functions"}, {kTypeView, "Views"},
    {kTypeProcedure, "Procedures"},       {kTypeTrigger, "Triggers"},
};

constexpr size_t kMaxFileNameBytes = 255;
constexpr const char* kExtension = ".sql";

uint64_t Fnv1a64(const std::string& bytes) {
    uint64_t h = 0xcbf29ce484222325ULL;
    for (const unsigned char c : bytes) {
        h ^= c;
        h *= 0x100000001b3ULL;
    }
    return h;
}

std::string HashSuffix(const ScriptFileName& n) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "~%016llx",
                  static_cast<unsigned long long>(Fnv1a64(n.Schema + '\0' + n.Name)));
    return buf;
}

std::string Stem(const ScriptFileName& n) {
    return n.Schema.empty() ? EncodeNamePart(n.Name, false)
                            : EncodeNamePart(n.Schema, true) + "." + EncodeNamePart(n.Name, false);
}

// Cuts an encoded stem to at most `limit` bytes without splitting a UTF-8 character or a %XX.
std::string CutStem(const std::string& stem, size_t limit) {
    if (stem.size() <= limit)
        return stem;
    size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(stem[end]) & 0xC0) == 0x80)
        --end;
    if (end >= 1 && stem[end - 1] == '%')
        end -= 1;
    else if (end >= 2 && stem[end - 2] == '%')
        end -= 2;
    return stem.substr(0, end);
}

// Decodes one UTF-8 character at `i` (advancing it); a stray byte stands for itself.
uint32_t NextCodePoint(const std::string& s, size_t& i) {
    const unsigned char c = s[i];
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    if (extra && i + extra >= s.size()) {
        ++i;
        return c;
    }
    uint32_t cp = extra == 3 ? c & 0x07 : extra == 2 ? c & 0x0F : extra == 1 ? c & 0x1F : c;
    for (int k = 1; k <= extra; ++k) {
        const unsigned char d = s[i + k];
        if ((d & 0xC0) != 0x80) {
            ++i;
            return c;
        }
        cp = (cp << 6) | (d & 0x3F);
    }
    i += extra + 1;
    return cp;
}

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

uint32_t FoldCodePoint(uint32_t cp) {
    if (cp >= 'A' && cp <= 'Z')
        return cp + 0x20;
    if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7)
        return cp + 0x20;
    if (cp >= 0x391 && cp <= 0x3A9 && cp != 0x3A2)
        return cp + 0x20;
    if (cp >= 0x410 && cp <= 0x42F)
        return cp + 0x20;
    if (cp >= 0x400 && cp <= 0x40F)
        return cp + 0x50;
    return cp;
}

} // namespace

std::string ScriptFolderOf(ObjectType type) {
    for (const FolderType& f : kFolders)
        if (f.Type == type)
            return f.Folder;
    return "";
}

std::vector<ObjectType> ScriptFolderOrder() {
    std::vector<ObjectType> order;
    for (const FolderType& f : kFolders)
        order.push_back(f.Type);
    return order;
}

ObjectType ScriptFolderType(const std::string& folder) {
    for (const FolderType& f : kFolders)
        if (folder == f.Folder)
            return f.Type;
    return kTypeNone;
}

std::string EncodeNamePart(const std::string& part, bool dotToo) {
    static const std::string kReserved = "%/\\:*?\"<>|~";
    std::string out;
    for (const char ch : part) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F || kReserved.find(ch) != std::string::npos ||
            (dotToo && ch == '.')) {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%02X", c);
            out += buf;
        } else {
            out += ch;
        }
    }
    return out;
}

std::string FoldForFileSystem(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size();)
        AppendUtf8(out, FoldCodePoint(NextCodePoint(text, i)));
    return out;
}

std::vector<std::string> AssignScriptFileNames(const std::vector<ScriptFileName>& names) {
    std::vector<std::string> stems;
    std::map<std::string, int> folded;
    for (const ScriptFileName& n : names) {
        stems.push_back(Stem(n));
        ++folded[FoldForFileSystem(stems.back() + kExtension)];
    }
    const size_t suffixBytes = HashSuffix({}).size();
    std::vector<std::string> files;
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string plain = stems[i] + kExtension;
        const bool clash = folded[FoldForFileSystem(plain)] > 1;
        // "~" is always encoded in a stem, so a plain name never looks like a hashed one.
        if (!clash && plain.size() <= kMaxFileNameBytes) {
            files.push_back(plain);
            continue;
        }
        const size_t room = kMaxFileNameBytes - suffixBytes - std::string(kExtension).size();
        files.push_back(CutStem(stems[i], room) + HashSuffix(names[i]) + kExtension);
    }
    return files;
}

std::string ManifestText(const ScriptFolderManifest& m) {
    std::string out = "ORVANE-SCRIPTS-FOLDER " + std::to_string(m.Format) + "\n";
    out += "version " + EscapeLinePart(m.Version) + "\n";
    out += "version-major " + std::to_string(m.VersionMajor) + "\n";
    out += "database " + EscapeLinePart(m.Database) + "\n";
    out += std::string("line-breaks ") + (m.CrLf ? "crlf" : "lf") + "\n";
    out += std::string("complete-table-scripts ") + (m.CompleteTableScripts ? "on" : "off") + "\n";
    out += std::string("ignore-system-constraint-names ") +
           (m.IgnoreSystemConstraintNames ? "on" : "off") + "\n";
    out += "\n";
    for (const ManifestEntry& e : m.Files) {
        out += ScriptFolderOf(e.Type) + "\t" + EscapeLinePart(e.Schema) + "\t" +
               EscapeLinePart(e.Name) + "\t" + EscapeLinePart(e.Path) + "\n";
    }
    return out;
}

bool ParseManifest(const std::string& text, ScriptFolderManifest& m, std::string& error) {
    m = ScriptFolderManifest{};
    std::vector<std::string> lines = Split(text, "\n");
    const std::string magic = "ORVANE-SCRIPTS-FOLDER ";
    if (lines.empty() || lines[0].rfind(magic, 0) != 0) {
        error = "not an Orvane scripts folder manifest";
        return false;
    }
    m.Format = std::atoi(lines[0].c_str() + magic.size());
    if (m.Format < 1) {
        error = "not an Orvane scripts folder manifest";
        return false;
    }
    if (m.Format > kScriptFolderFormat) {
        error = "written by a later release (format " + std::to_string(m.Format) + ")";
        return false;
    }
    size_t i = 1;
    for (; i < lines.size() && !lines[i].empty(); ++i) {
        const size_t space = lines[i].find(' ');
        const std::string key = lines[i].substr(0, space);
        std::string value;
        if (space != std::string::npos && !UnescapeLinePart(lines[i].substr(space + 1), value)) {
            error = "damaged line " + std::to_string(i + 1);
            return false;
        }
        if (key == "version")
            m.Version = value;
        else if (key == "version-major")
            m.VersionMajor = std::atoi(value.c_str());
        else if (key == "database")
            m.Database = value;
        else if (key == "line-breaks")
            m.CrLf = value == "crlf";
        else if (key == "complete-table-scripts")
            m.CompleteTableScripts = value != "off";
        else if (key == "ignore-system-constraint-names")
            m.IgnoreSystemConstraintNames = value != "off";
        // Keys of a later minor release are skipped.
    }
    for (++i; i < lines.size(); ++i) {
        if (lines[i].empty())
            continue;
        const std::vector<std::string> f = Split(lines[i], "\t");
        ManifestEntry e;
        if (f.size() != 4 || !UnescapeLinePart(f[1], e.Schema) || !UnescapeLinePart(f[2], e.Name) ||
            !UnescapeLinePart(f[3], e.Path) || !IsSafeRelativePath(e.Path)) {
            error = "damaged line " + std::to_string(i + 1);
            return false;
        }
        e.Type = ScriptFolderType(f[0]);
        if (e.Type == kTypeNone) {
            error = "unknown folder '" + f[0] + "' on line " + std::to_string(i + 1);
            return false;
        }
        m.Files.push_back(std::move(e));
    }
    return true;
}

bool IsSafeRelativePath(const std::string& path) {
    if (path.empty() || path[0] == '/' || path.find('\0') != std::string::npos)
        return false;
    for (const std::string& part : Split(path, "/"))
        if (part.empty() || part == "." || part == "..")
            return false;
    return true;
}

} // namespace orv
