// The database the wire-fault tests read from, and the simulator switches for each fault.
// Every result of interest is longer than the row after which a fault strikes, and that row
// lies past the first block a server-side cursor fetches (5 rows), so a cut-off result can
// never pass for a whole one.
#pragma once

#include <string>
#include <vector>

namespace orv::test {

// The program's command timeout in these tests; a stall lasts longer than it.
constexpr int kFaultTimeoutSeconds = 2;
constexpr int kCutAfterRows = 7;
constexpr int kFaultTables = 11;
constexpr int kFaultTableRows = 30;

// FaultDb: tables T01..T11 and procedures P01..P11, one procedure (PLong) whose text spans
// nine catalog rows, and thirty rows in T01.
inline std::string FaultScript() {
    std::string sql = "CREATE DATABASE FaultDb\nGO\nUSE FaultDb\nGO\n";
    for (int i = 1; i <= kFaultTables; ++i) {
        const std::string n = (i < 10 ? "0" : "") + std::to_string(i);
        sql += "CREATE TABLE dbo.T" + n + " (Id int NOT NULL, Label varchar(40) NULL)\nGO\n";
        sql += "CREATE PROCEDURE dbo.P" + n + " AS SELECT " + std::to_string(i) + "\nGO\n";
    }
    sql += "CREATE PROCEDURE dbo.PLong\nAS\n";
    for (int line = 0; line < 600; ++line)
        sql += "-- line " + std::to_string(1000 + line) + " of a long explanation, kept whole\n";
    sql += "SELECT 1\nGO\nINSERT INTO dbo.T01 VALUES ";
    for (int i = 1; i <= kFaultTableRows; ++i)
        sql += (i == 1 ? "(" : ", (") + std::to_string(i) + ", 'row " + std::to_string(i) + "')";
    return sql + "\nGO\n";
}

enum class Fault { Stall, Drop, ErrorMidResult, RefusedLogin };

inline const char* FaultName(Fault f) {
    static const char* const kNames[] = {"Stall", "Drop", "ErrorMidResult", "RefusedLogin"};
    return kNames[static_cast<int>(f)];
}

// The simulator's switches for one fault.
inline std::vector<std::string> FaultArgs(Fault f) {
    switch (f) {
    case Fault::Stall:
        return {"--fault-stall", std::to_string(kFaultTimeoutSeconds + 2)};
    case Fault::Drop:
        return {"--fault-drop-after-rows", std::to_string(kCutAfterRows)};
    case Fault::ErrorMidResult:
        return {"--fault-error-mid-result", std::to_string(kCutAfterRows)};
    case Fault::RefusedLogin:
        return {"--fault-refuse-login-every", "2"};
    }
    return {};
}

} // namespace orv::test
