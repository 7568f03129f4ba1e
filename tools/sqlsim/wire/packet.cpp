#include "wire/packet.h"

#include "wire/bytes.h"

#include <algorithm>

namespace sqlsim::wire {

PacketHeader parseHeader(std::span<const uint8_t> header) {
    ByteReader r(header);
    PacketHeader h;
    h.type = r.u8();
    h.status = r.u8();
    h.length = r.u16be();
    h.spid = r.u16be();
    h.packetId = r.u8();
    r.u8();
    if (h.length < kHeaderSize)
        throw ProtocolError("packet length below header size");
    return h;
}

std::optional<Message> MessageAssembler::add(const PacketHeader& h,
                                             std::span<const uint8_t> payload) {
    if (h.type == kAttention) {
        // The client may interrupt anything; what it was sending is abandoned.
        partial_.reset();
        return Message{kAttention, h.status, {payload.begin(), payload.end()}};
    }
    if (partial_ && partial_->type != h.type)
        throw ProtocolError("packet type changed inside a message");
    if (!partial_)
        partial_ = Message{h.type, h.status, {}};
    if (partial_->payload.size() + payload.size() > kMaxMessageSize)
        throw ProtocolError("message too large");
    partial_->payload.insert(partial_->payload.end(), payload.begin(), payload.end());
    if (!(h.status & kStatusEom))
        return std::nullopt;
    std::optional<Message> done = std::move(partial_);
    partial_.reset();
    return done;
}

std::vector<Message> splitMessages(std::span<const uint8_t> stream) {
    std::vector<Message> out;
    MessageAssembler assembler;
    size_t pos = 0;
    while (pos < stream.size()) {
        if (stream.size() - pos < kHeaderSize)
            throw ProtocolError("truncated packet header");
        PacketHeader h = parseHeader(stream.subspan(pos, kHeaderSize));
        if (h.length > stream.size() - pos)
            throw ProtocolError("truncated packet");
        auto payload = stream.subspan(pos + kHeaderSize, h.length - kHeaderSize);
        if (auto m = assembler.add(h, payload))
            out.push_back(std::move(*m));
        pos += h.length;
    }
    return out;
}

PacketWriter::PacketWriter(Send send, size_t packetSize)
    : send_(std::move(send)), packetSize_(packetSize) {
    buf_.resize(kHeaderSize);
}

void PacketWriter::setPacketSize(size_t size) {
    packetSize_ = std::clamp<size_t>(size, 512, 32767);
}

bool PacketWriter::append(std::span<const uint8_t> bytes) {
    if (failed_)
        return false;
    while (!bytes.empty()) {
        // A full packet goes out only once more follows, so the last one can carry EOM.
        if (buf_.size() >= packetSize_ && !flush(kTabularResult, false))
            return false;
        size_t n = std::min(packetSize_ - buf_.size(), bytes.size());
        buf_.insert(buf_.end(), bytes.begin(), bytes.begin() + n);
        bytes = bytes.subspan(n);
    }
    return true;
}

bool PacketWriter::endMessage(uint8_t type) {
    bool ok = flush(type, true);
    sentPartial_ = false;
    return ok;
}

bool PacketWriter::sendBuffered() {
    if (buf_.size() <= kHeaderSize)
        return !failed_;
    return flush(kTabularResult, false);
}

bool PacketWriter::flush(uint8_t type, bool last) {
    if (failed_)
        return false;
    size_t len = buf_.size();
    buf_[0] = type;
    buf_[1] = last ? kStatusEom : 0;
    buf_[2] = static_cast<uint8_t>(len >> 8);
    buf_[3] = static_cast<uint8_t>(len & 0xFF);
    buf_[4] = static_cast<uint8_t>(spid_ >> 8);
    buf_[5] = static_cast<uint8_t>(spid_ & 0xFF);
    buf_[6] = packetId_++;
    buf_[7] = 0;
    if (!send_(buf_))
        failed_ = true;
    buf_.resize(kHeaderSize);
    if (!last)
        sentPartial_ = true;
    return !failed_;
}

} // namespace sqlsim::wire
