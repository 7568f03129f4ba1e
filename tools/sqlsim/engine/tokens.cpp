#include "engine/tokens.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace sqlsim {

std::string upper(std::string_view s) {
    std::string r(s);
    for (auto& c : r)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return r;
}

std::string lower(std::string_view s) {
    std::string r(s);
    for (auto& c : r)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return r;
}

bool iequals(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

bool Token::is(std::string_view word) const {
    return kind == Kind::Word && iequals(text, word);
}

bool isReservedWord(std::string_view w) {
    // The reserved words that matter for error 156 and for telling an alias from a clause.
    static const std::set<std::string, std::less<>> words = {
        "ADD",        "ALL",      "ALTER",        "AND",         "ANY",         "AS",
        "ASC",        "BEGIN",    "BETWEEN",      "BY",          "CASE",        "CHECK",
        "CLUSTERED",  "COLLATE",  "COLUMN",       "COMMIT",      "CONSTRAINT",  "CREATE",
        "CROSS",      "DATABASE", "DECLARE",      "DEFAULT",     "DELETE",      "DESC",
        "DISTINCT",   "DROP",     "ELSE",         "END",         "EXCEPT",      "EXEC",
        "EXECUTE",    "EXISTS",   "FOR",          "FOREIGN",     "FROM",        "FULL",
        "FUNCTION",   "GO",       "GOTO",         "GRANT",       "GROUP",       "HAVING",
        "IDENTITY",   "IF",       "IN",           "INDEX",       "INNER",       "INSERT",
        "INTERSECT",  "INTO",     "IS",           "JOIN",        "KEY",         "LEFT",
        "LIKE",       "NOT",      "NULL",         "OF",          "ON",          "OR",
        "ORDER",      "OUTER",    "PRIMARY",      "PRINT",       "PROC",        "PROCEDURE",
        "REFERENCES", "RETURN",   "RIGHT",        "ROLLBACK",    "SCHEMA",      "SELECT",
        "SET",        "TABLE",    "THEN",         "TO",          "TOP",         "TRIGGER",
        "UNION",      "UNIQUE",   "UPDATE",       "USE",         "VALUES",      "VIEW",
        "WAITFOR",    "WHEN",     "WHERE",        "WHILE",       "WITH",        "NONCLUSTERED",
        "TRUNCATE",   "USER",     "CURRENT_USER", "SYSTEM_USER", "SESSION_USER"};
    return words.count(w) > 0;
}

namespace {
bool identStart(unsigned char c) {
    return std::isalpha(c) || c == '_' || c == '#' || c >= 0x80;
}
bool identPart(unsigned char c) {
    return std::isalnum(c) || c == '_' || c == '#' || c == '$' || c == '@' || c >= 0x80;
}
} // namespace

std::vector<Token> tokenize(std::string_view s, std::string& error) {
    std::vector<Token> out;
    size_t i = 0;
    int line = 1;
    auto advanceLines = [&](size_t from, size_t to) {
        for (size_t k = from; k < to; ++k)
            if (s[k] == '\n')
                ++line;
    };
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (std::isspace(c)) {
            if (c == '\n')
                ++line;
            ++i;
            continue;
        }
        if (c == '-' && i + 1 < s.size() && s[i + 1] == '-') {
            while (i < s.size() && s[i] != '\n')
                ++i;
            continue;
        }
        if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
            // Block comments nest in T-SQL.
            size_t j = i + 2;
            int depth = 1;
            while (j < s.size() && depth > 0) {
                if (s[j] == '/' && j + 1 < s.size() && s[j + 1] == '*') {
                    ++depth;
                    j += 2;
                } else if (s[j] == '*' && j + 1 < s.size() && s[j + 1] == '/') {
                    --depth;
                    j += 2;
                } else {
                    ++j;
                }
            }
            if (depth > 0) {
                error = "Missing end comment mark '*/'.";
                return {};
            }
            advanceLines(i, j);
            i = j;
            continue;
        }
        Token t;
        t.begin = i;
        t.line = line;
        if ((c == 'N' || c == 'n') && i + 1 < s.size() && s[i + 1] == '\'') {
            t.kind = Token::Kind::NString;
            ++i;
            c = '\'';
        }
        if (c == '\'') {
            if (t.kind != Token::Kind::NString)
                t.kind = Token::Kind::String;
            size_t j = i + 1;
            std::string v;
            bool closed = false;
            while (j < s.size()) {
                if (s[j] == '\'') {
                    if (j + 1 < s.size() && s[j + 1] == '\'') {
                        v += '\'';
                        j += 2;
                        continue;
                    }
                    closed = true;
                    ++j;
                    break;
                }
                v += s[j++];
            }
            if (!closed) {
                error = "Unclosed quotation mark after the character string '" + v + "'.";
                return {};
            }
            advanceLines(i, j);
            t.value = std::move(v);
            t.end = j;
            t.text = std::string(s.substr(t.begin, j - t.begin));
            i = j;
            out.push_back(std::move(t));
            continue;
        }
        if (c == '[' || c == '"') {
            char close = c == '[' ? ']' : '"';
            size_t j = i + 1;
            std::string v;
            bool closed = false;
            while (j < s.size()) {
                if (s[j] == close) {
                    if (j + 1 < s.size() && s[j + 1] == close) {
                        v += close;
                        j += 2;
                        continue;
                    }
                    closed = true;
                    ++j;
                    break;
                }
                v += s[j++];
            }
            if (!closed) {
                error = "Unclosed quotation mark after the character string '" + v + "'.";
                return {};
            }
            advanceLines(i, j);
            t.kind = Token::Kind::Quoted;
            t.value = std::move(v);
            t.end = j;
            t.text = std::string(s.substr(t.begin, j - t.begin));
            i = j;
            out.push_back(std::move(t));
            continue;
        }
        if (c == '0' && i + 1 < s.size() && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
            size_t j = i + 2;
            while (j < s.size() && std::isxdigit(static_cast<unsigned char>(s[j])))
                ++j;
            t.kind = Token::Kind::Binary;
            t.value = std::string(s.substr(i + 2, j - i - 2));
            t.text = std::string(s.substr(i, j - i));
            t.end = j;
            i = j;
            out.push_back(std::move(t));
            continue;
        }
        if (std::isdigit(c) ||
            (c == '.' && i + 1 < s.size() && std::isdigit(static_cast<unsigned char>(s[i + 1])))) {
            size_t j = i;
            while (j < s.size() && (std::isdigit(static_cast<unsigned char>(s[j])) || s[j] == '.'))
                ++j;
            if (j < s.size() && (s[j] == 'e' || s[j] == 'E')) {
                size_t k = j + 1;
                if (k < s.size() && (s[k] == '+' || s[k] == '-'))
                    ++k;
                if (k < s.size() && std::isdigit(static_cast<unsigned char>(s[k]))) {
                    j = k;
                    while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j])))
                        ++j;
                }
            }
            t.kind = Token::Kind::Number;
            t.text = t.value = std::string(s.substr(i, j - i));
            t.end = j;
            i = j;
            out.push_back(std::move(t));
            continue;
        }
        if (c == '$') {
            // A money constant: the currency sign, optional blanks, then the number.
            size_t j = i + 1;
            while (j < s.size() && s[j] == ' ')
                ++j;
            size_t digits = j;
            while (j < s.size() && (std::isdigit(static_cast<unsigned char>(s[j])) || s[j] == '.'))
                ++j;
            if (j > digits && s.substr(digits, j - digits) != ".") {
                t.kind = Token::Kind::Number;
                t.text = std::string(s.substr(i, j - i));
                t.value = std::string(s.substr(digits, j - digits));
                t.end = j;
                i = j;
                out.push_back(std::move(t));
                continue;
            }
        }
        if (c == '@') {
            size_t j = i + 1;
            if (j < s.size() && s[j] == '@')
                ++j;
            while (j < s.size() && identPart(static_cast<unsigned char>(s[j])))
                ++j;
            t.kind = Token::Kind::Variable;
            t.text = std::string(s.substr(i, j - i));
            t.value = upper(t.text);
            t.end = j;
            i = j;
            out.push_back(std::move(t));
            continue;
        }
        if (identStart(c)) {
            size_t j = i + 1;
            while (j < s.size() && identPart(static_cast<unsigned char>(s[j])))
                ++j;
            t.kind = Token::Kind::Word;
            t.text = std::string(s.substr(i, j - i));
            t.value = upper(t.text);
            t.end = j;
            i = j;
            out.push_back(std::move(t));
            continue;
        }
        static const char* twoChar[] = {"<>", "!=", ">=", "<=", "!<", "!>",
                                        "||", "+=", "-=", "*=", "/="};
        t.kind = Token::Kind::Op;
        size_t len = 1;
        for (const char* op : twoChar)
            if (s.substr(i, 2) == op) {
                len = 2;
                break;
            }
        t.text = t.value = std::string(s.substr(i, len));
        t.end = i + len;
        i += len;
        out.push_back(std::move(t));
    }
    Token end;
    end.kind = Token::Kind::End;
    end.begin = end.end = s.size();
    end.line = line;
    out.push_back(end);
    return out;
}

} // namespace sqlsim
