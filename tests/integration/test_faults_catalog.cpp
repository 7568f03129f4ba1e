// Each catalog operation against a server that fails on the wire (an answer stalled past the
// command timeout, the link dropped part-way through a result, an error inside a result, a
// refused login): it ends within the timeout, says what went wrong, never passes a short or
// empty result off as the real one, leaves the stored servers alone, and the next request to a
// healthy server works.
#include "catalog/db_info_report.h"
#include "catalog/listing.h"
#include "catalog/object_text.h"
#include "catalog/record_counts.h"
#include "compare/compare_sel_procs.h"
#include "core/error_report.h"
#include "core/settings.h"
#include "fault_database.h"
#include "servers/exec_ado_cmd.h"
#include "servers/odbc_connection.h"
#include "servers/odbc_error.h"
#include "servers/server_list.h"
#include "sqlsim_process.h"
#include "test_env.h"
#include "util/memory_list_control.h"
#include "util/memory_text_view.h"
#include "util/text.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>

namespace orv {
namespace {

using test::SqlsimOptions;
using test::SqlsimProcess;
using Clock = std::chrono::steady_clock;

using test::Fault;
using test::FaultArgs;
using test::FaultName;
using test::FaultScript;
using test::kCutAfterRows;
constexpr int kTimeoutSeconds = test::kFaultTimeoutSeconds;
constexpr int kTableRows = test::kFaultTableRows;
constexpr int kProcedures = test::kFaultTables + 1; // P01..P11 and PLong

ServerEntry EntryFor(const SqlsimProcess& sim) {
    ServerEntry e;
    e.Name = sim.ServerName();
    e.SQLAuth = true;
    e.LoginName = sim.Options().login;
    e.Pwd = sim.Options().password;
    e.Version = sim.Options().version;
    e.VersionMajor = VersionMajorOf(e.Version);
    return e;
}

// One healthy and one faulty simulator with the same database, a stored server in the
// registry file, a short command timeout and every error report caught.
class CatalogFaults : public ::testing::TestWithParam<Fault> {
protected:
    void SetUp() override {
        SqlsimOptions o;
        o.scriptTexts = {FaultScript()};
        healthySim_ = std::make_unique<SqlsimProcess>(o);
        o.extraArgs = FaultArgs(GetParam());
        faultySim_ = std::make_unique<SqlsimProcess>(o);
        std::string error;
        ASSERT_TRUE(healthySim_->Start(error)) << error;
        ASSERT_TRUE(faultySim_->Start(error)) << error;
        healthy = EntryFor(*healthySim_);
        faulty = EntryFor(*faultySim_);
        ServerEntry stored = faulty;
        ServerAddToList(stored);
        Settings().Timeout = kTimeoutSeconds;
        SetErrorReportHandler([this](const ErrorReport& r) { reports.push_back(r); });
        registryBefore_ = test::ReadTextFile(env.RegistryFile());
        ASSERT_FALSE(registryBefore_.empty());
        if (GetParam() == Fault::RefusedLogin) {
            // Spend the faulty server's first login, so the operation's own login is refused.
            ASSERT_FALSE(GetServerVersion(faulty).empty());
            DropIdleConnections();
        }
    }

    void TearDown() override {
        SetErrorReportHandler(nullptr);
        DropIdleConnections();
        EXPECT_EQ(test::ReadTextFile(env.RegistryFile()), registryBefore_)
            << "the stored servers changed";
    }

    // Runs `op`, asserting it ends within `calls` command timeouts plus a second.
    void Timed(const std::function<void()>& op, int calls = 1) {
        const auto start = Clock::now();
        op();
        const auto took = Clock::now() - start;
        EXPECT_LE(took, std::chrono::seconds(calls * kTimeoutSeconds + 1))
            << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
    }

    // What the user was told: the command layer's failure box, or an error report, naming the
    // fault's error.
    void ExpectFaultReported(const std::string& command) {
        const Fault f = GetParam();
        std::string told;
        for (const auto& m : env.prompter.messages)
            told += m.text + "\n";
        for (const auto& r : reports)
            told += ErrorReportText(r) + "\n";
        ASSERT_FALSE(told.empty()) << "the failure went unreported";
        switch (f) {
        case Fault::Stall:
        case Fault::RefusedLogin: {
            ASSERT_FALSE(env.prompter.messages.empty()) << told;
            const ShownMessage& m = env.prompter.messages.front();
            // The command layer's own box comes first, naming the error and the command.
            EXPECT_EQ(m.text.rfind("Server connection failed.", 0), 0u) << m.text;
            const int32_t number = f == Fault::Stall ? kErrTimeout : kErrAuthentication;
            EXPECT_NE(m.text.find("Run time error: " + std::to_string(number)), std::string::npos)
                << m.text;
            if (!command.empty()) {
                EXPECT_NE(m.text.find("Command failed: \r\n\r\n" + command), std::string::npos)
                    << m.text;
            }
            EXPECT_EQ(m.icon, MsgIcon::Warning);
            if (f == Fault::RefusedLogin) {
                EXPECT_NE(told.find("Login failed for user 'sa'."), std::string::npos) << told;
            }
            break;
        }
        case Fault::ErrorMidResult:
            EXPECT_NE(told.find("Divide by zero error encountered."), std::string::npos) << told;
            break;
        case Fault::Drop:
            break; // the driver's words for a lost link vary; that something was said is enough
        }
    }

    test::TestEnv env;
    ServerEntry healthy;
    ServerEntry faulty;
    std::vector<ErrorReport> reports;

private:
    std::unique_ptr<SqlsimProcess> healthySim_;
    std::unique_ptr<SqlsimProcess> faultySim_;
    std::string registryBefore_;
};

const char* const kProcedureListing = "select name, refdate, id from sysobjects where "
                                      "OBJECTPROPERTY(id, N'IsProcedure') = 1 and xtype <> 'S'  "
                                      "order by name";

std::vector<std::string> Names(const ListControl& list) {
    std::vector<std::string> out;
    for (int row = 0; row < list.Count(); ++row)
        out.push_back(list.CellText(row, 0));
    return out;
}

TEST_P(CatalogFaults, ListingIsEmptyNotShortAndTheNextListingIsWhole) {
    MemoryListControl list;
    MemoryTextView view;
    Timed([&] { LoadObjects(faulty, list, view, kTypeProcedure, "FaultDb", true); });
    EXPECT_EQ(list.Count(), 0) << "a failed listing must not look like a short one";
    EXPECT_EQ(list.Tag(), "");
    ExpectFaultReported(kProcedureListing);

    if (GetParam() == Fault::RefusedLogin) {
        // The refusal was one login's: the same server answers the next attempt.
        env.prompter.messages.clear();
        LoadObjects(faulty, list, view, kTypeProcedure, "FaultDb", false);
        EXPECT_EQ(list.Count(), kProcedures);
        EXPECT_TRUE(env.prompter.messages.empty());
    }
    LoadObjects(healthy, list, view, kTypeProcedure, "FaultDb", true);
    ASSERT_EQ(list.Count(), kProcedures);
    EXPECT_EQ(Names(list).back(), "PLong");
    EXPECT_NE(view.Text().find("CREATE PROCEDURE dbo.P01"), std::string::npos) << view.Text();
}

TEST_P(CatalogFaults, TextIsClearedNotCutAndTheNextTextIsWhole) {
    MemoryListControl list;
    MemoryTextView view;
    LoadObjects(healthy, list, view, kTypeProcedure, "FaultDb", false);
    ASSERT_EQ(list.Count(), kProcedures);
    list.SetCurrentRow(kProcedures - 1);
    const int32_t id = std::stoi(list.CellText(kProcedures - 1, 2));
    view.SetText("previous object's text");
    Timed([&] { UpdateProcedureTextBox(faulty, view, list, kTypeProcedure, "FaultDb", "", 0); });
    EXPECT_EQ(view.Text(), "") << "a failed read must leave no text, neither old nor cut";
    EXPECT_EQ(list.Tag(), "");
    ExpectFaultReported("SELECT text FROM syscomments sc INNER JOIN sysobjects so ON sc.id = "
                        "so.id WHERE so.name = 'PLong' ORDER BY sc.colid");

    ServerEntry& next = GetParam() == Fault::RefusedLogin ? faulty : healthy;
    UpdateProcedureTextBox(next, view, list, kTypeProcedure, "FaultDb", "", id);
    EXPECT_EQ(view.Text().rfind("CREATE PROCEDURE dbo.PLong", 0), 0u) << view.Text();
    EXPECT_NE(view.Text().find("-- line 1599 of a long explanation"), std::string::npos);
}

TEST_P(CatalogFaults, ComparingTwoUnreadableObjectsNeverCallsThemIdentical) {
    MemoryListControl list[2];
    MemoryTextView view[2];
    for (auto& l : list) {
        MemoryTextView ignored;
        LoadObjects(healthy, l, ignored, kTypeProcedure, "FaultDb", false);
        ASSERT_EQ(l.Count(), kProcedures);
        l.SetCurrentRow(kProcedures - 1);
    }
    // Both panels on the failing server: each read ends within the timeout.
    for (int side = 0; side < 2; ++side)
        Timed([&] {
            UpdateProcedureTextBox(faulty, view[side], list[side], kTypeProcedure, "FaultDb", "",
                                   0);
        });
    ExpectFaultReported("");
    CompareRequest request;
    request.sourceView = &view[0];
    request.targetView = &view[1];
    request.names.TypeCode = kTypeProcedure;
    bool busy = false;
    int busyCalls = 0;
    request.services.setBusy = [&](bool b) {
        busy = b;
        ++busyCalls;
    };
    env.prompter.messages.clear();
    CompareResult r = CompareSelProcs(request);
    if (GetParam() == Fault::RefusedLogin && !view[1].Text().empty()) {
        // Only the first read met the refused login; the second got the text, so the two
        // differ and are compared as such.
        EXPECT_TRUE(r.Compared);
        EXPECT_FALSE(r.Identical);
    } else {
        EXPECT_FALSE(r.Compared);
        EXPECT_FALSE(r.Identical);
        ASSERT_EQ(env.prompter.messages.size(), 1u);
        EXPECT_EQ(env.prompter.messages[0].title, "Cannot Compare");
    }
    EXPECT_FALSE(busy) << "the busy flag must be cleared";
    EXPECT_GE(busyCalls, 2);

    // Healthy again: the same two objects compare identical.
    for (int side = 0; side < 2; ++side)
        UpdateProcedureTextBox(healthy, view[side], list[side], kTypeProcedure, "FaultDb", "", 0);
    r = CompareSelProcs(request);
    EXPECT_TRUE(r.Compared);
    EXPECT_TRUE(r.Identical);
}

TEST_P(CatalogFaults, CountFailsWithItsMessageOrIsRightAndTheNextCountIsRight) {
    std::string table = "T01";
    int32_t count = 0;
    Timed([&] { count = GetNumberOfRecordsInTable(faulty, table, "FaultDb"); });
    EXPECT_FALSE(QuietConnectionErrors) << "the quiet flag must be restored";
    EXPECT_EQ(table, "T01");
    if (GetParam() == Fault::Drop || GetParam() == Fault::ErrorMidResult) {
        // A count is one row, which no cut-off within a result reaches.
        EXPECT_EQ(count, kTableRows);
        EXPECT_TRUE(env.prompter.messages.empty());
        return;
    }
    EXPECT_EQ(count, -1);
    ASSERT_EQ(env.prompter.messages.size(), 1u);
    const ShownMessage& m = env.prompter.messages[0];
    EXPECT_EQ(m.icon, MsgIcon::Warning);
    EXPECT_EQ(m.text.rfind("Error while attempting to count records in table: ", 0), 0u) << m.text;
    if (GetParam() == Fault::RefusedLogin) {
        EXPECT_NE(m.text.find("Login failed for user 'sa'."), std::string::npos) << m.text;
    } else {
        EXPECT_NE(ToLowerAscii(m.text).find("timeout"), std::string::npos) << m.text;
    }

    ServerEntry& next = GetParam() == Fault::RefusedLogin ? faulty : healthy;
    EXPECT_EQ(GetNumberOfRecordsInTable(next, table, "FaultDb"), kTableRows);
}

class QuietRunner : public DbInfoRunner {
public:
    void StepStarted(int step, const std::string&) override { lastStep = step; }
    void ListingStarted() override {}
    void StepFinished(int step, const std::string&) override { finished = step; }
    void UpdateElapsed() override {}
    void ShowProgress(const std::string&) override {}
    int lastStep = -1;
    int finished = -1;
};

TEST_P(CatalogFaults, DatabaseInformationGivesNoReportOrTheAbortedOne) {
    QuietRunner runner;
    std::string text;
    bool complete = true;
    // Each of the six types is read once; a failure stops the analysis at the type it met.
    Timed([&] { complete = BuildDbInfoReport(runner, faulty, "FaultDb", "Jan 01, 2024", text); },
          1);
    EXPECT_FALSE(QuietConnectionErrors);
    if (complete) {
        // Only a failed row count may let the analysis run on, and then the report says so.
        EXPECT_NE(text.find(kReportAborted), std::string::npos) << text;
    } else {
        EXPECT_LT(runner.finished, 5);
    }
    EXPECT_EQ(text.find("There are no tables in this database."), std::string::npos) << text;
    EXPECT_EQ(text.find("There are no procedures in this database."), std::string::npos) << text;
    ExpectFaultReported("");

    QuietRunner again;
    ASSERT_TRUE(BuildDbInfoReport(again, healthy, "FaultDb", "Jan 01, 2024", text));
    EXPECT_NE(text.find("   1  T01 (30 records)\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("  12  PLong\r\n"), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(Faults, CatalogFaults,
                         ::testing::Values(Fault::Stall, Fault::Drop, Fault::ErrorMidResult,
                                           Fault::RefusedLogin),
                         [](const auto& info) { return std::string(FaultName(info.param)); });

} // namespace
} // namespace orv
