#include "catalog/sql_quote.h"

#include "util/text.h"

namespace orv {
namespace {

// Length of the bracketed part starting at `pos` (which holds "["), or 0 when it is not closed.
size_t QuotedPartLength(std::string_view text, size_t pos) {
    size_t i = pos + 1;
    while (i < text.size()) {
        if (text[i] == ']') {
            if (i + 1 < text.size() && text[i + 1] == ']') {
                i += 2;
                continue;
            }
            return i + 1 - pos;
        }
        ++i;
    }
    return 0;
}

} // namespace

std::string SqlLiteral(std::string_view name) {
    return ReplaceAll(name, "'", "''");
}

std::string BracketName(std::string_view name) {
    std::string out;
    if (name.empty() || name.front() != '[')
        out += '[';
    out += name;
    if (name.empty() || name.back() != ']')
        out += ']';
    return out;
}

std::string QuoteIdentifierPart(std::string_view name) {
    if (!name.empty() && name.front() == '[' && QuotedPartLength(name, 0) == name.size())
        return std::string(name);
    return QuoteCatalogName(name);
}

std::string QuoteCatalogName(std::string_view name) {
    return "[" + ReplaceAll(name, "]", "]]") + "]";
}

bool IsQuotedIdentifierChain(std::string_view text) {
    size_t pos = 0;
    while (true) {
        if (pos >= text.size() || text[pos] != '[')
            return false;
        const size_t len = QuotedPartLength(text, pos);
        if (len == 0)
            return false;
        pos += len;
        if (pos == text.size())
            return true;
        if (text[pos] != '.')
            return false;
        ++pos;
    }
}

std::string SafeIdentifier(std::string_view name) {
    if (IsQuotedIdentifierChain(name))
        return std::string(name);
    return QuoteIdentifierPart(name);
}

} // namespace orv
