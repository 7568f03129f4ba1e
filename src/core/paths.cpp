#include "core/paths.h"

#include "core/file_io.h"
#include "util/text.h"

#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace orv {

ProgramPaths& Paths() {
    static ProgramPaths paths;
    return paths;
}

std::string AddBackslash(const std::string& path) {
    if (!path.empty() && path.back() == kPathSeparator)
        return path;
    return path + kPathSeparator;
}

namespace {
bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// An absolute folder from the environment variable, else the default under the home folder.
std::string XdgFolder(const char* variable, const char* underHome) {
    const char* value = std::getenv(variable);
    if (value && *value == '/')
        return AddBackslash(value);
    const char* home = std::getenv("HOME");
    return AddBackslash(std::string(home && *home ? home : "/tmp") + underHome);
}

// The help pages of the source tree this copy was built from (empty when not known).
std::string SourceHelpFolder() {
#ifdef ORV_SOURCE_HELP_FOLDER
    return AddBackslash(ORV_SOURCE_HELP_FOLDER);
#else
    return {};
#endif
}
} // namespace

std::string InstalledShareFolder(const std::string& programFolder) {
    std::string folder = AddBackslash(programFolder);
    folder.pop_back();
    const size_t slash = folder.rfind(kPathSeparator);
    if (slash == std::string::npos || folder.substr(slash + 1) != "bin")
        return {};
    const std::string share = folder.substr(0, slash + 1) + "share/orvane/";
    return IsFolder(share) ? share : std::string();
}

std::string UserConfigFolder() {
    return XdgFolder("XDG_CONFIG_HOME", "/.config") + "orvane/";
}

std::string UserDataFolder() {
    return XdgFolder("XDG_DATA_HOME", "/.local/share") + "orvane/";
}

std::string UserStateFolder() {
    return XdgFolder("XDG_STATE_HOME", "/.local/state") + "orvane/";
}

void InitFilePaths(const std::string& programFolder, const std::string& documentsFolder,
                   const std::string& tempFolder) {
    ProgramPaths& p = Paths();
    p.ProgramFolder = AddBackslash(programFolder);
    p.DebugFile = p.ProgramFolder + "debug.txt";
    p.LogFile = p.ProgramFolder + "LogLogin.txt";
    p.HelpFolder = p.ProgramFolder + "help/";
    std::string dataFallback = p.ProgramFolder;
    const std::string share = InstalledShareFolder(p.ProgramFolder);
    if (!share.empty()) {
        // Nothing is written beside an installed program; the user's folders are private, as
        // the log names servers and logins. A folder that cannot be made only loses writes.
        p.HelpFolder = share + "help/";
        const std::string state = UserStateFolder();
        MakeFolders(state.substr(0, state.size() - 1), 0700);
        p.LogFile = state + "LogLogin.txt";
        p.DebugFile = UserConfigFolder() + "debug.txt";
        dataFallback = UserDataFolder();
        if (documentsFolder.empty())
            MakeFolders(dataFallback.substr(0, dataFallback.size() - 1), 0700);
    } else if (!IsFolder(p.HelpFolder) && !SourceHelpFolder().empty()) {
        p.HelpFolder = SourceHelpFolder();
    }
    p.DataFolder = documentsFolder.empty() ? dataFallback : AddBackslash(documentsFolder);
    p.AnalysisFolder = tempFolder.empty() ? p.DataFolder : AddBackslash(tempFolder);
    p.CompsIni = p.DataFolder + "orv_comps.ini";
    p.IgnoredColsDataIni = p.DataFolder + "orv_ignored_cols_data.ini";
    p.IgnoredColsStructIni = p.DataFolder + "orv_ignored_cols_struct.ini";
    p.IgnoredColsAnalysisIni = p.AnalysisFolder + "orv_ignored_cols_dataanalysis.ini";
}

std::string ExecutableFolder() {
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return {};
    buf[n] = '\0';
    return FolderOf(buf);
}

std::string DocumentsFolder() {
    const char* homeEnv = std::getenv("HOME");
    std::string home = homeEnv ? homeEnv : "";
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string config = (xdg && *xdg == '/') ? std::string(xdg) : home + "/.config";
    // user-dirs.dirs holds lines like XDG_DOCUMENTS_DIR="$HOME/Documents".
    if (auto text = ReadWholeFile(config + "/user-dirs.dirs", 1 << 20)) {
        for (const auto& line : Split(*text, "\n")) {
            std::string l = TrimWhitespace(line);
            const std::string key = "XDG_DOCUMENTS_DIR=";
            if (l.rfind(key, 0) != 0)
                continue;
            std::string value = l.substr(key.size());
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
                value = value.substr(1, value.size() - 2);
            value = ReplaceAll(value, "$HOME", home);
            if (!value.empty() && value[0] == '/' && IsFolder(value))
                return value;
        }
    }
    if (!home.empty() && IsFolder(home + "/Documents"))
        return home + "/Documents";
    return {};
}

std::string TempFolder() {
    const char* t = std::getenv("TMPDIR");
    if (t && *t == '/' && IsFolder(t))
        return t;
    return "/tmp";
}

bool DetectDebugMode() {
    return FileExists(Paths().DebugFile);
}

} // namespace orv
