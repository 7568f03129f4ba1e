// Record counts with the schema retry, the numbered report, schema lookups with their fallback,
// and names that try to break out of the SQL they are put in.
#include "catalog/create_builder.h"
#include "catalog/listing.h"
#include "catalog/object_text.h"
#include "catalog/record_counts.h"
#include "catalog/schemas.h"
#include "catalog/table_script.h"
#include "servers/exec_ado_cmd.h"
#include "test_catalog_sim.h"
#include "util/memory_list_control.h"
#include "util/memory_text_view.h"
#include "util/text.h"

namespace orv {
namespace {

using test::CatalogSim;
using test::kVersion2000;
using test::kVersion2008;

class Counts : public test::BothVersions {};

std::string ManyRows(int n) {
    std::string s = "USE CatDb\nGO\nCREATE TABLE dbo.Big (n int NOT NULL)\nGO\n";
    for (int i = 0; i < n; ++i)
        s += "INSERT INTO dbo.Big (n) VALUES (" + std::to_string(i) + ")\n";
    return s + "GO\n";
}

class Runner : public ReportRunner {
public:
    void ShowProgress(const std::string& caption) override { captions.push_back(caption); }
    std::vector<std::string> captions;
};

TEST_P(Counts, ReportCountsEveryTable) {
    CatalogSim f(GetParam(), {"cat_catalog.sql"}, {ManyRows(1234)});
    ASSERT_SIM_STARTED(f);
    RecordsetPtr rs;
    int32_t n = 0;
    std::string d;
    ASSERT_NE(
        ExecAdoCmd(f.server, kAdCmdText, BuildObjSQLString(kTypeTable, true), rs, "CatDb", n, d),
        -1);
    Runner runner;
    const std::string text =
        RecordsetToString(runner, rs.get(), kTypeTable, f.server, "CatDb", true);
    EXPECT_EQ(text.substr(0, 30), "   1  Bare (0 records)\r\n   2  ");
    EXPECT_NE(text.find("  Big (1,234 records)\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("  Customers (1 record)\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("ABORTED"), std::string::npos) << text;
    EXPECT_EQ(runner.captions.front(), "Bare");
}

TEST_P(Counts, CountRetriesWithTheSchemaOnLaterServers) {
    CatalogSim f(GetParam(), {"cat_catalog.sql"});
    ASSERT_SIM_STARTED(f);
    std::string name = "Regions";
    const int32_t count = GetNumberOfRecordsInTable(f.server, name, "CatDb");
    if (GetParam() == kVersion2008) {
        EXPECT_EQ(count, 0);
        EXPECT_EQ(name, "[sales].[Regions]");
        EXPECT_TRUE(f.server.SchemaRetryTried);
        EXPECT_TRUE(f.server.SchemaRetrySucceeded);
        EXPECT_TRUE(f.Received("CatDb", "SELECT COUNT(*) AS RecsCount FROM [Regions]"));
        EXPECT_TRUE(f.Received("CatDb", "SELECT COUNT(*) AS RecsCount FROM [sales].[Regions]"));
    } else {
        EXPECT_EQ(count, -1);
        EXPECT_EQ(name, "Regions");
        ASSERT_EQ(f.env.prompter.messages.size(), 1u);
        EXPECT_EQ(f.env.prompter.messages[0].text.rfind(
                      "Error while attempting to count records in table: ", 0),
                  0u);
    }
    std::string empty;
    EXPECT_EQ(GetNumberOfRecordsInTable(f.server, empty, "CatDb"), 0);
}

TEST_P(Counts, SchemaLookupsByIdAndByName) {
    CatalogSim f(GetParam(), {"cat_catalog.sql"});
    ASSERT_SIM_STARTED(f);
    MemoryListControl list;
    MemoryTextView view;
    LoadObjects(f.server, list, view, kTypeTable, "CatDb", false);
    int32_t regionsId = 0;
    for (int row = 0; row < list.Count(); ++row)
        if (list.CellText(row, 0) == "Regions")
            ParseInt32(list.CellText(row, 2), regionsId);
    ASSERT_GT(regionsId, 0);
    std::string schema;
    ASSERT_TRUE(Db_GetObjSchemaById(f.server, kTypeTable, "CatDb", regionsId, schema));
    EXPECT_EQ(schema, "sales");
    EXPECT_FALSE(Db_GetObjSchemaById(f.server, kTypeTable, "CatDb", 0, schema));
    EXPECT_EQ(GetExtendedObjectName(f.server, "CatDb", "Regions", kTypeTable, regionsId),
              "[sales].[Regions]");
    if (GetParam() == kVersion2008) {
        EXPECT_EQ(GetSchemaForObject(f.server, "CatDb", "vOrders", kTypeView), "dbo");
        EXPECT_EQ(GetSchemaForObject(f.server, "CatDb", "trOrders", kTypeTrigger), "dbo");
        EXPECT_EQ(GetExtendedObjectName(f.server, "CatDb", "dbo.Notes", kTypeTable, 0), "[Notes]");
    } else {
        EXPECT_EQ(GetExtendedObjectName(f.server, "CatDb", "Notes", kTypeTable, 0), "[Notes]");
    }
}

TEST(CatalogSchemaFallback, OlderCatalogAnswersWhenSysObjectsIsMissing) {
    CatalogSim f(kVersion2000, {"cat_catalog.sql"});
    ASSERT_SIM_STARTED(f);
    // The entry believes in a later server than the one answering.
    f.server.Version = kVersion2008;
    f.server.VersionMajor = 10;
    f.env.prompter.messages.clear();
    MemoryListControl list;
    MemoryTextView view;
    LoadObjects(f.server, list, view, kTypeTable, "CatDb", false);
    EXPECT_EQ(f.server.VersionMajor, 8);
    EXPECT_TRUE(f.Received("CatDb", "SELECT USER_NAME(uid) FROM sysobjects WHERE [id] = " +
                                        list.CellText(4, 2)));
    std::vector<std::string> names;
    for (int row = 0; row < list.Count(); ++row)
        names.push_back(list.CellText(row, 0));
    std::sort(names.begin(), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "dbo.Orders"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "sales.Orders"), names.end());
    // Only the first lookup tried sys.objects.
    int newer = 0;
    for (const auto& sql : f.Sql("CatDb"))
        newer += sql.find("sys.objects") != std::string::npos ? 1 : 0;
    EXPECT_EQ(newer, 1);
}

TEST_P(Counts, HostileNamesAreHandledAsData) {
    CatalogSim f(GetParam(), {"cat_injection.sql"});
    ASSERT_SIM_STARTED(f);
    const std::string quote = "x'); DROP TABLE t; --";
    const std::string bracket = "a]; DROP TABLE t; --";
    MemoryListControl list;
    MemoryTextView view;
    LoadObjects(f.server, list, view, kTypeTable, "CatInj", false);
    std::vector<std::string> names;
    for (int row = 0; row < list.Count(); ++row)
        names.push_back(list.CellText(row, 0));
    std::sort(names.begin(), names.end());
    ASSERT_EQ(names, (std::vector<std::string>{bracket, "t", quote}));

    for (const auto& name : {quote, bracket}) {
        std::string counted = name;
        EXPECT_EQ(GetNumberOfRecordsInTable(f.server, counted, "CatInj"), name == quote ? 1 : 2);
        int32_t ignored = 0;
        const std::string script =
            GetTableScript(f.server, name, "CatInj", false, ignored, 0, "", false);
        EXPECT_EQ(script, name == quote
                              ? "[Id] [int] IDENTITY(1,1) NOT NULL\r\n[Name] [varchar] (10) NULL"
                              : "[Id] [int] NOT NULL");
        EXPECT_EQ(TrimWhitespaceAndBreaks(GetObjectText(f.server, name, "CatInj", kTypeProcedure)),
                  "");
        std::string drop;
        const std::string create = SQL_BuildCreateStatement(f.server, f.server.Name, "CatInj", name,
                                                            kTypeTable, 0, ",", drop);
        EXPECT_NE(create.find("CREATE TABLE"), std::string::npos);
    }
    EXPECT_TRUE(f.Received("CatInj", "SELECT COUNT(*) AS RecsCount FROM [a]]; DROP TABLE t; --]"));
    EXPECT_TRUE(f.Received("CatInj", "SELECT COUNT(*) AS RecsCount FROM [x'); DROP TABLE t; --]"));
    std::string t = "t";
    EXPECT_EQ(GetNumberOfRecordsInTable(f.server, t, "CatInj"), 1) << "table t must still be there";
    LoadObjects(f.server, list, view, kTypeTable, "CatInj", false);
    EXPECT_EQ(list.Count(), 3);
}

INSTANTIATE_TEST_SUITE_P(Catalog, Counts,
                         ::testing::Values(std::string(kVersion2000), std::string(kVersion2008)),
                         test::VersionName);

} // namespace
} // namespace orv
