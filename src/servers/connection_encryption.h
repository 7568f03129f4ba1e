// Whether a connection to a server travels encrypted. The server is asked, where it can say:
// only it knows whether a "request" ended in TLS for the whole session, for the login alone
// (which it reports as not encrypted) or not at all. Where it cannot (SQL Server 2000 has no
// view of its connections; a login without the server-wide right is refused it) the
// connection's own setting decides what can be known.
#pragma once

#include "servers/server_entry.h"

#include <cstdint>
#include <string>

namespace orv {

// The connection's own row: encrypt_option is 'TRUE' only when the whole session is in TLS.
constexpr const char* kConnectionEncryptionQuery =
    "SELECT encrypt_option FROM sys.dm_exec_connections WHERE session_id = @@SPID";

enum class EncryptionState { Encrypted, NotEncrypted, Unknown };

struct EncryptionReport {
    EncryptionState State = EncryptionState::Unknown;
    // How it is known, or why it is not: a sentence for the tool tip.
    std::string Reason;
};

// The few words the window shows: "encrypted", "not encrypted" or "encryption unknown".
const char* EncryptionStateText(EncryptionState state);

// The judgement on what the server answered (`answer`: its encrypt_option; `asked` false when
// it was not asked, `failure` the driver's words when asking failed) and the server's setting.
// `freeTds`: the driver is FreeTDS, which refuses a server that insists on TLS when told "off".
EncryptionReport JudgeEncryption(const ServerEntry& server, bool asked, const std::string& answer,
                                 const std::string& failure, bool freeTds);

// Asks the server about a connection to `database` as every query of the program makes it
// (same settings, so the same encryption), and judges. Shows no message.
EncryptionReport AskConnectionEncryption(const ServerEntry& server, const std::string& database,
                                         int32_t timeoutSeconds);

} // namespace orv
