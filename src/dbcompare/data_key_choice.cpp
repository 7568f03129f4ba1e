#include "dbcompare/data_key_choice.h"

#include "catalog/bulk_catalog.h"
#include "dbcompare/data_key.h"
#include "dbcompare/data_table_info.h"
#include "dbcompare/data_values.h"
#include "util/text.h"

namespace orv {

bool ReadKeyChoice(const QueryPlace place[2], const DataTablePair& pair,
                   const std::vector<std::string>& ignoredColumns,
                   const std::vector<std::string>& rememberedKey, const CancelToken& cancel,
                   KeyChoice& choice, std::string& error) {
    choice = KeyChoice{};
    error.clear();
    TableInfo info[2];
    for (int s = 0; s < 2; ++s) {
        ServerFacts facts;
        OdbcError e;
        std::string sql;
        bool found = false;
        if (!ReadServerFacts(place[s], cancel, facts, e, sql) ||
            !ReadTableInfo(place[s], cancel, facts.Later(), pair.Schema[s], pair.Name[s], info[s],
                           found, e)) {
            error = e.description;
            return false;
        }
        if (!found) {
            error = "The table " + QuotedTableName(pair.Schema[s], pair.Name[s]) +
                    " does not exist in the " + (s == 0 ? "source." : "target.");
            return false;
        }
    }
    DataTableResult result;
    PairPlan plan;
    if (PlanPair(info[0], info[1], ignoredColumns, pair.Key, rememberedKey, result, plan)) {
        choice.Origin = result.KeyFrom;
        choice.Columns = result.KeyColumns;
    } else {
        choice.Problem = result.Reason;
    }
    for (const TableColumn& c : info[0].Columns) {
        const TableColumn* other = info[1].Find(c.Name);
        bool ignored = false;
        for (const std::string& i : ignoredColumns)
            ignored = ignored || EqualsNoCase(Trim(i), c.Name);
        if (other && !ignored && FamilyOfType(c.Type) == FamilyOfType(other->Type) &&
            FamilyOfType(c.Type) != TypeFamily::Other && !IsLargeType(c.Type, c.Length) &&
            !IsLargeType(other->Type, other->Length))
            choice.Candidates.push_back(c.Name);
    }
    return true;
}

} // namespace orv
