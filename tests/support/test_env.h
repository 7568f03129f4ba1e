// Gives one test its own world: a fresh temporary folder holding the registry file, the
// program, documents and temporary folders, default program-wide settings and a memory
// prompter that records every message. Everything is put back when the object goes away.
#pragma once

#include "util/memory_prompter.h"

#include <string>
#include <vector>

namespace orv::test {

class TestEnv {
public:
    TestEnv();
    ~TestEnv();
    TestEnv(const TestEnv&) = delete;
    TestEnv& operator=(const TestEnv&) = delete;

    // The test's own folder, ending with "/".
    const std::string& Dir() const { return dir_; }
    // A path inside the test's folder.
    std::string PathOf(const std::string& name) const { return dir_ + name; }
    const std::string& RegistryFile() const { return registryFile_; }
    // The whole log file as written so far; empty when nothing was logged.
    std::string LogText() const;
    // The log's texts without their time stamps, one entry per physical line.
    std::vector<std::string> LogTexts() const;

    MemoryPrompter prompter;

private:
    std::string dir_;
    std::string registryFile_;
    std::string savedRegistryFile_;
};

// Writes `text` to `path` (whole file); false when it cannot.
bool WriteTextFile(const std::string& path, const std::string& text);
// Reads a whole file; empty when it is missing.
std::string ReadTextFile(const std::string& path);

} // namespace orv::test
