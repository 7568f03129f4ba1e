// Runs orvane-cli as a separate process against the simulator, with a registry store of its own
// holding the fixture's server.
#pragma once

#include "servers/server_list.h"
#include "test_catalog_sim.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/wait.h>

namespace orv::test {

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

class CliTest : public BothVersions {
protected:
    // Stores the fixture's server and gives the command line a configuration folder with it.
    void Store(CatalogSim& f) {
        ServerEntry stored = f.server;
        stored.Version.clear(); // learned from the server on first use
        ServerAddToList(stored);
        const std::string config = f.env.PathOf("xdg/orvane/");
        std::filesystem::create_directories(config);
        std::filesystem::copy_file(f.env.RegistryFile(), config + "registry.reg");
        home_ = f.env.PathOf("xdg");
    }

    CliResult Run(const std::string& args) {
        const std::string errFile = home_ + "/stderr.txt";
        const std::string command = "XDG_CONFIG_HOME='" + home_ + "' HOME='" + home_ + "' '" +
                                    std::string(ORV_CLI_PATH) + "' " + args + " 2>'" + errFile +
                                    "'";
        CliResult r;
        FILE* pipe = ::popen(command.c_str(), "r");
        if (!pipe)
            return r;
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            r.out.append(buffer, n);
        const int raw = ::pclose(pipe);
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.err = ReadTextFile(errFile);
        return r;
    }

    std::string home_;
};

} // namespace orv::test
