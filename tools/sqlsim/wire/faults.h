// Faults the server can be told to inject, so that clients' handling of broken connections,
// slow answers, refused logins and errors in the middle of a result can be tested. All off
// (zero) unless a --fault-* option asks for them.
#pragma once

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdint>
#include <memory>
#include <string>

namespace sqlsim::wire {

struct Faults {
    // A result with more rows than this is cut off after this many by closing the connection.
    uint64_t dropAfterRows = 0;
    // Each SQL batch and procedure call waits this long before it runs; an attention ends the
    // wait and cancels the request.
    double stallSeconds = 0;
    // When not empty, only the requests whose statement text holds this (in any letter case)
    // stall: one long statement among quick ones, as a server busy with one big query.
    std::string stallOn;
    // Every Nth login of the server's lifetime is refused with 18456.
    uint64_t refuseLoginEvery = 0;
    // A result with more rows than this ends after this many with an error.
    uint64_t errorMidResult = 0;

    // Counts logins across every connection of the server.
    std::shared_ptr<std::atomic<uint64_t>> logins = std::make_shared<std::atomic<uint64_t>>(0);

    // Whether a request with this statement text waits first.
    bool stalls(const std::string& sql) const {
        if (stallSeconds <= 0)
            return false;
        if (stallOn.empty())
            return true;
        auto lower = [](unsigned char c) { return std::tolower(c); };
        return std::search(sql.begin(), sql.end(), stallOn.begin(), stallOn.end(),
                           [&](char a, char b) { return lower(a) == lower(b); }) != sql.end();
    }

    // Whether the login being handled now is one to refuse.
    bool refuseThisLogin() const {
        uint64_t n = ++*logins;
        return refuseLoginEvery != 0 && n % refuseLoginEvery == 0;
    }
};

} // namespace sqlsim::wire
