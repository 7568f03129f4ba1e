// The database information report on a simulator database of many small tables, against the
// floor set by FreeTDS's own tsql sending the same SELECT COUNT(*) statements over a single
// connection. Prints both times and their ratio, and the report built with one schema lookup
// per table for comparison.
//   dbinfo_bench [TABLES] [VERSION]   (defaults 2000, 10.50.1600.1)
#include "catalog/db_info_report.h"
#include "catalog/listing.h"
#include "core/settings.h"
#include "servers/exec_ado_cmd.h"
#include "servers/odbc_connection.h"
#include "sqlsim_process.h"
#include "test_env.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

class QuietRunner : public orv::DbInfoRunner {
public:
    void StepStarted(int, const std::string&) override {}
    void ListingStarted() override {}
    void StepFinished(int, const std::string&) override {}
    void UpdateElapsed() override {}
    void ShowProgress(const std::string&) override {}
};

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
    std::printf("simulator with %d tables ready in %.1f s (version %s)\n", tables,
                Since(loadStart), version.c_str());

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
                                options.login + "' -P '" + options.password + "' < '" +
                                batchFile + "' > '" + env.PathOf("tsql.out") + "' 2>&1";
    auto tsqlStart = Clock::now();
    const int tsqlStatus = std::system(command.c_str());
    const double tsqlSeconds = Since(tsqlStart);
    const std::string tsqlOut = orv::test::ReadTextFile(env.PathOf("tsql.out"));
    if (tsqlStatus != 0 || tsqlOut.find("Msg ") != std::string::npos) {
        std::fprintf(stderr, "tsql failed (%d):\n%s\n", tsqlStatus, tsqlOut.substr(0, 2000).c_str());
        return 1;
    }

    const orv::ConnectionStats before = orv::GetConnectionStats();
    QuietRunner runner;
    std::string report;
    auto reportStart = Clock::now();
    const bool complete = orv::BuildDbInfoReport(runner, server, "DbiBench",
                                                 orv::DbInfoDateText(std::time(nullptr)), report);
    const double reportSeconds = Since(reportStart);
    const orv::ConnectionStats after = orv::GetConnectionStats();
    const std::string last = "  " + TableName(tables) + " (";
    if (!complete || report.find(last) == std::string::npos ||
        report.find("OPERATION ABORTED") != std::string::npos) {
        std::fprintf(stderr, "the report is not complete:\n%s\n", report.substr(0, 2000).c_str());
        return 1;
    }

    std::string oldTables;
    const double perTableSeconds = TablesWithPerTableLookups(server, "DbiBench", oldTables);
    const bool same = report.find("List of tables\r\n" + oldTables) != std::string::npos;

    std::printf("tsql, %d SELECT COUNT(*) on one connection   %8.3f s\n", tables, tsqlSeconds);
    std::printf("database information report (6 types)        %8.3f s  logins %lld  reuses %lld\n",
                reportSeconds, static_cast<long long>(after.logins - before.logins),
                static_cast<long long>(after.reuses - before.reuses));
    std::printf("tables only, one schema lookup per table      %8.3f s  (same lines: %s)\n",
                perTableSeconds, same ? "yes" : "NO");
    std::printf("ratio report / tsql: %.2f (target at most 1.5)\n",
                tsqlSeconds > 0 ? reportSeconds / tsqlSeconds : 0.0);
    return same ? 0 : 2;
}
