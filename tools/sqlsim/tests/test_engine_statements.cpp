// How a batch is cut into statements and what each kind of statement reports back.
#include "test_engine_support.h"

using namespace sqlsim;
using namespace sqlsim::test;

namespace {

class Statements : public ::testing::Test {
protected:
    void SetUp() override {
        f.script(
            "CREATE DATABASE S\nGO\nUSE S\nGO\n"
            "CREATE TABLE A (id int NOT NULL PRIMARY KEY, v varchar(10) NULL)\n"
            "CREATE TABLE B (id int NOT NULL, a_id int NULL REFERENCES A (id) ON DELETE CASCADE "
            "ON UPDATE NO ACTION, note nvarchar(10) NULL)\nGO\n");
        s = f.open("S");
    }
    CaptureSink run(const std::string& sql) { return f.run(sql, s.get()); }
    EngineFixture f;
    std::unique_ptr<Session> s;
};

} // namespace

TEST_F(Statements, StatementsWithoutSemicolonsAreSeparated) {
    CaptureSink c = run("INSERT INTO A (id, v) VALUES (1, 'one')\n"
                        "INSERT INTO A (id, v) SELECT 2, 'two' UNION ALL SELECT 3, 'three'\n"
                        "UPDATE A SET v = CASE WHEN id = 1 THEN 'uno' ELSE v END WHERE id < 3\n"
                        "SELECT id, v FROM A ORDER BY id SELECT COUNT(*) FROM A;"
                        "DELETE FROM A WHERE id = 3; SELECT COUNT(*) AS n FROM A");
    ASSERT_EQ(c.error(), nullptr) << c.errorText();
    ASSERT_EQ(c.sets.size(), 3u);
    EXPECT_EQ(c.sets[0].column(1), (std::vector<std::string>{"uno", "two", "three"}));
    EXPECT_EQ(c.sets[1].at(0, 0), "3");
    EXPECT_EQ(c.sets[2].at(0, 0), "2");
    // One DONE per statement, row counts for the ones that touched or returned rows.
    ASSERT_EQ(c.dones.size(), 7u);
    std::vector<int64_t> counts;
    for (const auto& d : c.dones)
        counts.push_back(d.count);
    EXPECT_EQ(counts, (std::vector<int64_t>{1, 2, 2, 3, 1, 1, 1}));
    for (size_t k = 0; k + 1 < c.dones.size(); ++k)
        EXPECT_TRUE(c.dones[k].more) << k;
    EXPECT_FALSE(c.dones.back().more);
}

TEST_F(Statements, TransactionsGrantsAndPrintAreAccepted) {
    CaptureSink c = run("BEGIN TRANSACTION\nINSERT INTO A VALUES (5, 'five')\nCOMMIT TRANSACTION\n"
                        "BEGIN TRAN t1\nCOMMIT\n"
                        "GRANT SELECT, UPDATE ON A TO public\nPRINT 'hello ' + 'there'\n"
                        "SELECT v FROM A");
    ASSERT_EQ(c.error(), nullptr) << c.errorText();
    ASSERT_EQ(c.sets.size(), 1u);
    EXPECT_EQ(c.sets[0].column(0), (std::vector<std::string>{"five"}));
    bool printed = false;
    for (const auto& m : c.messages)
        printed |= m.text == "hello there" && m.severity == 0;
    EXPECT_TRUE(printed);
}

TEST_F(Statements, DynamicSqlAndProcedureCalls) {
    CaptureSink dyn = run("EXEC ('SELECT 40 + ' + '2 AS answer')");
    ASSERT_EQ(dyn.error(), nullptr) << dyn.errorText();
    ASSERT_EQ(dyn.sets.size(), 1u);
    EXPECT_EQ(dyn.sets[0].at(0, 0), "42");
    ASSERT_EQ(run("CREATE PROCEDURE P1 AS SELECT 1").error(), nullptr);
    // A procedure of the database runs its body.
    CaptureSink call = run("EXEC dbo.P1");
    ASSERT_EQ(call.error(), nullptr) << call.errorText();
    ASSERT_EQ(call.sets.size(), 1u);
    EXPECT_EQ(call.sets[0].at(0, 0), "1");
    CaptureSink missing = run("EXECUTE dbo.NoSuchProc 1, 'a'");
    ASSERT_NE(missing.error(), nullptr);
    EXPECT_EQ(missing.error()->number, 2812);
    EXPECT_EQ(missing.error()->text, "Could not find stored procedure 'NoSuchProc'.");
    // A loop whose condition is false at once runs nothing.
    CaptureSink loop = run("WHILE 1 = 0 SELECT 1");
    EXPECT_EQ(loop.error(), nullptr);
    EXPECT_TRUE(loop.sets.empty());
}

TEST_F(Statements, ViewsRunAndReportTheirColumns) {
    ASSERT_EQ(run("INSERT INTO A VALUES (1, 'x')\nINSERT INTO B VALUES (10, 1, N'n1')").error(),
              nullptr);
    ASSERT_EQ(
        run("CREATE VIEW dbo.AB AS SELECT a.id, a.v, b.note FROM A a JOIN B b ON b.a_id = a.id")
            .error(),
        nullptr);
    ASSERT_EQ(run("CREATE VIEW AB2 AS SELECT id, note + N'!' AS loud FROM AB").error(), nullptr);
    ResultSet r = f.query("SELECT * FROM AB2", s.get());
    EXPECT_EQ(r.column(1), (std::vector<std::string>{"n1!"}));
    ResultSet cols =
        f.query("SELECT c.name, t.name FROM syscolumns c JOIN systypes t ON "
                "t.xusertype = c.xusertype WHERE c.id = OBJECT_ID('AB') ORDER BY colid",
                s.get());
    EXPECT_EQ(cols.column(0), (std::vector<std::string>{"id", "v", "note"}));
    EXPECT_EQ(cols.column(1), (std::vector<std::string>{"int", "varchar", "nvarchar"}));
    ResultSet view = f.query("SELECT v, note FROM AB", s.get());
    EXPECT_EQ(view.cols[0].type, SqlType::VarChar);
    EXPECT_EQ(view.cols[0].size, 10);
    EXPECT_EQ(view.cols[1].type, SqlType::NVarChar);
    ASSERT_EQ(run("ALTER VIEW AB AS SELECT a.id FROM A a").error(), nullptr);
    EXPECT_EQ(f.query("SELECT * FROM AB", s.get()).cols.size(), 1u);
    EXPECT_EQ(
        f.query("SELECT COUNT(*) FROM syscolumns WHERE id = OBJECT_ID('AB')", s.get()).at(0, 0),
        "1");
    // A view referring to a missing table is refused, as SQL Server does.
    CaptureSink bad = run("CREATE VIEW Broken AS SELECT * FROM Nowhere");
    ASSERT_NE(bad.error(), nullptr);
    EXPECT_EQ(bad.error()->number, 208);
    EXPECT_EQ(f.query("SELECT COUNT(*) FROM sysobjects WHERE name = 'Broken'", s.get()).at(0, 0),
              "0");
}

TEST_F(Statements, CrossDatabaseNamesAndContext) {
    f.script("CREATE DATABASE Other\nGO\nUSE Other\nGO\nCREATE TABLE Z (z int NULL)\nGO\n"
             "INSERT INTO Z VALUES (9)\nGO\n");
    ResultSet r = f.query("SELECT z FROM Other.dbo.Z", s.get());
    EXPECT_EQ(r.column(0), (std::vector<std::string>{"9"}));
    EXPECT_EQ(f.query("SELECT name FROM Other..sysobjects WHERE xtype = 'U'", s.get()).column(0),
              (std::vector<std::string>{"Z"}));
    ResultSet ids = f.query(
        "SELECT DB_ID('Other') AS a, DB_NAME(DB_ID('Other')) AS b, DB_NAME() AS c", s.get());
    EXPECT_EQ(ids.at(0, 1), "Other");
    EXPECT_EQ(ids.at(0, 2), "S");
    std::string zid =
        f.query("SELECT id FROM Other..sysobjects WHERE name = 'Z'", s.get()).at(0, 0);
    EXPECT_EQ(f.query("SELECT OBJECT_NAME(" + zid + ", DB_ID('Other'))", s.get()).at(0, 0), "Z");
    EXPECT_EQ(f.query("SELECT OBJECT_NAME(" + zid + ")", s.get()).at(0, 0), "NULL");
    CaptureSink use = run("USE Other\nSELECT z FROM Z");
    ASSERT_EQ(use.error(), nullptr) << use.errorText();
    EXPECT_EQ(s->currentDatabase(), "Other");
    bool changed = false;
    for (const auto& m : use.messages)
        changed |= m.number == 5701 && m.text == "Changed database context to 'Other'.";
    EXPECT_TRUE(changed);
}
