// Object lists from record sets, duplicate detection, the list control's rows, report lines
// and the ignored-column files.
#include "catalog/ignored_columns.h"
#include "catalog/listing.h"
#include "catalog/object_text.h"
#include "catalog/record_counts.h"
#include "core/error_report.h"
#include "core/paths.h"
#include "test_catalog_rows.h"
#include "test_env.h"
#include "util/memory_list_control.h"
#include "util/memory_text_view.h"

#include <gtest/gtest.h>

namespace orv {
namespace {

using test::I;
using test::Rows;
using test::S;

std::unique_ptr<MemoryRecordset> Listing(std::vector<std::vector<FieldValue>> rows) {
    return Rows({"name", "refdate", "id"}, std::move(rows));
}

TEST(CatalogConvert, RowsBecomeEntriesInOrder) {
    test::TestEnv env;
    auto rs = Listing({{S("Customers"), FieldValue::Date("2024-01-05 14:03:00.000"), I(7)},
                       {S("Orders"), FieldValue::Date("2023-12-31 00:00:00.000"), I(9)}});
    rs->MoveNext(); // the conversion starts from the first row wherever the cursor stands
    std::vector<TwoStr> entries(3);
    int32_t count = -5;
    ASSERT_TRUE(ConvertRecordsetToTwoStrArray(rs.get(), entries, count));
    ASSERT_EQ(count, 2);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].Name, "Customers");
    EXPECT_EQ(entries[0].RefDate, "1/5/2024 2:03:00 PM");
    EXPECT_EQ(entries[0].Id, 7);
    EXPECT_EQ(entries[1].RefDate, "12/31/2023");
    EXPECT_EQ(entries[1].Schema, "");
}

TEST(CatalogConvert, MissingEmptyAndClosedRecordSets) {
    test::TestEnv env;
    std::vector<TwoStr> entries(2);
    int32_t count = 3;
    EXPECT_TRUE(ConvertRecordsetToTwoStrArray(nullptr, entries, count));
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(entries.empty());

    auto empty = Listing({});
    EXPECT_TRUE(ConvertRecordsetToTwoStrArray(empty.get(), entries, count));
    EXPECT_EQ(count, 0);

    auto closed = Listing({{S("a"), S(""), I(1)}});
    closed->Close();
    int reports = 0;
    SetErrorReportHandler([&](const ErrorReport&) { ++reports; });
    EXPECT_FALSE(ConvertRecordsetToTwoStrArray(closed.get(), entries, count));
    SetErrorReportHandler(nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(reports, 0) << "a closed record set is not worth a report";
}

TEST(CatalogDuplicates, OnlyEqualNeighboursCount) {
    auto names = [](std::vector<std::string> list) {
        std::vector<TwoStr> out;
        for (auto& n : list)
            out.push_back({n, "", 1, ""});
        return out;
    };
    EXPECT_FALSE(AreDuplicatesInArr_TwoStr(names({"Orders", "orders"}), 2));
    EXPECT_TRUE(AreDuplicatesInArr_TwoStr(names({"A", "Orders", "Orders"}), 3));
    // Not neighbours: the listing's name order is relied upon.
    EXPECT_FALSE(AreDuplicatesInArr_TwoStr(names({"Orders", "X", "Orders"}), 3));
    // The count bounds the comparison.
    EXPECT_FALSE(AreDuplicatesInArr_TwoStr(names({"A", "B", "B"}), 2));
    EXPECT_FALSE(AreDuplicatesInArr_TwoStr({}, 0));
}

TEST(CatalogListView, RowsCarryNameUpperCaseDateAndHiddenId) {
    test::TestEnv env;
    MemoryListControl list;
    list.AddItem("old");
    std::vector<TwoStr> entries{{"dbo.Orders", "1/5/2024 2:03:00 pm", 12, "dbo"},
                                {"Shippers", "12/31/2023", 40, ""}};
    LoadListView(list, entries, 2);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.CellText(0, 0), "dbo.Orders");
    EXPECT_EQ(list.CellText(0, 1), "1/5/2024 2:03:00 PM");
    EXPECT_EQ(list.CellText(1, 2), "40");
    ASSERT_GE(list.ColumnCount(), 3);
    EXPECT_TRUE(list.columns[2].hidden);
    EXPECT_EQ(list.CurrentRow(), 0);
    EXPECT_EQ(list.Tag(), "");

    LoadListView(list, {}, 0);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.CurrentRow(), -1);
}

TEST(CatalogTextBox, EmptyListShowsNothingToShow) {
    test::TestEnv env;
    ServerEntry server;
    MemoryListControl list;
    MemoryTextView view;
    view.SetText("previous object's text");
    list.SetTag("OFF");
    UpdateProcedureTextBox(server, view, list, kTypeProcedure, "Sales", "", 0);
    EXPECT_EQ(view.Text(), "<<Nothing to show>>");
    EXPECT_EQ(list.Tag(), "");
}

TEST(CatalogReportLines, NumberColumnAndRecordCounts) {
    EXPECT_EQ(ReportNumberColumn(1), "   1  ");
    EXPECT_EQ(ReportNumberColumn(10), "  10  ");
    EXPECT_EQ(ReportNumberColumn(100), " 100  ");
    EXPECT_EQ(ReportNumberColumn(1000), "1000  ");
    EXPECT_EQ(ReportNumberColumn(12345), "12345  ");
    EXPECT_EQ(RecordCountText(1), " (1 record)");
    EXPECT_EQ(RecordCountText(0), " (0 records)");
    EXPECT_EQ(RecordCountText(1234), " (1,234 records)");
    EXPECT_EQ(RecordCountText(999), " (999 records)");
    EXPECT_EQ(FormatThousands(1234567), "1,234,567");
    EXPECT_EQ(FormatThousands(100000), "100,000");
}

class NoRunner : public ReportRunner {
public:
    void ShowProgress(const std::string& caption) override { captions.push_back(caption); }
    std::vector<std::string> captions;
};

TEST(CatalogReportLines, NonTableReportIsNumberedAndCancellable) {
    test::TestEnv env;
    std::vector<std::vector<FieldValue>> rows;
    for (int i = 1; i <= 12; ++i)
        rows.push_back({S("p" + std::to_string(i)), S(""), I(i)});
    auto rs = Listing(rows);
    ServerEntry server;
    NoRunner runner;
    const std::string text = RecordsetToString(runner, rs.get(), kTypeProcedure, server, "D", true);
    EXPECT_EQ(text.substr(0, 10), "   1  p1\r\n");
    EXPECT_NE(text.find("\r\n  10  p10\r\n"), std::string::npos);
    EXPECT_EQ(runner.captions.size(), 12u);

    auto plain = Listing({{S("v1"), S(""), I(1)}, {S("v2"), S(""), I(2)}});
    EXPECT_EQ(RecordsetToString(runner, plain.get(), kTypeView, server, "D", false),
              "v1\r\nv2\r\n");

    // A cancel before the first row leaves nothing; the flag is read before every row.
    class CancelAfterFirst : public ReportRunner {
    public:
        void ShowProgress(const std::string&) override { mblnCancel = true; }
    } cancelling;
    auto again = Listing({{S("a"), S(""), I(1)}, {S("b"), S(""), I(2)}});
    EXPECT_EQ(RecordsetToString(cancelling, again.get(), kTypeView, server, "D", true),
              "   1  a\r\n");
    EXPECT_EQ(RecordsetToString(cancelling, again.get(), kTypeView, server, "D", true), "");
    EXPECT_EQ(RecordsetToString(runner, nullptr, kTypeView, server, "D", true), "");
}

TEST(CatalogIgnoredColumns, SectionsPerTableAndKind) {
    test::TestEnv env;
    ASSERT_TRUE(test::WriteTextFile(Paths().IgnoredColsStructIni,
                                    "[SRV.Sales.Orders]\r\nc1=Amount\r\nzz=modified\r\n"
                                    "[SRV.Archive.Orders]\r\nx=Other\r\n"));
    ASSERT_TRUE(
        test::WriteTextFile(Paths().IgnoredColsDataIni, "[srv.sales.orders]\r\nk=rowguid\r\n"));
    ASSERT_TRUE(test::WriteTextFile(Paths().IgnoredColsAnalysisIni, "[T]\r\na=\r\nb=\r\n"));

    std::vector<std::string> cols{"stale"};
    EXPECT_EQ(GetIgnoredColumns(kIgnoredForStructure, "SRV.Sales.Orders", cols), 2);
    EXPECT_EQ(cols, (std::vector<std::string>{"Amount", "modified"}));
    EXPECT_EQ(GetIgnoredColumns(kIgnoredForStructure, "SRV.Archive.Orders", cols), 1);
    EXPECT_EQ(cols, (std::vector<std::string>{"Other"}));
    // Section names ignore letter case; each kind reads its own file.
    EXPECT_EQ(GetIgnoredColumns(kIgnoredForData, "SRV.Sales.Orders", cols), 1);
    EXPECT_EQ(cols, (std::vector<std::string>{"rowguid"}));
    // Empty values still name one (empty) column each.
    EXPECT_EQ(GetIgnoredColumns(kIgnoredForAnalysis, "T", cols), 2);
    EXPECT_EQ(cols, (std::vector<std::string>{"", ""}));
    EXPECT_EQ(GetIgnoredColumns(kIgnoredForStructure, "SRV.Sales.Missing", cols), 0);
    EXPECT_TRUE(cols.empty());
    EXPECT_EQ(GetIgnoredColumns(7, "SRV.Sales.Orders", cols), 0);
}

} // namespace
} // namespace orv
