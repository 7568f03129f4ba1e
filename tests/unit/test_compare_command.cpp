// The command-line comparison on texts handed in directly.
#include "compare/compare_command.h"
#include "test_compare_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
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
        {"--login", "sa", "--password-file", "/p", "s1", "d1", "s2", "d2", "50", "t1", "t2"}, a,
        error));
    EXPECT_EQ(a.Login, "sa");
    EXPECT_EQ(a.PasswordFile, "/p");
    EXPECT_EQ(a.Name[1], "t2");
    EXPECT_FALSE(a.Marks);

    // --help wins over whatever else is there, even words that would be refused.
    ASSERT_TRUE(ParseCompareCommandArgs({"s1", "--password", "x", "--help"}, a, error));
    EXPECT_TRUE(a.Help);
}

// --encryption takes the three settings in any letter case, and nothing else.
TEST(CompareCommandArgs, EncryptionIsOneOfThreeSettings) {
    CompareCommandArgs a;
    std::string error;
    const std::vector<std::string> tail = {"s1", "d1", "s2", "d2", "50", "t"};
    std::vector<std::string> words = {"--encryption", "REQUIRE"};
    words.insert(words.end(), tail.begin(), tail.end());
    ASSERT_TRUE(ParseCompareCommandArgs(words, a, error)) << error;
    EXPECT_EQ(a.Encryption, "require");
    words = {"--encryption", "strict"};
    words.insert(words.end(), tail.begin(), tail.end());
    EXPECT_FALSE(ParseCompareCommandArgs(words, a, error));
    EXPECT_EQ(error, "--encryption takes request, require or off, not strict");
    CompareCommandArgs plain;
    ASSERT_TRUE(ParseCompareCommandArgs(tail, plain, error));
    EXPECT_EQ(plain.Encryption, "");
}

// --ca-file is taken as given and goes with --encryption into what stands in for the stored
// values; an empty name is refused.
TEST(CompareCommandArgs, CaFileStandsInForTheStoredOne) {
    CompareCommandArgs a;
    std::string error;
    const std::vector<std::string> tail = {"s1", "d1", "s2", "d2", "50", "t"};
    std::vector<std::string> words = {"--ca-file", "/etc/ssl/our ca.pem"};
    words.insert(words.end(), tail.begin(), tail.end());
    ASSERT_TRUE(ParseCompareCommandArgs(words, a, error)) << error;
    ServerEntry stored;
    stored.Encryption = "off";
    stored.CAFile = "/old.pem";
    ApplyConnectionSecurity(a.Security(), stored);
    EXPECT_EQ(stored.CAFile, "/etc/ssl/our ca.pem");
    EXPECT_EQ(stored.Encryption, "off"); // not given: as stored
    words = {"--ca-file", ""};
    words.insert(words.end(), tail.begin(), tail.end());
    EXPECT_FALSE(ParseCompareCommandArgs(words, a, error));
    EXPECT_EQ(error, "--ca-file needs a file name");
}

// A password in the arguments is in every process listing: refused, and never echoed.
TEST(CompareCommandArgs, RefusesAPasswordOnTheCommandLine) {
    CompareCommandArgs a;
    std::string error;
    const std::vector<std::string> tail = {"s1", "d1", "s2", "d2", "50", "t"};
    for (const std::vector<std::string>& given :
         {std::vector<std::string>{"--login", "sa", "--password", "Secr3t"},
          std::vector<std::string>{"--login", "sa", "--password=Secr3t"}}) {
        std::vector<std::string> words = given;
        words.insert(words.end(), tail.begin(), tail.end());
        EXPECT_FALSE(ParseCompareCommandArgs(words, a, error));
        EXPECT_EQ(error.rfind("--password is not accepted: a password on the command line shows "
                              "in every process listing.",
                              0),
                  0u)
            << error;
        EXPECT_NE(error.find("--password-file FILE"), std::string::npos);
        EXPECT_NE(error.find("ORVANE_PASSWORD"), std::string::npos);
        EXPECT_EQ(error.find("Secr3t"), std::string::npos);
    }
    std::vector<std::string> words = {"--pasword=Secr3t"};
    words.insert(words.end(), tail.begin(), tail.end());
    EXPECT_FALSE(ParseCompareCommandArgs(words, a, error));
    EXPECT_EQ(error, "unknown option --pasword");
    words = {"--password-file", "/p"};
    words.insert(words.end(), tail.begin(), tail.end());
    EXPECT_FALSE(ParseCompareCommandArgs(words, a, error));
    EXPECT_EQ(error, "--password-file needs --login");
}

class ComparePassword : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "orvpwXXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string PathOf(const std::string& name) const { return dir + "/" + name; }
    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string path = PathOf(name);
        std::FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        return path;
    }
    std::string dir;
    CompareCommandArgs args;
    std::string password, error;
};

TEST_F(ComparePassword, TheFileGivesItsFirstLineAndWinsOverTheEnvironment) {
    args.Login = "sa";
    args.PasswordFile = Write("unix", "p w;'}\nsecond line\n");
    ASSERT_TRUE(ResolveComparePassword(args, "from-env", password, error));
    EXPECT_EQ(password, "p w;'}");
    args.PasswordFile = Write("windows", "crlf\r\n");
    ASSERT_TRUE(ResolveComparePassword(args, nullptr, password, error));
    EXPECT_EQ(password, "crlf");
    args.PasswordFile = Write("bare", "no break");
    ASSERT_TRUE(ResolveComparePassword(args, nullptr, password, error));
    EXPECT_EQ(password, "no break");
    args.PasswordFile.clear();
    ASSERT_TRUE(ResolveComparePassword(args, "from-env", password, error));
    EXPECT_EQ(password, "from-env");
    ASSERT_TRUE(ResolveComparePassword(args, nullptr, password, error));
    EXPECT_EQ(password, "");
}

TEST_F(ComparePassword, AFileThatCannotBeReadIsAnError) {
    args.Login = "sa";
    args.PasswordFile = PathOf("missing");
    EXPECT_FALSE(ResolveComparePassword(args, "from-env", password, error));
    EXPECT_EQ(error,
              "cannot read the password file " + args.PasswordFile + ": No such file or directory");
    // A folder opens but cannot be read; it is no empty password.
    args.PasswordFile = dir;
    EXPECT_FALSE(ResolveComparePassword(args, "from-env", password, error));
    EXPECT_NE(error.find("Is a directory"), std::string::npos) << error;
    EXPECT_EQ(password, "");
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
    // An object that exists but has no text is a difference, with a word about it (a missing
    // object never gets this far: the command line stops with status 2 before).
    EXPECT_EQ(Run("", "SELECT 1"), 1);
    EXPECT_NE(err.str().find("no definition of s1.d1.p"), std::string::npos);
    // The test's own prompter is back in place.
    EXPECT_EQ(&CurrentPrompter(), &prompter);
}

} // namespace
} // namespace orv
