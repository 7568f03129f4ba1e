#include "core/password_store.h"

#include "core/registry.h"
#include "core/registry_document.h"
#include "core/settings.h"

#include <mutex>

namespace orv {

namespace {

std::string ServerKey(int32_t i) {
    return std::string(kKeyServers) + "\\Server" + std::to_string(i);
}

// The registry file as a store: the Pwd value of the stored server whose name and login make
// the account. The server list writes that value itself, with the server's other values.
class FileStore final : public PasswordStore {
public:
    bool InRegistryFile() const override { return true; }
    std::string KeptText() const override {
        return "Passwords are kept in " + RegistryFilePath() + " (readable only by you).";
    }
    SecretRead Read(const std::string& account, std::string& password, std::string&) override {
        const RegistryDocument doc = RegistrySnapshot();
        const int32_t i = NumberOf(doc, account);
        if (i == 0)
            return SecretRead::Missing;
        if (!doc.Find("HKEY_CURRENT_USER\\" + ServerKey(i), "Pwd"))
            return SecretRead::Missing;
        password = GetRegString(doc, HKEY_CURRENT_USER, ServerKey(i), "Pwd", "");
        return SecretRead::Found;
    }
    bool Write(const std::string& account, const std::string& password,
               std::string& error) override {
        bool stored = false;
        const bool written = ModifyRegistry([&](RegistryDocument& doc) {
            const int32_t i = NumberOf(doc, account);
            stored = i > 0;
            if (stored)
                SetRegString(doc, HKEY_CURRENT_USER, ServerKey(i), "Pwd", password);
            return stored;
        });
        if (!stored)
            error = "no stored server has the account " + account + ".";
        else if (!written)
            error = RegistryFilePath() + " could not be written.";
        return stored && written;
    }
    bool Remove(const std::string& account, std::string&) override {
        ModifyRegistry([&](RegistryDocument& doc) {
            const int32_t i = NumberOf(doc, account);
            return i > 0 && DeleteRegValue(doc, HKEY_CURRENT_USER, ServerKey(i), "Pwd");
        });
        return true;
    }

private:
    static int32_t NumberOf(const RegistryDocument& doc, const std::string& account) {
        const int32_t n = GetRegDword(doc, HKEY_CURRENT_USER, kKeyServers, "Count", 0);
        for (int32_t i = 1; i <= n; ++i) {
            const std::string key = ServerKey(i);
            if (PasswordAccount(GetRegString(doc, HKEY_CURRENT_USER, key, "Name", ""),
                                GetRegString(doc, HKEY_CURRENT_USER, key, "LoginName", "")) ==
                account)
                return i;
        }
        return 0;
    }
};

std::mutex gStoreMutex;
std::shared_ptr<PasswordStore> gStore;

} // namespace

std::string PasswordAccount(const std::string& server, const std::string& login) {
    return server + "\\" + login;
}

std::shared_ptr<PasswordStore> RegistryFilePasswordStore() {
    static const std::shared_ptr<PasswordStore> file = std::make_shared<FileStore>();
    return file;
}

std::shared_ptr<PasswordStore> CurrentPasswordStore() {
    std::lock_guard<std::mutex> lock(gStoreMutex);
    return gStore ? gStore : RegistryFilePasswordStore();
}

void SetPasswordStore(std::shared_ptr<PasswordStore> store) {
    std::lock_guard<std::mutex> lock(gStoreMutex);
    gStore = std::move(store);
}

} // namespace orv
