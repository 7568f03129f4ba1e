// Builders for the response tokens a server sends. Each appends one whole token.
#pragma once

#include "engine/engine.h"
#include "wire/bytes.h"
#include "wire/login.h"
#include "wire/types.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sqlsim::wire {

enum Token : uint8_t {
    kTokReturnStatus = 0x79,
    kTokColMetadata = 0x81,
    kTokError = 0xAA,
    kTokInfo = 0xAB,
    kTokReturnValue = 0xAC,
    kTokLoginAck = 0xAD,
    kTokRow = 0xD1,
    kTokEnvChange = 0xE3,
    kTokSspi = 0xED,
    kTokDone = 0xFD,
    kTokDoneProc = 0xFE,
    kTokDoneInProc = 0xFF,
};

enum DoneStatus : uint16_t {
    kDoneFinal = 0x0000,
    kDoneMore = 0x0001,
    kDoneError = 0x0002,
    kDoneInXact = 0x0004,
    kDoneCount = 0x0010,
    kDoneAttn = 0x0020,
};

enum EnvChangeType : uint8_t {
    kEnvDatabase = 1,
    kEnvLanguage = 2,
    kEnvPacketSize = 4,
    kEnvCollation = 7,
    kEnvResetAck = 18,
};

class TokenWriter {
public:
    explicit TokenWriter(uint32_t tdsVersion) : version_(tdsVersion) {}
    uint32_t version() const { return version_; }

    void loginAck(const std::string& progName, const ProductVersion& v);
    void envChange(uint8_t type, const std::string& newValue, const std::string& oldValue);
    void envCollation();
    void message(const ServerMessage& m, const std::string& serverName);
    void done(uint8_t token, uint16_t status, uint16_t curCmd, uint64_t rowCount);
    void returnStatus(int32_t status);
    void returnValueInt(uint16_t ordinal, const std::string& name, int32_t value);
    void sspi(std::span<const uint8_t> data);
    // Describes the columns and remembers them for the rows that follow.
    void colMetadata(const std::vector<ColumnInfo>& cols);
    void row(const std::vector<Value>& values);

    ByteWriter& out() { return out_; }

private:
    uint32_t version_;
    ByteWriter out_;
    std::vector<WireType> columns_;
};

} // namespace sqlsim::wire
