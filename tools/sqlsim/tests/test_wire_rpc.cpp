// Decoding of RPC requests as drivers encode them, and the substitution of parameter values
// into statement text.
#include "test_wire_client.h"
#include "wire/request.h"
#include "wire/rpc_sql.h"

#include <gtest/gtest.h>

using namespace sqlsim;
using namespace sqlsim::wire;

namespace {

std::vector<uint8_t> header(uint16_t procId) {
    ByteWriter w;
    w.bytes(wiretest::allHeaders());
    w.u16(0xFFFF);
    w.u16(procId);
    w.u16(0);
    return w.data();
}

void param(ByteWriter& w, const std::string& name, std::initializer_list<int> typeAndValue) {
    w.bVarchar(name);
    w.u8(0);
    for (int b : typeAndValue)
        w.u8(static_cast<uint8_t>(b));
}

} // namespace

TEST(WireRpc, ParametersOfEachDriverTypeAreDecoded) {
    ByteWriter w;
    w.bytes(header(10));
    param(w, "@b", {0x68, 1, 1, 1});                                  // bitn 1
    param(w, "@f", {0x6D, 8, 8, 0, 0, 0, 0, 0, 0, 0x04, 0x40});       // fltn 2.5
    param(w, "@d", {0x6A, 9, 10, 2, 5, 0, 0x39, 0x30, 0, 0});         // -123.45
    param(w, "@t", {0x6F, 8, 8, 1, 0, 0, 0, 0x2C, 0x01, 0, 0});       // 1900-01-02 00:00:01
    param(w, "@m", {0x6E, 8, 8, 0, 0, 0, 0, 0x10, 0x27, 0, 0});       // money 1
    param(w, "@n", {0xE7, 0x20, 0, 9, 4, 0xD0, 0, 0x34, 0xFF, 0xFF}); // NULL nvarchar
    param(w, "@x", {0xA5, 8, 0, 2, 0, 0xCA, 0xFE});                   // varbinary
    param(w, "@i", {0x38, 0xFE, 0xFF, 0xFF, 0xFF});                   // fixed int4 -2
    param(w, "@v", {0xA7, 0xFF, 0xFF, 9, 4, 0xD0, 0,    0x34,         // varchar(max), 2 chunks
                    3,    0,    0,    0, 0, 0,    0,    0,    1, 0, 0, 0,
                    'a',  2,    0,    0, 0, 'b',  0xE9, 0,    0, 0, 0});
    param(w, "@dt", {0x2A, 3, 7, 0x10, 0x27, 0, 0, 0x45, 0x46, 0x0B}); // datetime2(3)
    auto calls = parseRpc(w.data(), kTds74);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].procName, "sp_executesql");
    const auto& p = calls[0].params;
    ASSERT_EQ(p.size(), 10u);
    EXPECT_EQ(p[0].value.i, 1);
    EXPECT_EQ(p[0].type.type, SqlType::Bit);
    EXPECT_DOUBLE_EQ(p[1].value.f, 2.5);
    EXPECT_EQ(p[2].value.text, "-123.45");
    EXPECT_EQ(p[2].type.precision, 10);
    EXPECT_EQ(p[3].value.text, "1900-01-02 00:00:01.000");
    EXPECT_EQ(p[4].value.text, "1.0000");
    EXPECT_EQ(p[5].value.kind, Value::Kind::Null);
    EXPECT_EQ(p[5].type.type, SqlType::NVarChar);
    EXPECT_EQ(p[6].value.text, "\xCA\xFE");
    EXPECT_EQ(p[7].value.i, -2);
    EXPECT_EQ(p[8].value.text, "abé");
    EXPECT_EQ(p[8].type.size, -1);
    EXPECT_EQ(p[9].value.text, "2024-01-01 00:00:10.000");
}

TEST(WireRpc, CallsByNameAndSeveralCallsInOneRequest) {
    ByteWriter w;
    w.bytes(wiretest::allHeaders());
    w.usVarchar("dbo.GetThing");
    w.u16(0);
    param(w, "", {0x26, 4, 4, 7, 0, 0, 0});
    w.u8(0x80);
    w.u16(0xFFFF);
    w.u16(15);
    w.u16(0);
    param(w, "", {0x26, 4, 4, 1, 0, 0, 0});
    auto calls = parseRpc(w.data(), kTds74);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].procName, "dbo.GetThing");
    EXPECT_EQ(calls[0].params[0].value.i, 7);
    EXPECT_EQ(calls[1].procName, "sp_unprepare");
}

TEST(WireRpc, MalformedCallsAreRefused) {
    auto unknown = header(99);
    EXPECT_THROW(parseRpc(unknown, kTds74), ProtocolError);
    ByteWriter w;
    w.bytes(header(10));
    param(w, "@x", {0x26, 4, 3, 1, 2, 3}); // a 3-byte int
    EXPECT_THROW(parseRpc(w.data(), kTds74), ProtocolError);
    ByteWriter x;
    x.bytes(header(10));
    param(x, "@x", {0xF1, 0}); // xml is not a parameter type we take
    EXPECT_THROW(parseRpc(x.data(), kTds74), ProtocolError);
    ByteWriter plp;
    plp.bytes(header(10));
    param(plp, "@x", {0xA5, 0xFF, 0xFF, 9, 0, 0, 0, 0, 0, 0, 0, 9, 0, 0, 0, 1});
    EXPECT_THROW(parseRpc(plp.data(), kTds74), ProtocolError);
}

TEST(WireRpc, BatchTextSkipsHeadersOnlyWhenPresent) {
    std::string u = utf8ToUtf16le("SELECT 1");
    std::vector<uint8_t> bare(u.begin(), u.end());
    EXPECT_EQ(parseSqlBatch(bare, kTds71), "SELECT 1");
    std::vector<uint8_t> withHeaders = wiretest::allHeaders();
    withHeaders.insert(withHeaders.end(), u.begin(), u.end());
    EXPECT_EQ(parseSqlBatch(withHeaders, kTds74), "SELECT 1");
}

TEST(WireSubstitution, OnlyRealParameterReferencesAreReplaced) {
    std::map<std::string, std::string> v = {{"@p1", "42"}, {"@name", "N'x'"}};
    EXPECT_EQ(substituteParams("SELECT @P1, @p10, @@ROWCOUNT, '@p1', [@p1], \"@p1\" -- @p1\n"
                               "/* @p1 */ FROM t WHERE n = @Name",
                               v),
              "SELECT 42, @p10, @@ROWCOUNT, '@p1', [@p1], \"@p1\" -- @p1\n"
              "/* @p1 */ FROM t WHERE n = N'x'");
    EXPECT_EQ(substituteParams("'it''s @p1' + @p1", v), "'it''s @p1' + 42");
    EXPECT_EQ(substituteParams("x@p1", v), "x@p1");
    EXPECT_EQ(substituteParams("unterminated '@p1", v), "unterminated '@p1");
}

TEST(WireSubstitution, DeclaredNamesAndPositionalBinding) {
    EXPECT_EQ(declaredNames("@P1 decimal(10,2),@P2 nvarchar(20) OUTPUT, @x int"),
              (std::vector<std::string>{"@P1", "@P2", "@x"}));
    std::vector<RpcParam> params(4);
    params[2].value = Value::integer(5);
    params[3].name = "@x";
    params[3].value = Value::null();
    auto bound = bindParams(params, 2, "@a int, @x int");
    EXPECT_EQ(bound.at("@a"), "5");
    EXPECT_EQ(bound.at("@x"), "NULL");
}

TEST(WireSubstitution, LiteralsFollowTheParameterType) {
    RpcParam p;
    p.value = Value::str("O'Neil");
    p.type.type = SqlType::NVarChar;
    EXPECT_EQ(sqlLiteral(p), "N'O''Neil'");
    p.type.type = SqlType::VarChar;
    EXPECT_EQ(sqlLiteral(p), "'O''Neil'");
    p.type.type = SqlType::VarBinary;
    p.value = Value::str(std::string("\x00\xAB", 2));
    EXPECT_EQ(sqlLiteral(p), "0x00AB");
    p.type.type = SqlType::Money;
    p.value = Value::str("-1.5000");
    EXPECT_EQ(sqlLiteral(p), "-1.5000");
    p.value = Value::real(0.1);
    EXPECT_EQ(sqlLiteral(p), "0.1");
}

TEST(WireSubstitution, StatementTextParameterOfSystemProcedures) {
    std::vector<RpcParam> params(3);
    params[0].value = Value::str("A");
    params[2].value = Value::str("C");
    EXPECT_EQ(statementParam("sp_executesql", params)->value.text, "A");
    EXPECT_EQ(statementParam("SP_PREPEXEC", params)->value.text, "C");
    EXPECT_EQ(statementParam("sp_execute", params), nullptr);
    EXPECT_EQ(statementParam("sp_executesql", {}), nullptr);
}
