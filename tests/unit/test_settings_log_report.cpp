#include "core/copy_to_file.h"
#include "core/error_report.h"
#include "core/log.h"
#include "core/paths.h"
#include "core/registry.h"
#include "core/settings.h"
#include "foundation_temp.h"
#include "util/memory_prompter.h"

#include <gtest/gtest.h>

#include <regex>

#ifdef ORV_HAVE_QTCORE
#include <QUrl>
#include <QUrlQuery>
#endif

namespace orv {
namespace {

using testing::TempFolder;

TEST(Settings, AFirstRunWithAnEmptyRegistryGivesEveryDefault) {
    TempFolder t;
    Settings() = ProgramSettings{};
    Settings().Timeout = -1; // make sure loading writes every value
    int serverListLoads = 0;
    StampVersion();
    LoadSettings([&] { ++serverListLoads; });
    SaveProgramLocation();
    const ProgramSettings& s = Settings();
    EXPECT_EQ(serverListLoads, 1);
    EXPECT_EQ(s.Timeout, 30);
    EXPECT_EQ(s.MaxRowsInDiffTable, 5000);
    EXPECT_EQ(s.CacheSize, 5);
    EXPECT_EQ(s.CursorLocation, 2);
    EXPECT_TRUE(s.IgnoreWhitespace && s.IgnoreComments && s.IgnoreColSeq && s.IgnoreSysObjects);
    // Complete table scripts, and with them names the server generated left out, are on for
    // new settings.
    EXPECT_TRUE(s.CompleteTableScripts && s.IgnoreSystemConstraintNames);
    EXPECT_FALSE(s.ShowOwners || s.CaseSensitive || s.IgnoreIndexes || s.AutoSelTargetObj ||
                 s.AnalyzeConstraints || s.ShowSecondaryToolbar);
    EXPECT_TRUE(s.FilterOfflineDbs);
    EXPECT_TRUE(PreserveDbSel() && ShowDataCompOpt() && PromptToSave() &&
                CursorConnectionUseServer());
    EXPECT_FALSE(AutoConnect());
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, kKeyMav, "VerNum", ""), "1.0");
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, kKeyMav, "Location", ""), Paths().ProgramFolder);
    EXPECT_EQ(Paths().ProgramFolder.back(), '/');
}

TEST(Settings, BooleansAreOnOnlyAtOneAndTextReadsAsTheDefault) {
    TempFolder t;
    SetRegDword(HKEY_CURRENT_USER, kKeyComparisons, "IgnoreWhitespace", 2);
    SetRegDword(HKEY_CURRENT_USER, kKeyComparisons, "CaseSensitive", 1);
    SetRegString(HKEY_CURRENT_USER, kKeyComparisons, "IgnoreComments", "0");
    SetRegString(HKEY_CURRENT_USER, kKeyServers, "ShowOwners", "1");
    SetRegDword(HKEY_CURRENT_USER, kKeyServers, "CursorConnectionUseServer", 0);
    SetRegDword(HKEY_CURRENT_USER, kKeyComparisons, "CompleteTableScripts", 1);
    LoadSettings(nullptr);
    EXPECT_TRUE(Settings().CompleteTableScripts);
    // A stored value is kept: the new defaults do not override an existing choice.
    SetRegDword(HKEY_CURRENT_USER, kKeyComparisons, "CompleteTableScripts", 0);
    SetRegDword(HKEY_CURRENT_USER, kKeyComparisons, "IgnoreSystemConstraintNames", 0);
    LoadSettings(nullptr);
    EXPECT_FALSE(Settings().CompleteTableScripts);
    EXPECT_FALSE(Settings().IgnoreSystemConstraintNames);
    EXPECT_FALSE(Settings().IgnoreWhitespace);
    EXPECT_TRUE(Settings().CaseSensitive);
    EXPECT_TRUE(Settings().IgnoreComments);
    EXPECT_FALSE(Settings().ShowOwners);
    EXPECT_EQ(Settings().CursorLocation, 3);
}

TEST(Settings, FilterOfflineDbsIsReadOnlyInDebugMode) {
    TempFolder t;
    SetRegDword(HKEY_CURRENT_USER, kKeyServers, "FilterOfflineDbs", 0);
    Settings().DebugMode = DetectDebugMode();
    EXPECT_FALSE(Settings().DebugMode);
    EXPECT_TRUE(FilterOfflineDbs());
    TempFolder::Write(Paths().DebugFile, "");
    Settings().DebugMode = DetectDebugMode();
    EXPECT_TRUE(Settings().DebugMode);
    EXPECT_FALSE(FilterOfflineDbs());
    Settings().DebugMode = false;
}

TEST(Settings, VersionStampIsWrittenOnlyWhenItDiffers) {
    TempFolder t;
    SetRegString(HKEY_CURRENT_USER, kKeyMav, "VerNum", "0.9");
    StampVersion();
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, kKeyMav, "VerNum", ""), "1.0");
    auto before = std::filesystem::last_write_time(t.RegistryFile());
    std::filesystem::last_write_time(t.RegistryFile(), before - std::chrono::hours(1));
    StampVersion();
    EXPECT_EQ(std::filesystem::last_write_time(t.RegistryFile()), before - std::chrono::hours(1));
}

TEST(Paths, FoldersEndInOneSeparatorAndFallBack) {
    EXPECT_EQ(AddBackslash("/opt/orvane"), "/opt/orvane/");
    EXPECT_EQ(AddBackslash("/"), "/");
    InitFilePaths("/", "", "");
    EXPECT_EQ(Paths().ProgramFolder, "/");
    EXPECT_EQ(Paths().DataFolder, "/");
    EXPECT_EQ(Paths().AnalysisFolder, "/");
    InitFilePaths("/p", "/docs", "/tmp/x/");
    EXPECT_EQ(Paths().CompsIni, "/docs/orv_comps.ini");
    EXPECT_EQ(Paths().IgnoredColsAnalysisIni, "/tmp/x/orv_ignored_cols_dataanalysis.ini");
    EXPECT_EQ(Paths().LogFile, "/p/LogLogin.txt");
}

TEST(Log, LinesCarryTheTimeFiveBlanksAndCrLfAndAccumulate) {
    TempFolder t;
    EXPECT_EQ(FormatLogLine(7, 3, 9, "Hello"), "07:03:09     Hello\r\n");
    WriteLogLine("Starting logging, sub Main");
    WriteLogLine("");
    WriteLogLine("two\r\nlines");
    WriteTrace("Begin Something");
    const std::string log = TempFolder::Read(Paths().LogFile);
    std::regex shape("\\d\\d:\\d\\d:\\d\\d     Starting logging, sub Main\r\n"
                     "\\d\\d:\\d\\d:\\d\\d     \r\n"
                     "\\d\\d:\\d\\d:\\d\\d     two\r\nlines\r\n");
    EXPECT_TRUE(std::regex_match(log, shape)) << log;
}

TEST(Log, AnUnwritableFolderLosesTheLineSilently) {
    InitFilePaths("/proc/no/such/folder", "", "");
    WriteLogLine("lost"); // must not throw or crash
    SUCCEED();
}

// The log is kept open between lines; a deleted log or a new log folder must still get them.
TEST(Log, ADeletedLogIsMadeAgainAndANewFolderGetsTheNextLine) {
    TempFolder first;
    WriteLogLine("one");
    const std::string firstLog = Paths().LogFile;
    ASSERT_EQ(std::remove(firstLog.c_str()), 0);
    WriteLogLine("two");
    EXPECT_NE(TempFolder::Read(firstLog).find("     two\r\n"), std::string::npos);
    EXPECT_EQ(TempFolder::Read(firstLog).find("one"), std::string::npos);
    {
        TempFolder second;
        WriteLogLine("three");
        EXPECT_NE(Paths().LogFile, firstLog);
        EXPECT_NE(TempFolder::Read(Paths().LogFile).find("     three\r\n"), std::string::npos);
    }
    EXPECT_EQ(TempFolder::Read(firstLog).find("three"), std::string::npos);
}

TEST(ErrorReport, TextShowsExtraDescriptionOnlyWhenGiven) {
    ErrorReport r{5, "Invalid procedure call", "1.0", 173, "mdlMain", "Main", ""};
    EXPECT_EQ(ErrorReportText(r), "1.0 173 Error 5 (mdlMain:Main)\r\n\r\nInvalid procedure call");
    r.ExtraDesc = "Line num: 4";
    EXPECT_EQ(ErrorReportText(r),
              "1.0 173 Error 5 (mdlMain:Main)\r\n\r\nInvalid procedure call\r\n\r\nLine num: 4");
}

TEST(ErrorReport, AddressKeepsKeyOrderAndEmptyValues) {
    ErrorReport r{13, "Type mismatch", "1.0", 173, "frmMain", "LoadServer", ""};
    EXPECT_EQ(ErrorReportUrl("https://site.example/", r, "  ", ""),
              "https://site.example/error.php?ErrNum=13&ErrDesc=Type+mismatch&ProgVer=1.0"
              "&BuildNum=173&ModuleName=frmMain&ProcName=LoadServer&Comments=&Email="
              "&ExtraDesc=");
}

#ifdef ORV_HAVE_QTCORE
TEST(ErrorReport, EveryValueRoundTripsThroughAUrlParser) {
    ErrorReport r{-2147217865,    "a&b=c d+e%f #x?y/ü 日本", "1.0", 173, "frm Main&", "Proc=1",
                  "Line num: 4&5"};
    const std::string url =
        ErrorReportUrl("https://site.example", r, " why & how = ok ", "me+you@example.com");
    QUrl parsed(QString::fromStdString(url), QUrl::StrictMode);
    ASSERT_TRUE(parsed.isValid()) << url;
    EXPECT_EQ(parsed.path().toStdString(), "/error.php");
    QUrlQuery q(parsed);
    auto value = [&](const char* key) {
        // Form encoding: "+" is a blank, everything else percent-decoded.
        QString v = q.queryItemValue(key, QUrl::FullyEncoded).replace('+', ' ');
        return QUrl::fromPercentEncoding(v.toUtf8()).toStdString();
    };
    EXPECT_EQ(value("ErrNum"), "-2147217865");
    EXPECT_EQ(value("ErrDesc"), r.ErrDesc);
    EXPECT_EQ(value("ModuleName"), "frm Main&");
    EXPECT_EQ(value("ProcName"), "Proc=1");
    EXPECT_EQ(value("Comments"), "why & how = ok");
    EXPECT_EQ(value("Email"), "me+you@example.com");
    EXPECT_EQ(value("ExtraDesc"), "Line num: 4&5");
    EXPECT_EQ(q.queryItems().size(), 9);
}
#endif

TEST(CopyToFile, BlankTextWritesNothingAndAGivenPathReplacesTheWholeFile) {
    TempFolder t;
    MemoryPrompter prompter;
    SetCurrentPrompter(&prompter);
    std::string saved = "x";
    const std::string file = t.Path() + "/out.txt";
    EXPECT_FALSE(CopyToFile("    ", "Hint", saved, file));
    EXPECT_EQ(saved, "");
    EXPECT_FALSE(std::filesystem::exists(file));
    TempFolder::Write(file, std::string(1000, 'z'));
    EXPECT_TRUE(CopyToFile("  select 1\r\n  ", "Hint", saved, file));
    EXPECT_EQ(saved, file);
    EXPECT_EQ(TempFolder::Read(file), "select 1\r\n");
    EXPECT_TRUE(prompter.fileRequests.empty());
    SetCurrentPrompter(nullptr);
}

TEST(CopyToFile, TheDialogProposesAFileAndCancellingWritesNothing) {
    TempFolder t;
    MemoryPrompter prompter;
    SetCurrentPrompter(&prompter);
    std::string saved;
    EXPECT_FALSE(CopyToFile("text", "usp_Orders", saved));
    ASSERT_EQ(prompter.fileRequests.size(), 1u);
    EXPECT_EQ(prompter.fileRequests[0].title, "Specify Target File");
    EXPECT_EQ(prompter.fileRequests[0].filter, "*.*");
    EXPECT_EQ(prompter.fileRequests[0].flags, 2054);
    EXPECT_EQ(prompter.fileRequests[0].proposedPath, "usp_Orders.txt");
    prompter.fileAnswers.push_back(t.Path() + "/no/such/folder/x.txt");
    EXPECT_FALSE(CopyToFile("text", "h", saved));
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].icon, MsgIcon::Error);
    EXPECT_EQ(prompter.messages[0].text,
              "Error in Sub CopyToFile, error nr 2 (No such file or directory).");
    SetCurrentPrompter(nullptr);
}

} // namespace
} // namespace orv

#include "core/screen.h"

namespace orv {
namespace {
TEST(Screen, OnlyExactly640By480IsSmall) {
    EXPECT_TRUE(IsSmallScreen(640 * 15, 480 * 15));
    EXPECT_FALSE(IsSmallScreen(800 * 15, 600 * 15));
    EXPECT_FALSE(IsSmallScreen(640 * 15, 400 * 15));
    EXPECT_EQ(TwipsToPixels(150), 10);
}
} // namespace
} // namespace orv
