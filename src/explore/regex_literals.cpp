#include "explore/regex_literals.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace orv {

namespace {

// Escapes that stand for one literal character when followed by punctuation; a letter or digit
// after the backslash is a class, an anchor, a back reference or a control escape.
bool IsLiteralEscape(char c) {
    return !std::isalnum(static_cast<unsigned char>(c));
}

} // namespace

std::vector<std::string> RequiredLiterals(std::string_view p) {
    std::vector<std::string> runs;
    std::string run;
    // Length of `run` before its last character was added (npos when that was not a literal),
    // so a quantifier can take back the atom it makes optional.
    size_t beforeLast = std::string::npos;
    int depth = 0;
    auto finish = [&] {
        if (!run.empty())
            runs.push_back(run);
        run.clear();
        beforeLast = std::string::npos;
    };
    for (size_t i = 0; i < p.size(); ++i) {
        const char c = p[i];
        if (c == '\\') {
            if (i + 1 >= p.size())
                return {};
            const char n = p[++i];
            if (depth == 0 && IsLiteralEscape(n)) {
                beforeLast = run.size();
                run += n;
            } else {
                finish();
            }
            continue;
        }
        if (c == '[') {
            // A class is one atom whatever it holds; "[]" and "[^]" are read differently by
            // different grammars, so such a pattern is left alone.
            finish();
            size_t j = i + 1;
            if (j < p.size() && p[j] == '^')
                ++j;
            if (j < p.size() && p[j] == ']')
                return {};
            while (j < p.size() && p[j] != ']') {
                if (p[j] == '\\')
                    ++j;
                ++j;
            }
            if (j >= p.size())
                return {};
            i = j;
            continue;
        }
        switch (c) {
        case '|':
            if (depth == 0)
                return {};
            break;
        case '(':
            finish();
            ++depth;
            break;
        case ')':
            finish();
            if (--depth < 0)
                return {};
            break;
        case '*':
        case '+':
        case '?':
        case '{':
            // The atom before a quantifier may be absent or repeated: it ends the run, and
            // unless it must appear at least once (+) it leaves the run too.
            if (depth == 0 && beforeLast != std::string::npos && c != '+')
                run.resize(beforeLast);
            finish();
            if (c == '{') {
                const size_t close = p.find('}', i);
                if (close == std::string_view::npos)
                    return {};
                i = close;
            }
            break;
        case '.':
        case '^':
        case '$':
            finish();
            break;
        default:
            if (depth == 0) {
                beforeLast = run.size();
                run += c;
            }
            break;
        }
    }
    if (depth != 0)
        return {};
    finish();
    for (const std::string& r : runs)
        for (const char ch : r)
            if (static_cast<unsigned char>(ch) > 127)
                return {};
    std::stable_sort(runs.begin(), runs.end(), [](const std::string& a, const std::string& b) {
        return a.size() > b.size();
    });
    return runs;
}

bool ContainsLiteral(std::string_view line, std::string_view folded, bool caseSensitive) {
    const size_t n = folded.size();
    if (n == 0)
        return true;
    if (line.size() < n)
        return false;
    if (caseSensitive)
        return line.find(folded) != std::string_view::npos;
    const char first = folded[0];
    const char firstLower = static_cast<char>(std::tolower(static_cast<unsigned char>(first)));
    const char* data = line.data();
    const size_t last = line.size() - n;
    for (size_t i = 0; i <= last; ++i) {
        const char c = data[i];
        if (c != first && c != firstLower)
            continue;
        size_t k = 1;
        while (k < n && std::toupper(static_cast<unsigned char>(data[i + k])) ==
                            static_cast<unsigned char>(folded[k]))
            ++k;
        if (k == n)
            return true;
    }
    return false;
}

} // namespace orv
