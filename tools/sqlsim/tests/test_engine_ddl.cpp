// DDL scripts and the catalog rows they leave behind, as SQL Server fills them.
#include "test_engine_support.h"

#include <regex>

using namespace sqlsim;
using namespace sqlsim::test;

namespace {

class Ddl : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        f = std::make_unique<EngineFixture>(GetParam());
        f->script("CREATE DATABASE T\nGO\n");
        s = f->open("T");
    }
    bool v8() const { return std::string(GetParam()).rfind("8.", 0) == 0; }
    ResultSet q(const std::string& sql) { return f->query(sql, s.get()); }
    CaptureSink run(const std::string& sql) { return f->run(sql, s.get()); }
    std::string one(const std::string& sql) {
        ResultSet r = q(sql);
        return r.rows.empty() ? "<none>" : r.at(0, 0);
    }
    std::string id(const std::string& name) {
        return one("SELECT id FROM sysobjects WHERE name = '" + name + "'");
    }
    std::unique_ptr<EngineFixture> f;
    std::unique_ptr<Session> s;
};

} // namespace

TEST_P(Ddl, ColumnTypesAreRecordedWithSqlServerLengthsAndPrecisions) {
    // CREATE TYPE came with 2005; 2000 makes the same alias type with sp_addtype.
    ASSERT_EQ(run(v8() ? "EXEC sp_addtype Money2, 'decimal(12,3)', 'NOT NULL'"
                       : "CREATE TYPE Money2 FROM decimal(12,3) NOT NULL")
                  .error(),
              nullptr);
    const std::string ddl = "CREATE TABLE Types (a nvarchar(20), b varchar(max), c decimal(9,2), "
                            "d numeric(30,4), e char(3), f float, g real, h bit, i bigint, "
                            "j uniqueidentifier, k varbinary(16), l image, m Money2, n sysname, "
                            "o smalldatetime, p nvarchar(max), q float(10))";
    CaptureSink c = run(ddl);
    if (v8()) {
        // SQL Server 2000 has no (max) sizes, so a client cannot send this; a start-up script
        // still builds it, and the catalog rows are the same.
        ASSERT_NE(c.error(), nullptr);
        EXPECT_EQ(c.error()->text, "Incorrect syntax near 'max'.");
        f->script("USE T\nGO\n" + ddl + "\nGO\n");
    } else {
        ASSERT_EQ(c.error(), nullptr) << c.errorText();
    }
    ResultSet r = q("SELECT c.name, t.name AS type, c.xtype, c.xusertype, c.length, c.prec, "
                    "c.scale, c.isnullable FROM syscolumns c JOIN systypes t ON "
                    "t.xusertype = c.xusertype WHERE c.id = OBJECT_ID('Types') ORDER BY c.colid");
    std::vector<std::vector<std::string>> got;
    for (size_t row = 0; row < r.rows.size(); ++row) {
        std::vector<std::string> line;
        for (size_t col = 0; col < 8; ++col)
            line.push_back(r.at(row, col));
        got.push_back(line);
    }
    std::string udt = got.at(12).at(3);
    EXPECT_GE(std::stoi(udt), 257);
    std::vector<std::vector<std::string>> want = {
        {"a", "nvarchar", "231", "231", "40", "20", "NULL", "1"},
        {"b", "varchar", "167", "167", "-1", "-1", "NULL", "1"},
        {"c", "decimal", "106", "106", "5", "9", "2", "1"},
        {"d", "numeric", "108", "108", "17", "30", "4", "1"},
        {"e", "char", "175", "175", "3", "3", "NULL", "1"},
        {"f", "float", "62", "62", "8", "53", "NULL", "1"},
        {"g", "real", "59", "59", "4", "24", "NULL", "1"},
        {"h", "bit", "104", "104", "1", "1", "0", "1"},
        {"i", "bigint", "127", "127", "8", "19", "0", "1"},
        {"j", "uniqueidentifier", "36", "36", "16", "0", "NULL", "1"},
        {"k", "varbinary", "165", "165", "16", "16", "NULL", "1"},
        {"l", "image", "34", "34", "16", "0", "NULL", "1"},
        {"m", "Money2", "106", udt, "9", "12", "3", "0"},
        {"n", "sysname", "231", "256", "256", "128", "NULL", "1"},
        {"o", "smalldatetime", "58", "58", "4", "16", "0", "1"},
        {"p", "nvarchar", "231", "231", "-1", "-1", "NULL", "1"},
        {"q", "real", "59", "59", "4", "24", "NULL", "1"}};
    EXPECT_EQ(got, want);
    EXPECT_EQ(one("SELECT count(*) FROM systypes WHERE name = 'Money2' AND xtype = 106"), "1");
}

TEST_P(Ddl, IdentityKeysAndIndexesFollowIndidRules) {
    CaptureSink c =
        run("CREATE TABLE Heap (x int IDENTITY(10,3) NOT NULL, y int NULL)\n"
            "CREATE TABLE Keyed (k1 int NOT NULL, k2 int NOT NULL, v varchar(10) NULL,\n"
            "  CONSTRAINT PK_Keyed PRIMARY KEY CLUSTERED (k1, k2))\n"
            "CREATE UNIQUE INDEX UX_Keyed_v ON Keyed (v)\n"
            "CREATE INDEX IX_Keyed_k2 ON Keyed (k2 DESC)\n"
            "CREATE STATISTICS S_Keyed ON Keyed (v, k1)\n"
            "CREATE INDEX H_Keyed ON Keyed (v) WITH STATISTICS_ONLY = -1\n"
            "CREATE TABLE Later (a int NOT NULL, b int NOT NULL)\n"
            "ALTER TABLE Later ADD CONSTRAINT PK_Later PRIMARY KEY NONCLUSTERED (a)\n"
            "CREATE CLUSTERED INDEX CX_Later ON Later (b)\n");
    ASSERT_EQ(c.error(), nullptr) << c.errorText();
    EXPECT_EQ(
        one("SELECT status & 128 FROM syscolumns WHERE id = OBJECT_ID('Heap') AND name = 'x'"),
        "128");
    EXPECT_EQ(
        one("SELECT status & 128 FROM syscolumns WHERE id = OBJECT_ID('Heap') AND name = 'y'"),
        "0");
    EXPECT_EQ(one("SELECT ident_seed('Heap')"), "10");
    EXPECT_EQ(one("SELECT ident_incr('dbo.Heap')"), "3");
    EXPECT_EQ(one("SELECT ident_seed('Keyed')"), "NULL");
    EXPECT_EQ(one("SELECT OBJECTPROPERTY(OBJECT_ID('Heap'), 'TableHasIdentity')"), "1");
    // A heap is indid 0: named after its table by SQL Server 2000, unnamed later.
    ResultSet heap = q("SELECT indid, name FROM sysindexes WHERE id = OBJECT_ID('Heap')");
    ASSERT_EQ(heap.rows.size(), 1u);
    EXPECT_EQ(heap.at(0, 0), "0");
    EXPECT_EQ(heap.at(0, 1), v8() ? "Heap" : "NULL");
    ResultSet idx = q("SELECT indid, name, keycnt, INDEXPROPERTY(id, name, 'IsClustered') AS cl, "
                      "INDEXPROPERTY(id, name, 'IsUnique') AS uq, "
                      "INDEXPROPERTY(id, name, 'IsStatistics') AS st, "
                      "INDEXPROPERTY(id, name, 'IsHypothetical') AS hy "
                      "FROM sysindexes WHERE id = OBJECT_ID('Keyed') ORDER BY indid");
    std::vector<std::string> lines;
    for (size_t r = 0; r < idx.rows.size(); ++r) {
        std::string l;
        for (size_t col = 0; col < 7; ++col)
            l += (col ? "," : "") + idx.at(r, col);
        lines.push_back(l);
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"1,PK_Keyed,2,1,1,0,0", "2,UX_Keyed_v,1,0,1,0,0",
                                               "3,IX_Keyed_k2,1,0,0,0,0", "4,S_Keyed,2,0,0,1,0",
                                               "5,H_Keyed,1,0,0,0,1"}));
    EXPECT_EQ(q("SELECT colid FROM sysindexkeys WHERE id = OBJECT_ID('Keyed') AND indid = 4 "
                "ORDER BY keyno")
                  .column(0),
              (std::vector<std::string>{"3", "1"}));
    // A clustered index added later replaces the heap row.
    EXPECT_EQ(q("SELECT indid, name FROM sysindexes WHERE id = OBJECT_ID('Later') ORDER BY indid")
                  .column(1),
              (std::vector<std::string>{"CX_Later", "PK_Later"}));
    // Primary key columns are NOT NULL whatever the column said.
    EXPECT_EQ(
        one("SELECT isnullable FROM syscolumns WHERE id = OBJECT_ID('Keyed') AND name = 'k2'"),
        "0");
}

TEST_P(Ddl, ConstraintsDefaultsAndTriggersHangOffTheirTable) {
    CaptureSink c =
        run("CREATE TABLE Parent (a int NOT NULL, b int NOT NULL, CONSTRAINT PK_Parent PRIMARY KEY "
            "(a, b))\n"
            "CREATE TABLE Child (id int NOT NULL PRIMARY KEY, pa int NULL, pb int NULL,\n"
            "  qty int NOT NULL CONSTRAINT DF_Child_qty DEFAULT (1) CHECK (qty > 0),\n"
            "  note varchar(10) DEFAULT 'x',\n"
            "  CONSTRAINT FK_Child_Parent FOREIGN KEY (pa, pb) REFERENCES Parent (a, b))\n");
    ASSERT_EQ(c.error(), nullptr) << c.errorText();
    ASSERT_EQ(run("CREATE TRIGGER trChild ON Child AFTER INSERT AS SELECT 1").error(), nullptr);
    std::string child = id("Child");
    ResultSet kids = q("SELECT xtype, name FROM sysobjects WHERE parent_obj = " + child +
                       " ORDER BY xtype, name");
    std::vector<std::string> kinds = kids.column(0);
    for (auto& k : kinds)
        k = k.substr(0, k.find(' '));
    EXPECT_EQ(kinds, (std::vector<std::string>{"C", "D", "D", "F", "PK", "TR"}));
    // Unnamed constraints get SQL Server's generated names.
    EXPECT_EQ(kids.at(0, 1).rfind("CK__Child__qty__", 0), 0u) << kids.at(0, 1);
    EXPECT_EQ(kids.at(4, 1).rfind("PK__Child__", 0), 0u) << kids.at(4, 1);
    EXPECT_EQ(one("SELECT cdefault FROM syscolumns WHERE id = " + child + " AND name = 'qty'"),
              id("DF_Child_qty"));
    EXPECT_EQ(one("SELECT text FROM syscomments WHERE id = " + id("DF_Child_qty")), "(1)");
    ResultSet ref = q("SELECT fkeyid, rkeyid, keycnt, fkey1, fkey2, fkey3, rkey1, rkey2, rkeyindid "
                      "FROM sysreferences WHERE constid = " +
                      id("FK_Child_Parent"));
    ASSERT_EQ(ref.rows.size(), 1u);
    EXPECT_EQ(ref.at(0, 0), child);
    EXPECT_EQ(ref.at(0, 1), id("Parent"));
    EXPECT_EQ(ref.column(2), (std::vector<std::string>{"2"}));
    EXPECT_EQ((std::vector<std::string>{ref.at(0, 3), ref.at(0, 4), ref.at(0, 5), ref.at(0, 6),
                                        ref.at(0, 7), ref.at(0, 8)}),
              (std::vector<std::string>{"2", "3", "0", "1", "2", "1"}));
    EXPECT_EQ(one("SELECT OBJECTPROPERTY(" + id("trChild") + ", 'IsTrigger')"), "1");
    EXPECT_EQ(one("SELECT OBJECTPROPERTY(" + id("FK_Child_Parent") + ", 'IsForeignKey')"), "1");
    EXPECT_EQ(one("SELECT OBJECTPROPERTY(" + child + ", 'IsTrigger')"), "0");
    EXPECT_EQ(one("SELECT OBJECTPROPERTY(" + child + ", 'NoSuchProperty')"), "NULL");
    if (v8()) {
        EXPECT_EQ(one("SELECT instrig FROM sysobjects WHERE id = " + child), id("trChild"));
    }
    // Defaults also apply to rows inserted here.
    ASSERT_EQ(run("INSERT INTO Child (id) VALUES (7)").error(), nullptr);
    EXPECT_EQ(one("SELECT qty + 0 FROM Child"), "1");
    EXPECT_EQ(one("SELECT note FROM Child"), "x");
}

TEST_P(Ddl, ModuleTextIsTheWholeBatchSplitIntoRowsOf4000) {
    std::string body = "\r\n/* header comment */\r\n\r\nCREATE PROCEDURE Big AS\r\nSELECT '";
    body += std::string(9000, 'x');
    body += "' AS filler\r\n";
    CaptureSink c = run(body);
    ASSERT_EQ(c.error(), nullptr) << c.errorText();
    ResultSet r =
        q("SELECT colid, text FROM syscomments WHERE id = OBJECT_ID('Big') ORDER BY colid");
    ASSERT_EQ(r.rows.size(), 3u);
    EXPECT_EQ(r.column(0), (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(r.at(0, 1).size(), 4000u);
    EXPECT_EQ(r.at(1, 1).size(), 4000u);
    EXPECT_EQ(r.at(0, 1) + r.at(1, 1) + r.at(2, 1), body);

    // The altered text replaces all three rows, kept as the text that creates the module.
    ASSERT_EQ(run("ALTER PROCEDURE Big AS SELECT 2").error(), nullptr);
    EXPECT_EQ(q("SELECT text FROM syscomments WHERE id = OBJECT_ID('Big')").column(0),
              (std::vector<std::string>{"CREATE PROCEDURE Big AS SELECT 2"}));

    ASSERT_EQ(run("CREATE VIEW Hidden WITH ENCRYPTION AS SELECT 1 AS one").error(), nullptr);
    ResultSet enc = q("SELECT encrypted, text FROM syscomments WHERE id = OBJECT_ID('Hidden')");
    EXPECT_EQ(enc.at(0, 0), "1");
    EXPECT_EQ(enc.at(0, 1), "NULL");
    EXPECT_EQ(one("SELECT OBJECTPROPERTY(OBJECT_ID('Hidden'), 'IsEncrypted')"), "1");
    EXPECT_EQ(one("SELECT one FROM Hidden"), "1");

    for (const char* fn : {"CREATE FUNCTION F1 (@a int) RETURNS int AS BEGIN RETURN @a END",
                           "CREATE FUNCTION F2 () RETURNS TABLE AS RETURN (SELECT 1 AS x)",
                           "CREATE FUNCTION F3 () RETURNS @t TABLE (x int) AS BEGIN RETURN END"})
        ASSERT_EQ(run(fn).error(), nullptr) << fn;
    EXPECT_EQ(q("SELECT xtype FROM sysobjects WHERE name LIKE 'F_' ORDER BY name").column(0),
              (std::vector<std::string>{"FN", "IF", "TF"}));
}

TEST_P(Ddl, SchemasOwnersAndDuplicates) {
    ASSERT_EQ(run("CREATE SCHEMA hr").error(), nullptr);
    ASSERT_EQ(run("CREATE TABLE hr.People (id int NULL)").error(), nullptr);
    ASSERT_EQ(run("CREATE TABLE People (id int NULL)").error(), nullptr);
    ASSERT_EQ(run("INSERT INTO hr.People VALUES (1)").error(), nullptr);
    EXPECT_EQ(one("SELECT COUNT(*) FROM hr.People"), "1");
    EXPECT_EQ(one("SELECT COUNT(*) FROM People"), "0");
    CaptureSink dup = run("CREATE TABLE People (x int)");
    ASSERT_NE(dup.error(), nullptr);
    EXPECT_EQ(dup.error()->number, 2714);
    EXPECT_EQ(dup.error()->text, "There is already an object named 'People' in the database.");
    CaptureSink dupKey = run("CREATE TABLE Other (x int CONSTRAINT People PRIMARY KEY)");
    ASSERT_NE(dupKey.error(), nullptr);
    EXPECT_EQ(dupKey.error()->number, 2714);
    // The failed statement left nothing behind.
    EXPECT_EQ(one("SELECT COUNT(*) FROM sysobjects WHERE name = 'Other'"), "0");
    CaptureSink noSchema = run("CREATE TABLE nope.T1 (x int)");
    ASSERT_NE(noSchema.error(), nullptr);
    EXPECT_EQ(noSchema.error()->number, 2760);
    std::string uid = one("SELECT uid FROM sysobjects WHERE name = 'People' AND uid <> 1");
    EXPECT_EQ(one("SELECT USER_NAME(" + uid + ")"), v8() ? "hr" : "NULL");
}

TEST_P(Ddl, DropRemovesTheObjectAndEverythingHangingOffIt) {
    ASSERT_EQ(run("CREATE TABLE A (id int PRIMARY KEY, v int DEFAULT 0)\n"
                  "CREATE INDEX IX_A ON A (v)\n"
                  "CREATE TRIGGER trA ON A FOR DELETE AS SELECT 1")
                  .error(),
              nullptr);
    std::string a = id("A");
    ASSERT_EQ(run("DROP INDEX A.IX_A").error(), nullptr);
    EXPECT_EQ(one("SELECT COUNT(*) FROM sysindexes WHERE name = 'IX_A'"), "0");
    ASSERT_EQ(run("DROP TABLE A").error(), nullptr);
    for (const char* t : {"sysobjects WHERE parent_obj = ", "sysobjects WHERE id = ",
                          "syscolumns WHERE id = ", "sysindexes WHERE id = "})
        EXPECT_EQ(one(std::string("SELECT COUNT(*) FROM ") + t + a), "0") << t;
    CaptureSink gone = run("SELECT * FROM A");
    ASSERT_NE(gone.error(), nullptr);
    EXPECT_EQ(gone.error()->number, 208);
    CaptureSink again = run("DROP TABLE A");
    ASSERT_NE(again.error(), nullptr);
    EXPECT_EQ(again.error()->number, 3701);
}

TEST_P(Ddl, AlterTableUsersAndPermissions) {
    CaptureSink c = run("CREATE LOGIN appuser WITH PASSWORD = 'x'\n"
                        "CREATE USER appuser FOR LOGIN appuser\n"
                        "CREATE TABLE W (id int NOT NULL)\n"
                        "GRANT SELECT, INSERT ON W TO appuser\n"
                        "ALTER TABLE W ADD name varchar(10) NULL, qty int NOT NULL DEFAULT 5\n"
                        "ALTER TABLE W WITH NOCHECK ADD CONSTRAINT CK_W CHECK (qty > 0)\n"
                        "ALTER TABLE W ADD CONSTRAINT DF_W_name DEFAULT ('n') FOR name\n"
                        "ALTER TABLE W ADD CONSTRAINT PK_W PRIMARY KEY (id)\n"
                        "ALTER TABLE W NOCHECK CONSTRAINT CK_W\n"
                        "EXEC sp_addtype Code3, 'char(3)', 'NOT NULL'");
    ASSERT_EQ(c.error(), nullptr) << c.errorText();
    EXPECT_EQ(one("SELECT COUNT(*) FROM sysusers WHERE name = 'appuser' AND issqluser = 1"), "1");
    EXPECT_EQ(q("SELECT name FROM syscolumns WHERE id = OBJECT_ID('W') ORDER BY colid").column(0),
              (std::vector<std::string>{"id", "name", "qty"}));
    EXPECT_EQ(one("SELECT indid FROM sysindexes WHERE id = OBJECT_ID('W') AND name = 'PK_W'"), "1");
    EXPECT_EQ(one("SELECT COUNT(*) FROM sysindexes WHERE id = OBJECT_ID('W') AND indid = 0"), "0");
    ASSERT_EQ(run("INSERT INTO W (id) VALUES (1)").error(), nullptr);
    EXPECT_EQ(one("SELECT qty FROM W"), "5");
    ASSERT_EQ(run("ALTER TABLE W DROP CONSTRAINT PK_W").error(), nullptr);
    EXPECT_EQ(q("SELECT indid FROM sysindexes WHERE id = OBJECT_ID('W')").column(0),
              (std::vector<std::string>{"0"}));
    EXPECT_EQ(one("SELECT COUNT(*) FROM sysobjects WHERE name = 'PK_W'"), "0");
    CaptureSink notCons = run("ALTER TABLE W DROP CONSTRAINT W");
    ASSERT_NE(notCons.error(), nullptr);
    EXPECT_EQ(notCons.error()->number, 3728);
    EXPECT_EQ(one("SELECT length FROM systypes WHERE name = 'Code3'"), "3");
    EXPECT_EQ(one("SELECT allownulls FROM systypes WHERE name = 'Code3'"), "0");
}

// The forms a generated CREATE script takes: the guarded drop, bracketed names with "]" doubled,
// (max) sizes, and a clustered index made after the table. The forms SQL Server refuses are
// refused here too, so a script that would fail on a server fails its tests.
TEST_P(Ddl, CreateScriptFormsRunAndInvalidOnesAreRefused) {
    const std::string drop = "IF EXISTS (SELECT * FROM dbo.sysobjects\r\nWHERE id = "
                             "object_id('[dbo].[C]]x]') AND OBJECTPROPERTY(id, 'IsTable') = 1)"
                             "\r\nDROP Table[dbo].[C]]x]";
    ASSERT_EQ(run(drop).error(), nullptr) << "nothing to drop yet";
    const std::string script = "CREATE TABLE [dbo].[C]]x] (\r\n[c]]1] [int] NOT NULL,\r\n"
                               "[d] [nvarchar] (max) NULL,\r\n[e] [varbinary] (max) NULL \r\n)";
    CaptureSink create = run(script);
    if (v8()) {
        // A 2000 server refuses the (max) sizes as it reads them; the table is made by a
        // start-up script instead so that the rest runs alike.
        ASSERT_NE(create.error(), nullptr);
        EXPECT_EQ(create.error()->number, 102);
        EXPECT_EQ(create.error()->line, 3);
        f->script("USE T\nGO\n" + script + "\nGO\n");
    } else {
        ASSERT_EQ(create.error(), nullptr) << create.errorText();
    }
    CaptureSink index = run("CREATE UNIQUE CLUSTERED INDEX [IX]]C] ON [dbo].[C]]x] ([c]]1])");
    ASSERT_EQ(index.error(), nullptr) << index.errorText();
    const std::string table = id("C]x");
    EXPECT_EQ(one("SELECT name FROM sysindexes WHERE indid = 1 AND id = " + table), "IX]C");
    EXPECT_EQ(one("SELECT INDEXPROPERTY(" + table + ", 'IX]C', 'IsUnique')"), "1");
    EXPECT_EQ(q("SELECT prec FROM syscolumns WHERE id = " + table + " ORDER BY colid").column(0),
              (std::vector<std::string>{"10", "-1", "-1"}));
    ASSERT_EQ(run(drop).error(), nullptr);
    EXPECT_EQ(id("C]x"), "<none>");

    for (const char* refused :
         {"CREATE TABLE R1 ([n] [nvarchar] (-1) NULL)",
          "CREATE TABLE R2 ([c] [int] NOT NULL, CLUSTERED INDEX [IX_C] ([c]))",
          "/****** Object: Table [a/*b]      ---- Script Date: 2024-03-07 15:20:05 ******/\r\n"
          "SELECT 1"}) {
        CaptureSink r = run(refused);
        EXPECT_NE(r.error(), nullptr) << refused;
    }
    // A closed comment inside a comment is still a comment.
    EXPECT_EQ(run("/* a /* b */ c */ SELECT 1 AS one").error(), nullptr);
}

// The catalog views later servers answer about constraints, index keys and key columns; a 2000
// server has none of them.
TEST_P(Ddl, ConstraintCatalogViewsOfLaterServers) {
    ASSERT_EQ(run("CREATE TABLE P (a int NOT NULL, b int NOT NULL, CONSTRAINT PK_P PRIMARY KEY "
                  "(a, b))\n"
                  "CREATE TABLE K (a int NOT NULL, b int NOT NULL, c varchar(5) NOT NULL "
                  "CONSTRAINT DF_K_c DEFAULT ('x'), CONSTRAINT CK_K CHECK (a > b), "
                  "CONSTRAINT UQ_K UNIQUE (c, a), CONSTRAINT FK_K FOREIGN KEY (a, b) "
                  "REFERENCES P (a, b))")
                  .error(),
              nullptr);
    const char* queries[] = {
        "SELECT c.name, dc.definition FROM sys.default_constraints dc JOIN sys.columns c ON "
        "c.object_id = dc.parent_object_id AND c.column_id = dc.parent_column_id",
        "SELECT name, definition FROM sys.check_constraints",
        "SELECT c.name FROM sys.key_constraints kc JOIN sys.index_columns ic ON ic.object_id = "
        "kc.parent_object_id AND ic.index_id = kc.unique_index_id JOIN sys.columns c ON "
        "c.object_id = ic.object_id AND c.column_id = ic.column_id WHERE kc.type = 'UQ' ORDER BY "
        "ic.key_ordinal",
        "SELECT pc.name, rc.name FROM sys.foreign_key_columns f JOIN sys.columns pc ON "
        "pc.object_id = f.parent_object_id AND pc.column_id = f.parent_column_id JOIN sys.columns "
        "rc ON rc.object_id = f.referenced_object_id AND rc.column_id = f.referenced_column_id "
        "ORDER BY f.constraint_column_id"};
    if (v8()) {
        for (const char* sql : queries) {
            CaptureSink r = run(sql);
            ASSERT_NE(r.error(), nullptr) << sql;
            EXPECT_EQ(r.error()->number, 208) << sql;
        }
        return;
    }
    ResultSet d = q(queries[0]);
    ASSERT_EQ(d.rows.size(), 1u);
    EXPECT_EQ(d.at(0, 0), "c");
    EXPECT_EQ(d.at(0, 1), "('x')");
    ResultSet c = q(queries[1]);
    ASSERT_EQ(c.rows.size(), 1u);
    EXPECT_EQ(c.at(0, 0), "CK_K");
    EXPECT_EQ(q(queries[2]).column(0), (std::vector<std::string>{"c", "a"}));
    ResultSet f = q(queries[3]);
    EXPECT_EQ(f.column(0), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(f.column(1), (std::vector<std::string>{"a", "b"}));
}

// Unnamed constraints get names in the server's generated shape, different in each database
// for the same script, and later servers flag them as system-named in their catalog views.
TEST_P(Ddl, GeneratedConstraintNamesAreFlaggedAndDifferPerDatabase) {
    const std::string table =
        "CREATE TABLE AppSettings (SettingKey varchar(20) NOT NULL PRIMARY KEY, "
        "Value varchar(10) NOT NULL DEFAULT ('x') CHECK (Value <> ''), Code int NULL UNIQUE, "
        "Named int NOT NULL CONSTRAINT DF_Named DEFAULT (0) CONSTRAINT CK_Named CHECK (Named >= "
        "0))";
    ASSERT_EQ(run(table).error(), nullptr);
    f->script("CREATE DATABASE T2\nGO\n");
    std::unique_ptr<Session> other = f->open("T2");
    ASSERT_EQ(f->run(table, other.get()).error(), nullptr);
    const std::string names = "SELECT name FROM sysobjects WHERE parent_obj = "
                              "OBJECT_ID('AppSettings') ORDER BY xtype, name";
    const std::vector<std::string> here = q(names).column(0);
    const std::vector<std::string> there = f->query(names, other.get()).column(0);
    ASSERT_EQ(here.size(), 6u);
    const std::string keyHex = v8() ? "[0-9A-F]{8}" : "[0-9A-F]{16}";
    const std::vector<std::string> shapes = {
        "CK__AppSettin__Value__[0-9A-F]{8}",
        "CK_Named",
        "DF__AppSettin__Value__[0-9A-F]{8}",
        "DF_Named",
        std::string(v8() ? "PK__AppSettings__" : "PK__AppSetti__") + keyHex,
        std::string(v8() ? "UQ__AppSettings__" : "UQ__AppSetti__") + keyHex};
    for (size_t i = 0; i < shapes.size(); ++i) {
        EXPECT_TRUE(std::regex_match(here[i], std::regex(shapes[i]))) << here[i];
        EXPECT_TRUE(std::regex_match(there[i], std::regex(shapes[i]))) << there[i];
        if (shapes[i].find('[') != std::string::npos) {
            EXPECT_NE(here[i], there[i]);
        }
    }
    const char* flags = "SELECT name, is_system_named FROM sys.default_constraints UNION ALL "
                        "SELECT name, is_system_named FROM sys.check_constraints UNION ALL "
                        "SELECT name, is_system_named FROM sys.key_constraints ORDER BY 1";
    if (v8()) {
        CaptureSink r = run(flags);
        ASSERT_NE(r.error(), nullptr);
        EXPECT_EQ(r.error()->number, 208);
        return;
    }
    ResultSet r = q(flags);
    ASSERT_EQ(r.rows.size(), 6u);
    for (size_t i = 0; i < r.rows.size(); ++i)
        EXPECT_EQ(r.at(i, 1), r.at(i, 0).find("__") != std::string::npos ? "1" : "0") << r.at(i, 0);
    ASSERT_EQ(run("CREATE TABLE Ref (a varchar(20) NULL REFERENCES AppSettings (SettingKey), "
                  "b varchar(20) NULL CONSTRAINT FK_Ref_b REFERENCES AppSettings (SettingKey))")
                  .error(),
              nullptr);
    ResultSet fk = q("SELECT name, is_system_named FROM sys.foreign_keys ORDER BY name");
    ASSERT_EQ(fk.rows.size(), 2u);
    EXPECT_TRUE(std::regex_match(fk.at(0, 0), std::regex("FK__Ref__a__[0-9A-F]{8}")))
        << fk.at(0, 0);
    EXPECT_EQ(fk.at(0, 1), "1");
    EXPECT_EQ(fk.at(1, 0), "FK_Ref_b");
    EXPECT_EQ(fk.at(1, 1), "0");
}

// A key made over rows that already repeat it is refused (NULLs repeat too, as a unique index
// sees them) and leaves nothing behind; over distinct rows it is made.
TEST_P(Ddl, UniqueKeysOverRowsThatRepeatAreRefused) {
    ASSERT_EQ(run("CREATE TABLE Bins (Id int NOT NULL, Code char(2) NULL, Shelf int NULL)").error(),
              nullptr);
    ASSERT_EQ(run("INSERT INTO Bins VALUES (1, 'A1', NULL) INSERT INTO Bins VALUES (2, 'A1', NULL) "
                  "INSERT INTO Bins VALUES (3, 'B7', 4)")
                  .error(),
              nullptr);
    const std::string keyText =
        v8() ? "CREATE UNIQUE INDEX terminated because a duplicate key was found for index ID 2. "
               "Most significant primary key is 'A1'."
             : "The CREATE UNIQUE INDEX statement terminated because a duplicate key was found "
               "for the object name 'dbo.Bins' and the index name 'UQ_Bins_Code'. The duplicate "
               "key value is (A1).";
    CaptureSink c = run("ALTER TABLE Bins ADD CONSTRAINT UQ_Bins_Code UNIQUE (Code)");
    ASSERT_GE(c.messages.size(), 2u);
    EXPECT_EQ(c.messages[0].number, 1505);
    EXPECT_EQ(c.messages[0].text, keyText);
    EXPECT_EQ(c.messages[1].number, 1750);
    EXPECT_EQ(id("UQ_Bins_Code"), "<none>");
    c = run("CREATE UNIQUE INDEX IX_Bins_Shelf ON Bins (Shelf)");
    ASSERT_NE(c.error(), nullptr);
    EXPECT_EQ(c.error()->number, 1505);
    EXPECT_NE(c.error()->text.find(v8() ? "is '<NULL>'" : "value is (<NULL>)"), std::string::npos)
        << c.error()->text;
    EXPECT_EQ(one("SELECT COUNT(*) FROM sysindexes WHERE name = 'IX_Bins_Shelf'"), "0");
    EXPECT_EQ(run("ALTER TABLE Bins ADD CONSTRAINT PK_Bins PRIMARY KEY (Id)").errorText(), "");
    EXPECT_EQ(run("CREATE INDEX IX_Bins_Code ON Bins (Code)").errorText(), "");
}

// What SQL Server refuses to drop or change under other objects: a table foreign keys point
// at, and a table, or a column of it, that a schema-bound view uses; the view's own drop frees
// them. A view made without SCHEMABINDING binds nothing.
TEST_P(Ddl, SchemaBindingAndForeignKeysHoldWhatTheyUse) {
    for (const char* sql :
         {"CREATE TABLE Shelves (Id int NOT NULL PRIMARY KEY, Label varchar(10) NULL, Depth int "
          "NULL)",
          "CREATE TABLE Boxes (Id int NOT NULL, ShelfId int NULL REFERENCES Shelves (Id))",
          "CREATE VIEW dbo.vLabels WITH SCHEMABINDING AS SELECT Id, Label FROM dbo.Shelves",
          "CREATE VIEW dbo.vLoose AS SELECT Id, Depth FROM dbo.Shelves"})
        ASSERT_EQ(run(sql).errorText(), "") << sql;
    const std::string table = v8() ? "Shelves" : "dbo.Shelves";
    EXPECT_EQ(one("SELECT OBJECTPROPERTY(OBJECT_ID('vLabels'), 'IsSchemaBound')"), "1");
    EXPECT_EQ(one("SELECT OBJECTPROPERTY(OBJECT_ID('vLoose'), 'IsSchemaBound')"), "0");
    CaptureSink c = run("ALTER TABLE Shelves ALTER COLUMN Label varchar(20) NULL");
    ASSERT_GE(c.messages.size(), 2u);
    EXPECT_EQ(c.messages[0].text, "The object 'vLabels' is dependent on column 'Label'.");
    EXPECT_EQ(c.messages[1].number, 4922);
    EXPECT_EQ(run("ALTER TABLE Shelves ALTER COLUMN Depth bigint NULL").errorText(), "");
    EXPECT_EQ(run("DROP TABLE Shelves").errorText(),
              "3726: Could not drop object '" + table +
                  "' because it is referenced by a FOREIGN KEY constraint.");
    ASSERT_EQ(run("DROP TABLE Boxes").errorText(), "");
    EXPECT_EQ(run("DROP TABLE Shelves").errorText(),
              "3729: Cannot DROP TABLE '" + table +
                  "' because it is being referenced by object 'vLabels'.");
    ASSERT_EQ(run("DROP VIEW dbo.vLabels").errorText(), "");
    EXPECT_EQ(run("ALTER TABLE Shelves ALTER COLUMN Label varchar(20) NULL").errorText(), "");
    EXPECT_EQ(run("DROP TABLE Shelves").errorText(), "");
}

INSTANTIATE_TEST_SUITE_P(Versions, Ddl, ::testing::Values("8.00.2039", "9.00.5000.00"),
                         [](const auto& info) {
                             return std::string(info.param).rfind("8.", 0) == 0 ? "Sql2000"
                                                                                : "Sql2005";
                         });

namespace {

class Dependencies : public Ddl {
protected:
    bool v2008() const { return std::string(GetParam()).rfind("10.", 0) == 0; }
    // The first column of every row, joined by commas.
    std::string list(const std::string& sql) {
        ResultSet r = q(sql);
        std::string out;
        for (size_t i = 0; i < r.rows.size(); ++i)
            out += (i ? "," : "") + r.at(i, 0);
        return out;
    }
    std::string usedBy(const std::string& module) {
        return list("SELECT o.name FROM sysdepends d JOIN sysobjects o ON o.id = d.depid "
                    "WHERE d.id = OBJECT_ID('" +
                    module + "') ORDER BY o.name");
    }
};

} // namespace

// sysdepends holds what a module used that existed when it was made, and loses a row when that
// object is dropped, even when one of the same name comes back; 2008's by-name catalog keeps
// every name, resolved when read, and is unknown to earlier servers.
TEST_P(Dependencies, ModulesRecordWhatTheyUse) {
    for (const char* sql :
         {"CREATE TABLE Parts (Id int NOT NULL, Name varchar(20) NULL)",
          "CREATE PROCEDURE dbo.uspListParts AS\n-- FROM Ghosts in a comment names nothing\n"
          "SELECT Id, Name FROM Parts WHERE Id > 0",
          "CREATE PROCEDURE dbo.uspCallsLater AS\nDECLARE @rc int\nEXEC @rc = dbo.uspNotYet",
          "CREATE PROCEDURE dbo.uspNotYet AS SELECT 1",
          "CREATE FUNCTION dbo.fnTwice (@x int) RETURNS int AS BEGIN RETURN @x * 2 END",
          "CREATE VIEW vParts AS SELECT p.Id, dbo.fnTwice(p.Id) AS Twice FROM dbo.Parts p",
          "CREATE TRIGGER trParts ON Parts FOR INSERT AS UPDATE Parts SET Name = 'x' "
          "WHERE Name IS NULL"})
        ASSERT_EQ(run(sql).errorText(), "") << sql;
    EXPECT_EQ(usedBy("uspListParts"), "Parts");
    EXPECT_EQ(usedBy("uspCallsLater"), "");
    EXPECT_EQ(usedBy("vParts"), "fnTwice,Parts");
    EXPECT_EQ(usedBy("trParts"), "Parts");
    if (v2008()) {
        EXPECT_EQ(list("SELECT ISNULL(referenced_schema_name, '-') + '.' + "
                       "referenced_entity_name + ':' + CAST(is_caller_dependent AS varchar) + ':' "
                       "+ CASE WHEN referenced_id IS NULL THEN 'null' ELSE "
                       "OBJECT_NAME(referenced_id) END FROM sys.sql_expression_dependencies "
                       "WHERE referencing_id = OBJECT_ID('uspCallsLater')"),
                  "dbo.uspNotYet:0:uspNotYet");
    }
    ASSERT_EQ(run("DROP PROCEDURE uspNotYet").errorText(), "");
    ASSERT_EQ(run("DROP TRIGGER trParts").errorText(), "");
    ASSERT_EQ(run("DROP VIEW vParts").errorText(), "");
    ASSERT_EQ(run("DROP TABLE Parts").errorText(), "");
    ASSERT_EQ(run("CREATE TABLE Parts (Id int NOT NULL)").errorText(), "");
    EXPECT_EQ(usedBy("uspListParts"), "");
    if (v2008()) {
        EXPECT_EQ(list("SELECT ISNULL(referenced_schema_name, '-') + '.' + "
                       "referenced_entity_name + ':' + CAST(is_caller_dependent AS varchar) "
                       "FROM sys.sql_expression_dependencies WHERE referencing_id = "
                       "OBJECT_ID('uspListParts')"),
                  "-.Parts:1");
        EXPECT_EQ(one("SELECT ISNULL(OBJECT_NAME(referenced_id), 'null') FROM "
                      "sys.sql_expression_dependencies WHERE referencing_id = "
                      "OBJECT_ID('uspCallsLater')"),
                  "null");
    } else {
        EXPECT_EQ(run("SELECT * FROM sys.sql_expression_dependencies").errorText(),
                  "208: Invalid object name 'sys.sql_expression_dependencies'.");
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, Dependencies,
                         ::testing::Values("8.00.2039", "9.00.5000.00", "10.50.1600.1"),
                         [](const auto& info) {
                             const std::string v = info.param;
                             return v.rfind("8.", 0) == 0   ? "Sql2000"
                                    : v.rfind("9.", 0) == 0 ? "Sql2005"
                                                            : "Sql2008";
                         });
