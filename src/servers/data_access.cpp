#include "servers/data_access.h"

#include "servers/odbc_connection.h"
#include "servers/server_entry.h"

#include "util/text.h"

#include <cstdlib>
#include <sql.h>
#include <sqlext.h>

namespace orv {

std::string DataAccessVersion() {
    SQLHENV env = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
        return {};
    std::string version;
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLHDBC dbc = SQL_NULL_HDBC;
    if (SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc))) {
        SQLCHAR buf[64] = {};
        SQLSMALLINT len = 0;
        // The driver manager answers this one without a connection.
        if (SQL_SUCCEEDED(SQLGetInfo(dbc, SQL_DM_VER, buf, sizeof buf, &len)))
            version.assign(reinterpret_cast<char*>(buf));
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    }
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return version;
}

bool OdbcDriverInUse(const ServerEntry& server, std::string& name, std::string& version) {
    OdbcError error;
    OdbcConnectionPtr connection = AcquireConnection(server, "", false, error);
    if (!connection)
        return false;
    auto info = [&](SQLUSMALLINT what) {
        SQLCHAR buf[256] = {};
        SQLSMALLINT len = 0;
        return SQL_SUCCEEDED(SQLGetInfo(connection->Dbc(), what, buf, sizeof buf, &len))
                   ? std::string(reinterpret_cast<char*>(buf))
                   : std::string();
    };
    name = info(SQL_DRIVER_NAME);
    version = info(SQL_DRIVER_VER);
    ReleaseConnection(std::move(connection), true);
    return true;
}

double DataAccessVersionNumber(const std::string& version) {
    // The leading number: digits with at most one point.
    size_t end = 0;
    bool point = false;
    while (end < version.size() &&
           ((version[end] >= '0' && version[end] <= '9') || (version[end] == '.' && !point))) {
        point = point || version[end] == '.';
        ++end;
    }
    if (end == 0)
        return 0;
    double value = 0;
    return ParseDouble(version.substr(0, end), value) ? value : 0;
}

} // namespace orv
