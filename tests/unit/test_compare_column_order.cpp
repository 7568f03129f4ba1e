// The line-order-insensitive second opinion and its sort.
#include "compare/ignore_columns_order.h"
#include "compare/tx_text.h"
#include "test_compare_support.h"
#include "util/text.h"

#include <algorithm>
#include <random>

namespace orv {
namespace {

using test::CompareTest;
using test::JoinLines;

std::vector<std::string> Texts(const CompLines& lines) {
    std::vector<std::string> t;
    for (const auto& l : lines)
        t.push_back(l.LineText);
    return t;
}

CompLines Lines(const std::vector<std::string>& texts) {
    return SplitIntoLines(JoinLines(texts));
}

TEST(CompareSort, OrdersByFoldedTextThenExactText) {
    CompLines lines = Lines({"b", "B", "a", "A", "c"});
    SortArray_CompLine(lines, true, true);
    EXPECT_EQ(Texts(lines), (std::vector<std::string>{"A", "a", "B", "b", "c"}));
    SortArray_CompLine(lines, false, true);
    EXPECT_EQ(Texts(lines), (std::vector<std::string>{"c", "b", "B", "a", "A"}));
    SortArray_CompLine(lines, true, false);
    EXPECT_EQ(Texts(lines), (std::vector<std::string>{"A", "B", "a", "b", "c"}));
}

TEST(CompareSort, RecordsTravelWhole) {
    CompLines lines = Lines({"zz", "aa"});
    SortArray_CompLine(lines, true, true);
    EXPECT_EQ(lines[0].LineText, "aa");
    EXPECT_EQ(lines[0].StartPos, 3);
    EXPECT_EQ(lines[1].StartPos, 0);
}

TEST(CompareSort, SameLinesInAnyOrderSortAlikeWhateverTheCase) {
    // Lines differing only in case are equal keys when folded; the tie-break on the exact text
    // is what makes two arrangements of the same lines end identical.
    std::vector<std::string> base = {"Col", "COL", "col", "x", "X", "Col", "y"};
    std::mt19937 rng(7);
    CompLines reference = Lines(base);
    SortArray_CompLine(reference, true, true);
    for (int round = 0; round < 50; ++round) {
        std::shuffle(base.begin(), base.end(), rng);
        CompLines shuffled = Lines(base);
        SortArray_CompLine(shuffled, true, true);
        ASSERT_TRUE(AreTypeArrays_CompLine_Identical(reference, shuffled, 7, 7)) << round;
    }
}

TEST(CompareSort, HandlesMoreLinesThanSixteenBitsCount) {
    const int n = 40000;
    std::vector<std::string> texts;
    for (int i = 0; i < n; ++i)
        texts.push_back("line " + std::to_string((i * 7919) % n));
    CompLines lines = Lines(texts);
    SortArray_CompLine(lines, true, true);
    ASSERT_EQ(lines.size(), static_cast<size_t>(n));
    EXPECT_TRUE(
        std::is_sorted(lines.begin(), lines.end(), [](const CompLine& a, const CompLine& b) {
            return a.LineText < b.LineText;
        }));
}

TEST(CompareIdentical, CountsAndExactTextsMustAgree) {
    CompLines a = Lines({"x", "y"}), b = Lines({"x", "y"}), c = Lines({"x", "Y"});
    EXPECT_TRUE(AreTypeArrays_CompLine_Identical(a, b, 2, 2));
    EXPECT_FALSE(AreTypeArrays_CompLine_Identical(a, c, 2, 2));
    EXPECT_FALSE(AreTypeArrays_CompLine_Identical(a, b, 2, 1));
    EXPECT_TRUE(AreTypeArrays_CompLine_Identical({}, {}, 0, 0));
}

using CompareColumnOrder = CompareTest;

bool SameLines(const std::string& a, const std::string& b, bool ignoreComments = false) {
    MemoryTextView source, target;
    source.SetText(a);
    target.SetText(b);
    return CompareProcs_IgnoreColumnsOrder(source, target, ignoreComments);
}

TEST_F(CompareColumnOrder, ReorderedTableColumnsAreTheSame) {
    const std::string a = "CREATE TABLE [dbo].[T] (\r\n\t[id] [int] NOT NULL ,\r\n"
                          "\t[name] [varchar] (50) NULL ,\r\n\t[born] [datetime] NULL \r\n)";
    const std::string b = "CREATE TABLE [dbo].[T] (\r\n\t[name] [varchar] (50) NULL ,\r\n"
                          "\t[id] [int] NOT NULL ,\r\n\t[born] [datetime] NULL \r\n)";
    EXPECT_TRUE(SameLines(a, b));
    EXPECT_FALSE(SameLines(a, ReplaceAll(b, "(50)", "(60)")));
}

TEST_F(CompareColumnOrder, AppliesToAnyTextAndKeepsCaseAndMultiplicity) {
    EXPECT_TRUE(SameLines("CREATE PROC p AS\r\nSELECT 1\r\nSELECT 2",
                          "CREATE PROC p AS\r\nSELECT 2\r\nSELECT 1"));
    EXPECT_FALSE(SameLines("SELECT 1\r\nselect 2", "SELECT 1\r\nSELECT 2"));
    EXPECT_FALSE(SameLines("a\r\na\r\nb", "a\r\nb\r\nb"));
    EXPECT_FALSE(SameLines("a\r\nb", "a\r\nb\r\nb"));
    EXPECT_FALSE(SameLines("", "a"));
    EXPECT_TRUE(prompter.messages.empty());
}

TEST_F(CompareColumnOrder, WorksPastTheOldLineLimit) {
    std::vector<std::string> a, b;
    for (int i = 0; i < 40000; ++i)
        a.push_back("[c" + std::to_string(i) + "] [int] NULL ,");
    b.assign(a.rbegin(), a.rend());
    EXPECT_TRUE(SameLines(JoinLines(a), JoinLines(b)));
    b[123] = "[c123] [bigint] NULL ,";
    EXPECT_FALSE(SameLines(JoinLines(a), JoinLines(b)));
    EXPECT_TRUE(reports.empty());
}

TEST_F(CompareColumnOrder, CommentsCanBeLeftOut) {
    const std::string a = "-- made by hand\r\nSELECT 1\r\nSELECT 2 /* second */";
    const std::string b = "SELECT 2\r\nSELECT 1";
    EXPECT_FALSE(SameLines(a, b, false));
    EXPECT_TRUE(SameLines(a, b, true));
    // A comment-only last line, and a view ending in a line break, keep the counts honest.
    EXPECT_TRUE(SameLines("SELECT 1\r\nSELECT 2\r\n-- end", "SELECT 2\r\nSELECT 1", true));
    EXPECT_FALSE(SameLines("SELECT 1\r\nSELECT 2\r\n", "SELECT 2\r\nSELECT 1", true));
    EXPECT_TRUE(SameLines("SELECT 1\r\n\r\n-- x", "\r\nSELECT 1", true));
    EXPECT_FALSE(SameLines("/* all */", "SELECT 1", true));
}

TEST_F(CompareColumnOrder, UnsplittableViewNamesItsSide) {
    class Broken : public MemoryTextView {
    public:
        int64_t LineStart(int64_t) const override { return -1; }
    };
    Broken broken;
    broken.SetText("a");
    MemoryTextView fine;
    fine.SetText("a");
    EXPECT_FALSE(CompareProcs_IgnoreColumnsOrder(fine, broken));
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, "Ignore Columns Order option (Target) - error occurred.");
    EXPECT_FALSE(CompareProcs_IgnoreColumnsOrder(broken, fine));
    EXPECT_EQ(prompter.messages.back().text,
              "Ignore Columns Order option (Source) - error occurred.");
}

} // namespace
} // namespace orv
