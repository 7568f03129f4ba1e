// The Sources `orvane-cli deploy-script` takes besides a database: a scripts folder or a
// snapshot file, each opened through its own service; the Target is always a database.
#include "deploy/deploy_command.h"

#include <gtest/gtest.h>

#include <sstream>

namespace orv::test {
namespace {

std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> out;
    std::istringstream in(line);
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

constexpr const char* kTargetIsADatabase =
    "the Source may be a scripts folder, folder:<dir>, or a snapshot, snapshot:<file>; the "
    "Target must be a database";

TEST(DeployScriptSources, AFolderOrASnapshotIsASourceAndNeverATarget) {
    struct Case {
        const char* line;
        const char* folder;
        const char* snapshot;
        const char* error; // empty: taken
    };
    const Case cases[] = {
        {"S1 D1 S2 D2", "", "", ""},
        {"folder:src S2 D2", "src", "", ""},
        {"snapshot:mon.orvsnap S2 D2", "", "mon.orvsnap", ""},
        {"--apply --confirm-target D2 snapshot:mon.orvsnap S2 D2", "", "mon.orvsnap", ""},
        {"S1 D1 snapshot:mon.orvsnap", "", "", kTargetIsADatabase},
        {"S1 D1 folder:src", "", "", kTargetIsADatabase},
        {"snapshot:a.orvsnap snapshot:b.orvsnap", "", "", kTargetIsADatabase},
        {"folder:src snapshot:b.orvsnap", "", "", kTargetIsADatabase},
    };
    for (const Case& c : cases) {
        DeployScriptArgs args;
        std::string error;
        const bool ok = ParseDeployScriptArgs(Words(c.line), args, error);
        EXPECT_EQ(error, c.error) << c.line;
        if (!ok || *c.error)
            continue;
        EXPECT_EQ(args.SourceFolder, c.folder) << c.line;
        EXPECT_EQ(args.SourceSnapshot, c.snapshot) << c.line;
        EXPECT_EQ(args.Server[1], "S2") << c.line;
        EXPECT_EQ(args.Db[1], "D2") << c.line;
    }
}

TEST(DeployScriptSources, EachSourceGoesToItsOwnServiceAndItsFailureStopsTheRun) {
    for (const bool snapshot : {false, true}) {
        DeployScriptArgs args;
        std::string error;
        ASSERT_TRUE(ParseDeployScriptArgs(
            Words(snapshot ? "snapshot:mon.orvsnap S2 D2" : "folder:src S2 D2"), args, error));
        std::vector<std::string> opened;
        const auto open = [&](const char* kind) {
            return [&opened, kind](const std::string& what, ProgressSink&, const CancelToken&,
                                   std::shared_ptr<LoadedScriptFolder>&, std::string& why) {
                opened.push_back(std::string(kind) + " " + what);
                why = "the simulator could not be started.";
                return false;
            };
        };
        CompareAllServices services;
        services.openFolder = open("folder");
        services.openSnapshot = open("snapshot");
        bool ran = false;
        services.run = [&](const DbCompareRequest&, ProgressSink&, const CancelToken&) {
            ran = true;
            return DbCompareResultsPtr();
        };
        NullProgressSink progress;
        const CancelToken cancel;
        std::ostringstream out, err;
        EXPECT_EQ(RunDeployScriptOn(args, {}, services, progress, cancel, out, err, 0),
                  kDeployExitError);
        EXPECT_EQ(opened,
                  std::vector<std::string>{snapshot ? "snapshot mon.orvsnap" : "folder src"});
        EXPECT_EQ(err.str(), "orvane-cli deploy-script: the simulator could not be started.\n");
        EXPECT_FALSE(ran);
        EXPECT_TRUE(out.str().empty());
    }
}

} // namespace
} // namespace orv::test
