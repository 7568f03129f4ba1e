// Procedure and trigger definitions read back for running them: what their headers declare
// and where their bodies start.
#pragma once

#include "engine/engine.h"
#include "engine/tokens.h"

#include <optional>
#include <string>
#include <vector>

namespace sqlsim {

struct ProcedureParam {
    std::string name;     // upper-case, with the @, as variables are kept
    std::string written;  // as the header spells it, for messages
    std::string typeName; // lower-case base name of the declared type ("datetime", "int")
    std::optional<Value> defaultValue;
    bool output = false;
};

struct ProcedureText {
    std::vector<Token> toks; // of the whole definition, End token last
    size_t bodyBegin = 0;    // first token after the AS that starts the body
    std::vector<ProcedureParam> params;
};

// Reads `CREATE PROC[EDURE] name [;n] [(] @p [AS] type [VARYING] [= default] [OUT[PUT]]
// [READONLY], ... [)] [WITH ...] [FOR REPLICATION] AS body`. Nullopt when the text is not
// such a definition (an encrypted or damaged one).
std::optional<ProcedureText> readProcedureText(const std::string& text);

struct TriggerText {
    int id = 0;
    std::string name;
    std::string text;
    std::vector<Token> toks;
    size_t bodyBegin = 0;
    bool insteadOf = false;
    bool onInsert = false, onUpdate = false, onDelete = false;
};

// Reads `CREATE TRIGGER name ON table [WITH ...] {FOR | AFTER | INSTEAD OF} {INSERT, UPDATE,
// DELETE} [WITH APPEND] [NOT FOR REPLICATION] AS body`; nullopt when it is not one.
std::optional<TriggerText> readTriggerText(const std::string& text);

// A constant as a parameter's default or an EXEC argument gives it: a number (signed, or
// money with its currency sign), a string, NULL, or a bare word taken as a string. `i` moves
// past it; nullopt when there is none at `i`.
std::optional<Value> readConstant(const std::vector<Token>& t, size_t& i);

} // namespace sqlsim
