// One line per received batch or RPC, so a test can assert the exact text a client sent:
// "<database>\t<login>\t<text>\n" with backslash, CR, LF and TAB escaped.
#pragma once

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

namespace sqlsim::wire {

std::string escapeLogText(const std::string& text);

class StatementLog {
public:
    // Opens `path` for appending; returns false when it cannot.
    bool open(const std::string& path);
    bool isOpen() const { return file_ != nullptr; }
    // Writes and flushes one whole line; safe to call from several connections.
    void write(const std::string& database, const std::string& login, const std::string& text);

private:
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::mutex mutex_;
    std::unique_ptr<std::FILE, Closer> file_;
};

} // namespace sqlsim::wire
