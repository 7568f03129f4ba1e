// The command-line comparison on texts handed in directly.
#include "compare/compare_command.h"
#include "test_compare_support.h"

#include <sstream>

namespace orv {
namespace {

TEST(CompareCommandArgs, PositionalsOptionsAndDefaults) {
    CompareCommandArgs a;
    std::string error;
    ASSERT_TRUE(
        ParseCompareCommandArgs({"s1", "d1", "s2", "d2", "procedures", "p", "--marks"}, a, error));
    EXPECT_EQ(a.Server[1], "s2");
    EXPECT_EQ(a.Db[0], "d1");
    EXPECT_EQ(a.Type, "procedures");
    EXPECT_EQ(a.Name[0], "p");
    EXPECT_EQ(a.Name[1], "p"); // the second name defaults to the first
    EXPECT_TRUE(a.Marks);

    ASSERT_TRUE(ParseCompareCommandArgs(
        {"--login", "sa", "--password", "pw", "s1", "d1", "s2", "d2", "50", "t1", "t2"}, a, error));
    EXPECT_EQ(a.Login, "sa");
    EXPECT_EQ(a.Password, "pw");
    EXPECT_EQ(a.Name[1], "t2");
    EXPECT_FALSE(a.Marks);
}

TEST(CompareCommandArgs, RefusesWhatIsNoComparison) {
    CompareCommandArgs a;
    std::string error;
    EXPECT_FALSE(ParseCompareCommandArgs({"s1", "d1", "s2", "d2", "50"}, a, error));
    EXPECT_FALSE(ParseCompareCommandArgs({"s1", "d1", "s2", "d2", "50", "a", "b", "c"}, a, error));
    EXPECT_FALSE(ParseCompareCommandArgs({"s1", "d1", "s2", "d2", "50", "a", "--bogus"}, a, error));
    EXPECT_EQ(error, "unknown option --bogus");
    EXPECT_FALSE(ParseCompareCommandArgs({"s1", "d1", "s2", "d2", "50", "a", "--login"}, a, error));
    EXPECT_FALSE(ParseCompareCommandArgs({"s1", "", "s2", "d2", "50", "a"}, a, error));
}

class CompareCommand : public test::CompareTest {
protected:
    int Run(const std::string& a, const std::string& b, bool marks = false) {
        CompareCommandArgs args;
        args.Marks = marks;
        ComparedObjectNames names;
        names.TypeCode = 10;
        names.TypeNamePlural = "procedures";
        names.FullName[0] = "s1.d1.p";
        names.FullName[1] = "s2.d2.p";
        CompareOptions options;
        options.IgnoreColSeq = false;
        out.str("");
        err.str("");
        return RunCompareCommandOn(
            args, names, options, {},
            [&](int panel, std::string& text) {
                text = panel == 0 ? a : b;
                return !fetchFails;
            },
            out, err);
    }
    std::ostringstream out, err;
    bool fetchFails = false;
};

TEST_F(CompareCommand, ExitStatusFollowsTheVerdict) {
    EXPECT_EQ(Run("CREATE PROC p AS SELECT 1", "create proc p as\r\n  select 1\r\n"), 0);
    EXPECT_EQ(out.str(),
              "Source: s1.d1.p\nTarget: s2.d2.p\n\nThe selected procedures are identical.\n");
    EXPECT_EQ(Run("SELECT 1", "SELECT 2"), 1);
    EXPECT_NE(out.str().find("are different."), std::string::npos);
}

TEST_F(CompareCommand, MarksListEveryLineWithItsStatus) {
    EXPECT_EQ(Run("a\r\nb\r\nc", "a\r\nx\r\nb\r\nc", true), 1);
    EXPECT_NE(out.str().find("S\t10\ta\nS\t10\tb\nS\t10\tc\nT\t10\ta\nT\t30\tx\nT\t10\tb\n"
                             "T\t10\tc\n"),
              std::string::npos);
    // Identical objects are listed without statuses.
    EXPECT_EQ(Run("a", "a", true), 0);
    EXPECT_NE(out.str().find("S\t0\ta\nT\t0\ta\n"), std::string::npos);
}

TEST_F(CompareCommand, ErrorsGiveTwo) {
    fetchFails = true;
    EXPECT_EQ(Run("a", "b"), 2);
    EXPECT_EQ(out.str(), "");
    fetchFails = false;
    EXPECT_EQ(Run("", ""), 2);
    EXPECT_NE(err.str().find("Cannot Compare: Cannot compare - the list of objects is empty."),
              std::string::npos);
    // One missing side is a difference, with a word about it.
    EXPECT_EQ(Run("", "SELECT 1"), 1);
    EXPECT_NE(err.str().find("no definition of s1.d1.p"), std::string::npos);
    // The test's own prompter is back in place.
    EXPECT_EQ(&CurrentPrompter(), &prompter);
}

} // namespace
} // namespace orv
