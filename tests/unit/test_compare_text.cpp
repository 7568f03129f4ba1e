// Equality of object texts under the whitespace, case and comment settings.
#include "compare/text_equality.h"

#include "util/text.h"

#include <gtest/gtest.h>

#include <random>

namespace orv {
namespace {

TEST(CompareText, ReplaceNonPrintableCollapsesEveryRunToOneBlank) {
    EXPECT_EQ(ReplaceNonPrintableChars("a\r\n\tb", " "), "a b");
    EXPECT_EQ(ReplaceNonPrintableChars("a  \t  b", " "), "a b");
    EXPECT_EQ(ReplaceNonPrintableChars(std::string("a\v\0b", 4), " "), "a b");
    // A leading run keeps one blank; so does a trailing one.
    EXPECT_EQ(ReplaceNonPrintableChars("\r\n\r\nx\t\t", " "), " x ");
    EXPECT_EQ(ReplaceNonPrintableChars("no change", " "), "no change");
    // Other replacements are written as given and only blanks collapse.
    EXPECT_EQ(ReplaceNonPrintableChars("a\tb", "_"), "a_b");
}

TEST(CompareText, CaseCountsOnlyWhenCaseSensitive) {
    EXPECT_TRUE(CompareTextsIgnoringWhitespace("select * from T", "SELECT * FROM t", false));
    EXPECT_FALSE(CompareTextsIgnoringWhitespace("select * from T", "SELECT * FROM t", true));
    EXPECT_TRUE(CompareTextsIgnoringWhitespace("SELECT 1", "SELECT 1", true));
}

TEST(CompareText, InnerWhitespaceRunsAreOneBlank) {
    EXPECT_TRUE(CompareTextsIgnoringWhitespace("CREATE PROC p\r\nAS\r\n  SELECT 1",
                                               "CREATE  PROC\tp AS SELECT    1", true));
    // Whitespace between two words cannot be removed altogether.
    EXPECT_FALSE(CompareTextsIgnoringWhitespace("SELECT 1", "SELECT1", true));
    EXPECT_FALSE(CompareTextsIgnoringWhitespace("SELECT 1", "SELECT 2", false));
}

TEST(CompareText, WhitespaceAtEitherEndDoesNotCount) {
    // The same text followed by a line break used to count as different.
    EXPECT_TRUE(CompareTextsIgnoringWhitespace("SELECT 1", "SELECT 1\r\n", true));
    EXPECT_TRUE(CompareTextsIgnoringWhitespace("\r\n\tSELECT 1", "SELECT 1 \r\n \t\n", true));
    EXPECT_TRUE(CompareTextsIgnoringWhitespace("\r\n", "", true));
}

TEST(CompareText, AnEmptySideOnlyEqualsAnotherEmptySide) {
    EXPECT_TRUE(CompareTextsIgnoringWhitespace("", "   ", true));
    EXPECT_FALSE(CompareTextsIgnoringWhitespace("", "x", true));
    EXPECT_FALSE(CompareTextsIgnoringWhitespace("x", "", false));
}

TEST(CompareText, WhitespaceComparisonAgreesWithTheNormalisedTexts) {
    // The comparison streams both texts instead of building their normalised copies; on any
    // input it must decide as the copies would.
    const std::string alphabet = std::string("aAb \t\r\n\v", 9) + std::string(1, '\0');
    std::mt19937 rng(11);
    auto randomText = [&] {
        std::string s;
        const int n = static_cast<int>(rng() % 7);
        for (int i = 0; i < n; ++i)
            s += alphabet[rng() % alphabet.size()];
        return s;
    };
    auto reference = [](const std::string& x, const std::string& y, bool caseSensitive) {
        std::string a = TrimWhitespace(x), b = TrimWhitespace(y);
        if (!caseSensitive) {
            a = ToUpperAscii(a);
            b = ToUpperAscii(b);
        }
        if (a == b)
            return true;
        if (a.empty() || b.empty())
            return false;
        return ReplaceNonPrintableChars(a, " ") == ReplaceNonPrintableChars(b, " ");
    };
    int equalPairs = 0;
    for (int i = 0; i < 20000; ++i) {
        const std::string x = randomText(), y = randomText();
        const bool cs = (i & 1) != 0;
        const bool expected = reference(x, y, cs);
        equalPairs += expected;
        ASSERT_EQ(CompareTextsIgnoringWhitespace(x, y, cs), expected)
            << "case sensitive " << cs << ", texts of " << x.size() << " and " << y.size();
    }
    EXPECT_GT(equalPairs, 100); // the inputs did reach the equal cases
}

TEST(CompareText, StripsLineAndNestedBlockComments) {
    EXPECT_EQ(StripSqlComments("SELECT 1 -- one\r\nFROM t"), "SELECT 1\r\nFROM t");
    EXPECT_EQ(StripSqlComments("SELECT /* a /* nested */ still comment */ 1"), "SELECT  1");
    // The nested comment's inner close does not end the outer one.
    EXPECT_EQ(StripSqlComments("a /* x /* y */ z */b"), "a b");
    // An unterminated block comment runs to the end.
    EXPECT_EQ(StripSqlComments("a\r\n/* open"), "a");
}

TEST(CompareText, CommentMarkersInsideLiteralsAndNamesAreText) {
    const std::string text = "SELECT '--not', N'/* no */', [a--b], [x]]/*], \"q--\" FROM t";
    EXPECT_EQ(StripSqlComments(text), text);
    // A doubled quote does not end the literal.
    EXPECT_EQ(StripSqlComments("SELECT 'it''s -- here' -- gone"), "SELECT 'it''s -- here'");
    // Quotes inside a comment open nothing.
    EXPECT_EQ(StripSqlComments("a -- it's\r\nb 'c'"), "a\r\nb 'c'");
}

TEST(CompareText, CommentOnlyLinesVanishWithTheirBreak) {
    EXPECT_EQ(StripSqlComments("-- header\r\nCREATE PROC p\r\n  /* note */\r\nAS SELECT 1"),
              "CREATE PROC p\r\nAS SELECT 1");
    EXPECT_EQ(StripSqlComments("a\r\n-- trailer"), "a");
    EXPECT_EQ(StripSqlComments("a\r\n-- trailer\r\n"), "a\r\n");
    // A comment spanning lines joins what stood before and after it.
    EXPECT_EQ(StripSqlComments("a /* x\r\ny */ b\r\nc"), "a  b\r\nc");
    // Lines without comments keep their own trailing blanks.
    EXPECT_EQ(StripSqlComments("a  \r\nb -- c"), "a  \r\nb");
}

} // namespace
} // namespace orv
