// Decoding of client requests: SQL batches and RPC calls with their parameters.
#pragma once

#include "engine/engine.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace sqlsim::wire {

// From TDS 7.2 on, batches and RPCs start with ALL_HEADERS (transaction descriptor, ...).
// Returns the offset of the request proper.
size_t skipAllHeaders(std::span<const uint8_t> payload, uint32_t tdsVersion);

std::string parseSqlBatch(std::span<const uint8_t> payload, uint32_t tdsVersion);

struct RpcCall {
    std::string procName; // well-known procedures sent by number get their name
    uint16_t procId = 0;
    uint16_t options = 0;
    std::vector<RpcParam> params;
};

// One request may carry several calls separated by batch flags.
std::vector<RpcCall> parseRpc(std::span<const uint8_t> payload, uint32_t tdsVersion);

// The name of a procedure a client calls by number, or "" for an unknown number.
std::string wellKnownProcName(uint16_t id);

} // namespace sqlsim::wire
