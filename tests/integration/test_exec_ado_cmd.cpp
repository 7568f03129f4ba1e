#include "core/program_info.h"
#include "core/registry.h"
#include "core/settings.h"
#include "servers/odbc_error.h"
#include "servers/server_list.h"
#include "servers/server_recordset.h"
#include "servers_sim.h"
#include "util/text.h"

#include <algorithm>
#include <chrono>

namespace orv::test {
namespace {

bool LogHas(const TestEnv& env, const std::string& line) {
    auto lines = env.LogTexts();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::string FailureBox(int32_t number, const std::string& description, const std::string& sql) {
    return "Server connection failed.\r\n\r\nRun time error: " + std::to_string(number) + "\r\n" +
           description + "\r\n\r\nCommand failed: \r\n\r\n" + sql;
}

const char* kItemsQuery =
    "SELECT Id, Name, Price, Added, Active, Raw, Ratio FROM Items ORDER BY Id";

using ExecAdoCmdTest = ServersSimTest;

TEST_F(ExecAdoCmdTest, ClientSideCursorReturnsEveryRowWithItsValuesAndLogsTheSteps) {
    Settings().CursorLocation = kCursorClientSide;
    Call c = Exec(Sa(), kItemsQuery, "Shop");
    ASSERT_EQ(c.result, 0) << c.errDescription;
    ASSERT_TRUE(c.rs && c.rs->IsOpen());
    EXPECT_EQ(c.rs->RecordCount(), 12);
    EXPECT_EQ(c.rs->FieldCount(), 7);
    EXPECT_EQ(c.rs->Field(1).name, "Name");

    Recordset& rs = *c.rs;
    EXPECT_EQ(rs.Value("id").Long(), 1);
    EXPECT_EQ(rs.Value("Name").Text(), "Zürich €");
    EXPECT_EQ(rs.Value("Price").kind, FieldValue::Kind::Decimal);
    EXPECT_EQ(rs.Value("Price").Text(), "12.50");
    EXPECT_EQ(rs.Value("Added").kind, FieldValue::Kind::DateTime);
    EXPECT_EQ(rs.Value("Added").text, "2024-03-05 14:07:09.123");
    EXPECT_EQ(rs.Value("Active").kind, FieldValue::Kind::Bool);
    EXPECT_EQ(rs.Value("Active").Text(), "True");
    EXPECT_EQ(rs.Value("Raw").text, std::string("\x00\xFF\x10", 3));
    EXPECT_DOUBLE_EQ(rs.Value("Ratio").real, 0.25);
    rs.MoveNext();
    for (int i = 0; i < rs.FieldCount(); ++i)
        EXPECT_TRUE(i == 0 || rs.Value(i).IsNull()) << rs.Field(i).name;
    int64_t seen = 2;
    for (rs.MoveNext(); !rs.IsEOF(); rs.MoveNext())
        ++seen;
    EXPECT_EQ(seen, 12);

    EXPECT_TRUE(LogHas(env, "Conn. string: Provider=SQLOLEDB.1;Persist Security Info=False;"
                            "Data Source=" +
                                sim_->ServerName() +
                                ";Initial Catalog=Shop;Password=********;User ID=sa"));
    EXPECT_TRUE(LogHas(env, "CursorLocation: 3"));
    EXPECT_TRUE(LogHas(env, "After executing Open statement"));
    EXPECT_TRUE(env.prompter.messages.empty());
    auto statements = sim_->Statements();
    ASSERT_FALSE(statements.empty());
    EXPECT_EQ(statements.back().sql, kItemsQuery);
    EXPECT_EQ(statements.back().database, "Shop");
    EXPECT_EQ(statements.back().login, "sa");
    // The hourglass was shown for the call and the pointer put back.
    ASSERT_GE(env.prompter.pointerHistory.size(), 2u);
    EXPECT_EQ(env.prompter.pointerHistory.front(), kPointerHourglass);
    EXPECT_EQ(env.prompter.pointer, kPointerDefault);
}

TEST_F(ExecAdoCmdTest, ServerSideCursorReadsInBlocksOfTheCacheSizeAndStartsOverWithoutRerunning) {
    Settings().CursorLocation = kCursorServerSide;
    Settings().CacheSize = 5;
    Call c = Exec(Sa(), kItemsQuery, "Shop");
    ASSERT_EQ(c.result, 0) << c.errDescription;
    auto* rs = dynamic_cast<ServerRecordset*>(c.rs.get());
    ASSERT_NE(rs, nullptr);
    EXPECT_TRUE(LogHas(env, "CursorLocation: 2"));
    EXPECT_EQ(rs->RowsFetched(), 5u);
    EXPECT_EQ(rs->RecordCount(), -1);
    EXPECT_FALSE(rs->IsBOF());

    std::vector<int64_t> ids;
    for (; !rs->IsEOF(); rs->MoveNext()) {
        ids.push_back(rs->Value("Id").Long());
        EXPECT_LE(rs->RowsFetched(), ((ids.size() + 4) / 5) * 5 + 5);
    }
    ASSERT_EQ(ids.size(), 12u);
    EXPECT_EQ(ids.front(), 1);
    EXPECT_EQ(ids.back(), 12);
    EXPECT_EQ(rs->RecordCount(), 12);

    const size_t statementsBefore = sim_->Statements().size();
    rs->MoveFirst();
    EXPECT_EQ(rs->Value("Id").Long(), 1);
    EXPECT_EQ(rs->Value("Name").Text(), "Zürich €");
    EXPECT_EQ(sim_->Statements().size(), statementsBefore);
    rs->Close();
    EXPECT_FALSE(rs->IsOpen());
}

TEST_F(ExecAdoCmdTest, AForwardOnlyReaderKeepsOneBlockInMemory) {
    Settings().CursorLocation = kCursorServerSide;
    Settings().CacheSize = 5;
    Call c = Exec(Sa(), kItemsQuery, "Shop");
    ASSERT_EQ(c.result, 0) << c.errDescription;
    auto* rs = dynamic_cast<ServerRecordset*>(c.rs.get());
    ASSERT_NE(rs, nullptr);
    rs->SetForwardOnly(true);
    std::vector<int64_t> ids;
    for (rs->MoveFirst(); !rs->IsEOF(); rs->MoveNext()) {
        ids.push_back(rs->Value("Id").Long());
        EXPECT_LE(rs->RowsHeld(), 5u);
    }
    ASSERT_EQ(ids.size(), 12u);
    for (size_t i = 0; i < ids.size(); ++i)
        EXPECT_EQ(ids[i], static_cast<int64_t>(i + 1));
    EXPECT_EQ(rs->RecordCount(), 12);
    EXPECT_EQ(rs->RowsFetched(), 12u);
    EXPECT_FALSE(rs->IsBOF());
}

TEST_F(ExecAdoCmdTest, EmptyResultAndTextsOutsideTheCodePageSurvive) {
    for (int cursor : {kCursorClientSide, kCursorServerSide}) {
        SCOPED_TRACE(cursor);
        Settings().CursorLocation = cursor;
        Call c = Exec(Sa(), "SELECT Id FROM Items WHERE Id > 100", "Shop");
        ASSERT_EQ(c.result, 0) << c.errDescription;
        EXPECT_TRUE(c.rs->IsBOF());
        EXPECT_TRUE(c.rs->IsEOF());
        EXPECT_TRUE(c.rs->Value(0).IsNull());

        Call u = Exec(Sa(), "SELECT N'Grüße – ✓ 日本' AS t", "Shop");
        ASSERT_EQ(u.result, 0) << u.errDescription;
        EXPECT_EQ(u.rs->Value("t").Text(), "Grüße – ✓ 日本");
        EXPECT_EQ(sim_->Statements().back().sql, "SELECT N'Grüße – ✓ 日本' AS t");
    }
}

TEST_F(ExecAdoCmdTest, EmptyCommandTextOnlyLogsInWithoutACatalog) {
    RecordsetPtr untouched;
    int32_t errNumber = 0;
    std::string errDescription;
    EXPECT_EQ(ExecAdoCmd(Sa(), kAdCmdText, "", untouched, "Shop", errNumber, errDescription), 0);
    EXPECT_EQ(untouched, nullptr);
    EXPECT_EQ(errNumber, 0);
    EXPECT_TRUE(LogHas(env, "Conn. string: Provider=SQLOLEDB.1;Persist Security Info=False;"
                            "Data Source=" +
                                sim_->ServerName() + ";Password=********;User ID=sa"));
    EXPECT_TRUE(env.prompter.messages.empty());

    EXPECT_EQ(ExecAdoCmd(Sa("wrong"), kAdCmdText, "", untouched, "", errNumber, errDescription),
              -1);
    EXPECT_EQ(untouched, nullptr);
    EXPECT_EQ(errNumber, kErrAuthentication);
    EXPECT_EQ(errDescription, "Login failed for user 'sa'.");
    ASSERT_EQ(env.prompter.messages.size(), 1u);
    EXPECT_EQ(env.prompter.messages[0].text, FailureBox(errNumber, errDescription, ""));
}

TEST_F(ExecAdoCmdTest, FailuresGiveTheClassicNumberTheServersMessageTheBoxAndTheLogLine) {
    struct Case {
        const char* what;
        std::string password;
        std::string database;
        std::string sql;
        int32_t number;
        std::string descriptionStart;
    };
    const Case cases[] = {
        {"wrong password", "nope", "Shop", "SELECT 1 AS x", -2147217843,
         "Login failed for user 'sa'."},
        {"unknown database", "Sim#Pass1", "NoSuchDb", "SELECT 1 AS x", -2147217843,
         "Cannot open database"},
        {"unknown table", "Sim#Pass1", "Shop", "SELECT * FROM Nope", -2147217865,
         "Invalid object name 'Nope'."},
        {"syntax error", "Sim#Pass1", "Shop", "SELEC * FROM Items", -2147217900,
         "Incorrect syntax near"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        for (bool quiet : {false, true}) {
            env.prompter.messages.clear();
            QuietConnectionErrors = quiet;
            Call c = Exec(Sa(k.password), k.sql, k.database);
            EXPECT_EQ(c.result, -1);
            EXPECT_EQ(c.errNumber, k.number);
            EXPECT_EQ(c.errDescription.rfind(k.descriptionStart, 0), 0u) << c.errDescription;
            EXPECT_TRUE(LogHas(env, "Error " + std::to_string(k.number) + ": " + c.errDescription));
            if (quiet) {
                EXPECT_TRUE(env.prompter.messages.empty());
                continue;
            }
            ASSERT_EQ(env.prompter.messages.size(), 1u);
            const ShownMessage& m = env.prompter.messages[0];
            EXPECT_EQ(m.icon, MsgIcon::Warning);
            EXPECT_EQ(m.title, "orvane");
            EXPECT_EQ(m.text, FailureBox(c.errNumber, c.errDescription, k.sql));
        }
    }
    QuietConnectionErrors = false;
}

TEST_F(ExecAdoCmdTest, AServerThatCannotBeReachedIsAGeneralFailure) {
    ServerEntry gone = Sa();
    gone.Name = "127.0.0.1,1";
    Call c = Exec(gone, "SELECT 1 AS x", "master");
    EXPECT_EQ(c.result, -1);
    EXPECT_EQ(c.errNumber, -2147467259);
    EXPECT_FALSE(c.errDescription.empty());
    EXPECT_EQ(c.rs, nullptr);
}

TEST_F(ExecAdoCmdTest, TheTimeoutCancelsALongCommand) {
    Settings().Timeout = 1;
    auto start = std::chrono::steady_clock::now();
    Call c = Exec(Sa(), "WAITFOR DELAY '00:00:05'", "Shop");
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(c.result, -1);
    EXPECT_EQ(c.errNumber, kErrTimeout) << c.errDescription;
    EXPECT_LT(elapsed, std::chrono::seconds(2));

    // The next call still works, on a connection of its own.
    Settings().Timeout = 30;
    Call next = Exec(Sa(), "SELECT 1 AS x", "Shop");
    EXPECT_EQ(next.result, 0) << next.errDescription;
}

TEST_F(ExecAdoCmdTest, APasswordFullOfSeparatorsLogsInAndNeverReachesTheLogOrAMessage) {
    ServerEntry odd = Sa(kOddPassword);
    odd.LoginName = kOddLogin;
    Call c = Exec(odd, "SELECT 1 AS x", "Shop");
    ASSERT_EQ(c.result, 0) << c.errDescription;
    EXPECT_EQ(sim_->Statements().back().login, kOddLogin);

    Exec(Sa("Sim#Pass1;extra"), "SELECT 1 AS x", "Shop"); // refused, message shown
    Exec(Sa(), "SELECT * FROM Nope", "Shop");
    const std::string log = env.LogText();
    ASSERT_FALSE(log.empty());
    for (const char* secret : {kOddPassword, "Sim#Pass1"}) {
        EXPECT_EQ(log.find(secret), std::string::npos) << secret;
        for (const auto& m : env.prompter.messages)
            EXPECT_EQ(m.text.find(secret), std::string::npos) << secret;
    }
}

TEST_F(ExecAdoCmdTest, ServerVersionIsReadQuietly) {
    QuietConnectionErrors = false;
    EXPECT_EQ(GetServerVersion(Sa()), "8.00.2039");
    EXPECT_EQ(sim_->Statements().back().sql,
              "SELECT serverproperty('ProductVersion') AS ServerVer");
    EXPECT_TRUE(EqualsNoCase(sim_->Statements().back().database, "master"));

    EXPECT_EQ(GetServerVersion(Sa("refused")), "");
    EXPECT_TRUE(env.prompter.messages.empty());
    EXPECT_FALSE(QuietConnectionErrors);
    QuietConnectionErrors = true;
    GetServerVersion(Sa("refused"));
    EXPECT_TRUE(QuietConnectionErrors);
}

TEST_F(ExecAdoCmdTest, CheckVersionPrefersTheEntryThenTheStoreThenAsksTheServerAndStoresTheAnswer) {
    ServerEntry stored = Sa();
    ServerAddToList(stored);
    ServerEntry entry = Sa();
    entry.EntryNumber = 1;

    CheckSQLServerVersion(entry);
    EXPECT_EQ(entry.Version, "8.00.2039");
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, ServerKeyPath(1), "Version", ""), "8.00.2039");

    sim_->ClearStatements();
    SetRegString(HKEY_CURRENT_USER, ServerKeyPath(1), "Version", "9.00.1399");
    ServerEntry again = Sa();
    again.EntryNumber = 1;
    CheckSQLServerVersion(again);
    EXPECT_EQ(again.Version, "9.00.1399");
    ServerEntry known = Sa();
    known.EntryNumber = 1;
    known.Version = "10.0";
    CheckSQLServerVersion(known);
    EXPECT_EQ(known.Version, "10.0");
    EXPECT_TRUE(sim_->Statements().empty());

    // A refused server leaves both the entry and the store as they were.
    SetRegString(HKEY_CURRENT_USER, ServerKeyPath(1), "Version", "");
    ServerEntry refused = Sa("refused");
    refused.EntryNumber = 1;
    CheckSQLServerVersion(refused);
    EXPECT_EQ(refused.Version, "");
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, ServerKeyPath(1), "Version", "x"), "");
    EXPECT_TRUE(env.prompter.messages.empty());
}

TEST_F(ExecAdoCmdTest, UnsupportedParameterTypesFailTheCallInsteadOfEndingTheProgram) {
    std::vector<CommandValue> inputs = {FieldValue::Dec("1.5")};
    RecordsetPtr rs;
    int32_t errNumber = 0;
    std::string errDescription;
    QuietConnectionErrors = true;
    EXPECT_EQ(ExecAdoCmd(Sa(), kAdCmdText, "SELECT Id FROM Items WHERE Price > ?", rs, "Shop",
                         errNumber, errDescription, &inputs),
              -1);
    EXPECT_EQ(errDescription, "Data Type Decimal not currently handled");
    ASSERT_EQ(env.prompter.messages.size(), 1u);
    EXPECT_EQ(env.prompter.messages[0].icon, MsgIcon::Error);
}

} // namespace
} // namespace orv::test
