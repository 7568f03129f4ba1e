// The 2008 date and time types on the wire: their own TYPE_INFO and value layouts for a client
// of TDS 7.3 or later, nvarchar text as wide as the type's precision for an older one.
#include "wire/login.h"
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

ColumnInfo col(SqlType t, uint8_t precision, uint8_t scale) {
    ColumnInfo c;
    c.type = t;
    c.precision = precision;
    c.scale = scale;
    return c;
}

std::string value(const ColumnInfo& c, const std::string& text, uint32_t version = kTds74) {
    ByteWriter w;
    writeValue(w, describeColumn(c, version), Value::str(text));
    return std::string(w.data().begin(), w.data().end());
}

std::string typeInfo(const ColumnInfo& c, uint32_t version = kTds74) {
    ByteWriter w;
    writeTypeInfo(w, describeColumn(c, version), version);
    return std::string(w.data().begin(), w.data().end());
}

} // namespace

TEST(LaterDatesOnTheWire, EachTypeHasItsTds73Layout) {
    // 2024-01-08 is day 738892 (0x0B464C) after 0001-01-01.
    const ColumnInfo date = col(SqlType::Date, 10, 0);
    EXPECT_EQ(typeInfo(date), bytesOf({0x28}));
    EXPECT_EQ(value(date, "2024-01-08"), bytesOf({3, 0x4C, 0x46, 0x0B}));

    // time(0): seconds since midnight in three bytes.
    const ColumnInfo time = col(SqlType::Time, 8, 0);
    EXPECT_EQ(typeInfo(time), bytesOf({0x29, 0}));
    EXPECT_EQ(value(time, "07:00:00"), bytesOf({3, 0x70, 0x62, 0x00}));

    // datetime2(3): milliseconds since midnight in four bytes, then the date.
    const ColumnInfo dt2 = col(SqlType::DateTime2, 23, 3);
    EXPECT_EQ(typeInfo(dt2), bytesOf({0x2A, 3}));
    EXPECT_EQ(value(dt2, "2024-01-08 07:00:00.123"),
              bytesOf({7, 0xFB, 0x85, 0x80, 0x01, 0x4C, 0x46, 0x0B}));

    // datetimeoffset(0): the UTC time and date, then the offset in minutes.
    const ColumnInfo dto = col(SqlType::DateTimeOffset, 26, 0);
    EXPECT_EQ(typeInfo(dto), bytesOf({0x2B, 0}));
    EXPECT_EQ(value(dto, "2024-01-08 07:02:00 +01:00"),
              bytesOf({8, 0xD8, 0x54, 0x00, 0x4C, 0x46, 0x0B, 60, 0}));
    // A negative offset that moves the UTC time past midnight moves the date too.
    EXPECT_EQ(value(dto, "2024-01-07 23:00:00 -01:00"),
              bytesOf({8, 0x00, 0x00, 0x00, 0x4C, 0x46, 0x0B, 0xC4, 0xFF}));

    ByteWriter nul;
    writeValue(nul, describeColumn(dt2, kTds74), Value::null());
    EXPECT_EQ(std::string(nul.data().begin(), nul.data().end()), bytesOf({0}));
}

TEST(LaterDatesOnTheWire, OlderClientsGetTextAsWideAsThePrecision) {
    const ColumnInfo dt2 = col(SqlType::DateTime2, 27, 7);
    WireType t = describeColumn(dt2, kTds72);
    EXPECT_EQ(t.tdsType, 0xE7); // nvarchar
    EXPECT_EQ(t.maxLength, 54u);
    const std::string v = value(dt2, "2024-01-08 07:00:00.0000000", kTds71);
    ASSERT_EQ(v.size(), 2u + 54u);
    EXPECT_EQ(v.substr(0, 4), bytesOf({54, 0, '2', 0}));
    EXPECT_EQ(describeColumn(col(SqlType::Date, 10, 0), kTds71).maxLength, 20u);
}
