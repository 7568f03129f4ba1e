// The system procedures a client uses for parameterised statements (sp_executesql and the
// sp_prepare family) are served by putting each parameter's value into the statement text as
// a literal and running the result as a batch. That keeps parameter handling in one place and
// lets the engine see plain T-SQL. Other procedures go to the engine as RPC calls.
#pragma once

#include "engine/engine.h"

#include <map>
#include <string>
#include <vector>

namespace sqlsim::wire {

// The value as a T-SQL literal of its type: 42, N'it''s', 'abc', 0x0AFF, 12.50, NULL.
std::string sqlLiteral(const RpcParam& p);

// Names declared in a parameter list such as "@P1 int, @P2 nvarchar(10) OUTPUT", in order.
std::vector<std::string> declaredNames(const std::string& declaration);

// Replaces each @name (case-insensitive) of `values` in `sql` by its literal, leaving string
// literals, quoted and bracketed identifiers, comments and @@ system functions alone.
std::string substituteParams(const std::string& sql,
                             const std::map<std::string, std::string>& values);

// Builds the name -> literal map for a call's trailing parameters: names as sent, or, for
// parameters sent without a name, the declared names in order.
std::map<std::string, std::string> bindParams(const std::vector<RpcParam>& params, size_t first,
                                              const std::string& declaration);

// The statement text parameter of a system procedure, for the statement log, or nullptr.
const RpcParam* statementParam(const std::string& procName, const std::vector<RpcParam>& params);

// Lower-cased copy for case-insensitive name comparison.
std::string lowerAscii(std::string s);

} // namespace sqlsim::wire
