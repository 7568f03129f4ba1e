#include "servers/freetds_config.h"

#include "core/file_io.h"
#include "core/paths.h"
#include "servers/connection_string.h"
#include "util/encryption_setting.h"

#include <cstdlib>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace orv {

namespace {

struct PrivateConf {
    std::mutex mutex;
    std::string folder;                          // empty until first used
    std::string userConf;                        // FREETDSCONF as the program found it
    std::map<std::string, std::string> sections; // section text without its name -> name
    std::map<std::string, std::string> caCopies; // CA text -> private copy
    std::string text;
    bool written = false;

    // The files go with the program; a killed copy leaves them to the session's end.
    ~PrivateConf() {
        for (const auto& [pem, path] : caCopies)
            ::unlink(path.c_str());
        if (written)
            ::unlink((folder + "freetds-" + std::to_string(::getpid()) + ".conf").c_str());
    }
};

PrivateConf& Conf() {
    static PrivateConf conf;
    return conf;
}

// The user's runtime folder, which only the user can enter and which the session clears at
// logout; else a folder of our own in the temporary folder, made private.
std::string PrivateFolder(std::string& error) {
    std::string folder;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime == '/')
        folder = AddBackslash(runtime) + "orvane/";
    else
        folder = AddBackslash(TempFolder()) + "orvane-" + std::to_string(::getuid()) + "/";
    ::mkdir(folder.substr(0, folder.size() - 1).c_str(), 0700);
    struct stat st {};
    // A folder someone else made (or a link put in its place) could be read or swapped.
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
        (st.st_mode & 077) != 0) {
        error = "The folder " + folder +
                " for the program's private FreeTDS settings is missing or not private to this "
                "user.";
        return {};
    }
    return folder;
}

bool WriteConf(PrivateConf& conf, std::string& error) {
    std::string text;
    // A freetds.conf the user named keeps its sections: FreeTDS now reads this file instead.
    if (!conf.userConf.empty())
        if (auto user = ReadWholeFile(conf.userConf))
            text = *user + "\n";
    text += conf.text;
    if (!ReplaceFileAtomically(PrivateFreeTdsConfPath(), text, 0600)) {
        error = "The program's private FreeTDS settings cannot be written to " +
                PrivateFreeTdsConfPath() + ".";
        return false;
    }
    conf.written = true;
    return true;
}

} // namespace

// FreeTDS looks at FREETDSCONF while it connects; the variable is set once, before the
// first connection of the program, so no driver thread reads it while it changes. A file
// that does not exist yet makes FreeTDS read its usual files, as before.
void PointFreeTdsAtPrivateSettings() {
    static std::once_flag once;
    std::call_once(once, [] {
        PrivateConf& conf = Conf();
        std::lock_guard lock(conf.mutex);
        std::string error;
        conf.folder = PrivateFolder(error);
        if (conf.folder.empty())
            return;
        if (const char* user = std::getenv("FREETDSCONF"); user && *user)
            conf.userConf = user;
        if (!conf.userConf.empty())
            WriteConf(conf, error);
        ::setenv("FREETDSCONF", PrivateFreeTdsConfPath().c_str(), 1);
    });
}

std::string PrivateFreeTdsConfPath() {
    return Conf().folder + "freetds-" + std::to_string(::getpid()) + ".conf";
}

std::string FreeTdsSectionText(const std::string& name, const FreeTdsSection& section) {
    std::string s = "[" + name + "]\n";
    s += "\thost = " + section.host + "\n";
    if (!section.instance.empty())
        s += "\tinstance = " + section.instance + "\n";
    if (section.port > 0)
        s += "\tport = " + std::to_string(section.port) + "\n";
    if (!section.encryption.empty())
        s += "\tencryption = " + section.encryption + "\n";
    s += "\tca file = " + section.caFile + "\n";
    // The certificate must be made out to the host connected to (a name or an IP address).
    s += "\tcheck certificate hostname = yes\n";
    return s;
}

std::string CaFileProblem(const std::string& caFile, std::string& pem) {
    std::optional<std::string> text = ReadWholeFile(caFile, 16 * 1024 * 1024);
    if (!text)
        return "The CA certificate file " + caFile + " cannot be read.";
    if (text->find("-----BEGIN CERTIFICATE-----") == std::string::npos)
        return "The CA certificate file " + caFile + " holds no PEM certificate.";
    pem = *text;
    return {};
}

std::string PrivateFreeTdsSection(const ServerEntry& server, std::string& error) {
    PointFreeTdsAtPrivateSettings();
    std::string pem;
    if (error = CaFileProblem(server.CAFile, pem); !error.empty())
        return {};
    const ServerAddress a = ParseServerName(server.Name);
    // freetds.conf ends a value at ";" or "#" and has no quoting.
    if (a.host.find_first_of(";# \t\r\n") != std::string::npos ||
        a.instance.find_first_of(";# \t\r\n") != std::string::npos) {
        error = "The server name " + server.Name +
                " cannot be used with a CA certificate file: FreeTDS settings cannot hold it.";
        return {};
    }
    PrivateConf& conf = Conf();
    std::lock_guard lock(conf.mutex);
    if (conf.folder.empty()) {
        PrivateFolder(error);
        return {};
    }
    // The driver reads a copy of the CA file under a plain name, so no character of the
    // user's path can upset freetds.conf, and the file cannot change between check and use.
    std::string& copy = conf.caCopies[pem];
    if (copy.empty()) {
        const std::string path = conf.folder + "ca-" + std::to_string(::getpid()) + "-" +
                                 std::to_string(conf.caCopies.size()) + ".pem";
        if (!ReplaceFileAtomically(path, pem, 0600)) {
            conf.caCopies.erase(pem);
            error =
                "The CA certificate file " + server.CAFile + " cannot be copied to " + path + ".";
            return {};
        }
        copy = path;
    }
    FreeTdsSection section;
    section.host = a.host;
    section.instance = a.instance;
    section.port = a.port;
    section.encryption = EncryptionSettingOf(server.Encryption);
    section.caFile = copy;
    const std::string body = FreeTdsSectionText("", section);
    auto found = conf.sections.find(body);
    if (found != conf.sections.end())
        return found->second;
    const std::string name = "orvane-" + std::to_string(conf.sections.size() + 1);
    conf.text += FreeTdsSectionText(name, section);
    if (!WriteConf(conf, error)) {
        conf.text.resize(conf.text.size() - FreeTdsSectionText(name, section).size());
        return {};
    }
    conf.sections.emplace(body, name);
    return name;
}

} // namespace orv
