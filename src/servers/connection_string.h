// The two texts made from a server entry: the connection text the log shows (its classic form,
// password masked) and the ODBC connection string actually handed to the driver.
#pragma once

#include "servers/server_entry.h"
#include "util/encryption_setting.h"

#include <string>

namespace orv {

constexpr const char* kPasswordMask = "********";

// Where a server name as users type it points: "host", "host\instance" or "host,port".
struct ServerAddress {
    std::string host;
    std::string instance; // empty unless "host\instance"
    int port = 0;         // 0 unless "host,port"
};
ServerAddress ParseServerName(const std::string& name);

// "Provider=SQLOLEDB.1;Persist Security Info=False;Data Source=S;Initial Catalog=D;
// Password=********;User ID=U" (or "...Integrated Security=SSPI"). The catalog part only when
// `withCatalog`; the password always masked.
std::string LoggedConnectionText(const ServerEntry& server, const std::string& database,
                                 bool withCatalog);

// The driver part of the ODBC string, already braced: "{FreeTDS}", "{/path/libtdsodbc.so}"...
struct OdbcDriverChoice {
    std::string driverValue; // the text after "Driver="
    bool isFreeTds = false;
};

// A value in braces, so ";", "=", "{" and "}" reach the driver intact. The ODBC rule doubles
// every "}"; FreeTDS instead reads a braced value up to the first "};" and knows no doubling,
// so for it the value goes in unchanged (every pair of the string ends with ";").
std::string OdbcBraced(const std::string& value, bool freeTds = false);
// Why a value cannot be passed to the driver at all (FreeTDS: it holds "};"); empty when it can.
std::string OdbcValueProblem(const std::string& value, bool freeTds);
// Every value braced. An empty database leaves the login's default database.
// ConnectionStringProblem tells first whether some value cannot be passed.
std::string ConnectionStringProblem(const OdbcDriverChoice& driver, const ServerEntry& server,
                                    const std::string& database);
// `freeTdsSection`: the private freetds.conf section that names the server instead (FreeTDS
// only; its host, port, CA file and host name check come from there).
std::string OdbcConnectionString(const OdbcDriverChoice& driver, const ServerEntry& server,
                                 const std::string& database,
                                 const std::string& freeTdsSection = {});

} // namespace orv
