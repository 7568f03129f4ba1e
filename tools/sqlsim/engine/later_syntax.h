// The constructs SQL Server added after a version, looked for in a batch's tokens, so that a
// server posing as an older version refuses what that version's parser refused, and with the
// same error. Being token-based, it never sees string literals, comments or bracketed names.
#pragma once

#include "engine/tokens.h"

#include <vector>

namespace sqlsim {

// Throws the error the server of `major` raises for the first construct it does not have,
// with the line of the offending token; returns when there is none.
void refuseLaterSyntax(const std::vector<Token>& toks, int major);

} // namespace sqlsim
