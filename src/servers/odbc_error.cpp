#include "servers/odbc_error.h"

namespace orv {

namespace {

bool StartsWith(const std::string& s, const char* prefix) {
    return s.rfind(prefix, 0) == 0;
}

// SQL Server's own numbers for the failures that have their own classic error number.
constexpr int32_t kNativeInvalidObject = 208;
constexpr int32_t kNativeLoginFailed = 18456;
constexpr int32_t kNativeCannotOpenDatabase = 4060;
constexpr int32_t kNativeLoginFailedUntrusted = 18452;

} // namespace

const OdbcDiagnostic* PrimaryDiagnostic(const std::vector<OdbcDiagnostic>& records) {
    // A refused login is reported twice, the specific reason (e.g. 4060, the database) and the
    // general 18456; the reason is what the user needs, whichever order the server chose.
    for (const auto& r : records)
        if (r.nativeError > 0 && r.nativeError != kNativeLoginFailed)
            return &r;
    for (const auto& r : records)
        if (r.nativeError > 0)
            return &r;
    return records.empty() ? nullptr : &records.front();
}

int32_t MapOdbcError(const std::string& sqlState, int32_t nativeError, OdbcPhase phase) {
    if (nativeError == kNativeLoginFailed || nativeError == kNativeLoginFailedUntrusted ||
        StartsWith(sqlState, "28"))
        return kErrAuthentication;
    if (nativeError == kNativeCannotOpenDatabase)
        return phase == OdbcPhase::Connect ? kErrAuthentication : kErrCommand;
    if (sqlState == "HYT00" || sqlState == "HYT01")
        return kErrTimeout;
    if (nativeError == kNativeInvalidObject || sqlState == "42S02")
        return kErrNoTable;
    // Connection class: unreachable host, refused port, broken link.
    if (StartsWith(sqlState, "08"))
        return kErrFail;
    if (phase == OdbcPhase::Connect)
        return kErrFail;
    return kErrCommand;
}

OdbcError MakeOdbcError(const std::vector<OdbcDiagnostic>& records, OdbcPhase phase,
                        const std::string& fallback) {
    OdbcError e;
    const OdbcDiagnostic* d = PrimaryDiagnostic(records);
    if (!d) {
        e.number = kErrFail;
        e.description = fallback;
        return e;
    }
    e.sqlState = d->sqlState;
    e.nativeError = d->nativeError;
    e.number = MapOdbcError(d->sqlState, d->nativeError, phase);
    e.description = d->message.empty() ? fallback : d->message;
    return e;
}

std::string StripDriverPrefixes(const std::string& message) {
    size_t pos = 0;
    while (pos < message.size() && message[pos] == '[') {
        size_t close = message.find(']', pos);
        if (close == std::string::npos)
            break;
        pos = close + 1;
    }
    return message.substr(pos);
}

} // namespace orv
