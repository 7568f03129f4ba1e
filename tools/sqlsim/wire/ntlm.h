// Integrated logins arrive as an NTLM exchange inside LOGIN7 and SSPI messages. There is no
// domain to check the answer against, so the server issues a well-formed challenge and
// accepts whatever response follows; the login itself is the permission.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace sqlsim::wire {

bool isNtlmNegotiate(std::span<const uint8_t> sspi);
std::vector<uint8_t> buildNtlmChallenge();

} // namespace sqlsim::wire
