// Where the passwords of stored servers are kept: the desktop keyring (a Secret Service on the
// session bus) or, where none answers, the registry file itself (private to its user, mode
// 0600). Everything that reads or writes a server's password goes through this one interface;
// the keyring's implementation lives in src/keyring, so the rooms below stay free of Qt.
#pragma once

#include <memory>
#include <string>

namespace orv {

// The keyring's service name for every secret of ours.
constexpr const char* kPasswordService = "orvane";

// The account of one stored server's login in the keyring: "SERVER\login". A server name may
// hold a backslash itself (HOST\INSTANCE) but a SQL Server login cannot, so the last backslash
// is the one that separates them.
std::string PasswordAccount(const std::string& server, const std::string& login);

enum class SecretRead { Found, Missing, Failed };

class PasswordStore {
public:
    virtual ~PasswordStore() = default;
    // True for the registry file: a password is then one of its server's values, written with
    // the others in the same atomic replace.
    virtual bool InRegistryFile() const = 0;
    // Where the passwords are kept, as the About window and the log say it.
    virtual std::string KeptText() const = 0;
    virtual SecretRead Read(const std::string& account, std::string& password,
                            std::string& error) = 0;
    virtual bool Write(const std::string& account, const std::string& password,
                       std::string& error) = 0;
    // A secret that is not there is no error.
    virtual bool Remove(const std::string& account, std::string& error) = 0;
};

// The store of this process: the registry file until another was set (at start, once the
// program knows whether a keyring answers).
std::shared_ptr<PasswordStore> CurrentPasswordStore();
// nullptr goes back to the registry file.
void SetPasswordStore(std::shared_ptr<PasswordStore> store);
std::shared_ptr<PasswordStore> RegistryFilePasswordStore();

} // namespace orv
