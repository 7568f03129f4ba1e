// Who may log in: named logins with passwords, and optionally integrated logins.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace sqlsim::wire {

class Credentials {
public:
    // With no logins added, the one built-in login "sa" / "sqlsim" is accepted.
    void add(const std::string& name, const std::string& password);
    // "NAME:PASSWORD"; the password may itself contain ':'. Returns false without a ':'.
    bool addNamePassword(const std::string& namePassword);
    void setAllowIntegrated(bool allow) { allowIntegrated_ = allow; }
    bool allowIntegrated() const { return allowIntegrated_; }
    // Login names compare case-insensitively, passwords exactly.
    bool check(const std::string& name, const std::string& password) const;

private:
    std::vector<std::pair<std::string, std::string>> logins_;
    bool allowIntegrated_ = false;
};

} // namespace sqlsim::wire
