// The name patterns and the walk through differences that the results window relies on.
#include "dbcompare/db_compare_filter.h"

#include <gtest/gtest.h>

#include <chrono>

namespace orv {
namespace {

TEST(DbCompareFilter, WildcardPatterns) {
    struct Case {
        const char* pattern;
        const char* text;
        bool match;
    };
    const Case cases[] = {
        {"", "", true},
        {"", "a", false},
        {"*", "", true},
        {"*", "anything", true},
        {"?", "", false},
        {"?", "x", true},
        {"usp_*", "USP_Orders", true},
        {"usp_*", "xusp_Orders", false},
        {"*order?", "GetOrders", true},
        {"*order?", "GetOrder", false},
        {"a*b*c", "aXXbYYc", true},
        {"a*b*c", "aXXcYYb", false},
        {"*.*", "dbo.T", true},
        {"*.*", "T", false},
        {"[x]", "[x]", true},
        {"a**b", "ab", true},
        {"%", "%", true},
        {"*ß", "Straß", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WildcardMatch(c.pattern, c.text), c.match)
            << "'" << c.pattern << "' on '" << c.text << "'";
}

TEST(DbCompareFilter, ManyStarsOnALongNameStayQuick) {
    const std::string name(128, 'a');
    const std::string pattern = "*a*a*a*a*a*a*a*a*a*a*b";
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 1000; ++i)
        EXPECT_FALSE(WildcardMatch(pattern, name));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST(DbCompareFilter, NextDifferenceWalksTheShownRowsOnly) {
    DbCompareResults r;
    const PairStatus statuses[] = {PairStatus::Identical, PairStatus::Different,
                                   PairStatus::Identical, PairStatus::OnlyInTarget,
                                   PairStatus::NotComparable};
    for (PairStatus s : statuses) {
        PairVerdict p;
        p.Status = s;
        r.Pairs.push_back(p);
    }
    const std::vector<int> all = {0, 1, 2, 3, 4};
    const std::vector<int> some = {0, 2, 4}; // a filter hid 1 and 3
    struct Case {
        const std::vector<int>* shown;
        int from;
        bool forward;
        int expected;
    };
    const Case cases[] = {
        {&all, -1, true, 1},  {&all, 1, true, 3},   {&all, 4, true, -1},  {&all, 5, false, 4},
        {&all, 3, false, 1},  {&all, 1, false, -1}, {&some, -1, true, 2}, {&some, 2, false, -1},
        {&all, 99, false, 4}, {&all, -9, true, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NextDifference(r, *c.shown, c.from, c.forward), c.expected)
            << "from " << c.from << (c.forward ? " forward" : " back");
    // Indexes outside the results are passed over, not read.
    EXPECT_EQ(NextDifference(r, {7, -1, 3}, -1, true), 2);
}

} // namespace
} // namespace orv
