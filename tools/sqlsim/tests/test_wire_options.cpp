// The command line, the port file, logins and the statement log's escaping.
#include "wire/auth.h"
#include "wire/options.h"
#include "wire/statement_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace sqlsim::wire;

TEST(WireOptions, FullCommandLine) {
    Options o;
    std::string err;
    ASSERT_TRUE(
        parseOptions({"--host", "127.0.0.2", "--port", "1433", "--port-file", "p", "--version",
                      "8.00.2039", "--login", "a:b:c", "--login", "x:", "--allow-integrated",
                      "--statement-log", "s.log", "--data-dir", "d", "one.sql", "two.sql"},
                     o, err))
        << err;
    EXPECT_EQ(o.host, "127.0.0.2");
    EXPECT_EQ(o.port, 1433);
    EXPECT_EQ(o.portFile, "p");
    EXPECT_EQ(o.version, "8.00.2039");
    EXPECT_EQ(o.logins, (std::vector<std::string>{"a:b:c", "x:"}));
    EXPECT_TRUE(o.allowIntegrated);
    EXPECT_EQ(o.statementLog, "s.log");
    EXPECT_EQ(o.dataDir, "d");
    EXPECT_EQ(o.scripts, (std::vector<std::string>{"one.sql", "two.sql"}));

    Options d;
    ASSERT_TRUE(parseOptions({}, d, err));
    EXPECT_EQ(d.host, "127.0.0.1");
    EXPECT_EQ(d.port, 0);
    EXPECT_EQ(d.version, "10.50.1600.1");
}

TEST(WireOptions, BadCommandLinesAreRefused) {
    for (const auto& args : std::vector<std::vector<std::string>>{{"--port"},
                                                                  {"--port", "70000"},
                                                                  {"--port", "12x"},
                                                                  {"--login", "nopassword"},
                                                                  {"--login", ":pw"},
                                                                  {"--frobnicate"},
                                                                  {"--data-dir"},
                                                                  {"--fault-stall", "-1"},
                                                                  {"--fault-stall", "1e3"},
                                                                  {"--fault-stall-on"},
                                                                  {"--fault-stall-on", ""},
                                                                  {"--fault-drop-after-rows", "0"},
                                                                  {"--fault-error-mid-result", "x"},
                                                                  {"--fault-refuse-login-every"},
                                                                  {"--latency-ms"},
                                                                  {"--latency-ms", "-5"},
                                                                  {"--latency-ms", "1.5"},
                                                                  {"--latency-ms", "86400001"},
                                                                  {"--bandwidth-kbps", "10k"}}) {
        Options o;
        std::string err;
        EXPECT_FALSE(parseOptions(args, o, err)) << args[0];
        EXPECT_FALSE(err.empty());
    }
}

TEST(WireOptions, TlsNeedsCertificateAndKeyTogether) {
    Options o;
    std::string err;
    ASSERT_TRUE(
        parseOptions({"--tls-cert", "c.pem", "--tls-key", "k.pem", "--tls-require"}, o, err))
        << err;
    EXPECT_EQ(o.tlsCert, "c.pem");
    EXPECT_EQ(o.tlsKey, "k.pem");
    EXPECT_TRUE(o.tlsRequire);
    Options none;
    ASSERT_TRUE(parseOptions({}, none, err));
    EXPECT_TRUE(none.tlsCert.empty());
    EXPECT_FALSE(none.tlsRequire);

    const std::vector<std::vector<std::string>> bad = {
        {"--tls-cert", "c.pem"}, {"--tls-key", "k.pem"}, {"--tls-require"}, {"--tls-cert"}};
    const char* const errors[] = {
        "--tls-cert and --tls-key go together", "--tls-cert and --tls-key go together",
        "--tls-require needs --tls-cert and --tls-key", "--tls-cert needs a value"};
    for (size_t i = 0; i < bad.size(); ++i) {
        Options b;
        EXPECT_FALSE(parseOptions(bad[i], b, err));
        EXPECT_EQ(err, errors[i]);
    }
}

TEST(WireOptions, FaultSwitchesAreOffUnlessAsked) {
    Options plain;
    std::string err;
    ASSERT_TRUE(parseOptions({"a.sql"}, plain, err)) << err;
    EXPECT_EQ(plain.faults.dropAfterRows, 0u);
    EXPECT_EQ(plain.faults.stallSeconds, 0.0);
    EXPECT_TRUE(plain.faults.stallOn.empty());
    EXPECT_EQ(plain.faults.refuseLoginEvery, 0u);
    EXPECT_EQ(plain.faults.errorMidResult, 0u);
    EXPECT_FALSE(plain.link.shaped());
    EXPECT_FALSE(plain.help);

    Options o;
    ASSERT_TRUE(parseOptions({"--fault-drop-after-rows", "10", "--fault-stall", "2.5",
                              "--fault-stall-on", "FROM syscomments", "--fault-refuse-login-every",
                              "3", "--fault-error-mid-result", "7", "--latency-ms", "20",
                              "--bandwidth-kbps", "10000", "--help"},
                             o, err))
        << err;
    EXPECT_EQ(o.faults.dropAfterRows, 10u);
    EXPECT_DOUBLE_EQ(o.faults.stallSeconds, 2.5);
    EXPECT_EQ(o.faults.stallOn, "FROM syscomments");
    EXPECT_EQ(o.faults.refuseLoginEvery, 3u);
    EXPECT_EQ(o.faults.errorMidResult, 7u);
    EXPECT_EQ(o.link.latencyMs, 20u);
    EXPECT_EQ(o.link.bandwidthKbps, 10000u);
    EXPECT_TRUE(o.help);
    // Every switch is described in the help text.
    for (const char* sw : {"--fault-drop-after-rows", "--fault-stall", "--fault-stall-on",
                           "--fault-refuse-login-every", "--fault-error-mid-result", "--latency-ms",
                           "--bandwidth-kbps"})
        EXPECT_NE(std::string(kUsage).find(sw), std::string::npos) << sw;
}

TEST(WireOptions, PortFileIsWrittenWhole) {
    auto dir = std::filesystem::temp_directory_path() / ("wire-port-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::string path = (dir / "port").string();
    std::string err;
    ASSERT_TRUE(writePortFile(path, 54321, err)) << err;
    std::ifstream in(path);
    std::string content((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(content, "54321\n");
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
    EXPECT_FALSE(writePortFile((dir / "missing" / "port").string(), 1, err));
    std::filesystem::remove_all(dir);
}

TEST(WireAuth, DefaultLoginAndConfiguredLogins) {
    Credentials none;
    EXPECT_TRUE(none.check("sa", "sqlsim"));
    EXPECT_TRUE(none.check("SA", "sqlsim"));
    EXPECT_FALSE(none.check("sa", "SQLSIM"));
    EXPECT_FALSE(none.check("", ""));
    Credentials c;
    ASSERT_TRUE(c.addNamePassword("app:pa:ss"));
    EXPECT_FALSE(c.addNamePassword("bad"));
    EXPECT_TRUE(c.check("App", "pa:ss"));
    EXPECT_FALSE(c.check("app", "pa"));
    EXPECT_FALSE(c.check("sa", "sqlsim"));
}

TEST(WireStatementLog, EscapesAreReversible) {
    EXPECT_EQ(escapeLogText("a\\b\r\nc\td"), "a\\\\b\\r\\nc\\td");
    EXPECT_EQ(escapeLogText("\\n"), "\\\\n"); // a literal backslash-n stays distinguishable
}
