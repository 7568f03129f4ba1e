// What a client that checksums rows on the server relies on: HASHBYTES with known digests,
// CAST to and from binary as SQL Server gives it, ROW_NUMBER over a composite key, and
// ordered range reads by a composite key; refused in the 2000 dialect.
#include "test_engine_support.h"

#include <set>

using namespace sqlsim;
using namespace sqlsim::test;

namespace {

class Checksums : public ::testing::Test {
protected:
    void SetUp() override {
        f.script("CREATE DATABASE HashDb\nGO\nUSE HashDb\nGO\n"
                 "CREATE TABLE K (a int NOT NULL, b varchar(10) NOT NULL, v float NULL,\n"
                 "  CONSTRAINT PK_K PRIMARY KEY (a, b))\nGO\n"
                 "INSERT INTO K VALUES (1, 'b', 1.5)\nINSERT INTO K VALUES (1, 'a', NULL)\n"
                 "INSERT INTO K VALUES (2, 'a', -2)\nINSERT INTO K VALUES (0, 'z', 0.1)\n"
                 "INSERT INTO K VALUES (2, 'c', 3)\nGO\n");
        s = f.open("HashDb");
    }
    // The value as text, binary values as 0x and hex digits.
    std::string one(const std::string& expr) {
        ResultSet r = f.query("SELECT " + expr, s.get());
        if (r.rows.empty())
            return "<none>";
        const std::string v = r.at(0, 0);
        if (v == "NULL" || expr.find("AS int)") != std::string::npos)
            return v;
        std::string hex = "0x";
        for (unsigned char c : v) {
            hex += "0123456789ABCDEF"[c >> 4];
            hex += "0123456789ABCDEF"[c & 15];
        }
        return hex;
    }
    bool refused(const std::string& sql) { return f.run(sql, s.get()).error() != nullptr; }
    EngineFixture f;
    std::unique_ptr<Session> s;
};

} // namespace

TEST_F(Checksums, HashBytesGivesTheStandardDigests) {
    // The published test vectors of each algorithm.
    EXPECT_EQ(one("HASHBYTES('MD5', 'abc')"), "0x900150983CD24FB0D6963F7D28E17F72");
    EXPECT_EQ(one("HASHBYTES('md5', '')"), "0xD41D8CD98F00B204E9800998ECF8427E");
    EXPECT_EQ(one("HASHBYTES('SHA1', 'abc')"), "0xA9993E364706816ABA3E25717850C26C9CD0D89D");
    // Longer than one block, so the padding of a second block is exercised.
    EXPECT_EQ(one("HASHBYTES('MD5', REPLICATE('a', 100))"), "0x36A92CC94A9E0FA21F625F8BFB007ADF");
    EXPECT_EQ(one("HASHBYTES('MD5', NULL)"), "NULL");
    EXPECT_EQ(one("HASHBYTES('NOSUCH', 'abc')"), "NULL");
    // The SHA-2 family came with 2012: to 2008 R2 its names are unknown ones.
    EXPECT_EQ(one("HASHBYTES('SHA2_256', 'abc')"), "NULL");
    EXPECT_EQ(one("HASHBYTES('SHA2_512', 'abc')"), "NULL");
    EngineFixture v11("11.0.2100.60");
    auto s11 = v11.open("master");
    ResultSet sha256 = v11.query("SELECT HASHBYTES('SHA2_256', 'abc')", s11.get());
    ASSERT_FALSE(sha256.rows.empty());
    std::string hex;
    for (unsigned char c : sha256.at(0, 0))
        hex += std::string(1, "0123456789ABCDEF"[c >> 4]) + "0123456789ABCDEF"[c & 15];
    EXPECT_EQ(hex, "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD");
    EXPECT_NE(v11.run("SELECT HASHBYTES('SHA2_512', 'abc')", s11.get()).error(), nullptr);
}

TEST_F(Checksums, BeforeSql2016HashBytesTakesAtMost8000Bytes) {
    // A syscomments row (nvarchar(4000)) always fits; a whole long module text does not.
    const std::string x8000 = "CAST(REPLICATE('x', 8000) AS varchar(max))";
    EXPECT_NE(one("HASHBYTES('SHA1', " + x8000 + ")"), "NULL");
    EXPECT_NE(one("HASHBYTES('SHA1', CAST(" + x8000 + " AS varbinary(max)))"), "NULL");
    const CaptureSink tooLong = f.run("SELECT HASHBYTES('SHA1', " + x8000 + " + 'y')", s.get());
    ASSERT_NE(tooLong.error(), nullptr);
    EXPECT_EQ(tooLong.error()->number, 8152);
    EXPECT_EQ(tooLong.error()->text, "String or binary data would be truncated.");
    // From 2016 any length is taken.
    EngineFixture v13("13.0.1601.5");
    auto s13 = v13.open("master");
    const CaptureSink taken =
        v13.run("SELECT HASHBYTES('SHA2_256', " + x8000 + " + " + x8000 + ")", s13.get());
    EXPECT_EQ(taken.error(), nullptr) << taken.errorText();
}

TEST_F(Checksums, CastToAndFromBinaryUsesTheBytesNotTheDigits) {
    EXPECT_EQ(one("CAST(1 AS varbinary(8))"), "0x00000001");
    EXPECT_EQ(one("CAST(-1 AS varbinary(8))"), "0xFFFFFFFF");
    EXPECT_EQ(one("CAST(CAST(1.5 AS float) AS varbinary(8))"), "0x3FF8000000000000");
    EXPECT_EQ(one("CAST('AB' AS varbinary(8))"), "0x4142");
    // A CASE expression is one operand: + after it joins texts and binary values.
    EXPECT_EQ(one("CASE WHEN 1 = 1 THEN 'a' END + CASE WHEN 1 = 0 THEN 'x' ELSE 'b' END"),
              "0x6162");
    EXPECT_EQ(one("CASE WHEN 1 = 1 THEN 0x01 END + CASE WHEN 1 = 1 THEN 0x02 END"), "0x0102");
    EXPECT_EQ(one("CASE 2 WHEN 1 THEN 10 WHEN 2 THEN CASE WHEN 1 = 1 THEN 20 END END + 1"),
              "0x3231"); // the text 21
    // Joining binary values keeps a NUL byte and everything after it.
    EXPECT_EQ(one("0x01 + 0x0000FF"), "0x010000FF");
    EXPECT_EQ(one("0x00 + HASHBYTES('MD5', '')"), "0x00D41D8CD98F00B204E9800998ECF8427E");
    EXPECT_EQ(one("CAST(0x80000000 AS int)"), "-2147483648");
    EXPECT_EQ(one("CAST(0x0102 AS int)"), "258");
    EXPECT_EQ(one("CAST(CAST(SUBSTRING(0xFFFFFFFF01, 1, 4) AS int) AS bigint)"), "-1");
    EXPECT_EQ(one("CAST(CAST(SUBSTRING(0x00000102FF, 1, 4) AS int) AS bigint)"), "258");
    // Floats that differ only in their last bits stay apart.
    EXPECT_NE(one("CAST(CAST(0.1 AS float) AS varbinary(8))"),
              one("CAST(CAST(0.1 AS float) + 1e-17 * 2 AS varbinary(8))"));
}

TEST_F(Checksums, RangeChecksumAndRowNumberOverACompositeKey) {
    ResultSet r = f.query("SELECT a, b FROM (SELECT a, b, ROW_NUMBER() OVER (ORDER BY a, b "
                          "COLLATE Latin1_General_BIN2) AS rn FROM K) AS x WHERE rn % 2 = 1 "
                          "ORDER BY a, b",
                          s.get());
    ASSERT_EQ(r.rows.size(), 3u);
    EXPECT_EQ(r.at(0, 0) + r.at(0, 1), "0z");
    EXPECT_EQ(r.at(1, 0) + r.at(1, 1), "1b");
    EXPECT_EQ(r.at(2, 0) + r.at(2, 1), "2c");
    // A half-open range over (a, b): from (1, 'b') up to but not including (2, 'c').
    r = f.query("SELECT COUNT_BIG(*), SUM(CAST(CAST(SUBSTRING(h, 1, 4) AS int) AS bigint)) FROM "
                "(SELECT HASHBYTES('MD5', CAST(v AS varbinary(8000))) AS h FROM K WHERE "
                "((a > 1) OR (a = 1 AND b >= 'b')) AND ((a < 2) OR (a = 2 AND b < 'c'))) AS x",
                s.get());
    EXPECT_EQ(r.at(0, 0), "2");
    EXPECT_NE(r.at(0, 1), "NULL");
}

TEST_F(Checksums, RowChecksumTakesTheFastPathWithTheSameBytes) {
    // The row checksum a comparing client sends is computed by one native function; written with
    // a redundant pair of parentheses it takes the general path. Both must give the same bytes
    // for every kind of value, and a NULL without ISNULL must still make the whole hash NULL.
    f.script("USE HashDb\nGO\nCREATE TABLE R (id int NOT NULL, t varchar(20) NULL, "
             "u nvarchar(20) NULL, x varbinary(20) NULL, d decimal(12,2) NULL, "
             "w datetime NULL, g float NULL, n bigint NULL)\nGO\n"
             "INSERT INTO R VALUES (1, 'abc  ', N'\xc3\xa9t\xc3\xa9 ', 0x00FF00, 12.50, "
             "'2020-01-02 03:04:05.000', -0.5, 5000000000)\n"
             "INSERT INTO R VALUES (2, '', N'', 0x, 0, '1900-01-01', 0, -1)\n"
             "INSERT INTO R VALUES (3, NULL, NULL, NULL, NULL, NULL, NULL, NULL)\n"
             "INSERT INTO R VALUES (4, '   ', N'x''y', 0x20, -1.25, '2099-12-31 23:59:59.997', "
             "1e300, 2147483648)\nGO\n");
    auto piece = [](const std::string& v, bool nullable, bool general) {
        const std::string cast =
            general ? "CAST((" + v + ") AS varbinary(8000))" : "CAST(" + v + " AS varbinary(8000))";
        const std::string p = "CAST(DATALENGTH(" + v + ") AS binary(4)) + " + cast;
        return nullable ? "ISNULL(" + p + ", 0xFFFFFFFF)" : p;
    };
    auto rowHash = [&](const std::string& algorithm, bool general, bool nullable) {
        std::string h = "HASHBYTES('" + algorithm + "', " + piece("[id]", false, general);
        for (const char* v : {"RTRIM([t])", "RTRIM([u])", "[x]", "[d]", "[w]", "[g]", "[n]"})
            h += " + " + piece(v, nullable, general);
        return h + ")";
    };
    for (const char* algorithm : {"MD5", "SHA1", "SHA2_256"})
        for (bool nullable : {true, false}) {
            const std::string sql = "SELECT id, " + rowHash(algorithm, false, nullable) + ", " +
                                    rowHash(algorithm, true, nullable) + " FROM R ORDER BY id";
            ResultSet r = f.query(sql, s.get());
            ASSERT_EQ(r.rows.size(), 4u) << sql;
            std::set<std::string> distinct;
            for (size_t row = 0; row < 4; ++row) {
                EXPECT_EQ(r.at(row, 1), r.at(row, 2)) << algorithm << " row " << r.at(row, 0);
                distinct.insert(r.at(row, 1));
            }
            // 2008 R2 knows no SHA-2: both paths answer NULL for every row.
            if (std::string(algorithm) == "SHA2_256") {
                EXPECT_EQ(distinct, std::set<std::string>{"NULL"});
                continue;
            }
            // Rows 2 (empty values) and 4 (blanks only) trim to the same texts but differ in
            // their other columns; row 3 is all NULL.
            EXPECT_EQ(distinct.size(), 4u) << algorithm;
            EXPECT_EQ(r.at(2, 1) == "NULL", !nullable) << algorithm;
        }
    // Trailing blanks are gone after RTRIM on either path: 'abc  ' hashes as 'abc'.
    EXPECT_EQ(one("HASHBYTES('MD5', CAST(DATALENGTH(RTRIM(t)) AS binary(4)) + "
                  "CAST(RTRIM(t) AS varbinary(8000))) FROM R WHERE id = 1"),
              one("HASHBYTES('MD5', 0x00000003 + CAST('abc' AS varbinary(8000)))"));
}

TEST(ChecksumsOn2000, LaterFunctionsAreRefused) {
    EngineFixture f("8.00.2039");
    f.script("CREATE DATABASE OldDb\nGO\nUSE OldDb\nGO\nCREATE TABLE T (a int)\nGO\n");
    auto s = f.open("OldDb");
    EXPECT_NE(f.run("SELECT HASHBYTES('MD5', 'abc')", s.get()).error(), nullptr);
    EXPECT_NE(f.run("SELECT a, ROW_NUMBER() OVER (ORDER BY a) FROM T", s.get()).error(), nullptr);
}
