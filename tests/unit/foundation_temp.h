// A fresh folder per test with the registry file and program paths pointed into it, removed
// afterwards, so tests never touch the user's files and can run in parallel.
#pragma once

#include "core/paths.h"
#include "core/registry.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace orv::testing {

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "orvtest-XXXXXX").string();
        char* made = ::mkdtemp(pattern.data());
        path_ = made ? made : "";
        SetRegistryFilePath(path_ + "/config/orvane/registry.reg");
        std::filesystem::create_directories(path_ + "/program");
        InitFilePaths(path_ + "/program", "", path_);
    }
    ~TempFolder() {
        SetRegistryFilePath("");
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string RegistryFile() const { return path_ + "/config/orvane/registry.reg"; }

    static std::string Read(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static void Write(const std::string& file, const std::string& bytes) {
        std::filesystem::create_directories(std::filesystem::path(file).parent_path());
        std::ofstream(file, std::ios::binary) << bytes;
    }

private:
    std::string path_;
};

} // namespace orv::testing
