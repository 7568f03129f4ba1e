// The data grid: compact cell storage, what the view shows of it, and the memory ceiling.
#include "ui/widgets/data_grid.h"

#include <QApplication>
#include <QBrush>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orv {
namespace {

TEST(DataGridStore, CellsReadBackExactlyWhateverTheirSizeOrPosition) {
    DataGridStore s;
    s.SetCols(5);
    ASSERT_TRUE(s.SetRows(4));
    const std::string big(3u << 20, 'x'); // larger than an arena block
    const std::string_view row1[] = {"1", "", "Zoë ✓", big, ""};
    ASSERT_TRUE(s.SetRow(1, row1, 5));
    const std::string_view row3[] = {"3", "only"};
    ASSERT_TRUE(s.SetRow(3, row3, 2));

    EXPECT_EQ(s.Cell(1, 0), "1");
    EXPECT_EQ(s.Cell(1, 1), "");
    EXPECT_EQ(s.Cell(1, 2), "Zoë ✓");
    EXPECT_EQ(s.Cell(1, 3), big);
    EXPECT_EQ(s.Cell(1, 4), "");
    EXPECT_EQ(s.Cell(3, 1), "only");
    EXPECT_EQ(s.Cell(3, 4), "");
    EXPECT_FALSE(s.RowWritten(2));
    EXPECT_EQ(s.Cell(2, 0), "");
    EXPECT_EQ(s.Cell(9, 0), "");
    EXPECT_EQ(s.Cell(1, -1), "");

    // One cell rewritten; its neighbours keep their texts.
    ASSERT_TRUE(s.SetCell(1, 1, "mid"));
    ASSERT_TRUE(s.SetCell(3, 4, "tail"));
    EXPECT_EQ(s.Cell(1, 0), "1");
    EXPECT_EQ(s.Cell(1, 1), "mid");
    EXPECT_EQ(s.Cell(1, 3), big);
    EXPECT_EQ(s.Cell(3, 1), "only");
    EXPECT_EQ(s.Cell(3, 3), "");
    EXPECT_EQ(s.Cell(3, 4), "tail");
}

TEST(DataGridStore, RowsCostLittleMoreThanTheirText) {
    DataGridStore s;
    s.SetCols(9);
    const int rows = 100000;
    ASSERT_TRUE(s.SetRows(rows + 1));
    size_t text = 0;
    for (int r = 1; r <= rows; ++r) {
        const std::string n = std::to_string(r);
        const std::string_view cells[] = {n, "alpha", "beta", "gamma", "12.50", "2024-01-01",
                                          n, "x",     "y"};
        for (auto c : cells)
            text += c.size();
        ASSERT_TRUE(s.SetRow(r, cells, 9));
    }
    // Lengths, the row table and the last partly used block on top of the text.
    EXPECT_LT(s.MemoryUsed(), text + size_t{rows} * (10 + 8) + (2u << 20));
}

TEST(DataGridStore, RefusesWritesBeyondItsMemoryAndKeepsWhatItHas) {
    DataGridStore s;
    s.SetCols(2);
    ASSERT_TRUE(s.SetRows(100001));
    s.SetMemoryLimit(s.MemoryUsed() + (1u << 20));
    const std::string text(100, 'a');
    int64_t written = 0;
    for (int64_t r = 1; r <= 100000; ++r) {
        const std::string_view cells[] = {"r", text};
        if (!s.SetRow(r, cells, 2))
            break;
        written = r;
    }
    EXPECT_GT(written, 1000);
    EXPECT_LT(written, 100000);
    EXPECT_EQ(s.Cell(written, 1), text);
    EXPECT_FALSE(s.RowWritten(written + 1));
    EXPECT_FALSE(s.SetRows(10000000));
    EXPECT_EQ(s.Rows(), 100001);
}

TEST(DataGridStore, ColoursBelongToCellsAndGoWithRemovedRows) {
    DataGridStore s;
    s.SetCols(3);
    ASSERT_TRUE(s.SetRows(5));
    s.SetBackColor(4, 2, 0x00FF00);
    s.SetForeColor(4, 2, 255);
    EXPECT_EQ(s.BackColor(4, 2), 0x00FF00u);
    EXPECT_EQ(s.BackColor(2, 4), DataGridStore::kNoColor);
    EXPECT_EQ(s.ForeColor(4, 2), 255u);
    ASSERT_TRUE(s.SetRows(3));
    ASSERT_TRUE(s.SetRows(5));
    EXPECT_EQ(s.BackColor(4, 2), DataGridStore::kNoColor);
    EXPECT_EQ(s.ForeColor(4, 2), DataGridStore::kNoColor);
}

class DataGridTest : public ::testing::Test {
protected:
    void SetUp() override {
        grid.resize(400, 300);
        grid.SetCols(3);
        grid.SetRows(126);
        grid.SetTextMatrix(0, 0, "Row");
        grid.SetTextMatrix(0, 1, "Name");
        for (int r = 1; r <= 125; ++r) {
            const std::string n = std::to_string(r);
            const std::string name = "name " + n;
            const std::string_view cells[] = {n, name, "Null"};
            grid.SetRowTexts(r, cells, 3);
        }
    }
    QString Shown(int row, int col) const {
        return grid.model()->index(row - 1, col).data().toString();
    }
    DataGrid grid;
};

TEST_F(DataGridTest, HeaderRowBecomesTheColumnHeadersAndDataRowsFollow) {
    EXPECT_EQ(grid.model()->rowCount(), 125);
    EXPECT_EQ(grid.model()->headerData(0, Qt::Horizontal).toString(), "Row");
    EXPECT_EQ(grid.model()->headerData(1, Qt::Horizontal).toString(), "Name");
    EXPECT_EQ(Shown(1, 0), "1");
    EXPECT_EQ(Shown(125, 1), "name 125");
    EXPECT_EQ(grid.TextMatrix(125, 2), "Null");
    EXPECT_THROW(grid.SetTextMatrix(126, 0, "x"), GridError);
}

TEST_F(DataGridTest, CellColoursReachTheView) {
    grid.SetCellBackColor(2, 1, 0x00FFFF); // yellow as 0x00BBGGRR
    grid.SetCellForeColor(2, 1, 255);      // red
    const QModelIndex i = grid.model()->index(1, 1);
    EXPECT_EQ(i.data(Qt::BackgroundRole).value<QBrush>().color(), QColor(255, 255, 0));
    EXPECT_EQ(i.data(Qt::ForegroundRole).value<QBrush>().color(), QColor(255, 0, 0));
    EXPECT_FALSE(grid.model()->index(1, 2).data(Qt::BackgroundRole).isValid());
}

TEST_F(DataGridTest, ColumnWidthsAreGivenInTwips) {
    grid.SetColWidth(0, 540);
    grid.SetColWidth(1, 1440);
    EXPECT_EQ(grid.columnWidth(0), 36);
    EXPECT_EQ(grid.columnWidth(1), 96);
    EXPECT_EQ(grid.ColWidth(1), 1440);
}

TEST_F(DataGridTest, WritesWhileRepaintingIsOffSendNoNoticesUntilItIsOnAgain) {
    QSignalSpy changed(grid.model(), &QAbstractItemModel::dataChanged);
    grid.SetRedraw(false);
    for (int r = 1; r <= 50; ++r) {
        const std::string_view cells[] = {"x", "y", "z"};
        grid.SetRowTexts(r, cells, 3);
    }
    EXPECT_EQ(changed.count(), 0);
    grid.SetRedraw(true);
    EXPECT_EQ(changed.count(), 1);
    grid.SetTextMatrix(3, 1, "again");
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(Shown(3, 1), "again");
}

TEST_F(DataGridTest, GrowingByManyRowsIsOneInsertion) {
    QSignalSpy inserted(grid.model(), &QAbstractItemModel::rowsInserted);
    EXPECT_EQ(grid.AddRows(1000), 126);
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_EQ(grid.Rows(), 1126);
    EXPECT_EQ(grid.model()->rowCount(), 1125);
    EXPECT_EQ(grid.TextMatrix(1125, 0), "");
}

TEST_F(DataGridTest, TopRowAndCurrentCellFollowRequests) {
    grid.show();
    EXPECT_EQ(grid.TopRow(), 1);
    grid.SetTopRow(40);
    EXPECT_EQ(grid.TopRow(), 40);
    grid.SetTopRow(80);
    EXPECT_EQ(grid.TopRow(), 80);
    grid.SetTopRow(500); // no such row: nothing moves
    EXPECT_EQ(grid.TopRow(), 80);
    grid.SetTopRow(1);
    EXPECT_EQ(grid.TopRow(), 1);
    grid.SetRow(7);
    grid.SetCol(2);
    EXPECT_EQ(grid.Row(), 7);
    EXPECT_EQ(grid.Col(), 2);
}

TEST_F(DataGridTest, AGridOutOfMemoryReportsTheGridErrorNumber) {
    grid.Model().Store().SetMemoryLimit(grid.Model().Store().MemoryUsed());
    const std::string big(2u << 20, 'q');
    const std::string_view cells[] = {"1", big};
    try {
        grid.SetRowTexts(1, cells, 2);
        FAIL() << "no error";
    } catch (const GridError& e) {
        EXPECT_EQ(e.Number(), kGridErrOutOfMemory);
    }
    EXPECT_EQ(grid.TextMatrix(1, 1), "name 1");
}

} // namespace
} // namespace orv
