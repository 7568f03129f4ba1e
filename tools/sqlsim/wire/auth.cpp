#include "wire/auth.h"

#include "wire/rpc_sql.h"

namespace sqlsim::wire {

void Credentials::add(const std::string& name, const std::string& password) {
    logins_.emplace_back(name, password);
}

bool Credentials::addNamePassword(const std::string& namePassword) {
    size_t colon = namePassword.find(':');
    if (colon == std::string::npos || colon == 0)
        return false;
    add(namePassword.substr(0, colon), namePassword.substr(colon + 1));
    return true;
}

bool Credentials::check(const std::string& name, const std::string& password) const {
    if (logins_.empty())
        return lowerAscii(name) == "sa" && password == "sqlsim";
    for (const auto& [n, p] : logins_) {
        if (lowerAscii(n) == lowerAscii(name) && p == password)
            return true;
    }
    return false;
}

} // namespace sqlsim::wire
