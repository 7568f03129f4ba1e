// The aggregate forms a column profile sends: COUNT_BIG of rows, of values and of distinct
// values, MIN and MAX (bit and uniqueidentifier cast first), the average and largest length,
// and the most frequent values with TOP, GROUP BY and ORDER BY on the count.
#include "test_engine_support.h"

using namespace sqlsim;
using namespace sqlsim::test;

namespace {

class Aggregates : public ::testing::Test {
protected:
    void SetUp() override {
        f.script("CREATE DATABASE Agg\nGO\nUSE Agg\nGO\n"
                 "CREATE TABLE dbo.[Odd ]]Name] (id int NOT NULL, [na]]me] varchar(20) NULL, "
                 "wide nvarchar(10) NULL, flag bit NULL, g uniqueidentifier NULL, "
                 "raw varbinary(8) NULL, memo text NULL, amount float NULL, "
                 "born datetime NULL)\nGO\n"
                 "INSERT INTO dbo.[Odd ]]Name] VALUES (1, 'ab', N'x', 1, "
                 "'6F9619FF-8B86-D011-B42D-00C04FC964FF', 0x0102, 'long memo', 1.5, "
                 "'2020-01-02')\n"
                 "INSERT INTO dbo.[Odd ]]Name] VALUES (2, 'ab', N'xyz', 0, NULL, 0x01, "
                 "'m', 2.5, '2021-03-04')\n"
                 "INSERT INTO dbo.[Odd ]]Name] VALUES (3, 'c', NULL, 0, NULL, NULL, NULL, "
                 "NULL, NULL)\n"
                 "INSERT INTO dbo.[Odd ]]Name] VALUES (4, NULL, NULL, NULL, NULL, NULL, NULL, "
                 "NULL, NULL)\nGO\n");
        s = f.open("Agg");
    }
    ResultSet q(const std::string& sql) { return f.query(sql, s.get()); }
    EngineFixture f;
    std::unique_ptr<Session> s;
};

} // namespace

TEST_F(Aggregates, ProfileOfCharacterColumnCountsAndMeasures) {
    ResultSet r = q("SELECT COUNT_BIG(*) AS [rows], COUNT_BIG([na]]me]) AS [values], "
                    "COUNT_BIG(DISTINCT [na]]me]) AS [distinct], MIN([na]]me]) AS [min], "
                    "MAX([na]]me]) AS [max], AVG(CAST(LEN([na]]me]) AS float)) AS [avg_len], "
                    "MAX(LEN([na]]me])) AS [max_len] FROM [dbo].[Odd ]]Name]");
    ASSERT_EQ(r.rows.size(), 1u);
    EXPECT_EQ(r.at(0, r.col("rows")), "4");
    EXPECT_EQ(r.at(0, r.col("values")), "3");
    EXPECT_EQ(r.at(0, r.col("distinct")), "2");
    EXPECT_EQ(r.at(0, r.col("min")), "ab");
    EXPECT_EQ(r.at(0, r.col("max")), "c");
    EXPECT_EQ(r.at(0, r.col("avg_len")), "1.66667");
    EXPECT_EQ(r.at(0, r.col("max_len")), "2");
}

TEST_F(Aggregates, BitGuidBinaryAndTextFormsAreAccepted) {
    ResultSet bit = q("SELECT COUNT_BIG(DISTINCT [flag]) AS [distinct], MIN(CAST([flag] AS int)) "
                      "AS [min], MAX(CAST([flag] AS int)) AS [max] FROM [dbo].[Odd ]]Name]");
    EXPECT_EQ(bit.at(0, 0), "2");
    EXPECT_EQ(bit.at(0, 1), "0");
    EXPECT_EQ(bit.at(0, 2), "1");
    ResultSet guid = q("SELECT MIN(CAST([g] AS char(36))) AS [min] FROM [dbo].[Odd ]]Name]");
    EXPECT_EQ(guid.at(0, 0), "6F9619FF-8B86-D011-B42D-00C04FC964FF");
    ResultSet raw = q("SELECT AVG(CAST(DATALENGTH([raw]) AS float)) AS [avg_len], "
                      "MAX(DATALENGTH([raw])) AS [max_len] FROM [dbo].[Odd ]]Name]");
    EXPECT_EQ(raw.at(0, 0), "1.5");
    EXPECT_EQ(raw.at(0, 1), "2");
    ResultSet memo = q("SELECT COUNT_BIG(*) AS [rows], COUNT_BIG([memo]) AS [values], "
                       "AVG(CAST(DATALENGTH([memo]) AS float)) AS [avg_len], "
                       "MAX(DATALENGTH([memo])) AS [max_len] FROM [dbo].[Odd ]]Name]");
    EXPECT_EQ(memo.at(0, 1), "2");
    EXPECT_EQ(memo.at(0, 2), "5");
    EXPECT_EQ(memo.at(0, 3), "9");
    ResultSet wide = q("SELECT MAX(LEN([wide])) FROM [dbo].[Odd ]]Name]");
    EXPECT_EQ(wide.at(0, 0), "3");
}

TEST_F(Aggregates, TopValuesMostFrequentFirstTiesByValue) {
    ResultSet r = q("SELECT TOP 10 [flag] AS [value], COUNT_BIG(*) AS [count] FROM "
                    "[dbo].[Odd ]]Name] WHERE [flag] IS NOT NULL GROUP BY [flag] ORDER BY "
                    "COUNT_BIG(*) DESC, [flag]");
    ASSERT_EQ(r.rows.size(), 2u);
    EXPECT_EQ(r.at(0, r.col("value")), "0");
    EXPECT_EQ(r.at(0, r.col("count")), "2");
    EXPECT_EQ(r.at(1, r.col("value")), "1");
    ResultSet one = q("SELECT TOP 1 [amount] AS [value], COUNT_BIG(*) AS [count] FROM "
                      "[dbo].[Odd ]]Name] WHERE [amount] IS NOT NULL GROUP BY [amount] ORDER BY "
                      "COUNT_BIG(*) DESC, [amount]");
    ASSERT_EQ(one.rows.size(), 1u);
    EXPECT_EQ(one.at(0, 0), "1.5");
}

// SQL Server refuses MIN and MAX over text, ntext and image, also through an alias type and a
// table alias, while the other aggregates and other columns of the same query still run.
TEST_F(Aggregates, MinAndMaxOverLongTypesAreRefusedAsSqlServerDoes) {
    f.script("USE Agg\nGO\nEXEC sp_addtype Memo, 'ntext'\nGO\nCREATE TYPE Pic FROM image\nGO\n"
             "CREATE TABLE dbo.Notes (id int NOT NULL, n Memo NULL, p Pic NULL, t text NULL)\n"
             "GO\nINSERT INTO dbo.Notes VALUES (1, N'a', 0x01, 'x')\nGO\n");
    const struct {
        const char* sql;
        const char* text;
    } refused[] = {
        {"SELECT MIN([memo]) FROM [dbo].[Odd ]]Name]",
         "Operand data type text is invalid for min operator."},
        {"SELECT COUNT_BIG(*), MAX(x.n) FROM dbo.Notes AS x",
         "Operand data type ntext is invalid for max operator."},
        {"SELECT MIN(p) FROM dbo.Notes", "Operand data type image is invalid for min operator."},
        {"SELECT (SELECT MAX(t) FROM dbo.Notes) FROM [dbo].[Odd ]]Name]",
         "Operand data type text is invalid for max operator."},
    };
    for (const auto& c : refused) {
        CaptureSink sink = f.run(c.sql, s.get());
        ASSERT_NE(sink.error(), nullptr) << c.sql;
        EXPECT_EQ(sink.error()->number, 8117) << c.sql;
        EXPECT_EQ(sink.error()->text, c.text) << c.sql;
    }
    // A column of another table in the same query, and lengths of the long column, still run.
    ResultSet ok = q("SELECT MIN(o.id), MAX(DATALENGTH(x.t)) FROM dbo.Notes x JOIN "
                     "[dbo].[Odd ]]Name] o ON o.id = x.id");
    EXPECT_EQ(ok.at(0, 0), "1");
    EXPECT_EQ(ok.at(0, 1), "1");
}

// An alias type keeps its base type's number in systypes.xtype and in sys.types, as on SQL
// Server, so a reader can classify a column by its base type.
TEST_F(Aggregates, AliasTypesShowTheirBaseType) {
    f.script("USE Agg\nGO\nEXEC sp_addtype id, 'varchar(11)', 'NOT NULL'\nGO\n");
    ResultSet old = q("SELECT b.name, a.length FROM systypes a JOIN systypes b ON "
                      "b.xusertype = a.xtype WHERE a.name = 'id'");
    ASSERT_EQ(old.rows.size(), 1u);
    EXPECT_EQ(old.at(0, 0), "varchar");
    EXPECT_EQ(old.at(0, 1), "11");
    ResultSet sys = q("SELECT t.is_user_defined, b.name, t.max_length FROM sys.types t JOIN "
                      "sys.types b ON b.user_type_id = t.system_type_id WHERE t.name = 'id'");
    ASSERT_EQ(sys.rows.size(), 1u);
    EXPECT_EQ(sys.at(0, 0), "1");
    EXPECT_EQ(sys.at(0, 1), "varchar");
    EXPECT_EQ(sys.at(0, 2), "11");
    EXPECT_EQ(q("SELECT is_user_defined FROM sys.types WHERE name = 'varchar'").at(0, 0), "0");
}
