// Turning ODBC diagnostics into the error numbers and texts callers know: signed 32-bit
// HRESULTs as the classic data access layer reported them, and the server's own message.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orv {

constexpr int32_t kErrFail = static_cast<int32_t>(0x80004005);           // E_FAIL
constexpr int32_t kErrCommand = static_cast<int32_t>(0x80040E14);        // errors in command
constexpr int32_t kErrNoTable = static_cast<int32_t>(0x80040E37);        // no such table/object
constexpr int32_t kErrTimeout = static_cast<int32_t>(0x80040E31);        // command timed out
constexpr int32_t kErrAuthentication = static_cast<int32_t>(0x80040E4D); // login refused
constexpr int32_t kErrTypeMismatch = static_cast<int32_t>(0x80020005);   // unsupported value type

// One diagnostic record as the driver reported it.
struct OdbcDiagnostic {
    std::string sqlState;
    int32_t nativeError = 0;
    std::string message; // with the driver's "[vendor][component]" prefixes removed
};

// Whether the failure happened while logging in or while running the command: the same
// SQLSTATE class means different things in the two.
enum class OdbcPhase { Connect, Execute };

struct OdbcError {
    int32_t number = 0;
    std::string description;
    std::string sqlState;
    int32_t nativeError = 0;
};

// The record that best explains a failure: a server message (native error above 0) wins over
// the driver's own summary lines, and a specific reason wins over the general "login failed";
// otherwise the first record.
const OdbcDiagnostic* PrimaryDiagnostic(const std::vector<OdbcDiagnostic>& records);

int32_t MapOdbcError(const std::string& sqlState, int32_t nativeError, OdbcPhase phase);

// The error for a failed call from its diagnostic records; `fallback` is the description
// when the driver gave none.
OdbcError MakeOdbcError(const std::vector<OdbcDiagnostic>& records, OdbcPhase phase,
                        const std::string& fallback);

// "[FreeTDS][SQL Server]Invalid object name 'x'." -> "Invalid object name 'x'."
std::string StripDriverPrefixes(const std::string& message);

} // namespace orv
