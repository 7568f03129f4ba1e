// Saved comparison processes in the comparisons INI file: what is saved reads back the same,
// a malformed section is refused naming its key, and saving, renaming and deleting keep every
// other process, also when several programs save at once.
#include "core/saved_comparison.h"
#include "foundation_temp.h"
#include "util/text.h"

#include <gtest/gtest.h>

#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orv {
namespace {

using testing::TempFolder;

ComparisonDescription WholeDatabase(int32_t subType, const std::string& flags) {
    ComparisonDescription d;
    d.CompType = kCompTypeStructure;
    d.CompSubType = subType;
    d.CompSubSubType = kCompSubSubTypeDetails;
    d.EncObjTypes = flags;
    d.ServerName[0] = "SALES01";
    d.ServerName[1] = "127.0.0.1,14330";
    d.DbName[0] = "Shop";
    d.DbName[1] = "Shop_Test";
    d.TableId[0] = d.TableId[1] = "0";
    return d;
}

bool SameDescription(const ComparisonDescription& a, const ComparisonDescription& b) {
    for (int i = 0; i < 2; ++i)
        if (a.ServerName[i] != b.ServerName[i] || a.DbName[i] != b.DbName[i] ||
            a.TableName[i] != b.TableName[i] || a.TableId[i] != b.TableId[i] ||
            a.CheckCount[i] != b.CheckCount[i] || a.CheckedObjects[i] != b.CheckedObjects[i])
            return false;
    return a.Name == b.Name && a.CompType == b.CompType && a.CompSubType == b.CompSubType &&
           a.CompSubSubType == b.CompSubSubType && a.EncObjTypes == b.EncObjTypes &&
           a.SavedFullExportFilePath == b.SavedFullExportFilePath && a.ExportType == b.ExportType &&
           a.Print == b.Print && a.Deploy == b.Deploy && a.DeployScriptPath == b.DeployScriptPath &&
           a.DeployApply == b.DeployApply && a.DeployTarget == b.DeployTarget;
}

TEST(SavedProcess, EveryKindReadsBackAsSaved) {
    TempFolder temp;
    const std::string ini = temp.Path() + "/orv_comps.ini";
    std::vector<ComparisonDescription> kinds;
    kinds.push_back(WholeDatabase(kCompSubTypeAllObjects, "1,1,1,1,1,1,0"));
    kinds.back().Name = "Nightly, all objects";
    kinds.back().SavedFullExportFilePath = "/var/reports/nightly.csv";
    kinds.back().ExportType = kExportCsv;
    kinds.push_back(WholeDatabase(kCompSubTypeBulk, "0,0,0,1,0,0,0"));
    kinds.back().Print = true;
    kinds.back().Deploy = true;
    kinds.back().DeployScriptPath = "/var/deploy/views.sql";
    kinds.back().DeployApply = true;
    kinds.back().DeployTarget = kinds.back().DbName[1];
    kinds.push_back(WholeDatabase(kCompSubTypeSelective, "0,1,0,0,0,0,0"));
    kinds.back().CheckCount[0] = 2;
    kinds.back().CheckedObjects[0] = {"10,103,dbo.GetCustomer", "10,104,dbo.Only,Here"};
    kinds.back().CheckCount[1] = 1;
    kinds.back().CheckedObjects[1] = {"10,7,x.[weird = name]"};
    ComparisonDescription pair = WholeDatabase(kCompSubTypeSinglePair, "1000000");
    pair.CompSubSubType = kCompSubSubTypeSimple;
    pair.TableName[0] = "dbo.Orders";
    pair.TableName[1] = "sales.Orders";
    pair.TableId[0] = "1977058079";
    pair.SavedFullExportFilePath = "/tmp/orders.html";
    pair.ExportType = kExportHtml;
    kinds.push_back(pair);

    for (size_t i = 0; i < kinds.size(); ++i)
        ASSERT_EQ(SaveComparisonProcess(ini, kinds[i]), static_cast<int32_t>(i + 1));
    const std::vector<SavedProcessEntry> list = ListComparisonProcesses(ini);
    ASSERT_EQ(list.size(), kinds.size());
    for (size_t i = 0; i < kinds.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(list[i].Number, static_cast<int32_t>(i + 1));
        ASSERT_TRUE(list[i].Valid) << list[i].Error;
        EXPECT_TRUE(SameDescription(list[i].Description, kinds[i]));
    }
    EXPECT_EQ(ComparisonKindText(list[0].Description), "Compare All Objects");
    EXPECT_EQ(ComparisonKindText(list[1].Description), "Compare All Views - Details");
    EXPECT_EQ(ComparisonKindText(list[2].Description), "Compare Selected Procedures - Details");
    EXPECT_EQ(ComparisonKindText(list[3].Description), "Compare Table dbo.Orders and sales.Orders");
    EXPECT_EQ(ComparisonDisplayName(2, list[1].Description), "Process 2");
}

TEST(SavedProcess, AValueCannotStartAKeyOrSectionOfItsOwn) {
    TempFolder temp;
    const std::string ini = temp.Path() + "/orv_comps.ini";
    ComparisonDescription d = WholeDatabase(kCompSubTypeAllObjects, "1,0,0,0,0,0,0");
    d.Name = "two\r\n[9]\r\nCompType=5";
    d.DbName[1] = "x\nServerName1=evil";
    ASSERT_EQ(SaveComparisonProcess(ini, d), 1);
    ComparisonDescription back;
    std::string error;
    ASSERT_TRUE(ReadComparisonProcess(ini, 1, back, error)) << error;
    EXPECT_EQ(back.ServerName[0], "SALES01");
    EXPECT_EQ(back.Name, "two  [9]  CompType=5");
    EXPECT_EQ(ListComparisonProcesses(ini).size(), 1u);
}

TEST(SavedProcess, AMalformedSectionIsRefusedNamingItsKey) {
    const std::string good = "CompType=1\r\nCompSubType=20\r\nCompSubSubType=0\r\n"
                             "EncObjTypes=0,0,0,1,0,0,0\r\nServerName1=A\r\nDbName1=a\r\n"
                             "ServerName2=B\r\nDbName2=b\r\n";
    struct Case {
        std::string section;
        std::string key; // "" for a section that is fine
    };
    const std::vector<Case> cases = {
        {good, ""},
        {good + "ExportFilePath=/tmp/x.csv\r\nExportType=2\r\nPrint=true\r\n", ""},
        {"CompSubType=20\r\nEncObjTypes=0,0,0,1,0,0,0\r\n", "CompType"},
        {"CompType=one\r\n" + good.substr(good.find("CompSubType")), "CompType"},
        {"CompType=1\r\nCompSubType=77\r\n" + good.substr(good.find("CompSubSubType")),
         "CompSubType"},
        {ReplaceAll(good, "CompSubSubType=0", "CompSubSubType=4"), "CompSubSubType"},
        {ReplaceAll(good, "EncObjTypes=0,0,0,1,0,0,0", "EncObjTypes=views"), "EncObjTypes"},
        {ReplaceAll(good, "EncObjTypes=0,0,0,1,0,0,0", "EncObjTypes=0,0,0,0,0,0,0"), "EncObjTypes"},
        {ReplaceAll(good, "EncObjTypes=0,0,0,1,0,0,0", "EncObjTypes=1,0,0,1,0,0,0"), "EncObjTypes"},
        {ReplaceAll(good, "DbName2=b\r\n", ""), "DbName2"},
        {ReplaceAll(good, "ServerName1=A", "ServerName1=  "), "ServerName1"},
        {ReplaceAll(good, "CompSubType=20", "CompSubType=35"), "TableName1"},
        {ReplaceAll(good, "CompSubType=20", "CompSubType=35") +
             "TableName1=t\r\nTableName2=t\r\nObjId1=x\r\n",
         "ObjId1"},
        {ReplaceAll(good, "CompSubType=20", "CompSubType=30"), "SelCompCountSource"},
        {ReplaceAll(good, "CompSubType=20", "CompSubType=30") + "SelCompCountTarget=2\r\n" +
             "SelCompTarget1=30,5,dbo.v\r\n",
         "SelCompTarget2"},
        {ReplaceAll(good, "CompSubType=20", "CompSubType=30") + "SelCompCountTarget=1\r\n" +
             "SelCompTarget1=dbo.v\r\n",
         "SelCompTarget1"},
        {ReplaceAll(good, "CompSubType=20", "CompSubType=30") + "SelCompCountTarget=-1\r\n",
         "SelCompCountTarget"},
        {good + "ExportFilePath=/tmp/x.txt\r\nExportType=0\r\n", "ExportType"},
        {good + "ExportFilePath=/tmp/x.csv\r\nExportType=2\r\nPrint=Yes\r\n", "Print"},
        // A deploying process names its script file, and runs it only naming its target.
        {good + "Action=deploy\r\nDeployScriptFile=/tmp/d.sql\r\n", ""},
        {good + "Action=deploy\r\nDeployScriptFile=/tmp/d.sql\r\nDeployApply=True\r\n"
                "DeployTarget=b\r\n",
         ""},
        {good + "Action=publish\r\n", "Action"},
        {good + "Action=deploy\r\n", "DeployScriptFile"},
        {good + "Action=deploy\r\nDeployScriptFile=/tmp/d.sql\r\nDeployApply=True\r\n",
         "DeployTarget"},
        {good + "Action=deploy\r\nDeployScriptFile=/tmp/d.sql\r\nDeployApply=True\r\n"
                "DeployTarget=a\r\n",
         "DeployTarget"},
        {good + "Action=deploy\r\nDeployScriptFile=/tmp/d.sql\r\nDeployApply=maybe\r\n",
         "DeployApply"},
    };
    TempFolder temp;
    const std::string ini = temp.Path() + "/orv_comps.ini";
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].section);
        std::ofstream(ini, std::ios::binary) << "[" << i + 1 << "]\r\n" << cases[i].section;
        ComparisonDescription d;
        std::string error;
        const bool read = ReadComparisonProcess(ini, static_cast<int32_t>(i + 1), d, error);
        if (cases[i].key.empty()) {
            EXPECT_TRUE(read) << error;
            continue;
        }
        EXPECT_FALSE(read);
        EXPECT_EQ(error.rfind("Saved comparison process [" + std::to_string(i + 1) +
                                  "] is refused: the key " + cases[i].key + " ",
                              0),
                  0u)
            << error;
        // The list still shows it, refused, with the same reason.
        const auto list = ListComparisonProcesses(ini);
        ASSERT_EQ(list.size(), 1u);
        EXPECT_FALSE(list[0].Valid);
        EXPECT_EQ(list[0].Error, error);
    }
    ComparisonDescription d;
    std::string error;
    EXPECT_FALSE(ReadComparisonProcess(ini, 99, d, error));
    EXPECT_EQ(error, "There is no saved comparison process number 99.");
}

TEST(SavedProcess, RenameAndDeleteTouchOnlyTheirProcessAndKeepTheFileMode) {
    TempFolder temp;
    const std::string ini = temp.Path() + "/orv_comps.ini";
    std::ofstream(ini, std::ios::binary) << "; kept by hand\r\n[Notes]\r\na=b\r\n";
    ASSERT_EQ(::chmod(ini.c_str(), 0600), 0);
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(
            SaveComparisonProcess(ini, WholeDatabase(kCompSubTypeAllObjects, "1,1,1,1,1,1,1")),
            i + 1);
    EXPECT_TRUE(RenameComparisonProcess(ini, 2, "  Weekly check  "));
    EXPECT_TRUE(DeleteComparisonProcess(ini, 1));
    EXPECT_FALSE(DeleteComparisonProcess(ini, 1));
    EXPECT_FALSE(RenameComparisonProcess(ini, 7, "x"));
    const auto list = ListComparisonProcesses(ini);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].Number, 2);
    EXPECT_EQ(list[0].Description.Name, "Weekly check");
    EXPECT_EQ(list[1].Number, 3);
    // Renaming to nothing takes the name away again.
    EXPECT_TRUE(RenameComparisonProcess(ini, 2, " "));
    EXPECT_EQ(ListComparisonProcesses(ini)[0].Description.Name, "");
    // The freed number is the next one given.
    EXPECT_EQ(SaveComparisonProcess(ini, WholeDatabase(kCompSubTypeAllObjects, "1,1,1,1,1,1,1")),
              1);
    const std::string text = TempFolder::Read(ini);
    EXPECT_EQ(text.rfind("; kept by hand\r\n[Notes]\r\na=b\r\n", 0), 0u) << text;
    struct stat st {};
    ASSERT_EQ(::stat(ini.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(SavedProcess, ProgramsSavingAtOnceKeepEveryProcess) {
    TempFolder temp;
    const std::string ini = temp.Path() + "/orv_comps.ini";
    constexpr int kPrograms = 6;
    constexpr int kEach = 8;
    std::vector<pid_t> children;
    for (int p = 0; p < kPrograms; ++p) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int failures = 0;
            for (int k = 0; k < kEach; ++k) {
                ComparisonDescription d = WholeDatabase(kCompSubTypeAllObjects, "1,1,1,1,1,1,1");
                d.Name = "p" + std::to_string(p) + "-" + std::to_string(k);
                if (SaveComparisonProcess(ini, d) == 0)
                    ++failures;
            }
            ::_exit(failures);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const auto list = ListComparisonProcesses(ini);
    ASSERT_EQ(list.size(), static_cast<size_t>(kPrograms * kEach));
    std::set<std::string> names;
    for (size_t i = 0; i < list.size(); ++i) {
        EXPECT_EQ(list[i].Number, static_cast<int32_t>(i + 1));
        EXPECT_TRUE(list[i].Valid) << list[i].Error;
        names.insert(list[i].Description.Name);
    }
    EXPECT_EQ(names.size(), static_cast<size_t>(kPrograms * kEach));
}

} // namespace
} // namespace orv

namespace orv {
namespace {

TEST(SavedProcess, EditingKeepsTheNumberAndStoresPatternsInKeysOfTheirOwn) {
    TempFolder temp;
    const std::string ini = temp.Path() + "/orv_comps.ini";
    // A process stored before patterns existed reads as "every object, not comparable fails".
    std::ofstream(ini, std::ios::binary)
        << "[1]\r\nCompType=1\r\nCompSubType=10\r\nEncObjTypes=1111110\r\nServerName1=A\r\n"
           "DbName1=x\r\nServerName2=B\r\nDbName2=y\r\nExportFilePath=/r/a.csv\r\n"
           "ExportType=2\r\n";
    ASSERT_EQ(SaveComparisonProcess(ini, WholeDatabase(kCompSubTypeAllObjects, "1,1,1,1,1,1,0")),
              2);
    ComparisonDescription d;
    std::string error;
    ASSERT_TRUE(ReadComparisonProcess(ini, 1, d, error)) << error;
    EXPECT_TRUE(d.IncludePatterns.empty());
    EXPECT_TRUE(d.ExcludePatterns.empty());
    EXPECT_FALSE(d.ReportNotComparable);

    d.Name = "Nightly";
    d.IncludePatterns = {"dbo.*"};
    d.ExcludePatterns = {"procedures:sales.usp_Commission_*", "views:*_old"};
    d.ReportNotComparable = true;
    d.SavedFullExportFilePath = "/r/a.html";
    d.ExportType = kExportHtml;
    ASSERT_TRUE(UpdateComparisonProcess(ini, 1, d));
    EXPECT_FALSE(UpdateComparisonProcess(ini, 9, d));
    ComparisonDescription back;
    ASSERT_TRUE(ReadComparisonProcess(ini, 1, back, error)) << error;
    EXPECT_TRUE(SameDescription(back, d));
    EXPECT_EQ(back.IncludePatterns, d.IncludePatterns);
    EXPECT_EQ(back.ExcludePatterns, d.ExcludePatterns);
    EXPECT_TRUE(back.ReportNotComparable);
    const std::string text = TempFolder::Read(ini);
    EXPECT_NE(text.find("Exclude2=views:*_old\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("NotComparable=report\r\n"), std::string::npos) << text;

    // Fewer patterns after a second edit: the old keys go, the other process stays.
    back.ExcludePatterns = {"x"};
    back.ReportNotComparable = false;
    ASSERT_TRUE(UpdateComparisonProcess(ini, 1, back));
    ASSERT_TRUE(ReadComparisonProcess(ini, 1, d, error)) << error;
    EXPECT_EQ(d.ExcludePatterns, std::vector<std::string>{"x"});
    EXPECT_FALSE(d.ReportNotComparable);
    EXPECT_EQ(ListComparisonProcesses(ini).size(), 2u);

    std::ofstream(ini, std::ios::app | std::ios::binary) << "[3]\r\nCompType=1\r\nCompSubType=10"
                                                            "\r\nEncObjTypes=1111110\r\n"
                                                            "ServerName1=A\r\nDbName1=x\r\n"
                                                            "ServerName2=B\r\nDbName2=y\r\n"
                                                            "NotComparable=ignore\r\n";
    EXPECT_FALSE(ReadComparisonProcess(ini, 3, d, error));
    EXPECT_NE(error.find("the key NotComparable holds \"ignore\""), std::string::npos) << error;
}

TEST(SavedProcess, TheExtensionFollowsTheExportType) {
    EXPECT_EQ(WithExportExtension("/r/report.csv", kExportHtml), "/r/report.html");
    EXPECT_EQ(WithExportExtension("/r/report.HTM", kExportCsv), "/r/report.csv");
    EXPECT_EQ(WithExportExtension("/r/report.html", kExportHtml), "/r/report.html");
    EXPECT_EQ(WithExportExtension("/r/report", kExportCsv), "/r/report.csv");
    EXPECT_EQ(WithExportExtension("/r.d/report.txt", kExportHtml), "/r.d/report.txt.html");
    EXPECT_EQ(WithExportExtension("", kExportHtml), "");
}

} // namespace
} // namespace orv
