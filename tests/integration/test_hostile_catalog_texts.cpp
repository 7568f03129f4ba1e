// Definition texts, table scripts, key texts and CREATE scripts of the hostile catalog: the
// 1 MB module byte for byte, every one of the 1,024 columns, names kept whole in every line.
#include "catalog/create_builder.h"
#include "catalog/key_scripts.h"
#include "catalog/listing.h"
#include "catalog/object_text.h"
#include "catalog/table_script.h"
#include "test_hostile_catalog.h"
#include "util/memory_list_control.h"
#include "util/memory_text_view.h"
#include "util/text.h"

#include <map>

namespace orv {
namespace {

using namespace test::hostile;
using test::kVersion2000;

class HostileTexts : public test::BothVersions {};

// Listed name -> id for one type.
std::map<std::string, int32_t> Ids(ServerEntry& server, ObjectType type) {
    MemoryListControl list;
    MemoryTextView view;
    LoadObjects(server, list, view, type, kDb, false);
    std::map<std::string, int32_t> ids;
    for (int row = 0; row < list.Count(); ++row) {
        int32_t id = 0;
        ParseInt32(list.CellText(row, 2), id);
        ids[list.CellText(row, 0)] = id;
    }
    return ids;
}

// What the panel shows for the listed object, as the selection handler asks for it.
std::string Shown(ServerEntry& server, ObjectType type, const std::string& name) {
    MemoryListControl list;
    MemoryTextView view;
    LoadObjects(server, list, view, type, kDb, false);
    for (int row = 0; row < list.Count(); ++row) {
        if (list.CellText(row, 0) != name)
            continue;
        list.SetCurrentRow(row);
        int32_t id = 0;
        ParseInt32(list.CellText(row, 2), id);
        UpdateProcedureTextBox(server, view, list, type, kDb, name, id);
        return view.Text();
    }
    ADD_FAILURE() << name << " is not listed";
    return "";
}

std::string Crlf(const std::string& text) {
    return ReplaceAll(text, "\n", "\r\n");
}

TEST_P(HostileTexts, StoredTextsComeBackExactly) {
    HostileSim f(GetParam());
    ASSERT_SIM_STARTED(f);
    const std::map<std::string, std::pair<ObjectType, std::string>> expected = {
        {"usp_O'Neil; DROP TABLE Victim --",
         {kTypeProcedure, "CREATE PROCEDURE dbo.[usp_O'Neil; DROP TABLE Victim --]\nAS\n"
                          "-- it's a procedure ]]; DROP TABLE Victim; --\n"
                          "/* an open comment */\n"
                          "SELECT 'x''y' AS [col]]1], N'Ωμέγα' AS [ω]"}},
        {"процедура",
         {kTypeProcedure, "CREATE PROCEDURE dbo.[процедура]\nAS\nSELECT N'😀' AS [смайл]"}},
        {"proc'%_",
         {kTypeProcedure, "CREATE PROCEDURE [own'er]]/*x].[proc'%_]\nAS\nSELECT 1 AS one"}},
        {Procedure128(),
         {kTypeProcedure, "CREATE PROCEDURE dbo.[" + Procedure128() + "]\nAS\nSELECT 128 AS n"}},
        {"v]iew/*",
         {kTypeView, "CREATE VIEW dbo.[v]]iew/*]\nAS\nSELECT [Id], [名前] FROM dbo.[顧客表]"}},
        {"fn'%_📦",
         {kTypeFunction, "CREATE FUNCTION dbo.[fn'%_📦] (@p int) RETURNS int\nAS\nBEGIN\n"
                         "    RETURN @p + 1\nEND"}},
        {"tr';--",
         {kTypeTrigger, "CREATE TRIGGER dbo.[tr';--] ON dbo.[O'Brien's Orders] FOR INSERT\nAS\n"
                        "SELECT 1 AS fired"}},
    };
    for (const auto& [name, typeText] : expected) {
        const auto& [type, text] = typeText;
        EXPECT_EQ(GetObjectText(f.server, name, kDb, type), text) << name;
        EXPECT_EQ(Shown(f.server, type, name), Crlf(text)) << name;
    }
    EXPECT_TRUE(f.env.prompter.messages.empty());
    f.ExpectCleanLog();
}

TEST_P(HostileTexts, TheMegabyteModuleComesBackByteForByte) {
    HostileSim f(GetParam());
    ASSERT_SIM_STARTED(f);
    const std::string& module = BigModuleText();
    ASSERT_GE(module.size(), 1024u * 1024u);
    const std::string text = GetObjectText(f.server, BigModuleName(), kDb, kTypeProcedure);
    ASSERT_EQ(text.size(), module.size());
    EXPECT_TRUE(text == module) << "first difference at byte "
                                << std::mismatch(text.begin(), text.end(), module.begin()).first -
                                       text.begin();
    EXPECT_TRUE(Shown(f.server, kTypeProcedure, BigModuleName()) == Crlf(module));

    // The CREATE script carries the same text with the header in front and one blank after.
    const auto ids = Ids(f.server, kTypeProcedure);
    std::string drop;
    const std::string script =
        SQL_BuildCreateStatement(f.server, f.server.Name, kDb, BigModuleName(), kTypeProcedure,
                                 ids.at(BigModuleName()), ",", drop);
    const std::string tail = "GO\r\n\r\n" + module + " \r\n";
    ASSERT_GE(script.size(), tail.size());
    EXPECT_TRUE(script.compare(script.size() - tail.size(), tail.size(), tail) == 0);
    EXPECT_NE(script.find("WHERE id = object_id('" +
                          std::string(GetParam() == kVersion2000 ? "" : "[dbo].") +
                          "[big''module]') AND OBJECTPROPERTY(id, 'IsProcedure') = 1)\r\n"),
              std::string::npos)
        << script.substr(0, 400);
    EXPECT_TRUE(f.env.prompter.messages.empty());
    f.ExpectCleanLog();
}

TEST_P(HostileTexts, TableScriptsKeepEveryColumnAndIndexName) {
    HostileSim f(GetParam());
    ASSERT_SIM_STARTED(f);
    const auto ids = Ids(f.server, kTypeTable);
    int32_t ignored = 0;
    const std::string orders = "[Order'Id] [int] IDENTITY(1,1) NOT NULL\r\n"
                               "[Cust]Id] [int] NULL\r\n"
                               "[Note; DROP TABLE Victim --] [nvarchar] (50) NULL\r\n"
                               "\r\n"
                               "CONSTRAINT [pk_O'Brien]--x] PRIMARY KEY CLUSTERED ([Order'Id])\r\n"
                               "INDEX [ix'; DROP TABLE Victim; --] ([Cust]Id], [Order'Id])\r\n";
    EXPECT_EQ(GetTableScript(f.server, "O'Brien's Orders", kDb, false, ignored,
                             ids.at("O'Brien's Orders"), "", false),
              orders);
    EXPECT_EQ(GetTableScript(f.server, "O'Brien's Orders", kDb, false, ignored, 0, "", false),
              orders);
    EXPECT_EQ(Shown(f.server, kTypeTable, "Заказы"),
              "[Номер] [int] NOT NULL\r\n[Сумма] [decimal](10,2) NULL\r\n\r\n"
              "CLUSTERED INDEX [CL]ix/*] ([Номер])\r\n");
    EXPECT_EQ(Shown(f.server, kTypeTable, "📦 Parcels 🚚"),
              "[😀 face] [nvarchar] (10) NULL\r\n[Id] [int] NOT NULL\r\n\r\n"
              "CONSTRAINT [Pk_%_📦] PRIMARY KEY CLUSTERED ([Id])\r\n");
    EXPECT_EQ(Shown(f.server, kTypeTable, Name128Ascii()), "[" + Column128() + "] [int] NOT NULL");
    EXPECT_EQ(Shown(f.server, kTypeTable, "slash/*star"), "[/*c*/] [int] NULL\r\n[*/] [int] NULL");

    std::string wide = Shown(f.server, kTypeTable, WideTableName());
    const auto lines = Split(wide, "\r\n");
    ASSERT_EQ(lines.size(), static_cast<size_t>(kWideColumns));
    for (int i = 1; i <= kWideColumns; ++i) {
        const std::string type = i % 4 == 0 ? "[nvarchar] (12) NULL" : "[int] NULL";
        ASSERT_EQ(lines[static_cast<size_t>(i - 1)], "[" + WideColumnName(i) + "] " + type) << i;
    }
    std::vector<ColumnInfo> columns;
    std::string text;
    int32_t last = 0;
    ASSERT_TRUE(GetTableStructure(f.server, kDb, WideTableName(), text, columns, last, false,
                                  ignored, 1, ids.at(WideTableName()), ""));
    EXPECT_EQ(columns.size(), static_cast<size_t>(kWideColumns));
    EXPECT_EQ(last, kWideColumns - 1);
    EXPECT_TRUE(f.env.prompter.messages.empty());
    f.ExpectCleanLog();
}

TEST_P(HostileTexts, KeyTextsNameTheirTablesAndColumns) {
    HostileSim f(GetParam());
    ASSERT_SIM_STARTED(f);
    EXPECT_EQ(Shown(f.server, kTypeRelationship, "FK_'];DROP TABLE Victim;--"),
              "TABLE O'Brien's Orders\r\nCONSTRAINT [FK_'];DROP TABLE Victim;--]\r\n"
              "FOREIGN KEY [Cust]Id]\r\nREFERENCES [顧客表] [Id]");
    EXPECT_EQ(Shown(f.server, kTypeConstraint, "pk_O'Brien]--x"),
              "CONSTRAINT [pk_O'Brien]--x] \r\nPRIMARY KEY CLUSTERED \r\nON COLUMN [Order'Id]\r\n"
              "ON TABLE [O'Brien's Orders]");
    EXPECT_EQ(Shown(f.server, kTypeConstraint, "Pk_%_📦"),
              "CONSTRAINT [Pk_%_📦] \r\nPRIMARY KEY CLUSTERED \r\nON COLUMN [Id]\r\n"
              "ON TABLE [📦 Parcels 🚚]");
    EXPECT_TRUE(f.env.prompter.messages.empty());
    f.ExpectCleanLog();
}

TEST_P(HostileTexts, CreateScriptsQuoteTheNamesTheyExecute) {
    HostileSim f(GetParam());
    ASSERT_SIM_STARTED(f);
    const bool v8 = GetParam() == kVersion2000;
    const std::string dbo = v8 ? "" : "[dbo].";
    std::string drop;
    auto create = [&](ObjectType type, const std::string& name) {
        const auto ids = Ids(f.server, type);
        return SQL_BuildCreateStatement(f.server, f.server.Name, kDb, name, type, ids.at(name), ",",
                                        drop);
    };

    const std::string table = create(kTypeTable, "O'Brien's Orders");
    const std::string head = "USE [HostileCat]\r\nGO\r\n/****** Object: Table " + dbo +
                             "[O'Brien's Orders]      ---- Script Date: ";
    EXPECT_EQ(table.substr(0, head.size()), head);
    EXPECT_EQ(drop, "IF EXISTS (SELECT * FROM dbo.sysobjects\r\nWHERE id = object_id('" + dbo +
                        "[O''Brien''s Orders]') AND OBJECTPROPERTY(id, 'IsTable') = 1)\r\n"
                        "DROP Table" +
                        dbo + "[O'Brien's Orders]");
    // The statement is executed, so a "]" inside brackets is doubled.
    const std::string body = "GO\r\nCREATE TABLE " + dbo +
                             "[O'Brien's Orders] (\r\n"
                             "[Order'Id] [int] IDENTITY(1,1) NOT NULL,\r\n"
                             "[Cust]]Id] [int] NULL,\r\n"
                             "[Note; DROP TABLE Victim --] [nvarchar] (50) NULL,\r\n"
                             "\r\n"
                             "CONSTRAINT [pk_O'Brien]]--x] PRIMARY KEY CLUSTERED ([Order'Id])\r\n"
                             " \r\n)";
    ASSERT_GE(table.size(), body.size());
    EXPECT_EQ(table.substr(table.size() - body.size()), body);

    // The odd owner is bracketed with its "]" doubled wherever the name is executable.
    const std::string proc = create(kTypeProcedure, "proc'%_");
    EXPECT_NE(proc.find("object_id('[own''er]]/*x].[proc''%_]')"), std::string::npos) << proc;
    EXPECT_NE(proc.find("DROP Procedure[own'er]]/*x].[proc'%_]\r\nGO"), std::string::npos);

    // The indexed view's statements sit inside EXEC('...'): apostrophes doubled, "]" doubled.
    const std::string view = create(kTypeView, "v]iew/*");
    EXPECT_NE(view.find("EXEC('CREATE UNIQUE CLUSTERED INDEX [ix]]v''; --] ON ' + @Database + "
                        "'.[dbo].[v]]iew/*]\r\n([Id]) ON [PRIMARY] ')\r\n"
                        "IF @@ERROR <> 0 SET @ErrorVal = @@ERROR\r\n\r\n"
                        "EXEC('CREATE INDEX [ix2/*''] ON ' + @Database + '.[dbo].[v]]iew/*]\r\n"
                        "([名前], [Id]) ON [PRIMARY] ')\r\n"),
              std::string::npos)
        << view;

    const std::string wide = create(kTypeTable, WideTableName());
    const auto lines = Split(wide, "\r\n");
    size_t columnLines = 0;
    for (const auto& line : lines)
        columnLines += line.rfind("[w'", 0) == 0 ? 1 : 0;
    EXPECT_EQ(columnLines, static_cast<size_t>(kWideColumns));
    const auto executable = [](const std::string& name) { return ReplaceAll(name, "]", "]]"); };
    EXPECT_NE(wide.find("[" + executable(WideColumnName(1023)) + "] [int] NULL,\r\n[" +
                        executable(WideColumnName(1024)) + "] [nvarchar] (12) NULL \r\n)"),
              std::string::npos);

    // A clustered index that is no constraint is made by a statement of its own after the
    // table; the names in the object line cannot open or close a comment.
    const std::string orders = create(kTypeTable, "Заказы");
    const std::string tail = "[Сумма] [decimal](10,2) NULL \r\n)\r\nGO\r\n"
                             "CREATE CLUSTERED INDEX [CL]]ix/*] ON " +
                             dbo + "[Заказы] ([Номер])\r\nGO";
    ASSERT_GE(orders.size(), tail.size());
    EXPECT_EQ(orders.substr(orders.size() - tail.size()), tail);
    EXPECT_NE(create(kTypeTable, "slash/*star")
                  .find("/****** Object: Table " + dbo + "[slash/ *star]      ---- Script Date: "),
              std::string::npos);
    EXPECT_TRUE(f.env.prompter.messages.empty());
    f.ExpectCleanLog();
}

// Names holding "." are whole names: scripts name and read the table or view they mean, in
// whichever schema it lives, and never the object the text after a "." would name.
TEST_P(HostileTexts, DottedNamesAreScriptedAsTheObjectsTheyName) {
    HostileSim f(GetParam());
    ASSERT_SIM_STARTED(f);
    const bool v8 = GetParam() == kVersion2000;
    const std::string dbo = v8 ? "" : "[dbo].";
    const std::string cyr = "[" + std::string(kCyrillicSchema) + "].";
    std::string drop;
    auto create = [&](ObjectType type, const std::string& listed, int32_t id) {
        return SQL_BuildCreateStatement(f.server, f.server.Name, kDb, listed, type, id, ",", drop);
    };
    // Both tables called Import.2019, told apart by id (a 2000 server lists both bare).
    MemoryListControl list;
    MemoryTextView view;
    LoadObjects(f.server, list, view, kTypeTable, kDb, false);
    int imports = 0;
    for (int row = 0; row < list.Count(); ++row) {
        const std::string listed = list.CellText(row, 0);
        if (listed.size() < 11 || listed.compare(listed.size() - 11, 11, "Import.2019") != 0)
            continue;
        ++imports;
        int32_t id = 0;
        ParseInt32(list.CellText(row, 2), id);
        const std::string script = create(kTypeTable, listed, id);
        if (script.find("IDENTITY") != std::string::npos) {
            EXPECT_NE(script.find("DROP Table" + dbo + "[Import.2019]\r\nGO\r\nCREATE TABLE " +
                                  dbo +
                                  "[Import.2019] (\r\n"
                                  "[Id] [int] IDENTITY(5,2) NOT NULL,\r\n"
                                  "[Note] [nvarchar] (10) NULL \r\n)"),
                      std::string::npos)
                << script;
        } else {
            EXPECT_NE(script.find("DROP Table" + cyr + "[Import.2019]\r\nGO\r\nCREATE TABLE " +
                                  cyr + "[Import.2019] (\r\n[Id] [int] NOT NULL \r\n)"),
                      std::string::npos)
                << script;
        }
        list.SetCurrentRow(row);
        UpdateProcedureTextBox(f.server, view, list, kTypeTable, kDb, listed, id);
        EXPECT_EQ(view.Text().find("[Id] [int] "), 0u) << listed;
    }
    EXPECT_EQ(imports, 2);
    EXPECT_EQ(Shown(f.server, kTypeTable, "Sales.Q1.Final"), "[Region] [nvarchar] (10) NULL");

    const std::string x = "x'); DROP TABLE dbo.Victim; --";
    const std::string script = create(kTypeTable, x, Ids(f.server, kTypeTable).at(x));
    EXPECT_NE(script.find("WHERE id = object_id('" + dbo +
                          "[x''); DROP TABLE dbo.Victim; --]') AND OBJECTPROPERTY(id, 'IsTable') "
                          "= 1)\r\nDROP Table" +
                          dbo + "[x'); DROP TABLE dbo.Victim; --]\r\nGO\r\nCREATE TABLE " + dbo +
                          "[x'); DROP TABLE dbo.Victim; --] (\r\n[Id] [int] NOT NULL \r\n)"),
              std::string::npos)
        << script;

    // The indexed view keeps its index statements.
    const std::string indexed =
        create(kTypeView, "Import.v2", Ids(f.server, kTypeView).at("Import.v2"));
    EXPECT_NE(indexed.find("EXEC('CREATE UNIQUE CLUSTERED INDEX [ix.v2] ON ' + @Database + "
                           "'.[dbo].[Import.v2]\r\n([Id]) ON [PRIMARY] ')"),
              std::string::npos)
        << indexed;
    EXPECT_TRUE(f.env.prompter.messages.empty());
    f.ExpectCleanLog();
}

INSTANTIATE_TEST_SUITE_P(Catalog, HostileTexts,
                         ::testing::Values(std::string(kVersion2000),
                                           std::string(test::kVersion2008)),
                         test::VersionName);

} // namespace
} // namespace orv
