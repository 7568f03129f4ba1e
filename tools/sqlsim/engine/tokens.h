// Splits T-SQL text into tokens. Keeps source offsets so that module text can be stored
// exactly as received and error messages can quote the offending token.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sqlsim {

struct Token {
    enum class Kind { Word, Quoted, String, NString, Number, Binary, Variable, Op, End };
    Kind kind = Kind::End;
    std::string text;  // as written
    std::string value; // identifier without brackets, string without quotes, upper-case word
    size_t begin = 0;
    size_t end = 0;
    int line = 1;

    bool is(std::string_view word) const; // keyword test, case-insensitive, Word only
    bool isOp(std::string_view op) const { return kind == Kind::Op && text == op; }
    bool isName() const { return kind == Kind::Word || kind == Kind::Quoted; }
    // Identifier text: bracket/quote content for Quoted, the word as written for Word.
    std::string name() const { return kind == Kind::Quoted ? value : text; }
};

// Tokenizes a whole batch. Comments are dropped. An unterminated string or bracket yields
// an error message in `error` (SQL Server's "Unclosed quotation mark ..." form).
std::vector<Token> tokenize(std::string_view sql, std::string& error);

bool isReservedWord(std::string_view upperWord);
std::string upper(std::string_view s);
std::string lower(std::string_view s);
bool iequals(std::string_view a, std::string_view b);

} // namespace sqlsim
