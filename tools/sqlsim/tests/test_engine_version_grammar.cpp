// What a client may send depends on the version the server poses as: SQL Server 2000 refuses
// the later syntax with its own parse errors, before any statement of the batch runs, while
// names, literals and comments that merely look like that syntax pass.
#include "test_engine_support.h"

using namespace sqlsim;
using namespace sqlsim::test;

namespace {


constexpr int kAccepted = 0;
constexpr int kUnchecked = -1; // a construct this server does not run in that version either

struct Outcome {
    int number;
    const char* text = nullptr;
    int line = 1;
    // 15: a parse error, which refuses the whole batch before any of it runs; 16 and others:
    // an error met while running, after whatever came before it in the batch.
    int severity = 15;
};

struct GrammarCase {
    const char* sql;
    Outcome v2000;
    Outcome v2008;
};

const char* kSetup = "CREATE TABLE dbo.Words ([max] int NULL, [concat] varchar(10) NULL, "
                     "[offset] int NULL, [pivot] int NULL, [try] int NULL, [apply] int NULL)\n"
                     "GO\nINSERT INTO Words VALUES (1, 'a', 2, 3, 4, 5)\n"
                     "INSERT INTO Words VALUES (7, 'b', 8, 9, 10, 11)\nGO\n";

const Outcome kOk{kAccepted};
const Outcome kAny{kUnchecked};

const GrammarCase kCases[] = {
    // Names, literals and comments that only look like later syntax.
    {"SELECT max([max]) AS m FROM Words", kOk, kOk},
    {"SELECT MAX(offset) AS m, MIN(pivot) AS p FROM Words", kOk, kOk},
    {"SELECT [concat], [try], [apply] FROM Words ORDER BY [offset]", kOk, kOk},
    {"SELECT offset FROM Words ORDER BY offset", kOk, kOk},
    {"SELECT 'CONCAT(1, 2) IIF(1 = 1, 1, 2) varchar(max) OFFSET 1 ROWS' AS s", kOk, kOk},
    {"SELECT N'x CROSS APPLY y PIVOT (' AS s", kOk, kOk},
    {"SELECT 1 AS x -- IIF(1 = 1, 1, 2) CROSS APPLY BEGIN TRY\n", kOk, kOk},
    {"SELECT 1 AS x /* nvarchar(max) FOR XML PATH STRING_AGG(a, b) */", kOk, kOk},
    {"SELECT CAST([concat] AS varchar(8000)) AS c FROM Words WHERE [max] = 1", kOk, kOk},
    {"DECLARE @v varchar(10)\nSET @v = 'max'\nSELECT @v AS v", kOk, kOk},
    {"BEGIN\nSELECT 1 AS one\nEND", kOk, kOk},
    {"SELECT TOP 1 [max] FROM Words ORDER BY [max]", kOk, kOk},
    // A user table called Concat or Pivot is no function call.
    {"CREATE TABLE dbo.Concat (Id int NULL)", kOk, kOk},
    {"INSERT INTO Concat (Id) VALUES (1)", kOk, kOk},
    {"CREATE INDEX IX_Concat ON Concat (Id)", kOk, kOk},
    {"CREATE TABLE Pivot (Id int NULL)", kOk, kOk},
    {"INSERT Pivot (Id) VALUES (2)", kOk, kOk},

    // The large value types, as the program and hand-written queries spell them.
    {"SELECT CAST([concat] AS varchar(max)) AS c FROM Words",
     {102, "Incorrect syntax near 'max'."},
     kOk},
    {"SELECT CONVERT(nvarchar(MAX), [concat]) AS c FROM Words",
     {102, "Incorrect syntax near 'MAX'."},
     kOk},
    {"DECLARE @b varbinary(max)", {102, "Incorrect syntax near 'max'."}, kOk},
    {"CREATE TABLE dbo.Longs (Id int NULL,\n  Body nvarchar(max) NULL)",
     {102, "Incorrect syntax near 'max'.", 2},
     kOk},
    {"CREATE TABLE [dbo].[Scripted] (\r\n[Body] [varchar] (max) NULL\r\n)",
     {102, "Incorrect syntax near 'max'.", 2},
     kOk},
    // Joins, rotations, paging and XML shapes of 2005 and later.
    {"SELECT w.[max] FROM Words w CROSS APPLY (SELECT 1 AS one) a",
     {102, "Incorrect syntax near 'APPLY'."},
     kAny},
    {"SELECT w.[max] FROM Words w\nOUTER APPLY (SELECT 1 AS one) a",
     {156, "Incorrect syntax near the keyword 'OUTER'.", 2},
     kAny},
    {"SELECT * FROM (SELECT [max], [offset] FROM Words) s PIVOT (SUM([max]) FOR [offset] IN "
     "([2], [8])) p",
     {102, "Incorrect syntax near 'PIVOT'."},
     kAny},
    {"SELECT * FROM Words UNPIVOT (v FOR c IN ([pivot], [try])) u",
     {102, "Incorrect syntax near 'UNPIVOT'."},
     kAny},
    {"SELECT [max] FROM Words ORDER BY [max] OFFSET 1 ROWS FETCH NEXT 1 ROWS ONLY",
     {102, "Incorrect syntax near 'OFFSET'."},
     {102, "Incorrect syntax near 'OFFSET'."}},
    {"SELECT [max] FROM Words FOR XML PATH('w')", {102, "Incorrect syntax near 'PATH'."}, kAny},
    {"SELECT TOP (1) [max] FROM Words ORDER BY [max]", {102, "Incorrect syntax near '('."}, kOk},
    {"SELECT [max] FROM Words EXCEPT SELECT [offset] FROM Words",
     {156, "Incorrect syntax near the keyword 'EXCEPT'."},
     kOk},
    {"BEGIN TRY\n  SELECT 1 AS one\nEND TRY\nBEGIN CATCH\n  SELECT 2 AS two\nEND CATCH",
     {102, "Incorrect syntax near 'TRY'."},
     kAny},
    // Functions: unknown to the older server, whatever they are applied to.
    {"SELECT STRING_AGG([concat], ',') AS s FROM Words",
     {195, "'STRING_AGG' is not a recognized function name."},
     {195, "'STRING_AGG' is not a recognized built-in function name."}},
    {"SELECT concat('a', [concat]) AS c FROM Words",
     {195, "'concat' is not a recognized function name."},
     {195, "'concat' is not a recognized built-in function name."}},
    {"SELECT IIF([max] > 1, 'y', 'n') AS c FROM Words",
     {195, "'IIF' is not a recognized function name."},
     {195, "'IIF' is not a recognized built-in function name."}},
    {"SELECT ROW_NUMBER() OVER (ORDER BY [max]) AS n FROM Words",
     {195, "'ROW_NUMBER' is not a recognized function name."},
     kAny},
    {"SELECT [max] FROM Words WHERE [concat] = CONCAT('a', '')",
     {195, "'CONCAT' is not a recognized function name."},
     {195, "'CONCAT' is not a recognized built-in function name."}},
    {"WITH c AS (SELECT 1 AS one) SELECT one FROM c",
     {156, "Incorrect syntax near the keyword 'WITH'."},
     kAny},
    // Module bodies are parsed when they are created.
    {"CREATE PROCEDURE dbo.UsesIif AS\nSELECT IIF(1 = 1, 1, 2) AS x",
     {195, "'IIF' is not a recognized function name.", 2},
     {195, "'IIF' is not a recognized built-in function name.", 2}},
    {"CREATE PROCEDURE dbo.Caught AS\nBEGIN TRY\n  SELECT 1 AS one\nEND TRY\n"
     "BEGIN CATCH\n  SELECT 2 AS two\nEND CATCH",
     {102, "Incorrect syntax near 'TRY'.", 2},
     kOk},
    // Text run dynamically is parsed when it runs, parameter declarations included.
    {"EXEC sp_executesql N'SELECT CONCAT(N''a'', N''b'') AS c'",
     {195, "'CONCAT' is not a recognized function name."},
     {195, "'CONCAT' is not a recognized built-in function name."}},
    {"EXEC sp_executesql N'SELECT @p AS p', N'@p nvarchar(max)', @p = N'x'",
     {102, "Incorrect syntax near 'max'."},
     kOk},
    {"EXEC ('SELECT IIF(1 = 1, 1, 2) AS x')",
     {195, "'IIF' is not a recognized function name."},
     {195, "'IIF' is not a recognized built-in function name."}},

    // Each room of the engine keeps its own cases; they run in this order, in the same
    // session, after the ones above.
#include "grammar_cases_values.inc"
#include "grammar_cases_integrity.inc"
#include "grammar_cases_ddl.inc"
#include "grammar_cases_batch.inc"
#include "grammar_cases_modern.inc"
};

void expect(EngineFixture& f, const GrammarCase& c, const Outcome& o, const std::string& version) {
    SCOPED_TRACE(version + ": " + c.sql);
    CaptureSink sink = f.run(c.sql);
    if (o.number == kUnchecked)
        return;
    const ServerMessage* e = sink.error();
    if (o.number == kAccepted) {
        EXPECT_EQ(e, nullptr) << sink.errorText();
        return;
    }
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->number, o.number);
    EXPECT_EQ(e->text, o.text);
    EXPECT_EQ(e->severity, o.severity);
    EXPECT_EQ(e->line, o.line);
    // Refused as a whole: nothing of the batch ran.
    if (o.severity == 15) {
        EXPECT_TRUE(sink.sets.empty());
    }
}

} // namespace

TEST(VersionGrammar, LaterSyntaxIsRefusedAsTheOlderServerRefusedIt) {
    for (const char* version : {k2000, k2008}) {
        EngineFixture f(version);
        f.script(kSetup);
        for (const auto& c : kCases)
            expect(f, c, version == k2000 ? c.v2000 : c.v2008, version);
    }
}

TEST(VersionGrammar, ABatchIsRefusedBeforeAnyOfItRuns) {
    EngineFixture f(k2000);
    f.script(kSetup);
    CaptureSink sink = f.run("INSERT INTO Words ([max]) VALUES (100)\nSELECT 1 AS a\n"
                             "SELECT CAST(1 AS varchar(max)) AS b");
    ASSERT_NE(sink.error(), nullptr);
    EXPECT_EQ(sink.error()->line, 3);
    EXPECT_TRUE(sink.sets.empty());
    EXPECT_EQ(f.query("SELECT COUNT(*) FROM Words WHERE [max] = 100").at(0, 0), "0");
}

TEST(VersionGrammar, StartUpScriptsBuildDatabasesWhateverTheVersion) {
    EngineFixture f(k2000);
    const std::string table = "CREATE TABLE dbo.Docs (Body nvarchar(max) NULL)";
    f.script(table + "\nGO\n");
    ResultSet r = f.query("SELECT sc.name FROM syscolumns sc INNER JOIN sysobjects so ON "
                          "so.id = sc.id WHERE so.name = 'Docs'");
    EXPECT_EQ(r.column(0), (std::vector<std::string>{"Body"}));
    // The same text from a client is held to the version's grammar.
    CaptureSink sink = f.run("CREATE TABLE dbo.Docs2 (Body nvarchar(max) NULL)");
    ASSERT_NE(sink.error(), nullptr);
    EXPECT_EQ(sink.error()->number, 102);
}
