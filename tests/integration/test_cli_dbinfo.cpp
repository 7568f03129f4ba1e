// orvane-cli dbinfo run as a separate process against the simulator: the whole report text,
// under both server versions, and the refusals.
#include "catalog/db_info_report.h"
#include "cli_runner.h"
#include "servers/server_list.h"

#include <ctime>
#include <filesystem>
#include <sys/wait.h>

namespace orv {
namespace {

using test::CatalogSim;
using test::CliResult;

class CliDbInfo : public test::CliTest {
protected:
    // The report starts with today's date; a run across midnight may carry either day.
    static bool DatedAsToday(const std::string& text, const std::string& before) {
        const std::string after = DbInfoDateText(std::time(nullptr));
        return text.rfind(before + "\r\n\r\n", 0) == 0 || text.rfind(after + "\r\n\r\n", 0) == 0;
    }
};

TEST_P(CliDbInfo, PrintsTheWholeReportWithCountsAndEmptyTypes) {
    CatalogSim f(GetParam(), {"dbi_inventory.sql"});
    ASSERT_SIM_STARTED(f);
    Store(f);
    const std::string today = DbInfoDateText(std::time(nullptr));
    CliResult r = Run("dbinfo '" + f.server.Name + "' DbiShop");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    ASSERT_TRUE(DatedAsToday(r.out, today)) << r.out;
    const std::string body = r.out.substr(r.out.find("\r\n"));
    EXPECT_EQ(body, "\r\n\r\nDatabase: DbiShop\r\n\r\n"
                    "List of tables\r\n"
                    "   1  Customers (3 records)\r\n"
                    "   2  Orders (1 record)\r\n"
                    "   3  Regions (0 records)\r\n"
                    "\r\n"
                    "List of procedures\r\n"
                    "   1  GetCustomer\r\n"
                    "   2  ListOrders\r\n"
                    "\r\n"
                    "List of functions\r\n"
                    "   1  fnOrderCount\r\n"
                    "\r\n"
                    "List of views\r\n"
                    "   1  vCustomers\r\n"
                    "\r\n"
                    "There are no triggers in this database.\r\n"
                    "\r\n"
                    "List of relationships\r\n"
                    "   1  FK_Orders_Customers\r\n"
                    "\r\n");
    // The table in its own schema was counted under its qualified name, found without a
    // lookup of its own.
    EXPECT_TRUE(f.Received("DbiShop", "SELECT COUNT(*) AS RecsCount FROM [sales].[Regions]"));
}

TEST_P(CliDbInfo, EmptyDatabaseUnknownServerAndWrongArguments) {
    CatalogSim f(GetParam(), {"dbi_inventory.sql"});
    ASSERT_SIM_STARTED(f);
    Store(f);
    CliResult empty = Run("dbinfo '" + f.server.Name + "' DbiEmpty");
    ASSERT_EQ(empty.status, 0) << empty.err;
    const std::string body = empty.out.substr(empty.out.find("\r\n"));
    EXPECT_EQ(body, "\r\n\r\nDatabase: DbiEmpty\r\n\r\n"
                    "There are no tables in this database.\r\n\r\n"
                    "There are no procedures in this database.\r\n\r\n"
                    "There are no functions in this database.\r\n\r\n"
                    "There are no views in this database.\r\n\r\n"
                    "There are no triggers in this database.\r\n\r\n"
                    "There are no relationships in this database.\r\n\r\n");

    CliResult unknown = Run("dbinfo NoSuchServer DbiShop");
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.out, "");
    EXPECT_NE(unknown.err.find("NoSuchServer"), std::string::npos) << unknown.err;

    CliResult missing = Run("dbinfo '" + f.server.Name + "'");
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("'dbinfo' takes 2 arguments"), std::string::npos) << missing.err;
}

// A name in two schemas is written with its schema (both times), a name in one schema as it
// is; the counts still reach each table.
TEST_P(CliDbInfo, NamesSharedBySchemasAreWrittenQualified) {
    CatalogSim f(GetParam(), {},
                 {"CREATE DATABASE DbiTwins\nGO\nUSE DbiTwins\nGO\n"
                  "CREATE USER sales WITHOUT LOGIN\nGO\n"
                  "CREATE SCHEMA sales AUTHORIZATION sales\nGO\n"
                  "CREATE TABLE dbo.Orders (Id int NOT NULL)\nGO\n"
                  "CREATE TABLE sales.Orders (Id int NOT NULL)\nGO\n"
                  "CREATE TABLE dbo.Zones (Id int NOT NULL)\nGO\n"
                  "INSERT INTO sales.Orders (Id) VALUES (1)\nINSERT INTO sales.Orders (Id) "
                  "VALUES (2)\nGO\n"
                  "CREATE PROCEDURE dbo.Report AS SELECT 1\nGO\n"
                  "CREATE PROCEDURE sales.report AS SELECT 2\nGO\n"
                  "CREATE PROCEDURE dbo.Alone AS SELECT 3\nGO\n"});
    ASSERT_SIM_STARTED(f);
    Store(f);
    CliResult r = Run("dbinfo '" + f.server.Name + "' DbiTwins");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string body = r.out.substr(r.out.find("\r\n"));
    EXPECT_NE(body.find("List of tables\r\n"
                        "   1  dbo.Orders (0 records)\r\n"
                        "   2  sales.Orders (2 records)\r\n"
                        "   3  Zones (0 records)\r\n"),
              std::string::npos)
        << body;
    EXPECT_NE(body.find("   1  Alone\r\n"), std::string::npos) << body;
    EXPECT_NE(body.find("dbo.Report\r\n"), std::string::npos) << body;
    EXPECT_NE(body.find("sales.report\r\n"), std::string::npos) << body;
}

INSTANTIATE_TEST_SUITE_P(Versions, CliDbInfo,
                         ::testing::Values(test::kVersion2000, test::kVersion2008),
                         test::VersionName);

} // namespace
} // namespace orv
