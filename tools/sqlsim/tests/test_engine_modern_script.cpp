// The 2008-era sample script loads as a client sends it, batch by batch, and its database
// answers as SQL Server's would: the later date and time types, computed columns, alias types
// made with CREATE TYPE, and descriptions kept as extended properties. (The script's procedure
// and its ON DELETE CASCADE are tested with the statements that run them.)
#include "test_engine_support.h"

using namespace sqlsim;
using namespace sqlsim::test;

namespace {

int errorNumber(EngineFixture& f, const std::string& sql) {
    CaptureSink sink = f.run(sql);
    return sink.error() ? sink.error()->number : 0;
}

} // namespace

TEST(ModernFleet, LoadsAndAnswersAsTheServerWould) {
    EngineFixture f("10.50.1600.1");
    auto errors = loadAsClient(f, fixture("modern_fleet.sql"));
    std::string all;
    for (const auto& e : errors)
        all += e + "\n";
    EXPECT_TRUE(errors.empty()) << all;
    f.run("USE FleetOps");

    EXPECT_EQ(scalar(f, "SELECT CAST(TonnageRatio AS decimal(5, 3)) FROM fleet.Vessel WHERE "
                        "VesselId = 1"),
              "0.300");
    // decimal(9,1) * money: money converts to decimal(19,4), the product is decimal(29,5).
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
    EXPECT_EQ(scalar(f, "SELECT LEFT(definition, 34) FROM sys.sql_modules WHERE object_id = "
                        "OBJECT_ID('work.CloseWorkOrder')"),
              "CREATE PROCEDURE work.CloseWorkOrd");
    EXPECT_EQ(errorNumber(f, "UPDATE fleet.Vessel SET NetTonnage = 5000 WHERE VesselId = 1"), 547);
    EXPECT_EQ(errorNumber(f, "INSERT INTO fleet.Vessel (Imo, VesselName, GrossTonnage, "
                             "NetTonnage) VALUES ('9145023', N'Copy', 1, 1)"),
              2627);
}
