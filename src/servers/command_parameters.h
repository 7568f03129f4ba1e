// Typed command parameters as callers hand them over: each value gets an ADO-style type, size
// and a generated name, and is bound to the driver in order.
#pragma once

#include "servers/recordset.h"

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace orv {

// A value handed to AppendCommandParameter / ExecAdoCmd's optional parameters.
using CommandValue = std::variant<std::monostate, std::string, int32_t, double, bool, FieldValue>;

constexpr int32_t kAdParamInput = 1;
constexpr int32_t kAdParamOutput = 2;
constexpr int32_t kAdParamInputOutput = 3;
constexpr int32_t kAdParamReturnValue = 4;

constexpr int32_t kAdInteger = 3;
constexpr int32_t kAdDouble = 5;
constexpr int32_t kAdDate = 7;
constexpr int32_t kAdBoolean = 11;
constexpr int32_t kAdVarWChar = 202;

struct CommandParameter {
    std::string name;
    int32_t adoType = 0;
    int32_t direction = kAdParamInput;
    int64_t size = 0;
    FieldValue value; // Null when the parameter passes null
};

struct Command {
    std::vector<CommandParameter> parameters;
};

// The classic name of the value's type: "String", "Long", "Double", "Boolean", "Date" (also for
// null and date fields), or another name for the types this layer does not pass.
std::string CommandValueTypeName(const CommandValue& value);

// Appends a parameter for `value` and returns its generated name ("str0.7055475", ...); empty
// when the value is missing. A type it cannot pass is reported in an error message box and
// also gives an empty name (with `unsupported` set), so the caller can fail the command.
std::string AppendCommandParameter(Command& command, const CommandValue& value, int32_t direction,
                                   bool* unsupported = nullptr);

// The value of an in/out parameter after the command, in the caller's own type.
CommandValue CommandValueOf(const CommandParameter& parameter);

} // namespace orv
