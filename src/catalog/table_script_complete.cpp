#include "catalog/table_script_complete.h"

#include "catalog/catalog_error.h"
#include "catalog/sql_quote.h"
#include "servers/exec_ado_cmd.h"
#include "util/text.h"

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

std::string TableIndexRowsQuery(const std::string& tableName, int32_t tableId, bool clusteredOnly) {
    const std::string table = tableId > 0 ? "WHERE si.id = " + std::to_string(tableId) + " AND "
                                          : "INNER JOIN sysobjects so ON so.id = si.id "
                                            "WHERE so.name = '" +
                                                SqlLiteral(tableName) + "' AND so.xtype = 'U' AND ";
    const std::string condition =
        clusteredOnly ? "si.indid = 1 AND " : "si.indid BETWEEN 1 AND 254 AND ";
    return "SELECT sc.name AS [column], si.name AS [index], sk.indid, sk.keyno, "
           "INDEXPROPERTY(si.id, si.name, 'IsUnique') AS isunique, ko.xtype AS constrainttype "
           "FROM sysindexes si INNER JOIN sysindexkeys sk ON sk.id = si.id AND sk.indid = si.indid "
           "INNER JOIN syscolumns sc ON sc.id = sk.id AND sc.colid = sk.colid "
           "LEFT JOIN sysobjects ko ON ko.parent_obj = si.id AND ko.name = si.name "
           "AND ko.xtype IN ('PK', 'UQ') " +
           table + condition +
           "INDEXPROPERTY(si.id, si.name, 'IsStatistics') = 0 AND "
           "INDEXPROPERTY(si.id, si.name, 'IsHypothetical') = 0 "
           "ORDER BY sk.indid, sk.keyno";
}

std::string BuildCompleteIndexPart(Recordset& rows) {
    if (rows.IsBOF() && rows.IsEOF())
        return "";
    rows.MoveFirst();
    std::string part;
    while (!rows.IsEOF()) {
        const int64_t indexId = rows.Value("indid").Long();
        const std::string name = rows.Value("index").Text();
        const bool unique = rows.Value("isunique").Long() == 1;
        const bool primaryKey = ToUpperAscii(Trim(rows.Value("constrainttype").Text())) == "PK";
        std::vector<std::string> columns;
        for (; !rows.IsEOF() && rows.Value("indid").Long() == indexId; rows.MoveNext())
            columns.push_back(rows.Value("column").Text());
        if (primaryKey)
            part += "CONSTRAINT [" + name + "] PRIMARY KEY " +
                    (indexId == 1 ? "CLUSTERED" : "NONCLUSTERED");
        else
            part += std::string(unique ? "UNIQUE " : "") + (indexId == 1 ? "CLUSTERED " : "") +
                    "INDEX [" + name + "]";
        part += " (" + KeyList(columns) + ")\r\n";
    }
    return part;
}

std::string TableConstraintsQuery(const std::string& tableName, int32_t tableId, int versionMajor) {
    // The kinds are numbers (1 default, 2 check, 3 unique) and the defaults come first, so every
    // column of the union takes its type from a branch that has real values.
    const std::string id = TableIdExpression(tableName, tableId, versionMajor);
    if (versionMajor > 8)
        return "SELECT 1 AS kind, dc.name AS [name], c.name AS [column], dc.definition AS "
               "definition, 0 AS seq FROM sys.default_constraints dc "
               "INNER JOIN sys.columns c ON c.object_id = dc.parent_object_id "
               "AND c.column_id = dc.parent_column_id WHERE dc.parent_object_id = " +
               id +
               " UNION ALL "
               "SELECT 2, cc.name, '', cc.definition, 0 FROM sys.check_constraints cc "
               "WHERE cc.parent_object_id = " +
               id +
               " UNION ALL "
               "SELECT 3, kc.name, c.name, '', ic.key_ordinal FROM sys.key_constraints kc "
               "INNER JOIN sys.index_columns ic ON ic.object_id = kc.parent_object_id "
               "AND ic.index_id = kc.unique_index_id "
               "INNER JOIN sys.columns c ON c.object_id = ic.object_id "
               "AND c.column_id = ic.column_id WHERE kc.type = 'UQ' AND kc.parent_object_id = " +
               id + " ORDER BY kind, [name], seq";
    return "SELECT 1 AS kind, so.name AS [name], sc.name AS [column], cm.text AS definition, "
           "cm.colid AS seq FROM sysobjects so "
           "INNER JOIN syscolumns sc ON sc.id = so.parent_obj AND sc.cdefault = so.id "
           "INNER JOIN syscomments cm ON cm.id = so.id "
           "WHERE so.xtype = 'D' AND so.parent_obj = " +
           id +
           " UNION ALL "
           "SELECT 2, so.name, '', cm.text, cm.colid FROM sysobjects so "
           "INNER JOIN syscomments cm ON cm.id = so.id "
           "WHERE so.xtype = 'C' AND so.parent_obj = " +
           id +
           " UNION ALL "
           "SELECT 3, so.name, sc.name, '', sk.keyno FROM sysobjects so "
           "INNER JOIN sysindexes si ON si.id = so.parent_obj AND si.name = so.name "
           "INNER JOIN sysindexkeys sk ON sk.id = si.id AND sk.indid = si.indid "
           "INNER JOIN syscolumns sc ON sc.id = sk.id AND sc.colid = sk.colid "
           "WHERE so.xtype = 'UQ' AND so.parent_obj = " +
           id + " ORDER BY kind, [name], seq";
}

std::string BuildConstraintLines(Recordset& rows) {
    if (rows.IsBOF() && rows.IsEOF())
        return "";
    rows.MoveFirst();
    std::string lines;
    while (!rows.IsEOF()) {
        const int64_t kind = rows.Value("kind").Long();
        const std::string name = rows.Value("name").Text();
        const std::string column = rows.Value("column").Text();
        // A long definition comes in several rows; a unique constraint has one row per column.
        std::string definition;
        std::vector<std::string> columns;
        for (; !rows.IsEOF() && rows.Value("kind").Long() == kind &&
               rows.Value("name").Text() == name;
             rows.MoveNext()) {
            definition += rows.Value("definition").Text();
            columns.push_back(rows.Value("column").Text());
        }
        lines += "CONSTRAINT [" + name + "] ";
        if (kind == 1)
            lines += "DEFAULT " + definition + " FOR [" + column + "]";
        else if (kind == 2)
            lines += "CHECK " + definition;
        else
            lines += "UNIQUE (" + KeyList(columns) + ")";
        lines += "\r\n";
    }
    return lines;
}

std::string GetCompleteTableExtras(const ServerEntry& server, const std::string& tableName,
                                   const std::string& database, int32_t tableId, bool withIndexes) {
    std::string extras;
    if (withIndexes) {
        RecordsetPtr rs = Run(server, TableIndexRowsQuery(tableName, tableId, false), database);
        extras = BuildCompleteIndexPart(*rs);
    }
    RecordsetPtr rs =
        Run(server, TableConstraintsQuery(tableName, tableId, server.VersionMajor), database);
    return extras + BuildConstraintLines(*rs);
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
