#include "util/command_args.h"
#include "util/memory_prompter.h"

#include <gtest/gtest.h>

namespace orv {
namespace {

CCommandArgs Parsed(const std::string& line, const std::string& delim = "/") {
    CCommandArgs a;
    a.Delim = delim;
    a.TestString = line;
    a.Parse();
    return a;
}

TEST(CommandArgs, SwitchWithValueIsFoundInAnyLetterCase) {
    auto a = Parsed("/RunSavedComp 12");
    ASSERT_EQ(a.Count(), 1);
    EXPECT_EQ(a.Key(1), "RunSavedComp");
    EXPECT_EQ(a.Item("runsavedcomp"), "12");
    EXPECT_EQ(a.Item("RUNSAVEDCOMP"), "12");
    EXPECT_EQ(a.Item("Other"), "");
}

TEST(CommandArgs, TextBeforeFirstDelimiterIsIgnoredAndBareSwitchIsItsOwnValue) {
    auto a = Parsed("word /X 1 /Quiet");
    ASSERT_EQ(a.Count(), 2);
    EXPECT_EQ(a.Key(1), "X");
    EXPECT_EQ(a.Value(1), "1");
    EXPECT_EQ(a.Key(2), "Quiet");
    EXPECT_EQ(a.Value(2), "Quiet");
}

TEST(CommandArgs, ValuesKeepInnerBlanksAndAreTrimmed) {
    auto a = Parsed("/Name   two words here   /N 3");
    ASSERT_EQ(a.Count(), 2);
    EXPECT_EQ(a.Value(1), "two words here");
    EXPECT_EQ(a.Item("1"), "two words here");
    EXPECT_EQ(a.Item("2"), "3");
    EXPECT_EQ(a.Item("3"), "");
    EXPECT_EQ(a.Item("0"), "");
}

TEST(CommandArgs, TwoDelimitersInARowGiveACountedEmptyKey) {
    auto a = Parsed("//X 1");
    ASSERT_EQ(a.Count(), 2);
    EXPECT_EQ(a.Key(1), "");
    EXPECT_EQ(a.Value(1), "");
    EXPECT_EQ(a.Key(2), "X");
}

TEST(CommandArgs, MultiCharacterDelimiter) {
    auto a = Parsed("--a 1 --b", "--");
    ASSERT_EQ(a.Count(), 2);
    EXPECT_EQ(a.Item("a"), "1");
    EXPECT_EQ(a.Item("b"), "b");
}

TEST(CommandArgs, EmptyDelimiterOrTextKeepsThePreviousTable) {
    auto a = Parsed("/A 1");
    a.Delim = "";
    a.TestString = "/B 2";
    a.Parse();
    EXPECT_EQ(a.Item("A"), "1");
    a.Delim = "/";
    a.TestString = "";
    a.Parse();
    EXPECT_EQ(a.Count(), 1);
    EXPECT_THROW(a.Key(2), std::out_of_range);
    EXPECT_THROW(a.Value(0), std::out_of_range);
}

TEST(CommandArgs, MoreSwitchesThanTheCountHoldsAreReportedOnce) {
    MemoryPrompter prompter;
    SetCurrentPrompter(&prompter);
    std::string line;
    for (int i = 0; i < CCommandArgs::kMaxSwitches + 5; ++i)
        line += "/";
    auto a = Parsed(line);
    SetCurrentPrompter(nullptr);
    EXPECT_EQ(a.Count(), CCommandArgs::kMaxSwitches);
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].title, "Parse");
    EXPECT_EQ(prompter.messages[0].text, "Error: 6. Overflow");
}

} // namespace
} // namespace orv

#include "util/text.h"

#include <clocale>

namespace orv {
namespace {

TEST(NumberText, DecimalPointsAreReadTheSameInEveryLocale) {
    // A locale whose decimal separator is a comma, when the machine has one.
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    const bool comma = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    double d = 0;
    EXPECT_TRUE(ParseDouble("1.5", d));
    EXPECT_DOUBLE_EQ(d, 1.5);
    EXPECT_FALSE(ParseDouble("1,5", d));
    EXPECT_TRUE(ParseDouble("+2.25", d));
    EXPECT_DOUBLE_EQ(d, 2.25);
    EXPECT_FALSE(ParseDouble("", d));
    EXPECT_FALSE(ParseDouble("3.5x", d));
    int32_t n = 0;
    EXPECT_TRUE(ParseInt32("2.5", n));
    EXPECT_EQ(n, 2);
    std::setlocale(LC_NUMERIC, saved.c_str());
    (void)comma;
}

} // namespace
} // namespace orv
