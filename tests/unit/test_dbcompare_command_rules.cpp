// What the comparison verbs of the command line share: the login options and the format word
// read alike by every verb, and a data comparison stopped with Ctrl-C ending as stopped even
// when its last statement failed on the way out.
#include "dbcompare/compare_all_command.h"
#include "dbcompare/compare_data_command.h"
#include "dbcompare/db_compare.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <unistd.h>

namespace orv {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

// Each verb's parser as one signature: the login options it read, or false with the error.
struct Verb {
    const char* name;
    const char* positional;
    std::function<bool(const std::vector<std::string>&, LoginOptions&, std::string&)> parse;
};

const Verb kVerbs[] = {
    {"compare", "s1 d1 s2 d2 50 t",
     [](const std::vector<std::string>& w, LoginOptions& login, std::string& error) {
         CompareCommandArgs a;
         const bool ok = ParseCompareCommandArgs(w, a, error);
         login = a;
         return ok;
     }},
    {"compare-all", "s1 d1 s2 d2",
     [](const std::vector<std::string>& w, LoginOptions& login, std::string& error) {
         CompareAllArgs a;
         const bool ok = ParseCompareAllArgs(w, a, error);
         login = a;
         return ok;
     }},
    {"compare-data", "s1 d1 s2 d2",
     [](const std::vector<std::string>& w, LoginOptions& login, std::string& error) {
         CompareDataArgs a;
         const bool ok = ParseCompareDataArgs(w, a, error);
         login = a;
         return ok;
     }},
};

TEST(CommandLogin, EveryComparisonVerbReadsTheLoginOptionsAlike) {
    struct Case {
        const char* options;
        const char* login;        // when accepted
        const char* passwordFile; // when accepted
        const char* error;        // start of the message when refused
    };
    const Case cases[] = {
        {"", "", "", nullptr},
        {"--login sa", "sa", "", nullptr},
        {"--login sa --password-file /p", "sa", "/p", nullptr},
        {"--login=sa --password-file=/p", "sa", "/p", nullptr},
        {"--password-file /p --login sa", "sa", "/p", nullptr},
        {"--password-file /p", "", "", "--password-file needs --login"},
        {"--login sa --password Secr3t", "", "", "--password is not accepted"},
        {"--login sa --password=Secr3t", "", "", "--password is not accepted"},
    };
    for (const Verb& verb : kVerbs)
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(verb.name) + " " + c.options);
            LoginOptions login;
            std::string error;
            const bool ok =
                verb.parse(Words(std::string(c.options) + " " + verb.positional), login, error);
            EXPECT_EQ(ok, c.error == nullptr) << error;
            if (c.error == nullptr) {
                EXPECT_EQ(login.Login, c.login);
                EXPECT_EQ(login.PasswordFile, c.passwordFile);
            } else {
                EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
                EXPECT_EQ(error.find("Secr3t"), std::string::npos) << "a secret is never echoed";
            }
        }
    // A login option at the end with nothing after it.
    for (const Verb& verb : kVerbs) {
        LoginOptions login;
        std::string error;
        EXPECT_FALSE(verb.parse(Words(std::string(verb.positional) + " --login"), login, error));
        EXPECT_EQ(error, "--login needs a value") << verb.name;
    }
}

TEST(ReportFormatWord, OneWordListForEveryReport) {
    const std::pair<const char*, ReportFormat> accepted[] = {{"text", ReportFormat::Text},
                                                             {"TXT", ReportFormat::Text},
                                                             {"csv", ReportFormat::Csv},
                                                             {"Html", ReportFormat::Html}};
    for (const auto& [word, format] : accepted) {
        ReportFormat parsed = ReportFormat::Text;
        EXPECT_TRUE(ParseReportFormat(word, parsed)) << word;
        EXPECT_EQ(parsed, format) << word;
        CompareAllArgs all;
        CompareDataArgs data;
        std::string error;
        ASSERT_TRUE(
            ParseCompareAllArgs(Words(std::string("--format ") + word + " a b c d"), all, error))
            << error;
        ASSERT_TRUE(
            ParseCompareDataArgs(Words(std::string("--format ") + word + " a b c d"), data, error))
            << error;
        EXPECT_EQ(all.Format, format);
        EXPECT_EQ(data.Format, format);
    }
    for (const char* word : {"pdf", "", "htm", "text "}) {
        ReportFormat parsed = ReportFormat::Csv;
        EXPECT_FALSE(ParseReportFormat(word, parsed)) << word;
        EXPECT_EQ(parsed, ReportFormat::Csv) << "left as it was";
    }
}

TEST(StoppedRun, AFailureAfterTheStopEndsAStoppedRun) {
    auto failed = std::make_shared<DataCompareResults>();
    failed->Outcome = RunOutcome::Failed;
    failed->Problem = "Timeout expired";
    auto completed = std::make_shared<DataCompareResults>();
    CancelToken idle, stopped;
    stopped.RequestCancel();

    // Without a stop, or for a run that completed, the results are passed on as they are.
    EXPECT_EQ(StoppedIfCancelled(failed, idle), failed);
    EXPECT_EQ(StoppedIfCancelled(completed, stopped), completed);
    EXPECT_EQ(StoppedIfCancelled(nullptr, stopped), nullptr);

    const DataCompareResultsPtr asStopped = StoppedIfCancelled(failed, stopped);
    ASSERT_TRUE(asStopped);
    EXPECT_EQ(asStopped->Outcome, RunOutcome::Cancelled);
    EXPECT_EQ(asStopped->Problem, kStoppedByUser);
    EXPECT_EQ(failed->Outcome, RunOutcome::Failed) << "the engine's results are not changed";
    EXPECT_EQ(failed->Problem, "Timeout expired");

    EXPECT_EQ(NotCompletedText(" Link failure\r\nat row 7\r\n"),
              "the comparison did not complete: Link failure\nat row 7");
    EXPECT_EQ(NotCompletedText(""), "the comparison did not complete.");
}

// compare-data stopped while a statement was failing: status 2, the stop named, and neither the
// script nor the rows file written.
TEST(StoppedRun, CompareDataStoppedMidStatementWritesNoFile) {
    std::string pattern = (fs::temp_directory_path() / "orvstop-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const std::string dir = pattern + "/";
    CompareDataArgs args;
    std::string error;
    ASSERT_TRUE(ParseCompareDataArgs(
        Words("--script " + dir + "s.sql --rows " + dir + "r.csv a b c d"), args, error))
        << error;
    CancelToken cancel;
    CompareDataServices services;
    services.resolveServer = [](const std::string& name, ServerEntry& e, std::string&) {
        e.Name = name;
        return true;
    };
    services.run = [&cancel](const DataCompareRequest&, ProgressSink&, const CancelToken&) {
        cancel.RequestCancel(); // Ctrl-C while the last statement was running
        auto r = std::make_shared<DataCompareResults>();
        r->Outcome = RunOutcome::Failed;
        r->Problem = "Timeout expired";
        return DataCompareResultsPtr(r);
    };
    NullProgressSink progress;
    std::ostringstream out, err;
    EXPECT_EQ(RunCompareDataOn(args, DataCompareRequest{}, services, progress, cancel, out, err),
              kCompareDataExitError);
    EXPECT_NE(err.str().find("the comparison did not complete: Stopped by the user.\n"),
              std::string::npos)
        << err.str();
    EXPECT_EQ(err.str().find("Timeout expired"), std::string::npos) << err.str();
    EXPECT_NE(out.str().find("Incomplete: Stopped by the user."), std::string::npos)
        << "the report says so too: " << out.str();
    EXPECT_FALSE(fs::exists(dir + "s.sql"));
    EXPECT_FALSE(fs::exists(dir + "r.csv"));
    fs::remove_all(dir);
}

} // namespace
} // namespace orv
