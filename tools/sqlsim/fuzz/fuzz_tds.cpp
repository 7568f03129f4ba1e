// libFuzzer target for everything the server decodes from a client: packet framing, PRELOGIN,
// LOGIN7, SQL batches and RPC calls with their parameters, plus the parameter substitution
// that follows. Input: one byte choosing the protocol version, then a client byte stream.
#include "wire/bytes.h"
#include "wire/login.h"
#include "wire/packet.h"
#include "wire/request.h"
#include "wire/rpc_sql.h"

#include <cstddef>
#include <cstdint>
#include <span>

using namespace sqlsim::wire;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    static constexpr uint32_t kVersions[4] = {kTds71, kTds72, kTds73, kTds74};
    uint32_t version = kVersions[data[0] & 3];
    std::span<const uint8_t> stream(data + 1, size - 1);
    std::vector<Message> messages;
    try {
        messages = splitMessages(stream);
    } catch (const ProtocolError&) {
        // Framing errors are expected; the messages before the bad packet still count.
        return 0;
    }
    for (const auto& m : messages) {
        try {
            switch (m.type) {
            case kPrelogin:
                parsePrelogin(m.payload);
                break;
            case kLogin7: {
                Login7 l = parseLogin7(m.payload);
                negotiateTdsVersion(l.tdsVersion);
                break;
            }
            case kSqlBatch:
                parseSqlBatch(m.payload, version);
                break;
            case kRpc:
                for (const auto& call : parseRpc(m.payload, version)) {
                    if (call.params.size() >= 2) {
                        auto bound = bindParams(call.params, 2, call.params[1].value.text);
                        substituteParams(call.params[0].value.text, bound);
                    }
                    statementParam(call.procName, call.params);
                }
                break;
            default:
                break;
            }
        } catch (const ProtocolError&) {
        }
    }
    return 0;
}
