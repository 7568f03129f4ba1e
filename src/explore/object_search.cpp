#include "explore/object_search.h"

#include "explore/regex_literals.h"
#include "util/text.h"

#include <cctype>
#include <cstring>
#include <regex>

namespace orv {

namespace {

inline char Fold(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

// Plain text with * and ? wildcards.
class WildcardPattern final : public SearchPattern {
public:
    WildcardPattern(const std::string& pattern, bool caseSensitive)
        : cs_(caseSensitive), whole_(pattern) {
        wild_ = pattern.find_first_of("*?") != std::string::npos;
        // Anywhere in a line, leading and trailing stars change nothing.
        const size_t b = pattern.find_first_not_of('*');
        const size_t e = pattern.find_last_not_of('*');
        inner_ = b == std::string::npos ? std::string() : pattern.substr(b, e - b + 1);
        innerWild_ = inner_.find_first_of("*?") != std::string::npos;
        if (!cs_) {
            for (char& c : inner_)
                c = Fold(c);
            for (char& c : whole_)
                c = Fold(c);
        }
    }

    bool FindIn(std::string_view line, size_t& start, size_t& length) const override {
        if (inner_.empty()) {
            start = 0;
            length = line.size();
            return true;
        }
        if (!innerWild_)
            return FindPlain(line, start, length);
        // Only where the pattern's first character can start a match.
        const bool literalStart = inner_[0] != '?' && inner_[0] != '*';
        for (size_t s = 0; s < line.size(); ++s) {
            if (literalStart && !Eq(inner_[0], line[s]))
                continue;
            const size_t end = MatchFrom(line, s, inner_);
            if (end != std::string_view::npos) {
                start = s;
                length = end - s;
                return true;
            }
        }
        return false;
    }

    bool MatchName(std::string_view name, size_t& start, size_t& length) const override {
        if (!wild_)
            return FindIn(name, start, length);
        if (!MatchWhole(name, whole_))
            return false;
        start = 0;
        length = name.size();
        return true;
    }

private:
    bool Eq(char p, char t) const { return cs_ ? p == t : p == Fold(t); }

    bool FindPlain(std::string_view line, size_t& start, size_t& length) const {
        const size_t n = inner_.size();
        if (line.size() < n)
            return false;
        if (cs_) {
            const size_t at = line.find(inner_);
            if (at == std::string_view::npos)
                return false;
            start = at;
            length = n;
            return true;
        }
        const char first = inner_[0];
        const char firstLower = static_cast<char>(std::tolower(static_cast<unsigned char>(first)));
        const char* data = line.data();
        const size_t last = line.size() - n;
        for (size_t i = 0; i <= last; ++i) {
            const char c = data[i];
            if (c != first && c != firstLower)
                continue;
            size_t k = 1;
            while (k < n && Fold(data[i + k]) == inner_[k])
                ++k;
            if (k == n) {
                start = i;
                length = n;
                return true;
            }
        }
        return false;
    }

    // The end of the shortest match of `p` starting at `s`, or npos.
    size_t MatchFrom(std::string_view t, size_t s, std::string_view p) const {
        size_t ti = s, pi = 0, starP = std::string_view::npos, starT = 0;
        while (true) {
            if (pi == p.size())
                return ti;
            if (p[pi] == '*') {
                starP = pi++;
                starT = ti;
                continue;
            }
            if (ti < t.size() && (p[pi] == '?' || Eq(p[pi], t[ti]))) {
                ++ti;
                ++pi;
                continue;
            }
            if (starP != std::string_view::npos && starT < t.size()) {
                pi = starP + 1;
                ti = ++starT;
                continue;
            }
            return std::string_view::npos;
        }
    }

    bool MatchWhole(std::string_view t, std::string_view p) const {
        size_t ti = 0, pi = 0, starP = std::string_view::npos, starT = 0;
        while (ti < t.size()) {
            if (pi < p.size() && p[pi] == '*') {
                starP = pi++;
                starT = ti;
            } else if (pi < p.size() && (p[pi] == '?' || Eq(p[pi], t[ti]))) {
                ++ti;
                ++pi;
            } else if (starP != std::string_view::npos) {
                pi = starP + 1;
                ti = ++starT;
            } else {
                return false;
            }
        }
        while (pi < p.size() && p[pi] == '*')
            ++pi;
        return pi == p.size();
    }

    bool cs_;
    bool wild_ = false;
    bool innerWild_ = false;
    std::string whole_;
    std::string inner_;
};

class RegexPattern final : public SearchPattern {
public:
    RegexPattern(std::regex re, const std::string& pattern, bool caseSensitive)
        : re_(std::move(re)), cs_(caseSensitive), required_(RequiredLiterals(pattern)) {
        if (!cs_)
            for (std::string& r : required_)
                for (char& c : r)
                    c = Fold(c);
    }
    bool FindIn(std::string_view line, size_t& start, size_t& length) const override {
        for (const std::string& r : required_)
            if (!ContainsLiteral(line, r, cs_))
                return false;
        std::cmatch m;
        if (!std::regex_search(line.data(), line.data() + line.size(), m, re_))
            return false;
        start = static_cast<size_t>(m.position(0));
        length = static_cast<size_t>(m.length(0));
        return true;
    }
    bool MatchName(std::string_view name, size_t& start, size_t& length) const override {
        return FindIn(name, start, length);
    }

private:
    std::regex re_;
    bool cs_;
    // Runs every match holds (upper case when case does not count): a line without one of
    // them is passed over without running the expression.
    std::vector<std::string> required_;
};

// The 1-based number and the text of the line holding `offset`.
struct LineScan {
    std::string_view text;
    size_t pos = 0;
    int number = 0;
    // The next line without its CR LF; false at the end.
    bool Next(std::string_view& line) {
        if (pos > text.size() || (pos == text.size() && number > 0))
            return false;
        const void* nl = std::memchr(text.data() + pos, '\n', text.size() - pos);
        const size_t end =
            nl ? static_cast<size_t>(static_cast<const char*>(nl) - text.data()) : text.size();
        size_t stop = end;
        if (stop > pos && text[stop - 1] == '\r')
            --stop;
        line = text.substr(pos, stop - pos);
        pos = end + 1;
        ++number;
        return true;
    }
};

std::string_view FirstLine(std::string_view text) {
    LineScan scan{text};
    std::string_view line;
    while (scan.Next(line))
        if (line.find_first_not_of(" \t") != std::string_view::npos)
            return line;
    return {};
}

// The line of a table's script that declares the column: the first that begins with its
// name, bracketed or bare.
int ColumnLine(std::string_view text, const std::string& column, std::string_view& found) {
    const std::string bracketed = ToUpperAscii("[" + column + "]");
    const std::string bare = ToUpperAscii(column);
    LineScan scan{text};
    std::string_view line;
    while (scan.Next(line)) {
        const std::string upper = ToUpperAscii(std::string(line));
        const size_t b = upper.find_first_not_of(" \t");
        if (b == std::string::npos)
            continue;
        if (upper.compare(b, bracketed.size(), bracketed) == 0 ||
            (upper.compare(b, bare.size(), bare) == 0 &&
             (b + bare.size() == upper.size() || upper[b + bare.size()] == ' '))) {
            found = line;
            return scan.number;
        }
    }
    found = {};
    return 0;
}

} // namespace

std::string SearchMatch::WhereText() const {
    switch (Where) {
    case MatchWhere::Name:
        return "name";
    case MatchWhere::Line:
        return "line " + std::to_string(Line);
    case MatchWhere::Column:
        return "column " + Column;
    }
    return {};
}

std::string SearchMatch::QualifiedName() const {
    return Schema.empty() ? Name : Schema + "." + Name;
}

std::unique_ptr<SearchPattern> SearchPattern::Compile(const std::string& pattern, bool regex,
                                                      bool caseSensitive, std::string& error) {
    error.clear();
    if (pattern.empty()) {
        error = "Please enter the text to find.";
        return nullptr;
    }
    if (!regex)
        return std::make_unique<WildcardPattern>(pattern, caseSensitive);
    try {
        auto flags = std::regex::ECMAScript | std::regex::optimize;
        if (!caseSensitive)
            flags |= std::regex::icase;
        return std::make_unique<RegexPattern>(std::regex(pattern, flags), pattern, caseSensitive);
    } catch (const std::regex_error& e) {
        error = "The regular expression is not valid: " + std::string(e.what());
        return nullptr;
    }
}

SearchResult SearchCatalog(const DbCatalog& catalog, const SearchRequest& request,
                           const SearchPattern& pattern, const CancelToken* cancel, size_t limit) {
    SearchResult result;
    const std::vector<ObjectType>& types =
        request.Types.empty() ? SearchableTypes() : request.Types;
    auto full = [&] {
        if (limit > 0 && result.Matches.size() >= limit) {
            result.Truncated = true;
            return true;
        }
        return false;
    };
    size_t visited = 0;
    for (ObjectType type : types) {
        const CatalogTypeRead* read = catalog.Find(type);
        if (!read)
            continue;
        size_t columnField = read->ColumnFields.size();
        for (size_t i = 0; i < read->ColumnFields.size(); ++i)
            if (EqualsNoCase(read->ColumnFields[i].name, "column"))
                columnField = i;
        for (const CatalogObject& o : read->Objects) {
            if (cancel && (++visited & 255) == 0 && cancel->cancelRequested()) {
                result.Cancelled = true;
                return result;
            }
            auto match = [&](MatchWhere where) {
                SearchMatch m;
                m.Type = type;
                m.Schema = o.Ref.Schema;
                m.Name = o.Ref.Name;
                m.ListedName = o.ListedName;
                m.Id = o.Ref.Id;
                m.Where = where;
                return m;
            };
            size_t start = 0, length = 0;
            if ((request.In & kSearchNames) && pattern.MatchName(o.Ref.Name, start, length)) {
                SearchMatch m = match(MatchWhere::Name);
                m.Line = 1;
                m.LineText = std::string(FirstLine(o.Text));
                m.MatchStart = start;
                m.MatchLength = length;
                result.Matches.push_back(std::move(m));
                if (full())
                    return result;
            }
            if ((request.In & kSearchTexts) && o.Readable) {
                LineScan scan{o.Text};
                std::string_view line;
                while (scan.Next(line)) {
                    if (!pattern.FindIn(line, start, length))
                        continue;
                    SearchMatch m = match(MatchWhere::Line);
                    m.Line = scan.number;
                    m.LineText = std::string(line);
                    m.MatchStart = start;
                    m.MatchLength = length;
                    result.Matches.push_back(std::move(m));
                    if (full())
                        return result;
                }
            }
            if ((request.In & kSearchColumns) && columnField < read->ColumnFields.size()) {
                for (const Row& row : o.ColumnRows) {
                    if (columnField >= row.size())
                        continue;
                    const std::string column = row[columnField].Text();
                    if (!pattern.MatchName(column, start, length))
                        continue;
                    SearchMatch m = match(MatchWhere::Column);
                    m.Column = column;
                    std::string_view line;
                    m.Line = ColumnLine(o.Text, column, line);
                    m.LineText = std::string(line);
                    const size_t at = m.LineText.find(column);
                    m.MatchStart = at == std::string::npos ? 0 : at;
                    m.MatchLength = at == std::string::npos ? 0 : column.size();
                    result.Matches.push_back(std::move(m));
                    if (full())
                        return result;
                }
            }
        }
    }
    return result;
}

} // namespace orv
