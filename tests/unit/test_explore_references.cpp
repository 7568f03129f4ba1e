// The reference check over module texts: what the tokenizer skips, which names are references,
// how they resolve against a catalog, and what is never reported.
#include "explore/reference_check.h"
#include "explore/tsql_tokens.h"
#include "test_explore_support.h"

#include <gtest/gtest.h>

namespace orv {
namespace {

DbCatalog Shop() {
    return test::CatalogBuilder("Shop")
        .Add(kTypeTable, "dbo", "Customers")
        .Add(kTypeTable, "dbo", "Orders")
        .Add(kTypeTable, "app", "Settings")
        .Add(kTypeTable, "dbo", "we]ird name")
        .Add(kTypeView, "dbo", "vw_Open")
        .Add(kTypeProcedure, "dbo", "usp_Log")
        .Add(kTypeProcedure, "app", "usp_Refresh")
        .Add(kTypeFunction, "dbo", "fn_Total")
        .Build();
}

// "line:reference:reason" for every finding of one statement run in a dbo module.
std::vector<std::string> Findings(const std::string& body, const std::string& schema = "dbo") {
    const DbCatalog catalog = Shop();
    const CatalogNames names(catalog);
    std::vector<std::string> out;
    for (const auto& f : CheckModuleText(names, kTypeProcedure, schema, "usp_Test", body))
        out.push_back(std::to_string(f.Line) + ":" + f.Reference + ":" + f.Reason);
    return out;
}

TEST(TsqlTokens, CommentsStringsAndQuotedNamesAreSkippedWhole) {
    const auto t = TokenizeTsql("SELECT /* a /* nested */ FROM x */ 'it''s -- no' AS [a]]b],\n"
                                "\"q\"\"n\" -- FROM y\nFROM N'z' @v #t ##g 1.5");
    std::vector<std::string> kinds;
    for (const auto& k : t)
        kinds.push_back(std::to_string(k.kind) + "|" + k.value + "|" + std::to_string(k.line));
    EXPECT_EQ(kinds, (std::vector<std::string>{"0|SELECT|1", "3|it's -- no|1", "0|AS|1", "1|a]b|1",
                                               "5|,|1", "1|q\"n|2", "0|FROM|3", "3|z|3", "2|@v|3",
                                               "0|#t|3", "0|##g|3", "4|1.5|3"}));
    // Unterminated pieces run to the end instead of reading past it.
    EXPECT_EQ(TokenizeTsql("SELECT 'open").back().value, "open");
    EXPECT_EQ(TokenizeTsql("SELECT [open").back().value, "open");
    EXPECT_EQ(TokenizeTsql("SELECT /* open").size(), 1u);
}

struct Case {
    const char* body;
    std::vector<std::string> expected;
};

TEST(ReferenceCheck, KeywordsThatNameObjects) {
    const Case cases[] = {
        {"SELECT * FROM dbo.Missing", {"1:dbo.Missing:does not exist"}},
        {"SELECT * FROM Orders o JOIN Gone g ON g.id = o.id", {"1:Gone:does not exist"}},
        {"SELECT * FROM Customers, Orders, Nope", {"1:Nope:does not exist"}},
        {"INSERT INTO dbo.Gone (a) VALUES (1)", {"1:dbo.Gone:does not exist"}},
        {"INSERT Gone VALUES (1)", {"1:Gone:does not exist"}},
        {"UPDATE TOP (5) Gone SET a = 1", {"1:Gone:does not exist"}},
        {"DELETE FROM Gone", {"1:Gone:does not exist"}},
        {"DELETE Gone WHERE 1 = 0", {"1:Gone:does not exist"}},
        {"MERGE INTO Gone AS t USING Customers AS s ON 1 = 1 WHEN MATCHED THEN DELETE;",
         {"1:Gone:does not exist"}},
        {"MERGE Orders AS t USING Gone AS s ON 1 = 1 WHEN MATCHED THEN UPDATE SET a = 1;",
         {"1:Gone:does not exist"}},
        {"EXEC dbo.usp_Gone", {"1:dbo.usp_Gone:does not exist"}},
        {"DECLARE @r int\nEXECUTE @r = usp_Gone 1", {"2:usp_Gone:does not exist"}},
        {"CREATE TABLE #t (id int REFERENCES dbo.Gone (id))", {"1:dbo.Gone:does not exist"}},
        {"SELECT dbo.fn_Gone(1), dbo.fn_Total(2)", {"1:dbo.fn_Gone:does not exist"}},
        {"SELECT * FROM dbo.tvf_Gone(1) t", {"1:dbo.tvf_Gone:does not exist"}},
        {"SELECT * FROM Orders CROSS APPLY dbo.tvf_Gone(Orders.id) x",
         {"1:dbo.tvf_Gone:does not exist"}},
        {"CREATE INDEX ix ON dbo.Gone (a)", {"1:dbo.Gone:does not exist"}},
        {"SELECT * FROM [dbo].[Gone One]", {"1:[dbo].[Gone One]:does not exist"}},
        {"SELECT * FROM \"dbo\".\"Gone\"", {"1:\"dbo\".\"Gone\":does not exist"}},
        {"SELECT * FROM Shop.dbo.Gone", {"1:Shop.dbo.Gone:does not exist"}},
        {"SELECT * FROM Shop..Gone", {"1:Shop..Gone:does not exist"}},
        {"SELECT * FROM app.Customers", {"1:app.Customers:does not exist"}},
        {"SELECT * FROM Settings", {"1:Settings:does not exist"}},
        {"SELECT * FROM Other.dbo.Customers", {"1:Other.dbo.Customers:not checked"}},
        {"EXEC Srv.Other.dbo.usp_X", {"1:Srv.Other.dbo.usp_X:not checked"}},
        {"SELECT 1\n\n  FROM\n  dbo.Gone", {"4:dbo.Gone:does not exist"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Findings(c.body), c.expected) << c.body;
}

TEST(ReferenceCheck, NamesThatAreNeverReported) {
    const char* bodies[] = {
        "-- FROM dbo.Gone\nSELECT 1 /* JOIN Gone */",
        "SELECT 'FROM dbo.Gone', N'EXEC usp_Gone' AS [dbo.Gone]",
        "SELECT * FROM #t JOIN ##g ON 1 = 1; INSERT INTO #t SELECT 1; DELETE FROM ##g",
        "DECLARE @t TABLE (a int); INSERT INTO @t SELECT 1; SELECT * FROM @t x; DELETE FROM @t",
        "WITH Gone AS (SELECT 1 AS a) SELECT * FROM Gone",
        "WITH A (x) AS (SELECT 1), B AS (SELECT x FROM A) SELECT * FROM B JOIN A ON 1 = 1",
        "SELECT g.a AS Gone FROM (SELECT 1 AS a) AS g JOIN (SELECT 2 AS b) h ON 1 = 1",
        "UPDATE o SET a = 1 FROM dbo.Orders o",
        "DELETE c FROM Customers AS c",
        "SELECT * FROM inserted i JOIN deleted d ON 1 = 1",
        "DECLARE cur CURSOR FOR SELECT 1\nOPEN cur\nFETCH NEXT FROM cur INTO @a\nCLOSE cur",
        "SELECT a INTO dbo.NewOne FROM Orders; SELECT * FROM NewOne; INSERT INTO dbo.NewOne SELECT "
        "1",
        "CREATE TABLE dbo.Made (a int); INSERT dbo.Made VALUES (1)",
        "SELECT * FROM sysobjects, dbo.syscolumns; SELECT * FROM sys.tables, "
        "INFORMATION_SCHEMA.COLUMNS; SELECT * FROM master.dbo.sysdatabases",
        "EXEC sp_executesql N'SELECT 1'; EXEC master..xp_cmdshell 'dir'",
        "EXEC ('SELECT * FROM Gone'); EXEC (@sql); EXEC @proc",
        "SELECT c.Notes.value('(/a)[1]', 'int'), x.query('.') FROM Customers c",
        "SELECT * FROM OPENQUERY(Srv, 'SELECT * FROM Gone') q",
        "SELECT * FROM (VALUES (1), (2)) AS v(n)",
        "IF UPDATE(a) SELECT 1; UPDATE STATISTICS dbo.Orders",
        "SELECT * FROM [dbo].[we]]ird name]",
        "CREATE PROCEDURE dbo.usp_Test AS EXEC dbo.usp_Log",
        "CREATE TRIGGER dbo.tr ON dbo.Orders AFTER DELETE AS SELECT 1",
        "SELECT * FROM Customers WITH (NOLOCK) WHERE 1 = 1",
        "SELECT * FROM Orders o PIVOT (SUM(a) FOR b IN ([x], [y])) AS p",
    };
    for (const char* body : bodies)
        EXPECT_EQ(Findings(body), std::vector<std::string>{}) << body;
}

TEST(ReferenceCheck, UnqualifiedNamesTryDboThenTheModulesSchema) {
    EXPECT_EQ(Findings("SELECT * FROM Settings; EXEC usp_Refresh; SELECT * FROM Customers", "app"),
              std::vector<std::string>{});
    EXPECT_EQ(
        Findings("SELECT * FROM Settings; EXEC usp_Refresh", "dbo"),
        (std::vector<std::string>{"1:Settings:does not exist", "1:usp_Refresh:does not exist"}));
    // Case does not matter, as under the server's default collation.
    EXPECT_EQ(Findings("SELECT * FROM DBO.CUSTOMERS JOIN shop.DBO.orders ON 1 = 1"),
              std::vector<std::string>{});
}

TEST(ReferenceCheck, CatalogWideAndOneModule) {
    DbCatalog catalog = test::CatalogBuilder("Shop")
                            .Add(kTypeTable, "dbo", "T")
                            .Add(kTypeProcedure, "dbo", "p1", "CREATE PROC p1 AS\nSELECT * FROM X")
                            .Add(kTypeView, "app", "v1", "CREATE VIEW app.v1 AS\nSELECT * FROM T")
                            .Add(kTypeTrigger, "dbo", "tr", "CREATE TRIGGER tr ON Y AS SELECT 1")
                            .Add(kTypeFunction, "dbo", "f", "x")
                            .Build();
    catalog.Types[kTypeFunction].Objects[0].Readable = false; // encrypted: nothing to read
    std::vector<std::string> all;
    for (const auto& f : CheckCatalogReferences(catalog))
        all.push_back(f.Module() + ":" + std::to_string(f.Line) + ":" + f.Reference);
    EXPECT_EQ(all, (std::vector<std::string>{"dbo.p1:2:X", "dbo.tr:1:Y"}));
    bool found = false;
    EXPECT_TRUE(CheckCatalogReferences(catalog, "APP.V1", &found).empty());
    EXPECT_TRUE(found);
    EXPECT_EQ(CheckCatalogReferences(catalog, "p1", &found).size(), 1u);
    EXPECT_TRUE(CheckCatalogReferences(catalog, "nosuch", &found).empty());
    EXPECT_FALSE(found);
}

} // namespace
} // namespace orv
