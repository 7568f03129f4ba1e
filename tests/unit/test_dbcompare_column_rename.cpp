// Which table differences are flagged "renamed?": exactly one column only in each side, of the
// same shape. Anything looser would invite a user to confirm a rename that loses data.
#include "dbcompare/column_rename.h"

#include <gtest/gtest.h>

namespace orv {
namespace {

TEST(ColumnRenameGuess, OnlyOnePairOfTheSameShapeIsFlagged) {
    const std::vector<ColumnShape> target = {{"Id", "[int] IDENTITY(1,1) NOT NULL"},
                                             {"Qty", "[smallint] NOT NULL"},
                                             {"Notes", "[varchar] (20) NULL"}};
    struct Case {
        const char* About;
        std::vector<ColumnShape> Source;
        const char* Old; // empty: not flagged
        const char* New;
    };
    const Case cases[] = {
        {"renamed",
         {{"Id", "[int] IDENTITY(1,1) NOT NULL"},
          {"Quantity", "[smallint] NOT NULL"},
          {"Notes", "[varchar] (20) NULL"}},
         "Qty",
         "Quantity"},
        {"renamed, another column changed too",
         {{"Id", "[int] IDENTITY(1,1) NOT NULL"},
          {"Quantity", "[smallint] NOT NULL"},
          {"Notes", "[varchar] (40) NULL"}},
         "Qty",
         "Quantity"},
        {"the type differs",
         {{"Id", "[int] IDENTITY(1,1) NOT NULL"},
          {"Quantity", "[int] NOT NULL"},
          {"Notes", "[varchar] (20) NULL"}},
         "",
         ""},
        {"nullability differs",
         {{"Id", "[int] IDENTITY(1,1) NOT NULL"},
          {"Quantity", "[smallint] NULL"},
          {"Notes", "[varchar] (20) NULL"}},
         "",
         ""},
        {"two candidates",
         {{"Id", "[int] IDENTITY(1,1) NOT NULL"},
          {"Quantity", "[smallint] NOT NULL"},
          {"Amount", "[smallint] NOT NULL"},
          {"Notes", "[varchar] (20) NULL"}},
         "",
         ""},
        {"two columns gone",
         {{"Id", "[int] IDENTITY(1,1) NOT NULL"}, {"Quantity", "[smallint] NOT NULL"}},
         "",
         ""},
        {"only added",
         {{"Id", "[int] IDENTITY(1,1) NOT NULL"},
          {"Qty", "[smallint] NOT NULL"},
          {"Notes", "[varchar] (20) NULL"},
          {"Extra", "[smallint] NOT NULL"}},
         "",
         ""},
        {"only the letter case differs",
         {{"ID", "[int] IDENTITY(1,1) NOT NULL"},
          {"qty", "[smallint] NOT NULL"},
          {"Notes", "[varchar] (20) NULL"}},
         "",
         ""},
    };
    for (const Case& c : cases) {
        const ColumnRenameGuess guess = GuessColumnRename(c.Source, target);
        EXPECT_EQ(guess.OldName, c.Old) << c.About;
        EXPECT_EQ(guess.NewName, c.New) << c.About;
    }
}

} // namespace
} // namespace orv
