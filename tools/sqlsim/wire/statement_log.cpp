#include "wire/statement_log.h"

namespace sqlsim::wire {

std::string escapeLogText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += c;
        }
    }
    return out;
}

bool StatementLog::open(const std::string& path) {
    file_.reset(std::fopen(path.c_str(), "a"));
    return file_ != nullptr;
}

void StatementLog::write(const std::string& database, const std::string& login,
                         const std::string& text) {
    if (!file_)
        return;
    std::string line =
        escapeLogText(database) + "\t" + escapeLogText(login) + "\t" + escapeLogText(text) + "\n";
    std::lock_guard lock(mutex_);
    std::fwrite(line.data(), 1, line.size(), file_.get());
    std::fflush(file_.get());
}

} // namespace sqlsim::wire
