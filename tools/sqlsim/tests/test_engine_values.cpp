// Values as SQL Server converts them: date strings written to datetime columns, compared with
// them and converted by CONVERT styles; bit, money constants, division by zero and @@VERSION.
// Each case runs in both version modes, since the conversions are the same in each and only
// some error texts differ.
#include "test_engine_support.h"

#include "engine/datetime_text.h"

using namespace sqlsim;
using namespace sqlsim::test;

namespace {

class Values : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        f = std::make_unique<EngineFixture>(GetParam());
        f->script("CREATE TABLE dbo.ValOrders (Id int NOT NULL, OrderDate datetime NULL, "
                  "Shipped smalldatetime NULL, Done bit NULL)\nGO\n"
                  "CREATE VIEW dbo.ValOrders1997 AS SELECT Id FROM ValOrders "
                  "WHERE OrderDate BETWEEN '19970101' AND '19971231'\nGO\n");
    }
    bool is2000() const { return std::string(GetParam()) == k2000; }
    std::string one(const std::string& sql) { return f->query(sql).at(0, 0); }
    const ServerMessage* error(const std::string& sql) {
        last = f->run(sql);
        return last.error();
    }
    std::unique_ptr<EngineFixture> f;
    CaptureSink last;
};

TEST_P(Values, DateStringsAreStoredAsDatesWhateverTheirForm) {
    struct Case {
        const char* written;
        const char* stored;
    };
    const Case cases[] = {
        {"7/4/1996", "1996-07-04 00:00:00.000"},
        {"19960705", "1996-07-05 00:00:00.000"},
        {"1996-07-06T13:45:10", "1996-07-06 13:45:10.000"},
        {"1996-07-07T13:45:10.123", "1996-07-07 13:45:10.123"},
        {"Jul 8 1996", "1996-07-08 00:00:00.000"},
        {"9 July 1996", "1996-07-09 00:00:00.000"},
        {"July 10, 1996 2:30PM", "1996-07-10 14:30:00.000"},
        {"1996-07-11 23:59:59.999", "1996-07-12 00:00:00.000"},
        {"1996-07-13 10:00:00.001", "1996-07-13 10:00:00.000"},
        {"1996-07-13 10:00:00.002", "1996-07-13 10:00:00.003"},
        {"1996-07-13 10:00:00.005", "1996-07-13 10:00:00.007"},
        {"7/14/96 10:15", "1996-07-14 10:15:00.000"},
        {"10:30", "1900-01-01 10:30:00.000"},
        {"", "1900-01-01 00:00:00.000"},
    };
    int id = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.written);
        ++id;
        ASSERT_EQ(error("INSERT INTO ValOrders (Id, OrderDate) VALUES (" + std::to_string(id) +
                        ", '" + c.written + "')"),
                  nullptr);
        EXPECT_EQ(one("SELECT OrderDate FROM ValOrders WHERE Id = " + std::to_string(id)),
                  c.stored);
    }
}

TEST_P(Values, RangesSortingAndViewsSeeDatesNotText) {
    f->run("INSERT INTO ValOrders (Id, OrderDate) VALUES (1, '7/4/1996')\n"
           "INSERT INTO ValOrders (Id, OrderDate) VALUES (2, '2/15/1997')\n"
           "INSERT INTO ValOrders (Id, OrderDate) VALUES (3, '11/1/1997')\n"
           "INSERT INTO ValOrders (Id, OrderDate) VALUES (4, '1/2/1998')");
    EXPECT_EQ(one("SELECT COUNT(*) FROM ValOrders WHERE OrderDate BETWEEN '19970101' AND "
                  "'19971231'"),
              "2");
    EXPECT_EQ(one("SELECT COUNT(*) FROM ValOrders WHERE OrderDate >= '1/1/1997'"), "3");
    EXPECT_EQ(one("SELECT COUNT(*) FROM ValOrders o WHERE '1997-02-15' = o.OrderDate"), "1");
    EXPECT_EQ(one("SELECT COUNT(*) FROM ValOrders WHERE OrderDate NOT BETWEEN 'Jan 1 1997' "
                  "AND 'Dec 31 1997'"),
              "2");
    EXPECT_EQ(one("SELECT MIN(OrderDate) FROM ValOrders"), "1996-07-04 00:00:00.000");
    EXPECT_EQ(f->query("SELECT Id FROM ValOrders ORDER BY OrderDate DESC").column(0),
              (std::vector<std::string>{"4", "3", "2", "1"}));
    EXPECT_EQ(one("SELECT COUNT(*) FROM ValOrders1997"), "2");
    // UPDATE and DELETE convert both what they write and what they compare.
    f->run("UPDATE ValOrders SET OrderDate = '12/31/1997' WHERE OrderDate = '1/2/1998'");
    EXPECT_EQ(one("SELECT COUNT(*) FROM ValOrders1997"), "3");
    f->run("DELETE FROM ValOrders WHERE OrderDate < '1/1/1997'");
    EXPECT_EQ(one("SELECT COUNT(*) FROM ValOrders"), "3");
}

TEST_P(Values, DateFormatDecidesTheOrderOfNumericDates) {
    f->run("SET DATEFORMAT dmy\nINSERT INTO ValOrders (Id, OrderDate) VALUES (1, '4/7/1996')\n"
           "INSERT INTO ValOrders (Id, OrderDate) VALUES (2, '19960704')");
    EXPECT_EQ(one("SELECT COUNT(*) FROM ValOrders WHERE OrderDate = '19960704'"), "2");
    // With the day first, a four-digit year first reads as year, day, month.
    EXPECT_EQ(one("SELECT COUNT(*) FROM ValOrders WHERE OrderDate = '1996-04-07'"), "2");
    // Each batch keeps the session's setting until it changes.
    EXPECT_EQ(one("SELECT CONVERT(varchar(10), CAST('13/1/2000' AS datetime), 112)"), "20000113");
    f->run("SET DATEFORMAT ymd");
    EXPECT_EQ(one("SELECT CONVERT(varchar(10), CAST('00/12/31' AS datetime), 101)"), "12/31/2000");
}

TEST_P(Values, ConvertReadsAndWritesTheCommonStyles) {
    struct Case {
        const char* sql;
        const char* result;
    };
    const Case cases[] = {
        {"SELECT CONVERT(varchar(30), CAST('1996-07-04 13:05:09.250' AS datetime), 101)",
         "07/04/1996"},
        // DATENAME writes months and weekdays out; dy is the day of the year.
        {"SELECT DATENAME(mm, '1996-07-04') + ' ' + DATENAME(dw, '1996-07-04')", "July Thursday"},
        {"SELECT DATENAME(yy, '19961231') + '/' + DATENAME(dy, '19961231')", "1996/366"},
        {"SELECT DATEPART(dy, '19970201')", "32"},
        {"SELECT CONVERT(varchar(30), CAST('1996-07-04 13:05:09.250' AS datetime), 103)",
         "04/07/1996"},
        {"SELECT CONVERT(varchar(30), CAST('1996-07-04 13:05:09.250' AS datetime), 112)",
         "19960704"},
        {"SELECT CONVERT(varchar(30), CAST('1996-07-04 13:05:09.250' AS datetime), 120)",
         "1996-07-04 13:05:09"},
        {"SELECT CONVERT(varchar(30), CAST('1996-07-04 13:05:09.250' AS datetime), 121)",
         "1996-07-04 13:05:09.250"},
        {"SELECT CONVERT(varchar(30), CAST('1996-07-04 13:05:09.250' AS datetime), 126)",
         "1996-07-04T13:05:09.250"},
        {"SELECT CONVERT(varchar(30), CAST('1996-07-04 13:05:09' AS datetime), 126)",
         "1996-07-04T13:05:09"},
        {"SELECT CONVERT(varchar(30), CAST('1996-07-04 13:05:09' AS datetime), 100)",
         "Jul  4 1996  1:05PM"},
        {"SELECT CONVERT(datetime, '04/07/1996', 103)", "1996-07-04 00:00:00.000"},
        {"SELECT CONVERT(datetime, '07/04/1996', 101)", "1996-07-04 00:00:00.000"},
        {"SELECT CONVERT(datetime, '19960704', 112)", "1996-07-04 00:00:00.000"},
        {"SELECT CONVERT(datetime, '1996-07-04T10:00:00', 126)", "1996-07-04 10:00:00.000"},
        {"SELECT CAST('1996-07-04 10:00:29.998' AS smalldatetime)", "1996-07-04 10:00:00.000"},
        {"SELECT CAST('1996-07-04 10:00:29.999' AS smalldatetime)", "1996-07-04 10:01:00.000"},
        {"SELECT CAST(1 AS datetime)", "1900-01-02 00:00:00.000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql);
        EXPECT_EQ(one(c.sql), c.result);
    }
}

TEST_P(Values, VariablesConvertToTheirDeclaredType) {
    EXPECT_EQ(one("DECLARE @d datetime\nSET @d = '7/4/1996'\nSELECT @d"),
              "1996-07-04 00:00:00.000");
    EXPECT_EQ(one("DECLARE @d smalldatetime = 'Jul 4 1996 10:00:40'\nSELECT @d"),
              "1996-07-04 10:01:00.000");
    EXPECT_EQ(one("DECLARE @b bit\nSET @b = 5\nSELECT @b"), "1");
    f->run("INSERT INTO ValOrders (Id, OrderDate) VALUES (1, '1996-07-04')");
    EXPECT_EQ(one("DECLARE @d datetime\nSET @d = '7/4/1996'\nSELECT COUNT(*) FROM ValOrders "
                  "WHERE OrderDate = @d"),
              "1");
}

TEST_P(Values, ABitKeepsZeroOrOne) {
    f->run("INSERT INTO ValOrders (Id, Done) VALUES (1, 7)\n"
           "INSERT INTO ValOrders (Id, Done) VALUES (2, 'TRUE')\n"
           "INSERT INTO ValOrders (Id, Done) VALUES (3, 'false')\n"
           "INSERT INTO ValOrders (Id, Done) VALUES (4, -1)");
    EXPECT_EQ(f->query("SELECT Done FROM ValOrders ORDER BY Id").column(0),
              (std::vector<std::string>{"1", "1", "0", "1"}));
    EXPECT_EQ(one("SELECT COUNT(*) FROM ValOrders WHERE Done = 1"), "3");
    f->run("UPDATE ValOrders SET Done = 2 WHERE Id = 3");
    EXPECT_EQ(one("SELECT COUNT(*) FROM ValOrders WHERE Done = 1"), "4");
    EXPECT_EQ(one("SELECT CAST(0.5 AS bit)"), "1");
    const ServerMessage* e = error("SELECT CAST('yes' AS bit)");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->number, 245);
    EXPECT_EQ(e->text, is2000() ? "Syntax error converting the varchar value 'yes' to a column "
                                  "of data type bit."
                                : "Conversion failed when converting the varchar value 'yes' to "
                                  "data type bit.");
}

TEST_P(Values, MoneyConstantsAreNumbers) {
    EXPECT_EQ(one("SELECT $19.99 + 1"), "20.99");
    EXPECT_EQ(one("SELECT -$5.00 * 2"), "-10");
    EXPECT_EQ(one("SELECT $ 3"), "3");
}

TEST_P(Values, DivisionByZeroStopsTheStatement) {
    for (const char* sql : {"SELECT 1/0", "SELECT 7 % 0", "SELECT 1.5 / 0.0",
                            "SELECT CAST(2 AS float) / 0", "SELECT Id / 0 FROM ValOrders"}) {
        SCOPED_TRACE(sql);
        f->run("INSERT INTO ValOrders (Id) VALUES (1)");
        const ServerMessage* e = error(sql);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->number, 8134);
        EXPECT_EQ(e->severity, 16);
        EXPECT_EQ(e->text, "Divide by zero error encountered.");
    }
    EXPECT_EQ(one("SELECT 7 / 2"), "3");
    EXPECT_EQ(one("SELECT 7 % 3"), "1");
}

TEST_P(Values, StringsThatAreNoDatesAreRefused) {
    const ServerMessage* e = error("INSERT INTO ValOrders (Id, OrderDate) VALUES (1, 'soon')");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->number, 241);
    EXPECT_EQ(e->severity, 16);
    EXPECT_EQ(e->text, is2000() ? "Syntax error converting datetime from character string."
                                : "Conversion failed when converting date and/or time from "
                                  "character string.");
    // Refused even when there is no row to compare with.
    e = error("SELECT COUNT(*) FROM ValOrders WHERE OrderDate > '2/30/1997'");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->number, 242);
    EXPECT_EQ(e->text, is2000() ? "The conversion of a char data type to a datetime data type "
                                  "resulted in an out-of-range datetime value."
                                : "The conversion of a varchar data type to a datetime data "
                                  "type resulted in an out-of-range value.");
    e = error("INSERT INTO ValOrders (Id, Shipped) VALUES (1, '1/1/1850')");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->number, 242);
    EXPECT_EQ(one("SELECT COUNT(*) FROM ValOrders"), "0");
}

TEST_P(Values, VersionNamesItsRelease) {
    const std::string v = one("SELECT @@VERSION");
    EXPECT_NE(v.find(is2000() ? "SQL Server 2000 - 8.00.2039" : "SQL Server 2008 R2 - 10.50"),
              std::string::npos)
        << v;
}

INSTANTIATE_TEST_SUITE_P(BothVersions, Values, ::testing::Values(k2000, k2008),
                         [](const auto& info) {
                             return std::string(info.param) == k2000 ? "Sql2000" : "Sql2008R2";
                         });

TEST(VersionRelease, EachMajorVersionNamesItsYear) {
    const std::pair<const char*, const char*> cases[] = {
        {"8.00.2039", "2000"},       {"9.00.5000.00", "2005"}, {"10.0.6000.29", "2008"},
        {"10.50.1600.1", "2008 R2"}, {"11.0.7001.0", "2012"},  {"12.0.6024.0", "2014"},
        {"13.0.5026.0", "2016"},     {"14.0.3456.2", "2017"},  {"15.0.2000.5", "2019"},
        {"16.0.1000.6", "2022"},
    };
    for (const auto& [version, year] : cases) {
        EngineFixture f(version);
        const std::string v = f.query("SELECT @@VERSION").at(0, 0);
        EXPECT_NE(v.find(std::string("SQL Server ") + year + " - " + version), std::string::npos)
            << v;
    }
}

TEST(DateText, RefusesWhatIsNoDate) {
    for (const char* text : {"soon", "1996-07-04T", "2000 01 01", "7/4", "13:61",
                             "1996-07-04 "
                             "10:00:00.1234",
                             "25 de Diciembre 2011", "12345"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(parseDateTimeText(text, DateOrder::Mdy).status, DateConversion::Status::Invalid);
    }
    for (const char* text : {"2/30/1997", "13/1/1997", "1/1/1752"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(parseDateTimeText(text, DateOrder::Mdy).status,
                  DateConversion::Status::OutOfRange);
    }
    EXPECT_EQ(parseDateTimeText("6/7/2079 00:00", DateOrder::Mdy, DateKind::SmallDateTime).status,
              DateConversion::Status::OutOfRange);
    EXPECT_EQ(parseDateTimeText("2000-01-13", DateOrder::Dmy).status,
              DateConversion::Status::OutOfRange); // read as year, day, month
}

} // namespace
