// The demo database pair and the catalog fixture load in both version modes, and every
// object they define can be listed, scripted and, for tables, counted and read.
#include "test_engine_support.h"

#include <set>

using namespace sqlsim;
using namespace sqlsim::test;

namespace {

class DemoFixtures : public ::testing::TestWithParam<const char*> {};

void checkDatabase(EngineFixture& f, const std::string& dbName) {
    auto s = f.open(dbName);
    ASSERT_NE(s, nullptr) << dbName;
    ResultSet tables = f.query("select name, refdate, id from sysobjects where "
                               "OBJECTPROPERTY(id, N'IsUserTable') = 1 order by name",
                               s.get());
    EXPECT_GE(tables.rows.size(), 20u) << dbName;
    // Every table can be counted and read through its owner or schema, as the program does.
    for (size_t r = 0; r < tables.rows.size(); ++r) {
        std::string id = tables.at(r, 2);
        ResultSet owner = f.query(
            "SELECT " + std::string(f.engine->majorVersion() > 8
                                        ? "OBJECT_SCHEMA_NAME(" + id + ")"
                                        : "USER_NAME(uid) FROM sysobjects WHERE id = " + id),
            s.get());
        std::string full = "[" + owner.at(0, 0) + "].[" + tables.at(r, 0) + "]";
        CaptureSink count = f.run("SELECT COUNT(*) AS RecsCount FROM " + full, s.get());
        EXPECT_EQ(count.error(), nullptr) << dbName << " " << full << ": " << count.errorText();
        CaptureSink data = f.run("SELECT * FROM " + full, s.get());
        EXPECT_EQ(data.error(), nullptr) << dbName << " " << full << ": " << data.errorText();
    }
    // Modules keep their text unless encrypted.
    ResultSet modules = f.query(
        "SELECT so.name, so.xtype, (SELECT COUNT(*) FROM syscomments sc WHERE sc.id = so.id AND "
        "sc.text IS NOT NULL) AS rowsWithText, OBJECTPROPERTY(so.id, 'IsEncrypted') AS enc "
        "FROM sysobjects so WHERE so.xtype IN ('P', 'FN', 'IF', 'TF', 'V', 'TR')",
        s.get());
    EXPECT_GE(modules.rows.size(), 10u) << dbName;
    std::set<std::string> kinds;
    for (size_t r = 0; r < modules.rows.size(); ++r) {
        std::string kind = modules.at(r, 1);
        kinds.insert(kind.substr(0, kind.find(' ')));
        if (modules.at(r, 3) == "0") {
            EXPECT_NE(modules.at(r, 2), "0") << dbName << " " << modules.at(r, 0);
        }
    }
    for (const char* k : {"P", "FN", "IF", "TF", "V", "TR"})
        EXPECT_TRUE(kinds.count(k)) << dbName << " has no object of type " << k;
    ResultSet fks = f.query("SELECT COUNT(*) FROM sysreferences", s.get());
    EXPECT_GT(std::stoi(fks.at(0, 0)), 5) << dbName;
}

} // namespace

TEST_P(DemoFixtures, SourceAndTargetLoadAndAnswer) {
    EngineFixture f(GetParam());
    std::string source = fixture("demo_source.sql");
    std::string target = fixture("demo_target.sql");
    if (source.empty() || target.empty())
        GTEST_SKIP() << "demo fixtures not present";
    f.script(source);
    f.script(target);
    ResultSet dbs = f.query("SELECT name FROM sysdatabases WHERE dbid > 4 ORDER BY name");
    ASSERT_EQ(dbs.rows.size(), 2u);
    for (const auto& db : dbs.column(0))
        checkDatabase(f, db);
}

INSTANTIATE_TEST_SUITE_P(Versions, DemoFixtures, ::testing::Values("8.00.2039", "10.50.1600.1"),
                         [](const auto& info) {
                             return std::string(info.param).rfind("8.", 0) == 0 ? "Sql2000"
                                                                                : "Sql2008R2";
                         });

TEST(EngineDataDir, KeptDataDirectoryIsReopened) {
    TempDir dir;
    EngineOptions o;
    o.dataDir = dir.path();
    {
        Engine e(o);
        std::string error;
        ASSERT_TRUE(
            e.runScript("CREATE DATABASE Kept\nGO\nUSE Kept\nGO\nCREATE TABLE T (x int)\nGO\n"
                        "INSERT INTO T VALUES (42)\nGO\n",
                        error))
            << error;
    }
    Engine again(o);
    EXPECT_TRUE(again.databaseExists("Kept"));
    ServerMessage err;
    auto s = again.openSession("sa", "Kept", err);
    ASSERT_NE(s, nullptr);
    CaptureSink sink;
    std::atomic<bool> cancel{false};
    s->executeBatch("SELECT x FROM T", sink, cancel);
    ASSERT_EQ(sink.sets.size(), 1u);
    EXPECT_EQ(sink.sets[0].at(0, 0), "42");
}

TEST(EngineDataDir, TemporaryDataDirectoryGoesAwayWithTheEngine) {
    std::string dir;
    {
        Engine e(EngineOptions{});
        ServerMessage err;
        auto s = e.openSession("sa", "", err);
        CaptureSink sink;
        std::atomic<bool> cancel{false};
        s->executeBatch("SELECT filename FROM sysdatabases WHERE name = 'master'", sink, cancel);
        ASSERT_EQ(sink.sets.size(), 1u);
        dir = std::filesystem::path(sink.sets[0].at(0, 0)).parent_path().string();
        EXPECT_TRUE(std::filesystem::exists(dir));
    }
    EXPECT_FALSE(std::filesystem::exists(dir));
}

TEST(EngineVersions, CatalogDiffersBetween2000AndLater) {
    EngineFixture old("8.00.2039");
    EngineFixture now("9.00.1399.06");
    // Version 8 has owners only: system tables belong to dbo, and there is no xml type.
    EXPECT_EQ(
        old.query("SELECT DISTINCT USER_NAME(uid) FROM sysobjects WHERE xtype = 'S'").column(0),
        (std::vector<std::string>{"dbo"}));
    EXPECT_EQ(
        now.query("SELECT DISTINCT USER_NAME(uid) FROM sysobjects WHERE xtype = 'S'").column(0),
        (std::vector<std::string>{"sys"}));
    EXPECT_EQ(old.query("SELECT COUNT(*) FROM systypes WHERE name = 'xml'").at(0, 0), "0");
    EXPECT_EQ(now.query("SELECT COUNT(*) FROM systypes WHERE name = 'xml'").at(0, 0), "1");
    EXPECT_EQ(old.query("SELECT name FROM sysusers WHERE uid = 4").at(0, 0),
              "system_function_schema");
    EXPECT_EQ(now.query("SELECT name FROM sysusers WHERE uid = 4").at(0, 0), "sys");
    for (const char* q : {"SELECT * FROM sys.objects", "SELECT * FROM sys.schemas",
                          "SELECT name FROM sys.databases"}) {
        CaptureSink e = old.run(q);
        ASSERT_NE(e.error(), nullptr) << q;
        EXPECT_EQ(e.error()->number, 208) << q;
        EXPECT_EQ(now.run(q).error(), nullptr) << q;
    }
    now.script("CREATE TABLE dbo.K (id int PRIMARY KEY)\nGO\n");
    ResultSet so =
        now.query("SELECT name, type, type_desc FROM sys.objects WHERE is_ms_shipped = 0 "
                  "ORDER BY type");
    ASSERT_EQ(so.rows.size(), 2u);
    EXPECT_EQ(so.at(0, 2), "PRIMARY_KEY_CONSTRAINT");
    EXPECT_EQ(so.at(1, 0), "K");
    EXPECT_EQ(so.at(1, 2), "USER_TABLE");
}
