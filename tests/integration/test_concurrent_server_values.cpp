// A panel record keeps the entry number its server had when it was read. Another running copy
// removing a server meanwhile renumbers the rest; what this copy then writes about its server
// (the remembered database, the learned version) must still land on that server.
#include "core/registry.h"
#include "servers/exec_ado_cmd.h"
#include "servers/server_list.h"
#include "test_env.h"

#include <gtest/gtest.h>

namespace orv::test {
namespace {

ServerEntry Stored(const std::string& name, const std::string& version = "") {
    ServerEntry e;
    e.Name = name;
    e.SQLAuth = true;
    e.LoginName = "sa";
    e.Pwd = "pw";
    e.MRUDb = "master";
    e.Version = version;
    return e;
}

// A name no connection can reach: a version must come from the registry or not at all.
const std::string kUnreachable = "127.0.0.1,1";

class ServerValuesAfterAPeersRemoval : public ::testing::Test {
protected:
    void SetUp() override {
        ServerAddToList(Stored("First"));
        ServerAddToList(Stored("Second", "8.00.2039"));
        ServerAddToList(Stored(kUnreachable, "10.50.1600.1"));
        panel_.Name = kUnreachable;
        FindServer(panel_);
        ASSERT_EQ(panel_.EntryNumber, 3);
        // The other copy removes the first server: ours is Server2 now, and there is no Server3.
        RemoveServerFromList("First");
    }
    static std::string ValueOf(int32_t i, const char* name) {
        return GetRegString(HKEY_CURRENT_USER, ServerKeyPath(i), name, "<none>");
    }
    TestEnv env_;
    ServerEntry panel_;
};

TEST_F(ServerValuesAfterAPeersRemoval, RememberedDatabaseGoesToTheSameServer) {
    SetStoredServerString(panel_, "MRUDb", "Sales");
    EXPECT_EQ(ValueOf(2, "Name"), kUnreachable);
    EXPECT_EQ(ValueOf(2, "MRUDb"), "Sales");
    EXPECT_EQ(ValueOf(1, "MRUDb"), "master");
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, ServerKeyPath(3)));
}

TEST_F(ServerValuesAfterAPeersRemoval, VersionIsReadFromTheSameServer) {
    panel_.Version.clear();
    CheckSQLServerVersion(panel_);
    EXPECT_EQ(panel_.Version, "10.50.1600.1");
    EXPECT_EQ(ValueOf(1, "Version"), "8.00.2039");
}

TEST_F(ServerValuesAfterAPeersRemoval, AServerRemovedMeanwhileIsNotWrittenBack) {
    RemoveServerFromList(kUnreachable);
    SetStoredServerString(panel_, "MRUDb", "Sales");
    EXPECT_EQ(ServerCount(), 1);
    EXPECT_EQ(ValueOf(1, "MRUDb"), "master");
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, ServerKeyPath(2)));
    EXPECT_EQ(GetStoredServerString(panel_, "Version"), "");
}

} // namespace
} // namespace orv::test
