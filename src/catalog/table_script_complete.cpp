#include "catalog/table_script_complete.h"

#include "catalog/catalog_error.h"
#include "catalog/sql_quote.h"
#include "servers/exec_ado_cmd.h"
#include "util/text.h"

#include <algorithm>
#include <vector>

namespace orv {

namespace {

// The names inside a script line's brackets are written as the catalog keeps them, as in the
// plain form of the script.
std::string KeyList(const std::vector<std::string>& columns) {
    std::string list;
    for (const auto& c : columns)
        list += (list.empty() ? "[" : ", [") + c + "]";
    return list;
}

// The id of the table: the given one, or the first user table of that name.
std::string TableIdExpression(const std::string& tableName, int32_t tableId, int versionMajor) {
    if (tableId > 0)
        return std::to_string(tableId);
    const std::string literal = SqlLiteral(tableName);
    return versionMajor > 8
               ? "(SELECT MIN(object_id) FROM sys.objects WHERE name = '" + literal +
                     "' AND type = 'U')"
               : "(SELECT MIN(id) FROM sysobjects WHERE name = '" + literal + "' AND xtype = 'U')";
}

RecordsetPtr Run(const ServerEntry& server, const std::string& sql, const std::string& database) {
    RecordsetPtr rs;
    int32_t errNumber = 0;
    std::string errDescription;
    ExecAdoCmd(server, kAdCmdText, sql, rs, database, errNumber, errDescription);
    RequireOpen(rs);
    return rs;
}

} // namespace

bool LooksLikeGeneratedConstraintName(const std::string& name) {
    static constexpr const char* kKinds[] = {"PK__", "UQ__", "DF__", "CK__", "FK__"};
    const bool kind = std::any_of(std::begin(kKinds), std::end(kKinds),
                                  [&](const char* k) { return name.rfind(k, 0) == 0; });
    if (!kind)
        return false;
    for (size_t digits : {size_t{8}, size_t{16}}) {
        // At least one letter of the table's name stands between the kind and the hex digits.
        if (name.size() < 4 + 1 + 2 + digits)
            continue;
        const size_t hexAt = name.size() - digits;
        if (name.compare(hexAt - 2, 2, "__") != 0)
            continue;
        if (std::all_of(name.begin() + static_cast<std::ptrdiff_t>(hexAt), name.end(),
                        [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }))
            return true;
    }
    return false;
}

namespace {

// Whether the constraint on the current row keeps its name in the text.
bool NameWritten(const Recordset& row, const std::string& name, const ConstraintNaming& naming) {
    if (!naming.IgnoreSystemNames || name.empty())
        return true;
    if (naming.VersionMajor > 8) {
        const int flag = row.FieldIndex("systemnamed");
        return !(flag >= 0 && row.Value(flag).Long() == 1);
    }
    return !LooksLikeGeneratedConstraintName(name);
}

} // namespace

std::string TableIndexRowsQuery(const std::string& tableName, int32_t tableId, bool clusteredOnly,
                                int versionMajor) {
    const bool every = tableId < 0;
    const std::string table =
        tableId > 0 ? "WHERE si.id = " + std::to_string(tableId) + " AND "
        : every     ? "INNER JOIN sysobjects so ON so.id = si.id WHERE so.xtype = 'U' AND "
                    : "INNER JOIN sysobjects so ON so.id = si.id "
                      "WHERE so.name = '" +
                      SqlLiteral(tableName) + "' AND so.xtype = 'U' AND ";
    const std::string condition =
        clusteredOnly ? "si.indid = 1 AND " : "si.indid BETWEEN 1 AND 254 AND ";
    // Later servers say which key names they generated.
    const bool later = versionMajor > 8;
    return std::string("SELECT ") + (every ? "si.id AS tableid, " : "") +
           "sc.name AS [column], si.name AS [index], sk.indid, sk.keyno, "
           "INDEXPROPERTY(si.id, si.name, 'IsUnique') AS isunique, "
           "ko.xtype AS constrainttype" +
           (later ? ", kc.is_system_named AS systemnamed " : " ") +
           "FROM sysindexes si INNER JOIN sysindexkeys sk ON sk.id = si.id AND sk.indid = si.indid "
           "INNER JOIN syscolumns sc ON sc.id = sk.id AND sc.colid = sk.colid "
           "LEFT JOIN sysobjects ko ON ko.parent_obj = si.id AND ko.name = si.name "
           "AND ko.xtype IN ('PK', 'UQ') " +
           (later ? "LEFT JOIN sys.key_constraints kc ON kc.object_id = ko.id " : "") + table +
           condition +
           "INDEXPROPERTY(si.id, si.name, 'IsStatistics') = 0 AND "
           "INDEXPROPERTY(si.id, si.name, 'IsHypothetical') = 0 "
           "ORDER BY " +
           (every ? "si.id, " : "") + "sk.indid, sk.keyno";
}

std::vector<ScriptedIndex> ReadTableIndexes(Recordset& rows, const ConstraintNaming& naming) {
    std::vector<ScriptedIndex> indexes;
    if (rows.IsBOF() && rows.IsEOF())
        return indexes;
    rows.MoveFirst();
    while (!rows.IsEOF()) {
        ScriptedIndex index;
        index.IndexId = rows.Value("indid").Long();
        index.Name = rows.Value("index").Text();
        index.Unique = rows.Value("isunique").Long() == 1;
        index.ConstraintType = ToUpperAscii(Trim(rows.Value("constrainttype").Text()));
        // Only a constraint's index can carry a generated name.
        index.NameWritten = index.ConstraintType.empty() || NameWritten(rows, index.Name, naming);
        for (; !rows.IsEOF() && rows.Value("indid").Long() == index.IndexId; rows.MoveNext())
            index.Columns.push_back(rows.Value("column").Text());
        indexes.push_back(std::move(index));
    }
    return indexes;
}

std::string CompleteIndexLine(const ScriptedIndex& index) {
    const bool clustered = index.IndexId == 1;
    std::string line;
    if (index.ConstraintType == "PK")
        line = (index.NameWritten ? "CONSTRAINT [" + index.Name + "] " : std::string()) +
               "PRIMARY KEY " + (clustered ? "CLUSTERED" : "NONCLUSTERED");
    else
        line = std::string(index.Unique ? "UNIQUE " : "") + (clustered ? "CLUSTERED " : "") +
               "INDEX" + (index.NameWritten ? " [" + index.Name + "]" : std::string());
    return line + " (" + KeyList(index.Columns) + ")";
}

std::string BuildCompleteIndexPart(Recordset& rows, const ConstraintNaming& naming) {
    std::string part;
    for (const ScriptedIndex& index : ReadTableIndexes(rows, naming))
        part += CompleteIndexLine(index) + "\r\n";
    return part;
}

std::string TableConstraintsQuery(const std::string& tableName, int32_t tableId, int versionMajor) {
    // The kinds are numbers (1 default, 2 check, 3 unique) and the defaults come first, so every
    // column of the union takes its type from a branch that has real values. For every table
    // (tableId < 0) each row leads with its table's id.
    const bool every = tableId < 0;
    const std::string id = every ? "" : TableIdExpression(tableName, tableId, versionMajor);
    auto lead = [&](const std::string& parent, bool firstBranch) {
        return every ? parent + (firstBranch ? " AS tableid, " : ", ") : std::string();
    };
    auto onTable = [&](const std::string& parent, bool firstCondition) {
        return every ? std::string() : (firstCondition ? " WHERE " : " AND ") + parent + " = " + id;
    };
    const std::string order =
        every ? " ORDER BY tableid, kind, [name], seq" : " ORDER BY kind, [name], seq";
    if (versionMajor > 8)
        return "SELECT " + lead("dc.parent_object_id", true) +
               "1 AS kind, dc.name AS [name], c.name AS [column], dc.definition AS "
               "definition, 0 AS seq, dc.is_system_named AS systemnamed "
               "FROM sys.default_constraints dc "
               "INNER JOIN sys.columns c ON c.object_id = dc.parent_object_id "
               "AND c.column_id = dc.parent_column_id" +
               onTable("dc.parent_object_id", true) +
               " UNION ALL "
               "SELECT " +
               lead("cc.parent_object_id", false) +
               "2, cc.name, '', cc.definition, 0, cc.is_system_named "
               "FROM sys.check_constraints cc" +
               onTable("cc.parent_object_id", true) +
               " UNION ALL "
               "SELECT " +
               lead("kc.parent_object_id", false) +
               "3, kc.name, c.name, '', ic.key_ordinal, kc.is_system_named "
               "FROM sys.key_constraints kc "
               "INNER JOIN sys.index_columns ic ON ic.object_id = kc.parent_object_id "
               "AND ic.index_id = kc.unique_index_id "
               "INNER JOIN sys.columns c ON c.object_id = ic.object_id "
               "AND c.column_id = ic.column_id WHERE kc.type = 'UQ'" +
               onTable("kc.parent_object_id", false) + order;
    return "SELECT " + lead("so.parent_obj", true) +
           "1 AS kind, so.name AS [name], sc.name AS [column], cm.text AS definition, "
           "cm.colid AS seq FROM sysobjects so "
           "INNER JOIN syscolumns sc ON sc.id = so.parent_obj AND sc.cdefault = so.id "
           "INNER JOIN syscomments cm ON cm.id = so.id "
           "WHERE so.xtype = 'D'" +
           onTable("so.parent_obj", false) +
           " UNION ALL "
           "SELECT " +
           lead("so.parent_obj", false) +
           "2, so.name, '', cm.text, cm.colid FROM sysobjects so "
           "INNER JOIN syscomments cm ON cm.id = so.id "
           "WHERE so.xtype = 'C'" +
           onTable("so.parent_obj", false) +
           " UNION ALL "
           "SELECT " +
           lead("so.parent_obj", false) +
           "3, so.name, sc.name, '', sk.keyno FROM sysobjects so "
           "INNER JOIN sysindexes si ON si.id = so.parent_obj AND si.name = so.name "
           "INNER JOIN sysindexkeys sk ON sk.id = si.id AND sk.indid = si.indid "
           "INNER JOIN syscolumns sc ON sc.id = sk.id AND sc.colid = sk.colid "
           "WHERE so.xtype = 'UQ'" +
           onTable("so.parent_obj", false) + order;
}

std::vector<TableConstraint> ReadTableConstraints(Recordset& rows, const ConstraintNaming& naming) {
    std::vector<TableConstraint> constraints;
    if (rows.IsBOF() && rows.IsEOF())
        return constraints;
    rows.MoveFirst();
    bool unnamed = false;
    while (!rows.IsEOF()) {
        TableConstraint c;
        c.Kind = rows.Value("kind").Long();
        c.Name = rows.Value("name").Text();
        c.Column = rows.Value("column").Text();
        c.NameWritten = NameWritten(rows, c.Name, naming);
        unnamed = unnamed || !c.NameWritten;
        // A long definition comes in several rows; a unique constraint has one row per column.
        for (; !rows.IsEOF() && rows.Value("kind").Long() == c.Kind &&
               rows.Value("name").Text() == c.Name;
             rows.MoveNext()) {
            c.Definition += rows.Value("definition").Text();
            c.Columns.push_back(rows.Value("column").Text());
        }
        constraints.push_back(std::move(c));
    }
    if (unnamed) {
        // The server's order follows the names, and generated names differ between databases:
        // a constraint without its name takes its place by its line instead.
        auto key = [](const TableConstraint& c) {
            return ToLowerAscii(c.NameWritten ? c.Name : CompleteConstraintLine(c));
        };
        std::stable_sort(constraints.begin(), constraints.end(),
                         [&](const TableConstraint& a, const TableConstraint& b) {
                             if (a.Kind != b.Kind)
                                 return a.Kind < b.Kind;
                             return key(a) < key(b);
                         });
    }
    return constraints;
}

std::string CompleteConstraintLine(const TableConstraint& c) {
    std::string line = c.NameWritten ? "CONSTRAINT [" + c.Name + "] " : std::string();
    if (c.Kind == 1)
        line += "DEFAULT " + c.Definition + " FOR [" + c.Column + "]";
    else if (c.Kind == 2)
        line += "CHECK " + c.Definition;
    else
        line += "UNIQUE (" + KeyList(c.Columns) + ")";
    return line;
}

std::string BuildConstraintLines(Recordset& rows, const ConstraintNaming& naming) {
    std::string lines;
    for (const TableConstraint& c : ReadTableConstraints(rows, naming))
        lines += CompleteConstraintLine(c) + "\r\n";
    return lines;
}

std::string GetCompleteTableExtras(const ServerEntry& server, const std::string& tableName,
                                   const std::string& database, int32_t tableId, bool withIndexes,
                                   bool ignoreSystemNames) {
    const ConstraintNaming naming{ignoreSystemNames, server.VersionMajor};
    std::string extras;
    if (withIndexes) {
        RecordsetPtr rs = Run(
            server, TableIndexRowsQuery(tableName, tableId, false, server.VersionMajor), database);
        extras = BuildCompleteIndexPart(*rs, naming);
    }
    RecordsetPtr rs =
        Run(server, TableConstraintsQuery(tableName, tableId, server.VersionMajor), database);
    return extras + BuildConstraintLines(*rs, naming);
}

std::string ForeignKeyColumnsQuery(const std::string& keyName, int versionMajor, int32_t keyId) {
    const std::string literal = SqlLiteral(keyName);
    const std::string id = std::to_string(keyId);
    if (versionMajor > 8) {
        const std::string filter = keyId > 0   ? "WHERE k.object_id = " + id
                                   : keyId < 0 ? std::string()
                                               : "WHERE k.name = '" + literal + "'";
        return "SELECT fkc.constraint_object_id AS constid, t.name AS tablename, "
               "pc.name AS foreigncolumn, rc.name AS referencedcolumn "
               "FROM sys.foreign_key_columns fkc "
               "INNER JOIN sys.objects k ON k.object_id = fkc.constraint_object_id "
               "INNER JOIN sys.objects t ON t.object_id = fkc.parent_object_id "
               "INNER JOIN sys.columns pc ON pc.object_id = fkc.parent_object_id "
               "AND pc.column_id = fkc.parent_column_id "
               "INNER JOIN sys.columns rc ON rc.object_id = fkc.referenced_object_id "
               "AND rc.column_id = fkc.referenced_column_id " +
               filter + " ORDER BY fkc.constraint_object_id, fkc.constraint_column_id";
    }
    const std::string filter = keyId > 0   ? "WHERE so.id = " + id
                               : keyId < 0 ? std::string()
                                           : "WHERE so.name = '" + literal + "'";
    return "SELECT fk.constid, sof.name AS tablename, scf.name AS foreigncolumn, "
           "scr.name AS referencedcolumn FROM sysforeignkeys fk "
           "INNER JOIN sysobjects so ON so.id = fk.constid "
           "INNER JOIN sysobjects sof ON sof.id = fk.fkeyid "
           "INNER JOIN syscolumns scf ON scf.id = fk.fkeyid AND scf.colid = fk.fkey "
           "INNER JOIN syscolumns scr ON scr.id = fk.rkeyid AND scr.colid = fk.rkey " +
           filter + " ORDER BY fk.constid, fk.keyno";
}

std::string BuildCompleteRelationshipText(const Recordset& first, Recordset& pairs) {
    const std::string table = first.Value("tablename").Text();
    std::vector<std::string> foreign;
    std::vector<std::string> referenced;
    if (!(pairs.IsBOF() && pairs.IsEOF())) {
        pairs.MoveFirst();
        // Keys of one name in two schemas: the pairs of the key on the first row's table.
        int64_t constId = -1;
        for (; !pairs.IsEOF(); pairs.MoveNext()) {
            const int64_t id = pairs.Value("constid").Long();
            if (constId < 0 && pairs.Value("tablename").Text() == table)
                constId = id;
            if (id != constId)
                continue;
            foreign.push_back(pairs.Value("foreigncolumn").Text());
            referenced.push_back(pairs.Value("referencedcolumn").Text());
        }
    }
    if (foreign.empty()) {
        foreign.push_back(first.Value("foreigncolumn").Text());
        referenced.push_back(first.Value("referencedcolumn").Text());
    }
    return "TABLE " + table + "\r\nCONSTRAINT [" + first.Value("foreignkey").Text() +
           "]\r\nFOREIGN KEY " + KeyList(foreign) + "\r\nREFERENCES [" +
           first.Value("referencedtable").Text() + "] " + KeyList(referenced);
}

} // namespace orv
