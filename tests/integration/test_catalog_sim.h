// One simulator per test with the catalog fixture loaded, posing as the server version the
// test runs under, and the stored server entry that reaches it.
#pragma once

#include "servers/server_entry.h"
#include "sqlsim_process.h"
#include "test_env.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace orv::test {

constexpr const char* kVersion2000 = "8.00.2039";
constexpr const char* kVersion2008 = "10.50.1600.1";

class CatalogSim {
public:
    CatalogSim(const std::string& version, std::vector<std::string> fixtures,
               std::vector<std::string> scriptTexts = {},
               std::vector<std::string> extraArgs = {}) {
        SqlsimOptions options;
        options.version = version;
        options.extraArgs = std::move(extraArgs);
        for (const auto& f : fixtures)
            options.scriptFiles.push_back(FixtureFile(f));
        options.scriptTexts = std::move(scriptTexts);
        sim = std::make_unique<SqlsimProcess>(options);
        started = sim->Start(startError);
        server.Name = sim->ServerName();
        server.SQLAuth = true;
        server.LoginName = options.login;
        server.Pwd = options.password;
        server.Version = version;
        server.VersionMajor = VersionMajorOf(version);
    }

    // Every statement received in `database` since the last ClearStatements.
    std::vector<std::string> Sql(const std::string& database) const {
        std::vector<std::string> out;
        for (const auto& s : sim->Statements())
            if (s.database == database)
                out.push_back(s.sql);
        return out;
    }
    bool Received(const std::string& database, const std::string& sql) const {
        const auto all = Sql(database);
        return std::find(all.begin(), all.end(), sql) != all.end();
    }

    TestEnv env;
    std::unique_ptr<SqlsimProcess> sim;
    bool started = false;
    std::string startError;
    ServerEntry server;
};

#define ASSERT_SIM_STARTED(fixture) ASSERT_TRUE((fixture).started) << (fixture).startError

// Runs a test body under both server versions.
class BothVersions : public ::testing::TestWithParam<std::string> {};

inline std::string VersionName(const ::testing::TestParamInfo<std::string>& info) {
    return info.param == kVersion2000 ? "V8" : "V10";
}

} // namespace orv::test
