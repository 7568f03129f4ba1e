// Records written into the data view's grid by the comparison-oriented operations: two records
// with their differences marked, and a run of records appended in one go.
#include "test_env.h"
#include "ui/tools/frm_data_view.h"
#include "ui/widgets/data_grid.h"

#include <gtest/gtest.h>

namespace orv {
namespace {

MemoryRecordset Records(std::vector<std::vector<FieldValue>> rows, int fields) {
    std::vector<FieldInfo> info;
    for (int i = 0; i < fields; ++i)
        info.push_back(FieldInfo{"F" + std::to_string(i), 0, 0});
    return MemoryRecordset(std::move(info), std::move(rows));
}

class DataViewRecords : public ::testing::Test {
protected:
    void SetUp() override {
        w.Grid()->SetCols(4);
        w.Grid()->SetRows(2); // header row and one loaded row
        w.Grid()->SetTextMatrix(1, 0, "1");
    }
    test::TestEnv env;
    frmDataView w;
};

TEST_F(DataViewRecords, MarkDiffPutsBothRecordsUnderEachOtherAndReddensDifferences) {
    auto a = Records({{FieldValue::Int(7), FieldValue::Str("same"), FieldValue::Str("left")}}, 3);
    auto b = Records({{FieldValue::Int(7), FieldValue::Str("same")}}, 2); // one field short
    w.AddRecordToGrid_MarkDiff(a, b, 0xFFFFFF, 0xC0C0C0, 12);
    DataGrid* g = w.Grid();
    ASSERT_EQ(g->Rows(), 4);
    EXPECT_EQ(g->TextMatrix(2, 0), "12");
    EXPECT_EQ(g->TextMatrix(3, 0), "12");
    EXPECT_EQ(g->TextMatrix(2, 1), "7");
    EXPECT_EQ(g->TextMatrix(3, 2), "same");
    EXPECT_EQ(g->TextMatrix(2, 3), "left");
    EXPECT_EQ(g->TextMatrix(3, 3), "");
    for (int c = 1; c <= 3; ++c) {
        EXPECT_EQ(g->CellBackColor(2, c), 0xFFFFFFu);
        EXPECT_EQ(g->CellBackColor(3, c), 0xC0C0C0u);
    }
    EXPECT_EQ(g->CellForeColor(2, 1), 0u);
    EXPECT_EQ(g->CellForeColor(3, 2), 0u);
    EXPECT_EQ(g->CellForeColor(2, 3), 255u);
    EXPECT_EQ(g->CellForeColor(3, 3), 255u);
    // The row-number column keeps the grid's own colours.
    EXPECT_EQ(g->CellBackColor(2, 0), DataGridStore::kNoColor);
}

TEST_F(DataViewRecords, MultipleRecordsAreAppendedWithTheirNumbersAndColour) {
    auto rs = Records({{FieldValue::Str("a"), FieldValue::Null()},
                       {FieldValue::Str("b"), FieldValue::Int(2)},
                       {FieldValue::Str("c"), FieldValue::Int(3)}},
                      2);
    // The set stands on "a", just before the records wanted (numbers 5 and 6).
    w.AddMultipleRecordsToGrid(rs, 0x00FF00, 5, 6);
    DataGrid* g = w.Grid();
    ASSERT_EQ(g->Rows(), 4);
    EXPECT_EQ(g->TextMatrix(2, 0), "5");
    EXPECT_EQ(g->TextMatrix(2, 1), "b");
    EXPECT_EQ(g->TextMatrix(3, 0), "6");
    EXPECT_EQ(g->TextMatrix(3, 2), "3");
    EXPECT_EQ(g->CellBackColor(3, 1), 0x00FF00u);
    EXPECT_EQ(g->CellBackColor(3, 0), DataGridStore::kNoColor);
    EXPECT_TRUE(env.prompter.messages.empty());
}

TEST_F(DataViewRecords, RunningOutOfRecordsStopsWithTheDebugMessage) {
    auto rs = Records(
        {{FieldValue::Str("a"), FieldValue::Null()}, {FieldValue::Str("b"), FieldValue::Null()}},
        2);
    w.AddMultipleRecordsToGrid(rs, 0, 1, 3);
    DataGrid* g = w.Grid();
    EXPECT_EQ(g->Rows(), 5); // grown for all three before the set ran out
    EXPECT_EQ(g->TextMatrix(2, 1), "b");
    EXPECT_EQ(g->TextMatrix(2, 2), "Null");
    EXPECT_EQ(g->TextMatrix(3, 0), "");
    ASSERT_EQ(env.prompter.messages.size(), 1u);
    EXPECT_EQ(env.prompter.messages[0].text,
              "Debug - wrong number of records in AddMultipleRecordsToGrid.");
}

TEST_F(DataViewRecords, AddRecordWritesNumberFieldTextsAndNull) {
    auto rs =
        Records({{FieldValue::Dec("12.50"), FieldValue::Null(), FieldValue::Boolean(true)}}, 3);
    w.AddRecordToGrid(rs, 0, 1);
    EXPECT_EQ(w.Grid()->TextMatrix(1, 0), "1");
    EXPECT_EQ(w.Grid()->TextMatrix(1, 1), "12.50");
    EXPECT_EQ(w.Grid()->TextMatrix(1, 2), "Null");
    EXPECT_EQ(w.Grid()->TextMatrix(1, 3), "True");
}

} // namespace
} // namespace orv
