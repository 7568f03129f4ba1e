#include "catalog/catalog_snapshot.h"

#include "catalog/bulk_catalog.h"
#include "catalog/catalog_keys.h"
#include "catalog/object_types.h"
#include "util/atomic_file.h"
#include "util/text.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

namespace orv {

namespace {

constexpr const char* kMagic = "ORVANE-SNAPSHOT";
constexpr const char* kSectionResult = "result";
constexpr const char* kSectionSame = "same";
constexpr const char* kSectionEnd = "end";
// A listing with system objects is mostly the very listing without them: kept once, the other
// refers to it.
constexpr const char* kWithSystemObjects = " with system objects";

bool SameValue(const FieldValue& a, const FieldValue& b) {
    return a.kind == b.kind && a.integer == b.integer && a.text == b.text &&
           (a.real == b.real || (a.real != a.real && b.real != b.real));
}

bool SameResult(const CatalogResult& a, const CatalogResult& b) {
    if (a.Fields.size() != b.Fields.size() || a.Rows.size() != b.Rows.size())
        return false;
    for (size_t i = 0; i < a.Fields.size(); ++i)
        if (a.Fields[i].name != b.Fields[i].name || a.Fields[i].sqlType != b.Fields[i].sqlType ||
            a.Fields[i].size != b.Fields[i].size)
            return false;
    for (size_t r = 0; r < a.Rows.size(); ++r) {
        if (a.Rows[r].size() != b.Rows[r].size())
            return false;
        for (size_t k = 0; k < a.Rows[r].size(); ++k)
            if (!SameValue(a.Rows[r][k], b.Rows[r][k]))
                return false;
    }
    return true;
}

// One letter per kind of cell, part of the format.
char KindLetter(FieldValue::Kind kind) {
    switch (kind) {
    case FieldValue::Kind::Null:
        return 'N';
    case FieldValue::Kind::Integer:
        return 'I';
    case FieldValue::Kind::Float:
        return 'F';
    case FieldValue::Kind::Decimal:
        return 'D';
    case FieldValue::Kind::Text:
        return 'T';
    case FieldValue::Kind::Binary:
        return 'B';
    case FieldValue::Kind::Bool:
        return 'L';
    case FieldValue::Kind::DateTime:
        return 'W';
    }
    return 'N';
}

void AppendCounted(std::string& out, const std::string& bytes) {
    out += std::to_string(bytes.size());
    out += ':';
    out += bytes;
}

std::string RealText(double v) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.17g", v);
    return buffer;
}

std::string ResultPayload(const CatalogResult& result) {
    std::string out = std::to_string(result.Fields.size()) + "\n";
    for (const FieldInfo& f : result.Fields)
        out += EscapeLinePart(f.name) + "\t" + std::to_string(f.sqlType) + "\t" +
               std::to_string(f.size) + "\n";
    out += std::to_string(result.Rows.size()) + "\n";
    for (const Row& row : result.Rows) {
        out += std::to_string(row.size());
        out += ':';
        for (const FieldValue& v : row) {
            out += KindLetter(v.kind);
            switch (v.kind) {
            case FieldValue::Kind::Null:
                break;
            case FieldValue::Kind::Integer:
            case FieldValue::Kind::Bool:
                AppendCounted(out, std::to_string(v.integer));
                break;
            case FieldValue::Kind::Float:
                AppendCounted(out, RealText(v.real));
                break;
            default:
                AppendCounted(out, v.text);
            }
        }
        out += '\n';
    }
    return out;
}

// Reads the parts of a file, every step checked against its end.
class Cursor {
public:
    Cursor(const std::string& bytes, size_t begin, size_t end)
        : bytes_(bytes), pos_(begin), end_(end) {}
    bool AtEnd() const { return pos_ >= end_; }
    bool Line(std::string& line) {
        const size_t nl = bytes_.find('\n', pos_);
        if (nl == std::string::npos || nl >= end_)
            return false;
        line.assign(bytes_, pos_, nl - pos_);
        pos_ = nl + 1;
        return true;
    }
    bool Number(int64_t& value, char stop) {
        size_t i = pos_;
        bool negative = false;
        if (i < end_ && bytes_[i] == '-') {
            negative = true;
            ++i;
        }
        const size_t digits = i;
        value = 0;
        while (i < end_ && bytes_[i] >= '0' && bytes_[i] <= '9') {
            if (value > (INT64_MAX - 9) / 10)
                return false;
            value = value * 10 + (bytes_[i] - '0');
            ++i;
        }
        if (i == digits || i >= end_ || bytes_[i] != stop)
            return false;
        if (negative)
            value = -value;
        pos_ = i + 1;
        return true;
    }
    bool Char(char& c) {
        if (pos_ >= end_)
            return false;
        c = bytes_[pos_++];
        return true;
    }
    bool Bytes(size_t count, std::string& out) {
        if (count > end_ - pos_)
            return false;
        out.assign(bytes_, pos_, count);
        pos_ += count;
        return true;
    }
    bool Counted(std::string& out) {
        int64_t count = 0;
        return Number(count, ':') && count >= 0 && Bytes(static_cast<size_t>(count), out);
    }
    size_t Pos() const { return pos_; }

private:
    const std::string& bytes_;
    size_t pos_;
    size_t end_;
};

bool ParseInt(const std::string& text, int64_t& value) {
    const std::string line = text + "\n";
    Cursor c(line, 0, line.size());
    return c.Number(value, '\n');
}

bool ParseResult(const std::string& bytes, size_t begin, size_t end, CatalogResult& result) {
    Cursor c(bytes, begin, end);
    int64_t fields = 0;
    if (!c.Number(fields, '\n') || fields < 0)
        return false;
    std::string line;
    for (int64_t i = 0; i < fields; ++i) {
        if (!c.Line(line))
            return false;
        const size_t t1 = line.find('\t');
        const size_t t2 = t1 == std::string::npos ? t1 : line.find('\t', t1 + 1);
        FieldInfo f;
        int64_t type = 0, size = 0;
        if (t2 == std::string::npos || !UnescapeLinePart(line.substr(0, t1), f.name) ||
            !ParseInt(line.substr(t1 + 1, t2 - t1 - 1), type) ||
            !ParseInt(line.substr(t2 + 1), size))
            return false;
        f.sqlType = static_cast<int32_t>(type);
        f.size = size;
        result.Fields.push_back(std::move(f));
    }
    int64_t rows = 0;
    if (!c.Number(rows, '\n') || rows < 0)
        return false;
    result.Rows.reserve(static_cast<size_t>(std::min<int64_t>(rows, 1 << 20)));
    for (int64_t r = 0; r < rows; ++r) {
        int64_t cells = 0;
        if (!c.Number(cells, ':') || cells < 0)
            return false;
        Row row;
        row.reserve(static_cast<size_t>(std::min<int64_t>(cells, 1024)));
        for (int64_t k = 0; k < cells; ++k) {
            char letter = 0;
            if (!c.Char(letter))
                return false;
            FieldValue v;
            std::string text;
            if (letter != 'N' && !c.Counted(text))
                return false;
            int64_t number = 0;
            switch (letter) {
            case 'N':
                break;
            case 'I':
            case 'L':
                if (!ParseInt(text, number))
                    return false;
                v = letter == 'I' ? FieldValue::Int(number) : FieldValue::Boolean(number != 0);
                break;
            case 'F': {
                char* stop = nullptr;
                const double real = std::strtod(text.c_str(), &stop);
                if (text.empty() || *stop != '\0')
                    return false;
                v = FieldValue::Real(real);
                break;
            }
            case 'D':
                v = FieldValue::Dec(std::move(text));
                break;
            case 'T':
                v = FieldValue::Str(std::move(text));
                break;
            case 'B':
                v = FieldValue::Bytes(std::move(text));
                break;
            case 'W':
                v = FieldValue::Date(std::move(text));
                break;
            default:
                return false;
            }
            row.push_back(std::move(v));
        }
        char nl = 0;
        if (!c.Char(nl) || nl != '\n')
            return false;
        result.Rows.push_back(std::move(row));
    }
    return c.AtEnd();
}

std::string FileMessage(const std::string& path, const std::string& what) {
    return "The snapshot file " + path + " " + what;
}

} // namespace

std::string SnapshotTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &utc);
    return buffer;
}

namespace {

std::string HeaderBytes(const SnapshotHeader& h) {
    std::string out = std::string(kMagic) + " " + std::to_string(kSnapshotFormatMajor) + "." +
                      std::to_string(kSnapshotFormatMinor) + "\n";
    out += "server " + EscapeLinePart(h.Server) + "\n";
    out += "version " + EscapeLinePart(h.VersionText) + "\n";
    out += "version-major " + std::to_string(h.VersionMajor) + "\n";
    out += "database " + EscapeLinePart(h.Database) + "\n";
    out += "taken " + EscapeLinePart(h.Taken) + "\n\n";
    return out;
}

std::string SectionLine(const char* word, const std::string& key, size_t length) {
    return std::string(word) + " " + std::to_string(length) + " " + EscapeLinePart(key) + "\n";
}

// The result `key` is the same as, when it is the same as the one it is a variant of.
const std::string* SameAs(const CatalogSnapshot& snapshot, const std::string& key,
                          const CatalogResult& result) {
    const size_t suffix = std::strlen(kWithSystemObjects);
    if (key.size() <= suffix || key.compare(key.size() - suffix, suffix, kWithSystemObjects) != 0)
        return nullptr;
    const auto base = snapshot.Results.find(key.substr(0, key.size() - suffix));
    return base != snapshot.Results.end() && SameResult(base->second, result) ? &base->first
                                                                              : nullptr;
}

// Hands the file's bytes to `write` piece by piece: a large database's file is never held
// whole in memory.
template <typename Write> void EmitSnapshot(const CatalogSnapshot& snapshot, Write&& write) {
    write(HeaderBytes(snapshot.Header));
    for (const auto& [key, result] : snapshot.Results) {
        if (const std::string* same = SameAs(snapshot, key, result)) {
            const std::string payload = EscapeLinePart(*same) + "\n";
            write(SectionLine(kSectionSame, key, payload.size()));
            write(payload);
            continue;
        }
        const std::string payload = ResultPayload(result);
        write(SectionLine(kSectionResult, key, payload.size()));
        write(payload);
    }
    write(std::string(kSectionEnd) + "\n");
}

} // namespace

std::string SnapshotFileBytes(const CatalogSnapshot& snapshot) {
    std::string out;
    EmitSnapshot(snapshot, [&](const std::string& piece) { out += piece; });
    return out;
}

bool WriteSnapshotFile(const std::string& path, const CatalogSnapshot& snapshot,
                       std::string& error) {
    AtomicFile file;
    int code = file.Open(path + ".tmp", path, 0644, false);
    if (code == 0) {
        EmitSnapshot(snapshot, [&](const std::string& piece) { file.Write(piece); });
        code = file.Error();
        if (code == 0)
            code = file.Commit();
    }
    if (code != 0) {
        error =
            FileMessage(path, std::string("could not be written: ") + std::strerror(code) + ".");
        return false;
    }
    return true;
}

bool ReadSnapshotFile(const std::string& path, CatalogSnapshot& snapshot, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = FileMessage(path, std::string("cannot be read: ") + std::strerror(errno) + ".");
        return false;
    }
    std::ostringstream all;
    all << in.rdbuf();
    if (in.bad()) {
        error = FileMessage(path, "cannot be read.");
        return false;
    }
    return ParseSnapshotBytes(path, all.str(), snapshot, error);
}

bool ParseSnapshotBytes(const std::string& path, const std::string& bytes,
                        CatalogSnapshot& snapshot, std::string& error) {
    snapshot = CatalogSnapshot{};
    Cursor c(bytes, 0, bytes.size());
    std::string line;
    const std::string magic = std::string(kMagic) + " ";
    if (!c.Line(line) || line.compare(0, magic.size(), magic) != 0) {
        error = FileMessage(path, "is not an Orvane snapshot.");
        return false;
    }
    const std::string version = line.substr(magic.size());
    const size_t dot = version.find('.');
    int64_t major = 0, minor = 0;
    if (dot == std::string::npos || !ParseInt(version.substr(0, dot), major) ||
        !ParseInt(version.substr(dot + 1), minor)) {
        error = FileMessage(path, "is not an Orvane snapshot.");
        return false;
    }
    if (major > kSnapshotFormatMajor || major < 1) {
        error = FileMessage(path, "is of format " + version +
                                      ", which this release cannot read (it reads format " +
                                      std::to_string(kSnapshotFormatMajor) + ").");
        return false;
    }
    SnapshotHeader& h = snapshot.Header;
    h.FormatMajor = static_cast<int>(major);
    h.FormatMinor = static_cast<int>(minor);
    const std::string cutShort = "is cut short or damaged.";
    while (true) {
        if (!c.Line(line)) {
            error = FileMessage(path, cutShort);
            return false;
        }
        if (line.empty())
            break;
        const size_t space = line.find(' ');
        const std::string key = line.substr(0, space);
        std::string value;
        if (space != std::string::npos && !UnescapeLinePart(line.substr(space + 1), value)) {
            error = FileMessage(path, cutShort);
            return false;
        }
        int64_t number = 0;
        if (key == "server")
            h.Server = value;
        else if (key == "version")
            h.VersionText = value;
        else if (key == "version-major" && ParseInt(value, number))
            h.VersionMajor = static_cast<int32_t>(number);
        else if (key == "database")
            h.Database = value;
        else if (key == "taken")
            h.Taken = value;
        // Keys a later release adds are left alone.
    }
    // Results that are the same as another, resolved once every result is read.
    std::vector<std::pair<std::string, std::string>> sameAs;
    while (true) {
        if (!c.Line(line)) {
            error = FileMessage(path, cutShort);
            return false;
        }
        if (line == kSectionEnd)
            break;
        const size_t s1 = line.find(' ');
        const size_t s2 = s1 == std::string::npos ? s1 : line.find(' ', s1 + 1);
        int64_t length = 0;
        std::string name;
        if (s1 == std::string::npos ||
            !ParseInt(line.substr(s1 + 1, s2 == std::string::npos ? s2 : s2 - s1 - 1), length) ||
            length < 0 || static_cast<uint64_t>(length) > bytes.size() - c.Pos() ||
            (s2 != std::string::npos && !UnescapeLinePart(line.substr(s2 + 1), name))) {
            error = FileMessage(path, cutShort);
            return false;
        }
        const size_t begin = c.Pos();
        std::string skipped;
        c.Bytes(static_cast<size_t>(length), skipped);
        const std::string word = line.substr(0, s1);
        if (word == kSectionSame) {
            std::string other;
            if (skipped.empty() || skipped.back() != '\n' ||
                !UnescapeLinePart(skipped.substr(0, skipped.size() - 1), other)) {
                error = FileMessage(path, "is damaged (in the result \"" + name + "\").");
                return false;
            }
            sameAs.emplace_back(name, other);
            continue;
        }
        if (word != kSectionResult)
            continue; // a section a later release added
        CatalogResult result;
        if (!ParseResult(bytes, begin, begin + static_cast<size_t>(length), result)) {
            error = FileMessage(path, "is damaged (in the result \"" + name + "\").");
            return false;
        }
        snapshot.Results[name] = std::move(result);
    }
    for (const auto& [name, other] : sameAs) {
        const auto it = snapshot.Results.find(other);
        if (it == snapshot.Results.end()) {
            error = FileMessage(path, "is damaged (in the result \"" + name + "\").");
            return false;
        }
        snapshot.Results[name] = it->second;
    }
    return true;
}

std::string SnapshotTitle(const SnapshotHeader& header) {
    return header.Database + " (snapshot of " + header.Server + ", " + header.Taken + " UTC)";
}

bool SnapshotRows::Facts(ServerFacts& facts, OdbcError&, std::string&) {
    facts.VersionMajor = snapshot_->Header.VersionMajor;
    facts.VersionText = snapshot_->Header.VersionText;
    return true;
}

bool SnapshotRows::HoldsFingerprints(FingerprintForm form) const {
    if (snapshot_->Header.VersionMajor < 9)
        return false;
    for (const ObjectType type : kSelectorTypeOrder)
        if (IsModuleType(type) && !snapshot_->Results.count(FingerprintsKey(type, form)))
            return false;
    return true;
}

bool SnapshotRows::Fingerprints() const {
    // Those of the comment rows serve against a server of any version that has fingerprints.
    return HoldsFingerprints(FingerprintForm::CommentRows);
}

bool SnapshotRows::WholeModuleFingerprints() const {
    return Fingerprints() && HoldsFingerprints(FingerprintForm::WholeModule);
}

bool SnapshotRows::Rows(const std::string& key, const std::string&, const CatalogRowSink& onRow,
                        OdbcError& error) {
    const auto it = snapshot_->Results.find(key);
    if (it == snapshot_->Results.end()) {
        error = {kErrFail, FileMessage(file_, "holds no " + key + "."), "", 0};
        return false;
    }
    for (const Row& row : it->second.Rows) {
        Row copy = row;
        onRow(it->second.Fields, copy);
    }
    return true;
}

bool GatherSnapshotRows(RecordingCatalogRows& rows, const ServerFacts& facts,
                        const CancelToken& cancel,
                        const std::function<void(const std::string&)>& progress, OdbcError& error,
                        std::string& failedSql) {
    std::mutex progressMutex;
    std::function<void(const std::string&)> told;
    if (progress)
        told = [&](const std::string& item) {
            std::lock_guard lock(progressMutex);
            progress(item);
        };
    // The module texts are most of a database's bytes: they come on a connection of their own
    // while this thread reads everything else, so the two waits overlap.
    bool modulesOk = true;
    OdbcError modulesError;
    std::string modulesSql;
    std::jthread modules([&] {
        BulkCatalogReader reader(rows, facts, CatalogReadOptions{}, cancel, told);
        for (const ObjectType type : kSelectorTypeOrder) {
            if (!IsModuleType(type))
                continue;
            CatalogTypeRead read;
            if (!reader.ReadType(type, read, modulesError, modulesSql)) {
                modulesOk = false;
                return;
            }
        }
    });
    // Every option that changes which rows are read: the results they share are read once.
    // Showing system objects changes nothing but the listings, so that pass reads the listings
    // alone instead of building every object again from kept rows; the complete form only
    // changes how tables and relationships are read, whatever the system objects.
    bool ok = true;
    for (int pass = 0; ok && pass < 3; ++pass) {
        CatalogReadOptions options;
        options.IgnoreSysObjects = pass != 1;
        options.CompleteTableScripts = pass == 2;
        BulkCatalogReader reader(rows, facts, options, cancel,
                                 pass == 0 ? told : std::function<void(const std::string&)>());
        for (const ObjectType type : kSelectorTypeOrder) {
            CatalogTypeRead read;
            if (pass == 0 && !IsModuleType(type))
                ok = reader.ReadType(type, read, error, failedSql);
            else if (pass == 1 && (IsModuleType(type) || type == kTypeTable))
                ok = reader.ReadNames(type, read, error, failedSql);
            else if (pass == 2 && (type == kTypeTable || type == kTypeRelationship))
                ok = reader.ReadType(type, read, error, failedSql);
            if (!ok)
                break;
        }
    }
    // What a scripts folder written from the snapshot needs besides.
    const auto keep = [](const std::vector<FieldInfo>&, Row&) {};
    for (const auto& [key, sql] :
         {std::pair{kKeyUserTypes, BulkUserTypesQuery(facts.Later())},
          std::pair{kKeyIdentitySeeds, BulkIdentitySeedsQuery(facts.Later())}}) {
        if (!ok)
            break;
        if (!rows.Rows(key, sql, keep, error)) {
            failedSql = sql;
            ok = false;
        }
    }
    modules.join();
    if (ok && !modulesOk) {
        error = modulesError;
        failedSql = modulesSql;
        ok = false;
    }
    return ok;
}

bool TakeSnapshot(const QueryPlace& place, const std::string& serverName, const CancelToken& cancel,
                  const std::function<void(const std::string&)>& progress,
                  CatalogSnapshot& snapshot, OdbcError& error, std::string& failedSql) {
    LiveCatalogRows live(place, cancel);
    RecordingCatalogRows rows(live);
    ServerFacts facts;
    if (!rows.Facts(facts, error, failedSql))
        return false;
    snapshot = CatalogSnapshot{};
    snapshot.Header.Server = serverName;
    snapshot.Header.VersionText = facts.VersionText;
    snapshot.Header.VersionMajor = facts.VersionMajor;
    snapshot.Header.Database = place.Database;
    snapshot.Header.Taken = SnapshotTimeNow();
    if (!GatherSnapshotRows(rows, facts, cancel, progress, error, failedSql))
        return false;
    snapshot.Results = rows.Take();
    return true;
}

} // namespace orv
