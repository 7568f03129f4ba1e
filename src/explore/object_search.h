// Find Object: a pattern looked for in the names, definition texts and column names of a
// database's objects, over the catalog read once into memory.
//
// A plain pattern is found anywhere in a text line; in a name or a column name it is found
// anywhere too, unless it holds a wildcard (* any run of characters, ? one character), in which
// case it must match the whole name ("usp_*" finds the names that begin with usp_). A regular
// expression (ECMAScript grammar) is searched for in each line and each name.
#pragma once

#include "explore/db_catalog.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

enum SearchScope : unsigned {
    kSearchNames = 1,
    kSearchTexts = 2,
    kSearchColumns = 4,
};

struct SearchRequest {
    std::string Pattern;
    bool Regex = false;
    bool CaseSensitive = false;
    unsigned In = kSearchNames;    // SearchScope bits
    std::vector<ObjectType> Types; // empty: every searchable type
};

enum class MatchWhere { Name, Line, Column };

struct SearchMatch {
    ObjectType Type = kTypeNone;
    std::string Schema;
    std::string Name;
    std::string ListedName; // as the panel's list shows it
    int32_t Id = 0;
    MatchWhere Where = MatchWhere::Name;
    int Line = 0;          // 1-based line of the text (Line and Column matches)
    std::string Column;    // Column matches
    std::string LineText;  // the matching line (for a name: the text's first line)
    size_t MatchStart = 0; // the match within LineText (or within the name)
    size_t MatchLength = 0;

    // "name", "line N", "column C".
    std::string WhereText() const;
    // "schema.name", or the name alone without a schema.
    std::string QualifiedName() const;
};

// A compiled pattern. Compile reports an invalid regular expression (or an empty pattern) in
// `error` and gives null: nothing is to be searched then.
class SearchPattern {
public:
    static std::unique_ptr<SearchPattern> Compile(const std::string& pattern, bool regex,
                                                  bool caseSensitive, std::string& error);
    virtual ~SearchPattern() = default;
    // Anywhere in `line` (no line breaks in it): the first match.
    virtual bool FindIn(std::string_view line, size_t& start, size_t& length) const = 0;
    // A name: the whole name for a wildcard pattern, anywhere for plain text and expressions.
    virtual bool MatchName(std::string_view name, size_t& start, size_t& length) const = 0;
};

struct SearchResult {
    std::vector<SearchMatch> Matches;
    bool Cancelled = false;
    bool Truncated = false; // stopped at the limit
};

// Searches `catalog`; stops at `limit` matches (0: no limit) or when `cancel` is set.
SearchResult SearchCatalog(const DbCatalog& catalog, const SearchRequest& request,
                           const SearchPattern& pattern, const CancelToken* cancel = nullptr,
                           size_t limit = 0);

} // namespace orv
