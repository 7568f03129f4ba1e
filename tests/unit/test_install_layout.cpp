// Where an installed copy and a build-folder copy find their help pages, write their log and
// look for debug.txt; what --demo runs in each layout.
#include "core/file_io.h"
#include "core/log.h"
#include "core/paths.h"
#include "foundation_temp.h"
#ifdef ORV_HAVE_APP_SWITCHES
#include "start_switches.h"
#endif

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sys/stat.h>

namespace orv {
namespace {

using testing::TempFolder;
namespace fs = std::filesystem;

// Sets an environment variable for one test and puts the old value back.
class EnvScope {
public:
    EnvScope(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~EnvScope() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }
    EnvScope(const EnvScope&) = delete;
    EnvScope& operator=(const EnvScope&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

// <temp>/usr/bin and <temp>/usr/share/orvane/help as a package installs them, with the user's
// folders under <temp>/home.
struct InstalledCopy {
    TempFolder temp;
    std::string prefix = temp.Path() + "/usr/";
    EnvScope config{"XDG_CONFIG_HOME", temp.Path() + "/home/config"};
    EnvScope state{"XDG_STATE_HOME", temp.Path() + "/home/state"};
    EnvScope data{"XDG_DATA_HOME", temp.Path() + "/home/data"};
    InstalledCopy() {
        fs::create_directories(prefix + "bin");
        fs::create_directories(prefix + "share/orvane/help");
    }
};

TEST(InstallLayout, AnInstalledCopyReadsSharedFilesAndWritesOnlyInTheUsersFolders) {
    InstalledCopy copy;
    InitFilePaths(copy.prefix + "bin", "", copy.temp.Path());
    EXPECT_EQ(Paths().HelpFolder, copy.prefix + "share/orvane/help/");
    const std::string state = copy.temp.Path() + "/home/state/orvane/";
    EXPECT_EQ(Paths().LogFile, state + "LogLogin.txt");
    EXPECT_EQ(Paths().DebugFile, copy.temp.Path() + "/home/config/orvane/debug.txt");

    // The state folder is made, private, and the log lands there rather than beside the program.
    struct stat st {};
    ASSERT_EQ(::stat(state.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    WriteLogLine("installed");
    EXPECT_NE(TempFolder::Read(state + "LogLogin.txt").find("     installed\r\n"),
              std::string::npos);
    EXPECT_FALSE(FileExists(copy.prefix + "bin/LogLogin.txt"));

    EXPECT_FALSE(DetectDebugMode());
    TempFolder::Write(copy.temp.Path() + "/home/config/orvane/debug.txt", "");
    EXPECT_TRUE(DetectDebugMode());

    // The INI files go to the documents folder, else to the user's data folder.
    EXPECT_EQ(Paths().CompsIni, copy.temp.Path() + "/home/data/orvane/orv_comps.ini");
    EXPECT_TRUE(fs::is_directory(copy.temp.Path() + "/home/data/orvane"));
    InitFilePaths(copy.prefix + "bin", copy.temp.Path() + "/docs", copy.temp.Path());
    EXPECT_EQ(Paths().IgnoredColsStructIni, copy.temp.Path() + "/docs/orv_ignored_cols_struct.ini");
}

TEST(InstallLayout, DefaultsUnderHomeWhenTheXdgFoldersAreUnsetOrRelative) {
    InstalledCopy copy;
    EnvScope home("HOME", copy.temp.Path() + "/h");
    EnvScope relative("XDG_STATE_HOME", "state");
    ::unsetenv("XDG_CONFIG_HOME");
    InitFilePaths(copy.prefix + "bin/", "", "");
    EXPECT_EQ(Paths().LogFile, copy.temp.Path() + "/h/.local/state/orvane/LogLogin.txt");
    EXPECT_EQ(Paths().DebugFile, copy.temp.Path() + "/h/.config/orvane/debug.txt");
}

TEST(InstallLayout, OnlyABinFolderBesideShareOrvaneCountsAsInstalled) {
    TempFolder temp;
    const std::string root = temp.Path() + "/";
    fs::create_directories(root + "a/bin");   // no share/orvane beside it
    fs::create_directories(root + "b/tools"); // share/orvane, but not bin
    fs::create_directories(root + "b/share/orvane");
    fs::create_directories(root + "c/bin");
    fs::create_directories(root + "c/share/orvane");
    EXPECT_EQ(InstalledShareFolder(root + "a/bin"), "");
    EXPECT_EQ(InstalledShareFolder(root + "b/tools"), "");
    EXPECT_EQ(InstalledShareFolder(root + "c/bin"), root + "c/share/orvane/");
    EXPECT_EQ(InstalledShareFolder(root + "c/bin/"), root + "c/share/orvane/");
    EXPECT_EQ(InstalledShareFolder("/"), "");
    EXPECT_EQ(InstalledShareFolder(""), "");

    // Not installed: the log, debug.txt and the INI files stay beside the program, as on Windows.
    InitFilePaths(root + "a/bin", "", "");
    EXPECT_EQ(Paths().LogFile, root + "a/bin/LogLogin.txt");
    EXPECT_EQ(Paths().DebugFile, root + "a/bin/debug.txt");
    EXPECT_EQ(Paths().CompsIni, root + "a/bin/orv_comps.ini");
}

TEST(InstallLayout, ABuildFolderCopyShowsTheSourceTreesHelpUnlessItHasItsOwn) {
    TempFolder temp;
    InitFilePaths(temp.Path() + "/program", "", "");
    EXPECT_TRUE(FileExists(Paths().HelpFolder + "3.html")) << Paths().HelpFolder;
    fs::create_directories(temp.Path() + "/program/help");
    InitFilePaths(temp.Path() + "/program", "", "");
    EXPECT_EQ(Paths().HelpFolder, temp.Path() + "/program/help/");
}

#ifdef ORV_HAVE_APP_SWITCHES
TEST(StartSwitches, OnlyTheFirstDoubleDashArgumentIsASwitch) {
    EXPECT_EQ(ReadStartSwitch({}), StartSwitch::None);
    EXPECT_EQ(ReadStartSwitch({"/RunSavedComp", "12"}), StartSwitch::None);
    EXPECT_EQ(ReadStartSwitch({"--version"}), StartSwitch::Version);
    EXPECT_EQ(ReadStartSwitch({"--help", "--demo"}), StartSwitch::Help);
    EXPECT_EQ(ReadStartSwitch({"--demo"}), StartSwitch::Demo);
    EXPECT_EQ(ReadStartSwitch({"--Demo"}), StartSwitch::Unknown);
    EXPECT_EQ(ReadStartSwitch({"--"}), StartSwitch::Unknown);
    EXPECT_EQ(ReadStartSwitch({"/RunSavedComp", "--demo"}), StartSwitch::None);
}

TEST(StartSwitches, RunSavedCompIsReadInEachWayItIsWritten) {
    const std::vector<std::pair<std::string, std::optional<std::string>>> cases = {
        {"", std::nullopt},
        {"--demo", std::nullopt},
        {"/RunSavedComp 12", "12"},
        {"/runsavedcomp:12", "12"},
        {"/RunSavedComp=3", "3"},
        {"/Other 1 /RUNSAVEDCOMP:  7 ", "7"},
        {"/RunSavedCompX:1", std::nullopt},
        {"/RunSavedComp", "RunSavedComp"},
    };
    for (const auto& [line, value] : cases)
        EXPECT_EQ(RunSavedCompValue(line), value) << line;
    int32_t n = 0;
    EXPECT_TRUE(ParseRunSavedComp(" 12", n));
    EXPECT_EQ(n, 12);
    for (const char* bad : {"0", "-3", "x", "RunSavedComp", "99999999999"})
        EXPECT_FALSE(ParseRunSavedComp(bad, n)) << bad;
}

TEST(StartSwitches, TheDemoRunsTheInstalledLauncherOrTheSourceTreesScript) {
    InstalledCopy copy;
    const std::string launcher = copy.prefix + "libexec/orvane/orvane-demo";
    // Installed without its launcher: no demo, even when a source tree is known.
    EXPECT_TRUE(DemoCommand(copy.prefix + "bin", ORV_SOURCE_FOLDER, "/build").empty());
    TempFolder::Write(launcher, "#!/bin/sh\n");
    EXPECT_TRUE(DemoCommand(copy.prefix + "bin", "", "").empty()); // not executable
    fs::permissions(launcher, fs::perms::owner_all);
    EXPECT_EQ(DemoCommand(copy.prefix + "bin", ORV_SOURCE_FOLDER, "/build"),
              std::vector<std::string>{launcher});

    // A build folder: the source tree's script on that build folder.
    const std::string program = copy.temp.Path() + "/build/src/app";
    EXPECT_EQ(DemoCommand(program, ORV_SOURCE_FOLDER, "/b"),
              (std::vector<std::string>{std::string(ORV_SOURCE_FOLDER) + "/scripts/demo", "/b"}));
    EXPECT_TRUE(DemoCommand(program, "", "/b").empty());
    EXPECT_TRUE(DemoCommand(program, copy.temp.Path(), "/b").empty()); // no script there
}
#endif

} // namespace
} // namespace orv
