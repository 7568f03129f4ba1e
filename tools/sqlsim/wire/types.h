// How each engine column type travels: the TDS type byte, its TYPE_INFO and the encoding of
// a value in a ROW token.
#pragma once

#include "engine/engine.h"
#include "wire/bytes.h"

#include <cstdint>

namespace sqlsim::wire {

// The default collation, SQL_Latin1_General_CP1_CI_AS: LCID 0x409, case-, kana- and
// width-insensitive, sort order 52 (code page 1252).
inline constexpr uint8_t kCollation[5] = {0x09, 0x04, 0xD0, 0x00, 0x34};

enum class Layout {
    ByteLength,  // one length byte before the value (0 = NULL): intn, bitn, fltn, ...
    Decimal,     // like ByteLength, plus precision and scale in TYPE_INFO
    ShortLength, // two length bytes (0xFFFF = NULL): big char/binary types
    Plp,         // partially length-prefixed, for (max) types from TDS 7.2
    LongText,    // text/ntext/image with a text pointer
    TypeOnly,    // no TYPE_INFO past the type byte, one length byte before the value: daten
    Scaled,      // the scale in TYPE_INFO, one length byte before the value: time, datetime2, ...
};

enum class Encoding {
    Integer,
    Bit,
    Float,
    Decimal,
    Money,
    DateTime,
    Text,
    Unicode,
    Binary,
    Guid,
    Date,
    Time,
    DateTime2,
    DateTimeOffset,
};

struct WireType {
    uint8_t tdsType = 0;
    Layout layout = Layout::ByteLength;
    Encoding encoding = Encoding::Text;
    uint32_t maxLength = 0; // bytes in TYPE_INFO
    uint8_t precision = 0;
    uint8_t scale = 0;
    bool collation = false;
    bool fixed = false; // char/nchar/binary: values are padded to maxLength
};

WireType describeColumn(const ColumnInfo& col, uint32_t tdsVersion);
void writeTypeInfo(ByteWriter& w, const WireType& t, uint32_t tdsVersion);
void writeValue(ByteWriter& w, const WireType& t, const Value& v);

// Conversions shared with parameter decoding, exposed for tests.
// "YYYY-MM-DD[ hh:mm:ss[.fff]]" -> days since 1900-01-01 and 1/300-second ticks.
bool parseDateTime(const std::string& text, int32_t& days, uint32_t& ticks);
std::string formatDateTime(int32_t days, uint32_t ticks);
// Exact decimal text -> integer scaled by 10^scale (rounded half away from zero).
bool parseScaled(const std::string& text, uint8_t scale, __int128& out);
std::string formatScaled(__int128 value, uint8_t scale);
bool parseGuid(const std::string& text, uint8_t out[16]);
// The 2008 types' text ("YYYY-MM-DD", "hh:mm:ss[.fffffff]", "YYYY-MM-DD hh:mm:ss[.f] +hh:mm")
// -> days since 0001-01-01, 100 ns units since midnight and the offset in minutes. A
// datetimeoffset's date and time stay local here; the wire carries them in UTC.
bool parseLaterDate(const std::string& text, int32_t& days, int64_t& ticks, int16_t& offset);
// The bytes a time of `scale` digits takes on the wire: 3, 4 or 5.
uint8_t timeBytes(uint8_t scale);
std::string formatGuid(const uint8_t bytes[16]);
// A value of any kind as text, the way it would be cast to a string.
std::string valueText(const Value& v);

} // namespace sqlsim::wire
