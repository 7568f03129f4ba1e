#include "wire/tokens.h"

namespace sqlsim::wire {

void TokenWriter::loginAck(const std::string& progName, const ProductVersion& v) {
    ByteWriter body;
    body.u8(1); // the client speaks T-SQL
    body.u32be(version_);
    body.bVarchar(progName);
    body.u8(v.major);
    body.u8(v.minor);
    body.u8(static_cast<uint8_t>(v.build >> 8));
    body.u8(static_cast<uint8_t>(v.build & 0xFF));
    out_.u8(kTokLoginAck);
    out_.u16(static_cast<uint16_t>(body.size()));
    out_.bytes(body.data());
}

void TokenWriter::envChange(uint8_t type, const std::string& newValue,
                            const std::string& oldValue) {
    ByteWriter body;
    body.u8(type);
    body.bVarchar(newValue);
    body.bVarchar(oldValue);
    out_.u8(kTokEnvChange);
    out_.u16(static_cast<uint16_t>(body.size()));
    out_.bytes(body.data());
}

void TokenWriter::envCollation() {
    out_.u8(kTokEnvChange);
    out_.u16(1 + 1 + 5 + 1);
    out_.u8(kEnvCollation);
    out_.u8(5);
    out_.bytes(std::span<const uint8_t>(kCollation));
    out_.u8(0);
}

void TokenWriter::message(const ServerMessage& m, const std::string& serverName) {
    ByteWriter body;
    body.u32(static_cast<uint32_t>(m.number));
    body.u8(m.state);
    body.u8(m.severity);
    body.usVarchar(m.text);
    body.bVarchar(serverName);
    body.bVarchar(m.procName);
    if (version_ >= kTds72)
        body.u32(static_cast<uint32_t>(m.line));
    else
        body.u16(static_cast<uint16_t>(m.line));
    out_.u8(m.severity > 10 ? kTokError : kTokInfo);
    out_.u16(static_cast<uint16_t>(body.size()));
    out_.bytes(body.data());
}

void TokenWriter::done(uint8_t token, uint16_t status, uint16_t curCmd, uint64_t rowCount) {
    out_.u8(token);
    out_.u16(status);
    out_.u16(curCmd);
    if (version_ >= kTds72)
        out_.u64(rowCount);
    else
        out_.u32(static_cast<uint32_t>(rowCount));
}

void TokenWriter::returnStatus(int32_t status) {
    out_.u8(kTokReturnStatus);
    out_.u32(static_cast<uint32_t>(status));
}

void TokenWriter::returnValueInt(uint16_t ordinal, const std::string& name, int32_t value) {
    out_.u8(kTokReturnValue);
    out_.u16(ordinal);
    out_.bVarchar(name);
    out_.u8(0x01); // output parameter
    if (version_ >= kTds72)
        out_.u32(0);
    else
        out_.u16(0);
    out_.u16(0x0001); // nullable
    ColumnInfo col;
    col.type = SqlType::Int;
    WireType t = describeColumn(col, version_);
    writeTypeInfo(out_, t, version_);
    writeValue(out_, t, Value::integer(value));
}

void TokenWriter::sspi(std::span<const uint8_t> data) {
    out_.u8(kTokSspi);
    out_.u16(static_cast<uint16_t>(data.size()));
    out_.bytes(data);
}

void TokenWriter::colMetadata(const std::vector<ColumnInfo>& cols) {
    columns_.clear();
    out_.u8(kTokColMetadata);
    out_.u16(static_cast<uint16_t>(cols.size()));
    for (const auto& c : cols) {
        WireType t = describeColumn(c, version_);
        columns_.push_back(t);
        if (version_ >= kTds72)
            out_.u32(0); // user type
        else
            out_.u16(0);
        uint16_t flags = 0;
        if (c.nullable)
            flags |= 0x0001;
        if (c.identity)
            flags |= 0x0010;
        else
            flags |= 0x0008; // updatable: unknown
        out_.u16(flags);
        writeTypeInfo(out_, t, version_);
        out_.bVarchar(c.name);
    }
}

void TokenWriter::row(const std::vector<Value>& values) {
    out_.u8(kTokRow);
    for (size_t k = 0; k < columns_.size(); ++k)
        writeValue(out_, columns_[k], k < values.size() ? values[k] : Value::null());
}

} // namespace sqlsim::wire
