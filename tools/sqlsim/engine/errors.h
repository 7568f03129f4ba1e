// Errors raised while parsing or running a statement, worded as SQL Server words them.
#pragma once

#include "engine/engine.h"
#include "engine/tokens.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace sqlsim {

class SqlError : public std::runtime_error {
public:
    explicit SqlError(ServerMessage m) : std::runtime_error(m.text), msg(std::move(m)) {}
    ServerMessage msg;
    // Errors SQL Server raises first, in order, for the same failure (5074 before 4922, 3728
    // before 3727, ...): the client sees them all, this one last.
    std::vector<ServerMessage> preceding;
};

inline SqlError sqlError(int number, const std::string& text, int state = 1, int severity = 16) {
    ServerMessage m;
    m.number = number;
    m.state = static_cast<uint8_t>(state);
    m.severity = static_cast<uint8_t>(severity);
    m.text = text;
    return SqlError(m);
}

// The functions registered with SQLite report a SQL Server error through SQLite's error text,
// as this prefix followed by "number:severity:text"; fromSqlite turns it back into the error.
inline const std::string kCodedErrorPrefix = "\x01sqlsim:";
inline std::string codedError(int number, const std::string& text, int severity = 16) {
    return kCodedErrorPrefix + std::to_string(number) + ":" + std::to_string(severity) + ":" + text;
}

inline SqlError invalidObject(const std::string& name) {
    return sqlError(208, "Invalid object name '" + name + "'.", 1);
}
inline SqlError invalidColumn(const std::string& name) {
    return sqlError(207, "Invalid column name '" + name + "'.", 1);
}
inline SqlError unknownFunction(const std::string& name, int major = 10) {
    return sqlError(195,
                    "'" + name + "' is not a recognized " + (major <= 8 ? "" : "built-in ") +
                        "function name.",
                    10, 15);
}
// 156 for a reserved word, 102 for anything else; at the end of the text SQL Server names the
// last token it read.
inline SqlError syntaxNear(const Token& t) {
    if (t.kind == Token::Kind::Word && isReservedWord(t.value))
        return sqlError(156, "Incorrect syntax near the keyword '" + t.value + "'.", 1, 15);
    std::string shown = t.kind == Token::Kind::String || t.kind == Token::Kind::NString ? t.value
                        : t.kind == Token::Kind::Quoted                                 ? t.value
                                                                                        : t.text;
    return sqlError(102, "Incorrect syntax near '" + shown + "'.", 1, 15);
}
inline SqlError notSupported(const std::string& what) {
    return sqlError(50000, "sqlsim does not support " + what + ".", 1, 16);
}

} // namespace sqlsim
