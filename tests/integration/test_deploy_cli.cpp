// `orvane-cli deploy-script` against the demo databases: the script on standard output or in a
// file, the target named twice before anything runs, and --apply proved by compare-all.
#include "cli_runner.h"
#include "util/text.h"

#include <algorithm>

namespace orv {
namespace {

class DeployCli : public test::CliTest {
protected:
    std::string Args(const test::CatalogSim& f, const std::string& options) {
        const std::string server = "'" + f.server.Name + "'";
        return "deploy-script " + options + " " + server + " OrvaneDemoSource " + server +
               " OrvaneDemoTarget";
    }
    // The statements the target received that change something.
    std::vector<std::string> Changes(const test::CatalogSim& f) {
        std::vector<std::string> out;
        for (const std::string& sql : f.Sql("OrvaneDemoTarget")) {
            const std::string upper = ToUpperAscii(sql);
            for (const char* verb : {"ALTER ", "CREATE ", "DROP ", "BEGIN TRAN"}) {
                if (upper.rfind(verb, 0) == 0)
                    out.push_back(sql.substr(0, 60));
            }
        }
        return out;
    }
};

TEST_P(DeployCli, WritesRefusesAppliesAndProves) {
    const bool v8 = GetParam() == std::string(test::kVersion2000);
    test::CatalogSim f(GetParam(), {"demo_source.sql", "demo_target.sql"});
    ASSERT_SIM_STARTED(f);
    Store(f);

    // The script alone: on standard output, or in a file; nothing reaches the target.
    test::CliResult r = Run(Args(f, ""));
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out.rfind("-- Deployment script: makes the structure of the target database "
                          "match the source.\n-- Source: server " +
                              f.server.Name + ", database OrvaneDemoSource\n",
                          0),
              0u)
        << r.out;
    EXPECT_EQ(r.out.find('\r'), std::string::npos); // LF line breaks
    EXPECT_NE(r.err.find("warning: Left out (data loss): column [VatNumber] of "
                         "[dbo].[Customers] is dropped, and the table holds 20 rows"),
              std::string::npos)
        << r.err;
    const std::string file = f.env.PathOf("deploy.sql");
    r = Run(Args(f, "--output '" + file + "'"));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.empty());
    EXPECT_NE(test::ReadTextFile(file).find("USE [OrvaneDemoTarget]\nGO\n"), std::string::npos);
    EXPECT_EQ(Changes(f), std::vector<std::string>{});

    // --apply with the wrong database named again runs nothing; without it, is refused.
    r = Run(Args(f, "--apply --confirm-target OrvaneDemoSource"));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "orvane-cli deploy-script: --confirm-target names 'OrvaneDemoSource', but "
                     "the target database is 'OrvaneDemoTarget'; nothing was run.\n");
    r = Run(Args(f, "--apply"));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--apply needs --confirm-target <database>"), std::string::npos);
    EXPECT_EQ(Changes(f), std::vector<std::string>{});

    // Applied with everything allowed, the target matches; compare-all agrees. On SQL Server
    // 2000 the archive procedure (DELETE TOP (n), later syntax) is left out.
    const std::string keepOut = v8 ? " --exclude procedures:dbo.usp_Archive_AuditLog" : "";
    r = Run(Args(f, "--apply --confirm-target OrvaneDemoTarget --drop-extra --allow-data-loss" +
                        keepOut));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Target now matches Source: "), std::string::npos) << r.err;
    EXPECT_FALSE(Changes(f).empty());
    const std::string server = "'" + f.server.Name + "'";
    r = Run("compare-all --not-comparable report" + keepOut + " " + server + " OrvaneDemoSource " +
            server + " OrvaneDemoTarget");
    EXPECT_EQ(r.status, 0) << r.out;
    // And again there is nothing left to deploy.
    r = Run(Args(f, keepOut));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("nothing to deploy: the target matches the source."), std::string::npos);
}

// --rename-column: a rename is made only when named, and only for a pair that is there; named
// wrongly, nothing is written and the message says what does not fit.
TEST_P(DeployCli, RenamesAColumnOnlyWhenToldAndOnlyWhereItFits) {
    const std::string table = "CREATE TABLE dbo.Parcels (Id int NOT NULL CONSTRAINT PK_Parcels "
                              "PRIMARY KEY, Weight decimal(8,3) NOT NULL)\nGO\n"
                              "INSERT INTO dbo.Parcels VALUES (1, 1.250)\nGO\n";
    test::CatalogSim f(GetParam(), {},
                       {"CREATE DATABASE OrvaneDemoSource\nGO\nUSE OrvaneDemoSource\nGO\n" + table +
                        "EXEC sp_rename 'Parcels.Weight', 'Kilograms', 'COLUMN'\nGO\n" +
                        "CREATE DATABASE OrvaneDemoTarget\nGO\nUSE OrvaneDemoTarget\nGO\n" +
                        table});
    ASSERT_SIM_STARTED(f);
    Store(f);
    const std::string prefix = "orvane-cli deploy-script: ";

    test::CliResult r = Run(Args(f, ""));
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out.find("sp_rename"), std::string::npos) << r.out;

    struct Refusal {
        const char* option;
        std::string err;
    };
    const Refusal refusals[] = {
        {"dbo.Parcels.Weight=Grams",
         "the source's table [dbo].[Parcels] has no column Grams that the target's lacks"},
        {"Parcels.Kilograms=Weight",
         "the target's table [dbo].[Parcels] has no column Kilograms that the source's lacks"},
        {"sales.Parcels.Weight=Kilograms", "no table sales.Parcels differs between the databases"},
    };
    for (const Refusal& refusal : refusals) {
        r = Run(Args(f, std::string("--rename-column '") + refusal.option + "'"));
        EXPECT_EQ(r.status, 2) << refusal.option;
        EXPECT_EQ(r.err, prefix + "--rename-column " + refusal.option + ": " + refusal.err +
                             "; nothing was written.\n");
        EXPECT_TRUE(r.out.empty());
    }
    r = Run(Args(f, "--rename-column Parcels.Weight"));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--rename-column Parcels.Weight: write it as TABLE.OLD=NEW, TABLE as "
                         "schema.table or table"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(Changes(f), std::vector<std::string>{});

    r = Run(Args(f, "--rename-column Parcels.Weight=Kilograms --apply --confirm-target "
                    "OrvaneDemoTarget"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("EXEC sp_rename N'[dbo].[Parcels].[Weight]', N'Kilograms', 'COLUMN';"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.err.find("Target now matches Source: 1 of 1 objects"), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(Versions, DeployCli,
                         ::testing::Values(test::kVersion2000, test::kVersion2008),
                         test::VersionName);

} // namespace
} // namespace orv
