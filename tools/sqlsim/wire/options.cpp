#include "wire/options.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace sqlsim::wire {

const char* const kUsage =
    "usage: sqlsim [--host 127.0.0.1] [--port N] [--port-file FILE] [--version TEXT]\n"
    "              [--login NAME:PASSWORD]... [--allow-integrated] [--statement-log FILE]\n"
    "              [--data-dir DIR] SCRIPT.sql...\n";

bool parseOptions(const std::vector<std::string>& args, Options& out, std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& dest) {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return false;
            }
            dest = args[++i];
            return true;
        };
        if (a == "--host") {
            if (!value(out.host))
                return false;
        } else if (a == "--port") {
            std::string v;
            if (!value(v))
                return false;
            unsigned port = 0;
            auto res = std::from_chars(v.data(), v.data() + v.size(), port);
            if (res.ec != std::errc() || res.ptr != v.data() + v.size() || port > 65535) {
                error = "bad port: " + v;
                return false;
            }
            out.port = static_cast<uint16_t>(port);
        } else if (a == "--port-file") {
            if (!value(out.portFile))
                return false;
        } else if (a == "--version") {
            if (!value(out.version))
                return false;
        } else if (a == "--login") {
            std::string v;
            if (!value(v))
                return false;
            if (v.find(':') == std::string::npos || v[0] == ':') {
                error = "--login wants NAME:PASSWORD, got " + v;
                return false;
            }
            out.logins.push_back(v);
        } else if (a == "--allow-integrated") {
            out.allowIntegrated = true;
        } else if (a == "--statement-log") {
            if (!value(out.statementLog))
                return false;
        } else if (a == "--data-dir") {
            if (!value(out.dataDir))
                return false;
        } else if (a.size() > 1 && a[0] == '-') {
            error = "unknown option " + a;
            return false;
        } else {
            out.scripts.push_back(a);
        }
    }
    return true;
}

bool writePortFile(const std::string& path, uint16_t port, std::string& error) {
    std::string tmp = path + ".tmp." + std::to_string(::getpid());
    std::string text = std::to_string(port) + "\n";
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = tmp + ": " + std::strerror(errno);
        return false;
    }
    bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ok = ::fsync(fd) == 0 && ok;
    ::close(fd);
    if (!ok || std::rename(tmp.c_str(), path.c_str()) != 0) {
        error = path + ": " + std::strerror(errno);
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
}

} // namespace sqlsim::wire
