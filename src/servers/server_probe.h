// The checks the Add Server dialog makes before it stores a server.
#pragma once

#include "servers/server_entry.h"

#include <cstdint>
#include <string>

namespace orv {

// Logs in and reads one database name; true when that worked. When it did not and `reason` is
// given, it receives the server's (or driver's) own words for the last failure, e.g. "Login
// failed for user 'sa'.".
bool TestConnection(const ServerEntry& entry, std::string* reason = nullptr);
// True when a stored server has this name, ignoring letter case.
bool ServerExists(const std::string& name);
// The text shown when the trial connection broke unexpectedly: the generic "does not exist"
// text for E_FAIL, the error's own description otherwise.
std::string TestConnectionFailureText(int32_t errNumber, const std::string& description);

} // namespace orv
