// Byte-level encodings: text conversions, the login record, packet framing and the value
// encodings of each column type.
#include "test_wire_client.h"
#include "wire/login.h"
#include "wire/packet.h"
#include "wire/types.h"

#include <gtest/gtest.h>

using namespace sqlsim;
using namespace sqlsim::wire;

namespace {

std::string bytesOf(std::initializer_list<int> b) {
    std::string s;
    for (int x : b)
        s += static_cast<char>(x);
    return s;
}

std::string encode(const ColumnInfo& c, const Value& v, uint32_t version = kTds74) {
    ByteWriter w;
    writeValue(w, describeColumn(c, version), v);
    return std::string(w.data().begin(), w.data().end());
}

ColumnInfo col(SqlType t, int32_t size = 0, uint8_t p = 0, uint8_t s = 0) {
    ColumnInfo c;
    c.type = t;
    c.size = size;
    c.precision = p;
    c.scale = s;
    return c;
}

std::span<const uint8_t> span(const std::string& s) {
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

} // namespace

TEST(WireText, Utf16RoundTripIncludingSurrogatesAndBadInput) {
    std::string text = "aé☃😀";
    std::string u = utf8ToUtf16le(text);
    EXPECT_EQ(u, bytesOf({'a', 0, 0xE9, 0, 0x03, 0x26, 0x3D, 0xD8, 0x00, 0xDE}));
    EXPECT_EQ(utf16leToUtf8(span(u)), text);
    EXPECT_EQ(utf16Length(text), 5u);
    // Truncated UTF-8 and a lone surrogate become U+FFFD instead of failing.
    EXPECT_EQ(utf8ToUtf16le("\xE2\x98"), bytesOf({0xFD, 0xFF}));
    EXPECT_EQ(utf16leToUtf8(span(bytesOf({0x00, 0xD8, 'x', 0}))), "\xEF\xBF\xBDx");
}

TEST(WireText, Cp1252MapsEuroAccentsAndReplacesTheRest) {
    EXPECT_EQ(utf8ToCp1252("€é☃"), bytesOf({0x80, 0xE9, '?'}));
    EXPECT_EQ(cp1252ToUtf8(bytesOf({0x80, 0xE9, 0x9F})), "€éŸ");
}

TEST(WireLogin, PasswordObfuscationMatchesTheProtocol) {
    // 'a' = 61 00: nibbles swapped 16 00, XOR A5 -> B3 A5.
    auto enc = encodePassword("a");
    EXPECT_EQ(std::string(enc.begin(), enc.end()), bytesOf({0xB3, 0xA5}));
    EXPECT_EQ(decodePassword(encodePassword("Pä$$wörd")), "Pä$$wörd");
}

TEST(WireLogin, Login7FieldsAreDecoded) {
    auto rec = wiretest::buildLogin7(kTds73, "bob", "s3cret", "Sales", 0, {}, 8192);
    Login7 l = parseLogin7(rec);
    EXPECT_EQ(l.tdsVersion, kTds73);
    EXPECT_EQ(l.packetSize, 8192u);
    EXPECT_EQ(l.userName, "bob");
    EXPECT_EQ(l.password, "s3cret");
    EXPECT_EQ(l.database, "Sales");
    EXPECT_EQ(l.appName, "wiretest");
    EXPECT_EQ(l.hostName, "testhost");
    EXPECT_FALSE(l.integratedSecurity());
    // Cut short, or with a field pointing past the end: refused, never read out of bounds.
    EXPECT_THROW(parseLogin7(std::span(rec).first(60)), ProtocolError);
    rec[40] = 0xFF;
    rec[41] = 0x7F;
    EXPECT_THROW(parseLogin7(rec), ProtocolError);
}

TEST(WireLogin, PreloginAnswerRefusesEncryption) {
    auto resp = buildPreloginResponse(0x0A320640);
    PreloginRequest parsed = parsePrelogin(resp);
    ASSERT_TRUE(parsed.hasEncryption);
    EXPECT_EQ(parsed.encryption, 2);
    // The version option carries the product version big-endian.
    EXPECT_EQ(resp[resp[1] * 256 + resp[2]], 0x0A);
    std::vector<uint8_t> outside = {0x01, 0x00, 0x40, 0x00, 0x01, 0xFF};
    EXPECT_THROW(parsePrelogin(outside), ProtocolError);
    EXPECT_THROW(parsePrelogin(std::vector<uint8_t>{0x01, 0x00}), ProtocolError);
}

TEST(WireLogin, EncryptionIsAnsweredAsSqlServerDoes) {
    auto asked = [](int byte) {
        PreloginRequest r;
        r.hasEncryption = byte >= 0;
        r.encryption = static_cast<uint8_t>(byte < 0 ? 0 : byte);
        return r;
    };
    // Request: off, on, not supported, required, no option at all.
    const int requests[] = {0, 1, 2, 3, -1};
    const struct {
        TlsOffer offer;
        uint8_t answers[5];
    } table[] = {
        {TlsOffer::None, {2, 2, 2, 2, 2}},
        {TlsOffer::Available, {0, 1, 2, 1, 0}}, // off: the login alone is encrypted
        {TlsOffer::Required, {1, 1, 3, 1, 1}},  // not supported: told, then disconnected
    };
    for (const auto& row : table)
        for (size_t i = 0; i < 5; ++i)
            EXPECT_EQ(answerEncryption(asked(requests[i]), row.offer), row.answers[i])
                << "offer " << static_cast<int>(row.offer) << ", request " << requests[i];
    EXPECT_EQ(parsePrelogin(buildPreloginResponse(0x0A320640, kEncryptOff)).encryption,
              kEncryptOff);
}

TEST(WireLogin, VersionNegotiationAndProductVersion) {
    EXPECT_EQ(negotiateTdsVersion(0x74000004), kTds74);
    EXPECT_EQ(negotiateTdsVersion(0x75000000), kTds74);
    EXPECT_EQ(negotiateTdsVersion(0x730A0003), 0x730A0003u);
    EXPECT_EQ(negotiateTdsVersion(0x72090002), kTds72);
    EXPECT_EQ(negotiateTdsVersion(0x70000000), kTds71);
    ProductVersion v = parseProductVersion("8.00.2039");
    EXPECT_EQ(v.major, 8);
    EXPECT_EQ(v.minor, 0);
    EXPECT_EQ(v.build, 2039);
}

TEST(WirePackets, MessagesAreJoinedAndAttentionInterrupts) {
    std::vector<uint8_t> stream;
    auto packet = [&](uint8_t type, uint8_t status, std::vector<uint8_t> body) {
        size_t len = body.size() + 8;
        std::vector<uint8_t> p = {
            type, status, static_cast<uint8_t>(len >> 8), static_cast<uint8_t>(len), 0, 0, 1, 0};
        p.insert(p.end(), body.begin(), body.end());
        stream.insert(stream.end(), p.begin(), p.end());
    };
    packet(kSqlBatch, 0, {1, 2});
    packet(kSqlBatch, 1, {3});
    packet(kRpc, 0, {9});
    packet(kAttention, 1, {});
    packet(kPrelogin, 1, {});
    auto msgs = splitMessages(stream);
    ASSERT_EQ(msgs.size(), 3u);
    EXPECT_EQ(msgs[0].payload, (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(msgs[1].type, kAttention);
    EXPECT_EQ(msgs[2].type, kPrelogin);

    stream.clear();
    packet(kSqlBatch, 0, {1});
    packet(kRpc, 1, {2});
    EXPECT_THROW(splitMessages(stream), ProtocolError);
    std::vector<uint8_t> shortLen = {1, 1, 0, 4, 0, 0, 1, 0};
    EXPECT_THROW(splitMessages(shortLen), ProtocolError);
    std::vector<uint8_t> overLen = {1, 1, 0, 20, 0, 0, 1, 0, 1};
    EXPECT_THROW(splitMessages(overLen), ProtocolError);
}

TEST(WirePackets, WriterFillsPacketsAndMarksOnlyTheLast) {
    std::vector<std::vector<uint8_t>> sent;
    PacketWriter w(
        [&](std::span<const uint8_t> b) {
            sent.emplace_back(b.begin(), b.end());
            return true;
        },
        512);
    std::vector<uint8_t> body(504 * 2, 0x5A); // exactly two full packets
    ASSERT_TRUE(w.append(body));
    EXPECT_EQ(sent.size(), 1u); // the second waits: it may be the last
    ASSERT_TRUE(w.endMessage());
    ASSERT_EQ(sent.size(), 2u);
    for (size_t k = 0; k < 2; ++k) {
        auto h = parseHeader(sent[k]);
        EXPECT_EQ(h.length, 512);
        EXPECT_EQ(h.type, kTabularResult);
        EXPECT_EQ(h.status, k == 1 ? 1 : 0);
        EXPECT_EQ(h.packetId, k + 1);
    }
    auto joined = splitMessages([&] {
        std::vector<uint8_t> all;
        for (auto& p : sent)
            all.insert(all.end(), p.begin(), p.end());
        return all;
    }());
    ASSERT_EQ(joined.size(), 1u);
    EXPECT_EQ(joined[0].payload, body);

    PacketWriter broken([](std::span<const uint8_t>) { return false; }, 512);
    EXPECT_FALSE(broken.endMessage());
    EXPECT_TRUE(broken.failed());
    EXPECT_FALSE(broken.append(body));
}

TEST(WireTypes, EveryColumnTypeHasItsWireType) {
    struct Case {
        SqlType type;
        int32_t size;
        uint8_t tds74;
        uint8_t tds71;
    };
    const Case cases[] = {
        {SqlType::TinyInt, 1, 0x26, 0x26},       {SqlType::SmallInt, 2, 0x26, 0x26},
        {SqlType::Int, 4, 0x26, 0x26},           {SqlType::BigInt, 8, 0x26, 0x26},
        {SqlType::Bit, 1, 0x68, 0x68},           {SqlType::Real, 4, 0x6D, 0x6D},
        {SqlType::Float, 8, 0x6D, 0x6D},         {SqlType::Decimal, 9, 0x6A, 0x6A},
        {SqlType::Numeric, 9, 0x6C, 0x6C},       {SqlType::Money, 8, 0x6E, 0x6E},
        {SqlType::SmallMoney, 4, 0x6E, 0x6E},    {SqlType::DateTime, 8, 0x6F, 0x6F},
        {SqlType::SmallDateTime, 4, 0x6F, 0x6F}, {SqlType::Char, 10, 0xAF, 0xAF},
        {SqlType::VarChar, 10, 0xA7, 0xA7},      {SqlType::VarChar, -1, 0xA7, 0x23},
        {SqlType::NChar, 10, 0xEF, 0xEF},        {SqlType::NVarChar, 40, 0xE7, 0xE7},
        {SqlType::NVarChar, -1, 0xE7, 0x63},     {SqlType::Text, 16, 0x23, 0x23},
        {SqlType::NText, 16, 0x63, 0x63},        {SqlType::Image, 16, 0x22, 0x22},
        {SqlType::Binary, 8, 0xAD, 0xAD},        {SqlType::VarBinary, 8, 0xA5, 0xA5},
        {SqlType::VarBinary, -1, 0xA5, 0x22},    {SqlType::UniqueIdentifier, 16, 0x24, 0x24},
        {SqlType::SqlVariant, 0, 0xE7, 0xE7},
    };
    for (const auto& c : cases) {
        ColumnInfo ci = col(c.type, c.size, 10, 2);
        EXPECT_EQ(describeColumn(ci, kTds74).tdsType, c.tds74) << static_cast<int>(c.type);
        EXPECT_EQ(describeColumn(ci, kTds71).tdsType, c.tds71) << static_cast<int>(c.type);
    }
    EXPECT_EQ(describeColumn(col(SqlType::NVarChar, -1), kTds72).layout, Layout::Plp);
    EXPECT_EQ(describeColumn(col(SqlType::Decimal, 0, 38, 4), kTds74).maxLength, 17u);
    EXPECT_EQ(describeColumn(col(SqlType::Decimal, 0, 9, 0), kTds74).maxLength, 5u);
}

TEST(WireTypes, IntegersFloatsAndBits) {
    EXPECT_EQ(encode(col(SqlType::SmallInt), Value::integer(-2)), bytesOf({2, 0xFE, 0xFF}));
    EXPECT_EQ(encode(col(SqlType::BigInt), Value::str("258")),
              bytesOf({8, 2, 1, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(encode(col(SqlType::Bit), Value::integer(5)), bytesOf({1, 1}));
    EXPECT_EQ(encode(col(SqlType::Bit), Value::str("0")), bytesOf({1, 0}));
    EXPECT_EQ(encode(col(SqlType::Float), Value::real(1.0)),
              bytesOf({8, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F}));
    EXPECT_EQ(encode(col(SqlType::Real), Value::integer(1)), bytesOf({4, 0, 0, 0x80, 0x3F}));
    EXPECT_EQ(encode(col(SqlType::Int), Value::null()), bytesOf({0}));
}

TEST(WireTypes, DecimalAndMoneyAreExact) {
    // decimal(10,2) 123.45 -> 9 bytes: sign, then 12345 little-endian.
    EXPECT_EQ(encode(col(SqlType::Decimal, 0, 10, 2), Value::str("123.45")),
              bytesOf({9, 1, 0x39, 0x30, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(encode(col(SqlType::Numeric, 0, 5, 2), Value::str("-1.005")),
              bytesOf({5, 0, 101, 0, 0, 0}));
    EXPECT_EQ(encode(col(SqlType::Decimal, 0, 5, 3), Value::integer(7)),
              bytesOf({5, 1, 0x58, 0x1B, 0, 0}));
    // money -1.5 = -15000 in 1/10000, high half first.
    EXPECT_EQ(encode(col(SqlType::Money), Value::str("-1.5")),
              bytesOf({8, 0xFF, 0xFF, 0xFF, 0xFF, 0x68, 0xC5, 0xFF, 0xFF}));
    EXPECT_EQ(encode(col(SqlType::SmallMoney), Value::real(2.25)), bytesOf({4, 0xE4, 0x57, 0, 0}));
    // Past the type's range: saturated, never wrapped to the other sign.
    EXPECT_EQ(encode(col(SqlType::Money), Value::real(922337203685477.5807)),
              bytesOf({8, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(encode(col(SqlType::Decimal, 0, 3, 0), Value::str("-12345")),
              bytesOf({5, 0, 0xE7, 0x03, 0, 0}));
    __int128 big = 0;
    ASSERT_TRUE(parseScaled("99999999999999999999999999999999999999", 0, big));
    EXPECT_EQ(formatScaled(big, 2), "999999999999999999999999999999999999.99");
    EXPECT_FALSE(parseScaled("abc", 2, big));
    EXPECT_EQ(formatScaled(-5, 3), "-0.005");
}

TEST(WireTypes, DateTimesUseDaysSince1900AndThreeHundredths) {
    int32_t days = -1;
    uint32_t ticks = 1;
    ASSERT_TRUE(parseDateTime("1900-01-01 00:00:00.000", days, ticks));
    EXPECT_EQ(days, 0);
    EXPECT_EQ(ticks, 0u);
    ASSERT_TRUE(parseDateTime("2000-03-01 01:00:01.500", days, ticks));
    EXPECT_EQ(days, 36584);
    EXPECT_EQ(ticks, 3601u * 300 + 150);
    EXPECT_EQ(formatDateTime(days, ticks), "2000-03-01 01:00:01.500");
    ASSERT_TRUE(parseDateTime("1899-12-31", days, ticks));
    EXPECT_EQ(days, -1);
    // .999 rounds to the next day's midnight on the 1/300 s grid.
    ASSERT_TRUE(parseDateTime("2001-01-01 23:59:59.999", days, ticks));
    EXPECT_EQ(formatDateTime(days, ticks), "2001-01-02 00:00:00.000");
    EXPECT_FALSE(parseDateTime("2001-13-01", days, ticks));
    EXPECT_FALSE(parseDateTime("yesterday", days, ticks));
    EXPECT_EQ(encode(col(SqlType::SmallDateTime), Value::str("1900-01-02 00:01:40")),
              bytesOf({4, 1, 0, 2, 0}));
    EXPECT_EQ(encode(col(SqlType::DateTime), Value::str("1900-01-02 00:00:01")),
              bytesOf({8, 1, 0, 0, 0, 0x2C, 0x01, 0, 0}));
}

TEST(WireTypes, GuidsStoreTheirFirstGroupsLittleEndian) {
    std::string text = "00112233-4455-6677-8899-AABBCCDDEEFF";
    EXPECT_EQ(encode(col(SqlType::UniqueIdentifier), Value::str(text)),
              bytesOf({16, 0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66, 0x88, 0x99, 0xAA, 0xBB,
                       0xCC, 0xDD, 0xEE, 0xFF}));
    uint8_t raw[16];
    ASSERT_TRUE(parseGuid("{" + text + "}", raw));
    EXPECT_EQ(formatGuid(raw), text);
    EXPECT_FALSE(parseGuid("00112233-4455-6677-8899-AABBCCDDEEFG", raw));
}

TEST(WireTypes, CharactersArePaddedConvertedAndBounded) {
    EXPECT_EQ(encode(col(SqlType::Char, 4), Value::str("é")), bytesOf({4, 0, 0xE9, ' ', ' ', ' '}));
    EXPECT_EQ(encode(col(SqlType::NChar, 4), Value::str("a")), bytesOf({4, 0, 'a', 0, ' ', 0}));
    EXPECT_EQ(encode(col(SqlType::Binary, 3), Value::str("\x01")), bytesOf({3, 0, 1, 0, 0}));
    // Never more than the declared size, so a client's buffer is never overrun.
    EXPECT_EQ(encode(col(SqlType::NVarChar, 4), Value::str("abc")),
              bytesOf({4, 0, 'a', 0, 'b', 0}));
    EXPECT_EQ(encode(col(SqlType::VarChar, 10), Value::integer(42)), bytesOf({2, 0, '4', '2'}));
    EXPECT_EQ(encode(col(SqlType::VarChar, 10), Value::null()), bytesOf({0xFF, 0xFF}));
    // PLP: total length, one chunk, terminator; NULL is all ones.
    EXPECT_EQ(encode(col(SqlType::VarBinary, -1), Value::str("xy")),
              bytesOf({2, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 'x', 'y', 0, 0, 0, 0}));
    EXPECT_EQ(encode(col(SqlType::NVarChar, -1), Value::null()), std::string(8, '\xFF'));
    // text/ntext/image: text pointer, timestamp, length, data.
    std::string t = encode(col(SqlType::Text), Value::str("hi"));
    ASSERT_EQ(t.size(), 1u + 16 + 8 + 4 + 2);
    EXPECT_EQ(t[0], 16);
    EXPECT_EQ(t.substr(25), bytesOf({2, 0, 0, 0, 'h', 'i'}));
    EXPECT_EQ(encode(col(SqlType::Image), Value::null()), bytesOf({0}));
}

TEST(WireTypes, TypeInfoCarriesCollationAndLongTypeTableName) {
    ByteWriter w;
    writeTypeInfo(w, describeColumn(col(SqlType::VarChar, 30), kTds74), kTds74);
    EXPECT_EQ(std::string(w.data().begin(), w.data().end()),
              bytesOf({0xA7, 30, 0, 0x09, 0x04, 0xD0, 0x00, 0x34}));
    ByteWriter n;
    writeTypeInfo(n, describeColumn(col(SqlType::NText), kTds72), kTds72);
    EXPECT_EQ(n.size(), 1u + 4 + 5 + 1 + 2);
    ByteWriter o;
    writeTypeInfo(o, describeColumn(col(SqlType::NText), kTds71), kTds71);
    EXPECT_EQ(o.size(), 1u + 4 + 5 + 2);
}
