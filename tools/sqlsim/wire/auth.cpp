#include "wire/auth.h"

#include "wire/rpc_sql.h"

namespace sqlsim::wire {

void Credentials::add(const std::string& name, const std::string& password) {
    logins_.emplace_back(name, password);
}

bool Credentials::addSpec(const std::string& spec) {
    size_t colon = spec.find(':');
    if (colon == std::string::npos || colon == 0)
        return false;
    add(spec.substr(0, colon), spec.substr(colon + 1));
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
