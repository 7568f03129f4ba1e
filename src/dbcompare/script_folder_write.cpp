#include "dbcompare/script_folder_write.h"

#include "catalog/bulk_catalog.h"
#include "catalog/catalog_error.h"
#include "catalog/catalog_keys.h"
#include "catalog/create_builder.h"
#include "catalog/create_table.h"
#include "catalog/module_header.h"
#include "catalog/sql_quote.h"
#include "catalog/table_create_rows.h"
#include "catalog/table_script.h"
#include "core/file_io.h"
#include "util/text.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace orv {

namespace {

// The types written, in the order their folders are filled.
constexpr ObjectType kWrittenTypes[] = {kTypeTable, kTypeRelationship, kTypeFunction,
                                        kTypeView,  kTypeProcedure,    kTypeTrigger};

std::string QualifiedName(const std::string& schema, const std::string& name) {
    return schema.empty() ? QuoteCatalogName(name)
                          : QuoteCatalogName(schema) + "." + QuoteCatalogName(name);
}

std::string Describe(ObjectType type, const ObjectRef& ref) {
    return ToLowerAscii(GetObjectTypeName(type, true)) + " " +
           (ref.Schema.empty() ? ref.Name : ref.Schema + "." + ref.Name);
}

// One object of a folder before its file is named.
struct Pending {
    ObjectType Type = kTypeNone;
    std::string Schema;
    std::string Name;
    std::string Text; // LF line breaks
};

// The field of a result by name; past the end when it has none.
size_t FieldAt(const std::vector<FieldInfo>& fields, const char* name) {
    for (size_t i = 0; i < fields.size(); ++i)
        if (EqualsNoCase(fields[i].name, name))
            return i;
    return fields.size();
}

const FieldValue& CellAt(const Row& row, size_t index) {
    static const FieldValue null;
    return index < row.size() ? row[index] : null;
}

std::string TableScript(TableCreateRows& tableRows, const CatalogTypeRead& tables,
                        const CatalogObject& table) {
    const std::string name = QualifiedName(table.Ref.Schema, table.Ref.Name);
    const TableCreateParts parts = tableRows.Parts(tables, table, name, true);
    return parts.Body.empty() ? std::string() : TableScriptText(parts, name);
}

// The relationships' scripts from the relationship listing's rows (one per key, its first
// column pair) and every key's column pairs.
bool RelationshipScripts(CatalogRows& source, const ServerFacts& facts,
                         const CatalogTypeRead& tables, const CatalogTypeRead& keys,
                         std::vector<Pending>& out, OdbcError& error, std::string& failedSql) {
    struct KeyRow {
        std::string Table, Referenced, FirstColumn, FirstReferenced;
    };
    std::map<int64_t, KeyRow> rows;
    std::string sql = BulkRelationshipsQuery(facts.Later());
    if (!source.Rows(
            kKeyRelationships, sql,
            [&](const std::vector<FieldInfo>& fields, Row& row) {
                const auto cell = [&](const char* name) {
                    return CellAt(row, FieldAt(fields, name)).Text();
                };
                const size_t idCol = FieldAt(fields, "id");
                rows[idCol >= fields.size() ? 0 : CellAt(row, idCol).Long()] = {
                    cell("tablename"), cell("referencedtable"), cell("foreigncolumn"),
                    cell("referencedcolumn")};
            },
            error)) {
        failedSql = sql;
        return false;
    }
    std::map<int64_t, std::vector<std::pair<std::string, std::string>>> pairs;
    sql = ForeignKeyColumnsQuery("", facts.VersionMajor, -1);
    if (!source.Rows(
            kKeyForeignKeyColumns, sql,
            [&](const std::vector<FieldInfo>& fields, Row& row) {
                const auto cell = [&](const char* name) {
                    return CellAt(row, FieldAt(fields, name)).Text();
                };
                const size_t idCol = FieldAt(fields, "constid");
                pairs[idCol >= fields.size() ? 0 : CellAt(row, idCol).Long()].emplace_back(
                    cell("foreigncolumn"), cell("referencedcolumn"));
            },
            error)) {
        failedSql = sql;
        return false;
    }
    for (const CatalogObject& key : keys.Objects) {
        const auto found = rows.find(key.Ref.Id);
        if (found == rows.end())
            continue;
        const KeyRow& r = found->second;
        // The rows name the referenced table without its schema: the key's own schema when
        // a table of that name is there, else the one table of that name.
        std::string refSchema = key.Ref.Schema;
        std::vector<std::string> schemas;
        for (const CatalogObject& t : tables.Objects)
            if (t.Ref.Name == r.Referenced)
                schemas.push_back(t.Ref.Schema);
        if (std::find(schemas.begin(), schemas.end(), key.Ref.Schema) == schemas.end() &&
            schemas.size() == 1)
            refSchema = schemas.front();
        std::vector<std::pair<std::string, std::string>> columns = pairs[key.Ref.Id];
        if (columns.empty())
            columns.emplace_back(r.FirstColumn, r.FirstReferenced);
        std::string from, to;
        for (const auto& [f, t] : columns) {
            from += (from.empty() ? "" : ", ") + QuoteCatalogName(f);
            to += (to.empty() ? "" : ", ") + QuoteCatalogName(t);
        }
        out.push_back({kTypeRelationship, key.Ref.Schema, key.Ref.Name,
                       "ALTER TABLE " + QualifiedName(key.Ref.Schema, r.Table) +
                           " ADD CONSTRAINT " + QuoteCatalogName(key.Ref.Name) + "\n" +
                           "FOREIGN KEY (" + from + ")\nREFERENCES " +
                           QualifiedName(refSchema, r.Referenced) + " (" + to + ")\nGO\n"});
    }
    return true;
}

// Orders a folder's objects by schema and name (bytes), so a file's place in the manifest does
// not depend on the server's listing order.
void SortPending(std::vector<Pending>& items) {
    std::sort(items.begin(), items.end(), [](const Pending& a, const Pending& b) {
        return a.Schema != b.Schema ? a.Schema < b.Schema : a.Name < b.Name;
    });
}

// SQL Server 2000 knows owners, which are users; later servers make the schema itself.
std::string SchemaScript(const std::string& owner, const ServerFacts& facts) {
    if (!facts.Later())
        return "EXEC sp_adduser N'" + SqlLiteral(owner) + "', N'" + SqlLiteral(owner) + "'\nGO\n";
    return "CREATE SCHEMA " + QuoteCatalogName(owner) + "\nGO\n";
}

// The user-defined data types (alias types) the tables' columns may use, each with its base
// type: sp_addtype on SQL Server 2000, CREATE TYPE later. A snapshot taken before it kept
// them has none.
bool UserTypeScripts(CatalogRows& source, const ServerFacts& facts, std::vector<Pending>& out,
                     OdbcError& error, std::string& failedSql) {
    if (!source.Holds(kKeyUserTypes))
        return true;
    const std::string sql = BulkUserTypesQuery(facts.Later());
    const bool ok = source.Rows(
        kKeyUserTypes, sql,
        [&](const std::vector<FieldInfo>& fields, Row& row) {
            const auto cell = [&](const char* name) -> const FieldValue& {
                return CellAt(row, FieldAt(fields, name));
            };
            const std::string name = cell("name").Text();
            const std::string base = ToLowerAscii(cell("basetype").Text());
            std::string schema = cell("schema").Text();
            if (schema.empty())
                schema = "dbo";
            std::string type = base;
            if (IsSizedType(base))
                type += "(" +
                        (cell("length").Long() == -1 ? std::string("max")
                                                     : std::to_string(cell("prec").Long())) +
                        ")";
            else if (IsScaledType(base))
                type += "(" + std::to_string(cell("prec").Long()) + "," +
                        std::to_string(cell("scale").Long()) + ")";
            const bool nullable = cell("allownulls").Long() != 0;
            std::string text;
            if (facts.Later())
                text = "CREATE TYPE " + QualifiedName(schema, name) + " FROM " + type +
                       (nullable ? " NULL" : " NOT NULL") + "\nGO\n";
            else
                text = "EXEC sp_addtype N'" + SqlLiteral(name) + "', N'" + type + "', N'" +
                       (nullable ? "NULL" : "NOT NULL") + "'\nGO\n";
            out.push_back({kFolderUserTypes, schema, name, text});
        },
        error);
    if (!ok)
        failedSql = sql;
    return ok;
}

// An open file descriptor, closed when it goes.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return fd_; }
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

// Replaces the file all or nothing for any reader: written beside it under a short temporary
// name (the file's own name may already take the 255 bytes a name can have), then renamed over
// it. It is not flushed to disk one by one: thousands of files would each wait for the disk;
// the folder is flushed once, before the manifest that names them is written.
bool ReplaceScriptFile(const std::string& path, const std::string& bytes) {
    const std::string temporary =
        path.substr(0, path.rfind('/') + 1) + ".orvane-tmp." + std::to_string(::getpid());
    Fd fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (fd.Get() < 0)
        return false;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd.Get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ::unlink(temporary.c_str());
            return false;
        }
        done += static_cast<size_t>(n);
    }
    if (::fchmod(fd.Get(), 0644) != 0 || !fd.Close() ||
        ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

// Flushes every file written into the folder's file system to disk.
bool FlushFolder(const std::string& folder) {
    Fd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.Get() >= 0 && ::syncfs(fd.Get()) == 0;
}

std::string JoinPath(const std::string& folder, const std::string& relative) {
    return folder.empty() || folder.back() == '/' ? folder + relative : folder + "/" + relative;
}

} // namespace

std::string TableScriptText(const TableCreateParts& parts, const std::string& qualifiedName) {
    std::string text =
        FolderLineBreaks(AssembleCreateStatement("", kTypeTable, qualifiedName, parts.Body, "", ",",
                                                 parts.AfterTable),
                         false);
    while (!text.empty() && text.front() == '\n')
        text.erase(0, 1);
    if (parts.AfterTable.empty())
        text += "\nGO";
    return text + "\n";
}

std::string FolderLineBreaks(const std::string& text, bool crlf) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            out += crlf ? "\r\n" : "\n";
        } else if (text[i] == '\n') {
            out += crlf ? "\r\n" : "\n";
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string ModuleScript(const std::string& text, const std::string& schema,
                         const std::string& name) {
    std::string script =
        FolderLineBreaks(WithCurrentName(text, QualifiedName(schema, name)), false);
    if (script.empty() || script.back() != '\n')
        script += '\n';
    return script + "GO\n";
}

bool BuildScriptFolder(const QueryPlace& place, const ServerFacts& facts, bool crlf,
                       const CancelToken& cancel,
                       const std::function<void(const std::string&)>& progress,
                       ScriptFolderContent& content, OdbcError& error, std::string& failedSql) {
    LiveCatalogRows live(place, cancel);
    // The results both the reader and the scripts take, asked of the server once.
    RecordingCatalogRows rows(
        live, {},
        {kKeyCompleteIndexes, kKeyCompleteConstraints, kKeyRelationships, kKeyForeignKeyColumns});
    return BuildScriptFolderFrom(rows, facts, place.Database, crlf, cancel, progress, content,
                                 error, failedSql);
}

bool BuildScriptFolderFrom(CatalogRows& rows, const ServerFacts& facts, const std::string& database,
                           bool crlf, const CancelToken& cancel,
                           const std::function<void(const std::string&)>& progress,
                           ScriptFolderContent& content, OdbcError& error, std::string& failedSql) {
    content = ScriptFolderContent{};
    ScriptFolderManifest& m = content.Manifest;
    m.Version = facts.VersionText;
    m.VersionMajor = facts.VersionMajor;
    m.Database = database;
    m.CrLf = crlf;
    CatalogReadOptions options;
    options.IgnoreSysObjects = true;
    options.CompleteTableScripts = true;
    options.IgnoreSystemConstraintNames = true;
    BulkCatalogReader reader(rows, facts, options, cancel, progress);
    std::map<ObjectType, CatalogTypeRead> reads;
    for (const ObjectType type : kWrittenTypes)
        if (!reader.ReadType(type, reads[type], error, failedSql))
            return false;
    TableCreateRows tableRows;
    if (!tableRows.Read(rows, facts, error, failedSql))
        return false;

    std::vector<Pending> items;
    std::set<std::string> schemas;
    for (const ObjectType type : kWrittenTypes) {
        if (type == kTypeRelationship)
            continue;
        for (const CatalogObject& o : reads[type].Objects) {
            if (cancel.cancelRequested()) {
                error = CancelledQueryError();
                return false;
            }
            schemas.insert(o.Ref.Schema);
            std::string why;
            std::string text;
            if (type == kTypeTable) {
                text = TableScript(tableRows, reads[type], o);
                why = "its structure could not be read";
            } else if (o.Readable && o.TextRead) {
                text = ModuleScript(o.Text, o.Ref.Schema, o.Ref.Name);
            } else {
                why = o.Reason.empty() ? kReasonNoText : o.Reason;
            }
            if (text.empty()) {
                content.Skipped.push_back(Describe(type, o.Ref) + " (" + why + ")");
                continue;
            }
            items.push_back({type, o.Ref.Schema, o.Ref.Name, std::move(text)});
        }
    }
    if (!RelationshipScripts(rows, facts, reads[kTypeTable], reads[kTypeRelationship], items, error,
                             failedSql))
        return false;
    // Schemas (owners on SQL Server 2000) must exist before the objects in them are made.
    for (const std::string& owner : schemas)
        if (!owner.empty() && !EqualsNoCase(owner, "dbo"))
            items.push_back({kFolderSchemas, "", owner, SchemaScript(owner, facts)});
    if (!UserTypeScripts(rows, facts, items, error, failedSql))
        return false;

    // Folder by folder, each sorted, each given its file names at once.
    for (const ObjectType type : ScriptFolderOrder()) {
        std::vector<Pending> folder;
        for (Pending& p : items)
            if (p.Type == type)
                folder.push_back(std::move(p));
        SortPending(folder);
        std::vector<ScriptFileName> names;
        for (const Pending& p : folder)
            names.push_back({p.Schema, p.Name});
        const std::vector<std::string> files = AssignScriptFileNames(names);
        for (size_t i = 0; i < folder.size(); ++i) {
            m.Files.push_back(
                {type, folder[i].Schema, folder[i].Name, ScriptFolderOf(type) + "/" + files[i]});
            content.Texts.push_back(FolderLineBreaks(folder[i].Text, crlf));
        }
    }
    return true;
}

bool WriteScriptFolder(const std::string& folder, const ScriptFolderContent& content,
                       std::vector<std::string>& removed, std::string& error) {
    removed.clear();
    if (!MakeFolders(folder, 0755)) {
        error = "cannot create the folder " + folder + ".";
        return false;
    }
    const std::string manifestPath = JoinPath(folder, kScriptFolderManifest);
    // What an earlier run wrote: only those files may be removed.
    ScriptFolderManifest earlier;
    bool haveEarlier = false;
    if (const auto old = ReadWholeFile(manifestPath)) {
        std::string ignored;
        haveEarlier = ParseManifest(*old, earlier, ignored);
    }
    std::set<std::string> written;
    for (size_t i = 0; i < content.Manifest.Files.size(); ++i) {
        const std::string& relative = content.Manifest.Files[i].Path;
        written.insert(relative);
        const std::string path = JoinPath(folder, relative);
        const std::string sub = path.substr(0, path.rfind('/'));
        if (!MakeFolders(sub, 0755)) {
            error = "cannot create the folder " + sub + ".";
            return false;
        }
        if (const auto existing = ReadWholeFile(path); existing && *existing == content.Texts[i])
            continue;
        if (!ReplaceScriptFile(path, content.Texts[i])) {
            error = "cannot write " + path + ".";
            return false;
        }
    }
    if (!FlushFolder(folder)) {
        error = "cannot flush the files written to " + folder + " to disk.";
        return false;
    }
    if (haveEarlier)
        for (const ManifestEntry& e : earlier.Files)
            if (!written.count(e.Path) && IsSafeRelativePath(e.Path) &&
                ::unlink(JoinPath(folder, e.Path).c_str()) == 0)
                removed.push_back(e.Path);
    if (!ReplaceFileAtomically(manifestPath,
                               FolderLineBreaks(ManifestText(content.Manifest), false), 0644)) {
        error = "cannot write " + manifestPath + ".";
        return false;
    }
    return true;
}

} // namespace orv
