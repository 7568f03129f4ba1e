#include "wire/ntlm.h"

#include "wire/bytes.h"

#include <cstring>
#include <random>

namespace sqlsim::wire {

namespace {
constexpr char kSignature[8] = {'N', 'T', 'L', 'M', 'S', 'S', 'P', '\0'};
}

bool isNtlmNegotiate(std::span<const uint8_t> sspi) {
    return sspi.size() >= 12 && std::memcmp(sspi.data(), kSignature, 8) == 0 && sspi[8] == 1;
}

std::vector<uint8_t> buildNtlmChallenge() {
    ByteWriter w;
    constexpr uint32_t kHeader = 48;
    const uint8_t targetInfo[4] = {0, 0, 0, 0}; // MsvAvEOL only
    w.bytes(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(kSignature), 8));
    w.u32(2); // CHALLENGE_MESSAGE
    w.u16(0); // target name: empty
    w.u16(0);
    w.u32(kHeader);
    // UNICODE | NTLM | ALWAYS_SIGN | TARGET_INFO
    w.u32(0x00000001 | 0x00000200 | 0x00008000 | 0x00800000);
    std::random_device rd;
    for (int i = 0; i < 8; ++i)
        w.u8(static_cast<uint8_t>(rd()));
    w.u64(0); // reserved
    w.u16(sizeof targetInfo);
    w.u16(sizeof targetInfo);
    w.u32(kHeader);
    w.bytes(std::span<const uint8_t>(targetInfo, sizeof targetInfo));
    return w.data();
}

} // namespace sqlsim::wire
