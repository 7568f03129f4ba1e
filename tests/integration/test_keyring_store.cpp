// Stored servers' passwords under a real Secret Service: run by tests/support/with-keyring,
// which gives every test its own session bus and unlocked GNOME Keyring.
#include "core/password_store.h"
#include "core/registry.h"
#include "core/registry_document.h"
#include "keyring/keyring_store.h"
#include "servers/server_list.h"
#include "servers/server_transfer.h"
#include "sqlsim_process.h"
#include "test_env.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>

namespace orv::test {
namespace {

ServerEntry SqlServer(const std::string& name, const std::string& login,
                      const std::string& password) {
    ServerEntry e;
    e.Name = name;
    e.SQLAuth = true;
    e.LoginName = login;
    e.Pwd = password;
    e.MRUDb = "master";
    return e;
}

// The keyring's own answer, not the server list's.
std::string Secret(const std::string& server, const std::string& login) {
    std::string password, error;
    const SecretRead read =
        CurrentPasswordStore()->Read(PasswordAccount(server, login), password, error);
    EXPECT_NE(read, SecretRead::Failed) << error;
    return read == SecretRead::Found ? password : "<missing>";
}

class KeyringStore : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(UseDesktopKeyringWhenAvailable())
            << "no Secret Service answers: run this test through tests/support/with-keyring";
    }
    void TearDown() override { SetPasswordStore(nullptr); }
    std::string FileText() const { return ReadTextFile(env_.RegistryFile()); }
    TestEnv env_;
};

TEST_F(KeyringStore, ServerPasswordIsStoredReadChangedAndRemovedInTheKeyringOnly) {
    ServerAddToList(SqlServer("DB1\\PROD", "sa", "first secret"));
    ServerAddToList(SqlServer("DB2", "sa", "other secret"));
    EXPECT_EQ(Secret("DB1\\PROD", "sa"), "first secret");
    EXPECT_EQ(FileText().find("secret"), std::string::npos) << FileText();
    EXPECT_EQ(FileText().find("\"Pwd\""), std::string::npos) << FileText();
    EXPECT_EQ(CurrentPasswordStore()->KeptText(), "Passwords are kept in the desktop keyring.");

    LoadServerList();
    ASSERT_EQ(ServerList().size(), 3u);
    EXPECT_EQ(ServerList()[1].Pwd, "first secret");
    EXPECT_EQ(ServerList()[2].Pwd, "other secret");
    ServerEntry found;
    found.Name = "DB2";
    FindServer(found);
    EXPECT_EQ(found.Pwd, "other secret");

    // A changed password is the server stored again.
    RemoveServerFromList("DB1\\PROD");
    ServerAddToList(SqlServer("DB1\\PROD", "sa", "second secret"));
    EXPECT_EQ(Secret("DB1\\PROD", "sa"), "second secret");
    LoadServerList();
    EXPECT_EQ(ServerList()[2].Pwd, "second secret");

    RemoveServerFromList("DB1\\PROD");
    EXPECT_EQ(Secret("DB1\\PROD", "sa"), "<missing>");
    EXPECT_EQ(Secret("DB2", "sa"), "other secret");
    EXPECT_TRUE(env_.prompter.messages.empty());
}

// What an earlier release wrote, with the registry file as the store.
void StoreAsEarlierRelease(const std::vector<ServerEntry>& servers) {
    SetPasswordStore(RegistryFilePasswordStore());
    for (const auto& e : servers)
        ServerAddToList(e);
    ASSERT_TRUE(UseDesktopKeyringWhenAvailable());
}

TEST_F(KeyringStore, FirstStartMovesTheFilesPasswordsAndRewritesItWithout) {
    ServerEntry windows;
    windows.Name = "WINAUTH";
    StoreAsEarlierRelease(
        {SqlServer("A", "sa", "pw of a"), windows, SqlServer("B", "reader", "pw of b")});
    ASSERT_NE(FileText().find("pw of a"), std::string::npos);

    const PasswordMove move = MovePasswordsToKeyring();
    EXPECT_FALSE(move.failed);
    EXPECT_EQ(move.moved, 2);
    EXPECT_EQ(move.notice, "Stored passwords moved to the desktop keyring: 2 servers.");
    EXPECT_EQ(Secret("A", "sa"), "pw of a");
    EXPECT_EQ(Secret("B", "reader"), "pw of b");
    const std::string text = FileText();
    EXPECT_EQ(text.find("pw of"), std::string::npos) << text;
    EXPECT_EQ(text.find("\"Pwd\""), std::string::npos) << text;
    EXPECT_NE(text.find("\"LoginName\"=\"reader\""), std::string::npos) << text;
    struct stat st {};
    ASSERT_EQ(::stat(env_.RegistryFile().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(ServerCount(), 3);
    EXPECT_EQ(ServerList()[3].Pwd, "pw of b");
    EXPECT_NE(env_.LogText().find(move.notice), std::string::npos);

    // The next start finds nothing to move and says nothing.
    const PasswordMove again = MovePasswordsToKeyring();
    EXPECT_EQ(again.moved, 0);
    EXPECT_EQ(again.notice, "");
}

TEST_F(KeyringStore, PasswordLeftInTheFileServesUntilItIsMovedAndSurvivesARemoval) {
    StoreAsEarlierRelease({SqlServer("A", "sa", "pw of a"), SqlServer("B", "sa", "pw of b")});
    LoadServerList();
    EXPECT_EQ(ServerList()[1].Pwd, "pw of a");
    // Another server's removal rewrites the list: the unmoved password stays with its server.
    RemoveServerFromList("A");
    EXPECT_NE(FileText().find("pw of b"), std::string::npos);
    EXPECT_EQ(MovePasswordsToKeyring().moved, 1);
    EXPECT_EQ(Secret("B", "sa"), "pw of b");
}

// The keyring behind it, with every write or read failing as a refused prompt does.
class RefusingKeyring final : public PasswordStore {
public:
    explicit RefusingKeyring(bool refuseReads) : refuseReads_(refuseReads) {}
    bool InRegistryFile() const override { return false; }
    std::string KeptText() const override { return real_->KeptText(); }
    SecretRead Read(const std::string& account, std::string& password,
                    std::string& error) override {
        if (!refuseReads_)
            return real_->Read(account, password, error);
        error = "the desktop keyring was not unlocked";
        return SecretRead::Failed;
    }
    bool Write(const std::string&, const std::string&, std::string& error) override {
        error = "the desktop keyring was not unlocked";
        return false;
    }
    bool Remove(const std::string& account, std::string& error) override {
        return real_->Remove(account, error);
    }

private:
    bool refuseReads_;
    std::shared_ptr<PasswordStore> real_ = MakeKeyringPasswordStore();
};

TEST_F(KeyringStore, RefusedKeyringLosesNoPasswordAndNoServer) {
    StoreAsEarlierRelease({SqlServer("A", "sa", "pw of a"), SqlServer("B", "sa", "pw of b")});
    const std::string before = FileText();
    SetPasswordStore(std::make_shared<RefusingKeyring>(false));

    const PasswordMove move = MovePasswordsToKeyring();
    EXPECT_TRUE(move.failed);
    EXPECT_EQ(move.moved, 0);
    EXPECT_EQ(move.notice, "Stored passwords could not be moved to the desktop keyring: the "
                           "desktop keyring was not unlocked. They stay in " +
                               env_.RegistryFile() + ".");
    EXPECT_EQ(FileText(), before);

    // A new server is listed without its password, and never written to the file.
    ServerAddToList(SqlServer("C", "sa", "pw of c"));
    EXPECT_EQ(ServerCount(), 3);
    EXPECT_EQ(FileText().find("pw of c"), std::string::npos);
    ASSERT_EQ(env_.prompter.messages.size(), 1u);
    EXPECT_EQ(env_.prompter.messages[0].text,
              "The password of server 'C' could not be stored in the desktop keyring: the "
              "desktop keyring was not unlocked. The server is listed without it.");
}

TEST_F(KeyringStore, LockedKeyringThatStaysLockedKeepsTheServerListedAndAsksOnce) {
    ServerAddToList(SqlServer("A", "sa", "pw of a"));
    SetPasswordStore(std::make_shared<RefusingKeyring>(true));
    LoadServerList();
    LoadServerList();
    ASSERT_EQ(ServerList().size(), 2u);
    EXPECT_EQ(ServerList()[1].Name, "A");
    EXPECT_EQ(ServerList()[1].Pwd, "");
    ASSERT_EQ(env_.prompter.messages.size(), 1u);
    EXPECT_EQ(env_.prompter.messages[0].text,
              "The password of server 'A' could not be read from the desktop keyring: the "
              "desktop keyring was not unlocked. The server stays listed; its connections ask "
              "the server without a password until the keyring is unlocked.");
}

// A Windows export: UTF-16LE with its byte-order mark, CR LF line breaks.
std::string WindowsExport(const std::string& text) {
    std::string bytes = "\xFF\xFE";
    for (char c : text) {
        if (c == '\n') {
            bytes += '\r';
            bytes += '\0';
        }
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

TEST_F(KeyringStore, ImportedServersPasswordsGoToTheKeyringAndExportsLeaveThemOut) {
    ServerAddToList(SqlServer("HERE", "sa", "pw here"));
    const std::string import = env_.PathOf("from-windows.reg");
    ASSERT_TRUE(WriteTextFile(
        import, WindowsExport("Windows Registry Editor Version 5.00\n\n"
                              "[HKEY_CURRENT_USER\\Software\\MAV\\Servers]\n"
                              "\"Count\"=dword:00000003\n\n"
                              "[HKEY_CURRENT_USER\\Software\\MAV\\Servers\\Server1]\n"
                              "\"Name\"=\"PROD\\\\SALES\"\n\"SQLAuth\"=dword:00000001\n"
                              "\"LoginName\"=\"dba\"\n\"Pwd\"=\"pw \\\"sales\\\"\"\n"
                              "\"MRUDb\"=\"Sales\"\n\"Encryption\"=\"require\"\n"
                              "\"CAFile\"=\"/etc/ssl/sales-ca.pem\"\n\n"
                              "[HKEY_CURRENT_USER\\Software\\MAV\\Servers\\Server2]\n"
                              "\"Name\"=\"here\"\n\"SQLAuth\"=dword:00000001\n"
                              "\"LoginName\"=\"sa\"\n\"Pwd\"=\"other pw\"\n\n"
                              "[HKEY_CURRENT_USER\\Software\\MAV\\Servers\\Server3]\n"
                              "\"Name\"=\"WIN\"\n\"SQLAuth\"=dword:00000000\n\n")));
    const ServerTransfer in = ImportServersFromReg(import);
    ASSERT_TRUE(in.ok) << in.message;
    EXPECT_EQ(in.message, "Imported 2 servers from " + import +
                              ". 1 server was already stored and left as it is. Their "
                              "passwords went to the desktop keyring.");
    EXPECT_EQ(Secret("PROD\\SALES", "dba"), "pw \"sales\"");
    EXPECT_EQ(Secret("HERE", "sa"), "pw here"); // the stored one is not overwritten
    EXPECT_EQ(FileText().find("pw "), std::string::npos) << FileText();
    ASSERT_EQ(ServerCount(), 3);
    EXPECT_EQ(ServerList()[2].MRUDb, "Sales");
    // How the server must be reached comes along with it, and goes out again.
    EXPECT_EQ(ServerList()[2].Encryption, "require");
    EXPECT_EQ(ServerList()[2].CAFile, "/etc/ssl/sales-ca.pem");

    const std::string out = env_.PathOf("out.reg");
    const ServerTransfer without = ExportServersToReg(out, false);
    ASSERT_TRUE(without.ok) << without.message;
    EXPECT_EQ(without.message, "Exported 3 servers to " + out + " without passwords.");
    std::string text = ReadTextFile(out);
    EXPECT_EQ(text.find("Pwd"), std::string::npos) << text;
    EXPECT_NE(text.find("\"Name\"=\"PROD\\\\SALES\""), std::string::npos) << text;
    EXPECT_NE(text.find("\"Encryption\"=\"require\""), std::string::npos) << text;
    EXPECT_NE(text.find("\"CAFile\"=\"/etc/ssl/sales-ca.pem\""), std::string::npos) << text;

    ASSERT_TRUE(ExportServersToReg(out, true).ok);
    text = ReadTextFile(out);
    EXPECT_NE(text.find("\"Pwd\"=\"pw \\\"sales\\\"\""), std::string::npos) << text;
    EXPECT_NE(text.find("\"Pwd\"=\"pw here\""), std::string::npos) << text;
    struct stat st {};
    ASSERT_EQ(::stat(out.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // The export with passwords comes back whole into an empty list.
    RemoveServerFromList("PROD\\SALES");
    EXPECT_EQ(Secret("PROD\\SALES", "dba"), "<missing>");
    TestEnv other;
    const ServerTransfer back = ImportServersFromReg(out);
    ASSERT_TRUE(back.ok) << back.message;
    EXPECT_EQ(back.servers, 3);
    EXPECT_EQ(Secret("PROD\\SALES", "dba"), "pw \"sales\"");
    EXPECT_EQ(ReadTextFile(other.RegistryFile()).find("pw "), std::string::npos);
    EXPECT_EQ(Secret("PROD\\SALES", "dba"), "pw \"sales\"");
}

// orvane-cli finds the stored server's password in the keyring: the file has none, and with the
// secret gone the same command is refused by the server.
TEST_F(KeyringStore, CommandLineConnectsWithThePasswordFromTheKeyring) {
    SqlsimOptions options;
    options.extraLogins.push_back("kr_reader:Keyring #1 secret");
    SqlsimProcess sim(options);
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    const std::string xdg = env_.PathOf("xdg");
    std::filesystem::create_directories(xdg + "/orvane");
    SetRegistryFilePath(xdg + "/orvane/registry.reg");
    ServerAddToList(SqlServer(sim.ServerName(), "kr_reader", "Keyring #1 secret"));
    ASSERT_EQ(ReadTextFile(xdg + "/orvane/registry.reg").find("Keyring #1"), std::string::npos);

    const std::string out = env_.PathOf("cli.txt");
    const std::string command = "XDG_CONFIG_HOME='" + xdg + "' '" + ORV_CLI_PATH + "' list '" +
                                sim.ServerName() + "' master tables > '" + out + "' 2>&1";
    int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadTextFile(out);

    ASSERT_TRUE(
        CurrentPasswordStore()->Remove(PasswordAccount(sim.ServerName(), "kr_reader"), error))
        << error;
    status = std::system(command.c_str());
    EXPECT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadTextFile(out);
    // Login failed, as ADO numbers it.
    EXPECT_NE(ReadTextFile(out).find("-2147217843"), std::string::npos) << ReadTextFile(out);
}

} // namespace
} // namespace orv::test
