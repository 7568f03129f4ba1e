// A T-SQL tokenizer for reading module texts: it knows where comments (nested block comments
// included), string literals and quoted names begin and end, so that nothing inside them is
// mistaken for code, and it keeps each token's line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orv {

struct SqlToken {
    enum Kind {
        Word,       // a plain identifier or keyword; #temp and ##temp names are words too
        QuotedName, // [name] or "name"
        Variable,   // @name, @@name
        String,     // 'text' or N'text'
        Number,
        Punct, // one character: . , ( ) ; = and the other operators
    };
    Kind kind = Word;
    std::string raw;   // as written
    std::string value; // a quoted name without its quotes and doubled closers; else raw
    int line = 1;      // 1-based

    bool IsName() const { return kind == Word || kind == QuotedName; }
    bool Is(char c) const { return kind == Punct && raw.size() == 1 && raw[0] == c; }
    // A plain word equal to `upper` in any letter case (a quoted name is never a keyword).
    bool IsWord(const char* upper) const;
};

// Splits `text` into tokens; comments and white space are dropped. An unterminated literal,
// quoted name or comment runs to the end of the text.
std::vector<SqlToken> TokenizeTsql(std::string_view text);

} // namespace orv
