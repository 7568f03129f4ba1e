// A password nobody could mistake for anything else, the simulators that make every kind of
// connection failure happen with it, and the search for it in whatever the program wrote.
#pragma once

#include "core/error_report.h"
#include "sqlsim_process.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace orv::test {

// Quote, semicolon, brace, percent, blanks, letters outside ASCII and CJK: what a connection
// string, a log line or an address would cut, escape or re-encode. The two ASCII runs at its
// ends survive any of those encodings, so finding either means a piece of it got out.
inline const std::string kSecret = "Zq7Kx' ;}% \xC3\xB1\xC3\xA9 \xE9\xA3\x9E W\xE2\x82\xAC Wv3Jp";
inline const char* kSecretLogin = "dba";
inline const char* kOtherLogin = "wrongpw"; // the simulator knows it with another password
inline const char* kOtherPassword = "Other#Pass9";

// The ways a password can be written out; empty when `text` holds none of them.
inline std::string SecretIn(const std::string& text) {
    for (const std::string& form :
         {kSecret, FormEncode(kSecret), std::string("Zq7Kx"), std::string("Wv3Jp")})
        if (text.find(form) != std::string::npos)
            return "found \"" + form + "\"";
    return {};
}

// Every file below `folder`, read whole, searched for the password.
inline std::string SecretInFolder(const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file())
            continue;
        std::string bytes;
        if (FILE* f = std::fopen(it->path().c_str(), "rb")) {
            char buffer[65536];
            size_t n;
            while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
                bytes.append(buffer, n);
            std::fclose(f);
        }
        if (std::string found = SecretIn(bytes); !found.empty())
            return it->path().string() + ": " + found;
    }
    return {};
}

// A loopback port nothing listens on.
inline int ClosedPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(fd);
    return port;
}

inline const char* kSalesScript = "CREATE DATABASE Sales\nGO\nUSE Sales\nGO\n"
                                  "CREATE TABLE Orders (Id int NOT NULL, Note nvarchar(20) NULL)\n"
                                  "GO\nCREATE TABLE Customers (Id int NOT NULL)\nGO\n"
                                  "INSERT INTO Orders VALUES (1, N'a')\nGO\n";

// The simulators: a healthy one, one that stalls every batch, one that breaks off every result
// of more than one row with an error. All know the login with the secret password.
struct SecretSims {
    std::unique_ptr<SqlsimProcess> healthy, stalled, broken;
    std::string error;

    explicit SecretSims(double stallSeconds = 3) {
        auto make = [](std::vector<std::string> extra) {
            SqlsimOptions o;
            o.extraLogins = {std::string(kSecretLogin) + ":" + kSecret,
                             std::string(kOtherLogin) + ":" + kOtherPassword};
            o.scriptTexts = {kSalesScript};
            o.extraArgs = std::move(extra);
            return std::make_unique<SqlsimProcess>(o);
        };
        healthy = make({});
        stalled = make({"--fault-stall", std::to_string(stallSeconds)});
        broken = make({"--fault-error-mid-result", "1"});
        for (auto* sim : {healthy.get(), stalled.get(), broken.get()})
            if (error.empty() && !sim->Start(error) && error.empty())
                error = "a simulator did not start";
    }
};

// The five kinds of failure, each as the stored server that produces it and the database the
// program is asked for.
struct FailureKind {
    std::string name;
    std::string server;
    std::string login;
    std::string database;
};

// The stored names differ by an instance part the driver ignores once a port is given, so two
// kinds can reach one simulator under names of their own.
inline std::vector<FailureKind> FailureKinds(const SecretSims& sims) {
    auto at = [](const std::string& instance, int port) {
        return "127.0.0.1\\" + instance + "," + std::to_string(port);
    };
    return {
        {"wrong password", at("WRONGPW", sims.healthy->Port()), kOtherLogin, "Sales"},
        {"unknown database", at("NODB", sims.healthy->Port()), kSecretLogin, "NoSuchDb"},
        {"refused server", at("REFUSED", ClosedPort()), kSecretLogin, "Sales"},
        {"query error", at("BROKEN", sims.broken->Port()), kSecretLogin, "Sales"},
        {"timeout", at("STALLED", sims.stalled->Port()), kSecretLogin, "Sales"},
    };
}

} // namespace orv::test
