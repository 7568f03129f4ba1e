// Shared scaffolding for the comparison tests: a recording prompter and error reporter installed
// for the test's lifetime, and a registry file in a fresh temporary folder.
#pragma once

#include "core/error_report.h"
#include "core/registry.h"
#include "core/settings.h"
#include "util/memory_prompter.h"
#include "util/memory_text_view.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace orv::test {

class CompareTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetCurrentPrompter(&prompter);
        SetErrorReportHandler([this](const ErrorReport& r) { reports.push_back(r); });
        folder = std::filesystem::temp_directory_path() /
                 ("orv_compare_test_" + std::to_string(::getpid()) + "_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder);
        SetRegistryFilePath((folder / "registry.reg").string());
        savedSettings = Settings();
    }
    void TearDown() override {
        Settings() = savedSettings;
        SetCurrentPrompter(nullptr);
        SetErrorReportHandler(nullptr);
        std::filesystem::remove_all(folder);
    }

    MemoryPrompter prompter;
    std::vector<ErrorReport> reports;
    std::filesystem::path folder;
    ProgramSettings savedSettings;
};

// Lines joined with CR LF, no break after the last.
inline std::string JoinLines(const std::vector<std::string>& lines) {
    std::string s;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i)
            s += "\r\n";
        s += lines[i];
    }
    return s;
}

} // namespace orv::test
