// The row checksum that clients comparing tables range by range send: HASHBYTES over the row's
// columns, each written as its length in four bytes and its bytes,
//
//   HASHBYTES('MD5', CAST(DATALENGTH(v) AS binary(4)) + CAST(v AS varbinary(8000))
//                  + ISNULL(CAST(DATALENGTH(w) AS binary(4)) + CAST(w AS varbinary(8000)),
//                           0xFFFFFFFF) + ...)
//
// with v a column or RTRIM(column). Evaluated as written that is five SQLite function calls and
// as many intermediate values per column and row; here it becomes one native function that
// produces the same bytes. Any other HASHBYTES takes the general path.
#include "engine/sqlite_util.h"
#include "engine/translate.h"

namespace sqlsim {

namespace {

// Flags of one column in the native call; the function reads them in the same order.
constexpr int kNullable = 1; // wrapped in ISNULL(..., 0xFFFFFFFF)
constexpr int kTrimmed = 2;  // RTRIM(column)

} // namespace

std::optional<std::string> Translator::rowHash(size_t& i, size_t end) {
    size_t j = i;
    auto word = [&](std::string_view w) {
        if (j >= end || !tok(j).is(w))
            return false;
        ++j;
        return true;
    };
    auto op = [&](std::string_view o) {
        if (j >= end || !tok(j).isOp(o))
            return false;
        ++j;
        return true;
    };
    auto number = [&](std::string_view n) {
        if (j >= end || tok(j).kind != Token::Kind::Number || tok(j).text != n)
            return false;
        ++j;
        return true;
    };
    // A column, or RTRIM of one: the index of the column's token and whether it is trimmed.
    auto value = [&](size_t& column, bool& trimmed) {
        trimmed = tok(j).is("RTRIM") && tok(j + 1).isOp("(");
        if (trimmed)
            j += 2;
        if (j >= end || !tok(j).isName() || tok(j + 1).isOp("(") || tok(j + 1).isOp("."))
            return false;
        column = j++;
        return !trimmed || op(")");
    };
    if (tok(j).kind != Token::Kind::String || !tok(j + 1).isOp(","))
        return std::nullopt;
    std::string out = "tsql_rowhash(" + sqlStr(tok(j).value);
    j += 2;
    for (;;) {
        const bool nullable = tok(j).is("ISNULL") && tok(j + 1).isOp("(");
        if (nullable)
            j += 2;
        size_t column = 0, again = 0;
        bool trimmed = false, trimmedAgain = false;
        if (!word("CAST") || !op("(") || !word("DATALENGTH") || !op("(") ||
            !value(column, trimmed) || !op(")") || !word("AS") || !word("binary") || !op("(") ||
            !number("4") || !op(")") || !op(")") || !op("+") || !word("CAST") || !op("(") ||
            !value(again, trimmedAgain) || !word("AS") || !word("varbinary") || !op("(") ||
            !number("8000") || !op(")") || !op(")"))
            return std::nullopt;
        if (trimmed != trimmedAgain || tok(column).name() != tok(again).name() ||
            tok(column).kind != tok(again).kind)
            return std::nullopt;
        if (nullable && (!op(",") || j >= end || tok(j).kind != Token::Kind::Binary ||
                         !iequals(tok(j++).text, "0xFFFFFFFF") || !op(")")))
            return std::nullopt;
        size_t at = column;
        out += ", " + std::to_string((nullable ? kNullable : 0) | (trimmed ? kTrimmed : 0)) + ", " +
               expr(at, column + 1, true, true);
        if (op("+"))
            continue;
        if (!op(")"))
            return std::nullopt;
        break;
    }
    i = j;
    rowHashed_ = true;
    return out + ")";
}

} // namespace sqlsim
