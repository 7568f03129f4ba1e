// The synchronisation script run where it is meant to run: compare, write the script, run it on
// the target with tsql (the simulator checks foreign keys), compare again and find every pair
// identical. Over the demo with orders and their lines removed on either side, and over tables
// that reference themselves or each other.
#include "data_compare_support.h"
#include "dbcompare/data_sync_script.h"
#include "util/text.h"

#include <cstdlib>
#include <fstream>

namespace orv::test {
namespace {

// Runs batches with tsql (its batch separator is "go") and hands back what it printed.
std::string Tsql(const CatalogSim& f, const std::string& name, const std::string& batches) {
    const std::string conf = f.env.PathOf("freetds.conf");
    std::ofstream(conf) << "[global]\n\tclient charset = UTF-8\n\ttds version = 7.3\n";
    const std::string in = f.env.PathOf(name + ".sql"), out = f.env.PathOf(name + ".out");
    std::string text = ReplaceAll(batches, "\r\nGO\r\n", "\r\ngo\r\n");
    std::ofstream(in, std::ios::binary) << text << "\ngo\nexit\n";
    const std::string command = "FREETDSCONF='" + conf + "' LANG=C.UTF-8 timeout 120 tsql -H " +
                                "127.0.0.1 -p " + std::to_string(f.sim->Port()) + " -U '" +
                                f.server.LoginName + "' -P '" + f.server.Pwd + "' < '" + in +
                                "' > '" + out + "' 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
    return ReadTextFile(out);
}

DataCompareRequest Request(const CatalogSim& f, const std::string& source,
                           const std::string& target) {
    DataCompareRequest r;
    r.Place[0] = {f.server, source, 60};
    r.Place[1] = {f.server, target, 60};
    r.AllTables = true;
    r.Mode = DataCompareMode::Merge;
    r.Sync.MadeAt = "2024-05-06 07:08:09";
    return r;
}

std::string ScriptFor(const DataCompareRequest& request) {
    std::string script, error;
    NullProgressSink sink;
    CancelToken cancel;
    EXPECT_TRUE(CompareForSyncScript(request, sink, cancel, script, error)) << error;
    return script;
}

void ExpectEveryPairIdentical(const DataCompareRequest& request) {
    DataCompareResultsPtr after = RunData(request);
    ASSERT_TRUE(after->Complete()) << after->Problem;
    for (const DataTableResult& t : after->Tables) {
        if (t.HasSource && t.HasTarget && t.Status != DataPairStatus::NotComparable) {
            EXPECT_EQ(t.Status, DataPairStatus::Identical) << t.DisplayName() << "\n"
                                                           << RowsText(t);
        }
    }
}

size_t At(const std::string& script, const std::string& text) {
    const size_t at = script.find(text);
    EXPECT_NE(at, std::string::npos) << text << "\n" << script;
    return at;
}

// Order 1000 and everything hanging off it are gone from the source (the script deletes them,
// referencing rows first); order 1001 and its lines, shipments and invoices are gone from the
// target (the script inserts them, referenced rows first); order 1002 differs.
std::string RemoveOrder(const std::string& db, int order) {
    const std::string id = std::to_string(order);
    return "USE " + db + "\nGO\n" + "DELETE FROM dbo.ShipmentLines WHERE OrderID = " + id + "\n" +
           "DELETE FROM dbo.Shipments WHERE OrderID = " + id + "\n" +
           "DELETE FROM dbo.CreditNotes WHERE InvoiceID IN (SELECT InvoiceID FROM "
           "dbo.Invoices WHERE OrderID = " +
           id + ")\n" +
           "DELETE FROM dbo.Payments WHERE InvoiceID IN (SELECT InvoiceID FROM dbo.Invoices "
           "WHERE OrderID = " +
           id + ")\n" + "DELETE FROM dbo.InvoiceLines WHERE OrderID = " + id + "\n" +
           "DELETE FROM dbo.InvoiceLines WHERE InvoiceID IN (SELECT InvoiceID FROM dbo.Invoices "
           "WHERE OrderID = " +
           id + ")\n" + "DELETE FROM dbo.Invoices WHERE OrderID = " + id + "\n" +
           "DELETE FROM dbo.Attachments WHERE OrderID = " + id + "\n" +
           "DELETE FROM dbo.OrderLines WHERE OrderID = " + id + "\n" +
           "DELETE FROM dbo.Orders WHERE OrderID = " + id + "\nGO\n";
}

TEST(DataSyncRoundTrip, TheDemoWithOrdersRemovedOnEitherSideComesOutIdentical) {
    CatalogSim f(kVersion2008, {"demo_source.sql", "demo_target.sql"},
                 {RemoveOrder("OrvaneDemoSource", 1000) + RemoveOrder("OrvaneDemoTarget", 1001) +
                  "USE OrvaneDemoTarget\nGO\nUPDATE dbo.Orders SET Freight = 1 WHERE OrderID = "
                  "1002\nGO\n"});
    ASSERT_SIM_STARTED(f);
    const DataCompareRequest request = Request(f, "OrvaneDemoSource", "OrvaneDemoTarget");
    const std::string script = ScriptFor(request);

    // The header names both sides and the target; the guard stops it anywhere else.
    EXPECT_NE(script.find("-- Target: server " + f.server.Name + ", database OrvaneDemoTarget"),
              std::string::npos);
    EXPECT_NE(script.find("-- Made 2024-05-06 07:08:09 by Orvane "), std::string::npos);
    const size_t use = At(script, "USE [OrvaneDemoTarget];\r\nGO\r\n"),
                 guard = At(script, "IF DB_NAME() <> N'OrvaneDemoTarget'"),
                 begin = At(script, "BEGIN TRANSACTION;");
    EXPECT_TRUE(use < guard && guard < begin);
    // Referencing tables lose their rows first; referenced ones gain theirs first.
    EXPECT_LT(At(script, "DELETE FROM [dbo].[OrderLines] WHERE [OrderID] = 1000"),
              At(script, "DELETE FROM [dbo].[Orders] WHERE [OrderID] = 1000"));
    EXPECT_LT(At(script, "INSERT INTO [dbo].[Orders] ([OrderID]"),
              At(script, "INSERT INTO [dbo].[OrderLines] ([OrderID]"));
    // The target's triggers (trg_Orders_Audit, trg_OrderLines_Reserve) are kept out.
    EXPECT_LT(At(script, "DISABLE TRIGGER ALL ON [dbo].[Orders];"),
              script.find("DELETE FROM [dbo].[OrderLines]"));
    EXPECT_GT(At(script, "ENABLE TRIGGER ALL ON [dbo].[Orders];"),
              script.find("INSERT INTO [dbo].[OrderLines]"));

    const std::string output = Tsql(f, "sync", script);
    EXPECT_EQ(output.find("Msg "), std::string::npos) << output;
    ExpectEveryPairIdentical(request);
}

class DataSyncCycles : public BothVersions {};

TEST_P(DataSyncCycles, SelfReferenceAndTwoTableCycleRunWithTheirKeysSwitchedOffAndOnAgain) {
    CatalogSim f(GetParam(), {"sync_cycles.sql"});
    ASSERT_SIM_STARTED(f);
    const DataCompareRequest request = Request(f, "SyncSource", "SyncTarget");
    const std::string script = ScriptFor(request);
    const bool later = GetParam() != kVersion2000;

    for (const char* fk : {"[dbo].[Staff] NOCHECK CONSTRAINT [FK_Staff_Manager]",
                           "[dbo].[Members] NOCHECK CONSTRAINT [FK_Members_Teams]",
                           "[dbo].[Teams] NOCHECK CONSTRAINT [FK_Teams_Lead]"}) {
        const std::string key = std::string(fk).substr(std::string(fk).find("[FK_"));
        const std::string table = std::string(fk).substr(0, std::string(fk).find(" NOCHECK"));
        EXPECT_LT(At(script, "ALTER TABLE " + std::string(fk) + ";"),
                  At(script, "INSERT INTO " + table));
        EXPECT_GT(At(script, "ALTER TABLE " + table + " WITH CHECK CHECK CONSTRAINT " + key),
                  script.find("INSERT INTO " + table));
    }
    EXPECT_NE(script.find("-- Foreign keys that form a cycle"), std::string::npos);
    // MemberLog is not changed, so its foreign-key-free table is neither ordered nor touched.
    EXPECT_EQ(script.find("[dbo].[MemberLog]"), std::string::npos);
    EXPECT_NE(script.find(later ? "DISABLE TRIGGER ALL ON [dbo].[Members];"
                                : "ALTER TABLE [dbo].[Members] DISABLE TRIGGER ALL;"),
              std::string::npos)
        << script;

    // Run in another database, the guard stops it before anything changes.
    const auto before = Summary(*RunData(request));
    const std::string elsewhere = ReplaceAll(script, "USE [SyncTarget];", "USE [SyncSource];");
    std::string output = Tsql(f, "wrong", elsewhere);
    EXPECT_NE(output.find("This script was made for the database SyncTarget"), std::string::npos)
        << output;
    EXPECT_EQ(Summary(*RunData(request)), before);

    output = Tsql(f, "sync", script);
    EXPECT_EQ(output.find("Msg "), std::string::npos) << output;
    ExpectEveryPairIdentical(request);
}

INSTANTIATE_TEST_SUITE_P(Versions, DataSyncCycles, ::testing::Values(kVersion2000, kVersion2008),
                         VersionName);

} // namespace
} // namespace orv::test
