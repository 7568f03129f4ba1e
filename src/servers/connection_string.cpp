#include "servers/connection_string.h"

#include "util/text.h"

#include <vector>

namespace orv {

ServerAddress ParseServerName(const std::string& name) {
    ServerAddress a;
    std::string t = Trim(name);
    if (size_t comma = t.find(','); comma != std::string::npos) {
        int32_t port = 0;
        if (ParseInt32(Trim(t.substr(comma + 1)), port) && port > 0 && port < 65536) {
            a.port = port;
            t = Trim(t.substr(0, comma));
        }
    }
    if (size_t slash = t.find('\\'); slash != std::string::npos) {
        a.instance = t.substr(slash + 1);
        t = t.substr(0, slash);
    }
    // "(local)" and "." are the classic spellings of this machine.
    if (t == "." || EqualsNoCase(t, "(local)"))
        t = "127.0.0.1";
    a.host = t;
    return a;
}

std::string LoggedConnectionText(const ServerEntry& server, const std::string& database,
                                 bool withCatalog) {
    std::string s = "Provider=SQLOLEDB.1;Persist Security Info=False;";
    s += "Data Source=" + server.Name + ";";
    if (withCatalog)
        s += "Initial Catalog=" + database + ";";
    if (server.SQLAuth)
        s += std::string("Password=") + kPasswordMask + ";User ID=" + server.LoginName;
    else
        s += "Integrated Security=SSPI";
    return s;
}

std::string OdbcBraced(const std::string& value, bool freeTds) {
    return "{" + (freeTds ? value : ReplaceAll(value, "}", "}}")) + "}";
}

std::string OdbcValueProblem(const std::string& value, bool freeTds) {
    if (freeTds && value.find("};") != std::string::npos)
        return "The FreeTDS driver cannot take a server, login, password or database name that "
               "contains \"};\".";
    return {};
}

std::string ConnectionStringProblem(const OdbcDriverChoice& driver, const ServerEntry& server,
                                    const std::string& database) {
    std::vector<std::string> values = {server.Name, database};
    if (server.SQLAuth) {
        values.push_back(server.LoginName);
        values.push_back(server.Pwd);
    }
    for (const std::string& v : values)
        if (std::string p = OdbcValueProblem(v, driver.isFreeTds); !p.empty())
            return p;
    return {};
}

std::string OdbcConnectionString(const OdbcDriverChoice& driver, const ServerEntry& server,
                                 const std::string& database, const std::string& freeTdsSection) {
    const ServerAddress a = ParseServerName(server.Name);
    auto Braced = [&](const std::string& v) { return OdbcBraced(v, driver.isFreeTds); };
    std::string s = "Driver=" + driver.driverValue + ";";
    std::string host = a.instance.empty() ? a.host : a.host + "\\" + a.instance;
    // FreeTDS takes the port as its own keyword; other SQL Server drivers read "host,port".
    if (driver.isFreeTds && !freeTdsSection.empty())
        s += "Servername=" + Braced(freeTdsSection) + ";";
    else if (a.port > 0 && driver.isFreeTds)
        s += "Server=" + Braced(host) + ";Port=" + Braced(std::to_string(a.port)) + ";";
    else if (a.port > 0)
        s += "Server=" + Braced(host + "," + std::to_string(a.port)) + ";";
    else
        s += "Server=" + Braced(host) + ";";
    if (!database.empty())
        s += "Database=" + Braced(database) + ";";
    if (server.SQLAuth) {
        s += "UID=" + Braced(server.LoginName) + ";";
        s += "PWD=" + Braced(server.Pwd) + ";";
    } else {
        s += "Trusted_Connection=" + Braced("Yes") + ";";
    }
    if (driver.isFreeTds) {
        // 7.3 carries the newer date types; the driver falls back when the server is older.
        s += "TDS_Version=" + Braced("7.3") + ";";
        s += "ClientCharset=" + Braced("UTF-8") + ";";
    }
    // "request" is every driver's default and goes unsaid. FreeTDS then offers TLS, demands it
    // ("require": a server without it is refused before the login is sent) or declares it
    // unsupported ("off"); other SQL Server drivers know Encrypt.
    const std::string encryption = EncryptionSettingOf(server.Encryption);
    if (encryption == "require" || encryption == "off") {
        if (driver.isFreeTds)
            s += "Encryption=" + Braced(encryption) + ";";
        else
            s += "Encrypt=" + Braced(encryption == "require" ? "yes" : "no") + ";";
    }
    s += "APP=" + Braced("orvane") + ";";
    return s;
}

} // namespace orv
