// Definition texts, table scripts, key texts and CREATE statements as a server gives them.
#include "catalog/create_builder.h"
#include "catalog/listing.h"
#include "catalog/object_text.h"
#include "catalog/table_script.h"
#include "core/paths.h"
#include "core/settings.h"
#include "test_catalog_sim.h"
#include "util/memory_list_control.h"
#include "util/memory_text_view.h"
#include "util/text.h"

#include <regex>

namespace orv {
namespace {

using test::CatalogSim;
using test::kVersion2000;
using test::kVersion2008;

class Texts : public test::BothVersions {};

int RowOf(const ListControl& list, const std::string& name) {
    for (int row = 0; row < list.Count(); ++row)
        if (list.CellText(row, 0) == name)
            return row;
    return -1;
}

// The text shown when the row of that listed name is clicked.
std::string Shown(CatalogSim& f, ObjectType type, const std::string& name, MemoryTextView& view) {
    MemoryListControl list;
    LoadObjects(f.server, list, view, type, "CatDb", false);
    const int row = RowOf(list, name);
    EXPECT_GE(row, 0) << name;
    if (row < 0)
        return "<not listed>";
    list.SetSelected(row, true);
    int32_t id = 0;
    ParseInt32(list.CellText(row, 2), id);
    UpdateProcedureTextBox(f.server, view, list, type, "CatDb", name, id);
    return view.Text();
}

std::string Listed(const std::string& version, const std::string& schema, const std::string& name) {
    return version == kVersion2000 ? name : schema + "." + name;
}

TEST_P(Texts, StoredTextIsJoinedAndTrimmed) {
    CatalogSim f(GetParam(), {"cat_catalog.sql"});
    ASSERT_SIM_STARTED(f);
    MemoryTextView view;
    const std::string proc = Shown(f, kTypeProcedure, "LongReport", view);
    EXPECT_EQ(proc.substr(0, 35), "CREATE PROCEDURE dbo.LongReport\r\nAS");
    EXPECT_NE(proc.find("-- line 0045 of the report's explanation, kept for the auditors\r\n"
                        "-- line 0046 of"),
              std::string::npos);
    EXPECT_EQ(proc.substr(proc.size() - 31), "SELECT COUNT(*) FROM dbo.Orders");
    EXPECT_GT(proc.size(), 4000u);

    // Two empty lines before the SELECT stay inside; the breaks around the text go.
    EXPECT_EQ(Shown(f, kTypeView, "vOrders", view),
              "CREATE VIEW dbo.vOrders\r\nAS\r\n\r\n\r\nSELECT OrderID, Amount FROM dbo.Orders");
    EXPECT_TRUE(f.Received("CatDb", "SELECT text FROM syscomments sc INNER JOIN sysobjects so ON "
                                    "sc.id = so.id WHERE so.name = 'vOrders' ORDER BY sc.colid"));
}

TEST_P(Texts, ViewNeverKeepsAnotherObjectsText) {
    CatalogSim f(GetParam(), {"cat_catalog.sql"});
    ASSERT_SIM_STARTED(f);
    MemoryTextView view;
    ASSERT_FALSE(Shown(f, kTypeView, "vOrders", view).empty());
    MemoryListControl list;
    list.AddItem("NoSuchProc");
    list.SetCellText(0, 2, "0");
    UpdateProcedureTextBox(f.server, view, list, kTypeProcedure, "CatDb", "NoSuchProc", 0);
    EXPECT_EQ(view.Text(), "");

    // A listed name with a schema prefix shows that schema's object, found by its id.
    const std::string sales =
        Shown(f, kTypeProcedure, Listed(GetParam(), "sales", "GetOrders"), view);
    if (GetParam() == kVersion2008) {
        EXPECT_EQ(
            sales,
            "CREATE PROCEDURE sales.GetOrders\r\nAS\r\nSELECT OrderID, Stage FROM sales.Orders");
    }
    const std::string dbo = Shown(f, kTypeProcedure, Listed(GetParam(), "dbo", "GetOrders"), view);
    EXPECT_NE(dbo.find("CREATE PROCEDURE"), std::string::npos);
}

TEST_P(Texts, TableScriptsInEveryForm) {
    CatalogSim f(GetParam(), {"cat_catalog.sql"});
    ASSERT_SIM_STARTED(f);
    MemoryTextView view;
    EXPECT_EQ(Shown(f, kTypeTable, Listed(GetParam(), "dbo", "Orders"), view),
              "[OrderID] [int] IDENTITY(1,1) NOT NULL\r\n"
              "[CustomerID] [nchar] (5) NULL\r\n"
              "[Amount] [decimal](18,2) NOT NULL\r\n"
              "[Notes] [ntext] NULL\r\n"
              "[Phone] [PhoneType] NULL\r\n"
              "[Code] [varbinary] (16) NULL\r\n"
              "\r\n"
              "CONSTRAINT [PK_Orders] PRIMARY KEY CLUSTERED ([OrderID])\r\n"
              "INDEX [IX_Orders_Customer] ([CustomerID], [OrderID])\r\n");
    EXPECT_EQ(Shown(f, kTypeTable, "Notes", view), "[NoteID] [int] IDENTITY(100,5) NOT NULL\r\n"
                                                   "[Body] [varchar] (200) NOT NULL\r\n"
                                                   "[Rate] [numeric](9,4) NULL\r\n"
                                                   "\r\n"
                                                   "INDEX [IX_Notes_Body] ([Body])\r\n");
    EXPECT_EQ(Shown(f, kTypeTable, "Logs", view), "[LoggedAt] [datetime] NOT NULL\r\n"
                                                  "[Line] [nvarchar] (100) NULL\r\n"
                                                  "\r\n"
                                                  "CLUSTERED INDEX [IX_C] ([LoggedAt])\r\n");
    // Nothing hangs on Bare, so the index query cannot reach its index.
    EXPECT_EQ(Shown(f, kTypeTable, "Bare", view),
              "[Id] [int] NOT NULL\r\n[Label] [varchar] (10) NULL");
    // The seed of a table outside the login's default schema cannot be read by its bare name.
    EXPECT_EQ(Shown(f, kTypeTable, "Regions", view), "[RegionID] [int] IDENTITY NOT NULL");

    Settings().IgnoreIndexes = true;
    EXPECT_EQ(Shown(f, kTypeTable, "Logs", view), "[LoggedAt] [datetime] NOT NULL\r\n"
                                                  "[Line] [nvarchar] (100) NULL");
}

TEST_P(Texts, IgnoredColumnsLeaveTheStructure) {
    CatalogSim f(GetParam(), {"cat_catalog.sql"});
    ASSERT_SIM_STARTED(f);
    ASSERT_TRUE(test::WriteTextFile(Paths().IgnoredColsStructIni,
                                    "[" + f.server.Name + ".CatDb.Notes]\r\n1=rate\r\n2=BODY\r\n"));
    int32_t ignored = -1;
    EXPECT_EQ(GetTableScript(f.server, "Notes", "CatDb", true, ignored, 0, "", false),
              "[NoteID] [int] IDENTITY(100,5) NOT NULL\r\n\r\nINDEX [IX_Notes_Body] ([Body])\r\n");
    EXPECT_EQ(ignored, 2);
    EXPECT_EQ(GetTableScript(f.server, "Notes", "OtherDb", true, ignored, 0, "", false), "");
}

std::string WithoutDate(const std::string& script) {
    return std::regex_replace(script,
                              std::regex("Script Date: \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d"),
                              "Script Date: <now>");
}

TEST_P(Texts, CreateStatements) {
    CatalogSim f(GetParam(), {"cat_catalog.sql"});
    ASSERT_SIM_STARTED(f);
    MemoryListControl list;
    MemoryTextView view;
    const bool v8 = GetParam() == kVersion2000;
    auto create = [&](ObjectType type, const std::string& name) {
        LoadObjects(f.server, list, view, type, "CatDb", false);
        const int row = RowOf(list, name);
        EXPECT_GE(row, 0) << name;
        int32_t id = 0;
        ParseInt32(list.CellText(row, 2), id);
        std::string drop;
        return WithoutDate(
            SQL_BuildCreateStatement(f.server, f.server.Name, "CatDb", name, type, id, ",", drop));
    };
    const std::string fn = v8 ? "[fnTotal]" : "[dbo].[fnTotal]";
    EXPECT_EQ(create(kTypeFunction, "fnTotal"),
              "USE [CatDb]\r\nGO\r\n/****** Object: Function " + fn +
                  "      ---- Script Date: <now> ******/\r\nSET ANSI_NULLS ON\r\nGO\r\n"
                  "SET QUOTED_IDENTIFIER ON\r\nGO\r\nIF EXISTS (SELECT * FROM dbo.sysobjects\r\n"
                  "WHERE id = object_id('" +
                  fn +
                  "') AND xtype in ('FN', 'IF', 'TF'))\r\n"
                  "DROP Function" +
                  fn + "\r\nGO\r\n\r\n" +
                  GetObjectText(f.server, "fnTotal", "CatDb", kTypeFunction) + " \r\n");

    const std::string orders = create(kTypeTable, Listed(GetParam(), "dbo", "Orders"));
    const std::string ordersName = v8 ? "[Orders]" : "[dbo].[Orders]";
    EXPECT_NE(orders.find("DROP Table" + ordersName + "\r\nGO\r\nCREATE TABLE " + ordersName +
                          " (\r\n"
                          "[OrderID] [int] IDENTITY(1,1) NOT NULL,\r\n"),
              std::string::npos)
        << orders;
    EXPECT_EQ(orders.substr(orders.find("[Code]")),
              "[Code] [varbinary] (16) NULL,\r\n\r\n"
              "CONSTRAINT [PK_Orders] PRIMARY KEY CLUSTERED ([OrderID])\r\n \r\n)");

    const std::string notes = create(kTypeTable, "Notes");
    EXPECT_EQ(notes.substr(notes.find("[Rate]")), "[Rate] [numeric](9,4) NULL \r\n)");
}

TEST_P(Texts, IndexedViewGetsItsIndexStatements) {
    CatalogSim f(GetParam(), {"cat_catalog.sql", "cat_indexed_view.sql"});
    ASSERT_SIM_STARTED(f);
    EXPECT_EQ(
        GetExtras(f.server, "vNoteBodies", "CatDb", kTypeView),
        "EXEC('CREATE UNIQUE CLUSTERED INDEX [IX_vNoteBodies] ON ' + @Database + "
        "'.[dbo].[vNoteBodies]\r\n([NoteID]) ON [PRIMARY] ')\r\n"
        "IF @@ERROR <> 0 SET @ErrorVal = @@ERROR\r\n\r\n"
        "EXEC('CREATE INDEX [IX_vNoteBodies_Body] ON ' + @Database + '.[dbo].[vNoteBodies]\r\n"
        "([Body], [NoteID]) ON [PRIMARY] ')\r\n"
        "IF @@ERROR <> 0 SET @ErrorVal = @@ERROR\r\n\r\n");
    EXPECT_EQ(GetExtras(f.server, "vOrders", "CatDb", kTypeView), "");
    EXPECT_EQ(GetExtras(f.server, "Notes", "CatDb", kTypeTable), "");
}

INSTANTIATE_TEST_SUITE_P(Catalog, Texts,
                         ::testing::Values(std::string(kVersion2000), std::string(kVersion2008)),
                         test::VersionName);

} // namespace
} // namespace orv
