// The structure a deployment plans against, read in a handful of statements whatever the size
// of the database: one listing of every object, and for the tables and modules asked for their
// columns, indexes, constraints, texts and row counts by lists of ids.
#include "deploy/schema_reader.h"

#include "catalog/bulk_queries.h"
#include "catalog/sql_quote.h"
#include "catalog/table_script_complete.h"
#include "explore/module_references.h"
#include "util/text.h"

#include <algorithm>
#include <map>
#include <set>
#include <unordered_map>

namespace orv {
namespace {

// Ids go to the server in lists of this many, so no statement grows without bound.
constexpr size_t kIdsPerStatement = 500;
// Tables counted per statement (one COUNT per table, joined by UNION ALL).
constexpr size_t kTablesPerCount = 100;

std::string IdList(const std::vector<int32_t>& ids, size_t from, size_t count) {
    std::string list;
    for (size_t i = from; i < from + count && i < ids.size(); ++i)
        list += (list.empty() ? "" : ", ") + std::to_string(ids[i]);
    return list;
}

std::string SchemaJoinOf(bool later) {
    return later ? " INNER JOIN sys.schemas s ON s.schema_id = o.uid"
                 : " INNER JOIN sysusers s ON s.uid = o.uid";
}

ModuleKind KindOf(const std::string& xtype) {
    if (xtype == "P")
        return ModuleKind::Procedure;
    if (xtype == "V")
        return ModuleKind::View;
    if (xtype == "FN")
        return ModuleKind::ScalarFunction;
    if (xtype == "IF")
        return ModuleKind::InlineFunction;
    if (xtype == "TF")
        return ModuleKind::TableFunction;
    if (xtype == "TR")
        return ModuleKind::Trigger;
    return ModuleKind::Other;
}

std::string ReferentialAction(int64_t code) {
    switch (code) {
    case 1:
        return "CASCADE";
    case 2:
        return "SET NULL";
    case 3:
        return "SET DEFAULT";
    default:
        return "NO ACTION";
    }
}

class Reader {
public:
    Reader(const QueryPlace& place, const ServerFacts& facts, const CancelToken& cancel,
           SchemaModel& out, OdbcError& error, std::string& failedSql)
        : place_(place), later_(facts.Later()), versionMajor_(facts.VersionMajor), cancel_(cancel),
          out_(out), error_(error), failedSql_(failedSql) {}

    bool Read(const SchemaReadRequest& request);

private:
    bool Run(const std::string& sql, const std::function<void(WorkerQuery&, Row&)>& onRow) {
        if (RunWorkerQuery(place_, cancel_, sql, onRow, error_))
            return true;
        failedSql_ = sql;
        return false;
    }
    // Runs `make(list)` for every slice of `ids`.
    bool ForIds(const std::vector<int32_t>& ids,
                const std::function<std::string(const std::string&)>& make,
                const std::function<void(WorkerQuery&, Row&)>& onRow) {
        for (size_t from = 0; from < ids.size(); from += kIdsPerStatement) {
            if (!Run(make(IdList(ids, from, kIdsPerStatement)), onRow))
                return false;
        }
        return true;
    }
    static std::string Field(WorkerQuery& q, Row& row, const char* name) {
        int i = q.FieldIndex(name);
        return i < 0 || row[static_cast<size_t>(i)].IsNull() ? std::string()
                                                             : row[static_cast<size_t>(i)].Text();
    }
    static int64_t Number(WorkerQuery& q, Row& row, const char* name) {
        int i = q.FieldIndex(name);
        return i < 0 || row[static_cast<size_t>(i)].IsNull() ? 0
                                                             : row[static_cast<size_t>(i)].Long();
    }

    bool ReadListing(const SchemaReadRequest& request);
    bool ReadSchemas();
    bool ReadColumns(const std::vector<int32_t>& tables);
    bool ReadDefaultsAndChecks(const std::vector<int32_t>& tables);
    bool ReadIndexes(const std::vector<int32_t>& tables);
    bool ReadForeignKeys();
    bool ReadTexts(const std::vector<int32_t>& modules);
    bool ReadDependencies(const std::vector<int32_t>& modules);
    bool CountRows(const std::vector<int32_t>& tables);

    // The table of this id, added to the model when the listing left it out.
    TableDef* KnownTable(int32_t id, const std::string& schema, const std::string& name) {
        if (TableDef* t = Table(id))
            return t;
        TableDef t;
        t.Schema = schema;
        t.Name = name;
        tableAt_[id] = out_.Tables.size();
        tableIds_.push_back(id);
        out_.Tables.push_back(std::move(t));
        return &out_.Tables.back();
    }

    TableDef* Table(int32_t id) {
        auto it = tableAt_.find(id);
        return it == tableAt_.end() ? nullptr : &out_.Tables[it->second];
    }

    QueryPlace place_;
    bool later_;
    int versionMajor_;
    const CancelToken& cancel_;
    SchemaModel& out_;
    OdbcError& error_;
    std::string& failedSql_;
    std::unordered_map<int32_t, size_t> tableAt_, moduleAt_;
    std::unordered_map<int32_t, std::string> xtypeOf_;
    std::vector<int32_t> moduleIds_; // in the order of out_.Modules
    std::vector<int32_t> tableIds_;  // in the order of out_.Tables
    // PRIMARY KEY and UNIQUE constraints by name, with their tables' ids.
    std::vector<QualifiedName> keyOwners_;
    std::vector<int32_t> keyOwnerTables_;
};

bool Reader::ReadListing(const SchemaReadRequest& request) {
    // Listed by type code, as the comparison lists (system tables are type S); schema binding
    // asked only of views and functions, the only modules that can have it.
    const std::string bound = "CASE WHEN o.xtype IN ('V', 'FN', 'IF', 'TF') THEN "
                              "OBJECTPROPERTY(o.id, 'IsSchemaBound') ELSE 0 END";
    const std::string columns =
        "SELECT o.id, o.name, s.name AS [schema], o.xtype, o.parent_obj AS parent, " + bound +
        " AS schemabound FROM sysobjects o" + SchemaJoinOf(later_) + " WHERE ";
    std::string sql;
    if (request.Everything || request.Ids.empty() || request.Ids.size() > 5000) {
        sql = columns + "o.xtype IN ('U', 'P', 'V', 'FN', 'IF', 'TF', 'TR', 'PK', 'UQ')";
    } else {
        // The offered objects, the triggers on them, the keys when keys were asked for, and
        // every schema-bound module (any of them may hold a table still); the tables foreign
        // keys name come with the keys. Each branch on its own indexed column, so the server
        // looks up a few hundred rows instead of reading the whole catalog; kinds not listed
        // (an offered foreign key) are passed over below.
        const std::string ids = IdList(request.Ids, 0, request.Ids.size());
        sql = columns + "o.id IN (" + ids + ") OR (o.parent_obj IN (" + ids +
              ") AND o.xtype = 'TR') OR (o.xtype IN ('V', 'FN', 'IF', 'TF') AND " + bound +
              " = 1)" + (request.Keys.empty() ? "" : " OR o.xtype IN ('PK', 'UQ')");
    }
    struct Listed {
        int32_t id, parent;
        std::string xtype, schema, name;
        bool schemaBound;
    };
    std::vector<Listed> listed;
    bool ok = Run(sql, [&](WorkerQuery& q, Row& row) {
        std::string xtype = Trim(Field(q, row, "xtype"));
        static const std::set<std::string> kListed = {"U",  "P",  "V",  "FN", "IF",
                                                      "TF", "TR", "PK", "UQ"};
        if (!kListed.count(xtype))
            return;
        listed.push_back({static_cast<int32_t>(Number(q, row, "id")),
                          static_cast<int32_t>(Number(q, row, "parent")), std::move(xtype),
                          Field(q, row, "schema"), Field(q, row, "name"),
                          Number(q, row, "schemabound") == 1});
    });
    // In id order, whatever order the server chose.
    std::sort(listed.begin(), listed.end(),
              [](const Listed& a, const Listed& b) { return a.id < b.id; });
    std::vector<std::pair<int32_t, int32_t>> parents; // trigger id, table id
    for (Listed& l : listed) {
        xtypeOf_[l.id] = l.xtype;
        if (l.xtype == "PK" || l.xtype == "UQ") {
            keyOwners_.emplace_back(std::move(l.schema), std::move(l.name));
            keyOwnerTables_.push_back(l.parent);
            continue;
        }
        if (l.xtype == "U") {
            TableDef t;
            t.Schema = std::move(l.schema);
            t.Name = std::move(l.name);
            tableAt_[l.id] = out_.Tables.size();
            tableIds_.push_back(l.id);
            out_.Tables.push_back(std::move(t));
            continue;
        }
        ModuleDef m;
        m.Kind = KindOf(l.xtype);
        m.Schema = std::move(l.schema);
        m.Name = std::move(l.name);
        m.SchemaBound = l.schemaBound;
        if (m.Kind == ModuleKind::Trigger)
            parents.emplace_back(l.id, l.parent);
        moduleAt_[l.id] = out_.Modules.size();
        moduleIds_.push_back(l.id);
        out_.Modules.push_back(std::move(m));
    }
    if (!ok)
        return false;
    for (const auto& [trigger, table] : parents) {
        ModuleDef& m = out_.Modules[moduleAt_[trigger]];
        if (const TableDef* t = Table(table)) {
            m.ParentSchema = t->Schema;
            m.ParentName = t->Name;
        }
    }
    return true;
}

bool Reader::ReadSchemas() {
    if (!later_)
        return true;
    return Run("SELECT name FROM sys.schemas WHERE schema_id BETWEEN 5 AND 16383 ORDER BY name",
               [&](WorkerQuery& q, Row& row) { out_.Schemas.push_back(Field(q, row, "name")); });
}

bool Reader::ReadColumns(const std::vector<int32_t>& tables) {
    std::vector<int32_t> identityTables;
    bool ok = ForIds(
        tables,
        [&](const std::string& list) {
            return "SELECT c.id, c.name, t.name AS type, c.length, c.prec, c.scale, c.isnullable, "
                   "CASE WHEN c.status & 128 = 0 THEN 0 ELSE 1 END AS isidentity, c.iscomputed, "
                   "c.colid FROM syscolumns c INNER JOIN systypes t ON t.xusertype = c.xusertype "
                   "WHERE c.id IN (" +
                   list + ") ORDER BY c.id, c.colorder";
        },
        [&](WorkerQuery& q, Row& row) {
            const int32_t id = static_cast<int32_t>(Number(q, row, "id"));
            TableDef* t = Table(id);
            if (!t)
                return;
            ColumnDef c;
            c.Name = Field(q, row, "name");
            c.TypeName = ToLowerAscii(Field(q, row, "type"));
            const int64_t length = Number(q, row, "length");
            if (c.TypeName == "char" || c.TypeName == "varchar" || c.TypeName == "binary" ||
                c.TypeName == "varbinary")
                c.Length = static_cast<int32_t>(length);
            else if (c.TypeName == "nchar" || c.TypeName == "nvarchar")
                c.Length = length < 0 ? -1 : static_cast<int32_t>(length / 2);
            if (c.TypeName == "decimal" || c.TypeName == "numeric") {
                c.Precision = static_cast<int32_t>(Number(q, row, "prec"));
                c.Scale = static_cast<int32_t>(Number(q, row, "scale"));
            } else if (c.TypeName == "time" || c.TypeName == "datetime2" ||
                       c.TypeName == "datetimeoffset") {
                c.Scale = static_cast<int32_t>(Number(q, row, "scale"));
            }
            c.Nullable = Number(q, row, "isnullable") != 0;
            c.Identity = Number(q, row, "isidentity") == 1;
            if (c.Identity && (identityTables.empty() || identityTables.back() != id))
                identityTables.push_back(id);
            if (Number(q, row, "iscomputed") == 1)
                c.Computed = "?"; // the expression is read below
            t->Columns.push_back(std::move(c));
        });
    if (!ok)
        return false;
    // Computed columns' expressions, and the identity seed and increment of the tables that
    // have an identity column.
    const std::string computed =
        later_ ? "SELECT cc.object_id AS id, cc.name, cc.definition FROM sys.computed_columns cc "
                 "WHERE cc.object_id IN ("
               : "SELECT c.id, c.name, cm.text AS definition FROM syscolumns c INNER JOIN "
                 "syscomments cm ON cm.id = c.id AND cm.number = c.colid WHERE c.iscomputed = 1 "
                 "AND c.id IN (";
    ok = ForIds(
        tables, [&](const std::string& list) { return computed + list + ")"; },
        [&](WorkerQuery& q, Row& row) {
            if (TableDef* t = Table(static_cast<int32_t>(Number(q, row, "id")))) {
                for (ColumnDef& c : t->Columns) {
                    if (SameName(c.Name, Field(q, row, "name")))
                        c.Computed = Field(q, row, "definition");
                }
            }
        });
    if (!ok)
        return false;
    const std::string seedArg =
        "'[' + REPLACE(s.name, ']', ']]') + '].[' + REPLACE(o.name, ']', ']]') + ']'";
    return ForIds(
        identityTables,
        [&](const std::string& list) {
            return "SELECT o.id, IDENT_SEED(" + seedArg + ") AS seed, IDENT_INCR(" + seedArg +
                   ") AS incr FROM sysobjects o" + SchemaJoinOf(later_) + " WHERE o.id IN (" +
                   list + ")";
        },
        [&](WorkerQuery& q, Row& row) {
            if (TableDef* t = Table(static_cast<int32_t>(Number(q, row, "id")))) {
                for (ColumnDef& c : t->Columns) {
                    if (c.Identity) {
                        c.Seed = Number(q, row, "seed");
                        c.Increment = Number(q, row, "incr");
                    }
                }
            }
        });
}

bool Reader::ReadDefaultsAndChecks(const std::vector<int32_t>& tables) {
    // Defaults (kind 1) and CHECKs (kind 2) with their definitions; a 2000 definition longer
    // than one syscomments row arrives in pieces, in colid order.
    const std::string sql =
        later_ ? "SELECT dc.parent_object_id AS id, 1 AS kind, dc.name, c.name AS [column], "
                 "dc.definition, 1 AS seq, dc.is_system_named AS systemnamed FROM "
                 "sys.default_constraints dc INNER JOIN sys.columns c ON c.object_id = "
                 "dc.parent_object_id AND c.column_id = dc.parent_column_id WHERE "
                 "dc.parent_object_id IN (@ids) UNION ALL SELECT cc.parent_object_id, 2, "
                 "cc.name, '', cc.definition, 1, cc.is_system_named FROM sys.check_constraints "
                 "cc WHERE cc.parent_object_id IN (@ids) ORDER BY id, kind, name, seq"
               : "SELECT so.parent_obj AS id, 1 AS kind, so.name, sc.name AS [column], cm.text "
                 "AS definition, cm.colid AS seq FROM sysobjects so INNER JOIN syscolumns sc ON "
                 "sc.id = so.parent_obj AND sc.cdefault = so.id INNER JOIN syscomments cm ON "
                 "cm.id = so.id WHERE so.xtype = 'D' AND so.parent_obj IN (@ids) UNION ALL "
                 "SELECT so.parent_obj, 2, so.name, '', cm.text, cm.colid FROM sysobjects so "
                 "INNER JOIN syscomments cm ON cm.id = so.id WHERE so.xtype = 'C' AND "
                 "so.parent_obj IN (@ids) ORDER BY id, kind, name, seq";
    std::string lastKey;
    return ForIds(
        tables, [&](const std::string& list) { return ReplaceAll(sql, "@ids", list); },
        [&](WorkerQuery& q, Row& row) {
            TableDef* t = Table(static_cast<int32_t>(Number(q, row, "id")));
            if (!t)
                return;
            const std::string name = Field(q, row, "name");
            const bool system = later_ ? Number(q, row, "systemnamed") == 1
                                       : LooksLikeGeneratedConstraintName(name);
            const std::string key = t->Schema + "." + t->Name + "." + name;
            const bool more = key == lastKey; // a further piece of the same definition
            lastKey = key;
            if (Number(q, row, "kind") == 1) {
                for (ColumnDef& c : t->Columns) {
                    if (!SameName(c.Name, Field(q, row, "column")))
                        continue;
                    if (more) {
                        c.DefaultDefinition += Field(q, row, "definition");
                    } else {
                        c.DefaultName = name;
                        c.DefaultDefinition = Field(q, row, "definition");
                        c.DefaultSystemNamed = system;
                    }
                }
            } else if (more && !t->Checks.empty()) {
                t->Checks.back().Definition += Field(q, row, "definition");
            } else {
                t->Checks.push_back({name, Field(q, row, "definition"), system});
            }
        });
}

bool Reader::ReadIndexes(const std::vector<int32_t>& tables) {
    const std::string sql =
        std::string("SELECT si.id, si.name AS [index], sk.indid, sk.keyno, sc.name AS [column], "
                    "CASE WHEN si.status & 2 = 0 THEN 0 ELSE 1 END AS isunique, ko.xtype AS "
                    "constrainttype") +
        (later_ ? ", kc.is_system_named AS systemnamed, ic.is_descending_key AS descending "
                : " ") +
        "FROM sysindexes si INNER JOIN sysindexkeys sk ON sk.id = si.id AND sk.indid = si.indid "
        "INNER JOIN syscolumns sc ON sc.id = sk.id AND sc.colid = sk.colid "
        "LEFT JOIN sysobjects ko ON ko.parent_obj = si.id AND ko.name = si.name AND ko.xtype "
        "IN ('PK', 'UQ') " +
        (later_ ? "LEFT JOIN sys.key_constraints kc ON kc.object_id = ko.id LEFT JOIN "
                  "sys.index_columns ic ON ic.object_id = sk.id AND ic.index_id = sk.indid AND "
                  "ic.column_id = sk.colid "
                : "") +
        // Statistics (auto-created or not) and hypothetical indexes are no indexes to deploy:
        // their sysindexes.status bits say so without a property lookup per row.
        "WHERE si.id IN (@ids) AND si.indid BETWEEN 1 AND 254 AND "
        "si.status & 25165856 = 0 ORDER BY si.id, sk.indid, sk.keyno";
    int32_t lastTable = 0;
    int64_t lastIndex = -1;
    return ForIds(
        tables, [&](const std::string& list) { return ReplaceAll(sql, "@ids", list); },
        [&](WorkerQuery& q, Row& row) {
            const int32_t id = static_cast<int32_t>(Number(q, row, "id"));
            TableDef* t = Table(id);
            if (!t)
                return;
            const int64_t indid = Number(q, row, "indid");
            if (id != lastTable || indid != lastIndex) {
                IndexDef i;
                i.Name = Field(q, row, "index");
                const std::string kind = ToUpperAscii(Trim(Field(q, row, "constrainttype")));
                i.PrimaryKey = kind == "PK";
                i.UniqueConstraint = kind == "UQ";
                i.Unique = Number(q, row, "isunique") == 1;
                i.Clustered = indid == 1;
                i.SystemNamed =
                    !kind.empty() && (later_ ? Number(q, row, "systemnamed") == 1
                                             : LooksLikeGeneratedConstraintName(i.Name));
                t->Indexes.push_back(std::move(i));
                lastTable = id;
                lastIndex = indid;
            }
            t->Indexes.back().Columns.push_back(
                {Field(q, row, "column"), Number(q, row, "descending") == 1});
        });
}

bool Reader::ReadForeignKeys() {
    // Every table's keys: a table being changed may be pointed at by any other. The tables'
    // names come along, so a table the listing left out is still known by name.
    const std::string tables =
        std::string(" INNER JOIN sysobjects ft ON ft.id = @f INNER JOIN ") +
        (later_ ? "sys.schemas fs ON fs.schema_id = ft.uid" : "sysusers fs ON fs.uid = ft.uid") +
        " INNER JOIN sysobjects rt ON rt.id = @r INNER JOIN " +
        (later_ ? "sys.schemas rs ON rs.schema_id = rt.uid" : "sysusers rs ON rs.uid = rt.uid");
    const std::string names = "ft.name AS ftable, fs.name AS fschema, rt.name AS rtable, rs.name "
                              "AS rschema, ";
    const std::string sql =
        later_ ? "SELECT " + names +
                     "fk.object_id AS constid, fk.name, fk.parent_object_id AS fkeyid, "
                     "fk.referenced_object_id AS rkeyid, pc.name AS fcolumn, rc.name AS "
                     "rcolumn, fk.delete_referential_action AS ondelete, "
                     "fk.update_referential_action AS onupdate, fk.is_system_named AS "
                     "systemnamed FROM sys.foreign_keys fk INNER JOIN sys.foreign_key_columns fkc "
                     "ON fkc.constraint_object_id = fk.object_id INNER JOIN sys.columns pc ON "
                     "pc.object_id = fkc.parent_object_id AND pc.column_id = "
                     "fkc.parent_column_id INNER JOIN sys.columns rc ON rc.object_id = "
                     "fkc.referenced_object_id AND rc.column_id = fkc.referenced_column_id" +
                     ReplaceAll(ReplaceAll(tables, "@f", "fk.parent_object_id"), "@r",
                                "fk.referenced_object_id") +
                     " ORDER BY fk.parent_object_id, fk.name, fkc.constraint_column_id"
               : "SELECT " + names +
                     "f.constid, so.name, f.fkeyid, f.rkeyid, fc.name AS fcolumn, rc.name AS "
                     "rcolumn, OBJECTPROPERTY(f.constid, 'CnstIsDeleteCascade') AS ondelete, "
                     "OBJECTPROPERTY(f.constid, 'CnstIsUpdateCascade') AS onupdate FROM "
                     "sysforeignkeys f INNER JOIN sysobjects so ON so.id = f.constid INNER JOIN "
                     "syscolumns fc ON fc.id = f.fkeyid AND fc.colid = f.fkey INNER JOIN "
                     "syscolumns rc ON rc.id = f.rkeyid AND rc.colid = f.rkey" +
                     ReplaceAll(ReplaceAll(tables, "@f", "f.fkeyid"), "@r", "f.rkeyid") +
                     " ORDER BY f.fkeyid, so.name, f.keyno";
    int64_t lastKey = 0;
    return Run(sql, [&](WorkerQuery& q, Row& row) {
        TableDef* t = KnownTable(static_cast<int32_t>(Number(q, row, "fkeyid")),
                                 Field(q, row, "fschema"), Field(q, row, "ftable"));
        const TableDef* r = KnownTable(static_cast<int32_t>(Number(q, row, "rkeyid")),
                                       Field(q, row, "rschema"), Field(q, row, "rtable"));
        t = Table(static_cast<int32_t>(Number(q, row, "fkeyid"))); // the list may have moved
        const int64_t constid = Number(q, row, "constid");
        if (constid != lastKey) {
            ForeignKeyDef fk;
            fk.Name = Field(q, row, "name");
            fk.RefSchema = r->Schema;
            fk.RefTable = r->Name;
            fk.OnDelete = ReferentialAction(Number(q, row, "ondelete"));
            fk.OnUpdate = ReferentialAction(Number(q, row, "onupdate"));
            fk.SystemNamed = later_ ? Number(q, row, "systemnamed") == 1
                                    : LooksLikeGeneratedConstraintName(fk.Name);
            t->ForeignKeys.push_back(std::move(fk));
            lastKey = constid;
        }
        t->ForeignKeys.back().Columns.push_back(Field(q, row, "fcolumn"));
        t->ForeignKeys.back().RefColumns.push_back(Field(q, row, "rcolumn"));
    });
}

// What the server's dependency catalog says each module uses: 2008's by-name rows (a one-part
// name comes with no schema, resolved by the planner as the text would be), sysdepends before
// (only what existed when the module was made). The planner adds what the texts name.
bool Reader::ReadDependencies(const std::vector<int32_t>& modules) {
    return ForIds(
        modules,
        [&](const std::string& list) {
            if (versionMajor_ >= 10)
                return "SELECT d.referencing_id AS id, ISNULL(d.referenced_schema_name, '') AS "
                       "refschema, d.referenced_entity_name AS refname FROM "
                       "sys.sql_expression_dependencies d WHERE d.referencing_id IN (" +
                       list +
                       ") AND d.referenced_class = 1 AND d.referenced_minor_id = 0 AND "
                       "d.referenced_database_name IS NULL";
            return "SELECT DISTINCT d.id, s.name AS refschema, o.name AS refname FROM sysdepends "
                   "d INNER JOIN sysobjects o ON o.id = d.depid" +
                   SchemaJoinOf(later_) + " WHERE d.id IN (" + list + ")";
        },
        [&](WorkerQuery& q, Row& row) {
            auto it = moduleAt_.find(static_cast<int32_t>(Number(q, row, "id")));
            if (it == moduleAt_.end())
                return;
            out_.Modules[it->second].DependsOn.emplace_back(Field(q, row, "refschema"),
                                                            Field(q, row, "refname"));
        });
}

bool Reader::ReadTexts(const std::vector<int32_t>& modules) {
    return ForIds(
        modules,
        [&](const std::string& list) {
            return "SELECT c.id, c.colid, c.text, c.encrypted FROM syscomments c WHERE c.id IN (" +
                   list + ") ORDER BY c.id, c.number, c.colid";
        },
        [&](WorkerQuery& q, Row& row) {
            auto it = moduleAt_.find(static_cast<int32_t>(Number(q, row, "id")));
            if (it == moduleAt_.end())
                return;
            ModuleDef& m = out_.Modules[it->second];
            if (Number(q, row, "encrypted") == 1) {
                m.Encrypted = true;
                m.Text.clear();
                return;
            }
            if (!m.Encrypted)
                m.Text += Field(q, row, "text");
        });
}

bool Reader::CountRows(const std::vector<int32_t>& tables) {
    for (size_t from = 0; from < tables.size(); from += kTablesPerCount) {
        std::string sql;
        for (size_t i = from; i < from + kTablesPerCount && i < tables.size(); ++i) {
            const TableDef* t = Table(tables[i]);
            sql += (sql.empty() ? "" : " UNION ALL ") + std::string("SELECT ") +
                   std::to_string(tables[i]) + " AS id, COUNT(*) AS [rows] FROM " +
                   QuoteCatalogName(t->Schema) + "." + QuoteCatalogName(t->Name);
        }
        bool ok = Run(sql, [&](WorkerQuery& q, Row& row) {
            if (TableDef* t = Table(static_cast<int32_t>(Number(q, row, "id"))))
                t->RowCount = Number(q, row, "rows");
        });
        if (!ok)
            return false;
    }
    return true;
}

bool Reader::Read(const SchemaReadRequest& request) {
    if (!ReadListing(request) || !ReadSchemas() || !ReadForeignKeys())
        return false;
    auto keysOf = [](const std::vector<QualifiedName>& names) {
        std::set<std::string> keys;
        for (const QualifiedName& n : names)
            keys.insert(UpperName(n.first) + "." + UpperName(n.second));
        return keys;
    };
    const std::set<std::string> tableNames = keysOf(request.Tables),
                                moduleNames = keysOf(request.Modules),
                                keyNames = keysOf(request.Keys);
    auto named = [](const std::set<std::string>& names, const std::string& schema,
                    const std::string& name) {
        return names.count(UpperName(schema) + "." + UpperName(name)) > 0;
    };
    // The tables read in full: those asked for, and those the keys asked for belong to (a
    // foreign key's two tables, a key constraint's table).
    std::set<int32_t> full;
    for (size_t i = 0; i < out_.Tables.size(); ++i) {
        const TableDef& t = out_.Tables[i];
        if (request.Everything || named(tableNames, t.Schema, t.Name))
            full.insert(tableIds_[i]);
        for (const ForeignKeyDef& fk : t.ForeignKeys) {
            if (!named(keyNames, t.Schema, fk.Name))
                continue;
            full.insert(tableIds_[i]);
            if (const TableDef* r = out_.FindTable(fk.RefSchema, fk.RefTable))
                full.insert(tableIds_[static_cast<size_t>(r - out_.Tables.data())]);
        }
    }
    for (size_t k = 0; k < keyOwners_.size(); ++k) {
        if (named(keyNames, keyOwners_[k].first, keyOwners_[k].second))
            full.insert(keyOwnerTables_[k]);
    }
    std::vector<int32_t> tables(full.begin(), full.end()), modules;
    std::set<std::string> tableKeys;
    for (int32_t id : tables) {
        const TableDef* t = Table(id);
        tableKeys.insert(UpperName(t->Schema) + "." + UpperName(t->Name));
    }
    for (size_t i = 0; i < out_.Modules.size(); ++i) {
        const ModuleDef& m = out_.Modules[i];
        const bool onTable =
            m.Kind == ModuleKind::Trigger &&
            tableKeys.count(UpperName(m.ParentSchema) + "." + UpperName(m.ParentName));
        if (request.Everything || m.SchemaBound || onTable || named(moduleNames, m.Schema, m.Name))
            modules.push_back(moduleIds_[i]);
    }
    return ReadColumns(tables) && ReadDefaultsAndChecks(tables) && ReadIndexes(tables) &&
           ReadTexts(modules) && ReadDependencies(modules) && CountRows(tables);
}

} // namespace

bool ReadSchemaModel(const QueryPlace& place, const ServerFacts& facts,
                     const SchemaReadRequest& request, const CancelToken& cancel, SchemaModel& out,
                     OdbcError& error, std::string& failedSql) {
    out = SchemaModel();
    out.VersionMajor = facts.VersionMajor;
    out.Database = place.Database;
    return Reader(place, facts, cancel, out, error, failedSql).Read(request);
}

int64_t CountNullValues(const QueryPlace& place, const CancelToken& cancel,
                        const std::string& schema, const std::string& table,
                        const std::string& column, OdbcError& error) {
    int64_t count = -1;
    const std::string sql = "SELECT COUNT(*) AS nulls FROM " + QuoteCatalogName(schema) + "." +
                            QuoteCatalogName(table) + " WHERE " + QuoteCatalogName(column) +
                            " IS NULL";
    bool ok = RunWorkerQuery(
        place, cancel, sql,
        [&](WorkerQuery&, Row& row) { count = row.empty() ? -1 : row[0].Long(); }, error);
    return ok ? count : -1;
}

} // namespace orv
