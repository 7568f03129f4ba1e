// What the tools write to files: one table's ignored columns replaced in an INI file that
// keeps everything else, the listing of every table's ignored columns, and a table streamed to
// CSV or HTML all or nothing.
#include "catalog/ignored_columns.h"
#include "core/paths.h"
#include "explore/ignored_columns_edit.h"
#include "export/table_export.h"
#include "test_env.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace orv {
namespace {

using test::ReadTextFile;
using test::WriteTextFile;

class IgnoredColumnsFiles : public ::testing::Test {
protected:
    test::TestEnv env;
};

TEST_F(IgnoredColumnsFiles, ReplacingOneSectionKeepsTheRestOfTheFile) {
    const std::string path = IgnoredColumnsFile(kIgnoredForData);
    ASSERT_TRUE(WriteTextFile(path, "; my notes\r\n[a.b.Other]\r\nx=Keep\r\n\r\n"
                                    "[srv.Db.T]\r\nold1=Gone\r\nold2=AlsoGone\r\n\r\n"
                                    "[z.z.Last]\r\nk=Stay\r\n"));
    std::string error;
    // Names the INI reader would trim or unquote come back exactly.
    const std::vector<std::string> columns = {"Plain", " padded ", "\"quoted\"", "a=b;c", "'x"};
    ASSERT_TRUE(SetIgnoredColumns(kIgnoredForData, "SRV.db.t", columns, error)) << error;
    std::vector<std::string> back;
    EXPECT_EQ(GetIgnoredColumns(kIgnoredForData, "srv.Db.T", back), 5);
    EXPECT_EQ(back, columns);
    const std::string text = ReadTextFile(path);
    EXPECT_EQ(text.rfind("; my notes\r\n[a.b.Other]\r\nx=Keep\r\n\r\n", 0), 0u) << text;
    EXPECT_NE(text.find("\r\n\r\n[z.z.Last]\r\nk=Stay\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("Gone"), std::string::npos);
    // The other kinds' files are not touched.
    EXPECT_FALSE(std::filesystem::exists(IgnoredColumnsFile(kIgnoredForStructure)));

    // No columns: the section goes, the neighbours stay.
    ASSERT_TRUE(SetIgnoredColumns(kIgnoredForData, "srv.Db.T", {}, error)) << error;
    EXPECT_EQ(GetIgnoredColumns(kIgnoredForData, "srv.Db.T", back), 0);
    EXPECT_NE(ReadTextFile(path).find("k=Stay"), std::string::npos);
    EXPECT_NE(ReadTextFile(path).find("x=Keep"), std::string::npos);
}

// One section name per table, with its schema; a list of the earlier naming (no schema) is
// read while the table has no list of its own, and goes when the table's list is written, in
// the same replace, so an emptied list does not bring the earlier one back.
TEST_F(IgnoredColumnsFiles, TheTablesSectionCarriesItsSchemaAndTakesOverTheEarlierOne) {
    const IgnoredTable dbo{"SRV", "Shop", "dbo", "Orders"};
    const IgnoredTable sales{"SRV", "Shop", "sales", "Orders"};
    EXPECT_EQ(IgnoredColumnsSection(dbo), "SRV.Shop.dbo.Orders");
    EXPECT_EQ(IgnoredColumnsSection({"SRV", "Shop", "", "Orders"}), "SRV.Shop.Orders");
    const std::string path = IgnoredColumnsFile(kIgnoredForData);
    ASSERT_TRUE(WriteTextFile(path, "[SRV.Shop.Orders]\r\nCol1=Stamp\r\n\r\n"
                                    "[srv.shop.SALES.orders]\r\nCol1=Note\r\n"));
    std::vector<std::string> back;
    EXPECT_EQ(GetIgnoredColumns(kIgnoredForData, dbo, back), 1);
    EXPECT_EQ(back, std::vector<std::string>{"Stamp"}) << "the earlier list still counts";
    EXPECT_EQ(GetIgnoredColumns(kIgnoredForData, sales, back), 1);
    EXPECT_EQ(back, std::vector<std::string>{"Note"}) << "a table's own list comes first";

    std::string error;
    ASSERT_TRUE(SetIgnoredColumns(kIgnoredForData, dbo, {"Stamp", "Flag"}, error)) << error;
    EXPECT_EQ(GetIgnoredColumns(kIgnoredForData, "SRV.Shop.dbo.Orders", back), 2);
    EXPECT_EQ(GetIgnoredColumns(kIgnoredForData, "SRV.Shop.Orders", back), 0);
    ASSERT_TRUE(SetIgnoredColumns(kIgnoredForData, dbo, {}, error)) << error;
    EXPECT_EQ(GetIgnoredColumns(kIgnoredForData, dbo, back), 0);
    EXPECT_EQ(GetIgnoredColumns(kIgnoredForData, sales, back), 1) << "other schema untouched";

    // Emptying a list that exists only under the earlier naming removes it too.
    ASSERT_TRUE(WriteTextFile(path, "[SRV.Shop.Orders]\r\nCol1=Stamp\r\n"));
    ASSERT_TRUE(SetIgnoredColumns(kIgnoredForData, dbo, {}, error)) << error;
    EXPECT_EQ(GetIgnoredColumns(kIgnoredForData, dbo, back), 0);
}

TEST_F(IgnoredColumnsFiles, NamesAnIniCannotHoldAndUnwritableFilesChangeNothing) {
    const std::string path = IgnoredColumnsFile(kIgnoredForStructure);
    ASSERT_TRUE(WriteTextFile(path, "[s.d.T]\r\nCol1=A\r\n"));
    std::string error;
    EXPECT_FALSE(SetIgnoredColumns(kIgnoredForStructure, "s.d.T", {"line\nbreak"}, error));
    EXPECT_NE(error.find("line break"), std::string::npos);
    EXPECT_FALSE(SetIgnoredColumns(kIgnoredForStructure, "s.d.T ", {"A"}, error));
    EXPECT_EQ(ReadTextFile(path), "[s.d.T]\r\nCol1=A\r\n");

    // A file that cannot be replaced: its folder is read-only (or, for root, is no folder).
    const std::string blocked = env.PathOf("blocked");
    std::string target = path;
    if (::geteuid() == 0) {
        ASSERT_TRUE(WriteTextFile(blocked, "a file where a folder should be"));
        target = blocked + "/orv_ignored_cols_struct.ini";
        Paths().IgnoredColsStructIni = target;
    }
    const std::string folder = std::filesystem::path(path).parent_path().string();
    if (::geteuid() != 0) {
        ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    }
    EXPECT_FALSE(SetIgnoredColumns(kIgnoredForStructure, "s.d.T", {"B"}, error));
    if (::geteuid() != 0)
        ::chmod(folder.c_str(), 0755);
    Paths().IgnoredColsStructIni = path;
    EXPECT_NE(error.find(target), std::string::npos) << error;
    EXPECT_NE(error.find("unchanged"), std::string::npos) << error;
    EXPECT_EQ(ReadTextFile(path), "[s.d.T]\r\nCol1=A\r\n");
}

TEST_F(IgnoredColumnsFiles, ReportListsEveryTableWithItsColumns) {
    std::string error;
    EXPECT_NE(
        IgnoredColumnsReport(kIgnoredForData, "Data Comparisons").find("No columns are ignored."),
        std::string::npos);
    ASSERT_TRUE(SetIgnoredColumns(kIgnoredForData, "s.d.T1", {"A", "B"}, error));
    // A table whose name holds "]" keeps its own section.
    ASSERT_TRUE(SetIgnoredColumns(kIgnoredForData, "s.d.T2", {"C"}, error));
    ASSERT_TRUE(SetIgnoredColumns(kIgnoredForData, "s.d.T]2", {"E"}, error));
    std::vector<std::string> back;
    EXPECT_EQ(GetIgnoredColumns(kIgnoredForData, "s.d.T]2", back), 1);
    EXPECT_EQ(GetIgnoredColumns(kIgnoredForData, "s.d.T2", back), 1);
    EXPECT_EQ(back, std::vector<std::string>{"C"});
    ASSERT_TRUE(SetIgnoredColumns(kIgnoredForData, "s.d.T]2", {}, error));
    ASSERT_TRUE(SetIgnoredColumns(kIgnoredForStructure, "s.d.T3", {"D"}, error));
    const std::string report = IgnoredColumnsReport(kIgnoredForData, "Data Comparisons");
    EXPECT_EQ(report, "List All Ignored Columns - Data Comparisons\r\nFile: " +
                          IgnoredColumnsFile(kIgnoredForData) +
                          "\r\n\r\ns.d.T1\r\n    A\r\n    B\r\n\r\ns.d.T2\r\n    C\r\n"
                          "\r\n2 tables, 3 columns.\r\n");
}

class TableExport : public ::testing::Test {
protected:
    test::TestEnv env;
};

TEST_F(TableExport, CsvAndHtmlRowsWithNulls) {
    struct Case {
        TableExportFormat format;
        std::string nullText;
        std::string expected; // the whole file, or a part of it for HTML
        bool whole;
    };
    const Case cases[] = {
        {TableExportFormat::Csv, "",
         "id,\"na,me\"\r\n1,\"a \"\"q\"\"\"\r\n2,\r\n3,Null\r\n4,\"x\r\ny\"\r\n", true},
        {TableExportFormat::Csv, "NULL",
         "id,\"na,me\"\r\n1,\"a \"\"q\"\"\"\r\n2,NULL\r\n3,Null\r\n4,\"x\r\ny\"\r\n", true},
        {TableExportFormat::Html, "NULL", "<td class=\"null\">NULL</td>", false},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string path = env.PathOf("out" + std::to_string(++n));
        TableExportWriter w;
        std::string error;
        ASSERT_TRUE(w.Open(path, {c.format, c.nullText, "T <1>"}, {"id", "na,me"}, error)) << error;
        const std::string_view rows[][2] = {
            {"1", "a \"q\""}, {"2", ""}, {"3", "Null"}, {"4", "x\r\ny"}};
        const bool nulls[][2] = {{false, false}, {false, true}, {false, false}, {false, false}};
        for (size_t i = 0; i < 4; ++i)
            ASSERT_TRUE(w.WriteRow(rows[i], nulls[i], 2));
        EXPECT_FALSE(std::filesystem::exists(path)) << "nothing appears before Commit";
        ASSERT_TRUE(w.Commit(error)) << error;
        EXPECT_EQ(w.RowsWritten(), 4);
        const std::string file = ReadTextFile(path);
        if (c.whole) {
            EXPECT_EQ(file, c.expected);
        } else {
            EXPECT_NE(file.find(c.expected), std::string::npos) << file;
            EXPECT_NE(file.find("<td>a &quot;q&quot;</td>"), std::string::npos) << file;
            EXPECT_NE(file.find("T &lt;1&gt;"), std::string::npos);
            EXPECT_NE(file.find("</table>"), std::string::npos);
        }
    }
}

TEST_F(TableExport, ManyRowsStreamAndBadFoldersFailWithoutAFile) {
    const std::string path = env.PathOf("big.csv");
    ASSERT_TRUE(WriteTextFile(path, "old"));
    TableExportWriter w;
    std::string error;
    ASSERT_TRUE(w.Open(path, {}, {"n", "text"}, error));
    const std::string filler(100, 'x');
    for (int i = 0; i < 20000; ++i) {
        const std::string n = std::to_string(i);
        const std::string_view cells[] = {n, filler};
        ASSERT_TRUE(w.WriteRow(cells, nullptr, 2));
    }
    EXPECT_EQ(ReadTextFile(path), "old") << "the old file stays until Commit";
    w.Discard();
    EXPECT_EQ(ReadTextFile(path), "old");

    TableExportWriter missing;
    EXPECT_FALSE(missing.Open(env.PathOf("no/such/folder/x.csv"), {}, {"a"}, error));
    EXPECT_FALSE(error.empty());
    const bool root = ::geteuid() == 0;
    const std::string folder = root ? "/proc" : env.PathOf("ro");
    if (!root) {
        std::filesystem::create_directories(folder);
        ::chmod(folder.c_str(), 0555);
    }
    TableExportWriter readOnly;
    error.clear();
    EXPECT_FALSE(readOnly.Open(folder + "/orvane-x.csv", {}, {"a"}, error));
    EXPECT_FALSE(error.empty());
    if (!root)
        ::chmod(folder.c_str(), 0755);
    EXPECT_FALSE(std::filesystem::exists(folder + "/orvane-x.csv"));
}

} // namespace
} // namespace orv
