// Errors worded and numbered as SQL Server reports them, and what a failing batch still runs.
#include "test_engine_support.h"

using namespace sqlsim;
using namespace sqlsim::test;

namespace {

struct ErrorCase {
    const char* sql;
    int number;
    int severity;
    const char* text;
};

void expectError(EngineFixture& f, const ErrorCase& c) {
    CaptureSink sink = f.run(c.sql);
    const ServerMessage* e = sink.error();
    ASSERT_NE(e, nullptr) << c.sql;
    EXPECT_EQ(e->number, c.number) << c.sql;
    EXPECT_EQ(e->severity, c.severity) << c.sql;
    EXPECT_EQ(e->text, c.text) << c.sql;
    EXPECT_TRUE(sink.sets.empty()) << c.sql;
    ASSERT_FALSE(sink.dones.empty()) << c.sql;
    EXPECT_FALSE(sink.dones.back().more) << c.sql;
}

} // namespace

TEST(EngineErrors, StatementErrorsCarrySqlServerNumbersAndWording) {
    EngineFixture f;
    f.script("CREATE TABLE dbo.Items (Id int NOT NULL, Name varchar(20) NULL)\nGO\n");
    const ErrorCase cases[] = {
        {"SELECT * FROM Nothing", 208, 16, "Invalid object name 'Nothing'."},
        {"SELECT * FROM [dbo].[Nothing]", 208, 16, "Invalid object name 'dbo.Nothing'."},
        {"SELECT COUNT(*) FROM nodb..Items", 208, 16, "Invalid object name 'nodb..Items'."},
        {"SELECT Colour FROM Items", 207, 16, "Invalid column name 'Colour'."},
        {"SELECT i.Colour FROM Items i", 207, 16, "Invalid column name 'Colour'."},
        {"SELECT * FROM Items WHERE", 156, 15, "Incorrect syntax near the keyword 'WHERE'."},
        {"SELECT * FROM", 156, 15, "Incorrect syntax near the keyword 'FROM'."},
        {"SELECT Name FROM Items ORDER Name", 102, 15, "Incorrect syntax near 'Name'."},
        {"SELECT 1 +", 102, 15, "Incorrect syntax near '+'."},
        {"SELECT NoSuchFunc(1)", 195, 15,
         "'NoSuchFunc' is not a recognized built-in function name."},
        {"CREATE TABLE Items (x int)", 2714, 16,
         "There is already an object named 'Items' in the database."},
        {"SELEC 1", 2812, 16, "Could not find stored procedure 'SELEC'."},
        {"SELECT 'open", 105, 15, "Unclosed quotation mark after the character string 'open'."},
        {"USE Nowhere", 911, 16,
         "Database 'Nowhere' does not exist. Make sure that the name is entered correctly."},
        {"SET FOOBAR ON", 195, 15, "'FOOBAR' is not a recognized SET option."},
        {"SELECT @undeclared", 137, 15, "Must declare the scalar variable \"@undeclared\"."},
    };
    for (const auto& c : cases)
        expectError(f, c);
}

TEST(EngineErrors, UnknownLoginDatabaseIsRefusedWith4060) {
    EngineFixture f;
    ServerMessage err;
    EXPECT_EQ(f.engine->openSession("sa", "Missing", err), nullptr);
    EXPECT_EQ(err.number, 4060);
    EXPECT_EQ(err.severity, 11);
    EXPECT_EQ(err.text,
              "Cannot open database \"Missing\" requested by the login. The login failed.");
    EXPECT_FALSE(f.engine->databaseExists("Missing"));
    EXPECT_TRUE(f.engine->databaseExists("MASTER"));
    auto ok = f.engine->openSession("sa", "", err);
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->currentDatabase(), "master");
}

TEST(EngineErrors, BatchRunsUntilTheFailingStatementAndReportsItsLine) {
    EngineFixture f;
    CaptureSink sink =
        f.run("SELECT 1 AS a\nSELECT 2 AS b\n\nSELECT * FROM Missing\nSELECT 3 AS c");
    ASSERT_EQ(sink.sets.size(), 2u);
    ASSERT_NE(sink.error(), nullptr);
    EXPECT_EQ(sink.error()->number, 208);
    EXPECT_EQ(sink.error()->line, 4);
    ASSERT_EQ(sink.dones.size(), 3u);
    EXPECT_TRUE(sink.dones[0].hasCount);
    EXPECT_EQ(sink.dones[0].count, 1);
    EXPECT_TRUE(sink.dones[0].more);
    EXPECT_FALSE(sink.dones[2].more);
    // The session is still usable afterwards.
    ResultSet r = f.query("SELECT 5 AS five");
    EXPECT_EQ(r.at(0, 0), "5");
}

TEST(EngineErrors, ScriptFailureNamesTheBatchAndStops) {
    EngineFixture f;
    std::string error;
    EXPECT_FALSE(f.engine->runScript("CREATE DATABASE A1\nGO\nCREATE TABLE t (x nosuchtype)\nGO\n"
                                     "CREATE DATABASE A2\nGO\n",
                                     error));
    EXPECT_NE(error.find("Cannot find data type nosuchtype"), std::string::npos) << error;
    EXPECT_TRUE(f.engine->databaseExists("A1"));
    EXPECT_FALSE(f.engine->databaseExists("A2"));
    CaptureSink dup = f.run("CREATE DATABASE a1");
    ASSERT_NE(dup.error(), nullptr);
    EXPECT_EQ(dup.error()->number, 1801);
}

TEST(EngineErrors, HarmlessSessionSettingsAreAccepted) {
    EngineFixture f;
    CaptureSink sink =
        f.run("SET TEXTSIZE 2147483647\nSET ANSI_NULLS ON\nSET QUOTED_IDENTIFIER ON\n"
              "SET ANSI_WARNINGS ON; SET ANSI_PADDING ON; SET CONCAT_NULL_YIELDS_NULL ON\n"
              "SET TRANSACTION ISOLATION LEVEL READ COMMITTED\nSET DATEFORMAT mdy\n"
              "SELECT @@VERSION AS v, @@SPID AS spid");
    EXPECT_EQ(sink.error(), nullptr) << sink.errorText();
    ASSERT_EQ(sink.sets.size(), 1u);
    EXPECT_NE(sink.sets[0].at(0, 0).find("Microsoft SQL Server"), std::string::npos);
    EXPECT_EQ(sink.sets[0].cols[1].type, SqlType::SmallInt);
    // NOCOUNT drops the row count from the statement's end.
    CaptureSink counted = f.run("SET NOCOUNT ON\nSELECT 1 AS x");
    ASSERT_FALSE(counted.dones.empty());
    EXPECT_FALSE(counted.dones.back().hasCount);
}

TEST(EngineErrors, VariablesAndParameterisedRpc) {
    EngineFixture f;
    f.script("CREATE TABLE dbo.Nums (n int NULL, label nvarchar(10) NULL)\nGO\n"
             "INSERT INTO Nums VALUES (1, N'one')\nINSERT INTO Nums VALUES (2, N'two')\n"
             "INSERT INTO Nums VALUES (3, N'three')\nGO\n");
    ResultSet r = f.query("DECLARE @min int, @pfx nvarchar(5) = N't'\nSET @min = 2\n"
                          "SELECT label FROM Nums WHERE n >= @min AND label LIKE @pfx + '%' "
                          "ORDER BY n");
    EXPECT_EQ(r.column(0), (std::vector<std::string>{"two", "three"}));
    CaptureSink sink;
    std::atomic<bool> cancel{false};
    std::vector<RpcParam> params(3);
    params[0].value = Value::str("SELECT label FROM Nums WHERE n = @P1");
    params[1].value = Value::str("@P1 int");
    params[2].value = Value::integer(3);
    f.session->executeRpc("sp_executesql", params, sink, cancel);
    EXPECT_EQ(sink.error(), nullptr) << sink.errorText();
    ASSERT_EQ(sink.sets.size(), 1u);
    EXPECT_EQ(sink.sets[0].column(0), (std::vector<std::string>{"three"}));
    CaptureSink unknown;
    f.session->executeRpc("sp_nothing", {}, unknown, cancel);
    ASSERT_NE(unknown.error(), nullptr);
    EXPECT_EQ(unknown.error()->number, 2812);
}
