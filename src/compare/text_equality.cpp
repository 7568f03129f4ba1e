#include "compare/text_equality.h"

#include "core/settings.h"
#include "util/text.h"

#include <algorithm>
#include <array>
#include <vector>

namespace orv {

std::string ReplaceNonPrintableChars(std::string_view text, std::string_view replacement) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool special = c == '\r' || c == '\n' || c == '\t' || c == '\v' || c == '\0';
        const std::string_view produced = special ? replacement : std::string_view(&c, 1);
        // A blank just produced goes again when a blank precedes it, so runs shrink to one.
        if (produced == " " && i > 0 && !out.empty() && out.back() == ' ')
            continue;
        out += produced;
    }
    return out;
}

namespace {

bool IsEdgeWhite(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool IsNonPrintable(char c) {
    return c == '\r' || c == '\n' || c == '\t' || c == '\v' || c == '\0';
}
char UpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

// Hands out the characters of ReplaceNonPrintableChars(trimmed, " ") one at a time, upper-cased
// when asked, so two large texts compare without building their normalised copies.
class NormalisedReader {
public:
    NormalisedReader(std::string_view text, bool upper) : upper_(upper) {
        size_t b = 0, e = text.size();
        while (b < e && IsEdgeWhite(text[b]))
            ++b;
        while (e > b && IsEdgeWhite(text[e - 1]))
            --e;
        text_ = text.substr(b, e - b);
    }
    // The next character, or false at the end.
    bool Next(char& c) {
        while (pos_ < text_.size()) {
            const size_t i = pos_++;
            const char raw = text_[i];
            const char produced = IsNonPrintable(raw) ? ' ' : raw;
            if (produced == ' ' && i > 0 && lastWasBlank_)
                continue;
            lastWasBlank_ = produced == ' ';
            c = upper_ ? UpperAscii(produced) : produced;
            return true;
        }
        return false;
    }

private:
    std::string_view text_;
    bool upper_;
    size_t pos_ = 0;
    bool lastWasBlank_ = false;
};

} // namespace

bool CompareTextsIgnoringWhitespace(std::string_view a, std::string_view b, bool caseSensitive) {
    // All whitespace at the ends goes, not only blanks: a text and the same text followed by a
    // line break are the same object. Equal trimmed texts normalise alike, and only an empty
    // text normalises to nothing, so comparing the normalised forms decides every case.
    NormalisedReader x(a, !caseSensitive), y(b, !caseSensitive);
    char cx = 0, cy = 0;
    for (;;) {
        const bool hasX = x.Next(cx);
        const bool hasY = y.Next(cy);
        if (hasX != hasY)
            return false;
        if (!hasX)
            return true;
        if (cx != cy)
            return false;
    }
}

bool CompareTextsIgnoringWhitespace(std::string_view a, std::string_view b) {
    return CompareTextsIgnoringWhitespace(a, b, Settings().CaseSensitive);
}

namespace {

bool IsBreak(char c) {
    return c == '\r' || c == '\n';
}
bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Copies a quoted stretch that starts at text[i] (the opening character) and ends with
// `close`, a doubled closing character standing for itself. Returns the index after it.
size_t CopyQuoted(std::string_view text, size_t i, char close, std::string& out) {
    size_t j = i + 1;
    for (;;) {
        j = text.find(close, j);
        if (j == std::string_view::npos) {
            j = text.size();
            break;
        }
        ++j;
        if (j < text.size() && text[j] == close) {
            ++j;
            continue;
        }
        break;
    }
    out.append(text.data() + i, j - i);
    return j;
}

// The characters that can open a literal, a quoted name or a comment.
constexpr auto kOpens = [] {
    std::array<bool, 256> t{};
    for (unsigned char c : {'\'', '"', '[', '-', '/'})
        t[c] = true;
    return t;
}();

// Removes the comments and notes where in the output each one was.
std::string RemoveComments(std::string_view text, std::vector<size_t>& marks) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (c == '\'') {
            i = CopyQuoted(text, i, '\'', out);
        } else if (c == '"') {
            i = CopyQuoted(text, i, '"', out);
        } else if (c == '[') {
            i = CopyQuoted(text, i, ']', out);
        } else if (c == '-' && next == '-') {
            while (i < text.size() && !IsBreak(text[i]))
                ++i;
            marks.push_back(out.size());
        } else if (c == '/' && next == '*') {
            int depth = 1;
            i += 2;
            while (i < text.size() && depth > 0) {
                if (text[i] == '/' && i + 1 < text.size() && text[i + 1] == '*') {
                    ++depth;
                    i += 2;
                } else if (text[i] == '*' && i + 1 < text.size() && text[i + 1] == '/') {
                    --depth;
                    i += 2;
                } else {
                    ++i;
                }
            }
            marks.push_back(out.size());
        } else {
            // Plain text up to the next character that could open something.
            size_t j = i + 1;
            while (j < text.size() && !kOpens[static_cast<unsigned char>(text[j])])
                ++j;
            out.append(text.data() + i, j - i);
            i = j;
        }
    }
    return out;
}

} // namespace

bool MayHoldSqlComments(std::string_view text) {
    return text.find("--") != std::string_view::npos || text.find("/*") != std::string_view::npos;
}

std::string StripSqlComments(std::string_view text) {
    std::vector<size_t> marks;
    const std::string bare = RemoveComments(text, marks);
    if (marks.empty())
        return bare;

    // Only the lines that held a comment need a second look; the rest is copied in bulk.
    std::string out;
    out.reserve(bare.size());
    const size_t n = bare.size();
    size_t copied = 0;
    size_t m = 0;
    while (m < marks.size()) {
        size_t start = marks[m];
        while (start > copied && !IsBreak(bare[start - 1]))
            --start;
        size_t contentEnd = marks[m];
        while (contentEnd < n && !IsBreak(bare[contentEnd]))
            ++contentEnd;
        size_t breakEnd = contentEnd;
        if (breakEnd < n)
            breakEnd +=
                (bare[breakEnd] == '\r' && breakEnd + 1 < n && bare[breakEnd + 1] == '\n') ? 2 : 1;
        while (m < marks.size() && marks[m] <= contentEnd)
            ++m;

        out.append(bare, copied, start - copied);
        size_t keepEnd = contentEnd;
        while (keepEnd > start && IsBlank(bare[keepEnd - 1]))
            --keepEnd;
        if (keepEnd > start) {
            out.append(bare, start, keepEnd - start);
            out.append(bare, contentEnd, breakEnd - contentEnd);
        } else if (contentEnd == n) {
            // Nothing but comments on the last line: the break that led to it goes too.
            if (!out.empty() && out.back() == '\n')
                out.pop_back();
            if (!out.empty() && out.back() == '\r')
                out.pop_back();
        }
        copied = breakEnd;
    }
    out.append(bare, copied, std::string::npos);
    return out;
}

} // namespace orv
