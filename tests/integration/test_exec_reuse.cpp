#include "core/settings.h"
#include "servers/exec_ado_cmd.h"
#include "servers/odbc_connection.h"
#include "servers_sim.h"

namespace orv::test {
namespace {

class ExecReuseTest : public ServersSimTest {
protected:
    // Two identical calls; true when the second one was served by the first one's connection.
    bool ServerResetsSessions() {
        ConnectionStats before = GetConnectionStats();
        Exec(Sa(), "SELECT 1 AS x", "Shop");
        Exec(Sa(), "SELECT 1 AS x", "Shop");
        return GetConnectionStats().reuses > before.reuses;
    }
};

#define SKIP_UNLESS_RESET()                                                                        \
    if (!ServerResetsSessions())                                                                   \
    GTEST_SKIP() << "the server refuses sp_reset_connection, so connections are not reused"

TEST_F(ExecReuseTest, WithoutReuseEveryCallLogsIn) {
    SetConnectionReuse(false);
    ConnectionStats before = GetConnectionStats();
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(Exec(Sa(), "SELECT 1 AS x", "Shop").result, 0);
    ConnectionStats after = GetConnectionStats();
    EXPECT_EQ(after.logins - before.logins, 3);
    EXPECT_EQ(after.reuses, before.reuses);
}

TEST_F(ExecReuseTest, RepeatedCallsShareOneLoginPerServerCredentialsAndDatabase) {
    SKIP_UNLESS_RESET();
    Settings().CursorLocation = kCursorClientSide;
    ConnectionStats before = GetConnectionStats();
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(Exec(Sa(), "SELECT Id FROM Items", "Shop").result, 0);
    ConnectionStats after = GetConnectionStats();
    EXPECT_EQ(after.logins - before.logins, 0);
    EXPECT_EQ(after.reuses - before.reuses, 5);

    // Another database is another login: a connection is never switched between databases.
    ASSERT_EQ(Exec(Sa(), "SELECT 1 AS x", "master").result, 0);
    EXPECT_EQ(GetConnectionStats().logins - after.logins, 1);
    EXPECT_EQ(sim_->Statements().back().database, "master");
}

TEST_F(ExecReuseTest, ReadOnlyCommandsFollowEachOtherWithoutAResetButOtherCommandsGetOne) {
    SKIP_UNLESS_RESET();
    auto count = [&] {
        ReadOnlyCommand readOnly;
        Call c = Exec(Sa(), "SELECT COUNT(*) AS RecsCount FROM [Items]", "Shop");
        return c.result == 0 && c.rs ? c.rs->Value("RecsCount").Long() : -1;
    };
    ASSERT_EQ(Exec(Sa(), "SELECT 1 AS x", "Shop").result, 0);
    ConnectionStats start = GetConnectionStats();
    // The first count reuses a connection that ran an ordinary command: it is reset.
    EXPECT_EQ(count(), 12);
    ConnectionStats afterFirst = GetConnectionStats();
    EXPECT_EQ(afterFirst.resets - start.resets, 1);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(count(), 12);
    ConnectionStats afterCounts = GetConnectionStats();
    EXPECT_EQ(afterCounts.resets, afterFirst.resets);
    EXPECT_EQ(afterCounts.logins, start.logins);
    // A command that changes the session makes the next user reset it, and sees none of it.
    Exec(Sa(), "SET ROWCOUNT 1", "Shop");
    Call all = Exec(Sa(), "SELECT Id FROM Items", "Shop");
    ASSERT_EQ(all.result, 0);
    int rows = 0;
    for (; !all.rs->IsEOF(); all.rs->MoveNext())
        ++rows;
    EXPECT_EQ(rows, 12);
    EXPECT_EQ(GetConnectionStats().resets - afterCounts.resets, 1);
}

TEST_F(ExecReuseTest, NothingOfOneCallReachesTheNext) {
    SKIP_UNLESS_RESET();
    Settings().CursorLocation = kCursorClientSide;
    ConnectionStats before = GetConnectionStats();
    Call moved = Exec(Sa(), "USE master", "Shop");
    ASSERT_EQ(moved.result, 0) << moved.errDescription;
    Call c = Exec(Sa(), "SELECT Id FROM Items", "Shop");
    ASSERT_EQ(c.result, 0) << c.errDescription;
    EXPECT_EQ(sim_->Statements().back().database, "Shop");
    EXPECT_EQ(c.rs->RecordCount(), 12);

    Call limited = Exec(Sa(), "SET ROWCOUNT 1", "Shop");
    if (limited.result == 0) {
        Call all = Exec(Sa(), "SELECT Id FROM Items", "Shop");
        ASSERT_EQ(all.result, 0) << all.errDescription;
        EXPECT_EQ(all.rs->RecordCount(), 12);
    }
    EXPECT_GT(GetConnectionStats().reuses, before.reuses);
}

TEST_F(ExecReuseTest, AServerSideRecordSetKeepsItsConnectionUntilItIsClosed) {
    SKIP_UNLESS_RESET();
    Settings().CursorLocation = kCursorServerSide;
    Settings().CacheSize = 2;
    Call held = Exec(Sa(), "SELECT Id FROM Items ORDER BY Id", "Shop");
    ASSERT_EQ(held.result, 0);
    ConnectionStats before = GetConnectionStats();
    // The held record set keeps its connection, so each further one needs a login of its own.
    Call other = Exec(Sa(), "SELECT Name FROM Items ORDER BY Id", "Shop");
    ASSERT_EQ(other.result, 0);
    Call third = Exec(Sa(), "SELECT Price FROM Items ORDER BY Id", "Shop");
    ASSERT_EQ(third.result, 0);
    EXPECT_EQ(GetConnectionStats().logins - before.logins, 2);
    // Both record sets still read their own rows, interleaved.
    held.rs->MoveNext();
    other.rs->MoveNext();
    EXPECT_EQ(held.rs->Value(0).Long(), 2);
    EXPECT_EQ(other.rs->Value(0).Text(), "");
    // Closed before their end, their connections still hold rows: they are not reused.
    held.rs->Close();
    other.rs->Close();
    ConnectionStats closed = GetConnectionStats();
    ASSERT_EQ(Exec(Sa(), "SELECT 1 AS x", "Shop").result, 0);
    EXPECT_EQ(GetConnectionStats().logins, closed.logins + 1);
    // Read to its end, a record set hands its connection back for the next call.
    while (!third.rs->IsEOF())
        third.rs->MoveNext();
    third.rs->Close();
    ConnectionStats drained = GetConnectionStats();
    ASSERT_EQ(Exec(Sa(), "SELECT 2 AS x", "Shop").result, 0);
    EXPECT_EQ(GetConnectionStats().logins, drained.logins);
}

} // namespace
} // namespace orv::test
