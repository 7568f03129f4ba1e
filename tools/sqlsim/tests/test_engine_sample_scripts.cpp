// Scripts written the way DBAs write them load as a client sends them, batch by batch, and the
// databases they build answer as SQL Server's would: dates compare as dates, keys and checks
// hold, triggers move stock, identities move past explicit values, ALTERed modules keep CREATE.
#include "test_engine_support.h"

using namespace sqlsim;
using namespace sqlsim::test;

namespace {

int errorNumber(EngineFixture& f, const std::string& sql) {
    CaptureSink sink = f.run(sql);
    return sink.error() ? sink.error()->number : 0;
}

class ClassicScript : public ::testing::TestWithParam<const char*> {};

} // namespace

TEST_P(ClassicScript, LoadsAndAnswersAsTheServerWould) {
    EngineFixture f(GetParam());
    auto errors = loadAsClient(f, fixture("classic_chandlery.sql"));
    EXPECT_TRUE(errors.empty()) << joined(errors);
    f.run("USE Chandlery");

    // m/d/yyyy, yyyymmdd, ISO 8601 and month-name dates were stored as dates.
    EXPECT_EQ(scalar(f, "SELECT COUNT(*) FROM Orders WHERE OrderDate BETWEEN '19970101' AND "
                        "'19971231'"),
              "3");
    EXPECT_EQ(scalar(f, "SELECT COUNT(*) FROM \"Orders of 1997\""), "3");
    EXPECT_EQ(scalar(f, "SELECT MIN(OrderDate) FROM Orders"), "1996-07-04 00:00:00.000");
    EXPECT_EQ(scalar(f, "SELECT TOP 1 OrderID FROM Orders ORDER BY OrderDate DESC"), "10254");
    EXPECT_EQ(scalar(f, "SELECT OrderID FROM Orders WHERE OrderDate = '3/3/1998'"), "10254");
    EXPECT_EQ(scalar(f, "SELECT COUNT(*) FROM Orders WHERE ShippedDate < 'Jan 4 1997'"), "2");

    // Identities moved past the explicit values; bit keeps 1 for a non-zero value.
    EXPECT_EQ(scalar(f, "SELECT ProductName FROM Products WHERE ProductID = 6"),
              "Foghorn, hand pumped");
    EXPECT_EQ(scalar(f, "SELECT CAST(Discontinued AS int) FROM Products WHERE ProductID = 6"), "1");
    EXPECT_EQ(scalar(f, "SELECT SupplierID FROM Suppliers WHERE HarbourCode = 'HALIF'"), "4");
    EXPECT_EQ(scalar(f, "SELECT IDENT_CURRENT('Orders')"), "10254");

    // Money literals and the views' nested joins.
    EXPECT_EQ(scalar(f, "SELECT CAST(ROUND(SUM(Freight) * 100, 0) AS int) FROM Orders"), "28361");
    EXPECT_EQ(scalar(f, "SELECT CAST(ROUND(Total * 100, 0) AS int) FROM \"Order Totals\" WHERE "
                        "OrderID = 10248"),
              "23850");
    EXPECT_EQ(scalar(f, "SELECT COUNT(*) FROM \"Supplier Lines\""), "8");

    // Keys, references, checks and NOT NULL hold; a refused statement changes nothing.
    EXPECT_EQ(errorNumber(f, "INSERT Harbours VALUES ('ABERD', N'Again', NULL)"), 2627);
    EXPECT_EQ(errorNumber(f, "DELETE FROM Customers WHERE CustomerID = 'ALBAT'"), 547);
    EXPECT_EQ(errorNumber(f, "UPDATE Products SET UnitPrice = -1 WHERE ProductID = 5"), 547);
    EXPECT_EQ(errorNumber(f, "INSERT OrderLines (OrderID, ProductID, UnitPrice, Quantity) "
                             "VALUES (10250, 5, $1, NULL)"),
              515);
    EXPECT_EQ(errorNumber(f, "INSERT OrderLines VALUES (10999, 5, $1, 1)"), 547);
    EXPECT_EQ(scalar(f, "SELECT COUNT(*) FROM OrderLines"), "8");
    EXPECT_EQ(scalar(f, "SELECT UnitPrice FROM Products WHERE ProductID = 5"), "6.9500");
    EXPECT_EQ(errorNumber(f, "SELECT CAST('the fourth of July' AS datetime)"), 241);

    // The key added unchecked and switched on is enforced but not trusted, and cascades.
    EXPECT_EQ(scalar(f, "SELECT OBJECTPROPERTY(OBJECT_ID('FK_StockMoves_Products'), "
                        "'CnstIsNotTrusted') + OBJECTPROPERTY(OBJECT_ID('FK_StockMoves_Products'), "
                        "'CnstIsDeleteCascade')"),
              "2");
    EXPECT_EQ(errorNumber(f, "INSERT StockMoves (ProductID, Delta) VALUES (99, 1)"), 547);

    // The alias types are listed with their base types.
    EXPECT_EQ(scalar(f, "SELECT t.name FROM systypes u INNER JOIN systypes t ON t.xtype = "
                        "u.xtype AND t.xusertype = t.xtype WHERE u.name = 'PhoneNo'"),
              "varchar");
}

// The order lines' trigger moved stock with inserted, and the procedures run with dates given
// as text.
TEST_P(ClassicScript, TriggersAndProceduresRun) {
    EngineFixture f(GetParam());
    auto errors = loadAsClient(f, fixture("classic_chandlery.sql"));
    EXPECT_TRUE(errors.empty()) << joined(errors);
    f.run("USE Chandlery");
    EXPECT_EQ(scalar(f, "SELECT UnitsInStock FROM Products WHERE ProductID = 1"), "37");
    EXPECT_EQ(scalar(f, "SELECT UnitsInStock FROM Products WHERE ProductID = 2"), "108");
    EXPECT_EQ(scalar(f, "SELECT COUNT(*) FROM StockMoves"), "8");

    // The procedures run with dates given as text.
    CaptureSink sales = f.run("EXEC \"Sales by Year\" '1/1/1997', '12/31/1997'");
    EXPECT_EQ(sales.error(), nullptr) << sales.errorText();
    ASSERT_FALSE(sales.sets.empty());
    EXPECT_EQ(sales.sets[0].rows.size(), 2u);
    CaptureSink restock = f.run("EXEC Restock 5, 0");
    ASSERT_NE(restock.error(), nullptr);
    EXPECT_EQ(restock.error()->number, 50000);
    EXPECT_EQ(restock.error()->text, "Restock needs a positive number of units.");
}

INSTANTIATE_TEST_SUITE_P(BothVersions, ClassicScript, ::testing::Values(k2000, k2008));

// A script of today: the 2008 date and time types, computed columns, extended properties, a
// procedure made as a stub and ALTERed, and a key that cascades.
TEST(ModernScript, LoadsAndAnswersAsTheServerWould) {
    EngineFixture f(k2008);
    auto errors = loadAsClient(f, fixture("modern_fleet.sql"));
    EXPECT_TRUE(errors.empty()) << joined(errors);
    f.run("USE FleetOps");

    EXPECT_EQ(scalar(f, "SELECT CAST(TonnageRatio AS decimal(5, 3)) FROM fleet.Vessel WHERE "
                        "VesselId = 1"),
              "0.300");
    // decimal outranks money: decimal(9,1) times money's decimal(19,4) is decimal(29,5).
    EXPECT_EQ(scalar(f, "SELECT LabourCost FROM work.WorkOrder WHERE WorkOrderId = 1"),
              "1462.50000");
    EXPECT_EQ(scalar(f, "SELECT COUNT(*) FROM work.OpenWork"), "3");
    EXPECT_EQ(scalar(f, "SELECT COUNT(*) FROM work.WorkOrder WHERE OpenedAt >= '20240201'"), "3");
    EXPECT_EQ(scalar(f, "SELECT MIN(DueBy) FROM work.WorkOrder"), "2024-01-12");
    EXPECT_EQ(scalar(f, "SELECT COUNT(*) FROM sys.computed_columns WHERE object_id = "
                        "OBJECT_ID('work.WorkOrder')"),
              "2");
    EXPECT_EQ(scalar(f, "SELECT CAST(value AS nvarchar(100)) FROM fn_listextendedproperty("
                        "N'MS_Description', N'SCHEMA', N'fleet', N'TABLE', N'Vessel', NULL, NULL)"),
              "Ships in service or laid up.");
    EXPECT_EQ(scalar(f, "SELECT TYPE_NAME(system_type_id) FROM sys.types WHERE name = "
                        "'ImoNumber'"),
              "char");
    // The ALTERed procedure's definition reads as a CREATE.
    EXPECT_EQ(scalar(f, "SELECT LEFT(definition, 34) FROM sys.sql_modules WHERE object_id = "
                        "OBJECT_ID('work.CloseWorkOrder')"),
              "CREATE PROCEDURE work.CloseWorkOrd");

    CaptureSink close = f.run("EXEC work.CloseWorkOrder 2, '2024-02-03T10:00:00'");
    EXPECT_EQ(close.error(), nullptr) << close.errorText();
    CaptureSink again = f.run("EXEC work.CloseWorkOrder 2");
    ASSERT_NE(again.error(), nullptr);
    EXPECT_EQ(again.error()->text, "Work order 2 is not open.");
    EXPECT_EQ(errorNumber(f, "UPDATE fleet.Vessel SET NetTonnage = 5000 WHERE VesselId = 1"), 547);
    EXPECT_EQ(errorNumber(f, "INSERT INTO fleet.Vessel (Imo, VesselName, GrossTonnage, "
                             "NetTonnage) VALUES ('9145023', N'Copy', 1, 1)"),
              2627);
    // Deleting a vessel takes its work orders with it.
    EXPECT_EQ(f.run("DELETE FROM fleet.Vessel WHERE VesselId = 3").error(), nullptr);
    EXPECT_EQ(scalar(f, "SELECT COUNT(*) FROM work.WorkOrder"), "3");
}

// A maintenance library of today: installs twice over, and its procedures log what they run
// with table variables, TRY ... CATCH and dynamic SQL.
TEST(UpkeepLibrary, InstallsTwiceAndLogsWhatItRuns) {
    EngineFixture f(k2008);
    const std::string library = fixture("upkeep_library.sql");
    auto errors = loadAsClient(f, library);
    EXPECT_TRUE(errors.empty()) << joined(errors);
    // The install is re-runnable, apart from the database it creates.
    std::string again = library.substr(library.find("USE DbaUpkeep"));
    errors = loadAsClient(f, again);
    EXPECT_TRUE(errors.empty()) << joined(errors);
    f.run("USE DbaUpkeep");
    EXPECT_EQ(scalar(f, "SELECT LEFT(OBJECT_DEFINITION(OBJECT_ID('dbo.RunLogged')), 34)"),
              "CREATE PROCEDURE [dbo].[RunLogged]");

    CaptureSink run = f.run("EXEC dbo.RunLogged @DatabaseName = N'DbaUpkeep', "
                            "@Command = N'SELECT 1 AS one', @CommandType = N'CHECK'");
    EXPECT_EQ(run.error(), nullptr) << run.errorText();
    EXPECT_EQ(scalar(f, "SELECT COUNT(*) FROM dbo.CommandLog WHERE EndTime >= StartTime AND "
                        "ErrorNumber = 0"),
              "1");
    CaptureSink bad = f.run("EXEC dbo.RunLogged @DatabaseName = N'DbaUpkeep', @Command = N'', "
                            "@CommandType = N'CHECK'");
    ASSERT_NE(bad.error(), nullptr);
    EXPECT_EQ(bad.error()->text, "The value for the parameter @Command is not supported.");

    // The statistics procedure walks its table variable and logs a command per table.
    CaptureSink stats = f.run("EXEC dbo.StatisticsUpkeep @DatabaseName = N'DbaUpkeep'");
    EXPECT_EQ(stats.error(), nullptr) << stats.errorText();
    EXPECT_EQ(scalar(f, "SELECT COUNT(*) FROM dbo.CommandLog WHERE CommandType = "
                        "'UPDATE_STATISTICS' AND ErrorNumber = 0"),
              scalar(f, "SELECT COUNT(*) FROM sys.tables"));
    EXPECT_EQ(scalar(f, "SELECT MIN(Command) FROM dbo.CommandLog WHERE CommandType = "
                        "'UPDATE_STATISTICS'"),
              "UPDATE STATISTICS [dbo].[CommandLog]");
}
