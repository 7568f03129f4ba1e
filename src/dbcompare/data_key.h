// Choosing how the rows of a table pair are matched and which columns are compared: the key
// (a primary key, else the first unique index without nullable columns, else the user's
// pick), checked to exist with compatible types on both sides, and the columns both sides
// share minus the ignored ones.
#pragma once

#include "dbcompare/data_compare_results.h"
#include "dbcompare/data_table_info.h"

#include <string>
#include <vector>

namespace orv {

// How a planned pair is read: column indexes into each side's TableInfo::Columns.
struct PairPlan {
    std::vector<int> KeyCol[2];
    std::vector<int> Compared[2];
    // Each side holds at most one row per key value (a primary key or unique index on both
    // sides): only then may checksums of key ranges stand in for the rows.
    bool KeyUnique = false;
    // A compared column of a large type (text, image, xml, (max)).
    bool HasLargeColumn = false;
};

// The table's own key: its primary key, else its first unique index whose columns are all
// NOT NULL; nullptr when it has neither.
const TableIndex* UsableKey(const TableInfo& table);

// Plans a pair found on both sides. `explicitKey` (the user's choice for this run) wins over
// everything; `rememberedKey` is taken only when neither table has a key of its own. Fills the
// pair's key and column lists; false with Status NotComparable and Reason set when the rows
// cannot be matched.
bool PlanPair(const TableInfo& source, const TableInfo& target,
              const std::vector<std::string>& ignored, const std::vector<std::string>& explicitKey,
              const std::vector<std::string>& rememberedKey, DataTableResult& pair, PairPlan& plan);

} // namespace orv
