#include "explore/tsql_tokens.h"

#include <cctype>
#include <cstring>

namespace orv {

namespace {

bool IsIdentStart(unsigned char c) {
    return std::isalpha(c) || c == '_' || c == '#' || c >= 0x80;
}
bool IsIdentPart(unsigned char c) {
    return std::isalnum(c) || c == '_' || c == '#' || c == '@' || c == '$' || c >= 0x80;
}

} // namespace

bool SqlToken::IsWord(const char* upper) const {
    if (kind != Word)
        return false;
    const size_t n = std::strlen(upper);
    if (raw.size() != n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (std::toupper(static_cast<unsigned char>(raw[i])) != upper[i])
            return false;
    return true;
}

std::vector<SqlToken> TokenizeTsql(std::string_view text) {
    std::vector<SqlToken> out;
    const size_t n = text.size();
    size_t i = 0;
    int line = 1;
    auto countLines = [&](size_t from, size_t to) {
        for (size_t k = from; k < to && k < n; ++k)
            if (text[k] == '\n')
                ++line;
    };
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\n') {
            ++line;
            ++i;
            continue;
        }
        if (std::isspace(c)) {
            ++i;
            continue;
        }
        // -- comment to the end of the line.
        if (c == '-' && i + 1 < n && text[i + 1] == '-') {
            while (i < n && text[i] != '\n')
                ++i;
            continue;
        }
        // /* block comments */ nest in T-SQL.
        if (c == '/' && i + 1 < n && text[i + 1] == '*') {
            int depth = 0;
            size_t k = i;
            while (k < n) {
                if (text[k] == '/' && k + 1 < n && text[k + 1] == '*') {
                    ++depth;
                    k += 2;
                } else if (text[k] == '*' && k + 1 < n && text[k + 1] == '/') {
                    k += 2;
                    if (--depth == 0)
                        break;
                } else {
                    ++k;
                }
            }
            countLines(i, k);
            i = k;
            continue;
        }
        SqlToken t;
        t.line = line;
        const size_t start = i;
        auto quoted = [&](char close, SqlToken::Kind kind) {
            // The closer is escaped by doubling it.
            size_t k = i + 1;
            std::string value;
            while (k < n) {
                if (text[k] == close) {
                    if (k + 1 < n && text[k + 1] == close) {
                        value += close;
                        k += 2;
                        continue;
                    }
                    ++k;
                    break;
                }
                value += text[k];
                ++k;
            }
            countLines(i, k);
            t.kind = kind;
            t.value = std::move(value);
            i = k;
        };
        if (c == '\'') {
            quoted('\'', SqlToken::String);
        } else if ((c == 'N' || c == 'n') && i + 1 < n && text[i + 1] == '\'') {
            ++i;
            quoted('\'', SqlToken::String);
        } else if (c == '[') {
            quoted(']', SqlToken::QuotedName);
        } else if (c == '"') {
            quoted('"', SqlToken::QuotedName);
        } else if (c == '@') {
            size_t k = i + 1;
            while (k < n && IsIdentPart(static_cast<unsigned char>(text[k])))
                ++k;
            t.kind = SqlToken::Variable;
            i = k;
        } else if (std::isdigit(c) || (c == '.' && i + 1 < n &&
                                       std::isdigit(static_cast<unsigned char>(text[i + 1])))) {
            size_t k = i;
            while (k < n && (std::isalnum(static_cast<unsigned char>(text[k])) || text[k] == '.'))
                ++k;
            t.kind = SqlToken::Number;
            i = k;
        } else if (IsIdentStart(c)) {
            size_t k = i + 1;
            while (k < n && IsIdentPart(static_cast<unsigned char>(text[k])))
                ++k;
            t.kind = SqlToken::Word;
            i = k;
        } else {
            t.kind = SqlToken::Punct;
            i = i + 1;
        }
        t.raw = std::string(text.substr(start, i - start));
        if (t.kind != SqlToken::QuotedName && t.kind != SqlToken::String)
            t.value = t.raw;
        out.push_back(std::move(t));
    }
    return out;
}

} // namespace orv
