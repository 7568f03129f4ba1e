// The database information report on a simulator database of many small tables, against the
// floor set by FreeTDS's own tsql sending the same SELECT COUNT(*) statements over a single
// connection. Prints both times and their ratio, and the report built with one schema lookup
// per table for comparison.
//   dbinfo_bench [TABLES] [VERSION] [ROUNDS]   (defaults 2000, 10.50.1600.1, 7)
#include "catalog/db_info_report.h"
#include "catalog/listing.h"
#include "catalog/record_counts.h"
#include "core/settings.h"
#include "servers/exec_ado_cmd.h"
#include "servers/odbc_connection.h"
#include "sqlsim_process.h"
#include "test_env.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Keeps how long each analysed type took, to show where the report's time goes.
class QuietRunner : public orv::DbInfoRunner {
public:
    void StepStarted(int, const std::string&) override { stepStart_ = Clock::now(); }
    void ListingStarted() override {}
    void StepFinished(int step, const std::string&) override {
        if (step >= 0 && step < 8)
            stepSeconds[step] += Since(stepStart_);
    }
    void UpdateElapsed() override {}
    void ShowProgress(const std::string&) override {}

    double stepSeconds[8] = {};

private:
    Clock::time_point stepStart_;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string TableName(int i) {
    char name[16];
    std::snprintf(name, sizeof name, "T%04d", i);
    return name;
}

// The tables listing the way the single lookups build it, for the figure it is compared with.
double TablesWithPerTableLookups(orv::ServerEntry& server, const std::string& db,
                                 std::string& text) {
    auto start = Clock::now();
    orv::RecordsetPtr rs;
    int32_t n = 0;
    std::string d;
    orv::ExecAdoCmd(server, orv::kAdCmdText, orv::BuildObjSQLString(orv::kTypeTable, true), rs, db,
                    n, d);
    QuietRunner runner;
    text = orv::RecordsetToString(runner, rs.get(), orv::kTypeTable, server, db, true);
    return Since(start);
}

} // namespace

int main(int argc, char** argv) {
    const int tables = argc > 1 ? std::atoi(argv[1]) : 2000;
    const std::string version = argc > 2 ? argv[2] : "10.50.1600.1";
    orv::test::TestEnv env;
    orv::QuietConnectionErrors = true;

    std::string script = "CREATE DATABASE DbiBench\nGO\nUSE DbiBench\nGO\n";
    for (int t = 1; t <= tables; ++t) {
        const std::string name = TableName(t);
        script += "CREATE TABLE dbo." + name + " (Id int NOT NULL)\nGO\n";
        for (int row = 1; row <= 1 + t % 3; ++row)
            script += "INSERT INTO dbo." + name + " VALUES (" + std::to_string(row) + ")\n";
        script += "GO\n";
    }
    orv::test::SqlsimOptions options;
    options.version = version;
    options.scriptTexts = {script};
    orv::test::SqlsimProcess sim(options);
    std::string error;
    auto loadStart = Clock::now();
    if (!sim.Start(error, 600000)) {
        std::fprintf(stderr, "cannot start the simulator: %s\n", error.c_str());
        return 1;
    }
    std::printf("simulator with %d tables ready in %.1f s (version %s)\n", tables, Since(loadStart),
                version.c_str());

    orv::ServerEntry server;
    server.Name = sim.ServerName();
    server.SQLAuth = true;
    server.LoginName = options.login;
    server.Pwd = options.password;
    server.Version = version;
    server.VersionMajor = orv::VersionMajorOf(version);

    // Warm-up: the driver loaded, the simulator's files open.
    {
        orv::RecordsetPtr rs;
        int32_t n = 0;
        std::string d;
        orv::ExecAdoCmd(server, orv::kAdCmdText, "SELECT COUNT(*) FROM dbo.T0001", rs, "DbiBench",
                        n, d);
    }

    // The same statements the report sends for its counts, over one tsql connection.
    std::string batch = "USE DbiBench\ngo\n";
    for (int t = 1; t <= tables; ++t)
        batch += "SELECT COUNT(*) AS RecsCount FROM [dbo].[" + TableName(t) + "]\ngo\n";
    batch += "exit\n";
    const std::string batchFile = env.PathOf("counts.sql");
    orv::test::WriteTextFile(batchFile, batch);
    const std::string command = "tsql -H 127.0.0.1 -p " + std::to_string(sim.Port()) + " -U '" +
                                options.login + "' -P '" + options.password + "' < '" + batchFile +
                                "' > '" + env.PathOf("tsql.out") + "' 2>&1";
    const std::string last = "  " + TableName(tables) + " (";

    // Both runs are repeated, turn about, and compared by their medians: on a shared machine a
    // single pair is at the mercy of whatever else ran in that second.
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 7;
    std::vector<double> tsqlTimes, reportTimes;
    long long logins = 0, reuses = 0;
    std::string report;
    QuietRunner runner;
    for (int round = 0; round < rounds; ++round) {
        auto tsqlStart = Clock::now();
        const int tsqlStatus = std::system(command.c_str());
        tsqlTimes.push_back(Since(tsqlStart));
        const std::string tsqlOut = orv::test::ReadTextFile(env.PathOf("tsql.out"));
        if (tsqlStatus != 0 || tsqlOut.find("Msg ") != std::string::npos) {
            std::fprintf(stderr, "tsql failed (%d):\n%s\n", tsqlStatus,
                         tsqlOut.substr(0, 2000).c_str());
            return 1;
        }

        const orv::ConnectionStats before = orv::GetConnectionStats();
        report.clear();
        auto reportStart = Clock::now();
        const bool complete = orv::BuildDbInfoReport(
            runner, server, "DbiBench", orv::DbInfoDateText(std::time(nullptr)), report);
        reportTimes.push_back(Since(reportStart));
        const orv::ConnectionStats after = orv::GetConnectionStats();
        logins += after.logins - before.logins;
        reuses += after.reuses - before.reuses;
        if (!complete || report.find(last) == std::string::npos ||
            report.find("OPERATION ABORTED") != std::string::npos) {
            std::fprintf(stderr, "the report is not complete:\n%s\n",
                         report.substr(0, 2000).c_str());
            return 1;
        }
    }
    // The counts alone through the program's own count function, to tell the listing queries'
    // share of the report from the per-count cost.
    std::vector<double> countTimes;
    for (int round = 0; round < rounds; ++round) {
        auto countStart = Clock::now();
        for (int t = 1; t <= tables; ++t) {
            std::string name = "[dbo].[" + TableName(t) + "]";
            if (orv::GetNumberOfRecordsInTable(server, name, "DbiBench") < 1) {
                std::fprintf(stderr, "the count of %s failed\n", name.c_str());
                return 1;
            }
        }
        countTimes.push_back(Since(countStart));
    }
    const double tsqlSeconds = Median(tsqlTimes);
    const double reportSeconds = Median(reportTimes);

    std::string oldTables;
    const double perTableSeconds = TablesWithPerTableLookups(server, "DbiBench", oldTables);
    const bool same = report.find("List of tables\r\n" + oldTables) != std::string::npos;

    std::printf("%d rounds, median (fastest)\n", rounds);
    std::printf("tsql, %d SELECT COUNT(*) on one connection   %8.3f s (%.3f s)\n", tables,
                tsqlSeconds, *std::min_element(tsqlTimes.begin(), tsqlTimes.end()));
    std::printf("database information report (6 types)        %8.3f s (%.3f s)  logins %lld  "
                "reuses %lld\n",
                reportSeconds, *std::min_element(reportTimes.begin(), reportTimes.end()), logins,
                reuses);
    std::printf("the %d counts alone, program's count function  %8.3f s (%.3f s)\n", tables,
                Median(countTimes), *std::min_element(countTimes.begin(), countTimes.end()));
    std::printf("report time by type (mean):");
    for (double seconds : runner.stepSeconds)
        if (seconds > 0)
            std::printf(" %.3f", seconds / rounds);
    std::printf(" s\n");
    std::printf("tables only, one schema lookup per table      %8.3f s  (same lines: %s)\n",
                perTableSeconds, same ? "yes" : "NO");
    std::printf("ratio report / tsql: %.2f (target at most 1.5)\n",
                tsqlSeconds > 0 ? reportSeconds / tsqlSeconds : 0.0);
    return same ? 0 : 2;
}
