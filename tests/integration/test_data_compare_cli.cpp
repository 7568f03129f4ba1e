// `orvane-cli compare-data` as a user runs it against the documented pair of databases: the
// exit statuses, the CSV summary with its exact header and status words, the rows file, the
// script file, and a fault part way that leaves no files behind.
#include "cli_runner.h"
#include "csv_reader.h"
#include "data_compare_support.h"

#include <filesystem>

namespace orv::test {
namespace {

class CompareDataCli : public CliTest {
protected:
    std::string Args(const CatalogSim& f, const std::string& options) {
        const std::string server = "'" + f.server.Name + "'";
        return "compare-data " + options + " " + server + " DcSource " + server + " DcTarget";
    }
};

TEST_F(CompareDataCli, ExitStatusesFollowTheVerdicts) {
    DataSim f(kVersion2008, {}, false);
    ASSERT_SIM_STARTED(f);
    Store(f);
    struct Case {
        const char* options;
        int status;
    };
    const Case cases[] = {
        {"--tables dbo.EmptyBoth", 0},
        {"--tables dbo.Customers --mode hash", 1},
        {"--tables dbo.OnlySource", 1},
        {"--tables dbo.Customers,dbo.NoKey", 2},
        {"--tables dbo.Picked --key Code", 1},
        {"--tables dbo.NoSuchTable", 2},
        {"--mode sideways", 2},
        {"--key Code", 2}, // a key needs the tables it is for
        {"--password x", 2},
        // A table that cannot be compared, left out by name or only reported.
        {"--tables dbo.EmptyBoth,dbo.KeyTypes", 2},
        {"--tables dbo.EmptyBoth,dbo.KeyTypes --exclude KEYTYPES", 0},
        {"--tables dbo.EmptyBoth,dbo.KeyTypes --include 'tables:dbo.Empty*'", 0},
        {"--tables dbo.EmptyBoth,dbo.KeyTypes --not-comparable=report", 0},
        {"--tables dbo.Customers,dbo.KeyTypes --not-comparable report", 1},
        {"--tables dbo.EmptyBoth --exclude views:x", 2},
    };
    for (const Case& c : cases) {
        const CliResult r = Run(Args(f, c.options));
        EXPECT_EQ(r.status, c.status) << c.options << "\n" << r.out << r.err;
    }
    EXPECT_EQ(Run("compare-data --help").status, 0);
}

TEST_F(CompareDataCli, CsvSummaryRowsFileAndScriptFile) {
    DataSim f(kVersion2008, {}, false);
    ASSERT_SIM_STARTED(f);
    Store(f);
    const std::string rows = f.env.PathOf("rows.csv"), script = f.env.PathOf("align.sql");
    const CliResult r =
        Run(Args(f, "--format csv --tables \"dbo.Customers,dbo.KeyTypes,[we]]ird.na'me --]\" "
                    "--rows '" +
                        rows + "' --script '" + script + "'"));
    EXPECT_EQ(r.status, 2) << r.err; // KeyTypes is not comparable
    EXPECT_NE(r.err.find("dbo.KeyTypes is not comparable: the key's types differ"),
              std::string::npos)
        << r.err;
    const auto records = ReadCsv(r.out);
    ASSERT_EQ(records.size(), 4u) << r.out;
    EXPECT_EQ(records[0],
              (std::vector<std::string>{"table", "status", "compared_rows", "identical",
                                        "different", "only_in_source", "only_in_target"}));
    EXPECT_EQ(records[1],
              (std::vector<std::string>{"dbo.Customers", "different", "21", "12", "6", "2", "1"}));
    EXPECT_EQ(records[2], (std::vector<std::string>{"dbo.KeyTypes", "not comparable", "0", "0", "0",
                                                    "0", "0"}));
    EXPECT_EQ(records[3], (std::vector<std::string>{"dbo.we]ird.na'me --", "different", "4", "2",
                                                    "1", "0", "1"}));

    const auto rowRecords = ReadCsv(ReadTextFile(rows));
    // Per table a header and its rows: 9 rows of Customers, 2 of the odd table.
    ASSERT_EQ(rowRecords.size(), 1u + 9u + 1u + 2u);
    EXPECT_EQ(rowRecords[0][0], "table");
    EXPECT_EQ(rowRecords[0][2], "Id");
    EXPECT_EQ(rowRecords[0][3], "Name (source)");
    EXPECT_EQ(rowRecords[0][4], "Name (target)");
    EXPECT_EQ(rowRecords[1],
              (std::vector<std::string>{"dbo.Customers", "different", "3", "Ann", "Anne", "Rome",
                                        "Rome", "3.00", "3.00", "2.5", "2.5", "2020-01-03T10:00:00",
                                        "2020-01-03T10:00:00", "1", "1"}));
    EXPECT_NE(ReadTextFile(rows).find(",,\"\","), std::string::npos); // NULL and empty apart
    EXPECT_NE(ReadTextFile(script).find("BEGIN TRANSACTION;"), std::string::npos);
    EXPECT_NE(ReadTextFile(script).find("UPDATE [dbo].[Customers] SET [Name] = N'Ann' WHERE "
                                        "[Id] = 3;"),
              std::string::npos);
}

TEST_F(CompareDataCli, AFaultPartWayWritesNoFilesAndExitsWithTwo) {
    DataSim f(kVersion2008, {"--fault-drop-after-rows", "700"});
    ASSERT_SIM_STARTED(f);
    Store(f);
    const std::string rows = f.env.PathOf("rows.csv");
    CliResult r = Run(Args(f, "--mode merge --tables dbo.Big --rows '" + rows + "'"));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("the comparison did not complete: The comparison of dbo.Big stopped: "),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.out.find("[incomplete]"), std::string::npos) << r.out;
    EXPECT_FALSE(std::filesystem::exists(rows));
    r = Run(Args(f, "--tables dbo.Customers"));
    EXPECT_EQ(r.status, 1) << r.err;
}

} // namespace
} // namespace orv::test
