// The type SQL Server gives an expression over the columns of one row, which a computed column
// takes as its own: data type precedence decides between two operands, and the decimal rules
// of "Precision, Scale, and Length" give a decimal result its precision and scale.
#pragma once

#include "engine/tokens.h"
#include "engine/types.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace sqlsim {

// A column's type by name; nullopt for a name that is no column of the row.
using ColumnTypeLookup = std::function<std::optional<ColType>(const std::string& name)>;

// The type of toks[begin, end). Throws 207 for a name that is no column.
ColType expressionType(const std::vector<Token>& toks, size_t begin, size_t end,
                       const ColumnTypeLookup& column);

// The operand of higher data type precedence, with the result precision and scale of `op`
// ("+", "-", "*", "/", "%") when the result is decimal.
ColType combinedType(const ColType& a, const ColType& b, const std::string& op);

} // namespace sqlsim
