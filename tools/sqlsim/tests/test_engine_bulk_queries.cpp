// The queries that read one kind of catalog row for a whole database at once answer, object by
// object, what the per-object queries answer, in the SQL Server 2000 mode and the later one,
// over the catalog fixture and the hostile one (names with quotes, brackets, dots, non-Latin
// letters and letters outside the BMP).
#include "test_engine_support.h"

#include <functional>
#include <map>

using namespace sqlsim;
using namespace sqlsim::test;

namespace {

using Rows = std::vector<std::vector<std::string>>;

enum class Modes { Both, Only2000, OnlyLater };

// A bulk query whose first column is the object id, the query that lists those objects, and
// the per-object query for one id that must give the same rows without the id.
struct Shape {
    const char* what;
    Modes modes;
    std::string bulk;
    std::string ids;
    std::function<std::string(const std::string& id)> perObject;
};

const std::string kModules = "('P', 'V', 'FN', 'IF', 'TF', 'TR')";

// SQL Server 2000 names the owner with USER_NAME(uid); later servers file objects under
// schemas that need not be users, so they name it with OBJECT_SCHEMA_NAME.
std::string owner(bool v8, const std::string& alias) {
    return v8 ? "USER_NAME(" + alias + ".uid)" : "OBJECT_SCHEMA_NAME(" + alias + ".id)";
}

std::string literal(const std::string& s) {
    std::string out;
    for (char c : s)
        out += c == '\'' ? std::string("''") : std::string(1, c);
    return out;
}

std::string bracketed(const std::string& s) {
    std::string out = "[";
    for (char c : s)
        out += c == ']' ? std::string("]]") : std::string(1, c);
    return out + "]";
}

class BulkQueries : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        f = std::make_unique<EngineFixture>(GetParam());
        f->script(fixture("sim_catalog.sql"));
        f->script(fixture("hostile_catalog.sql"));
        // Namesakes of two owners with different identities, in names a dot or a bracket would
        // cut apart: the seed must be read by the qualified, delimited name.
        f->script("USE CatalogDb\nGO\n"
                  "CREATE TABLE sales.[Ord]]ers.x] (Id int IDENTITY(3,4) NOT NULL)\nGO\n"
                  "CREATE TABLE dbo.[Ord]]ers.x] (Id int IDENTITY(100,1) NOT NULL)\nGO\n");
    }
    bool v8() const { return std::string(GetParam()).rfind("8.", 0) == 0; }
    CaptureSink run(const std::string& db, const std::string& sql) {
        auto s = f->open(db);
        return f->run(sql, s.get());
    }
    Rows rows(const std::string& db, const std::string& sql) {
        CaptureSink sink = run(db, sql);
        EXPECT_EQ(sink.error(), nullptr) << sink.errorText() << "\n" << sql;
        Rows out;
        if (sink.sets.size() != 1) {
            ADD_FAILURE() << sink.sets.size() << " result sets\n" << sql;
            return out;
        }
        const ResultSet& r = sink.sets[0];
        for (size_t row = 0; row < r.rows.size(); ++row) {
            std::vector<std::string> line;
            for (size_t c = 0; c < r.cols.size(); ++c)
                line.push_back(r.at(row, c));
            out.push_back(line);
        }
        return out;
    }
    // "[owner].[name]" of a table, as the per-object query puts it in its ident_seed literal.
    std::string qualified(const std::string& db, const std::string& id) {
        Rows r = rows(db, "SELECT " + owner(v8(), "o") +
                              ", o.name FROM sysobjects o WHERE o.id = " + id);
        return r.empty() ? "" : bracketed(r[0][0]) + "." + bracketed(r[0][1]);
    }
    std::vector<Shape> shapes();

    std::unique_ptr<EngineFixture> f;
};

std::vector<Shape> BulkQueries::shapes() {
    const bool old = v8();
    const std::string seedOf = "QUOTENAME(" + owner(old, "sob") + ") + '.' + QUOTENAME(sob.name)";
    return {
        {"module texts", Modes::Both,
         "SELECT c.id, c.text FROM syscomments c INNER JOIN sysobjects o ON c.id = o.id "
         "WHERE o.xtype IN " +
             kModules + " ORDER BY c.id, c.colid",
         "SELECT id FROM sysobjects WHERE xtype IN " + kModules,
         [](const std::string& id) {
             return "SELECT text FROM syscomments sc INNER JOIN sysobjects so ON sc.id = so.id "
                    "WHERE so.id = " +
                    id + " ORDER BY sc.colid";
         }},
        {"listing with owners", Modes::Both,
         "SELECT o.id, " + owner(old, "o") +
             " AS owner, o.name, o.refdate, o.crdate FROM sysobjects o "
             "WHERE OBJECTPROPERTY(o.id, N'IsUserTable') = 1 OR o.xtype IN " +
             kModules + " ORDER BY o.name",
         "SELECT id FROM sysobjects WHERE xtype IN ('U', 'P', 'V', 'FN', 'IF', 'TF', 'TR')",
         [old](const std::string& id) {
             return old ? "SELECT USER_NAME(uid), [name], refdate, crdate FROM sysobjects "
                          "WHERE [id] = " +
                              id
                        : "SELECT OBJECT_SCHEMA_NAME([object_id]), [name], modify_date, "
                          "create_date FROM sys.objects WHERE [object_id] = " +
                              id;
         }},
        {"listing through the schema views", Modes::OnlyLater,
         "SELECT o.object_id, s.name, o.name, o.modify_date, o.create_date FROM sys.objects o "
         "INNER JOIN sys.schemas s ON s.schema_id = o.schema_id WHERE o.type IN " +
             kModules + " ORDER BY s.name, o.name",
         "SELECT id FROM sysobjects WHERE xtype IN " + kModules,
         [](const std::string& id) {
             return "SELECT OBJECT_SCHEMA_NAME(id), name, refdate, crdate FROM sysobjects "
                    "WHERE id = " +
                    id;
         }},
        {"columns of every table", Modes::Both,
         "SELECT sco.id, sco.[name] AS [column], sco.autoval, sco.isnullable, sco.length, "
         "sco.prec, sco.scale, sty.[name] AS datatype, ident_seed(" +
             seedOf + ") AS identityseed, ident_incr(" + seedOf +
             ") AS identityincrement, isID=case when sco.status&128=0 then '' else 'Y' end "
             "FROM sysobjects sob INNER JOIN syscolumns sco ON sob.id = sco.id "
             "INNER JOIN systypes sty ON sco.xtype = sty.xtype AND sco.xusertype = sty.xusertype "
             "WHERE sob.xtype = 'U' ORDER BY sco.id, sco.colorder",
         "SELECT id FROM sysobjects WHERE xtype = 'U'", nullptr},
        {"indexes of every table", Modes::Both,
         "SELECT si.id, sc.name AS [column], si.name AS [index], sk.indid, sk.keyno, "
         "INDEXPROPERTY(si.id, si.name, 'IsUnique') AS isunique, ko.xtype AS constrainttype "
         "FROM sysindexes si INNER JOIN sysindexkeys sk ON sk.id = si.id AND sk.indid = si.indid "
         "INNER JOIN syscolumns sc ON sc.id = sk.id AND sc.colid = sk.colid "
         "INNER JOIN sysobjects o ON o.id = si.id "
         "LEFT JOIN sysobjects ko ON ko.parent_obj = si.id AND ko.name = si.name "
         "AND ko.xtype IN ('PK', 'UQ') "
         "WHERE o.xtype IN ('U', 'V') AND si.indid BETWEEN 1 AND 254 AND "
         "INDEXPROPERTY(si.id, si.name, 'IsStatistics') = 0 AND "
         "INDEXPROPERTY(si.id, si.name, 'IsHypothetical') = 0 "
         "ORDER BY si.id, sk.indid, sk.keyno",
         "SELECT id FROM sysobjects WHERE xtype IN ('U', 'V')",
         [](const std::string& id) {
             return "SELECT sc.name AS [column], si.name AS [index], sk.indid, sk.keyno, "
                    "INDEXPROPERTY(si.id, si.name, 'IsUnique') AS isunique, ko.xtype AS "
                    "constrainttype FROM sysindexes si INNER JOIN sysindexkeys sk ON "
                    "sk.id = si.id AND sk.indid = si.indid INNER JOIN syscolumns sc ON "
                    "sc.id = sk.id AND sc.colid = sk.colid LEFT JOIN sysobjects ko ON "
                    "ko.parent_obj = si.id AND ko.name = si.name AND ko.xtype IN ('PK', 'UQ') "
                    "WHERE si.id = " +
                    id +
                    " AND si.indid BETWEEN 1 AND 254 AND "
                    "INDEXPROPERTY(si.id, si.name, 'IsStatistics') = 0 AND "
                    "INDEXPROPERTY(si.id, si.name, 'IsHypothetical') = 0 "
                    "ORDER BY sk.indid, sk.keyno";
         }},
        {"index keys as the panel reads them", Modes::Both,
         "SELECT DISTINCT so2.id, sc.name AS [column], si.name as [index], sk.indid, sk.keyno "
         "FROM sysobjects so INNER JOIN sysindexkeys sk ON so.parent_obj = sk.id "
         "INNER JOIN sysindexes si ON sk.id = si.id AND sk.indid = si.indid "
         "INNER JOIN syscolumns sc ON sk.id = sc.id AND sk.colid = sc.colid "
         "INNER JOIN sysobjects so2 ON so.parent_obj = so2.id "
         "WHERE si.indid BETWEEN 1 AND 254 AND "
         "INDEXPROPERTY(si.id, si.name, 'IsStatistics') = 0 AND "
         "INDEXPROPERTY(si.id, si.name, 'IsHypothetical') = 0 ORDER BY so2.id, sk.indid, sk.keyno",
         "SELECT id FROM sysobjects WHERE xtype = 'U'",
         [](const std::string& id) {
             return "SELECT DISTINCT sc.name AS [column], si.name as [index], sk.indid, sk.keyno "
                    "FROM sysobjects so INNER JOIN sysindexkeys sk ON so.parent_obj = sk.id "
                    "INNER JOIN sysindexes si ON sk.id = si.id AND sk.indid = si.indid "
                    "INNER JOIN syscolumns sc ON sk.id = sc.id AND sk.colid = sc.colid "
                    "INNER JOIN sysobjects so2 ON so.parent_obj = so2.id WHERE so2.id = " +
                    id +
                    " AND si.indid BETWEEN 1 AND 254 AND "
                    "INDEXPROPERTY(si.id, si.name, 'IsStatistics') = 0 AND "
                    "INDEXPROPERTY(si.id, si.name, 'IsHypothetical') = 0 "
                    "ORDER BY sk.indid, sk.keyno";
         }},
        {"defaults, checks and unique constraints", Modes::Both,
         "SELECT so.parent_obj AS tableid, 1 AS kind, so.name AS [name], sc.name AS [column], "
         "cm.text AS definition, cm.colid AS seq FROM sysobjects so "
         "INNER JOIN syscolumns sc ON sc.id = so.parent_obj AND sc.cdefault = so.id "
         "INNER JOIN syscomments cm ON cm.id = so.id WHERE so.xtype = 'D' UNION ALL "
         "SELECT so.parent_obj, 2, so.name, '', cm.text, cm.colid FROM sysobjects so "
         "INNER JOIN syscomments cm ON cm.id = so.id WHERE so.xtype = 'C' UNION ALL "
         "SELECT so.parent_obj, 3, so.name, sc.name, '', sk.keyno FROM sysobjects so "
         "INNER JOIN sysindexes si ON si.id = so.parent_obj AND si.name = so.name "
         "INNER JOIN sysindexkeys sk ON sk.id = si.id AND sk.indid = si.indid "
         "INNER JOIN syscolumns sc ON sc.id = sk.id AND sc.colid = sk.colid "
         "WHERE so.xtype = 'UQ' ORDER BY tableid, kind, [name], seq",
         "SELECT id FROM sysobjects WHERE xtype = 'U'",
         [](const std::string& id) {
             return "SELECT 1 AS kind, so.name AS [name], sc.name AS [column], cm.text AS "
                    "definition, cm.colid AS seq FROM sysobjects so "
                    "INNER JOIN syscolumns sc ON sc.id = so.parent_obj AND sc.cdefault = so.id "
                    "INNER JOIN syscomments cm ON cm.id = so.id "
                    "WHERE so.xtype = 'D' AND so.parent_obj = " +
                    id +
                    " UNION ALL SELECT 2, so.name, '', cm.text, cm.colid FROM sysobjects so "
                    "INNER JOIN syscomments cm ON cm.id = so.id "
                    "WHERE so.xtype = 'C' AND so.parent_obj = " +
                    id +
                    " UNION ALL SELECT 3, so.name, sc.name, '', sk.keyno FROM sysobjects so "
                    "INNER JOIN sysindexes si ON si.id = so.parent_obj AND si.name = so.name "
                    "INNER JOIN sysindexkeys sk ON sk.id = si.id AND sk.indid = si.indid "
                    "INNER JOIN syscolumns sc ON sc.id = sk.id AND sc.colid = sk.colid "
                    "WHERE so.xtype = 'UQ' AND so.parent_obj = " +
                    id + " ORDER BY kind, [name], seq";
         }},
        {"relationships", Modes::Both,
         "SELECT so.id, so.name AS foreignkey, scf.name AS foreigncolumn, "
         "sor.name AS referencedtable, scr.name AS referencedcolumn, sof.name AS tablename "
         "FROM sysreferences sr INNER JOIN sysobjects so ON sr.constid = so.id "
         "INNER JOIN sysobjects sof ON sof.id = sr.fkeyid "
         "INNER JOIN sysobjects sor ON sor.id = sr.rkeyid "
         "INNER JOIN syscolumns scf ON scf.id = sof.id AND scf.colid = sr.fkey1 "
         "INNER JOIN syscolumns scr ON scr.id = sor.id AND scr.colid = sr.rkey1 "
         "ORDER BY so.id, scf.name",
         "SELECT id FROM sysobjects WHERE xtype = 'F'",
         [](const std::string& id) {
             return "SELECT so.name AS foreignkey, scf.name AS foreigncolumn, "
                    "sor.name AS referencedtable, scr.name AS referencedcolumn, "
                    "sof.name AS tablename FROM sysreferences sr "
                    "INNER JOIN sysobjects so ON sr.constid = so.id "
                    "INNER JOIN sysobjects sof ON sof.id = sr.fkeyid "
                    "INNER JOIN sysobjects sor ON sor.id = sr.rkeyid "
                    "INNER JOIN syscolumns scf ON scf.id = sof.id AND scf.colid = sr.fkey1 "
                    "INNER JOIN syscolumns scr ON scr.id = sor.id AND scr.colid = sr.rkey1 "
                    "WHERE so.id = " +
                    id + " ORDER BY scf.name";
         }},
        {"relationship column pairs", Modes::Both,
         "SELECT fk.constid, sof.name AS tablename, scf.name AS foreigncolumn, "
         "scr.name AS referencedcolumn FROM sysforeignkeys fk "
         "INNER JOIN sysobjects sof ON sof.id = fk.fkeyid "
         "INNER JOIN syscolumns scf ON scf.id = fk.fkeyid AND scf.colid = fk.fkey "
         "INNER JOIN syscolumns scr ON scr.id = fk.rkeyid AND scr.colid = fk.rkey "
         "ORDER BY fk.constid, fk.keyno",
         "SELECT id FROM sysobjects WHERE xtype = 'F'",
         [old](const std::string& id) {
             if (old)
                 return "SELECT sof.name AS tablename, scf.name AS foreigncolumn, "
                        "scr.name AS referencedcolumn FROM sysforeignkeys fk "
                        "INNER JOIN sysobjects sof ON sof.id = fk.fkeyid "
                        "INNER JOIN syscolumns scf ON scf.id = fk.fkeyid AND scf.colid = fk.fkey "
                        "INNER JOIN syscolumns scr ON scr.id = fk.rkeyid AND scr.colid = fk.rkey "
                        "WHERE fk.constid = " +
                        id + " ORDER BY fk.keyno";
             return "SELECT t.name AS tablename, pc.name AS foreigncolumn, "
                    "rc.name AS referencedcolumn FROM sys.foreign_key_columns fkc "
                    "INNER JOIN sys.objects t ON t.object_id = fkc.parent_object_id "
                    "INNER JOIN sys.columns pc ON pc.object_id = fkc.parent_object_id "
                    "AND pc.column_id = fkc.parent_column_id "
                    "INNER JOIN sys.columns rc ON rc.object_id = fkc.referenced_object_id "
                    "AND rc.column_id = fkc.referenced_column_id "
                    "WHERE fkc.constraint_object_id = " +
                    id + " ORDER BY fkc.constraint_column_id";
         }},
    };
}

} // namespace

TEST_P(BulkQueries, EachObjectsRowsAreThoseItsOwnQueryGives) {
    for (const char* db : {"CatalogDb", "HostileCat"}) {
        for (const Shape& shape : shapes()) {
            if ((shape.modes == Modes::Only2000 && !v8()) ||
                (shape.modes == Modes::OnlyLater && v8()))
                continue;
            SCOPED_TRACE(std::string(db) + ": " + shape.what);
            std::map<std::string, Rows> byId;
            for (auto& row : rows(db, shape.bulk)) {
                const std::string id = row.front();
                row.erase(row.begin());
                byId[id].push_back(row);
            }
            size_t seen = 0;
            for (const auto& idRow : rows(db, shape.ids)) {
                const std::string& id = idRow[0];
                std::string sql;
                if (shape.perObject) {
                    sql = shape.perObject(id);
                } else {
                    // The columns of one table, as a CREATE script reads them: the identity
                    // seed by the table's qualified name.
                    const std::string q = literal(qualified(db, id));
                    sql = "SELECT sco.[name] AS [column], sco.autoval, sco.isnullable, "
                          "sco.length, sco.prec, sco.scale, sty.[name] AS datatype, "
                          "ident_seed('" +
                          q + "') AS identityseed, ident_incr('" + q +
                          "') AS identityincrement, "
                          "isID=case when sco.status&128=0 then '' else 'Y' end "
                          "FROM sysobjects sob INNER JOIN syscolumns sco ON sob.id = sco.id "
                          "INNER JOIN systypes sty ON sco.xtype = sty.xtype AND "
                          "sco.xusertype = sty.xusertype WHERE sco.id = " +
                          id + " ORDER BY sco.colorder";
                }
                Rows one = rows(db, sql);
                auto it = byId.find(id);
                EXPECT_EQ(it == byId.end() ? Rows{} : it->second, one) << "object " << id;
                if (it != byId.end())
                    ++seen;
            }
            // Nothing in the bulk answer belongs to an object the listing does not have.
            EXPECT_EQ(seen, byId.size());
            EXPECT_FALSE(byId.empty());
        }
    }
}

// The text of every module in one piece, as later servers keep it: the syscomments rows joined
// in colid order; none for an encrypted module; constraints are not modules.
TEST_P(BulkQueries, ModuleDefinitionsAreTheirCommentRowsJoined) {
    const std::string sql =
        "SELECT m.object_id, m.definition FROM sys.sql_modules m "
        "INNER JOIN sys.objects o ON o.object_id = m.object_id "
        "INNER JOIN sys.schemas s ON s.schema_id = o.schema_id ORDER BY m.object_id";
    if (v8()) {
        CaptureSink refused = run("CatalogDb", sql);
        ASSERT_NE(refused.error(), nullptr);
        EXPECT_EQ(refused.error()->text, "Invalid object name 'sys.sql_modules'.");
        return;
    }
    for (const char* db : {"CatalogDb", "HostileCat"}) {
        SCOPED_TRACE(db);
        std::map<std::string, std::string> joined;
        std::map<std::string, bool> encrypted;
        for (const auto& row : rows(db, "SELECT c.id, c.text, c.encrypted FROM syscomments c "
                                        "INNER JOIN sysobjects o ON o.id = c.id WHERE o.xtype IN " +
                                            kModules + " ORDER BY c.id, c.colid")) {
            joined[row[0]] += row[2] == "1" ? "" : row[1];
            encrypted[row[0]] = encrypted[row[0]] || row[2] == "1";
        }
        Rows modules = rows(db, sql);
        ASSERT_EQ(modules.size(), joined.size());
        for (const auto& row : modules) {
            ASSERT_TRUE(joined.count(row[0])) << row[0];
            EXPECT_EQ(row[1], encrypted[row[0]] ? "NULL" : joined[row[0]]) << row[0];
        }
    }
    // A long text spans several comment rows and comes back whole.
    std::string body = "CREATE PROCEDURE dbo.Long AS\nSELECT 1 AS one\n";
    while (body.size() < 9000)
        body += "-- filler line to make the text span more than one syscomments row\n";
    f->script("USE CatalogDb\nGO\n" + body + "GO\n");
    Rows parts = rows("CatalogDb", "SELECT COUNT(*) FROM syscomments WHERE id = OBJECT_ID('Long')");
    EXPECT_EQ(parts.at(0).at(0), "3");
    Rows whole = rows("CatalogDb",
                      "SELECT definition FROM sys.sql_modules WHERE object_id = OBJECT_ID('Long')");
    ASSERT_EQ(whole.size(), 1u);
    EXPECT_EQ(whole[0][0], body);
    // Reported as nvarchar(max), so that a long text travels whole, whichever row comes first.
    CaptureSink typed = run("CatalogDb", "SELECT m.definition FROM sys.sql_modules m ORDER BY "
                                         "m.object_id");
    ASSERT_EQ(typed.sets.size(), 1u);
    EXPECT_EQ(typed.sets[0].cols[0].type, SqlType::NVarChar);
    EXPECT_EQ(typed.sets[0].cols[0].size, -1);
    // Dropped with its module.
    ASSERT_EQ(run("CatalogDb", "DROP PROCEDURE dbo.Long").error(), nullptr);
    EXPECT_TRUE(rows("CatalogDb", "SELECT object_id FROM sys.sql_modules WHERE definition "
                                  "LIKE '%filler line%'")
                    .empty());
}

INSTANTIATE_TEST_SUITE_P(Versions, BulkQueries, ::testing::Values("8.00.2039", "10.50.1600.1"),
                         [](const auto& info) {
                             return std::string(info.param).rfind("8.", 0) == 0 ? "Sql2000"
                                                                                : "Sql2008";
                         });

TEST(QuoteName, DelimitsANameSoThatItReadsBackAsItself) {
    EngineFixture f("8.00.2039");
    const std::string emoji64 = [] {
        std::string s;
        for (int i = 0; i < 64; ++i)
            s += "\xF0\x9F\x93\xA6";
        return s;
    }();
    struct Case {
        std::string args;
        std::string want;
    };
    const Case cases[] = {
        {"N'Orders'", "[Orders]"},
        {"N'a]b'", "[a]]b]"},
        {"N'[x'", "[[x]"},
        {"N'a]b', ']'", "[a]]b]"},
        {"N'say \"hi\"', '\"'", "\"say \"\"hi\"\"\""},
        {"N'O''Brien', ''''", "'O''Brien'"},
        {"N'Import.2019'", "[Import.2019]"},
        {"N'', '['", "[]"},
        {"N'x', '<'", "NULL"},
        {"NULL", "NULL"},
        {"N'" + std::string(128, 'n') + "'", "[" + std::string(128, 'n') + "]"},
        {"N'" + std::string(129, 'n') + "'", "NULL"},
        // Letters outside the BMP count twice, as nvarchar counts them.
        {"N'" + emoji64 + "'", "[" + emoji64 + "]"},
        {"N'" + emoji64 + "x'", "NULL"},
    };
    for (const auto& c : cases) {
        ResultSet r = f.query("SELECT QUOTENAME(" + c.args + ") AS q");
        ASSERT_EQ(r.rows.size(), 1u) << c.args;
        EXPECT_EQ(r.at(0, 0), c.want) << c.args;
        EXPECT_EQ(r.cols[0].type, SqlType::NVarChar);
    }
    // Put to use: the identity seed of a table whose name holds a dot and a bracket.
    f.script("CREATE TABLE dbo.[a.b]]c] (Id int IDENTITY(7,3) NOT NULL)\nGO\n");
    EXPECT_EQ(f.query("SELECT ident_seed(QUOTENAME(USER_NAME(uid)) + '.' + QUOTENAME(name)), "
                      "ident_incr(QUOTENAME(name)) FROM sysobjects WHERE name = 'a.b]c'")
                  .column(0),
              (std::vector<std::string>{"7"}));
}
