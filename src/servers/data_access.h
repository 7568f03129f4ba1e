// The data-access check: the ODBC driver manager must be present and recent enough.
#pragma once

#include <string>

namespace orv {

// The driver manager's ODBC version text, e.g. "03.52.0000"; empty when none can be loaded.
std::string DataAccessVersion();
// The leading number of a version text ("03.52.0000" -> 3.52); 0 when it has none.
double DataAccessVersionNumber(const std::string& version);
constexpr double kMinimumDataAccessVersion = 2.5;

struct ServerEntry;
// The ODBC driver that reaches `server`: its file name and version as the driver reports them
// over a connection (taken from the idle ones when there is one). False when no connection
// could be made.
bool OdbcDriverInUse(const ServerEntry& server, std::string& name, std::string& version);

} // namespace orv
