// Attaching a database file under a new name, by batch and by RPC, and cross-database names.
#include "test_engine_support.h"

#include <filesystem>

using namespace sqlsim;
using namespace sqlsim::test;

namespace {

// Builds a database in a throw-away engine and hands back a copy of its file.
std::string makeDatabaseFile(const std::string& dir) {
    std::string copy = dir + "/shop_copy.db";
    EngineFixture maker;
    maker.script("CREATE DATABASE Shop\nGO\nUSE Shop\nGO\n"
                 "CREATE TABLE Products (Id int IDENTITY(1,1) NOT NULL PRIMARY KEY, Name "
                 "nvarchar(30) NULL)\n"
                 "GO\nINSERT INTO Products (Name) VALUES (N'Tea')\nGO\n"
                 "CREATE PROCEDURE ListProducts AS SELECT * FROM Products\nGO\n");
    ResultSet where = maker.query("SELECT filename FROM sysdatabases WHERE name = 'Shop'");
    std::string path = where.at(0, 0);
    maker.session.reset();
    maker.engine.reset(); // every connection closed: the file is complete on its own
    std::filesystem::copy_file(path, copy);
    return copy;
}

} // namespace

TEST(EngineAttach, AttachedFileAnswersUnderItsNewName) {
    TempDir files;
    std::string file = makeDatabaseFile(files.path());
    EngineFixture f;
    CaptureSink sink =
        f.run("EXEC sp_attach_db @dbname = N'Imported', @filename1 = N'" + file + "'");
    ASSERT_EQ(sink.error(), nullptr) << sink.errorText();
    EXPECT_TRUE(f.engine->databaseExists("imported"));
    auto s = f.open("Imported");
    ASSERT_NE(s, nullptr);
    ResultSet p = f.query("SELECT Id, Name FROM Products", s.get());
    EXPECT_EQ(p.column(1), (std::vector<std::string>{"Tea"}));
    EXPECT_EQ(f.query("SELECT TABLE_CATALOG FROM INFORMATION_SCHEMA.TABLES", s.get()).column(0),
              (std::vector<std::string>{"Imported"}));
    EXPECT_EQ(f.query("SELECT name FROM sysobjects WHERE xtype = 'P'", s.get()).column(0),
              (std::vector<std::string>{"ListProducts"}));
    // Identity keeps counting where the file left off.
    ASSERT_EQ(f.run("INSERT INTO Products (Name) VALUES (N'Coffee')", s.get()).error(), nullptr);
    EXPECT_EQ(f.query("SELECT MAX(Id) FROM Products", s.get()).at(0, 0), "2");
    // Three-part names reach it from another database.
    EXPECT_EQ(f.query("SELECT COUNT(*) FROM Imported.dbo.Products").at(0, 0), "2");
    EXPECT_EQ(f.query("SELECT COUNT(*) FROM Imported..Products").at(0, 0), "2");
    EXPECT_EQ(f.query("SELECT name FROM sysdatabases WHERE name = 'Imported'").rows.size(), 1u);
}

TEST(EngineAttach, RpcFormsAndRefusals) {
    TempDir files;
    std::string file = makeDatabaseFile(files.path());
    EngineFixture f;
    std::atomic<bool> cancel{false};
    std::vector<RpcParam> params(2);
    params[0].value = Value::str("Single");
    params[1].value = Value::str(file);
    CaptureSink single;
    f.session->executeRpc("sp_attach_single_file_db", params, single, cancel);
    EXPECT_EQ(single.error(), nullptr) << single.errorText();
    EXPECT_EQ(single.returnStatuses, 1);
    EXPECT_TRUE(f.engine->databaseExists("Single"));

    CaptureSink taken;
    params[1].value = Value::str(files.path() + "/other.db");
    f.session->executeRpc("sp_attach_db", params, taken, cancel);
    ASSERT_NE(taken.error(), nullptr);
    EXPECT_EQ(taken.error()->number, 1801);

    CaptureSink again;
    std::vector<RpcParam> named(3);
    named[0].name = "@dbname";
    named[0].value = Value::str("Twice");
    named[1].name = "@filename1";
    named[1].value = Value::str(file);
    named[2].name = "@filename2";
    named[2].value = Value::str(files.path() + "/shop_log.ldf");
    f.session->executeRpc("sp_attach_db", named, again, cancel);
    ASSERT_NE(again.error(), nullptr);
    EXPECT_EQ(again.error()->number, 5120); // the file is in use as Single

    CaptureSink missing = f.run("EXEC sp_attach_db N'Ghost', N'" + files.path() + "/none.mdf'");
    ASSERT_NE(missing.error(), nullptr);
    EXPECT_EQ(missing.error()->number, 5120);
    EXPECT_FALSE(f.engine->databaseExists("Ghost"));
}
