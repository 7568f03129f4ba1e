// The folders and data file paths the program uses, worked out once at start-up.
#pragma once

#include <string>

namespace orv {

// The platform's folder separator; every folder text ends with it.
constexpr char kPathSeparator = '/';

struct ProgramPaths {
    std::string ProgramFolder;          // the executable's folder
    std::string DataFolder;             // the user's documents folder, else the program folder
    std::string AnalysisFolder;         // the temporary folder, else the data folder
    std::string DebugFile;              // program folder + "debug.txt"
    std::string CompsIni;               // data folder + "orv_comps.ini"
    std::string IgnoredColsDataIni;     // data folder + "orv_ignored_cols_data.ini"
    std::string IgnoredColsStructIni;   // data folder + "orv_ignored_cols_struct.ini"
    std::string IgnoredColsAnalysisIni; // analysis folder + "orv_ignored_cols_dataanalysis.ini"
    std::string LogFile;                // program folder + "LogLogin.txt"
    std::string HelpFolder;             // program folder + "help/"
};

// The program-wide paths (empty until InitFilePaths runs).
ProgramPaths& Paths();

// Appends the separator unless the text already ends with it.
std::string AddBackslash(const std::string& path);

// Fills Paths() from the three folders; empty documents or temporary folders fall back.
void InitFilePaths(const std::string& programFolder, const std::string& documentsFolder,
                   const std::string& tempFolder);

// The folders of this machine and user.
std::string ExecutableFolder();
std::string DocumentsFolder(); // XDG documents folder, empty when none exists
std::string TempFolder();      // $TMPDIR or /tmp

// True when "debug.txt" exists in the program folder.
bool DetectDebugMode();

} // namespace orv
