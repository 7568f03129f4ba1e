#include "core/registry.h"
#include "core/settings.h"
#include "servers/command_parameters.h"
#include "servers/connection_string.h"
#include "servers/freetds_config.h"
#include "servers/odbc_connection.h"
#include "servers/odbc_error.h"
#include "test_env.h"

#include <gtest/gtest.h>

#include <regex>

namespace orv {
namespace {

ServerEntry SqlLogin(const std::string& name, const std::string& login, const std::string& pwd) {
    ServerEntry e;
    e.Name = name;
    e.SQLAuth = true;
    e.LoginName = login;
    e.Pwd = pwd;
    return e;
}

// Reads an ODBC connection string back the way a driver does: "key=value;" pairs, a value in
// braces runs to the first single "}" and "}}" stands for one "}". FreeTDS instead ends a
// braced value at the first "};" and keeps every "}" before it.
std::vector<std::pair<std::string, std::string>> ParseOdbc(const std::string& s,
                                                           bool freeTds = false) {
    std::vector<std::pair<std::string, std::string>> out;
    size_t i = 0;
    while (i < s.size()) {
        size_t eq = s.find('=', i);
        if (eq == std::string::npos)
            break;
        std::string key = s.substr(i, eq - i);
        std::string value;
        i = eq + 1;
        if (i < s.size() && s[i] == '{' && freeTds) {
            size_t close = s.find("};", i + 1);
            value = s.substr(i + 1, close == std::string::npos ? std::string::npos : close - i - 1);
            i = close == std::string::npos ? s.size() : close + 1;
        } else if (i < s.size() && s[i] == '{') {
            ++i;
            while (i < s.size()) {
                if (s[i] == '}') {
                    if (i + 1 < s.size() && s[i + 1] == '}') {
                        value += '}';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += s[i++];
            }
        } else {
            size_t semi = s.find(';', i);
            value = s.substr(i, semi - i);
            i = semi == std::string::npos ? s.size() : semi;
        }
        if (i < s.size() && s[i] == ';')
            ++i;
        out.emplace_back(key, value);
    }
    return out;
}

std::string ValueOf(const std::vector<std::pair<std::string, std::string>>& pairs,
                    const std::string& key) {
    for (const auto& [k, v] : pairs)
        if (k == key)
            return v;
    return "<absent>";
}

TEST(LoggedConnectionText, KeepsTheClassicFormButNeverThePassword) {
    ServerEntry s = SqlLogin("db1\\inst", "sa", "s3cret;x=1");
    EXPECT_EQ(LoggedConnectionText(s, "Northwind", true),
              "Provider=SQLOLEDB.1;Persist Security Info=False;Data Source=db1\\inst;"
              "Initial Catalog=Northwind;Password=********;User ID=sa");
    EXPECT_EQ(LoggedConnectionText(s, "Northwind", false),
              "Provider=SQLOLEDB.1;Persist Security Info=False;Data Source=db1\\inst;"
              "Password=********;User ID=sa");
    ServerEntry w;
    w.Name = "host";
    w.Pwd = "left over";
    EXPECT_EQ(LoggedConnectionText(w, "master", true),
              "Provider=SQLOLEDB.1;Persist Security Info=False;Data Source=host;"
              "Initial Catalog=master;Integrated Security=SSPI");
}

TEST(OdbcConnectionString, EveryValueArrivesIntactWhateverItHolds) {
    const std::string nasty[] = {"p;w", "a=b", "{x}", "}", "}}{", "end}", "semi;}{=", "ü ß €", ""};
    const OdbcDriverChoice drivers[] = {
        {OdbcBraced("/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so"), true},
        {OdbcBraced("ODBC Driver 18 for SQL Server"), false}};
    for (const OdbcDriverChoice& driver : drivers) {
        for (const std::string& pwd : nasty) {
            SCOPED_TRACE(driver.driverValue + " " + pwd);
            ServerEntry s = SqlLogin("127.0.0.1,1433", "us}er;", pwd);
            EXPECT_EQ(ConnectionStringProblem(driver, s, "db;{x}"), "");
            auto pairs = ParseOdbc(OdbcConnectionString(driver, s, "db;{x}"), driver.isFreeTds);
            EXPECT_EQ(ValueOf(pairs, "PWD"), pwd);
            EXPECT_EQ(ValueOf(pairs, "UID"), "us}er;");
            EXPECT_EQ(ValueOf(pairs, "Database"), "db;{x}");
            EXPECT_EQ(ValueOf(pairs, "APP"), "orvane");
        }
    }
    auto pairs =
        ParseOdbc(OdbcConnectionString(drivers[0], SqlLogin("h,1433", "sa", "x"), ""), true);
    EXPECT_EQ(ValueOf(pairs, "Driver"), "/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so");
    EXPECT_EQ(ValueOf(pairs, "Server"), "h");
    EXPECT_EQ(ValueOf(pairs, "Port"), "1433");
    EXPECT_EQ(ValueOf(pairs, "TDS_Version"), "7.3");

    // The one text FreeTDS cannot take is refused before anything is sent.
    ServerEntry s = SqlLogin("h", "sa", "a};b");
    EXPECT_NE(ConnectionStringProblem(drivers[0], s, "master"), "");
    EXPECT_EQ(ConnectionStringProblem(drivers[1], s, "master"), "");
    EXPECT_EQ(ValueOf(ParseOdbc(OdbcConnectionString(drivers[1], s, "")), "PWD"), "a};b");
    s.SQLAuth = false; // Windows authentication sends no password at all
    EXPECT_EQ(ConnectionStringProblem(drivers[0], s, "master"), "");
}

TEST(OdbcConnectionString, ServerNamesAsUsersTypeThem) {
    OdbcDriverChoice tds{"{FreeTDS}", true};
    OdbcDriverChoice other{"{ODBC Driver 18 for SQL Server}", false};
    ServerEntry s = SqlLogin("", "sa", "pw");

    s.Name = "dbhost\\SQLEXPRESS";
    auto p = ParseOdbc(OdbcConnectionString(tds, s, ""));
    EXPECT_EQ(ValueOf(p, "Server"), "dbhost\\SQLEXPRESS");
    EXPECT_EQ(ValueOf(p, "Port"), "<absent>");
    EXPECT_EQ(ValueOf(p, "Database"), "<absent>");

    s.Name = " dbhost , 14330 ";
    p = ParseOdbc(OdbcConnectionString(tds, s, "master"));
    EXPECT_EQ(ValueOf(p, "Server"), "dbhost");
    EXPECT_EQ(ValueOf(p, "Port"), "14330");
    p = ParseOdbc(OdbcConnectionString(other, s, "master"));
    EXPECT_EQ(ValueOf(p, "Server"), "dbhost,14330");
    EXPECT_EQ(ValueOf(p, "TDS_Version"), "<absent>");

    s.Name = "(local)";
    EXPECT_EQ(ParseServerName(s.Name).host, "127.0.0.1");
    ServerAddress a = ParseServerName("h\\inst,99");
    EXPECT_EQ(a.host, "h");
    EXPECT_EQ(a.instance, "inst");
    EXPECT_EQ(a.port, 99);

    ServerEntry win;
    win.Name = "h";
    win.LoginName = "ignored";
    p = ParseOdbc(OdbcConnectionString(tds, win, ""));
    EXPECT_EQ(ValueOf(p, "Trusted_Connection"), "Yes");
    EXPECT_EQ(ValueOf(p, "UID"), "<absent>");
    EXPECT_EQ(ValueOf(p, "PWD"), "<absent>");
}

TEST(OdbcDriverSetting, FreeTdsByDefaultAndAnyOtherDriverByName) {
    test::TestEnv env;
    OdbcDriverChoice d = ResolveOdbcDriver();
    EXPECT_TRUE(d.isFreeTds);
    // Registered or not, the FreeTDS choice must name something the driver manager can load.
    EXPECT_TRUE(d.driverValue == "{FreeTDS}" ||
                d.driverValue == "{/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so}")
        << d.driverValue;

    SetRegString(HKEY_CURRENT_USER, kKeyMav, "OdbcDriver", "ODBC Driver 18 for SQL Server");
    d = ResolveOdbcDriver();
    EXPECT_FALSE(d.isFreeTds);
    EXPECT_EQ(d.driverValue, "{ODBC Driver 18 for SQL Server}");

    SetRegString(HKEY_CURRENT_USER, kKeyMav, "OdbcDriver", "/opt/x/libtdsodbc.so");
    d = ResolveOdbcDriver();
    EXPECT_TRUE(d.isFreeTds);
    EXPECT_EQ(d.driverValue, "{/opt/x/libtdsodbc.so}");
}

TEST(OdbcErrorMapping, ServerAndDriverFailuresGetTheirClassicNumbers) {
    struct Case {
        const char* state;
        int32_t native;
        OdbcPhase phase;
        int32_t expected;
    };
    const Case cases[] = {
        {"42S02", 208, OdbcPhase::Execute, -2147217865},
        {"42000", 208, OdbcPhase::Execute, -2147217865},
        {"42000", 102, OdbcPhase::Execute, -2147217900},
        {"42000", 156, OdbcPhase::Execute, -2147217900},
        {"HYT00", 0, OdbcPhase::Execute, -2147217871},
        {"28000", 18456, OdbcPhase::Connect, -2147217843},
        {"42000", 18456, OdbcPhase::Connect, -2147217843},
        {"42000", 4060, OdbcPhase::Connect, -2147217843},
        {"08001", 0, OdbcPhase::Connect, -2147467259},
        {"08S01", 0, OdbcPhase::Execute, -2147467259},
        {"HY000", 0, OdbcPhase::Connect, -2147467259},
        {"22012", 8134, OdbcPhase::Execute, -2147217900},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.state) + " " + std::to_string(c.native));
        EXPECT_EQ(MapOdbcError(c.state, c.native, c.phase), c.expected);
    }
}

TEST(OdbcErrorMapping, TheServersMessageIsTheDescription) {
    std::vector<OdbcDiagnostic> records = {
        {"08001", 0,
         StripDriverPrefixes("[unixODBC][FreeTDS][SQL Server]Unable to connect to data source")},
        {"42000", 18456, StripDriverPrefixes("[FreeTDS][SQL Server]Login failed for user 'sa'.")}};
    OdbcError e = MakeOdbcError(records, OdbcPhase::Connect, "fallback");
    EXPECT_EQ(e.number, kErrAuthentication);
    EXPECT_EQ(e.description, "Login failed for user 'sa'.");

    records = {{"08001", 0, "Unable to connect: Adaptive Server is unavailable or does not exist"},
               {"08001", 0, "Unable to connect to data source"}};
    e = MakeOdbcError(records, OdbcPhase::Connect, "fallback");
    EXPECT_EQ(e.number, kErrFail);
    EXPECT_EQ(e.description, "Unable to connect: Adaptive Server is unavailable or does not exist");

    e = MakeOdbcError({}, OdbcPhase::Execute, "fallback");
    EXPECT_EQ(e.number, kErrFail);
    EXPECT_EQ(e.description, "fallback");
    EXPECT_EQ(StripDriverPrefixes("no prefix [kept]"), "no prefix [kept]");
}

TEST(CommandParameters, TypesSizesNamesAndNulls) {
    test::TestEnv env;
    Command cmd;
    EXPECT_EQ(AppendCommandParameter(cmd, std::monostate{}, kAdParamInput), "");
    EXPECT_TRUE(cmd.parameters.empty());

    const std::regex named(R"(^(str|lng|dbl|bln|dtm)0\.\d{7}$)");
    std::string n = AppendCommandParameter(cmd, std::string("abc"), kAdParamInput);
    EXPECT_TRUE(std::regex_match(n, named)) << n;
    EXPECT_EQ(n.substr(0, 3), "str");
    EXPECT_EQ(cmd.parameters.back().adoType, 202);
    EXPECT_EQ(cmd.parameters.back().size, 3);
    AppendCommandParameter(cmd, std::string(""), kAdParamInput);
    EXPECT_EQ(cmd.parameters.back().size, 1);
    AppendCommandParameter(cmd, std::string("abc"), kAdParamInputOutput);
    EXPECT_EQ(cmd.parameters.back().size, 255);
    AppendCommandParameter(cmd, std::string(300, 'x'), kAdParamInputOutput);
    EXPECT_EQ(cmd.parameters.back().size, 300);

    n = AppendCommandParameter(cmd, int32_t{-1}, kAdParamInput);
    EXPECT_EQ(n.substr(0, 3), "lng");
    EXPECT_TRUE(cmd.parameters.back().value.IsNull());
    AppendCommandParameter(cmd, int32_t{7}, kAdParamInput);
    EXPECT_EQ(cmd.parameters.back().value.Long(), 7);
    AppendCommandParameter(cmd, -1.0, kAdParamInput);
    EXPECT_EQ(cmd.parameters.back().adoType, 5);
    EXPECT_TRUE(cmd.parameters.back().value.IsNull());
    EXPECT_EQ(AppendCommandParameter(cmd, true, kAdParamInput).substr(0, 3), "bln");
    EXPECT_EQ(AppendCommandParameter(cmd, FieldValue::Null(), kAdParamInput).substr(0, 3), "dtm");
    EXPECT_EQ(
        AppendCommandParameter(cmd, FieldValue::Date("2024-01-02 00:00:00.000"), kAdParamInput)
            .substr(0, 3),
        "dtm");
    EXPECT_TRUE(env.prompter.messages.empty());

    const size_t before = cmd.parameters.size();
    bool unsupported = false;
    EXPECT_EQ(AppendCommandParameter(cmd, FieldValue::Dec("1.50"), kAdParamInput, &unsupported),
              "");
    EXPECT_TRUE(unsupported);
    EXPECT_EQ(cmd.parameters.size(), before);
    ASSERT_EQ(env.prompter.messages.size(), 1u);
    EXPECT_EQ(env.prompter.messages[0].icon, MsgIcon::Error);
    EXPECT_EQ(env.prompter.messages[0].text, "Data Type Decimal not currently handled");
}

} // namespace
} // namespace orv

namespace orv {
namespace {

// "request" is every driver's default and goes unsaid; FreeTDS takes the other two as its
// Encryption keyword, other SQL Server drivers as Encrypt.
TEST(OdbcConnectionString, EncryptionAsEachDriverSpellsIt) {
    const OdbcDriverChoice tds{"{FreeTDS}", true};
    const OdbcDriverChoice other{"{ODBC Driver 18 for SQL Server}", false};
    const struct {
        const char* setting;
        const char* freeTds;
        const char* otherDriver;
    } cases[] = {{"request", "<absent>", "<absent>"},
                 {"require", "require", "yes"},
                 {"Off", "off", "no"},
                 {"sometimes", "<absent>", "<absent>"}};
    for (const auto& c : cases) {
        ServerEntry s = SqlLogin("h", "sa", "pw");
        s.Encryption = c.setting;
        EXPECT_EQ(ValueOf(ParseOdbc(OdbcConnectionString(tds, s, "")), "Encryption"), c.freeTds)
            << c.setting;
        EXPECT_EQ(ValueOf(ParseOdbc(OdbcConnectionString(other, s, "")), "Encrypt"), c.otherDriver)
            << c.setting;
    }
}

} // namespace
} // namespace orv

namespace orv {
namespace {

// A server checked against a CA file is named by its private freetds.conf section, which
// carries the address, the CA file and the host name check (FreeTDS takes those from there
// alone); the rest of the string is as always.
TEST(OdbcConnectionString, ASectionNamesTheServerInsteadOfItsAddress) {
    const OdbcDriverChoice tds{"{FreeTDS}", true};
    ServerEntry s = SqlLogin("db.example,1444", "sa", "pw");
    s.Encryption = "require";
    const auto pairs = ParseOdbc(OdbcConnectionString(tds, s, "Shop", "orvane-2"));
    EXPECT_EQ(ValueOf(pairs, "Servername"), "orvane-2");
    EXPECT_EQ(ValueOf(pairs, "Server"), "<absent>");
    EXPECT_EQ(ValueOf(pairs, "Port"), "<absent>");
    EXPECT_EQ(ValueOf(pairs, "Encryption"), "require");
    EXPECT_EQ(ValueOf(pairs, "Database"), "Shop");

    FreeTdsSection section;
    section.host = "db.example";
    section.port = 1444;
    section.encryption = "require";
    section.caFile = "/run/user/1000/orvane/ca-7-1.pem";
    EXPECT_EQ(FreeTdsSectionText("orvane-2", section),
              "[orvane-2]\n\thost = db.example\n\tport = 1444\n\tencryption = require\n"
              "\tca file = /run/user/1000/orvane/ca-7-1.pem\n"
              "\tcheck certificate hostname = yes\n");
}

} // namespace
} // namespace orv
