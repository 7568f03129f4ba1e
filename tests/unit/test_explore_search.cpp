// Find Object's search over an in-memory catalog: plain text, wildcards, regular expressions,
// case, the places searched, the types included, and the limits.
#include "explore/explore_commands.h"
#include "explore/object_search.h"
#include "explore/regex_literals.h"
#include "test_explore_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

namespace orv {
namespace {

DbCatalog Shop() {
    return test::CatalogBuilder()
        .Add(kTypeTable, "dbo", "Customers",
             "CREATE TABLE [dbo].[Customers] (\r\n\t[CustomerID] [int] NOT NULL ,\r\n"
             "\t[Email] [varchar] (254) NULL \r\n) ON [PRIMARY]\r\n",
             {"CustomerID", "Email"})
        .Add(kTypeTable, "sales", "Leads",
             "CREATE TABLE [sales].[Leads] (\r\n\t[LeadEmail] "
             "[varchar] (50) NULL \r\n)\r\n",
             {"LeadEmail"})
        .Add(kTypeProcedure, "dbo", "usp_GetCustomer",
             "CREATE PROCEDURE dbo.usp_GetCustomer\r\nAS\r\nSELECT Email FROM dbo.Customers\r\n")
        .Add(kTypeProcedure, "dbo", "usp_Purge", "CREATE PROCEDURE usp_Purge AS\r\nDELETE FROM x")
        .Add(kTypeView, "dbo", "vw_customer_emails",
             "CREATE VIEW vw_customer_emails\r\nAS\r\nselect email from Customers")
        .Build();
}

// "type schema.name where | matched text" for every match.
std::vector<std::string> Find(const std::string& pattern, unsigned in, bool regex = false,
                              bool caseSensitive = false, std::vector<ObjectType> types = {}) {
    const DbCatalog catalog = Shop();
    std::string error;
    auto compiled = SearchPattern::Compile(pattern, regex, caseSensitive, error);
    EXPECT_TRUE(compiled) << error;
    if (!compiled)
        return {};
    SearchRequest r;
    r.Pattern = pattern;
    r.Regex = regex;
    r.CaseSensitive = caseSensitive;
    r.In = in;
    r.Types = std::move(types);
    std::vector<std::string> out;
    for (const auto& m : SearchCatalog(catalog, r, *compiled).Matches) {
        const std::string& in = m.Where == MatchWhere::Name ? m.Name : m.LineText;
        out.push_back(std::to_string(m.Type) + " " + m.QualifiedName() + " " + m.WhereText() +
                      " | " + in.substr(m.MatchStart, m.MatchLength));
    }
    return out;
}

using Lines = std::vector<std::string>;

TEST(ObjectSearch, NamesTextsAndColumnsInAnyCombination) {
    EXPECT_EQ(Find("customer", kSearchNames),
              (Lines{"50 dbo.Customers name | Customer", "10 dbo.usp_GetCustomer name | Customer",
                     "30 dbo.vw_customer_emails name | customer"}));
    EXPECT_EQ(
        Find("email", kSearchTexts),
        (Lines{"50 dbo.Customers line 3 | Email", "50 sales.Leads line 2 | Email",
               "10 dbo.usp_GetCustomer line 3 | Email", "30 dbo.vw_customer_emails line 1 | email",
               "30 dbo.vw_customer_emails line 3 | email"}));
    EXPECT_EQ(Find("email", kSearchColumns),
              (Lines{"50 dbo.Customers column Email | Email",
                     "50 sales.Leads column LeadEmail | LeadEmail"}));
    EXPECT_EQ(Find("email", kSearchNames | kSearchColumns).size(), 3u);
    EXPECT_EQ(Find("email", kSearchNames | kSearchTexts | kSearchColumns).size(), 8u);
    // Only the types asked for.
    EXPECT_EQ(Find("email", kSearchTexts, false, false, {kTypeView}),
              (Lines{"30 dbo.vw_customer_emails line 1 | email",
                     "30 dbo.vw_customer_emails line 3 | email"}));
    EXPECT_TRUE(Find("email", kSearchTexts, false, false, {kTypeTrigger}).empty());
}

TEST(ObjectSearch, CaseFollowsTheSetting) {
    EXPECT_EQ(Find("Email", kSearchTexts, false, true).size(), 3u);
    EXPECT_EQ(Find("email", kSearchTexts, false, true),
              (Lines{"30 dbo.vw_customer_emails line 1 | email",
                     "30 dbo.vw_customer_emails line 3 | email"}));
    EXPECT_EQ(Find("^sel", kSearchTexts, true, true),
              (Lines{"30 dbo.vw_customer_emails line 3 | sel"}));
    EXPECT_EQ(Find("^sel", kSearchTexts, true, false).size(), 2u);
}

TEST(ObjectSearch, WildcardsMatchWholeNamesAndPartsOfLines) {
    EXPECT_EQ(Find("usp_*", kSearchNames), (Lines{"10 dbo.usp_GetCustomer name | usp_GetCustomer",
                                                  "10 dbo.usp_Purge name | usp_Purge"}));
    EXPECT_EQ(Find("*s", kSearchNames),
              (Lines{"50 dbo.Customers name | Customers", "50 sales.Leads name | Leads",
                     "30 dbo.vw_customer_emails name | vw_customer_emails"}));
    EXPECT_EQ(Find("usp_?urge", kSearchNames), (Lines{"10 dbo.usp_Purge name | usp_Purge"}));
    EXPECT_TRUE(Find("usp_?", kSearchNames).empty());
    EXPECT_EQ(Find("DELETE*x", kSearchTexts), (Lines{"10 dbo.usp_Purge line 2 | DELETE FROM x"}));
    EXPECT_EQ(Find("S?LECT E", kSearchTexts),
              (Lines{"10 dbo.usp_GetCustomer line 3 | SELECT E",
                     "30 dbo.vw_customer_emails line 3 | select e"}));
    // Regular-expression characters are plain text without the tick.
    EXPECT_TRUE(Find("(.*)", kSearchTexts).empty());
    EXPECT_EQ(Find("[Email]", kSearchTexts), (Lines{"50 dbo.Customers line 3 | [Email]"}));
}

TEST(ObjectSearch, RegularExpressions) {
    EXPECT_EQ(Find("^usp_(Get|Put)", kSearchNames, true),
              (Lines{"10 dbo.usp_GetCustomer name | usp_Get"}));
    EXPECT_EQ(Find("\\[\\w+Email\\]", kSearchTexts, true),
              (Lines{"50 sales.Leads line 2 | [LeadEmail]"}));
    for (const char* bad : {"(", "[a-", "a{2,1}", "*x"}) {
        std::string error;
        EXPECT_EQ(SearchPattern::Compile(bad, true, false, error), nullptr) << bad;
        EXPECT_NE(error.find("The regular expression is not valid"), std::string::npos) << bad;
    }
    std::string error;
    EXPECT_EQ(SearchPattern::Compile("", false, false, error), nullptr);
    EXPECT_FALSE(error.empty());
    // The same text is fine without the tick.
    EXPECT_NE(SearchPattern::Compile("(", false, false, error), nullptr);
}

// A line is passed over without running the expression only when it lacks a run every match
// holds: the quick path must find exactly what the expression alone finds.
TEST(ObjectSearch, TheLiteralShortcutFindsWhatTheExpressionFinds) {
    using Runs = std::vector<std::string>;
    EXPECT_EQ(RequiredLiterals("T49[0-9]{2} WHERE"), (Runs{" WHERE", "T49"}));
    EXPECT_EQ(RequiredLiterals("colou?r"), (Runs{"colo", "r"}));
    EXPECT_EQ(RequiredLiterals("ab+c"), (Runs{"ab", "c"}));
    EXPECT_EQ(RequiredLiterals("\\[dbo\\]\\.\\w+"), (Runs{"[dbo]."}));
    for (const char* none : {"a|b", "(x)*", "[]a]", "\\d+", "caf\xc3\xa9"})
        EXPECT_TRUE(RequiredLiterals(none).empty()) << none;

    const char* patterns[] = {"T49[0-9]{2} WHERE",
                              "colou?r",
                              "ab+c",
                              "a*b",
                              "x{0,2}yz",
                              "(?:ab)?cd",
                              "(ab|cd)ef",
                              "^SELECT .*FROM",
                              "\\bFROM\\b",
                              "\\[\\w+\\]\\.\\[",
                              "a.c",
                              "END$",
                              "(?=abc)ab",
                              "x(?!y)z?",
                              "\\$\\^\\*lit",
                              "[^a]bc",
                              "ab*?c",
                              "\\(x\\)+",
                              "o{2}k"};
    const char* lines[] = {"T4912 WHERE x",
                           "t4912 where x",
                           "T49 WHERE",
                           "color",
                           "COLOUR",
                           "colr",
                           "abbbc",
                           "ac",
                           "b",
                           "yz",
                           "xxyz",
                           "cd",
                           "abcd",
                           "abef",
                           "cdef",
                           "SELECT a FROM b",
                           "select * from t",
                           "xFROMx",
                           "a FROM b",
                           "[dbo].[T]",
                           "[DBO].[t]",
                           "abc",
                           "aXc",
                           "THE END",
                           "END.",
                           "xz",
                           "xyz",
                           "$^*lit",
                           "$^*LIT",
                           "xbc",
                           "abc",
                           "(x))",
                           "(X)",
                           "ook",
                           "OK",
                           ""};
    for (const char* p : patterns) {
        for (const bool cs : {true, false}) {
            std::string error;
            const auto pattern = SearchPattern::Compile(p, true, cs, error);
            ASSERT_NE(pattern, nullptr) << p << ": " << error;
            auto flags = std::regex::ECMAScript;
            if (!cs)
                flags |= std::regex::icase;
            const std::regex re(p, flags);
            for (const char* line : lines) {
                std::cmatch m;
                const bool expected = std::regex_search(line, m, re);
                size_t start = 0, length = 0;
                EXPECT_EQ(pattern->FindIn(line, start, length), expected)
                    << p << (cs ? " (case)" : "") << " on '" << line << "'";
                if (expected && pattern->FindIn(line, start, length)) {
                    EXPECT_EQ(start, static_cast<size_t>(m.position(0))) << p << " " << line;
                    EXPECT_EQ(length, static_cast<size_t>(m.length(0))) << p << " " << line;
                }
            }
        }
    }
}

TEST(ObjectSearch, LimitAndStop) {
    const DbCatalog catalog = Shop();
    std::string error;
    auto p = SearchPattern::Compile("e", false, false, error);
    SearchRequest r;
    r.In = kSearchNames | kSearchTexts | kSearchColumns;
    const SearchResult some = SearchCatalog(catalog, r, *p, nullptr, 2);
    EXPECT_EQ(some.Matches.size(), 2u);
    EXPECT_TRUE(some.Truncated);
    test::CatalogBuilder big;
    for (int i = 0; i < 2000; ++i)
        big.Add(kTypeProcedure, "dbo", "p" + std::to_string(i), "x");
    CancelToken cancel;
    cancel.RequestCancel();
    const SearchResult stopped = SearchCatalog(big.Build(), r, *p, &cancel);
    EXPECT_TRUE(stopped.Cancelled);
    EXPECT_LT(stopped.Matches.size(), 2000u);
}

} // namespace
} // namespace orv

namespace orv {
namespace {

// Names may hold tabs and line breaks: a printed match stays one line of four fields.
TEST(ObjectSearch, HostileNamesStayOneLineOfFourFields) {
    const DbCatalog catalog = test::CatalogBuilder()
                                  .Add(kTypeTable, "we\tird", "a\r\nb'; DROP TABLE x; --",
                                       "\t[col\tumn] int\r\n", {"col\tumn"})
                                  .Build();
    std::string error;
    auto p = SearchPattern::Compile("*", false, false, error);
    SearchRequest r;
    r.In = kSearchNames | kSearchTexts | kSearchColumns;
    const auto matches = SearchCatalog(catalog, r, *p).Matches;
    ASSERT_EQ(matches.size(), 3u);
    for (const auto& m : matches) {
        const std::string line = FindLine(m);
        EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 3) << line;
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
    }
    ReferenceFinding f;
    f.ModuleSchema = "dbo";
    f.ModuleName = "p\tq";
    f.Line = 3;
    f.Reference = "[a\nb]";
    f.Reason = kReasonMissing;
    const std::string refs = CheckRefsLine(f);
    EXPECT_EQ(std::count(refs.begin(), refs.end(), '\t'), 3) << refs;
    EXPECT_EQ(refs.find('\n'), std::string::npos);
}

TEST(ExploreCommands, Arguments) {
    FindArgs a;
    std::string error;
    EXPECT_TRUE(ParseFindArgs({"s", "d", "p*", "--in", "texts,COLUMNS", "--regex"}, a, error));
    EXPECT_EQ(a.In, kSearchTexts | kSearchColumns);
    EXPECT_TRUE(a.Regex);
    EXPECT_EQ(a.Pattern, "p*");
    for (const std::vector<std::string>& bad : {std::vector<std::string>{"s", "d"},
                                                {"s", "d", "p", "x"},
                                                {"s", "d", "p", "--in"},
                                                {"s", "d", "p", "--in=rows"},
                                                {"s", "d", "p", "--in", ""},
                                                {"s", "d", "p", "--nope"}})
        EXPECT_FALSE(ParseFindArgs(bad, a, error)) << bad.size();
    CheckRefsArgs c;
    EXPECT_TRUE(ParseCheckRefsArgs({"s", "d"}, c, error));
    EXPECT_TRUE(c.Module.empty());
    EXPECT_TRUE(ParseCheckRefsArgs({"s", "d", "dbo.p"}, c, error));
    EXPECT_EQ(c.Module, "dbo.p");
    EXPECT_FALSE(ParseCheckRefsArgs({"s"}, c, error));
    EXPECT_FALSE(ParseCheckRefsArgs({"s", "d", "p", "q"}, c, error));
}

} // namespace
} // namespace orv
