#include "wire/options.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace sqlsim::wire {

const char* const kUsage =
    "usage: sqlsim [--host 127.0.0.1] [--port N] [--port-file FILE] [--version TEXT]\n"
    "              [--login NAME:PASSWORD]... [--allow-integrated] [--statement-log FILE]\n"
    "              [--data-dir DIR] [--latency-ms N] [--bandwidth-kbps N]\n"
    "              [--tls-cert FILE --tls-key FILE [--tls-require]]\n"
    "              [--fault-... N]... SCRIPT.sql...\n"
    "       sqlsim --help\n"
    "\n"
    "Encryption, as SQL Server negotiates it in PRELOGIN (without a certificate none is\n"
    "offered and every client logs in unencrypted):\n"
    "  --tls-cert FILE               the server's certificate (PEM, chain after it) that TLS\n"
    "                                is offered with: a client that asks for encryption gets\n"
    "                                a whole encrypted session, one that merely can encrypt\n"
    "                                gets its login encrypted, one that cannot, none\n"
    "  --tls-key FILE                the certificate's private key (PEM)\n"
    "  --tls-require                 every session is encrypted; a client that cannot\n"
    "                                encrypt is told so and disconnected\n"
    "\n"
    "A slower link than loopback, as to a remote server (both off by default; each\n"
    "connection has its own):\n"
    "  --latency-ms N                every answer (login steps included) leaves N\n"
    "                                milliseconds later than it would\n"
    "  --bandwidth-kbps N            an answer's bytes leave at no more than N kilobytes\n"
    "                                (1,000 bytes) per second; the request goes on\n"
    "                                while up to 4 MiB of it are on their way\n"
    "\n"
    "Fault switches, for testing how clients cope (all off by default):\n"
    "  --fault-drop-after-rows N     a result with more than N rows is cut off after its\n"
    "                                Nth row by closing the connection\n"
    "  --fault-stall SECONDS         every SQL batch and procedure call (but the session\n"
    "                                reset) waits this long first; a cancel (attention)\n"
    "                                ends the wait and the request (fractions allowed)\n"
    "  --fault-stall-on TEXT         only requests whose statement holds TEXT (any letter\n"
    "                                case) stall\n"
    "  --fault-refuse-login-every N  every Nth login since start-up is refused with\n"
    "                                error 18456 \"Login failed for user '...'.\"\n"
    "  --fault-error-mid-result N    a result with more than N rows ends after its Nth row\n"
    "                                with error 8134 \"Divide by zero error encountered.\"\n"
    "                                and the rest of the batch is not run\n";

namespace {

bool parseCount(const std::string& v, uint64_t& out) {
    auto res = std::from_chars(v.data(), v.data() + v.size(), out);
    return res.ec == std::errc() && res.ptr == v.data() + v.size();
}

bool parseSeconds(const std::string& v, double& out) {
    if (v.empty() || v.find_first_not_of("0123456789.") != std::string::npos)
        return false;
    char* end = nullptr;
    out = std::strtod(v.c_str(), &end);
    return end == v.c_str() + v.size() && out <= 86400;
}

} // namespace

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
        } else if (a == "--tls-cert") {
            if (!value(out.tlsCert))
                return false;
        } else if (a == "--tls-key") {
            if (!value(out.tlsKey))
                return false;
        } else if (a == "--tls-require") {
            out.tlsRequire = true;
        } else if (a == "--allow-integrated") {
            out.allowIntegrated = true;
        } else if (a == "--statement-log") {
            if (!value(out.statementLog))
                return false;
        } else if (a == "--data-dir") {
            if (!value(out.dataDir))
                return false;
        } else if (a == "--help" || a == "-h") {
            out.help = true;
        } else if (a == "--fault-stall") {
            std::string v;
            if (!value(v))
                return false;
            if (!parseSeconds(v, out.faults.stallSeconds)) {
                error = "bad number of seconds for --fault-stall: " + v;
                return false;
            }
        } else if (a == "--fault-stall-on") {
            if (!value(out.faults.stallOn))
                return false;
            if (out.faults.stallOn.empty()) {
                error = "--fault-stall-on wants a text";
                return false;
            }
        } else if (a == "--latency-ms" || a == "--bandwidth-kbps") {
            std::string v;
            if (!value(v))
                return false;
            uint64_t n = 0;
            // More than a day of latency is a slip of the keyboard, not a link.
            const bool latency = a == "--latency-ms";
            if (!parseCount(v, n) || (latency && n > 86'400'000)) {
                error = a + " wants a whole number, got " + v;
                return false;
            }
            if (latency)
                out.link.latencyMs = static_cast<uint32_t>(n);
            else
                out.link.bandwidthKbps = n;
        } else if (a == "--fault-drop-after-rows" || a == "--fault-refuse-login-every" ||
                   a == "--fault-error-mid-result") {
            std::string v;
            if (!value(v))
                return false;
            uint64_t& dest = a == "--fault-drop-after-rows"      ? out.faults.dropAfterRows
                             : a == "--fault-refuse-login-every" ? out.faults.refuseLoginEvery
                                                                 : out.faults.errorMidResult;
            if (!parseCount(v, dest) || dest == 0) {
                error = a + " wants a whole number above 0, got " + v;
                return false;
            }
        } else if (a.size() > 1 && a[0] == '-') {
            error = "unknown option " + a;
            return false;
        } else {
            out.scripts.push_back(a);
        }
    }
    if (out.tlsCert.empty() != out.tlsKey.empty()) {
        error = "--tls-cert and --tls-key go together";
        return false;
    }
    if (out.tlsRequire && out.tlsCert.empty()) {
        error = "--tls-require needs --tls-cert and --tls-key";
        return false;
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
