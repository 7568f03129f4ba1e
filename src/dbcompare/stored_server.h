// The server a comparison run without a window connects to: a stored server by name (or, with
// a login, any server), its version learned from the registry or the server itself.
#pragma once

#include "servers/server_entry.h"

#include <string>

namespace orv {

// False with the reason when the server is not stored (and no login was given) or cannot be
// reached; a refused login is reported in the driver's words. Shows no message. `security`'s
// values stand in for the stored Encryption and CAFile.
bool ResolveStoredServer(const std::string& name, const std::string& login,
                         const std::string& password, const ConnectionSecurity& security,
                         ServerEntry& entry, std::string& error);
// The same for commands that take no login: only a stored server will do.
bool ResolveStoredServer(const std::string& name, ServerEntry& entry, std::string& error,
                         const ConnectionSecurity& security = {});

} // namespace orv
