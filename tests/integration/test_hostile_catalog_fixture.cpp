#include "test_hostile_catalog.h"

#include "catalog/bulk_queries.h"
#include "catalog/key_scripts.h"
#include "catalog/listing.h"
#include "catalog/table_script_complete.h"
#include "servers/connection_encryption.h"
#include "servers/exec_ado_cmd.h"
#include "util/text.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace orv::test::hostile {
namespace {

std::string Repeat(const std::string& piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += piece;
    return out;
}

// A name as a bracketed T-SQL identifier.
std::string Ident(const std::string& name) {
    std::string out = "[";
    for (char c : name) {
        out += c;
        if (c == ']')
            out += ']';
    }
    return out + "]";
}

std::string Digits(int value, int width) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*d", width, value);
    return buffer;
}

bool WideIsText(int index) {
    return index % 4 == 0;
}

std::string LongNamesScript() {
    return "USE HostileCat\nGO\n"
           "CREATE TABLE dbo." +
           Ident(Name128Ascii()) + " (" + Ident(Column128()) +
           " int NOT NULL)\nGO\n"
           "INSERT INTO dbo." +
           Ident(Name128Ascii()) + " (" + Ident(Column128()) +
           ") VALUES (128)\nGO\n"
           "CREATE TABLE dbo." +
           Ident(Name128Cyrillic()) +
           " (Id int NOT NULL)\nGO\n"
           "INSERT INTO dbo." +
           Ident(Name128Cyrillic()) +
           " (Id) VALUES (1)\n"
           "INSERT INTO dbo." +
           Ident(Name128Cyrillic()) +
           " (Id) VALUES (2)\nGO\n"
           "CREATE TABLE dbo." +
           Ident(Name128Emoji()) +
           " (Id int NOT NULL)\nGO\n"
           "CREATE PROCEDURE dbo." +
           Ident(Procedure128()) + "\nAS\nSELECT 128 AS n\nGO\n";
}

std::string BigModuleScript() {
    return "USE HostileCat\nGO\n" + BigModuleText() + "\nGO\n";
}

std::string WideTableScript() {
    std::string columns;
    std::string names;
    for (int i = 1; i <= kWideColumns; ++i) {
        if (i > 1) {
            columns += ",\n";
            names += ", ";
        }
        columns += Ident(WideColumnName(i)) + (WideIsText(i) ? " nvarchar(12) NULL" : " int NULL");
        names += Ident(WideColumnName(i));
    }
    std::string script = "USE HostileCat\nGO\nCREATE TABLE dbo." + Ident(WideTableName()) + " (\n" +
                         columns + "\n)\nGO\n";
    for (int row = 1; row <= kWideRows; ++row) {
        std::string values;
        for (int i = 1; i <= kWideColumns; ++i) {
            if (i > 1)
                values += ", ";
            values += WideIsText(i) ? "N'" + WideValue(row, i) + "'" : WideValue(row, i);
        }
        script += "INSERT INTO dbo." + Ident(WideTableName()) + " (" + names + ") VALUES (" +
                  values + ")\n";
    }
    return script + "GO\n";
}

} // namespace

std::string Name128Ascii() {
    return "N128'];--" + std::string(119, 'x');
}
std::string Name128Cyrillic() {
    return "Д'" + Repeat("ж", 126);
}
std::string Name128Emoji() {
    return Repeat("🚚", 63) + "']";
}
std::string Column128() {
    return "c]'" + std::string(125, 'z');
}
std::string Procedure128() {
    return "p'" + std::string(126, 'q');
}

std::string BigModuleName() {
    return "big'module";
}

std::string BigModuleText() {
    static const std::string text = [] {
        std::string t = "CREATE PROCEDURE dbo.[big'module]\nAS\n";
        for (int line = 1; t.size() < 1024 * 1024; ++line)
            t += "-- " + Digits(line, 6) +
                 " it's ]]; DROP TABLE Victim; -- Ωμέγα 顧客 😀 /* x */ 100%_off\n";
        return t + "SELECT 1 AS done";
    }();
    return text;
}

std::string WideTableName() {
    return "Wide'1024";
}
std::string WideColumnName(int index) {
    return "w'" + Digits(index, 4) + "]";
}
std::string WideValue(int row, int index) {
    if (WideIsText(index))
        return "é" + std::to_string(row) + "/" + std::to_string(index);
    return std::to_string(row * 10000 + index);
}

std::vector<std::string> GeneratedScripts() {
    return {LongNamesScript(), BigModuleScript(), WideTableScript()};
}

std::set<std::string> Tables() {
    return {"Victim",
            "[Victim]",
            "顧客表",
            "O'Brien's Orders",
            "'; DROP TABLE Victim --",
            "a]b",
            "[x",
            "semi;colon",
            "dash--dash",
            "slash/*star",
            "100%_off",
            "Заказы",
            "Πελάτες",
            "📦 Parcels 🚚",
            "Dup'",
            "Ledger'; --",
            "Import.2019",
            "Sales.Q1.Final",
            "x'); DROP TABLE dbo.Victim; --",
            Name128Ascii(),
            Name128Cyrillic(),
            Name128Emoji(),
            WideTableName()};
}

std::multiset<std::string> ListedTables(bool v8) {
    const std::set<std::string> names = Tables();
    std::multiset<std::string> tables(names.begin(), names.end());
    for (const auto& [name, schemas] : SharedTableNames()) {
        tables.erase(name);
        for (const auto& schema : schemas)
            tables.insert(v8 ? name : schema + "." + name);
    }
    return tables;
}

std::set<std::string> Procedures() {
    return {"usp_O'Neil; DROP TABLE Victim --", "процедура", "proc'%_", BigModuleName(),
            Procedure128()};
}

std::set<std::string> Constraints() {
    return {"pk_O'Brien]--x", "PK_顧客表", "Pk_%_📦"};
}

namespace {

// One query shape: fixed text with slots. {L} a quoted literal holding a catalog name,
// {X} a quoted xtype, {I} a bracketed identifier chain of catalog names, {Q} a quoted literal
// holding such a chain, {N} a number, {M} a list of numbers.
const std::vector<std::string>& Shapes() {
    static const std::vector<std::string> shapes = [] {
        std::vector<std::string> s;
        for (ObjectType type : {kTypeProcedure, kTypeFunction, kTypeView, kTypeTrigger, kTypeTable,
                                kTypeRelationship, kTypeConstraint})
            for (bool ignoreSys : {false, true})
                s.push_back(BuildObjSQLString(type, ignoreSys));
        const std::string text = "SELECT text FROM syscomments sc INNER JOIN sysobjects so ON "
                                 "sc.id = so.id WHERE so.";
        s.push_back(text + "name = {L} ORDER BY sc.colid");
        s.push_back(text + "id = {N} ORDER BY sc.colid");
        const std::string owner = "SELECT so.name AS ObjectName, su.name AS Owner FROM sysobjects "
                                  "so INNER JOIN sysusers su ON so.uid = su.uid WHERE so.";
        s.push_back(owner + "name = {L} AND so.xtype = {X}");
        s.push_back(owner + "xtype = {X}");
        s.push_back("SELECT DISTINCT su.name AS Owner FROM sysobjects so INNER JOIN sysusers su "
                    "ON so.uid = su.uid ");
        s.push_back("SELECT ROUTINE_SCHEMA FROM INFORMATION_SCHEMA.ROUTINES WHERE ROUTINE_NAME = "
                    "{L}");
        s.push_back("SELECT TABLE_SCHEMA FROM INFORMATION_SCHEMA.VIEWS WHERE TABLE_NAME = {L}");
        s.push_back("SELECT TABLE_SCHEMA FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_NAME = {L}");
        s.push_back("SELECT OBJECT_SCHEMA_NAME([object_id]) FROM sys.objects WHERE [object_id] = "
                    "{N}");
        s.push_back("SELECT USER_NAME(uid) FROM sysobjects WHERE [id] = {N}");
        s.push_back("SELECT OBJECT_SCHEMA_NAME([object_id]), [name] FROM sys.objects WHERE "
                    "[object_id] = {N}");
        s.push_back("SELECT USER_NAME(uid), [name] FROM sysobjects WHERE [id] = {N}");
        s.push_back("SELECT [object_id], OBJECT_SCHEMA_NAME([object_id]) FROM sys.objects WHERE "
                    "[type] = 'U'");
        s.push_back("SELECT [id], USER_NAME(uid) FROM sysobjects WHERE xtype = 'U'");
        s.push_back("SELECT [object_id], OBJECT_SCHEMA_NAME([object_id]) FROM sys.objects");
        s.push_back("SELECT [id], USER_NAME(uid) FROM sysobjects");
        s.push_back("SELECT COUNT(*) AS RecsCount FROM {I}");
        s.push_back("SELECT * FROM {I}");
        const std::string structure =
            "SELECT sco.[name] AS [column], sco.autoval, sco.isnullable, sco.length, sco.prec, "
            "sco.scale, sty.[name] AS datatype, CASE WHEN OBJECT_ID({L}) = sco.id THEN "
            "ident_seed({L}) END AS identityseed, CASE WHEN OBJECT_ID({L}) = sco.id THEN "
            "ident_incr({L}) END AS identityincrement, isID=case when sco.status&128=0 then '' "
            "else 'Y' end FROM "
            "sysobjects sob INNER JOIN syscolumns sco ON sob.id = sco.id INNER JOIN systypes sty "
            "ON sco.xtype = sty.xtype AND sco.xusertype = sty.xusertype WHERE ";
        s.push_back(structure + "sob.name = {L} ORDER BY sco.colorder");
        s.push_back(structure + "sco.id = {N} ORDER BY sco.colorder");
        // A name holding "." reaches ident_seed qualified, each part bracketed.
        s.push_back(ReplaceAll(structure, "{L}", "{Q}") + "sco.id = {N} ORDER BY sco.colorder");
        for (const char* table : {"so2.id = {N}", "so2.name = {L}"})
            for (const char* condition : {"si.indid = 1 AND ", "si.indid BETWEEN 1 AND 254 AND "})
                s.push_back(std::string("SELECT DISTINCT sc.name AS [column], si.name as [index], "
                                        "sk.indid, sk.keyno FROM sysobjects so INNER JOIN "
                                        "sysindexkeys sk ON so.parent_obj = sk.id INNER JOIN "
                                        "sysindexes si ON sk.id = si.id AND sk.indid = si.indid "
                                        "INNER JOIN syscolumns sc ON sk.id = sc.id AND sk.colid = "
                                        "sc.colid INNER JOIN sysobjects so2 ON so.parent_obj = "
                                        "so2.id WHERE ") +
                            table + " AND " + condition +
                            "INDEXPROPERTY(si.id, si.name, 'IsStatistics') = 0 AND "
                            "INDEXPROPERTY(si.id, si.name, 'IsHypothetical') = 0 ORDER BY "
                            "sk.indid, sk.keyno");
        const std::string ownIndexes =
            "SELECT sc.name AS [column], si.name AS [index], sk.indid, sk.keyno, "
            "INDEXPROPERTY(si.id, si.name, 'IsUnique') AS isunique, ko.xtype AS constrainttype "
            "FROM sysindexes si INNER JOIN sysindexkeys sk ON sk.id = si.id AND sk.indid = "
            "si.indid INNER JOIN syscolumns sc ON sc.id = sk.id AND sc.colid = sk.colid LEFT "
            "JOIN sysobjects ko ON ko.parent_obj = si.id AND ko.name = si.name AND ko.xtype IN "
            "('PK', 'UQ') ";
        for (const char* table :
             {"WHERE si.id = {N} AND ",
              "INNER JOIN sysobjects so ON so.id = si.id WHERE so.name = {L} AND so.xtype = 'U' "
              "AND "})
            for (const char* condition : {"si.indid = 1 AND ", "si.indid BETWEEN 1 AND 254 AND "})
                s.push_back(ownIndexes + table + condition +
                            "INDEXPROPERTY(si.id, si.name, 'IsStatistics') = 0 AND "
                            "INDEXPROPERTY(si.id, si.name, 'IsHypothetical') = 0 ORDER BY "
                            "sk.indid, sk.keyno");
        s.push_back("SELECT si.name AS [index], sk.indid, sc.[name] AS [column] FROM sysindexkeys "
                    "sk INNER JOIN sysindexes si ON sk.id = si.id AND sk.indid = si.indid INNER "
                    "JOIN syscolumns sc ON sk.id = sc.id AND sk.colid = sc.colid INNER JOIN "
                    "sysobjects so ON so.id = sk.id WHERE so.[name] = {L} ORDER BY sk.indid");
        s.push_back("SELECT so.name AS foreignkey, scf.name AS foreigncolumn, sor.name AS "
                    "referencedtable, scr.name AS referencedcolumn, sof.name AS tablename FROM "
                    "sysreferences sr INNER JOIN sysobjects so ON sr.constid = so.id INNER JOIN "
                    "sysobjects sof ON sof.id = sr.fkeyid INNER JOIN sysobjects sor ON sor.id = "
                    "sr.rkeyid INNER JOIN syscolumns scf ON scf.id = sof.id AND scf.colid = "
                    "sr.fkey1 INNER JOIN syscolumns scr ON scr.id = sor.id AND scr.colid = "
                    "sr.rkey1 WHERE so.name = {L} ORDER BY scf.name");
        s.push_back("SELECT si.name as [name], so2.refdate AS refdate, so2.id AS id, sc.name AS "
                    "[column], sk.indid, so2.name as [tablename] FROM sysobjects so INNER JOIN "
                    "sysindexkeys sk ON so.parent_obj = sk.id INNER JOIN sysindexes si ON sk.id = "
                    "si.id AND sk.indid = si.indid INNER JOIN syscolumns sc ON sk.id = sc.id AND "
                    "sk.colid = sc.colid INNER JOIN sysobjects so2 ON so.parent_obj = so2.id "
                    "WHERE si.indid = 1 AND  si.name = {L} AND INDEXPROPERTY(si.id, si.name, "
                    "'IsStatistics') = 0 AND INDEXPROPERTY(si.id, si.name, 'IsHypothetical') = 0 ");
        s.push_back("SELECT serverproperty('ProductVersion') AS ServerVer");
        s.push_back(kConnectionEncryptionQuery); // the main window's status bar
        // The by-id forms of the key texts, the complete form's per-table and per-key queries
        // (a marker id stands for the number slot), and the whole-database reader's queries.
        const std::string marker = "987654321";
        auto slotted = [&](const std::string& sql) { return ReplaceAll(sql, marker, "{N}"); };
        s.push_back(slotted(
            RelationshipRowsQuery("", "WHERE so.id = " + marker + " ", "ORDER BY scf.name")));
        s.push_back(slotted(ConstraintRowsQuery(false, "", "so2.id = " + marker + " AND ", "")));
        for (bool clusteredOnly : {false, true}) {
            // Later servers' form of a table's own index rows, which says whose names they made.
            s.push_back(slotted(TableIndexRowsQuery("", 987654321, clusteredOnly, 10)));
            s.push_back(
                ReplaceAll(TableIndexRowsQuery("\x01", 0, clusteredOnly, 10), "'\x01'", "{L}"));
        }
        for (int major : {8, 10}) {
            // The whole-database reader's complete form: every table's rows at once.
            s.push_back(TableIndexRowsQuery("", -1, false, major));
            s.push_back(TableConstraintsQuery("", -1, major));
            s.push_back(slotted(TableConstraintsQuery("", 987654321, major)));
            s.push_back(slotted(ForeignKeyColumnsQuery("", major, 987654321)));
            s.push_back(ReplaceAll(ForeignKeyColumnsQuery("\x01", major), "'\x01'", "{L}"));
            s.push_back(ForeignKeyColumnsQuery("", major, -1));
        }
        for (bool later : {false, true}) {
            for (ObjectType type :
                 {kTypeProcedure, kTypeFunction, kTypeView, kTypeTrigger, kTypeTable})
                for (bool ignoreSys : {false, true})
                    s.push_back(BulkListingQuery(type, ignoreSys, later));
            s.push_back(BulkRelationshipsQuery(later));
            s.push_back(BulkConstraintsQuery(later));
        }
        for (ObjectType type : {kTypeProcedure, kTypeFunction, kTypeView, kTypeTrigger}) {
            s.push_back(BulkModuleTextQuery(type));
            for (FingerprintForm form :
                 {FingerprintForm::CommentRows, FingerprintForm::WholeModule})
                s.push_back(BulkFingerprintQuery(type, form, true));
        }
        s.push_back(ReplaceAll(ModuleTextsByIdQuery({987654321}), "987654321", "{M}"));
        s.push_back(BulkTableColumnsQuery());
        s.push_back(BulkTableIndexesQuery());
        s.push_back("SELECT name FROM sysdatabases ORDER BY name");
        s.push_back("SELECT TOP 1 name FROM sysdatabases");
        s.push_back("SELECT TOP 1 name FROM sys.databases");
        return s;
    }();
    return shapes;
}

// Reads a quoted literal at `pos`; its content with '' undone, or false when it is not one.
bool ReadLiteral(const std::string& sql, size_t& pos, std::string& value) {
    if (pos >= sql.size() || sql[pos] != '\'')
        return false;
    value.clear();
    for (size_t i = pos + 1; i < sql.size(); ++i) {
        if (sql[i] != '\'') {
            value += sql[i];
            continue;
        }
        if (i + 1 < sql.size() && sql[i + 1] == '\'') {
            value += '\'';
            ++i;
            continue;
        }
        pos = i + 1;
        return true;
    }
    return false;
}

// Reads [a].[b]... at `pos`; the parts with ]] undone.
bool ReadIdentifierChain(const std::string& sql, size_t& pos, std::vector<std::string>& parts) {
    parts.clear();
    size_t i = pos;
    while (true) {
        if (i >= sql.size() || sql[i] != '[')
            return false;
        std::string part;
        bool closed = false;
        for (++i; i < sql.size(); ++i) {
            if (sql[i] != ']') {
                part += sql[i];
                continue;
            }
            if (i + 1 < sql.size() && sql[i + 1] == ']') {
                part += ']';
                ++i;
                continue;
            }
            closed = true;
            ++i;
            break;
        }
        if (!closed)
            return false;
        parts.push_back(part);
        if (i + 1 < sql.size() && sql[i] == '.' && sql[i + 1] == '[') {
            ++i;
            continue;
        }
        pos = i;
        return true;
    }
}

// True when `sql` is `shape` with every slot holding what it should; counts the names.
bool Matches(const std::string& shape, const std::string& sql, const std::set<std::string>& known,
             size_t& names) {
    static const std::set<std::string> kXtypes = {"P", "FN", "V", "TR", "U", "F", ""};
    size_t s = 0;
    size_t q = 0;
    size_t found = 0;
    while (s < shape.size()) {
        if (shape[s] == '{' && s + 2 < shape.size() && shape[s + 2] == '}') {
            const char slot = shape[s + 1];
            s += 3;
            if (slot == 'Q') {
                std::string value;
                std::vector<std::string> parts;
                size_t at = 0;
                if (!ReadLiteral(sql, q, value) || !ReadIdentifierChain(value, at, parts) ||
                    at != value.size())
                    return false;
                for (const auto& part : parts)
                    if (known.count(part) == 0)
                        return false;
                found += parts.size();
            } else if (slot == 'L' || slot == 'X') {
                std::string value;
                if (!ReadLiteral(sql, q, value))
                    return false;
                if (slot == 'X' ? kXtypes.count(value) == 0 : known.count(value) == 0)
                    return false;
                found += slot == 'L' ? 1 : 0;
            } else if (slot == 'I') {
                std::vector<std::string> parts;
                if (!ReadIdentifierChain(sql, q, parts))
                    return false;
                for (const auto& part : parts)
                    if (known.count(part) == 0)
                        return false;
                found += parts.size();
            } else if (slot == 'N' || slot == 'M') {
                // {M}: numbers separated by ", ", as a list of ids is written.
                do {
                    const size_t start = q;
                    if (q < sql.size() && sql[q] == '-')
                        ++q;
                    while (q < sql.size() && sql[q] >= '0' && sql[q] <= '9')
                        ++q;
                    if (q == start)
                        return false;
                } while (slot == 'M' && sql.compare(q, 2, ", ") == 0 && (q += 2));
            }
            continue;
        }
        if (q >= sql.size() || sql[q] != shape[s])
            return false;
        ++s;
        ++q;
    }
    if (q != sql.size())
        return false;
    names += found;
    return true;
}

} // namespace

LogCheck CheckStatements(const std::vector<std::string>& statements,
                         const std::set<std::string>& known) {
    LogCheck check;
    for (const auto& sql : statements) {
        ++check.statements;
        bool ok = false;
        for (const auto& shape : Shapes())
            if (Matches(shape, sql, known, check.namesInside)) {
                ok = true;
                break;
            }
        if (!ok)
            check.bad.push_back(sql);
    }
    return check;
}

namespace {

void AddColumn(const ServerEntry& server, const std::string& sql, std::set<std::string>& out) {
    RecordsetPtr rs;
    int32_t n = 0;
    std::string d;
    if (ExecAdoCmd(server, kAdCmdText, sql, rs, kDb, n, d) == -1 || !rs)
        return;
    for (; !rs->IsEOF(); rs->MoveNext())
        out.insert(rs->Value(0).Text());
    rs->Close();
}

} // namespace

std::set<std::string> CatalogNames(const ServerEntry& server) {
    std::set<std::string> names;
    AddColumn(server, "SELECT name FROM sysobjects", names);
    AddColumn(server, "SELECT name FROM sysusers", names);
    if (server.VersionMajor > 8)
        AddColumn(server, "SELECT name FROM sys.schemas", names);
    return names;
}

int VictimRows(const ServerEntry& server) {
    RecordsetPtr rs;
    int32_t n = 0;
    std::string d;
    if (ExecAdoCmd(server, kAdCmdText, "SELECT COUNT(*) FROM dbo.Victim", rs, kDb, n, d) == -1 ||
        !rs || rs->IsEOF())
        return -1;
    return static_cast<int>(rs->Value(0).Long());
}

LogCheck HostileSim::ExpectCleanLog(const std::set<std::string>& typed) const {
    std::vector<std::string> received;
    for (const auto& s : sim->Statements())
        received.push_back(s.sql);
    std::set<std::string> known = CatalogNames(server);
    known.insert(typed.begin(), typed.end());
    const LogCheck check = CheckStatements(received, known);
    EXPECT_GT(check.statements, 0u);
    for (const auto& bad : check.bad)
        ADD_FAILURE() << "statement of no known shape: " << bad.substr(0, 2000);
    EXPECT_EQ(VictimRows(server), 3);
    ::testing::Test::RecordProperty("statements_checked", static_cast<int>(check.statements));
    ::testing::Test::RecordProperty("names_decoded", static_cast<int>(check.namesInside));
    return check;
}

} // namespace orv::test::hostile
