#include "core/log.h"
#include "core/registry.h"
#include "core/settings.h"
#include "servers/server_list.h"
#include "servers/server_probe.h"
#include "test_env.h"
#include "util/memory_list_control.h"

#include <gtest/gtest.h>

namespace orv {
namespace {

ServerEntry Entry(const std::string& name, bool sqlAuth = true, const std::string& db = "master") {
    ServerEntry e;
    e.Name = name;
    e.SQLAuth = sqlAuth;
    e.LoginName = sqlAuth ? "login_" + name : "";
    e.Pwd = sqlAuth ? "pw;" + name : "";
    e.MRUDb = db;
    return e;
}

std::string StoredName(int i) {
    return GetRegString(HKEY_CURRENT_USER, ServerKeyPath(i), "Name", "<missing>");
}

int32_t StoredCount() {
    return GetRegDword(HKEY_CURRENT_USER, kKeyServers, "Count", -99);
}

class ServerListTest : public ::testing::Test {
protected:
    void SetUp() override {
        ServerList().clear();
        PanelServers() = {};
    }
    void AddAll(std::initializer_list<const char*> names) {
        for (const char* n : names)
            ServerAddToList(Entry(n));
    }
    test::TestEnv env;
};

TEST_F(ServerListTest, AddingToAnEmptyStoreWritesCountAndEveryValueOfServer1) {
    EXPECT_EQ(ServerCount(), 0);
    EXPECT_FALSE(IsServerListLoaded());

    ServerEntry e = Entry("db1\\inst");
    e.Version = "8.00.2039";
    ServerAddToList(e);

    EXPECT_EQ(StoredCount(), 1);
    const std::string key = ServerKeyPath(1);
    EXPECT_EQ(key, "Software\\MAV\\Servers\\Server1");
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, key, "Name", ""), "db1\\inst");
    EXPECT_EQ(QueryRegDword(HKEY_CURRENT_USER, key, "SQLAuth"), std::optional<int32_t>(1));
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, key, "LoginName", ""), "login_db1\\inst");
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, key, "Pwd", ""), "pw;db1\\inst");
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, key, "MRUDb", ""), "master");
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, key, "Version", ""), "8.00.2039");

    ServerAddToList(Entry("win", false));
    EXPECT_EQ(QueryRegDword(HKEY_CURRENT_USER, ServerKeyPath(2), "SQLAuth"),
              std::optional<int32_t>(0));
    EXPECT_EQ(ServerCount(), 2);
    ASSERT_TRUE(IsServerListLoaded());
    ASSERT_EQ(ServerList().size(), 3u);
    EXPECT_EQ(ServerList()[2].Name, "win");
    EXPECT_EQ(ServerList()[2].EntryNumber, 2);
    EXPECT_FALSE(ServerList()[2].SQLAuth);
    EXPECT_EQ(env.LogTexts().back(), "ServerAddToList: win");
}

TEST_F(ServerListTest, RemovingRenumbersTheSurvivorsWithoutGaps) {
    struct Case {
        const char* remove;
        std::vector<std::string> expected;
    };
    const Case cases[] = {{"first", {"second", "third"}},
                          {"second", {"first", "third"}},
                          {"third", {"first", "second"}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.remove);
        for (int i = 1; i <= 3; ++i)
            DeleteRegKey(HKEY_CURRENT_USER, ServerKeyPath(i));
        SetRegDword(HKEY_CURRENT_USER, kKeyServers, "Count", 0);
        AddAll({"first", "second", "third"});

        RemoveServerFromList(c.remove);

        EXPECT_EQ(StoredCount(), 2);
        EXPECT_EQ(StoredName(1), c.expected[0]);
        EXPECT_EQ(StoredName(2), c.expected[1]);
        EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, ServerKeyPath(3)));
        // Every value moves with its entry, not just the name.
        EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, ServerKeyPath(2), "Pwd", ""),
                  "pw;" + c.expected[1]);
        ASSERT_EQ(ServerList().size(), 3u);
        EXPECT_EQ(ServerList()[2].EntryNumber, 2);
        EXPECT_EQ(ServerList()[2].Name, c.expected[1]);
    }
}

TEST_F(ServerListTest, RemovingTheOnlyServerEmptiesTheStoreButKeepsOtherServerSettings) {
    SetRegDword(HKEY_CURRENT_USER, kKeyServers, "AutoConnect", 1);
    AddAll({"only"});
    RemoveServerFromList("only");
    EXPECT_EQ(StoredCount(), 0);
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, ServerKeyPath(1)));
    EXPECT_TRUE(AutoConnect());
    EXPECT_FALSE(IsServerListLoaded());
    EXPECT_EQ(ServerCount(), 0);
}

TEST_F(ServerListTest, RemovingANameThatIsNotStoredOrDiffersInCaseChangesNothing) {
    AddAll({"alpha", "beta"});
    RemoveServerFromList("ALPHA");
    RemoveServerFromList("gamma");
    EXPECT_EQ(StoredCount(), 2);
    EXPECT_EQ(StoredName(1), "alpha");
    EXPECT_EQ(StoredName(2), "beta");
}

TEST_F(ServerListTest, FindServerMatchesExactlyAndWarnsOtherwise) {
    AddAll({"alpha", "Beta"});
    SetRegString(HKEY_CURRENT_USER, ServerKeyPath(2), "Version", "9.00.1399");

    ServerEntry found;
    found.Name = "Beta";
    found.Pwd = "stale";
    found.VersionMajor = 7;
    FindServer(found);
    EXPECT_EQ(found.EntryNumber, 2);
    EXPECT_TRUE(found.SQLAuth);
    EXPECT_EQ(found.LoginName, "login_Beta");
    EXPECT_EQ(found.Pwd, "pw;Beta");
    EXPECT_EQ(found.MRUDb, "master");
    EXPECT_EQ(found.Version, "9.00.1399");
    EXPECT_TRUE(env.prompter.messages.empty());

    ServerEntry missing = found;
    missing.Name = "beta";
    FindServer(missing);
    EXPECT_EQ(missing.Name, "beta");
    EXPECT_EQ(missing.EntryNumber, 0);
    EXPECT_FALSE(missing.SQLAuth);
    EXPECT_EQ(missing.Pwd, "");
    EXPECT_EQ(missing.Version, "");
    ASSERT_EQ(env.prompter.messages.size(), 1u);
    EXPECT_EQ(env.prompter.messages[0].icon, MsgIcon::Warning);
    EXPECT_EQ(env.prompter.messages[0].text, "Server 'beta' not found.");
}

TEST_F(ServerListTest, APasswordEditedByHandInTheStoreIsPickedUp) {
    AddAll({"alpha"});
    SetRegString(HKEY_CURRENT_USER, ServerKeyPath(1), "Pwd", "edited by hand");
    ServerEntry e;
    e.Name = "alpha";
    FindServer(e);
    EXPECT_EQ(e.Pwd, "edited by hand");
    LoadServerList();
    EXPECT_EQ(ServerList()[1].Pwd, "edited by hand");
    // Every stored value comes with the name, the encryption too.
    SetRegString(HKEY_CURRENT_USER, ServerKeyPath(1), "Encryption", "off");
    ServerEntry again;
    again.Name = "alpha";
    FindServer(again);
    EXPECT_EQ(again.Encryption, "off");
}

// A server's encryption is stored once it is not the default; a stored file of an earlier
// release (no value) and a value no release writes both read as "request".
TEST_F(ServerListTest, EncryptionIsStoredOnlyWhenItIsNotTheDefault) {
    ServerEntry plain = Entry("plain");
    ServerEntry strict = Entry("strict");
    strict.Encryption = "require";
    ServerEntry bare = Entry("bare");
    bare.Encryption = "off";
    for (const ServerEntry& e : {plain, strict, bare})
        ServerAddToList(e);
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, ServerKeyPath(1), "Encryption", "<missing>"),
              "<missing>");
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, ServerKeyPath(2), "Encryption", ""), "require");
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, ServerKeyPath(3), "Encryption", ""), "off");
    SetRegString(HKEY_CURRENT_USER, ServerKeyPath(1), "Encryption", "REQUIRE");
    SetRegString(HKEY_CURRENT_USER, ServerKeyPath(3), "Encryption", "always");
    LoadServerList();
    ASSERT_EQ(ServerList().size(), 4u);
    EXPECT_EQ(ServerList()[1].Encryption, "require");
    EXPECT_EQ(ServerList()[2].Encryption, "require");
    EXPECT_EQ(ServerList()[3].Encryption, "request");
    // Renumbered after a removal, each survivor's key says its own encryption, not what the
    // key held before.
    RemoveServerFromList("plain");
    LoadServerList();
    ASSERT_EQ(ServerList().size(), 3u);
    EXPECT_EQ(ServerList()[1].Name, "strict");
    EXPECT_EQ(ServerList()[1].Encryption, "require");
    EXPECT_EQ(ServerList()[2].Name, "bare");
    EXPECT_EQ(ServerList()[2].Encryption, "request");
}

TEST_F(ServerListTest, ACaFileIsStoredOnlyWhenGiven) {
    ServerEntry plain = Entry("plain");
    ServerEntry checked = Entry("checked");
    checked.CAFile = "/etc/ssl/our ca.pem";
    ServerAddToList(plain);
    ServerAddToList(checked);
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, ServerKeyPath(1), "CAFile", "<missing>"),
              "<missing>");
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, ServerKeyPath(2), "CAFile", ""),
              "/etc/ssl/our ca.pem");
    RemoveServerFromList("plain");
    LoadServerList();
    ASSERT_EQ(ServerList().size(), 2u);
    EXPECT_EQ(ServerList()[1].CAFile, "/etc/ssl/our ca.pem");
    // The survivor moved into the removed server's key: no CA file is left behind there.
    ServerEntry again = Entry("plain again");
    ServerAddToList(again);
    LoadServerList();
    EXPECT_EQ(ServerList()[2].CAFile, "");
}

TEST_F(ServerListTest, LoadingToleratesNegativeCountsAndMissingValues) {
    SetRegDword(HKEY_CURRENT_USER, kKeyServers, "Count", -3);
    EXPECT_EQ(ServerCount(), 0);
    EXPECT_FALSE(IsServerListLoaded());

    // Count says two, only Server1 exists; the second is listed with empty values.
    SetRegDword(HKEY_CURRENT_USER, kKeyServers, "Count", 2);
    SetRegString(HKEY_CURRENT_USER, ServerKeyPath(1), "Name", "one");
    SetRegString(HKEY_CURRENT_USER, ServerKeyPath(1), "SQLAuth", "1"); // text, not a DWORD
    EXPECT_EQ(ServerCount(), 2);
    ASSERT_TRUE(IsServerListLoaded());
    EXPECT_FALSE(ServerList()[1].SQLAuth);
    EXPECT_EQ(ServerList()[2].Name, "");
    EXPECT_EQ(ServerList()[2].EntryNumber, 2);

    MemoryListControl list;
    list.AddItem("left over");
    FillServerListBox(list);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.CellText(0, 0), "one");
    EXPECT_EQ(list.CellText(1, 0), "");
}

TEST_F(ServerListTest, PanelsTakeCopiesOfTheFirstServerWithItsMajorVersion) {
    ServerEntry first = Entry("first");
    first.Version = " 10.50.1600.1";
    first.Encryption = "require";
    ServerAddToList(first);
    ServerAddToList(Entry("second"));
    LoadServerList();
    ResetPanelServers();
    for (const ServerEntry& p : PanelServers()) {
        EXPECT_EQ(p.Name, "first");
        EXPECT_EQ(p.EntryNumber, 1);
        EXPECT_EQ(p.Pwd, "pw;first");
        EXPECT_EQ(p.VersionMajor, 10);
        EXPECT_EQ(p.Encryption, "require");
    }
    PanelServers()[0].MRUDb = "changed";
    EXPECT_EQ(ServerList()[1].MRUDb, "master");

    RemoveServerFromList("first");
    RemoveServerFromList("second");
    ResetPanelServers();
    EXPECT_EQ(PanelServers()[1].Name, "");
    EXPECT_EQ(PanelServers()[1].EntryNumber, 0);
}

TEST_F(ServerListTest, ServerExistsIgnoresLetterCaseAndLogsTheMatch) {
    EXPECT_FALSE(ServerExists("anything"));
    AddAll({"DbHost\\Inst", "other"});
    EXPECT_TRUE(ServerExists("dbhost\\INST"));
    EXPECT_EQ(env.LogTexts().back(), "ServerExists: dbhost\\inst");
    EXPECT_FALSE(ServerExists("dbhost"));
    // Nothing is changed by asking.
    EXPECT_EQ(StoredCount(), 2);
}

TEST(VersionMajor, TakesTheWholeNumberBeforeTheFirstDot) {
    EXPECT_EQ(VersionMajorOf("8.00.2039"), 8);
    EXPECT_EQ(VersionMajorOf("15.0.2000.5"), 15);
    EXPECT_EQ(VersionMajorOf("  9"), 9);
    EXPECT_EQ(VersionMajorOf(""), 0);
    EXPECT_EQ(VersionMajorOf("abc.1"), 0);
}

} // namespace
} // namespace orv
