// Transactions across batches, what an error does to the rest of its batch, NOEXEC, RAISERROR
// and the statements deployment scripts of the older servers send.
#include "test_engine_support.h"

#include <chrono>
#include <thread>

using namespace sqlsim;
using namespace sqlsim::test;

namespace {

class Transactions : public ::testing::Test {
protected:
    void SetUp() override {
        f.script("CREATE DATABASE BatShop\nGO\nUSE BatShop\nGO\n"
                 "CREATE TABLE BatParent (Id int NOT NULL PRIMARY KEY)\n"
                 "CREATE TABLE BatChild (Id int NOT NULL, ParentId int NOT NULL "
                 "REFERENCES BatParent (Id))\nGO\nINSERT INTO BatParent VALUES (1)\nGO\n");
        ASSERT_EQ(f.run("USE BatShop").error(), nullptr);
    }
    std::string scalar(const std::string& sql, Session* s = nullptr) {
        ResultSet r = f.query(sql, s);
        return r.rows.empty() ? "<none>" : r.at(0, 0);
    }
    // The text of every informational message and error, in order.
    static std::vector<std::string> texts(const CaptureSink& sink) {
        std::vector<std::string> out;
        for (const auto& m : sink.messages)
            if (m.number != 5701)
                out.push_back(m.text);
        return out;
    }
    EngineFixture f;
};

TEST_F(Transactions, TranCountNestsAndOnlyTheOutermostCommitCommits) {
    CaptureSink s = f.run("PRINT @@TRANCOUNT\nBEGIN TRAN\nPRINT @@TRANCOUNT\nBEGIN TRANSACTION\n"
                          "PRINT @@TRANCOUNT\nCOMMIT\nPRINT @@TRANCOUNT\nCOMMIT TRAN\n"
                          "PRINT @@TRANCOUNT");
    EXPECT_EQ(texts(s), (std::vector<std::string>{"0", "1", "2", "1", "0"}));
    // Without a transaction, both are refused and the batch goes on.
    s = f.run("COMMIT\nROLLBACK TRANSACTION\nSELECT @@ERROR AS e");
    ASSERT_GE(s.messages.size(), 2u);
    EXPECT_EQ(s.messages[0].number, 3902);
    EXPECT_EQ(s.messages[0].text,
              "The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION.");
    EXPECT_EQ(s.messages[0].severity, 16);
    EXPECT_EQ(s.messages[1].number, 3903);
    EXPECT_EQ(s.messages[1].line, 2);
    EXPECT_EQ(s.messages[1].text,
              "The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION.");
    ASSERT_EQ(s.sets.size(), 1u);
    EXPECT_EQ(s.sets[0].at(0, 0), "3903");
}

TEST_F(Transactions, OpenAcrossBatchesUntilCommitOrRollback) {
    ASSERT_EQ(f.run("BEGIN TRANSACTION").error(), nullptr);
    ASSERT_EQ(f.run("INSERT INTO BatParent VALUES (2)").error(), nullptr);
    EXPECT_EQ(scalar("SELECT @@TRANCOUNT"), "1");
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM BatParent"), "2");
    ASSERT_EQ(f.run("ROLLBACK").error(), nullptr);
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM BatParent"), "1");
    EXPECT_EQ(scalar("SELECT @@TRANCOUNT"), "0");

    ASSERT_EQ(f.run("BEGIN TRAN\nBEGIN TRAN\nINSERT INTO BatParent VALUES (3)").error(), nullptr);
    ASSERT_EQ(f.run("COMMIT").error(), nullptr);
    // Still open one level down: another session sees only committed rows.
    auto other = f.open("BatShop");
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM BatParent", other.get()), "1");
    ASSERT_EQ(f.run("COMMIT").error(), nullptr);
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM BatParent", other.get()), "2");
}

TEST_F(Transactions, SavepointsAndNamedRollbacks) {
    CaptureSink s = f.run("BEGIN TRAN Outer1\nINSERT INTO BatParent VALUES (2)\nSAVE TRAN s1\n"
                          "INSERT INTO BatParent VALUES (3)\nROLLBACK TRAN s1\n"
                          "SELECT @@TRANCOUNT AS n, COUNT(*) AS c FROM BatParent");
    ASSERT_EQ(s.error(), nullptr) << s.errorText();
    ASSERT_EQ(s.sets.size(), 1u);
    EXPECT_EQ(s.sets[0].at(0, 0), "1");
    EXPECT_EQ(s.sets[0].at(0, 1), "2");
    // Names compare case-sensitively; an unknown one is refused and nothing changes.
    s = f.run("ROLLBACK TRAN outer1");
    ASSERT_NE(s.error(), nullptr);
    EXPECT_EQ(s.error()->number, 6401);
    EXPECT_EQ(s.error()->text,
              "Cannot roll back outer1. No transaction or savepoint of that name was found.");
    EXPECT_EQ(scalar("SELECT @@TRANCOUNT"), "1");
    ASSERT_EQ(f.run("ROLLBACK TRAN Outer1").error(), nullptr);
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM BatParent"), "1");
    s = f.run("SAVE TRANSACTION s2");
    ASSERT_NE(s.error(), nullptr);
    EXPECT_EQ(s.error()->number, 628);
    EXPECT_EQ(s.error()->text,
              "Cannot issue SAVE TRANSACTION when there is no active transaction.");
}

TEST_F(Transactions, DdlRollsBackWithTheRows) {
    ASSERT_EQ(f.run("BEGIN TRAN\nCREATE TABLE BatTemp (Id int NULL)\n"
                    "INSERT INTO BatTemp VALUES (1)\nCREATE INDEX IX_BatTemp ON BatTemp (Id)")
                  .error(),
              nullptr);
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM BatTemp"), "1");
    ASSERT_EQ(f.run("ROLLBACK").error(), nullptr);
    EXPECT_EQ(scalar("SELECT OBJECT_ID('BatTemp')"), "NULL");
    CaptureSink s = f.run("SELECT * FROM BatTemp");
    ASSERT_NE(s.error(), nullptr);
    EXPECT_EQ(s.error()->number, 208);
    // The name is free again.
    EXPECT_EQ(f.run("CREATE TABLE BatTemp (Other int NULL)").error(), nullptr);
    // Databases are files of their own: refused inside a transaction.
    s = f.run("BEGIN TRAN\nCREATE DATABASE BatOther\nSELECT @@ERROR AS e\nROLLBACK");
    ASSERT_NE(s.error(), nullptr);
    EXPECT_EQ(s.error()->number, 226);
    EXPECT_EQ(s.error()->text,
              "CREATE DATABASE statement not allowed within multi-statement transaction.");
    ASSERT_EQ(s.sets.size(), 1u);
    EXPECT_EQ(s.sets[0].at(0, 0), "226");
}

TEST_F(Transactions, OneTransactionAcrossDatabasesTheBatchMovesBetween) {
    f.script("CREATE DATABASE BatTwo\nGO\nUSE BatTwo\nGO\nCREATE TABLE BatNote (Id int NULL)\n"
             "GO\n");
    for (const char* end : {"ROLLBACK", "COMMIT"}) {
        ASSERT_EQ(f.run("BEGIN TRAN\nINSERT INTO BatParent VALUES (2)\nUSE BatTwo\n"
                        "INSERT INTO BatNote VALUES (1)\nUSE master\nUSE BatShop\n"
                        "INSERT INTO BatParent VALUES (3)")
                      .errorText(),
                  "");
        ASSERT_EQ(f.run(end).error(), nullptr);
        const bool kept = std::string(end) == "COMMIT";
        EXPECT_EQ(scalar("SELECT COUNT(*) FROM BatParent"), kept ? "3" : "1") << end;
        EXPECT_EQ(scalar("SELECT COUNT(*) FROM BatTwo.dbo.BatNote"), kept ? "1" : "0") << end;
    }
}

TEST_F(Transactions, ClosingOrResettingRollsBack) {
    {
        auto other = f.open("BatShop");
        ASSERT_EQ(f.run("BEGIN TRAN\nINSERT INTO BatParent VALUES (5)", other.get()).error(),
                  nullptr);
    }
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM BatParent"), "1");
    ASSERT_EQ(f.run("BEGIN TRAN\nINSERT INTO BatParent VALUES (6)").error(), nullptr);
    ServerMessage err;
    ASSERT_TRUE(f.session->reset(err)) << err.text;
    ASSERT_EQ(f.run("USE BatShop").error(), nullptr);
    EXPECT_EQ(scalar("SELECT @@TRANCOUNT"), "0");
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM BatParent"), "1");
}

TEST_F(Transactions, OtherSessionsReadAndWritersWait) {
    ASSERT_EQ(f.run("BEGIN TRAN\nINSERT INTO BatParent VALUES (7)").error(), nullptr);
    auto other = f.open("BatShop");
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM BatParent", other.get()), "1");
    std::thread committer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        CaptureSink sink;
        std::atomic<bool> cancel{false};
        f.session->executeBatch("COMMIT", sink, cancel);
    });
    auto started = std::chrono::steady_clock::now();
    CaptureSink s = f.run("INSERT INTO BatParent VALUES (8)", other.get());
    committer.join();
    EXPECT_EQ(s.error(), nullptr) << s.errorText();
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(250));
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM BatParent"), "3");
}

TEST_F(Transactions, StatementErrorsLetTheBatchGoOn) {
    CaptureSink s = f.run("INSERT INTO BatChild VALUES (1, 99)\nSELECT @@ERROR AS e\n"
                          "SELECT @@ERROR AS e\nINSERT INTO BatChild VALUES (1, 1)\n"
                          "SELECT @@ROWCOUNT AS r");
    ASSERT_NE(s.error(), nullptr);
    EXPECT_EQ(s.error()->number, 547);
    ASSERT_EQ(s.sets.size(), 3u);
    EXPECT_EQ(s.sets[0].at(0, 0), "547");
    EXPECT_EQ(s.sets[1].at(0, 0), "0");
    EXPECT_EQ(s.sets[2].at(0, 0), "1");
    // "The statement has been terminated." follows the constraint error.
    ASSERT_GE(s.messages.size(), 2u);
    EXPECT_EQ(s.messages[1].number, 3621);
    // Names that do not resolve end the batch.
    s = f.run("SELECT * FROM BatMissing\nSELECT 1 AS one");
    ASSERT_NE(s.error(), nullptr);
    EXPECT_EQ(s.error()->number, 208);
    EXPECT_TRUE(s.sets.empty());
}

TEST_F(Transactions, XactAbortRollsBackAndEndsTheBatch) {
    CaptureSink s = f.run("SET XACT_ABORT ON\nBEGIN TRAN\nINSERT INTO BatParent VALUES (2)\n"
                          "INSERT INTO BatChild VALUES (1, 99)\nSELECT 1 AS never");
    ASSERT_NE(s.error(), nullptr);
    EXPECT_EQ(s.error()->number, 547);
    EXPECT_TRUE(s.sets.empty());
    EXPECT_EQ(scalar("SELECT @@TRANCOUNT"), "0");
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM BatParent"), "1");
    // OFF again: the transaction outlives the error.
    s = f.run("SET XACT_ABORT OFF\nBEGIN TRAN\nINSERT INTO BatParent VALUES (2)\n"
              "INSERT INTO BatChild VALUES (1, 99)\nSELECT @@TRANCOUNT AS n");
    ASSERT_EQ(s.sets.size(), 1u);
    EXPECT_EQ(s.sets[0].at(0, 0), "1");
    ASSERT_EQ(f.run("COMMIT").error(), nullptr);
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM BatParent"), "2");
}

TEST_F(Transactions, DeploymentScriptIdiomAcrossBatches) {
    const std::string check = "IF @@ERROR <> 0 AND @@TRANCOUNT > 0 ROLLBACK TRANSACTION\n"
                              "IF @@TRANCOUNT = 0 BEGIN PRINT 'failed' SET NOEXEC ON END\n";
    ASSERT_EQ(f.run("SET XACT_ABORT ON").error(), nullptr);
    ASSERT_EQ(f.run("BEGIN TRANSACTION").error(), nullptr);
    EXPECT_EQ(f.run("INSERT INTO BatParent VALUES (2)").error(), nullptr);
    EXPECT_TRUE(texts(f.run(check)).empty());
    EXPECT_NE(f.run("INSERT INTO BatChild VALUES (1, 99)").error(), nullptr);
    EXPECT_EQ(texts(f.run(check)), (std::vector<std::string>{"failed"}));
    // NOEXEC holds across batches: nothing runs, the COMMIT included.
    CaptureSink skipped = f.run("INSERT INTO BatParent VALUES (3)\nSELECT 1 AS one");
    EXPECT_EQ(skipped.error(), nullptr);
    EXPECT_TRUE(skipped.sets.empty());
    EXPECT_EQ(f.run("COMMIT TRANSACTION").error(), nullptr);
    ASSERT_EQ(f.run("SET NOEXEC OFF").error(), nullptr);
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM BatParent"), "1");
}

TEST_F(Transactions, NoexecSkipsBlocksAndIfs) {
    CaptureSink s = f.run("SET NOEXEC ON\nIF 1 = 1 BEGIN SELECT 1 AS a END ELSE SELECT 2 AS b\n"
                          "WHILE 1 = 1 SELECT 3 AS c\nSET NOEXEC OFF\nSELECT 4 AS d");
    ASSERT_EQ(s.error(), nullptr) << s.errorText();
    ASSERT_EQ(s.sets.size(), 1u);
    EXPECT_EQ(s.sets[0].at(0, 0), "4");
}

TEST_F(Transactions, ProcedureLeavingATransactionOpenGets266) {
    CaptureSink s = f.run("EXEC sp_executesql N'BEGIN TRAN'\nSELECT @@TRANCOUNT AS n");
    ASSERT_NE(s.error(), nullptr);
    EXPECT_EQ(s.error()->number, 266);
    EXPECT_EQ(s.error()->text,
              "Transaction count after EXECUTE indicates a mismatching number of BEGIN and "
              "COMMIT statements. Previous count = 0, current count = 1.");
    ASSERT_EQ(s.sets.size(), 1u);
    EXPECT_EQ(s.sets[0].at(0, 0), "1");
    ASSERT_EQ(f.run("ROLLBACK").error(), nullptr);
    // A batch-ending error in the dynamic text ends the batch that ran it.
    s = f.run("EXEC ('SELECT * FROM BatMissing')\nSELECT 1 AS one");
    EXPECT_TRUE(s.sets.empty());
}

TEST_F(Transactions, RpcCallsShareTheSessionsTransaction) {
    auto rpc = [&](const std::string& sql) {
        CaptureSink sink;
        std::atomic<bool> cancel{false};
        std::vector<RpcParam> params(1);
        params[0].value = Value::str(sql);
        f.session->executeRpc("sp_executesql", params, sink, cancel);
        return sink;
    };
    ASSERT_EQ(f.run("SET XACT_ABORT ON\nBEGIN TRAN\nINSERT INTO BatParent VALUES (2)").error(),
              nullptr);
    // The error inside the call rolls everything back; the call itself answers once.
    CaptureSink s = rpc("INSERT INTO BatChild VALUES (1, 99)\nSELECT 1 AS never");
    ASSERT_NE(s.error(), nullptr);
    EXPECT_EQ(s.error()->number, 547);
    EXPECT_TRUE(s.sets.empty());
    EXPECT_EQ(scalar("SELECT @@TRANCOUNT"), "0");
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM BatParent"), "1");
    s = rpc("BEGIN TRAN");
    ASSERT_NE(s.error(), nullptr);
    EXPECT_EQ(s.error()->number, 266);
    EXPECT_EQ(scalar("SELECT @@ERROR"), "266");
    ASSERT_EQ(f.run("ROLLBACK").error(), nullptr);
}

struct FormatCase {
    const char* args;
    const char* text;
};

TEST_F(Transactions, RaiserrorSubstitutesAsPrintfDoes) {
    const FormatCase cases[] = {
        {"'%s has %d rows', 16, 1, N'BatParent', 3", "BatParent has 3 rows"},
        {"'[%5d][%-5d][%05d]', 16, 1, 42, 42, 42", "[   42][42   ][00042]"},
        {"'%x %X %o %u', 16, 1, 255, 255, 8, -1", "ff FF 10 4294967295"},
        {"'%i%% done', 16, 1, 50", "50% done"},
        {"'[%.3s][%10s]', 16, 1, 'abcdef', 'right'", "[abc][     right]"},
        {"'[%*d]', 16, 1, 4, 7", "[   7]"},
        {"'%s and %s', 16, 1, 'one'", "one and (null)"},
        {"'%+d %ld', 16, 1, 5, 6", "+5 6"},
    };
    for (const auto& c : cases) {
        CaptureSink s = f.run(std::string("RAISERROR(") + c.args + ")");
        ASSERT_NE(s.error(), nullptr) << c.args;
        EXPECT_EQ(s.error()->text, c.text) << c.args;
        EXPECT_EQ(s.error()->number, 50000);
    }
    CaptureSink s = f.run("RAISERROR('%d', 16, 1, 'x')");
    ASSERT_NE(s.error(), nullptr);
    EXPECT_EQ(s.error()->number, 2786);
}

TEST_F(Transactions, RaiserrorSeveritiesAndPermissions) {
    CaptureSink s = f.run("RAISERROR('note', 10, 1)\nSELECT @@ERROR AS e\n"
                          "RAISERROR('bad', 16, 2) WITH NOWAIT\nSELECT @@ERROR AS e\n"
                          "RAISERROR('quiet', 1, 1) WITH SETERROR\nSELECT @@ERROR AS e");
    ASSERT_EQ(s.sets.size(), 3u);
    EXPECT_EQ(s.sets[0].at(0, 0), "0");
    EXPECT_EQ(s.sets[1].at(0, 0), "50000");
    EXPECT_EQ(s.sets[2].at(0, 0), "50000");
    EXPECT_EQ(s.messages[0].severity, 10);
    EXPECT_EQ(s.messages[1].state, 2);

    s = f.run("RAISERROR('x', 19, 1)\nSELECT 1 AS goesOn");
    ASSERT_NE(s.error(), nullptr);
    EXPECT_EQ(s.error()->number, 2754);
    EXPECT_EQ(s.sets.size(), 1u);
    EXPECT_EQ(f.run("RAISERROR('logged', 19, 1) WITH LOG").error()->number, 50000);
    // A fatal severity ends the batch.
    s = f.run("RAISERROR('fatal', 20, 1) WITH LOG\nSELECT 1 AS never");
    EXPECT_EQ(s.error()->severity, 20);
    EXPECT_TRUE(s.sets.empty());

    ServerMessage err;
    auto bob = f.engine->openSession("bob", "master", err);
    ASSERT_NE(bob, nullptr);
    s = f.run("RAISERROR('x', 16, 1) WITH LOG", bob.get());
    ASSERT_NE(s.error(), nullptr);
    EXPECT_EQ(s.error()->number, 2778);
    EXPECT_EQ(s.error()->text,
              "Only System Administrator can specify WITH LOG option for RAISERROR command.");
    s = f.run("RAISERROR(50001, 16, 1)");
    ASSERT_NE(s.error(), nullptr);
    EXPECT_EQ(s.error()->number, 18054);
}

TEST_F(Transactions, AssignmentSelectTakesTheLastRow) {
    ASSERT_EQ(f.run("INSERT INTO BatParent VALUES (2)\nINSERT INTO BatParent VALUES (3)").error(),
              nullptr);
    CaptureSink s = f.run("DECLARE @a int, @b int\nSET @b = -1\n"
                          "SELECT @a = Id FROM BatParent ORDER BY Id\n"
                          "SELECT @b = Id FROM BatParent WHERE Id > 100\n"
                          "SELECT @a AS a, @b AS b, @@ROWCOUNT AS r");
    ASSERT_EQ(s.error(), nullptr) << s.errorText();
    ASSERT_EQ(s.sets.size(), 1u);
    EXPECT_EQ(s.sets[0].at(0, 0), "3");
    EXPECT_EQ(s.sets[0].at(0, 1), "-1");
    EXPECT_EQ(s.sets[0].at(0, 2), "0");
    s = f.run("DECLARE @d datetime, @n int SELECT @d = GETDATE(), @n = 2 + 3 SELECT @n AS n, "
              "CASE WHEN @d IS NULL THEN 0 ELSE 1 END AS d");
    ASSERT_EQ(s.error(), nullptr) << s.errorText();
    ASSERT_EQ(s.sets.size(), 1u);
    EXPECT_EQ(s.sets[0].at(0, 0), "5");
    EXPECT_EQ(s.sets[0].at(0, 1), "1");
    s = f.run("DECLARE @a int\nSELECT @a = Id, Id FROM BatParent");
    ASSERT_NE(s.error(), nullptr);
    EXPECT_EQ(s.error()->number, 141);
}

TEST_F(Transactions, WhileLoopsWithBreakAndContinue) {
    CaptureSink s = f.run("DECLARE @i int, @sum int\nSET @i = 0\nSET @sum = 0\n"
                          "WHILE @i < 10\nBEGIN\n  SET @i = @i + 1\n"
                          "  IF @i % 2 = 0 CONTINUE\n  IF @i > 7 BREAK\n"
                          "  SET @sum = @sum + @i\nEND\nSELECT @i AS i, @sum AS s");
    ASSERT_EQ(s.error(), nullptr) << s.errorText();
    ASSERT_EQ(s.sets.size(), 1u);
    EXPECT_EQ(s.sets[0].at(0, 0), "9");
    EXPECT_EQ(s.sets[0].at(0, 1), "16");
}

TEST_F(Transactions, DatabaseOptionsShowInTheCatalog) {
    ASSERT_EQ(f.run("ALTER DATABASE BatShop SET RECOVERY SIMPLE").error(), nullptr);
    EXPECT_EQ(scalar("SELECT CONVERT(varchar(20), DATABASEPROPERTYEX('BatShop', 'Recovery'))"),
              "SIMPLE");
    ASSERT_EQ(f.run("ALTER DATABASE BatShop SET READ_COMMITTED_SNAPSHOT ON, ANSI_NULLS ON\n"
                    "ALTER DATABASE BatShop SET SINGLE_USER WITH ROLLBACK IMMEDIATE")
                  .error(),
              nullptr);
    ResultSet r = f.query("SELECT recovery_model, recovery_model_desc, "
                          "is_read_committed_snapshot_on, is_ansi_nulls_on, user_access_desc "
                          "FROM sys.databases WHERE name = 'BatShop'");
    ASSERT_EQ(r.rows.size(), 1u);
    EXPECT_EQ(r.rows[0].size(), 5u);
    for (size_t c = 0; c < 5; ++c)
        EXPECT_EQ(r.at(0, c),
                  (std::vector<std::string>{"3", "SIMPLE", "1", "1", "SINGLE_USER"})[c]);
    // The 2000 procedure keeps the same options.
    ASSERT_EQ(f.run("EXEC sp_dboption 'BatShop', 'trunc. log on chkpt.', 'false'\n"
                    "EXEC sp_dboption 'BatShop', 'single user', 'false'")
                  .error(),
              nullptr);
    EXPECT_EQ(scalar("SELECT CONVERT(varchar(20), DATABASEPROPERTYEX('BatShop', 'Recovery'))"),
              "FULL");
    EXPECT_EQ(scalar("SELECT CONVERT(varchar(20), DATABASEPROPERTYEX('BatShop', 'UserAccess'))"),
              "MULTI_USER");
    CaptureSink missing = f.run("EXEC sp_dboption 'BatNowhere', 'read only', 'true'");
    ASSERT_NE(missing.error(), nullptr);
    EXPECT_EQ(missing.error()->number, 15010);
    ASSERT_EQ(f.run("ALTER DATABASE BatShop SET COMPATIBILITY_LEVEL = 90").error(), nullptr);
    EXPECT_EQ(scalar("SELECT compatibility_level FROM sys.databases WHERE name = 'BatShop'"), "90");
    CaptureSink s = f.run("UPDATE STATISTICS BatParent WITH FULLSCAN\n"
                          "UPDATE STATISTICS dbo.BatParent (NoSuchStat)");
    ASSERT_NE(s.error(), nullptr);
    EXPECT_EQ(s.error()->number, 2767);
    EXPECT_EQ(s.error()->line, 2);
}

} // namespace

namespace {

TEST(ScriptStatements, NestedJoinsPairTheRowsTheirOnClausesName) {
    EngineFixture f;
    f.script("CREATE TABLE BatA (Id int NULL)\nCREATE TABLE BatB (Id int NULL, AId int NULL)\n"
             "CREATE TABLE BatC (BId int NULL, Tag varchar(5) NULL)\nGO\n"
             "INSERT INTO BatA VALUES (1)\nINSERT INTO BatA VALUES (2)\n"
             "INSERT INTO BatB VALUES (10, 1)\nINSERT INTO BatB VALUES (20, 2)\n"
             "INSERT INTO BatC VALUES (10, 'x')\nGO\n");
    // The inner join of B and C keeps only B 10; the outer left join keeps every A.
    for (const char* sql :
         {"SELECT a.Id, c.Tag FROM BatA a LEFT JOIN (BatB b JOIN BatC c ON c.BId = b.Id) ON "
          "b.AId = a.Id ORDER BY a.Id",
          "SELECT a.Id, c.Tag FROM BatA a LEFT JOIN BatB b JOIN BatC c ON c.BId = b.Id ON "
          "b.AId = a.Id ORDER BY a.Id"}) {
        ResultSet r = f.query(sql);
        EXPECT_EQ(r.column(0), (std::vector<std::string>{"1", "2"})) << sql;
        EXPECT_EQ(r.column(1), (std::vector<std::string>{"x", "NULL"})) << sql;
    }
    // A nested join still needs its own ON.
    CaptureSink s = f.run("SELECT a.Id FROM BatA a JOIN BatB b JOIN BatC c ON b.AId = a.Id");
    ASSERT_NE(s.error(), nullptr);
    EXPECT_EQ(s.error()->number, 102);
}

} // namespace
