// `orvane-cli compare-all` as a user runs it: the real executable against the simulator's demo
// databases under both server versions, its reports and exit statuses, and a server failing
// part way through.
#include "cli_runner.h"
#include "core/registry.h"
#include "core/settings.h"
#include "csv_reader.h"
#include "fault_database.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <set>
#include <thread>
#include <tuple>
#include <unistd.h>

namespace orv {
namespace {

using test::CatalogSim;
using test::CliResult;
using test::ReadCsv;

using Key = std::tuple<std::string, std::string, std::string>; // type, schema, name

std::string Args(const std::string& serverName, const std::string& options, const std::string& db1,
                 const std::string& db2) {
    const std::string server = "'" + serverName + "'";
    return "compare-all " + options + " " + server + " " + db1 + " " + server + " " + db2;
}

class CompareAllCli : public test::CliTest {
protected:
    std::string Args(const CatalogSim& f, const std::string& options, const std::string& db1,
                     const std::string& db2) {
        return orv::Args(f.server.Name, options, db1, db2);
    }

    // Every object record by its key, the header and the record shapes checked on the way.
    std::map<Key, std::vector<std::string>> Records(const std::string& csv) {
        const auto records = ReadCsv(csv);
        std::map<Key, std::vector<std::string>> byKey;
        EXPECT_FALSE(records.empty());
        if (records.empty())
            return byKey;
        EXPECT_EQ(records[0], (std::vector<std::string>{"type", "schema", "name", "status",
                                                        "source_modified", "target_modified",
                                                        "differing_lines", "note", "reading"}));
        const std::set<std::string> types = {"tables",   "procedures",    "functions",  "views",
                                             "triggers", "relationships", "constraints"};
        const std::set<std::string> statuses = {"identical", "different", "only in source",
                                                "only in target", "not comparable"};
        for (size_t i = 1; i < records.size(); ++i) {
            const auto& r = records[i];
            EXPECT_EQ(r.size(), 9u);
            if (r.size() != 9u)
                continue;
            // Only an object that could not be compared says why.
            if (r[3] == "not comparable") {
                EXPECT_FALSE(r[7].empty()) << r[2];
            }
            EXPECT_EQ(types.count(r[0]), 1u) << r[0];
            EXPECT_EQ(statuses.count(r[3]), 1u) << r[3];
            // A side's date is there exactly when the object is on that side.
            EXPECT_EQ(r[4].empty(), r[3] == "only in target") << r[2];
            EXPECT_EQ(r[5].empty(), r[3] == "only in source") << r[2];
            EXPECT_TRUE(byKey.emplace(Key{r[0], r[1], r[2]}, r).second) << "twice: " << r[2];
        }
        return byKey;
    }
};

TEST_P(CompareAllCli, TheDemoPairInCsv) {
    CatalogSim f(GetParam(), {"demo_source.sql", "demo_target.sql"});
    ASSERT_SIM_STARTED(f);
    Store(f);
    // An encrypted procedure on both sides is not comparable: status 2 for all types.
    CliResult r = Run(Args(f, "--format csv", "OrvaneDemoSource", "OrvaneDemoTarget"));
    EXPECT_EQ(r.status, 2) << r.err;
    auto records = Records(r.out);
    const auto status = [&](const std::string& type, const std::string& schema,
                            const std::string& name) {
        const auto it = records.find(Key{type, schema, name});
        return it == records.end() ? std::string("(missing)") : it->second[3];
    };
    EXPECT_EQ(status("procedures", "sales", "usp_Commission_Calculate"), "not comparable");
    EXPECT_EQ(status("procedures", "dbo", "usp_Archive_AuditLog"), "only in source");
    EXPECT_EQ(status("views", "dbo", "vw_LowStock"), "only in target");
    EXPECT_EQ(status("procedures", "dbo", "usp_Report_ReorderList"), "different");
    EXPECT_EQ(status("triggers", "dbo", "trg_StockMovements_Apply"), "different");
    for (const char* table : {"Customers", "Products", "Shipments", "OrderLines"})
        EXPECT_EQ(status("tables", "dbo", table), "different") << table;
    // Column order, comment wording and keyword case are not differences under the settings.
    EXPECT_EQ(status("tables", "dbo", "CustomerContacts"), "identical");
    EXPECT_EQ(status("procedures", "dbo", "usp_Report_TopCustomers"), "identical");
    EXPECT_EQ(status("procedures", "dbo", "usp_Customer_Search"), "identical");
    EXPECT_EQ(status("views", "sales", "vw_Pipeline"), "identical");
    const auto differingLines = [&](const std::string& name) {
        const auto it = records.find(Key{"procedures", "dbo", name});
        return it == records.end() ? std::string() : it->second[6];
    };
    EXPECT_NE(differingLines("usp_Report_ReorderList"), "");
    EXPECT_NE(differingLines("usp_Report_ReorderList"), "0");
    EXPECT_EQ(differingLines("usp_Customer_Search"), "0");
    // The replaced relationship is on one side each.
    int fkSource = 0, fkTarget = 0;
    for (const auto& [key, rec] : records) {
        if (std::get<0>(key) != "relationships")
            continue;
        fkSource += std::get<2>(key).find("FK_StockMovements_Products") != std::string::npos &&
                    rec[3] == "only in source";
        fkTarget += std::get<2>(key).find("FK_StockMovements_StockLevels") != std::string::npos &&
                    rec[3] == "only in target";
    }
    EXPECT_EQ(fkSource, 1);
    EXPECT_EQ(fkTarget, 1);

    // Without the encrypted procedure's type, differences alone give status 1.
    r = Run(Args(f, "--format=csv --types views,tables,triggers", "OrvaneDemoSource",
                 "OrvaneDemoTarget"));
    EXPECT_EQ(r.status, 1) << r.err;
    records = Records(r.out);
    std::set<std::string> types;
    for (const auto& [key, rec] : records)
        types.insert(std::get<0>(key));
    EXPECT_EQ(types, (std::set<std::string>{"tables", "views", "triggers"}));
    EXPECT_EQ(status("views", "dbo", "vw_LowStock"), "only in target");
}

// With the settings a new user has, the raised default of change 4 is reported, and tables whose
// constraints the server named differently in the two databases (AppSettings, CustomerAddresses)
// are identical; keeping those names, or leaving complete scripts off, shows what each option
// is for.
TEST_P(CompareAllCli, DefaultSettingsReportTheRaisedDefaultButNoGeneratedName) {
    CatalogSim f(GetParam(), {"demo_source.sql", "demo_target.sql"});
    ASSERT_SIM_STARTED(f);
    Store(f);
    auto differentTables = [&](const std::string& options) {
        CliResult r = Run(Args(f, "--format csv --types tables " + options, "OrvaneDemoSource",
                               "OrvaneDemoTarget"));
        EXPECT_EQ(r.status, 1) << r.err;
        std::set<std::string> different;
        for (const auto& [key, rec] : Records(r.out))
            if (rec[3] != "identical")
                different.insert(std::get<2>(key) + ": " + rec[3]);
        return different;
    };
    const std::set<std::string> documented = {"Customers: different", "OrderLines: different",
                                              "Products: different", "Shipments: different"};
    EXPECT_EQ(differentTables(""), documented);

    CliResult details =
        Run(Args(f, "--types tables --details", "OrvaneDemoSource", "OrvaneDemoTarget"));
    EXPECT_EQ(details.status, 1) << details.err;
    EXPECT_NE(details.out.find("- CONSTRAINT [DF_Customers_CreditLimit] DEFAULT (1000) FOR "
                               "[CreditLimit]"),
              std::string::npos)
        << details.out;
    EXPECT_NE(details.out.find("+ CONSTRAINT [DF_Customers_CreditLimit] DEFAULT (2500) FOR "
                               "[CreditLimit]"),
              std::string::npos)
        << details.out;

    std::set<std::string> named = documented;
    named.insert({"AppSettings: different", "CustomerAddresses: different"});
    EXPECT_EQ(differentTables("--no-ignore-system-names"), named);
    CliResult plain = Run("--no-complete-scripts " + Args(f, "--types tables --details",
                                                          "OrvaneDemoSource", "OrvaneDemoTarget"));
    EXPECT_EQ(plain.out.find("DF_Customers_CreditLimit"), std::string::npos) << plain.out;
}

TEST_P(CompareAllCli, ADatabaseAgainstItselfIsIdenticalAndFilesAreWrittenWhole) {
    CatalogSim f(GetParam(), {"demo_source.sql"});
    ASSERT_SIM_STARTED(f);
    Store(f);
    CliResult r = Run(Args(f, "--types tables,views,functions,triggers,relationships",
                           "OrvaneDemoSource", "OrvaneDemoSource"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "") << "no progress when standard error is not a terminal";
    EXPECT_EQ(r.out.rfind("Compare All Objects\nSource: " + f.server.Name +
                              ".OrvaneDemoSource\nTarget: " + f.server.Name +
                              ".OrvaneDemoSource\nTypes: tables, functions, views, triggers, "
                              "relationships\n",
                          0),
              0u)
        << r.out;
    EXPECT_NE(r.out.find("\nResult: every object is identical.\n"), std::string::npos);
    EXPECT_EQ(r.out.find('\r'), std::string::npos);

    // The HTML report with details, into a file: nothing on standard output.
    const std::string file = home_ + "/report.html";
    r = Run(Args(f, "--details --format html --types procedures --output '" + file + "'",
                 "OrvaneDemoSource", "OrvaneDemoSource"));
    EXPECT_EQ(r.status, 2) << r.err; // the encrypted procedure
    EXPECT_EQ(r.out, "");
    const std::string html = test::ReadTextFile(file);
    EXPECT_EQ(html.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_NE(html.find("<title>Compare All Procedures - Details</title>"), std::string::npos);
    EXPECT_NE(html.find("<td class=\"nc\">not comparable</td>"), std::string::npos);
    EXPECT_EQ(html.find("class=\"incomplete\""), std::string::npos);
    for (const auto& entry : std::filesystem::directory_iterator(home_))
        EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
}

TEST_P(CompareAllCli, AnEncryptedProcedureLeftOutOrOnlyReportedLetsTheRunPass) {
    CatalogSim f(GetParam(), {"demo_source.sql"});
    ASSERT_SIM_STARTED(f);
    Store(f);
    const auto run = [&](const std::string& options) {
        return Run(Args(f, "--format csv --types procedures,views " + options, "OrvaneDemoSource",
                        "OrvaneDemoSource"));
    };
    CliResult r = run("");
    EXPECT_EQ(r.status, 2) << r.err;
    // Left out by name (schema and name, letter case ignored, per type): status 0 and not listed.
    for (const char* pattern :
         {"--exclude procedures:SALES.usp_commission_*", "--exclude '*.usp_Commission_Calc?late'",
          "--exclude usp_Commission_Calculate --exclude views:nothing"}) {
        r = run(pattern);
        EXPECT_EQ(r.status, 0) << pattern << "\n" << r.err;
        const auto records = Records(r.out);
        EXPECT_EQ(records.count(Key("procedures", "sales", "usp_Commission_Calculate")), 0u)
            << pattern;
        EXPECT_EQ(records.count(Key("views", "sales", "vw_Pipeline")), 1u) << pattern;
    }
    // A pattern for views leaves the procedure in.
    EXPECT_EQ(run("--exclude views:sales.*").status, 2);
    // Only what is included; exclude wins over include.
    r = run("--include 'dbo.*' --exclude views:*");
    EXPECT_EQ(r.status, 0) << r.err;
    for (const auto& [key, rec] : Records(r.out)) {
        EXPECT_EQ(std::get<0>(key), "procedures");
        EXPECT_EQ(std::get<1>(key), "dbo");
    }
    // Reported only: listed as not comparable, the rest decides the status.
    r = run("--not-comparable=report");
    EXPECT_EQ(r.status, 0) << r.err;
    const Key secret{"procedures", "sales", "usp_Commission_Calculate"};
    EXPECT_EQ(Records(r.out)[secret][3], "not comparable");
    EXPECT_NE(r.err.find("usp_Commission_Calculate"), std::string::npos) << r.err;
    r = Run(Args(f, "--types procedures --not-comparable report", "OrvaneDemoSource",
                 "OrvaneDemoSource"));
    EXPECT_EQ(r.status, 0) << r.err;
    r = run("--not-comparable=ignore");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("unknown --not-comparable value 'ignore'"), std::string::npos) << r.err;
}

TEST_P(CompareAllCli, RefusalsExitTwoWithAMessage) {
    CatalogSim f(GetParam(), {"demo_source.sql"});
    ASSERT_SIM_STARTED(f);
    Store(f);
    struct Case {
        std::string args;
        std::string err;
    };
    const Case cases[] = {
        {"compare-all '" + f.server.Name + "' OrvaneDemoSource",
         "orvane-cli compare-all: expected 4 arguments (<server1> <db1> <server2> <db2>), got 2\n"
         "usage: orvane-cli compare-all"},
        {"compare-all --types sequences a b c d", "orvane-cli compare-all: unknown object type "
                                                  "'sequences'\n"},
        {"compare-all NotStored Db '" + f.server.Name + "' OrvaneDemoSource",
         "orvane-cli compare-all: server 'NotStored' is not stored (add it in the program, or "
         "give --login).\n"},
        {Args(f, "--output '" + home_ + "/no/such/folder/r.csv'", "OrvaneDemoSource",
              "OrvaneDemoSource"),
         ""},
    };
    for (const Case& c : cases) {
        const CliResult r = Run(c.args);
        EXPECT_EQ(r.status, 2) << c.args << "\n" << r.err;
        EXPECT_EQ(r.err.rfind(c.err, 0), 0u) << r.err;
        EXPECT_EQ(r.out, "");
    }
    const CliResult r = Run("compare-all --help");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("usage: orvane-cli compare-all [--types <list>]", 0), 0u) << r.out;
}

// Names and texts that try to become markup or break a CSV record, compared for real.
std::string HostilePair() {
    const std::string longName(128, 'N');
    std::string sql;
    for (const char* db : {"HostL", "HostR"}) {
        const bool left = std::string(db) == "HostL";
        sql += std::string("CREATE DATABASE ") + db + "\nGO\nUSE " + db + "\nGO\n";
        sql += "CREATE PROCEDURE dbo.[<script>alert(1)</script>]\nAS\nSELECT 1 AS a\n";
        sql += left ? "SELECT '<script>x()</script>' AS b\n"
                    : "SELECT '</td><img src=x onerror=alert(1)>' AS b\n";
        sql += "GO\nCREATE PROCEDURE dbo.[a,b \"c\" -- d]\nAS\nSELECT 2\nGO\n";
        sql += left ? "CREATE PROCEDURE dbo.[x.y]\nAS\nSELECT 3\nGO\n"
                    : "CREATE PROCEDURE dbo.[" + longName + "]\nAS\nSELECT 4\nGO\n";
        sql += left ? "CREATE PROCEDURE dbo.MixedCase\nAS\nSELECT 5\nGO\n"
                    : "CREATE PROCEDURE dbo.MIXEDCASE\nAS\nSELECT 5\nGO\n";
    }
    return sql;
}

TEST_P(CompareAllCli, HostileNamesStayTextInHtmlAndExactInCsv) {
    CatalogSim f(GetParam(), {}, {HostilePair()});
    ASSERT_SIM_STARTED(f);
    Store(f);
    CliResult r = Run(Args(f, "--details --format html --types procedures", "HostL", "HostR"));
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out.find("<script"), std::string::npos);
    EXPECT_EQ(r.out.find("<img"), std::string::npos);
    EXPECT_NE(r.out.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
    EXPECT_NE(r.out.find("SELECT &#39;&lt;/td&gt;&lt;img src=x onerror=alert(1)&gt;&#39; AS b"),
              std::string::npos)
        << r.out;

    r = Run(Args(f, "--format csv --types procedures", "HostL", "HostR"));
    EXPECT_EQ(r.status, 1) << r.err;
    const auto records = Records(r.out);
    const auto status = [&](const std::string& name) {
        const auto it = records.find(Key{"procedures", "dbo", name});
        return it == records.end() ? std::string("(missing)") : it->second[3];
    };
    EXPECT_EQ(status("<script>alert(1)</script>"), "different");
    EXPECT_EQ(status("a,b \"c\" -- d"), "identical");
    EXPECT_EQ(status("x.y"), "only in source");
    EXPECT_EQ(status(std::string(128, 'N')), "only in target");
    // Paired regardless of letter case; the Source's spelling names the pair.
    EXPECT_EQ(status("MixedCase"), "identical");
    EXPECT_EQ(records.size(), 5u);
}

INSTANTIATE_TEST_SUITE_P(Versions, CompareAllCli,
                         ::testing::Values(test::kVersion2000, test::kVersion2008),
                         test::VersionName);

// A server that fails part way through the comparison: exit status 2, the reason on standard
// error, and an earlier report file left as it was.
class CompareAllCliFaults : public test::CliTest {};

TEST_P(CompareAllCliFaults, AFailurePartWayWritesNoFile) {
    for (test::Fault fault : {test::Fault::Drop, test::Fault::ErrorMidResult, test::Fault::Stall}) {
        test::TestEnv env;
        test::SqlsimOptions o;
        o.version = GetParam();
        o.scriptTexts = {test::FaultScript()};
        o.extraArgs = test::FaultArgs(fault);
        test::SqlsimProcess sim(o);
        std::string error;
        ASSERT_TRUE(sim.Start(error)) << error;
        // The version is stored, so the first query the server sees is the comparison's.
        ServerEntry stored;
        stored.Name = sim.ServerName();
        stored.SQLAuth = true;
        stored.LoginName = o.login;
        stored.Pwd = o.password;
        stored.Version = o.version;
        ServerAddToList(stored);
        SetRegDword(HKEY_CURRENT_USER, kKeyMav, "Timeout", test::kFaultTimeoutSeconds);
        const std::string config = env.PathOf("xdg/orvane/");
        std::filesystem::create_directories(config);
        std::filesystem::copy_file(env.RegistryFile(), config + "registry.reg");
        home_ = env.PathOf("xdg");

        const std::string file = home_ + "/report.csv";
        test::WriteTextFile(file, "an earlier report\n");
        const CliResult r =
            Run(Args(stored.Name, "--format csv --output '" + file + "'", "FaultDb", "FaultDb"));
        EXPECT_EQ(r.status, 2) << test::FaultName(fault) << "\n" << r.out << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("orvane-cli compare-all: the comparison did not complete"),
                  std::string::npos)
            << test::FaultName(fault) << ": " << r.err;
        EXPECT_NE(r.err.find("no report was written to " + file), std::string::npos) << r.err;
        EXPECT_EQ(test::ReadTextFile(file), "an earlier report\n");
    }
}

// Ctrl-C stops a comparison waiting on a slow server at once: status 2, the stop named, no
// file written.
TEST_P(CompareAllCliFaults, ControlCStopsTheRun) {
    test::TestEnv env;
    test::SqlsimOptions o;
    o.version = GetParam();
    o.scriptTexts = {test::FaultScript()};
    o.extraArgs = {"--fault-stall", "20"};
    test::SqlsimProcess sim(o);
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    ServerEntry stored;
    stored.Name = sim.ServerName();
    stored.SQLAuth = true;
    stored.LoginName = o.login;
    stored.Pwd = o.password;
    stored.Version = o.version;
    ServerAddToList(stored);
    const std::string config = env.PathOf("xdg/orvane/");
    std::filesystem::create_directories(config);
    std::filesystem::copy_file(env.RegistryFile(), config + "registry.reg");
    const std::string file = env.PathOf("report.csv");
    const std::string errFile = env.PathOf("err.txt");

    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("XDG_CONFIG_HOME", env.PathOf("xdg").c_str(), 1);
        ::setenv("HOME", env.PathOf("xdg").c_str(), 1);
        const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(err, 2);
        ::execl(ORV_CLI_PATH, ORV_CLI_PATH, "compare-all", "--output", file.c_str(),
                stored.Name.c_str(), "FaultDb", stored.Name.c_str(), "FaultDb", nullptr);
        ::_exit(127);
    }
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ::kill(pid, SIGINT);
    int raw = 0;
    ::waitpid(pid, &raw, 0);
    const auto took = std::chrono::steady_clock::now() - start;
    ASSERT_TRUE(WIFEXITED(raw)) << "ended by a signal, not by its own Stop";
    EXPECT_EQ(WEXITSTATUS(raw), 2);
    EXPECT_LT(took, std::chrono::seconds(10));
    const std::string err = test::ReadTextFile(errFile);
    EXPECT_NE(err.find("the comparison did not complete: Stopped by the user."), std::string::npos)
        << err;
    EXPECT_FALSE(std::filesystem::exists(file));
}

INSTANTIATE_TEST_SUITE_P(Versions, CompareAllCliFaults,
                         ::testing::Values(test::kVersion2000, test::kVersion2008),
                         test::VersionName);

} // namespace
} // namespace orv
