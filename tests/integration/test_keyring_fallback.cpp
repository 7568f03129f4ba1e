// Without a Secret Service (a bare server, a CI machine): run by tests/support/with-keyring
// --no-bus, the registry file stays the store of passwords, private to its user.
#include "core/password_store.h"
#include "keyring/keyring_store.h"
#include "servers/server_list.h"
#include "test_env.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace orv::test {
namespace {

TEST(NoKeyring, RegistryFileKeepsPasswordsPrivatelyAndSaysWhere) {
    TestEnv env;
    EXPECT_FALSE(SecretServiceAvailable());
    EXPECT_FALSE(UseDesktopKeyringWhenAvailable());
    EXPECT_TRUE(CurrentPasswordStore()->InRegistryFile());
    EXPECT_EQ(CurrentPasswordStore()->KeptText(),
              "Passwords are kept in " + env.RegistryFile() + " (readable only by you).");

    ServerEntry e;
    e.Name = "A";
    e.SQLAuth = true;
    e.LoginName = "sa";
    e.Pwd = "pw of a";
    ServerAddToList(e);
    EXPECT_NE(ReadTextFile(env.RegistryFile()).find("\"Pwd\"=\"pw of a\""), std::string::npos);
    struct stat st {};
    ASSERT_EQ(::stat(env.RegistryFile().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(ServerCount(), 1);
    EXPECT_EQ(ServerList()[1].Pwd, "pw of a");

    // The file as a store on its own: by the server's name and login.
    std::string password, error;
    const auto store = CurrentPasswordStore();
    EXPECT_EQ(store->Read(PasswordAccount("A", "sa"), password, error), SecretRead::Found);
    EXPECT_EQ(password, "pw of a");
    EXPECT_TRUE(store->Write(PasswordAccount("A", "sa"), "new pw", error)) << error;
    EXPECT_FALSE(store->Write(PasswordAccount("A", "other"), "x", error));
    EXPECT_TRUE(store->Remove(PasswordAccount("A", "sa"), error));
    EXPECT_EQ(store->Read(PasswordAccount("A", "sa"), password, error), SecretRead::Missing);

    // Nothing to move without a keyring.
    EXPECT_EQ(MovePasswordsToKeyring().moved, 0);
}

} // namespace
} // namespace orv::test
