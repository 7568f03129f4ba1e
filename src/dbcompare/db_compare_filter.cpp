#include "dbcompare/db_compare_filter.h"

#include <algorithm>
#include <cctype>

namespace orv {

namespace {

char Fold(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool StatusPasses(StatusFilter filter, PairStatus status) {
    switch (filter) {
    case StatusFilter::All:
        return true;
    case StatusFilter::Identical:
        return status == PairStatus::Identical;
    case StatusFilter::Different:
        return status == PairStatus::Different;
    case StatusFilter::OnlyInSource:
        return status == PairStatus::OnlyInSource;
    case StatusFilter::OnlyInTarget:
        return status == PairStatus::OnlyInTarget;
    case StatusFilter::NotComparable:
        return status == PairStatus::NotComparable;
    case StatusFilter::AnyDifference:
        return IsDifference(status);
    }
    return false;
}

} // namespace

bool WildcardMatch(const std::string& pattern, const std::string& text) {
    // Iterative matching with one remembered star: linear in practice, and no recursion that a
    // pattern of many stars could drive deep.
    size_t p = 0, t = 0;
    size_t starP = std::string::npos, starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starT = t;
        } else if (p < pattern.size() && (pattern[p] == '?' || Fold(pattern[p]) == Fold(text[t]))) {
            ++p;
            ++t;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

bool IsDifference(PairStatus status) {
    return status != PairStatus::Identical;
}

bool PairMatches(const PairFilter& filter, const PairVerdict& pair) {
    if (!StatusPasses(filter.Status, pair.Status))
        return false;
    if (filter.Type != kTypeNone && pair.Type != filter.Type)
        return false;
    if (filter.NamePattern.empty())
        return true;
    std::string pattern = filter.NamePattern;
    if (pattern.find_first_of("*?") == std::string::npos)
        pattern = "*" + pattern + "*";
    const ObjectRef& ref = pair.HasSource ? pair.Source : pair.Target;
    return WildcardMatch(pattern, ref.Name) ||
           (!ref.Schema.empty() && WildcardMatch(pattern, ref.Schema + "." + ref.Name));
}

std::vector<int> FilterPairs(const DbCompareResults& results, const PairFilter& filter) {
    std::vector<int> shown;
    shown.reserve(results.Pairs.size());
    for (size_t i = 0; i < results.Pairs.size(); ++i)
        if (PairMatches(filter, results.Pairs[i]))
            shown.push_back(static_cast<int>(i));
    return shown;
}

int NextDifference(const DbCompareResults& results, const std::vector<int>& shown, int from,
                   bool forward) {
    const int n = static_cast<int>(shown.size());
    from = std::clamp(from, -1, n);
    for (int k = forward ? from + 1 : from - 1; k >= 0 && k < n; k += forward ? 1 : -1) {
        const int pair = shown[static_cast<size_t>(k)];
        if (pair >= 0 && static_cast<size_t>(pair) < results.Pairs.size() &&
            IsDifference(results.Pairs[static_cast<size_t>(pair)].Status))
            return k;
    }
    return -1;
}

} // namespace orv
