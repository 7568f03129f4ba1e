// Plain queries, USE, version answers and the result metadata the wire side sends on.
#include "test_engine_support.h"

using namespace sqlsim;
using namespace sqlsim::test;

TEST(EngineBasics, SelectOfConstantsReportsSqlServerTypesAndNames) {
    EngineFixture f;
    ResultSet r = f.query("SELECT 1, N'abc' AS txt, 'xy' two, Three = 2.5, NULL");
    ASSERT_EQ(r.cols.size(), 5u);
    EXPECT_EQ(r.cols[0].name, "");
    EXPECT_EQ(r.cols[0].type, SqlType::Int);
    EXPECT_EQ(r.cols[1].name, "txt");
    EXPECT_EQ(r.cols[1].type, SqlType::NVarChar);
    EXPECT_EQ(r.cols[1].size, 6);
    EXPECT_EQ(r.cols[2].name, "two");
    EXPECT_EQ(r.cols[2].type, SqlType::VarChar);
    EXPECT_EQ(r.cols[3].name, "Three");
    ASSERT_EQ(r.rows.size(), 1u);
    EXPECT_EQ(r.at(0, 0), "1");
    EXPECT_EQ(r.at(0, 1), "abc");
    EXPECT_EQ(r.at(0, 2), "xy");
    EXPECT_EQ(r.at(0, 4), "NULL");
}

TEST(EngineBasics, ServerPropertyAnswersTheConfiguredVersion) {
    EngineFixture f("8.00.2039");
    ResultSet r = f.query("SELECT serverproperty('ProductVersion') AS ServerVer");
    ASSERT_EQ(r.rows.size(), 1u);
    EXPECT_EQ(r.cols[0].name, "ServerVer");
    EXPECT_EQ(r.at(0, 0), "8.00.2039");
    EXPECT_EQ(f.engine->majorVersion(), 8);
}

TEST(EngineBasics, UserTableRoundTripWithIdentityAndTypes) {
    EngineFixture f;
    f.script("CREATE DATABASE Shop\nGO\nUSE Shop\nGO\n"
             "CREATE TABLE Orders (OrderID int IDENTITY(100,5) NOT NULL PRIMARY KEY,\n"
             "  Customer nvarchar(20) NULL, Amount decimal(10,2) NOT NULL DEFAULT (0),\n"
             "  Code char(4) NULL, Placed datetime NULL)\nGO\n"
             "INSERT INTO Orders (Customer, Amount, Code, Placed) VALUES (N'Ann', 12.5, 'AB', "
             "'2024-03-01')\n"
             "INSERT INTO Orders (Customer, Amount) VALUES ('bob', 3)\nGO\n");
    auto s = f.open("Shop");
    ResultSet r = f.query("SELECT * FROM Orders ORDER BY OrderID", s.get());
    ASSERT_EQ(r.cols.size(), 5u);
    EXPECT_EQ(r.cols[0].type, SqlType::Int);
    EXPECT_TRUE(r.cols[0].identity);
    EXPECT_FALSE(r.cols[0].nullable);
    EXPECT_EQ(r.cols[1].type, SqlType::NVarChar);
    EXPECT_EQ(r.cols[1].size, 40);
    EXPECT_EQ(r.cols[2].type, SqlType::Decimal);
    EXPECT_EQ(r.cols[2].precision, 10);
    EXPECT_EQ(r.cols[2].scale, 2);
    EXPECT_EQ(r.cols[3].type, SqlType::Char);
    EXPECT_EQ(r.cols[4].type, SqlType::DateTime);
    ASSERT_EQ(r.rows.size(), 2u);
    EXPECT_EQ(r.column(0), (std::vector<std::string>{"100", "105"}));
    EXPECT_EQ(r.at(0, 2), "12.50");
    EXPECT_EQ(r.at(1, 2), "3.00");
    EXPECT_EQ(r.at(0, 3), "AB  ");
    EXPECT_EQ(r.at(0, 4), "2024-03-01 00:00:00.000");
    EXPECT_EQ(r.at(1, 4), "NULL");
    // Without a column list the identity column is skipped, as T-SQL does.
    ASSERT_EQ(f.run("INSERT INTO Orders VALUES (N'Cy', 2, 'C', NULL)", s.get()).error(), nullptr);
    EXPECT_EQ(f.query("INSERT INTO Orders (Amount) VALUES (1)\nSELECT SCOPE_IDENTITY() AS a, "
                      "@@IDENTITY AS b",
                      s.get())
                  .column(1),
              (std::vector<std::string>{"115"}));
}

TEST(EngineBasics, UseChangesDatabaseAndReportsIt) {
    EngineFixture f;
    f.script("CREATE DATABASE Sales\nGO\n");
    CaptureSink sink = f.run("USE Sales");
    EXPECT_EQ(sink.error(), nullptr) << sink.errorText();
    ASSERT_EQ(sink.dbChanges.size(), 1u);
    EXPECT_EQ(sink.dbChanges[0].first, "Sales");
    EXPECT_EQ(sink.dbChanges[0].second, "master");
    EXPECT_EQ(f.session->currentDatabase(), "Sales");
    ResultSet r = f.query("SELECT DB_NAME() AS d");
    EXPECT_EQ(r.at(0, 0), "Sales");
    CaptureSink bad = f.run("USE NoSuchDb");
    ASSERT_NE(bad.error(), nullptr);
    EXPECT_EQ(bad.error()->number, 911);
    EXPECT_EQ(f.session->currentDatabase(), "Sales");
}

TEST(EngineBasics, NamesAndComparisonsIgnoreCase) {
    EngineFixture f;
    f.script("CREATE DATABASE D\nGO\nUSE D\nGO\nCREATE TABLE [My Table] (Name varchar(10))\nGO\n"
             "INSERT INTO [my table] VALUES ('Beta')\nINSERT INTO [MY TABLE] VALUES ('alpha')\n"
             "INSERT INTO [My Table] VALUES ('Gamma')\nGO\n");
    auto s = f.open("d");
    ResultSet r =
        f.query("select NAME from [MY table] where name = 'BETA' or name like 'ga%'", s.get());
    EXPECT_EQ(r.rows.size(), 2u);
    ResultSet sorted = f.query("SELECT name FROM [My Table] ORDER BY name", s.get());
    EXPECT_EQ(sorted.column(0), (std::vector<std::string>{"alpha", "Beta", "Gamma"}));
    ResultSet top = f.query("SELECT TOP 1 name FROM [My Table] ORDER BY name DESC", s.get());
    EXPECT_EQ(top.column(0), (std::vector<std::string>{"Gamma"}));
}

TEST(EngineBasics, ConditionalBlocksRunOnlyTheChosenBranch) {
    EngineFixture f;
    f.script("CREATE DATABASE C\nGO\nUSE C\nGO\nCREATE TABLE Log (v varchar(10) NULL)\nGO\n"
             "IF OBJECT_ID('Log') IS NOT NULL\n  INSERT INTO Log VALUES ('then')\n"
             "ELSE\n  INSERT INTO Log VALUES ('else')\n"
             "IF EXISTS (SELECT * FROM sysobjects WHERE name = 'Missing')\nBEGIN\n"
             "  INSERT INTO Log VALUES ('no1')\n  INSERT INTO Log VALUES ('no2')\nEND\n"
             "ELSE BEGIN\n  INSERT INTO Log VALUES ('yes')\n"
             "  IF 1 = 2 INSERT INTO Log VALUES ('nested')\nEND\n"
             "INSERT INTO Log VALUES (CASE WHEN 1 = 1 THEN 'case' ELSE 'x' END)\nGO\n");
    auto s = f.open("C");
    EXPECT_EQ(f.query("SELECT v FROM Log ORDER BY v", s.get()).column(0),
              (std::vector<std::string>{"case", "then", "yes"}));
    f.script("USE C\nGO\nIF OBJECT_ID('Log') IS NOT NULL DROP TABLE Log\nGO\n"
             "IF OBJECT_ID('Log') IS NOT NULL DROP TABLE Log\nGO\n");
    CaptureSink gone = f.run("SELECT * FROM Log", s.get());
    ASSERT_NE(gone.error(), nullptr);
    EXPECT_EQ(gone.error()->number, 208);
    f.script("USE C\nGO\nCREATE TABLE Log2 (v varchar(10) NULL)\nGO\n"
             "IF 1 = 1 BEGIN INSERT INTO Log2 VALUES ('a') INSERT INTO Log2 VALUES ('b') END "
             "ELSE INSERT INTO Log2 VALUES ('c')\nGO\n");
    EXPECT_EQ(f.query("SELECT v FROM Log2 ORDER BY v", s.get()).column(0),
              (std::vector<std::string>{"a", "b"}));
}
