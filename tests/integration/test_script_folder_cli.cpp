// `orvane-cli script-folder` and folder:<dir> sides of compare-all as a user runs them: the
// folder compares identical with its database, writing it again changes nothing, a procedure
// dropped since loses its file (and only Orvane's files go), and a folder that is none stops
// the run with a message naming it.
#include "cli_runner.h"
#include "csv_reader.h"
#include "servers/worker_query.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace orv {
namespace {

namespace fs = std::filesystem;
using test::CatalogSim;
using test::CliResult;

constexpr const char* kDb = "OrvaneDemoSource";

class ScriptFolderCli : public test::CliTest {
protected:
    void SetUp() override { ::setenv("ORVANE_SQLSIM", test::SqlsimExecutable().c_str(), 1); }
    std::string Server(const CatalogSim& f) { return "'" + f.server.Name + "'"; }

    // "status type schema.name" of every record that is not identical.
    std::vector<std::string> Changes(const std::string& csv) {
        std::vector<std::string> out;
        const auto records = test::ReadCsv(csv);
        for (size_t i = 1; i < records.size(); ++i)
            if (records[i].size() > 3 && records[i][3] != "identical")
                out.push_back(records[i][3] + " " + records[i][0] + " " + records[i][1] + "." +
                              records[i][2]);
        return out;
    }

    static std::string Slurp(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
};

TEST_F(ScriptFolderCli, AFolderComparesIdenticalAndFollowsItsDatabase) {
    CatalogSim f(test::kVersion2008, {"demo_source.sql"});
    ASSERT_SIM_STARTED(f);
    Store(f);
    const std::string dir = f.env.PathOf("sales schema");
    CliResult r = Run("script-folder " + Server(f) + " " + kDb + " '" + dir + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("orvane-cli script-folder: no file for procedure "
                         "sales.usp_Commission_Calculate (encrypted)"),
              std::string::npos)
        << r.err;
    EXPECT_TRUE(fs::is_regular_file(dir + "/Tables/dbo.Customers.sql"));
    EXPECT_TRUE(fs::is_regular_file(dir + "/Procedures/sales.usp_Pipeline_Summary.sql"));
    const std::string manifest = Slurp(dir + "/orvane-folder.txt");
    EXPECT_EQ(manifest.rfind("ORVANE-SCRIPTS-FOLDER 1\nversion 10.50.1600.1\n", 0), 0u) << manifest;

    const std::string side = "'folder:" + dir + "'";
    r = Run("compare-all --format csv " + side + " " + Server(f) + " " + kDb);
    EXPECT_EQ(r.status, 1) << r.err;
    // The encrypted procedure has no file: the folder lacks it.
    EXPECT_EQ(Changes(r.out),
              std::vector<std::string>{"only in target procedures sales.usp_Commission_Calculate"})
        << r.err;

    std::ofstream(dir + "/Procedures/mine.txt") << "kept\n";
    OdbcError error;
    const CancelToken cancel;
    ASSERT_TRUE(RunWorkerQuery(
        {f.server, kDb, 30}, cancel, "DROP PROCEDURE dbo.usp_Customer_Get",
        [](WorkerQuery&, Row&) {}, error))
        << error.description;
    r = Run("script-folder " + Server(f) + " " + kDb + " '" + dir + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(fs::exists(dir + "/Procedures/dbo.usp_Customer_Get.sql"));
    EXPECT_EQ(Slurp(dir + "/Procedures/mine.txt"), "kept\n");
    EXPECT_EQ(Slurp(dir + "/orvane-folder.txt").find("usp_Customer_Get"), std::string::npos);
    r = Run("compare-all --format csv " + Server(f) + " " + kDb + " " + side);
    EXPECT_EQ(Changes(r.out),
              std::vector<std::string>{"only in source procedures sales.usp_Commission_Calculate"})
        << r.err;
}

TEST_F(ScriptFolderCli, DeployingFromAFolderMakesTheDatabaseMatchIt) {
    CatalogSim f(test::kVersion2008, {"demo_source.sql", "demo_target.sql"});
    ASSERT_SIM_STARTED(f);
    Store(f);
    const std::string dir = f.env.PathOf("release");
    CliResult r = Run("script-folder " + Server(f) + " " + kDb + " '" + dir + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string side = "'folder:" + dir + "'";
    r = Run("compare-all --format csv " + side + " " + Server(f) + " OrvaneDemoTarget");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_FALSE(Changes(r.out).empty());
    r = Run("deploy-script --drop-extra --allow-data-loss --apply --confirm-target "
            "OrvaneDemoTarget " +
            side + " " + Server(f) + " OrvaneDemoTarget");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("-- Deployment script"), std::string::npos) << r.out;
    r = Run("compare-all --format csv " + side + " " + Server(f) + " OrvaneDemoTarget");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Changes(r.out), std::vector<std::string>{}) << r.out;
    // A folder is a Source only.
    r = Run("deploy-script " + Server(f) + " " + kDb + " " + side);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("the Source may be a scripts folder, folder:<dir>, or a snapshot, "
                         "snapshot:<file>; the Target must be a database"),
              std::string::npos)
        << r.err;
}

TEST_F(ScriptFolderCli, WhatIsNoScriptsFolderStopsTheRunWithAMessage) {
    CatalogSim f(test::kVersion2008, {"demo_source.sql"});
    ASSERT_SIM_STARTED(f);
    Store(f);
    const std::string dir = f.env.PathOf("empty");
    fs::create_directories(dir);
    const std::string report = f.env.PathOf("report.txt");
    CliResult r =
        Run("compare-all --output '" + report + "' 'folder:" + dir + "' " + Server(f) + " " + kDb);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "orvane-cli compare-all: " + dir + " is not a scripts folder: " + dir +
                         "/orvane-folder.txt cannot be read.\n");
    EXPECT_FALSE(fs::exists(report));
    r = Run("compare-all folder: " + Server(f) + " " + kDb);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("folder: needs a folder name"), std::string::npos) << r.err;
}

} // namespace
} // namespace orv
