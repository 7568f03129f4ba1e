// Putting a session back as it was after login, as pooled connections ask before each reuse.
#include "test_engine_support.h"

using namespace sqlsim;
using namespace sqlsim::test;

namespace {

class SessionReset : public ::testing::Test {
protected:
    void SetUp() override {
        f.script("CREATE DATABASE Shop\nGO\nUSE Shop\nGO\n"
                 "CREATE TABLE Item (id int NOT NULL PRIMARY KEY, name varchar(10) NULL)\n"
                 "INSERT INTO Item VALUES (1, 'a')\nINSERT INTO Item VALUES (2, 'b')\n"
                 "INSERT INTO Item VALUES (3, 'c')\nGO\n");
        s = f.open("Shop");
        ASSERT_TRUE(s);
    }
    CaptureSink run(const std::string& sql, Session* on = nullptr) {
        return f.run(sql, on ? on : s.get());
    }
    std::string scalar(const std::string& sql, Session* on = nullptr) {
        ResultSet r = f.query(sql, on ? on : s.get());
        return r.rows.empty() ? "<none>" : r.at(0, 0);
    }
    void reset() {
        ServerMessage err;
        ASSERT_TRUE(s->reset(err)) << err.text;
    }
    EngineFixture f;
    std::unique_ptr<Session> s;
};

} // namespace

TEST_F(SessionReset, DatabaseAndSetOptionsReturnToTheirLoginState) {
    CaptureSink c = run("SET NOCOUNT ON\nSET ROWCOUNT 2\nUSE master");
    ASSERT_EQ(c.error(), nullptr) << c.errorText();
    EXPECT_EQ(scalar("SELECT DB_NAME()"), "master");
    // ROWCOUNT cuts results short while it is set.
    CaptureSink limited = run("SELECT id FROM Shop.dbo.Item ORDER BY id");
    ASSERT_EQ(limited.sets.size(), 1u);
    EXPECT_EQ(limited.sets[0].rows.size(), 2u);
    EXPECT_FALSE(limited.dones.back().hasCount); // NOCOUNT

    reset();
    EXPECT_EQ(scalar("SELECT DB_NAME()"), "Shop");
    CaptureSink all = run("SELECT id FROM Item ORDER BY id");
    ASSERT_EQ(all.sets.size(), 1u);
    EXPECT_EQ(all.sets[0].column(0), (std::vector<std::string>{"1", "2", "3"}));
    ASSERT_FALSE(all.dones.empty());
    EXPECT_TRUE(all.dones.back().hasCount);
    EXPECT_EQ(all.dones.back().count, 3);

    // Going back and forth after a reset still lands on the right files.
    EXPECT_EQ(run("USE master").errorText(), "");
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM sysdatabases WHERE name = 'Shop'"), "1");
    EXPECT_EQ(run("USE Shop").errorText(), "");
    EXPECT_EQ(scalar("SELECT name FROM Item WHERE id = 2"), "b");
}

TEST_F(SessionReset, OnlyThisSessionsTemporaryTablesGo) {
    auto other = f.open("Shop");
    ASSERT_EQ(run("CREATE TABLE #mine (x int NULL)\nINSERT INTO #mine VALUES (1)").errorText(), "");
    ASSERT_EQ(run("CREATE TABLE #theirs (x int NULL)", other.get()).errorText(), "");
    // One made after moving to another database goes too.
    ASSERT_EQ(run("USE master\nCREATE TABLE #elsewhere (x int NULL)").errorText(), "");

    reset();
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM sysobjects WHERE name = '#mine'"), "0");
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM master..sysobjects WHERE name = '#elsewhere'"), "0");
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM sysobjects WHERE name = '#theirs'"), "1");
    CaptureSink gone = run("SELECT * FROM #mine");
    ASSERT_NE(gone.error(), nullptr);
    EXPECT_EQ(gone.error()->number, 208);
    // The name is free again for the next user of the pooled connection.
    EXPECT_EQ(run("CREATE TABLE #mine (y int NULL)").errorText(), "");

    // A client that dropped its table itself does not make the reset fail.
    EXPECT_EQ(run("DROP TABLE #mine").errorText(), "");
    reset();

    other.reset(); // the session ends: its temporary tables end with it
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM sysobjects WHERE name LIKE '#%'"), "0");
}
