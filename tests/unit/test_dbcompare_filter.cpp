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

#include "dbcompare/compare_all_command.h"
#include "dbcompare/compare_data_command.h"
#include "dbcompare/object_filter.h"

namespace orv {
namespace {

TEST(ObjectFilter, ExcludeWinsAndAPatternWithoutSchemaMatchesEverySchema) {
    ObjectFilter f;
    EXPECT_TRUE(f.Passes(kTypeProcedure, "sales", "usp_Commission_Calculate"));
    f.Exclude = {"procedures:SALES.usp_commission_*"};
    EXPECT_FALSE(f.Passes(kTypeProcedure, "sales", "usp_Commission_Calculate"));
    // The type prefix limits the pattern to its type; the schema part to its schema.
    EXPECT_TRUE(f.Passes(kTypeView, "sales", "usp_Commission_Calculate"));
    EXPECT_TRUE(f.Passes(kTypeProcedure, "dbo", "usp_Commission_Calculate"));

    f.Exclude = {"tmp_????"};
    EXPECT_FALSE(f.Passes(kTypeTable, "dbo", "TMP_2024"));
    EXPECT_FALSE(f.Passes(kTypeTable, "archive", "tmp_2024"));
    EXPECT_TRUE(f.Passes(kTypeTable, "dbo", "tmp_20245"));

    f.Include = {"dbo.*", "10:*.usp_*"}; // a type code works as its word does
    EXPECT_TRUE(f.Passes(kTypeView, "dbo", "vw_A"));
    EXPECT_TRUE(f.Passes(kTypeProcedure, "sales", "usp_X"));
    EXPECT_FALSE(f.Passes(kTypeView, "sales", "usp_X"));
    EXPECT_FALSE(f.Passes(kTypeTable, "dbo", "tmp_2024")); // included, but excluded too

    std::string error;
    EXPECT_TRUE(f.Check(error));
    for (const char* bad : {"", "widgets:x", "dbo.", ".x", "views:"}) {
        ObjectFilter g;
        g.Exclude = {bad};
        EXPECT_FALSE(g.Check(error)) << bad;
    }
    f.Exclude = {"widgets:x"};
    EXPECT_FALSE(f.Check(error));
    EXPECT_NE(error.find("unknown object type 'widgets'"), std::string::npos) << error;
}

TEST(ObjectFilter, OneExitStatusRuleForEveryComparison) {
    using P = NotComparablePolicy;
    EXPECT_EQ(ComparisonExitStatus(true, false, true, false, P::Error), 2);
    EXPECT_EQ(ComparisonExitStatus(true, false, true, false, P::Report), 0);
    EXPECT_EQ(ComparisonExitStatus(true, false, true, true, P::Report), 1);
    EXPECT_EQ(ComparisonExitStatus(false, false, false, false, P::Report), 2);
    EXPECT_EQ(ComparisonExitStatus(true, true, false, false, P::Report), 2);

    DbCompareResults db;
    PairVerdict v;
    v.Status = PairStatus::NotComparable;
    db.Pairs = {v};
    EXPECT_EQ(DbCompareExitStatus(db, P::Error), 2);
    EXPECT_EQ(DbCompareExitStatus(db, P::Report), 0);
    DataCompareResults data;
    DataTableResult t;
    t.Status = DataPairStatus::NotComparable;
    data.Tables = {t};
    EXPECT_EQ(DataCompareExitStatus(data, NotComparablePolicy::Error), 2);
    EXPECT_EQ(DataCompareExitStatus(data, P::Report), 0);
    data.Tables.back().Incomplete = true; // a table cut short is never passed over
    EXPECT_EQ(DataCompareExitStatus(data, P::Report), 2);
}

TEST(ObjectFilter, TheCommandLinesReadRepeatedPatternsAndThePolicy) {
    std::string error;
    CompareAllArgs all;
    ASSERT_TRUE(
        ParseCompareAllArgs({"--exclude", "procedures:sales.*", "--include=dbo.*", "--exclude",
                             "x?", "--not-comparable=report", "s1", "d1", "s2", "d2"},
                            all, error))
        << error;
    EXPECT_EQ(all.Filter.Exclude, (std::vector<std::string>{"procedures:sales.*", "x?"}));
    EXPECT_EQ(all.Filter.Include, std::vector<std::string>{"dbo.*"});
    EXPECT_EQ(all.NotComparable, NotComparablePolicy::Report);
    ASSERT_TRUE(ParseCompareAllArgs({"s1", "d1", "s2", "d2"}, all, error));
    EXPECT_EQ(all.NotComparable, NotComparablePolicy::Error);

    CompareDataArgs data;
    ASSERT_TRUE(ParseCompareDataArgs(
        {"--exclude", "tables:audit.*", "--not-comparable", "report", "s1", "d1", "s2", "d2"}, data,
        error))
        << error;
    EXPECT_EQ(data.Filter.Exclude, std::vector<std::string>{"tables:audit.*"});

    struct Refused {
        std::vector<std::string> words;
        std::string error;
    };
    const std::vector<Refused> refused = {
        {{"--exclude", "gadgets:a", "s1", "d1", "s2", "d2"}, "unknown object type 'gadgets'"},
        {{"--not-comparable=ignore", "s1", "d1", "s2", "d2"}, "unknown --not-comparable value"},
        {{"--not-comparable=error", "--not-comparable=report", "s1", "d1", "s2", "d2"},
         "given twice"},
        {{"--include", "s1", "d1", "s2"}, "expected 4 arguments"},
    };
    for (const Refused& r : refused) {
        EXPECT_FALSE(ParseCompareAllArgs(r.words, all, error));
        EXPECT_NE(error.find(r.error), std::string::npos) << error;
    }
    EXPECT_FALSE(
        ParseCompareDataArgs({"--include", "views:v", "s1", "d1", "s2", "d2"}, data, error));
    EXPECT_NE(error.find("compares tables only"), std::string::npos) << error;
}

} // namespace
} // namespace orv
