// The date and time types of 2008 (date, time, datetime2, datetimeoffset): stored in SQL
// Server's text forms at the column's scale, converted on write and in comparisons, refused by
// name before 2008; with the catalog numbers SQL Server reports for them.
#include "test_engine_support.h"

using namespace sqlsim;
using namespace sqlsim::test;

namespace {

constexpr const char* k2005 = "9.00.5000.00";

const char* kShifts = "CREATE TABLE dbo.Shift (Id int NOT NULL PRIMARY KEY, Day date NULL, "
                      "Starts time(0) NULL, Precise time NULL, Opened datetime2(3) NULL, "
                      "Logged datetimeoffset(0) NULL)";

} // namespace

TEST(LaterTypes, ValuesAreStoredAndShownInTheTypesTextForms) {
    EngineFixture f(k2008);
    f.run("CREATE DATABASE Rota");
    f.run("USE Rota");
    ASSERT_EQ(f.run(kShifts).error(), nullptr);
    CaptureSink ins =
        f.run("INSERT INTO Shift VALUES (1, '20240108', '07:00', '07:00:00.1234567', "
              "'2024-01-08T07:00:00.12345', '2024-01-08T07:02:00+01:00')\n"
              "INSERT INTO Shift VALUES (2, 'Feb 29 2024', '6:30 PM', '23:59:59.99999999', "
              "'2/1/2024 9:00', '2024-02-01 09:00:00.6 -05:30')");
    // Eight fractional digits are more than time takes.
    ASSERT_NE(ins.error(), nullptr);
    EXPECT_EQ(ins.error()->number, 241);
    ASSERT_EQ(f.run("INSERT INTO Shift VALUES (2, 'Feb 29 2024', '6:30 PM', "
                    "'23:59:59.9999999', '2/1/2024 9:00', '2024-02-01 09:00:00.6 -05:30')")
                  .error(),
              nullptr);

    ResultSet r = f.query("SELECT Day, Starts, Precise, Opened, Logged FROM Shift ORDER BY Id");
    ASSERT_EQ(r.rows.size(), 2u);
    EXPECT_EQ(r.at(0, 0), "2024-01-08");
    EXPECT_EQ(r.at(0, 1), "07:00:00");
    EXPECT_EQ(r.at(0, 2), "07:00:00.1234567");
    EXPECT_EQ(r.at(0, 3), "2024-01-08 07:00:00.123");
    EXPECT_EQ(r.at(0, 4), "2024-01-08 07:02:00 +01:00");
    EXPECT_EQ(r.at(1, 0), "2024-02-29");
    EXPECT_EQ(r.at(1, 1), "18:30:00");
    EXPECT_EQ(r.at(1, 3), "2024-02-01 09:00:00.000");
    // Rounded to the scale: .6 of a second is the next second at scale 0.
    EXPECT_EQ(r.at(1, 4), "2024-02-01 09:00:01 -05:30");
    // The result columns carry the types with their precision and scale.
    EXPECT_EQ(r.cols[0].type, SqlType::Date);
    EXPECT_EQ(r.cols[1].type, SqlType::Time);
    EXPECT_EQ(r.cols[1].scale, 0);
    EXPECT_EQ(r.cols[3].type, SqlType::DateTime2);
    EXPECT_EQ(r.cols[3].precision, 23);
    EXPECT_EQ(r.cols[3].scale, 3);
    EXPECT_EQ(r.cols[4].type, SqlType::DateTimeOffset);
    EXPECT_EQ(r.cols[4].precision, 26);

    // Strings compared with the columns convert to the column's type first.
    EXPECT_EQ(scalar(f, "SELECT COUNT(*) FROM Shift WHERE Day >= '20240201'"), "1");
    EXPECT_EQ(scalar(f, "SELECT Id FROM Shift WHERE Opened = '2024-01-08 07:00:00.123'"), "1");
    EXPECT_EQ(scalar(f, "SELECT Id FROM Shift WHERE Starts < '12:00'"), "1");
    EXPECT_EQ(scalar(f, "SELECT MIN(Day) FROM Shift"), "2024-01-08");
    // UPDATE converts as INSERT does; an impossible date is 241 for the later types, not 242.
    ASSERT_EQ(f.run("UPDATE Shift SET Day = '3/1/2024' WHERE Id = 2").error(), nullptr);
    EXPECT_EQ(scalar(f, "SELECT Day FROM Shift WHERE Id = 2"), "2024-03-01");
    CaptureSink bad = f.run("UPDATE Shift SET Day = '2023-02-29' WHERE Id = 2");
    ASSERT_NE(bad.error(), nullptr);
    EXPECT_EQ(bad.errorText(),
              "241: Conversion failed when converting date and/or time from character string.");
    EXPECT_EQ(scalar(f, "SELECT Day FROM Shift WHERE Id = 2"), "2024-03-01");
}

TEST(LaterTypes, CastConvertAndTheClockFunctions) {
    EngineFixture f(k2008);
    EXPECT_EQ(scalar(f, "SELECT CAST('2024-03-04 08:15:30.5' AS date)"), "2024-03-04");
    EXPECT_EQ(scalar(f, "SELECT CAST('2024-03-04 08:15:30.5' AS time(1))"), "08:15:30.5");
    EXPECT_EQ(scalar(f, "SELECT CONVERT(datetime2(0), '2024-03-04T23:59:59.7')"),
              "2024-03-05 00:00:00");
    EXPECT_EQ(scalar(f, "SELECT CAST('0001-01-01' AS datetime2)"), "0001-01-01 00:00:00.0000000");
    EXPECT_EQ(scalar(f, "SELECT CAST(CAST('2024-03-04' AS date) AS datetime)"),
              "2024-03-04 00:00:00.000");
    EXPECT_EQ(scalar(f, "SELECT CAST(CAST('2024-03-04T10:00:00+02:00' AS datetimeoffset(0)) AS "
                        "datetime2(0))"),
              "2024-03-04 10:00:00");
    // datetime's own range and precision are no limit for the later types.
    CaptureSink old = f.run("SELECT CAST('1500-01-01' AS datetime)");
    ASSERT_NE(old.error(), nullptr);
    EXPECT_EQ(old.error()->number, 242);
    CaptureSink num = f.run("SELECT CAST(5 AS date)");
    ASSERT_NE(num.error(), nullptr);
    EXPECT_EQ(num.errorText(),
              "529: Explicit conversion from data type int to date is not allowed.");

    ResultSet now = f.query("SELECT SYSDATETIME() AS l, SYSUTCDATETIME() AS u, "
                            "SYSDATETIMEOFFSET() AS o");
    ASSERT_EQ(now.rows.size(), 1u);
    EXPECT_EQ(now.cols[0].type, SqlType::DateTime2);
    EXPECT_EQ(now.cols[2].type, SqlType::DateTimeOffset);
    EXPECT_EQ(now.at(0, 0).size(), 27u); // yyyy-mm-dd hh:mm:ss.nnnnnnn
    EXPECT_EQ(now.at(0, 2).size(), 34u); // and " +hh:mm"
    EXPECT_EQ(scalar(f, "SELECT CASE WHEN SYSDATETIME() > '2020-01-01' THEN 1 ELSE 0 END"), "1");
}

TEST(LaterTypes, CatalogReportsTheTypesNumbers) {
    EngineFixture f(k2008);
    f.run("CREATE DATABASE Rota");
    f.run("USE Rota");
    ASSERT_EQ(f.run(kShifts).error(), nullptr);
    ResultSet t = f.query("SELECT name, system_type_id, max_length, precision, scale FROM "
                          "sys.types WHERE name IN ('date', 'time', 'datetime2', "
                          "'datetimeoffset') ORDER BY system_type_id");
    ASSERT_EQ(t.rows.size(), 4u);
    EXPECT_EQ(t.column(0),
              (std::vector<std::string>{"date", "time", "datetime2", "datetimeoffset"}));
    EXPECT_EQ(t.column(1), (std::vector<std::string>{"40", "41", "42", "43"}));
    EXPECT_EQ(t.column(2), (std::vector<std::string>{"3", "5", "8", "10"}));
    EXPECT_EQ(t.column(3), (std::vector<std::string>{"10", "16", "27", "34"}));
    EXPECT_EQ(t.column(4), (std::vector<std::string>{"0", "7", "7", "7"}));

    // Per column, size and precision follow the scale.
    ResultSet c = f.query("SELECT c.name, c.system_type_id, c.max_length, c.precision, c.scale "
                          "FROM sys.columns c WHERE c.object_id = OBJECT_ID('dbo.Shift') AND "
                          "c.column_id > 1 ORDER BY c.column_id");
    ASSERT_EQ(c.rows.size(), 5u);
    EXPECT_EQ(c.column(2), (std::vector<std::string>{"3", "3", "5", "7", "8"}));
    EXPECT_EQ(c.column(3), (std::vector<std::string>{"10", "8", "16", "23", "26"}));
    EXPECT_EQ(c.column(4), (std::vector<std::string>{"0", "0", "7", "3", "0"}));
    EXPECT_EQ(scalar(f, "SELECT xtype FROM syscolumns WHERE id = OBJECT_ID('Shift') AND name = "
                        "'Logged'"),
              "43");
    EXPECT_EQ(scalar(f, "SELECT DATA_TYPE FROM INFORMATION_SCHEMA.COLUMNS WHERE COLUMN_NAME = "
                        "'Opened'"),
              "datetime2");
    // An alias type over datetime2 keeps its scale.
    ASSERT_EQ(f.run("CREATE TYPE dbo.Stamp FROM datetime2(2) NOT NULL").error(), nullptr);
    ASSERT_EQ(f.run("CREATE TABLE dbo.Stamped (At dbo.Stamp)").error(), nullptr);
    ASSERT_EQ(f.run("INSERT INTO Stamped VALUES ('2024-05-06 07:08:09.987')").error(), nullptr);
    EXPECT_EQ(scalar(f, "SELECT At FROM Stamped"), "2024-05-06 07:08:09.99");
}

class EarlierServers : public ::testing::TestWithParam<const char*> {};

TEST_P(EarlierServers, DoNotKnowTheLaterTypes) {
    EngineFixture f(GetParam());
    const bool v2000 = std::string(GetParam()) == k2000;
    CaptureSink t = f.run("CREATE TABLE dbo.Shift (Id int NOT NULL, Day date NULL)");
    ASSERT_NE(t.error(), nullptr);
    EXPECT_EQ(t.error()->number, 2715);
    EXPECT_EQ(t.error()->text, std::string(v2000 ? "Column or parameter #2: Cannot find data type "
                                                   "date."
                                                 : "Column, parameter, or variable #2: Cannot "
                                                   "find data type date."));
    CaptureSink c = f.run("SELECT CAST('2024-01-01' AS datetime2(3))");
    ASSERT_NE(c.error(), nullptr);
    EXPECT_EQ(c.errorText(), "243: Type datetime2 is not a defined system type.");
    CaptureSink d = f.run("DECLARE @t time");
    ASSERT_NE(d.error(), nullptr);
    EXPECT_EQ(d.error()->number, 2715);
    CaptureSink fn = f.run("SELECT SYSDATETIME()");
    ASSERT_NE(fn.error(), nullptr);
    EXPECT_EQ(fn.error()->number, 195);
    EXPECT_EQ(scalar(f, "SELECT COUNT(*) FROM systypes WHERE name IN ('date', 'datetime2')"), "0");
    // A user type may take a name the later server reserves.
    ASSERT_EQ(f.run("EXEC sp_addtype 'date', 'datetime', 'NULL'").error(), nullptr);
    ASSERT_EQ(f.run("CREATE TABLE dbo.Diary (Day date)").error(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Before2008, EarlierServers, ::testing::Values(k2000, k2005));
