#include "compare/text_equality.h"

#include "core/settings.h"
#include "util/text.h"

#include <algorithm>
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

bool CompareTextsIgnoringWhitespace(std::string_view a, std::string_view b, bool caseSensitive) {
    // All whitespace at the ends goes, not only blanks: a text and the same text followed by a
    // line break are the same object.
    std::string x = TrimWhitespace(a);
    std::string y = TrimWhitespace(b);
    if (!caseSensitive) {
        x = ToUpperAscii(x);
        y = ToUpperAscii(y);
    }
    if (x == y)
        return true;
    if (x.empty() || y.empty())
        return false;
    return ReplaceNonPrintableChars(x, " ") == ReplaceNonPrintableChars(y, " ");
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
    out += text[i++];
    while (i < text.size()) {
        const char c = text[i++];
        out += c;
        if (c == close) {
            if (i < text.size() && text[i] == close) {
                out += text[i++];
                continue;
            }
            break;
        }
    }
    return i;
}

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
            out += c;
            ++i;
        }
    }
    return out;
}

} // namespace

std::string StripSqlComments(std::string_view text) {
    std::vector<size_t> marks;
    const std::string bare = RemoveComments(text, marks);
    if (marks.empty())
        return bare;

    std::string out;
    out.reserve(bare.size());
    size_t mark = 0;
    size_t pos = 0;
    while (pos < bare.size()) {
        size_t contentEnd = pos;
        while (contentEnd < bare.size() && !IsBreak(bare[contentEnd]))
            ++contentEnd;
        size_t breakEnd = contentEnd;
        if (breakEnd < bare.size()) {
            breakEnd +=
                (bare[breakEnd] == '\r' && breakEnd + 1 < bare.size() && bare[breakEnd + 1] == '\n')
                    ? 2
                    : 1;
        }
        bool hadComment = false;
        while (mark < marks.size() && marks[mark] <= contentEnd) {
            hadComment = hadComment || marks[mark] >= pos;
            ++mark;
        }
        size_t keepEnd = contentEnd;
        if (hadComment) {
            while (keepEnd > pos && IsBlank(bare[keepEnd - 1]))
                --keepEnd;
            if (keepEnd == pos) {
                // Nothing but comments: the line goes, and when it was the last line, the
                // break that led to it goes too.
                if (breakEnd == bare.size() && contentEnd == bare.size()) {
                    if (!out.empty() && out.back() == '\n')
                        out.pop_back();
                    if (!out.empty() && out.back() == '\r')
                        out.pop_back();
                }
                pos = breakEnd;
                continue;
            }
        }
        out.append(bare, pos, keepEnd - pos);
        out.append(bare, contentEnd, breakEnd - contentEnd);
        pos = breakEnd;
    }
    // A comment on the empty last line: that line goes with the break that led to it.
    if (mark < marks.size() && !out.empty() && IsBreak(out.back())) {
        if (out.back() == '\n')
            out.pop_back();
        if (!out.empty() && out.back() == '\r')
            out.pop_back();
    }
    return out;
}

} // namespace orv
