// --encryption and --ca-file on every orvane-cli command that connects, run as separate
// processes against a simulator that offers no TLS: each command connects as stored, and is
// refused with the reason, before any statement reaches the server, once the command line
// requires encryption or names a CA; wrong values are refused as usage errors; every --help
// names both.
#include "cli_runner.h"
#include "core/saved_comparison.h"
#include "test_certificates.h"

#include <filesystem>

namespace orv {
namespace {

namespace fs = std::filesystem;
using test::CatalogSim;
using test::CliResult;

constexpr const char* kRefused =
    "Encryption is required for this server: a server that offers none is refused.";

class CliEncryption : public test::CliTest {
protected:
    // As Store, with `knownVersion` the server's version kept in the registry too: the
    // command's own first query is then the first connection.
    void StoreServer(CatalogSim& f, bool knownVersion) {
        if (!knownVersion)
            return Store(f);
        ServerAddToList(f.server);
        const std::string config = f.env.PathOf("xdg/orvane/");
        fs::create_directories(config);
        fs::copy_file(f.env.RegistryFile(), config + "registry.reg");
        home_ = f.env.PathOf("xdg");
    }

    // Saves process 1, DbiShop against itself, for run-saved.
    void SaveProcess(const std::string& server) {
        fs::create_directories(home_ + "/Documents");
        ComparisonDescription d;
        d.CompType = kCompTypeStructure;
        d.CompSubType = kCompSubTypeAllObjects;
        d.EncObjTypes = "1,0,1,1,1,1,0";
        d.ServerName[0] = d.ServerName[1] = server;
        d.DbName[0] = d.DbName[1] = "DbiShop";
        d.TableId[0] = d.TableId[1] = "0";
        ASSERT_EQ(SaveComparisonProcess(home_ + "/Documents/orv_comps.ini", d), 1);
    }

    // Every command that connects, with words that make it succeed against DbiShop.
    std::vector<std::pair<std::string, std::string>> Commands(const std::string& server) const {
        const std::string s = "'" + server + "' ";
        const std::string pair = s + "DbiShop " + s + "DbiShop";
        const std::string out = "'" + home_ + "/out";
        return {
            {"list", "list " + s + "DbiShop tables"},
            {"show", "show " + s + "DbiShop procedures GetCustomer"},
            {"create", "create " + s + "DbiShop tables Customers"},
            {"count", "count " + s + "DbiShop Customers"},
            {"dbinfo", "dbinfo " + s + "DbiShop"},
            {"find", "find " + s + "DbiShop Cust"},
            {"check-refs", "check-refs " + s + "DbiShop"},
            {"analyze", "analyze " + s + "DbiShop Customers"},
            {"run-saved", "run-saved 1 --output " + out + ".csv'"},
            {"compare", "compare " + pair + " procedures GetCustomer"},
            {"compare-all", "compare-all " + pair},
            {"compare-data", "compare-data --tables Customers " + pair},
            {"snapshot", "snapshot " + s + "DbiShop " + out + ".orvsnap'"},
            {"deploy-script", "deploy-script --output " + out + ".sql' " + pair},
        };
    }
};

TEST_P(CliEncryption, EveryCommandThatConnectsHonoursTheCommandLinesEncryption) {
    for (const bool knownVersion : {false, true}) {
        SCOPED_TRACE(knownVersion ? "version known" : "version asked");
        CatalogSim f(GetParam(), {"dbi_inventory.sql"});
        ASSERT_SIM_STARTED(f);
        StoreServer(f, knownVersion);
        SaveProcess(f.server.Name);
        test::TestCertificates certs;
        std::string made;
        ASSERT_TRUE(test::MakeTestCertificates(f.env.Dir(), certs, made)) << made;
        for (const auto& [name, words] : Commands(f.server.Name)) {
            SCOPED_TRACE(name);
            // As stored ("request"), the server without TLS is used as it is.
            CliResult r = Run(words);
            EXPECT_NE(r.status, 2) << r.err;
            EXPECT_EQ(r.err.find(kRefused), std::string::npos) << r.err;
            // The command line's word stands in for the stored one, wherever it stands; a CA file
            // requires encryption too. Nothing reaches the server, not even the login.
            const std::string demands[] = {words + " --encryption require",
                                           words + " --encryption=REQUIRE",
                                           words + " --ca-file '" + certs.caFile + "'"};
            for (const std::string& demand : demands) {
                SCOPED_TRACE(demand);
                f.sim->ClearStatements();
                r = Run(demand);
                EXPECT_EQ(r.status, 2);
                EXPECT_TRUE(r.err.find(kRefused) != std::string::npos ||
                            r.err.find("The server's certificate must be signed by the CA in " +
                                       certs.caFile) != std::string::npos)
                    << r.err;
                EXPECT_TRUE(f.sim->Statements().empty());
            }
            // "off" connects too, asking for no TLS at all.
            r = Run(words + " --encryption off");
            EXPECT_NE(r.status, 2) << r.err;
        }
    }
}

TEST_P(CliEncryption, WrongValuesAreUsageErrorsAndEveryHelpNamesBoth) {
    CatalogSim f(GetParam(), {"dbi_inventory.sql"});
    ASSERT_SIM_STARTED(f);
    Store(f);
    SaveProcess(f.server.Name);
    const std::string missing = f.env.PathOf("no-such-ca.pem");
    for (const auto& [name, words] : Commands(f.server.Name)) {
        SCOPED_TRACE(name);
        f.sim->ClearStatements();
        CliResult r = Run(words + " --encryption maybe");
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("--encryption takes request, require or off, not maybe"),
                  std::string::npos)
            << r.err;
        r = Run(words + " --encryption");
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("--encryption needs a value"), std::string::npos) << r.err;
        r = Run(words + " --ca-file '" + missing + "'");
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("The CA certificate file " + missing + " cannot be read."),
                  std::string::npos)
            << r.err;
        EXPECT_TRUE(f.sim->Statements().empty());

        // list, show, create and count share the program's own help, read below.
        if (name == "list" || name == "show" || name == "create" || name == "count")
            continue;
        r = Run(name + " --help");
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("--encryption <mode>"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("--ca-file <file>"), std::string::npos) << r.out;
    }
    const CliResult r = Run("--help");
    EXPECT_NE(r.out.find("--encryption MODE and --ca-file FILE"), std::string::npos) << r.out;
}

// The refusal does not depend on the server's version, which the program may know already.
INSTANTIATE_TEST_SUITE_P(Versions, CliEncryption, ::testing::Values(test::kVersion2008),
                         test::VersionName);

} // namespace
} // namespace orv
