// T-SQL expression semantics as SQL Server evaluates them: literals, operators, LIKE,
// conversions, string and date functions, DISTINCT, TOP, subqueries and unions.
#include "test_engine_support.h"

using namespace sqlsim;
using namespace sqlsim::test;

namespace {

class Tsql : public ::testing::Test {
protected:
    void SetUp() override {
        f.script(
            "CREATE TABLE dbo.P (id int NOT NULL, name varchar(20) NULL, city nvarchar(20) NULL,"
            " price decimal(8,2) NULL, born datetime NULL)\nGO\n"
            "INSERT INTO P VALUES (1, 'Anna', N'Oslo', 10.5, '1990-05-17')\n"
            "INSERT INTO P VALUES (2, 'bert', N'oslo', 3, '1985-12-01 13:45:10.250')\n"
            "INSERT INTO P VALUES (3, 'Carl_x', N'Bergen', NULL, NULL)\n"
            "INSERT INTO P VALUES (4, 'dora]', NULL, 7.25, '2000-02-29')\nGO\n");
    }
    std::string one(const std::string& expr) {
        ResultSet r = f.query("SELECT " + expr);
        return r.rows.empty() ? "<none>" : r.at(0, 0);
    }
    std::vector<std::string> col(const std::string& sql) { return f.query(sql).column(0); }
    EngineFixture f;
};

} // namespace

TEST_F(Tsql, PlusJoinsStringsAndAddsNumbers) {
    EXPECT_EQ(one("'ab' + 'cd'"), "abcd");
    EXPECT_EQ(one("N'x' + name FROM P WHERE id = 1"), "xAnna");
    EXPECT_EQ(one("name + ' ' + city FROM P WHERE id = 1"), "Anna Oslo");
    EXPECT_EQ(one("1 + 2 * 3"), "7");
    EXPECT_EQ(one("(1 + 2) * 3"), "9");
    EXPECT_EQ(one("10 - 2 - 3"), "5");
    EXPECT_EQ(one("-id + 10 FROM P WHERE id = 4"), "6");
    EXPECT_EQ(one("id + price FROM P WHERE id = 1"), "11.5");
    EXPECT_EQ(one("name + NULL FROM P WHERE id = 1"), "NULL");
    EXPECT_EQ(one("7 % 3"), "1");
}

TEST_F(Tsql, LikeUsesTsqlPatternsCaseInsensitively) {
    EXPECT_EQ(col("SELECT id FROM P WHERE name LIKE '[a-b]%' ORDER BY id"),
              (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(col("SELECT id FROM P WHERE name LIKE '[^a-c]%' ORDER BY id"),
              (std::vector<std::string>{"4"}));
    EXPECT_EQ(col("SELECT id FROM P WHERE name LIKE '%[_]%'"), (std::vector<std::string>{"3"}));
    EXPECT_EQ(col("SELECT id FROM P WHERE name LIKE '%!_%' ESCAPE '!'"),
              (std::vector<std::string>{"3"}));
    EXPECT_EQ(col("SELECT id FROM P WHERE name LIKE 'ANN_'"), (std::vector<std::string>{"1"}));
    EXPECT_EQ(col("SELECT id FROM P WHERE city = 'OSLO' ORDER BY id"),
              (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(col("SELECT id FROM P WHERE name NOT LIKE '%a%' ORDER BY id"),
              (std::vector<std::string>{"2"}));
}

TEST_F(Tsql, BracketsQuotesAndNStrings) {
    ASSERT_EQ(f.run("CREATE TABLE [odd]]name] ([a b] int NULL, [select] nvarchar(5) NULL)").error(),
              nullptr);
    ASSERT_EQ(f.run("INSERT INTO [odd]]name] ([a b], [select]) VALUES (1, N'it''s')").error(),
              nullptr);
    ResultSet r = f.query("SELECT [a b], [select] AS [the]]value] FROM [dbo].[odd]]name]");
    EXPECT_EQ(r.cols[1].name, "the]value");
    EXPECT_EQ(r.at(0, 1), "it's");
    EXPECT_EQ(one("N'\xC3\xA6\xC3\xB8\xC3\xA5'"), "\xC3\xA6\xC3\xB8\xC3\xA5");
    EXPECT_EQ(one("LEN(N'\xC3\xA6\xC3\xB8\xC3\xA5 ')"), "3");
}

TEST_F(Tsql, ConversionsAndTheirResultTypes) {
    ResultSet r = f.query("SELECT CAST(price AS int) AS i, CONVERT(varchar(5), id) AS v, "
                          "CAST('12' AS int) + 1 AS n, CONVERT(varchar(10), born, 112) AS ymd, "
                          "CONVERT(decimal(6,1), 2.26) AS d, CAST(born AS varchar(30)) AS t "
                          "FROM P WHERE id = 1");
    EXPECT_EQ(r.cols[0].type, SqlType::Int);
    EXPECT_EQ(r.cols[1].type, SqlType::VarChar);
    EXPECT_EQ(r.cols[1].size, 5);
    EXPECT_EQ(r.cols[4].type, SqlType::Decimal);
    EXPECT_EQ(r.at(0, 0), "10");
    EXPECT_EQ(r.at(0, 1), "1");
    EXPECT_EQ(r.at(0, 2), "13");
    EXPECT_EQ(r.at(0, 3), "19900517");
    EXPECT_EQ(r.at(0, 4), "2.3");
    CaptureSink bad = f.run("SELECT CAST('abc' AS int)");
    ASSERT_NE(bad.error(), nullptr);
    CaptureSink type = f.run("SELECT CAST(1 AS nosuchtype)");
    ASSERT_NE(type.error(), nullptr);
    EXPECT_EQ(type.error()->number, 243);
}

TEST_F(Tsql, StringAndDateFunctions) {
    EXPECT_EQ(one("LEN('abc   ')"), "3");
    EXPECT_EQ(one("DATALENGTH('abc  ')"), "5");
    // CHAR and NCHAR give one character, a NUL included; out of range is NULL.
    EXPECT_EQ(one("'a' + CHAR(66) + NCHAR(233)"), "aB\xc3\xa9");
    EXPECT_EQ(one("LEN(N'a' + NCHAR(0) + N'b')"), "3");
    EXPECT_EQ(one("CHAR(256)"), "NULL");
    EXPECT_EQ(one("NCHAR(-1)"), "NULL");
    EXPECT_EQ(one("CHARINDEX('SL', city) FROM P WHERE id = 1"), "2");
    EXPECT_EQ(one("CHARINDEX('z', 'abc')"), "0");
    EXPECT_EQ(one("SUBSTRING('abcdef', 2, 3)"), "bcd");
    EXPECT_EQ(one("LEFT('abcdef', 2) + RIGHT('abcdef', 2)"), "abef");
    EXPECT_EQ(one("UPPER(LTRIM(RTRIM('  x  ')))"), "X");
    EXPECT_EQ(one("REPLICATE('ab', 3)"), "ababab");
    EXPECT_EQ(one("REVERSE('abc')"), "cba");
    EXPECT_EQ(one("REVERSE(N'Ωμέγα')"), "αγέμΩ");
    EXPECT_EQ(one("ISNULL(price, -1) FROM P WHERE id = 3"), "-1");
    EXPECT_EQ(one("COALESCE(NULL, NULL, 'z')"), "z");
    EXPECT_EQ(one("YEAR(born) * 100 + MONTH(born) FROM P WHERE id = 2"), "198512");
    EXPECT_EQ(one("DATEADD(day, 1, born) FROM P WHERE id = 4"), "2000-03-01 00:00:00.000");
    EXPECT_EQ(one("DATEADD(month, 1, '2001-01-31')"), "2001-02-28 00:00:00.000");
    EXPECT_EQ(one("DATEDIFF(year, '1999-12-31', '2000-01-01')"), "1");
    EXPECT_EQ(one("DATEPART(hour, born) FROM P WHERE id = 2"), "13");
    ResultSet now = f.query("SELECT GETDATE() AS now");
    EXPECT_EQ(now.cols[0].type, SqlType::DateTime);
    EXPECT_EQ(now.at(0, 0).size(), 23u);
    ResultSet born = f.query("SELECT born FROM P WHERE id = 2");
    EXPECT_EQ(born.at(0, 0), "1985-12-01 13:45:10.250");
}

TEST_F(Tsql, QueryShapes) {
    EXPECT_EQ(col("SELECT DISTINCT city FROM P WHERE city IS NOT NULL"),
              (std::vector<std::string>{"Bergen", "Oslo"}));
    EXPECT_EQ(col("SELECT TOP 2 id FROM P ORDER BY id DESC"), (std::vector<std::string>{"4", "3"}));
    EXPECT_EQ(col("SELECT TOP (1) id FROM P ORDER BY name"), (std::vector<std::string>{"1"}));
    EXPECT_EQ(col("SELECT id FROM P WHERE id IN (SELECT id FROM P WHERE price > 5) ORDER BY 1"),
              (std::vector<std::string>{"1", "4"}));
    EXPECT_EQ(col("SELECT x.n FROM (SELECT id * 2 AS n FROM P) x WHERE x.n > 4 ORDER BY x.n"),
              (std::vector<std::string>{"6", "8"}));
    EXPECT_EQ(col("SELECT name FROM P WHERE id = 1 UNION ALL SELECT 'zz' ORDER BY 1"),
              (std::vector<std::string>{"Anna", "zz"}));
    EXPECT_EQ(col("SELECT COUNT(*) FROM P a INNER JOIN P b ON a.city = b.city"),
              (std::vector<std::string>{"5"}));
    EXPECT_EQ(col("SELECT COUNT(*) FROM P a LEFT OUTER JOIN P b ON a.id = b.id + 10"),
              (std::vector<std::string>{"4"}));
    ResultSet g = f.query("SELECT city, COUNT(*) AS n FROM P GROUP BY city HAVING COUNT(*) > 1");
    EXPECT_EQ(g.column(1), (std::vector<std::string>{"2"}));
    EXPECT_EQ(g.cols[1].type, SqlType::Int);
    ResultSet sorted = f.query("SELECT name FROM P ORDER BY name");
    EXPECT_EQ(sorted.column(0), (std::vector<std::string>{"Anna", "bert", "Carl_x", "dora]"}));
    EXPECT_EQ(f.query("SELECT * FROM P WHERE 1 = 0").rows.size(), 0u);
    EXPECT_EQ(f.query("SELECT * FROM P WHERE 1 = 0").cols.size(), 5u);
}

TEST_F(Tsql, DataChangesReportRowCounts) {
    CaptureSink up = f.run("UPDATE P SET price = price * 2 WHERE price IS NOT NULL");
    ASSERT_EQ(up.error(), nullptr) << up.errorText();
    ASSERT_EQ(up.dones.size(), 1u);
    EXPECT_EQ(up.dones[0].count, 3);
    EXPECT_EQ(one("price FROM P WHERE id = 4"), "14.50");
    CaptureSink del = f.run("DELETE FROM P WHERE id > 2");
    EXPECT_EQ(del.dones.at(0).count, 2);
    CaptureSink ins = f.run("INSERT INTO P (id, name) VALUES (8, 'h'), (9, 'i')");
    EXPECT_EQ(ins.dones.at(0).count, 2);
    EXPECT_EQ(one("COUNT(*) FROM P"), "4");
    EXPECT_EQ(one("@@ROWCOUNT"), "1"); // the COUNT(*) query before answered one row
}
