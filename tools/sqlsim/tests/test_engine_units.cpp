// The building blocks on their own: tokenizer, type table and value conversion.
#include "engine/tokens.h"
#include "engine/types.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace sqlsim;

TEST(EngineTokens, BracketsStringsCommentsAndLines) {
    std::string err;
    auto t =
        tokenize("SELECT [a]]b], N'it''s', 0x0A1f -- gone\n/* one /* two */ still */ @x, @@SPID\n"
                 "\"q\"",
                 err);
    ASSERT_TRUE(err.empty()) << err;
    ASSERT_EQ(t.size(), 11u);
    EXPECT_EQ(t[1].kind, Token::Kind::Quoted);
    EXPECT_EQ(t[1].value, "a]b");
    EXPECT_EQ(t[3].kind, Token::Kind::NString);
    EXPECT_EQ(t[3].value, "it's");
    EXPECT_EQ(t[5].kind, Token::Kind::Binary);
    EXPECT_EQ(t[5].value, "0A1f");
    EXPECT_EQ(t[6].kind, Token::Kind::Variable);
    EXPECT_EQ(t[6].line, 2);
    EXPECT_EQ(t[8].value, "@@SPID");
    EXPECT_EQ(t[9].kind, Token::Kind::Quoted);
    EXPECT_EQ(t[9].line, 3);
    EXPECT_EQ(t.back().kind, Token::Kind::End);
    // Offsets point back into the text, so module bodies can be kept verbatim.
    EXPECT_EQ(std::string("SELECT [a]]b]").substr(t[1].begin, t[1].end - t[1].begin), "[a]]b]");

    tokenize("SELECT 'open", err);
    EXPECT_EQ(err, "Unclosed quotation mark after the character string 'open'.");
    tokenize("SELECT /* never closed", err);
    EXPECT_EQ(err, "Missing end comment mark '*/'.");
}

TEST(EngineTypes, BuiltinTypesCarrySqlServerSizes) {
    auto nv = makeBuiltinType("NVARCHAR", {"20"});
    ASSERT_TRUE(nv);
    EXPECT_EQ(nv->length, 40);
    EXPECT_EQ(nv->prec, 20);
    EXPECT_EQ(nv->wireSize, 40);
    EXPECT_EQ(nv->xtype, 231);
    auto mx = makeBuiltinType("varbinary", {"max"});
    EXPECT_EQ(mx->length, -1);
    EXPECT_EQ(mx->wireSize, -1);
    for (auto [p, len] :
         {std::pair{9, 5}, {10, 9}, {19, 9}, {20, 13}, {28, 13}, {29, 17}, {38, 17}})
        EXPECT_EQ(makeBuiltinType("decimal", {std::to_string(p), "2"})->length, len) << p;
    auto dflt = makeBuiltinType("numeric", {});
    EXPECT_EQ(dflt->prec, 18);
    EXPECT_EQ(dflt->scale, 0);
    EXPECT_EQ(makeBuiltinType("float", {"24"})->baseName, "real");
    EXPECT_EQ(makeBuiltinType("float", {"25"})->baseName, "float");
    EXPECT_FALSE(makeBuiltinType("nosuch", {}));
    // What SQLite is told reads back as the same type.
    for (const char* decl : {"nvarchar(20)", "varchar(max)", "decimal(12,3)", "int", "sysname"}) {
        std::string name = decl;
        std::vector<std::string> args;
        auto paren = name.find('(');
        if (paren != std::string::npos) {
            std::string inner = name.substr(paren + 1, name.size() - paren - 2);
            name = name.substr(0, paren);
            auto comma = inner.find(',');
            args.push_back(inner.substr(0, comma));
            if (comma != std::string::npos)
                args.push_back(inner.substr(comma + 1));
        }
        auto t = makeBuiltinType(name, args);
        ASSERT_TRUE(t) << decl;
        auto back = parseDecl(t->sqliteDecl());
        ASSERT_TRUE(back) << t->sqliteDecl();
        EXPECT_EQ(back->sql, t->sql) << decl;
        EXPECT_EQ(back->length, name == "sysname" ? 256 : t->length) << decl;
        EXPECT_EQ(back->scale, t->scale) << decl;
    }
}

TEST(EngineTypes, DateTimeTextIsNormalised) {
    EXPECT_EQ(normalizeDateTime("2024-03-01"), "2024-03-01 00:00:00.000");
    EXPECT_EQ(normalizeDateTime("2024-03-01T10:20:30.5"), "2024-03-01 10:20:30.500");
    EXPECT_EQ(normalizeDateTime("20240301 10:20"), "2024-03-01 10:20:00.000");
    EXPECT_EQ(normalizeDateTime("03/01/2024"), "2024-03-01 00:00:00.000");
    EXPECT_FALSE(normalizeDateTime("yesterday"));
    EXPECT_FALSE(normalizeDateTime("2024-13-01"));
    EXPECT_EQ(formatDecimal(2.5, 4), "2.5000");
    EXPECT_EQ(formatDecimal(-0.125, 2), "-0.12");
}

TEST(EngineTypes, CellsConvertToTheColumnType) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db,
                                 "SELECT 12.5, 3, '2001-02-03', 'ab', 'abcdef01-0000-0000-0000-"
                                 "000000000000', 7, x'0102', NULL, 'x'",
                                 -1, &st, nullptr),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    auto info = [](const char* name, std::vector<std::string> args) {
        return makeBuiltinType(name, args)->columnInfo("c");
    };
    EXPECT_EQ(convertCell(st, 0, info("decimal", {"10", "3"})).text, "12.500");
    EXPECT_EQ(convertCell(st, 1, info("money", {})).text, "3.0000");
    EXPECT_EQ(convertCell(st, 2, info("datetime", {})).text, "2001-02-03 00:00:00.000");
    EXPECT_EQ(convertCell(st, 3, info("nchar", {"4"})).text, "ab  ");
    EXPECT_EQ(convertCell(st, 4, info("uniqueidentifier", {})).text,
              "ABCDEF01-0000-0000-0000-000000000000");
    Value bit = convertCell(st, 5, info("bit", {}));
    EXPECT_EQ(bit.kind, Value::Kind::Int);
    EXPECT_EQ(bit.i, 1);
    EXPECT_EQ(convertCell(st, 6, info("binary", {"4"})).text, std::string("\x01\x02\0\0", 4));
    EXPECT_EQ(convertCell(st, 7, info("int", {})).kind, Value::Kind::Null);
    Value real = convertCell(st, 0, info("float", {}));
    EXPECT_EQ(real.kind, Value::Kind::Float);
    EXPECT_DOUBLE_EQ(real.f, 12.5);
    EXPECT_EQ(convertCell(st, 8, info("smalldatetime", {})).text, "x");
    sqlite3_finalize(st);
    sqlite3_close(db);
}
