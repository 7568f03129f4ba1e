// The data analyzer against the simulator through the program's own ODBC path, under both
// server versions: the exact statements sent (one catalog query, then per column one
// aggregate query and at most one for the top values), the figures that come back for hostile
// names, the ignore list, Stop inside a stalled query, a server that is gone, and the analyze
// command as a user runs it.
#include "cli_runner.h"
#include "core/settings.h"
#include "csv_reader.h"
#include "explore/data_analyzer.h"
#include "fault_database.h"

#include <chrono>
#include <future>
#include <thread>

namespace orv {
namespace {

using test::CatalogSim;

// A table whose names try to leave their brackets and literals, with NULLs and repeats.
const char* const kProfScript =
    "CREATE DATABASE Prof\nGO\nUSE Prof\nGO\n"
    "CREATE TABLE dbo.[Or]]ders'; --] (Id int NOT NULL, [Na]]me] varchar(20) NULL, "
    "Flag bit NULL, Raw varbinary(8) NULL, Memo text NULL, Secret varchar(10) NULL)\nGO\n"
    "INSERT INTO dbo.[Or]]ders'; --] VALUES (1, 'ab', 1, 0x0102, 'long memo', 'pw1')\n"
    "INSERT INTO dbo.[Or]]ders'; --] VALUES (2, 'ab', 0, 0x01, 'm', 'pw2')\n"
    "INSERT INTO dbo.[Or]]ders'; --] VALUES (3, 'cde', 0, NULL, NULL, NULL)\n"
    "INSERT INTO dbo.[Or]]ders'; --] VALUES (4, NULL, NULL, NULL, NULL, NULL)\nGO\n"
    "CREATE TABLE dbo.Empty (Id int NULL)\nGO\n";

class Analyzer : public test::BothVersions {
protected:
    AnalysisResultsPtr Analyze(const CatalogSim& f, const std::string& table,
                               std::vector<std::string> ignored = {}) {
        AnalysisRequest request;
        request.Place = {f.server, "Prof", 30};
        request.TableName = table;
        request.Ignored = std::move(ignored);
        NullProgressSink progress;
        CancelToken cancel;
        return AnalyzeTableData(request, progress, cancel);
    }
    const ColumnProfile* Column(const AnalysisResults& r, const std::string& name) {
        for (const ColumnProfile& p : r.Columns)
            if (p.Name == name)
                return &p;
        return nullptr;
    }
};

TEST_P(Analyzer, ProfilesEveryColumnWithTheStatementsItStates) {
    CatalogSim f(GetParam(), {}, {kProfScript});
    ASSERT_SIM_STARTED(f);
    f.sim->ClearStatements();
    const AnalysisResultsPtr r = Analyze(f, "Or]ders'; --", {"SECRET"});
    ASSERT_EQ(r->Outcome, RunOutcome::Completed) << r->Failure;
    EXPECT_EQ(r->Schema, "dbo");
    EXPECT_EQ(r->Skipped, std::vector<std::string>{"Secret"});
    ASSERT_EQ(r->Columns.size(), 5u);

    const ColumnProfile* name = Column(*r, "Na]me");
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->Rows, 4);
    EXPECT_EQ(name->Nulls, 1);
    EXPECT_EQ(name->Distinct, 2);
    EXPECT_EQ(name->Min, "ab");
    EXPECT_EQ(name->Max, "cde");
    ASSERT_TRUE(name->AvgLength);
    EXPECT_NEAR(*name->AvgLength, 7.0 / 3.0, 1e-9);
    EXPECT_EQ(name->MaxLength, 3);
    ASSERT_EQ(name->Top.size(), 2u);
    EXPECT_EQ(name->Top[0].Value, "ab");
    EXPECT_EQ(name->Top[0].Count, 2);

    const ColumnProfile* flag = Column(*r, "Flag");
    ASSERT_NE(flag, nullptr);
    EXPECT_EQ(flag->Min, "0");
    EXPECT_EQ(flag->Max, "1");
    EXPECT_FALSE(flag->AvgLength);
    const ColumnProfile* raw = Column(*r, "Raw");
    ASSERT_NE(raw, nullptr);
    EXPECT_EQ(raw->Min, "01");
    EXPECT_EQ(raw->MaxLength, 2);
    const ColumnProfile* memo = Column(*r, "Memo");
    ASSERT_NE(memo, nullptr);
    EXPECT_FALSE(memo->Distinct);
    EXPECT_FALSE(memo->Min);
    EXPECT_EQ(memo->MaxLength, 9);
    EXPECT_TRUE(memo->Top.empty());

    // What was sent is what the server received, nothing more: 1 catalog query, 5 profiles,
    // 4 top-value queries (text has none).
    EXPECT_EQ(f.Sql("Prof"), r->Sent);
    ASSERT_EQ(r->Sent.size(), 10u);
    const std::string schema =
        GetParam() == test::kVersion2000 ? "USER_NAME(sob.uid)" : "OBJECT_SCHEMA_NAME(sob.id)";
    EXPECT_EQ(r->Sent[0],
              "SELECT sob.id, " + schema +
                  " AS [schema], sob.name AS [table], sco.name AS [column], sty.name AS datatype, "
                  "bty.name AS basetype FROM sysobjects sob INNER JOIN syscolumns sco ON sob.id = "
                  "sco.id INNER JOIN systypes sty ON sco.xtype = sty.xtype AND sco.xusertype = "
                  "sty.xusertype INNER JOIN systypes bty ON bty.xusertype = sty.xtype WHERE "
                  "sob.xtype = 'U' AND sob.name = N'Or]ders''; --' ORDER BY sob.id, sco.colorder");
    EXPECT_EQ(r->Sent[3], "SELECT COUNT_BIG(*) AS [rows], COUNT_BIG([Na]]me]) AS [values], "
                          "COUNT_BIG(DISTINCT [Na]]me]) AS [distinct], MIN([Na]]me]) AS [min], "
                          "MAX([Na]]me]) AS [max], AVG(CAST(LEN([Na]]me]) AS float)) AS [avg_len], "
                          "MAX(LEN([Na]]me])) AS [max_len] FROM [dbo].[Or]]ders'; --]");
    EXPECT_EQ(r->Sent[4], "SELECT TOP 10 [Na]]me] AS [value], COUNT_BIG(*) AS [count] FROM "
                          "[dbo].[Or]]ders'; --] WHERE [Na]]me] IS NOT NULL GROUP BY [Na]]me] "
                          "ORDER BY COUNT_BIG(*) DESC, [Na]]me]");
    for (const std::string& sql : r->Sent) {
        EXPECT_EQ(sql.find("Secret"), std::string::npos) << "an ignored column is not read";
        EXPECT_EQ(sql.find("SELECT *"), std::string::npos) << "rows are never fetched";
    }
}

TEST_P(Analyzer, MissingTableEmptyTableAndSchemaQualifiedName) {
    CatalogSim f(GetParam(), {}, {kProfScript});
    ASSERT_SIM_STARTED(f);
    AnalysisResultsPtr r = Analyze(f, "NoSuchTable");
    EXPECT_EQ(r->Outcome, RunOutcome::Failed);
    EXPECT_EQ(r->Failure, "Table NoSuchTable does not exist in database Prof.");

    f.sim->ClearStatements();
    r = Analyze(f, "dbo.Empty");
    ASSERT_EQ(r->Outcome, RunOutcome::Completed) << r->Failure;
    ASSERT_EQ(r->Columns.size(), 1u);
    EXPECT_EQ(r->Columns[0].Rows, 0);
    EXPECT_EQ(r->Columns[0].NullRatio(), 0.0);
    // The whole name first, then schema and name; no top values of an empty column.
    EXPECT_EQ(f.Sql("Prof").size(), 3u);
}

// Columns of alias types are profiled as their base types: an alias over varchar gets its
// lengths, an alias over text gets no MIN or MAX (the server refuses them).
TEST_P(Analyzer, AliasTypesAreProfiledByTheirBaseType) {
    CatalogSim f(GetParam(), {},
                 {"CREATE DATABASE Prof\nGO\nUSE Prof\nGO\n"
                  "EXEC sp_addtype id, 'varchar(11)', 'NOT NULL'\nGO\n"
                  "EXEC sp_addtype Memo, 'text'\nGO\n"
                  "CREATE TABLE dbo.Authors (au_id id, bio Memo NULL)\nGO\n"
                  "INSERT INTO dbo.Authors VALUES ('172-32-1176', 'long text')\n"
                  "INSERT INTO dbo.Authors VALUES ('213-46', NULL)\nGO\n"});
    ASSERT_SIM_STARTED(f);
    const AnalysisResultsPtr r = Analyze(f, "Authors");
    ASSERT_EQ(r->Outcome, RunOutcome::Completed) << r->Failure;
    const ColumnProfile* id = Column(*r, "au_id");
    ASSERT_NE(id, nullptr);
    EXPECT_EQ(id->Type, "id");
    EXPECT_EQ(id->Class, ColumnClass::Character);
    EXPECT_EQ(id->MaxLength, 11);
    ASSERT_TRUE(id->AvgLength);
    EXPECT_NEAR(*id->AvgLength, 8.5, 1e-9);
    EXPECT_EQ(id->Min, "172-32-1176");
    const ColumnProfile* bio = Column(*r, "bio");
    ASSERT_NE(bio, nullptr);
    EXPECT_EQ(bio->Class, ColumnClass::LongText);
    EXPECT_FALSE(bio->Min);
    EXPECT_EQ(bio->MaxLength, 9);
}

TEST_P(Analyzer, AServerThatIsGoneGivesTheConnectionMessage) {
    CatalogSim f(GetParam(), {}, {kProfScript});
    ASSERT_SIM_STARTED(f);
    f.sim->Stop();
    const AnalysisResultsPtr r = Analyze(f, "Empty");
    EXPECT_EQ(r->Outcome, RunOutcome::Failed);
    EXPECT_EQ(r->Failure.rfind("Server connection failed.\r\n\r\nRun time error: ", 0), 0u)
        << r->Failure;
    EXPECT_TRUE(r->Columns.empty());
}

INSTANTIATE_TEST_SUITE_P(Versions, Analyzer,
                         ::testing::Values(test::kVersion2000, test::kVersion2008),
                         test::VersionName);

// Counts columns and presses Stop after the first one.
class StopAfterFirst : public ProgressSink {
public:
    explicit StopAfterFirst(CancelToken& c) : cancel_(c) {}
    void Begin(const std::string&, int64_t total) override { total_ = total; }
    void Advance(int64_t, const std::string&) override { cancel_.RequestCancel(); }
    void Note(const std::string&) override {}
    void Warn(const std::string&) override {}
    int64_t total_ = 0;

private:
    CancelToken& cancel_;
};

TEST(AnalyzerStop, StopBetweenColumnsAndInsideAStalledQuery) {
    test::TestEnv env;
    test::SqlsimOptions o;
    o.scriptTexts = {kProfScript};
    test::SqlsimProcess sim(o);
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    ServerEntry server;
    server.Name = sim.ServerName();
    server.SQLAuth = true;
    server.LoginName = o.login;
    server.Pwd = o.password;
    server.Version = o.version;
    AnalysisRequest request;
    request.Place = {server, "Prof", 60};
    request.TableName = "Empty";
    {
        CancelToken cancel;
        StopAfterFirst sink(cancel);
        request.TableName = "Or]ders'; --";
        const AnalysisResultsPtr r = AnalyzeTableData(request, sink, cancel);
        EXPECT_EQ(r->Outcome, RunOutcome::Cancelled);
        EXPECT_EQ(r->Columns.size(), 1u);
        EXPECT_EQ(sink.total_, 6);
    }

    o.extraArgs = {"--fault-stall", "30"};
    test::SqlsimProcess stalling(o);
    ASSERT_TRUE(stalling.Start(error)) << error;
    request.Place.Server.Name = stalling.ServerName();
    CancelToken cancel;
    NullProgressSink progress;
    auto running =
        std::async(std::launch::async, [&] { return AnalyzeTableData(request, progress, cancel); });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    cancel.RequestCancel();
    ASSERT_EQ(running.wait_for(std::chrono::seconds(5)), std::future_status::ready)
        << "Stop did not end the analysis";
    const AnalysisResultsPtr r = running.get();
    EXPECT_EQ(r->Outcome, RunOutcome::Cancelled);
    EXPECT_TRUE(r->Failure.empty());
}

class AnalyzeCli : public test::CliTest {};

TEST_P(AnalyzeCli, CsvAndTextOutputAndExitStatuses) {
    CatalogSim f(GetParam(), {}, {kProfScript});
    ASSERT_SIM_STARTED(f);
    Store(f);
    const std::string server = "'" + f.server.Name + "'";
    test::CliResult r = Run("analyze --format csv " + server + " Prof \"Or]ders'; --\"");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto records = test::ReadCsv(r.out);
    ASSERT_EQ(records.size(), 7u) << r.out;
    EXPECT_EQ(records[0], (std::vector<std::string>{"column", "rows", "nulls", "distinct", "min",
                                                    "max", "avg_len", "max_len"}));
    EXPECT_EQ(records[2],
              (std::vector<std::string>{"Na]me", "4", "1", "2", "ab", "cde", "2.33", "3"}));
    EXPECT_EQ(records[5], (std::vector<std::string>{"Memo", "4", "2", "", "", "", "5.00", "9"}));

    r = Run("analyze " + server + " Prof Empty");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Table dbo.Empty (Database: Prof, Server: "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Id      0     0      0"), std::string::npos) << r.out;

    r = Run("analyze " + server + " Prof NoSuchTable");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("does not exist"), std::string::npos) << r.err;
    r = Run("analyze " + server + " Prof");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("usage: orvane-cli analyze"), std::string::npos);
    r = Run("analyze --help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("column,rows,nulls,distinct,min,max,avg_len,max_len"), std::string::npos);
    f.sim->Stop();
    r = Run("analyze " + server + " Prof Empty");
    EXPECT_EQ(r.status, 2);
}

INSTANTIATE_TEST_SUITE_P(Versions, AnalyzeCli,
                         ::testing::Values(test::kVersion2000, test::kVersion2008),
                         test::VersionName);

} // namespace
} // namespace orv
