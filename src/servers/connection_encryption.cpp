#include "servers/connection_encryption.h"

#include "servers/connection_string.h"
#include "servers/worker_query.h"
#include "util/encryption_setting.h"
#include "util/text.h"

namespace orv {

namespace {

// Without the server's word: "require" (and a CA file, which implies it) connects only in TLS
// for the whole session; FreeTDS told "off" connects only without TLS.
EncryptionReport FromSetting(const ServerEntry& server, const std::string& why, bool freeTds) {
    const std::string setting = EncryptionSettingOf(server.Encryption);
    if (setting == "require" || (!server.CAFile.empty() && setting != "off"))
        return {EncryptionState::Encrypted,
                why + " It is encrypted all the same: its encryption is \"require\", and a server "
                      "that does not encrypt the whole session is refused."};
    if (setting == "off" && freeTds)
        return {EncryptionState::NotEncrypted,
                why + " Its encryption is \"off\": nothing is encrypted, the login included."};
    return {EncryptionState::Unknown,
            why + " With \"request\" it depends on the server: choose \"require\" to be sure."};
}

} // namespace

const char* EncryptionStateText(EncryptionState state) {
    switch (state) {
    case EncryptionState::Encrypted:
        return "encrypted";
    case EncryptionState::NotEncrypted:
        return "not encrypted";
    case EncryptionState::Unknown:
        break;
    }
    return "encryption unknown";
}

EncryptionReport JudgeEncryption(const ServerEntry& server, bool asked, const std::string& answer,
                                 const std::string& failure, bool freeTds) {
    if (!asked)
        return FromSetting(
            server, "SQL Server 2000 does not report whether a connection is encrypted.", freeTds);
    const std::string said = Trim(answer);
    if (EqualsNoCase(said, "TRUE"))
        return {EncryptionState::Encrypted,
                "The server reports this connection as encrypted: the whole session travels in "
                "TLS."};
    if (EqualsNoCase(said, "FALSE"))
        return {EncryptionState::NotEncrypted,
                "The server reports this connection as not encrypted: queries and their results "
                "travel in the clear (at most the login was encrypted)."};
    std::string why = "The server did not say whether this connection is encrypted";
    if (!failure.empty())
        why += ": " + Trim(failure);
    if (why.back() != '.')
        why += '.';
    return FromSetting(server, why, freeTds);
}

EncryptionReport AskConnectionEncryption(const ServerEntry& server, const std::string& database,
                                         int32_t timeoutSeconds) {
    const bool freeTds = ResolveOdbcDriver().isFreeTds;
    if (server.VersionMajor > 0 && server.VersionMajor <= 8)
        return JudgeEncryption(server, false, "", "", freeTds);
    const CancelToken unstoppable;
    WorkerQuery query(unstoppable);
    OdbcError error;
    std::string answer;
    if (query.Open({server, database, timeoutSeconds}, kConnectionEncryptionQuery, error)) {
        Row row;
        while (query.Next(row, error))
            if (answer.empty() && !row.empty())
                answer = row[0].Text();
    }
    // The panel's own queries find the pool as they left it.
    query.CloseAndDisconnect();
    return JudgeEncryption(server, true, answer, error.description, freeTds);
}

} // namespace orv
