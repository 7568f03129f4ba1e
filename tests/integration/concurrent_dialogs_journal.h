// What the concurrent dialogs driver does and the journal it keeps, shared by the driver and
// the test that reads the journals back: the names, logins, passwords and option sets are
// derived from (copy, step), so both sides know them without passing them around.
#pragma once

#include "core/settings.h"

#include <array>
#include <cstdint>
#include <ctime>
#include <fcntl.h>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace orv::test {

// Distinct stored names that all reach the one simulator: the instance part is ignored by the
// driver once a port is given, and the dialogs compare names ignoring letter case only.
inline std::string ServerNameFor(int copy, int step, int port) {
    return "127.0.0.1\\C" + std::to_string(copy) + "N" + std::to_string(step) + "," +
           std::to_string(port);
}

// Options saves each copy makes after its last step.
constexpr int kFinalSaves = 6;

inline std::string LoginFor(int copy, int step) {
    return "c" + std::to_string(copy) + "u" + std::to_string(step);
}

// Quote, semicolon, brace, percent, blanks and letters outside ASCII: the characters that a
// careless connection string, log line or address would cut or mangle.
inline std::string PasswordFor(int copy, int step) {
    return "P'w;d}" + std::to_string(copy) + "% " + std::to_string(step) + " \xC3\xA9\xC3\x9F";
}

struct OptionCheck {
    const char* box;
    const char* key;
    const char* value;
};

inline const std::array<OptionCheck, 13> kOptionChecks = {{
    {"chkAutoConnect", kKeyServers, "AutoConnect"},
    {"chkShowOwners", kKeyServers, "ShowOwners"},
    {"chkCaseSensitive", kKeyComparisons, "CaseSensitive"},
    {"chkIgnoreWhitespaces", kKeyComparisons, "IgnoreWhitespace"},
    {"chkIgnoreComments", kKeyComparisons, "IgnoreComments"},
    {"chkIgnoreIndexes", kKeyComparisons, "IgnoreIndexes"},
    {"chkIgnoreSysObjects", kKeyComparisons, "IgnoreSysObjects"},
    {"chkDataComp", kKeyComparisons, "ShowDataCompOpt"},
    {"chkPreserveDbSel", kKeyMav, "PreserveDbSel"},
    {"chkIgnoreColSeq", kKeyComparisons, "IgnoreColSeq"},
    {"chkAutoSelTargetObj", kKeyMav, "AutoSelTargetObj"},
    {"chkAnalyzeConstraints", kKeyMav, "AnalyzeConstraints"},
    {"chkPrompt", kKeyComparisons, "PromptToSave"},
}};

// One save of the Options dialog. The two numbers are unique per (copy, step), so the stored
// MaxRowsInDiffTable names the save the rest of the stored set must come from.
struct OptionSet {
    std::array<bool, 13> checks{};
    bool serverSide = false;
    int32_t maxRows = 0;
    int32_t cacheSize = 0;

    std::string Text() const {
        std::string bits;
        for (bool b : checks)
            bits += b ? '1' : '0';
        return "rows=" + std::to_string(maxRows) + ";cache=" + std::to_string(cacheSize) +
               ";server=" + (serverSide ? "1" : "0") + ";checks=" + bits;
    }
};

inline OptionSet OptionSetFor(int copy, int step) {
    OptionSet s;
    // A pattern that differs between neighbouring saves and between the two copies.
    for (size_t i = 0; i < s.checks.size(); ++i)
        s.checks[i] = ((static_cast<int>(i) * 7 + step * 3 + copy * 5) % 4) < 2;
    s.serverSide = (step + copy) % 2 == 0;
    s.maxRows = 10 + copy * 100000 + step;
    s.cacheSize = 1 + copy * 1000 + step;
    return s;
}

inline int64_t MonotonicNs() {
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// Appends one line per event with a single write(2), so a copy killed at any moment leaves
// whole lines, and everything it reported done is on disk before its next step.
class Journal {
public:
    explicit Journal(const std::string& path)
        : fd_(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600)) {}
    ~Journal() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    void Begin(const std::string& kind, const std::string& what) { Write("BEGIN", kind, what); }
    void Done(const std::string& kind, const std::string& what) { Write("DONE", kind, what); }

private:
    void Write(const char* phase, const std::string& kind, const std::string& what) {
        const std::string line = std::string(phase) + " " + kind + " " +
                                 std::to_string(MonotonicNs()) + " " + what + "\n";
        if (fd_ >= 0 && ::write(fd_, line.data(), line.size()) < 0)
            ::_exit(4);
    }
    int fd_;
};

struct JournalEvent {
    bool done = false;
    std::string kind;
    int64_t ns = 0;
    std::string what;
};

inline std::vector<JournalEvent> ParseJournal(const std::string& text) {
    std::vector<JournalEvent> events;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream f(line);
        std::string phase;
        JournalEvent e;
        f >> phase >> e.kind >> e.ns;
        std::getline(f >> std::ws, e.what);
        e.done = phase == "DONE";
        events.push_back(e);
    }
    return events;
}

} // namespace orv::test
