// The folders and data file paths the program uses, worked out once at start-up.
#pragma once

#include <string>

namespace orv {

// The platform's folder separator; every folder text ends with it.
constexpr char kPathSeparator = '/';

struct ProgramPaths {
    std::string ProgramFolder;          // the executable's folder
    std::string DataFolder;             // the user's documents folder, else the program folder
                                        // (installed: else the user's data folder)
    std::string AnalysisFolder;         // the temporary folder, else the data folder
    std::string DebugFile;              // program folder + "debug.txt" (installed: see below)
    std::string CompsIni;               // data folder + "orv_comps.ini"
    std::string IgnoredColsDataIni;     // data folder + "orv_ignored_cols_data.ini"
    std::string IgnoredColsStructIni;   // data folder + "orv_ignored_cols_struct.ini"
    std::string IgnoredColsAnalysisIni; // analysis folder + "orv_ignored_cols_dataanalysis.ini"
    std::string LogFile;                // program folder + "LogLogin.txt" (installed: see below)
    std::string HelpFolder;             // program folder + "help/", else see below
};

// An installed copy runs from <prefix>/bin/, a folder nobody but root writes, and keeps its shared
// files in <prefix>/share/orvane/. There the help pages come from <prefix>/share/orvane/help/,
// the log is written to the user's state folder ($XDG_STATE_HOME/orvane/, default
// ~/.local/state/orvane/), debug.txt is looked for in the configuration folder
// ($XDG_CONFIG_HOME/orvane/, default ~/.config/orvane/), and without a documents folder the
// INI files are kept in the user's data folder ($XDG_DATA_HOME/orvane/, default
// ~/.local/share/orvane/). A copy run from its build folder, which
// has no help folder beside it, shows the help pages of the source tree it was built from.

// "<prefix>/share/orvane/" when the program folder is <prefix>/bin/ of an installed copy (the
// shared folder exists), else empty.
std::string InstalledShareFolder(const std::string& programFolder);

// The program-wide paths (empty until InitFilePaths runs).
ProgramPaths& Paths();

// Appends the separator unless the text already ends with it.
std::string AddBackslash(const std::string& path);

// Fills Paths() from the three folders; empty documents or temporary folders fall back.
void InitFilePaths(const std::string& programFolder, const std::string& documentsFolder,
                   const std::string& tempFolder);

// The folders of this machine and user.
std::string ExecutableFolder();
std::string DocumentsFolder();  // XDG documents folder, empty when none exists
std::string TempFolder();       // $TMPDIR or /tmp
std::string UserConfigFolder(); // $XDG_CONFIG_HOME/orvane/, default ~/.config/orvane/
std::string UserDataFolder();   // $XDG_DATA_HOME/orvane/, default ~/.local/share/orvane/
std::string UserStateFolder();  // $XDG_STATE_HOME/orvane/, default ~/.local/state/orvane/

// True when the debug file (Paths().DebugFile) exists.
bool DetectDebugMode();

} // namespace orv
