#include "test_env.h"

#include "crash_trace.h"

#include "core/paths.h"
#include "core/registry.h"
#include "core/settings.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace orv::test {

namespace fs = std::filesystem;

TestEnv::TestEnv() {
    InstallCrashTrace();
    std::string tmpl = (fs::temp_directory_path() / "orv-test-XXXXXX").string();
    if (!::mkdtemp(tmpl.data()))
        throw std::runtime_error("cannot create a temporary test folder");
    dir_ = tmpl + "/";
    for (const char* sub : {"program", "documents", "temp"})
        fs::create_directories(dir_ + sub);
    registryFile_ = dir_ + "registry.reg";
    savedRegistryFile_ = RegistryFilePath();
    SetRegistryFilePath(registryFile_);
    InitFilePaths(dir_ + "program", dir_ + "documents", dir_ + "temp");
    Settings() = ProgramSettings{};
    // The texts most tests expect are the plain table scripts, the default before complete
    // scripts became it: a test that wants the complete form turns it on.
    Settings().CompleteTableScripts = false;
    SetCurrentPrompter(&prompter);
}

TestEnv::~TestEnv() {
    SetCurrentPrompter(nullptr);
    Settings() = ProgramSettings{};
    SetRegistryFilePath(savedRegistryFile_);
    Paths() = ProgramPaths{};
    // ORV_KEEP_TEST_DIRS=1 keeps the folder for a look after a failure.
    const char* keep = std::getenv("ORV_KEEP_TEST_DIRS");
    if (!(keep && *keep == '1')) {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
}

std::string TestEnv::LogText() const {
    return ReadTextFile(Paths().LogFile);
}

std::vector<std::string> TestEnv::LogTexts() const {
    std::vector<std::string> out;
    std::istringstream in(LogText());
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        // "hh:mm:ss" and five blanks precede the text of a line that carries the time.
        if (line.size() >= 13 && line[2] == ':' && line[5] == ':' &&
            line.compare(8, 5, "     ") == 0)
            line = line.substr(13);
        out.push_back(line);
    }
    return out;
}

bool WriteTextFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}

std::string ReadTextFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace orv::test
