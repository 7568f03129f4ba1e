// TDS packet framing: an 8-byte header (type, status, big-endian length, SPID, packet id,
// window) in front of each piece of a message; the last piece carries the end-of-message bit.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace sqlsim::wire {

enum PacketType : uint8_t {
    kSqlBatch = 0x01,
    kRpc = 0x03,
    kTabularResult = 0x04,
    kAttention = 0x06,
    kBulkLoad = 0x07,
    kTransactionManager = 0x0E,
    kLogin7 = 0x10,
    kSspi = 0x11,
    kPrelogin = 0x12,
};

constexpr uint8_t kStatusEom = 0x01;
// On the first packet of a request: put the session back as it was right after login.
constexpr uint8_t kStatusResetConnection = 0x08;
constexpr uint8_t kStatusResetConnectionSkipTran = 0x10;
constexpr size_t kHeaderSize = 8;
// A client may not make us buffer more than this for one request.
constexpr size_t kMaxMessageSize = 64u * 1024 * 1024;

struct PacketHeader {
    uint8_t type = 0;
    uint8_t status = 0;
    uint16_t length = 0; // including the header
    uint16_t spid = 0;
    uint8_t packetId = 0;
};

// Validates and decodes a header; throws ProtocolError on a length below the header size.
PacketHeader parseHeader(std::span<const uint8_t> header);

struct Message {
    uint8_t type = 0;
    uint8_t status = 0; // of the first packet (reset-connection bits live here)
    std::vector<uint8_t> payload;
};

// Joins packet payloads into whole messages. A packet of another type in the middle of a
// message is only allowed for ATTENTION, which is delivered on its own at once.
class MessageAssembler {
public:
    // Returns a finished message when this packet completed one.
    std::optional<Message> add(const PacketHeader& h, std::span<const uint8_t> payload);

private:
    std::optional<Message> partial_;
};

// Splits a byte stream into messages; used by the fuzz target and tests. Throws
// ProtocolError on malformed framing.
std::vector<Message> splitMessages(std::span<const uint8_t> stream);

// Buffers one outgoing message and hands full packets to `send` as the buffer fills, so a
// long result leaves while it is still being produced.
class PacketWriter {
public:
    using Send = std::function<bool(std::span<const uint8_t>)>;
    PacketWriter(Send send, size_t packetSize);

    void setPacketSize(size_t size);
    // The session id the headers of the packets that follow carry (0 before the login).
    void setSpid(uint16_t spid) { spid_ = spid; }
    size_t packetSize() const { return packetSize_; }
    // Appends token bytes; sends full packets as needed. Returns false once sending failed.
    bool append(std::span<const uint8_t> bytes);
    // Sends what is buffered as the last packet of the message.
    bool endMessage(uint8_t type = kTabularResult);
    // Sends what is buffered as a packet that is not the last of its message.
    bool sendBuffered();
    // Forgets what has not been sent yet (after a cancel).
    void discardBuffered() { buf_.resize(kHeaderSize); }
    bool failed() const { return failed_; }
    bool inMessage() const { return buf_.size() > kHeaderSize || sentPartial_; }

private:
    bool flush(uint8_t type, bool last);

    Send send_;
    size_t packetSize_;
    std::vector<uint8_t> buf_;
    uint8_t packetId_ = 1;
    uint16_t spid_ = 0;
    bool failed_ = false;
    bool sentPartial_ = false;
};

} // namespace sqlsim::wire
