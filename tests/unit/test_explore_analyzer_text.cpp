// The data analyzer's SQL by column type, its report formats and the analyze command's
// arguments; no server (the analysis itself is injected).
#include "explore/analysis_report.h"
#include "explore/analyze_command.h"
#include "explore/analyzer_queries.h"
#include "util/progress.h"

#include "util/date_text.h"

#include <gtest/gtest.h>

#include <sstream>

namespace orv {
namespace {

TEST(AnalyzerQueries, EachTypeGetsOnlyTheAggregatesTheServerAllows) {
    struct Case {
        const char* type;
        const char* profile; // after "SELECT COUNT_BIG(*) AS [rows], COUNT_BIG([c]) AS [values]"
        bool top;
    };
    const Case cases[] = {
        {"int", ", COUNT_BIG(DISTINCT [c]) AS [distinct], MIN([c]) AS [min], MAX([c]) AS [max]",
         true},
        {"NVARCHAR",
         ", COUNT_BIG(DISTINCT [c]) AS [distinct], MIN([c]) AS [min], MAX([c]) AS [max], "
         "AVG(CAST(LEN([c]) AS float)) AS [avg_len], MAX(LEN([c])) AS [max_len]",
         true},
        {"varbinary",
         ", COUNT_BIG(DISTINCT [c]) AS [distinct], MIN([c]) AS [min], MAX([c]) AS [max], "
         "AVG(CAST(DATALENGTH([c]) AS float)) AS [avg_len], MAX(DATALENGTH([c])) AS [max_len]",
         true},
        {"bit",
         ", COUNT_BIG(DISTINCT [c]) AS [distinct], MIN(CAST([c] AS int)) AS [min], "
         "MAX(CAST([c] AS int)) AS [max]",
         true},
        {"uniqueidentifier",
         ", COUNT_BIG(DISTINCT [c]) AS [distinct], MIN(CAST([c] AS char(36))) AS [min], "
         "MAX(CAST([c] AS char(36))) AS [max]",
         true},
        {"ntext",
         ", AVG(CAST(DATALENGTH([c]) AS float)) AS [avg_len], MAX(DATALENGTH([c])) AS [max_len]",
         false},
        {"image",
         ", AVG(CAST(DATALENGTH([c]) AS float)) AS [avg_len], MAX(DATALENGTH([c])) AS [max_len]",
         false},
        {"xml", "", false},
    };
    for (const Case& c : cases) {
        const ColumnClass k = ClassifyColumnType(c.type);
        EXPECT_EQ(ColumnProfileQuery("[dbo].[T]", "c", k),
                  std::string("SELECT COUNT_BIG(*) AS [rows], COUNT_BIG([c]) AS [values]") +
                      c.profile + " FROM [dbo].[T]")
            << c.type;
        EXPECT_EQ(TopValuesQuery("[dbo].[T]", "c", k).empty(), !c.top) << c.type;
    }
}

TEST(AnalyzerQueries, HostileNamesStayInsideTheirBracketsAndLiterals) {
    const std::string column = "x]; DROP TABLE t; --";
    EXPECT_EQ(TopValuesQuery("[dbo].[a]]b]", column, ColumnClass::Ordered),
              "SELECT TOP 10 [x]]; DROP TABLE t; --] AS [value], COUNT_BIG(*) AS [count] FROM "
              "[dbo].[a]]b] WHERE [x]]; DROP TABLE t; --] IS NOT NULL GROUP BY "
              "[x]]; DROP TABLE t; --] ORDER BY COUNT_BIG(*) DESC, [x]]; DROP TABLE t; --]");
    const std::string byName = AnalyzerColumnsQuery(0, "s'x", "o'; --", true);
    EXPECT_NE(byName.find("sob.name = N'o''; --'"), std::string::npos) << byName;
    EXPECT_NE(byName.find("OBJECT_SCHEMA_NAME(sob.id) = N's''x'"), std::string::npos) << byName;
    EXPECT_NE(AnalyzerColumnsQuery(0, "dbo", "T", false).find("USER_NAME(sob.uid) = N'dbo'"),
              std::string::npos);
    EXPECT_NE(AnalyzerColumnsQuery(77, "ignored", "ignored", false).find("sob.id = 77 ORDER"),
              std::string::npos);
}

AnalysisResults SampleResults() {
    AnalysisResults r;
    r.Server = "srv";
    r.Database = "Db";
    r.Schema = "dbo";
    r.Table = "T";
    ColumnProfile name;
    name.Name = "Na,me";
    name.Type = "varchar";
    name.Class = ColumnClass::Character;
    name.Done = true;
    name.Rows = 4;
    name.Nulls = 1;
    name.Distinct = 2;
    name.Min = "a\"b";
    name.Max = "z\r\nz";
    name.AvgLength = 5.0 / 3.0;
    name.MaxLength = 2;
    name.Top = {{"ab", 2}, {"c", 1}};
    ColumnProfile memo;
    memo.Name = "memo";
    memo.Type = "text";
    memo.Class = ColumnClass::LongText;
    memo.Done = true;
    memo.Rows = 4;
    memo.Nulls = 4;
    r.Columns = {name, memo};
    r.Skipped = {"secret"};
    return r;
}

TEST(AnalysisReport, CsvTextAndHtmlCarryTheSameFigures) {
    const AnalysisResults r = SampleResults();
    EXPECT_EQ(AnalysisCsv(r, false), "column,rows,nulls,distinct,min,max,avg_len,max_len\r\n"
                                     "\"Na,me\",4,1,2,\"a\"\"b\",\"z\r\nz\",1.67,2\r\n"
                                     "memo,4,4,,,,,\r\n");
    const std::string detailed = AnalysisCsv(r, true);
    EXPECT_NE(detailed.find(",type,null_ratio,top_values\r\n"), std::string::npos);
    EXPECT_NE(detailed.find(",varchar,0.2500,ab (2); c (1)\r\n"), std::string::npos) << detailed;
    EXPECT_EQ(NullRatioText(r.Columns[1]), "100.00%");

    const std::string text = AnalysisText(r);
    EXPECT_NE(text.find("Table dbo.T (Database: Db, Server: srv)"), std::string::npos);
    EXPECT_NE(text.find("Skipped (analysis ignore list): secret"), std::string::npos);
    EXPECT_EQ(text.find('\r'), std::string::npos) << "control characters are shown as pictures";
    EXPECT_NE(text.find("column  rows  nulls  distinct"), std::string::npos) << text;

    const std::string html = AnalysisHtml(r);
    EXPECT_EQ(html.find("Analyzed on"), std::string::npos) << "no start known, none shown";
    AnalysisResults dated = r;
    dated.Started = 1304258587;
    EXPECT_NE(AnalysisHtml(dated).find("Analyzed on " + LocalDateTimeText(dated.Started)),
              std::string::npos);
    EXPECT_NE(html.find("a&quot;b"), std::string::npos);
    EXPECT_NE(html.find("ab (2); c (1)"), std::string::npos);
    EXPECT_EQ(html.find("a\"b"), std::string::npos);
}

TEST(AnalyzeArgs, WordsAndTheirMistakes) {
    AnalyzeArgs a;
    std::string error;
    ASSERT_TRUE(ParseAnalyzeArgs({"srv", "Db", "dbo.T", "--format=csv"}, a, error)) << error;
    EXPECT_EQ(a.Table, "dbo.T");
    EXPECT_TRUE(a.Csv);
    ASSERT_TRUE(ParseAnalyzeArgs({"--format", "TEXT", "srv", "Db", "T"}, a, error));
    EXPECT_FALSE(a.Csv);
    ASSERT_TRUE(ParseAnalyzeArgs({"--help"}, a, error));
    EXPECT_TRUE(a.Help);
    const std::vector<std::vector<std::string>> bad = {
        {"srv", "Db"},
        {"srv", "Db", "T", "extra"},
        {"srv", "Db", "T", "--format", "html"},
        {"srv", "Db", "T", "--format"},
        {"srv", "Db", "T", "--format=csv", "--format=csv"},
        {"srv", "", "T"},
        {"srv", "Db", "T", "--password=x"}};
    for (const auto& words : bad) {
        EXPECT_FALSE(ParseAnalyzeArgs(words, a, error)) << words.back();
        EXPECT_EQ(error.find("=x"), std::string::npos) << "a secret is never echoed";
    }
}

TEST(AnalyzeCommand, ExitStatusFollowsTheOutcome) {
    AnalyzeArgs args;
    args.Server = "srv";
    args.Database = "Db";
    args.Table = "T";
    std::string seenSection;
    AnalysisRequest seen;
    auto results = std::make_shared<AnalysisResults>(SampleResults());
    AnalyzeServices services;
    services.resolveServer = [](const std::string& name, ServerEntry& e, std::string&) {
        e.Name = name;
        return true;
    };
    services.ignoredColumns = [&](ServerEntry& server, const std::string& database,
                                  const std::string& table) {
        seenSection = server.Name + "|" + database + "|" + table;
        return std::vector<std::string>{"secret"};
    };
    services.run = [&](const AnalysisRequest& r, ProgressSink&, const CancelToken&) {
        seen = r;
        return AnalysisResultsPtr(results);
    };
    NullProgressSink progress;
    CancelToken cancel;
    std::ostringstream out, err;
    EXPECT_EQ(RunAnalyzeOn(args, 30, services, progress, cancel, out, err), kAnalyzeExitDone);
    EXPECT_EQ(seenSection, "srv|Db|T");
    EXPECT_EQ(seen.Ignored, std::vector<std::string>{"secret"});
    EXPECT_EQ(seen.Place.TimeoutSeconds, 30);

    results->Outcome = RunOutcome::Cancelled;
    EXPECT_EQ(RunAnalyzeOn(args, 30, services, progress, cancel, out, err), kAnalyzeExitError);
    results->Outcome = RunOutcome::Failed;
    results->Columns.clear();
    results->Failure = "Table T does not exist in database Db.";
    err.str("");
    EXPECT_EQ(RunAnalyzeOn(args, 30, services, progress, cancel, out, err), kAnalyzeExitNoTable);
    EXPECT_NE(err.str().find("does not exist"), std::string::npos);
    results->Failure = "Server connection failed.\r\n\r\nRun time error: -1";
    EXPECT_EQ(RunAnalyzeOn(args, 30, services, progress, cancel, out, err), kAnalyzeExitError);

    services.resolveServer = [](const std::string&, ServerEntry&, std::string& e) {
        e = "server 'srv' is not stored";
        return false;
    };
    err.str("");
    EXPECT_EQ(RunAnalyzeOn(args, 30, services, progress, cancel, out, err), kAnalyzeExitError);
    EXPECT_NE(err.str().find("not stored"), std::string::npos);
}

// Ctrl-C while a statement runs: whatever the statement then fails with (cut off, timed out),
// the analysis ends as stopped, never as a missing table or a failure.
TEST(AnalyzeCommand, AFailureAfterControlCIsAStop) {
    AnalyzeArgs args;
    args.Server = "srv";
    args.Database = "Db";
    args.Table = "T";
    auto results = std::make_shared<AnalysisResults>(SampleResults());
    AnalyzeServices services;
    services.resolveServer = [](const std::string& name, ServerEntry& e, std::string&) {
        e.Name = name;
        return true;
    };
    services.run = [&](const AnalysisRequest&, ProgressSink&, const CancelToken&) {
        return AnalysisResultsPtr(results);
    };
    NullProgressSink progress;
    CancelToken cancel;
    cancel.RequestCancel();
    const std::string failures[] = {"Server connection failed.\r\n\r\nTimeout expired",
                                    "Table T does not exist in database Db."};
    for (const std::string& failure : failures) {
        results->Outcome = RunOutcome::Failed;
        results->Failure = failure;
        std::ostringstream out, err;
        EXPECT_EQ(RunAnalyzeOn(args, 30, services, progress, cancel, out, err), kAnalyzeExitError)
            << failure;
        EXPECT_NE(err.str().find("orvane-cli analyze: Stopped by the user. "), std::string::npos)
            << err.str();
        EXPECT_EQ(err.str().find(failure.substr(0, 10)), std::string::npos) << err.str();
    }
}

} // namespace
} // namespace orv
