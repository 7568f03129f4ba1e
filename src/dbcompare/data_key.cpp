#include "dbcompare/data_key.h"

#include "catalog/sql_quote.h"
#include "dbcompare/data_values.h"
#include "util/text.h"

namespace orv {

namespace {

int IndexOf(const TableInfo& t, const std::string& column) {
    for (size_t i = 0; i < t.Columns.size(); ++i)
        if (EqualsNoCase(t.Columns[i].Name, column))
            return static_cast<int>(i);
    return -1;
}

bool Contains(const std::vector<std::string>& list, const std::string& name) {
    for (const std::string& s : list)
        if (EqualsNoCase(Trim(s), name))
            return true;
    return false;
}

bool SameColumnSet(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    if (a.size() != b.size())
        return false;
    for (const std::string& c : a)
        if (!Contains(b, c))
            return false;
    return true;
}

std::string ColumnList(const std::vector<std::string>& columns) {
    std::string out;
    for (const std::string& c : columns)
        out += (out.empty() ? "" : ", ") + QuoteCatalogName(c);
    return out;
}

bool Fail(DataTableResult& pair, std::string reason) {
    pair.Status = DataPairStatus::NotComparable;
    pair.Reason = std::move(reason);
    return false;
}

// A unique index that would have been a key but for a nullable column.
const TableIndex* NullableUniqueIndex(const TableInfo& t) {
    for (const TableIndex& index : t.Indexes)
        if (index.Unique && !index.Primary)
            return &index;
    return nullptr;
}

} // namespace

const TableIndex* UsableKey(const TableInfo& table) {
    for (const TableIndex& index : table.Indexes)
        if (index.Primary)
            return &index;
    for (const TableIndex& index : table.Indexes) {
        if (!index.Unique)
            continue;
        bool nullable = false;
        for (const std::string& c : index.Columns) {
            const TableColumn* column = table.Find(c);
            if (!column || column->Nullable)
                nullable = true;
        }
        if (!nullable)
            return &index;
    }
    return nullptr;
}

bool PlanPair(const TableInfo& source, const TableInfo& target,
              const std::vector<std::string>& ignored, const std::vector<std::string>& explicitKey,
              const std::vector<std::string>& rememberedKey, DataTableResult& pair,
              PairPlan& plan) {
    plan = PairPlan{};
    const TableInfo* side[2] = {&source, &target};

    // The columns first: a pair without a key still shows what it holds.
    for (const TableColumn& c : source.Columns) {
        if (Contains(ignored, c.Name)) {
            pair.IgnoredColumns.push_back(c.Name);
            continue;
        }
        if (IndexOf(target, c.Name) < 0)
            pair.SourceOnlyColumns.push_back(c.Name);
    }
    for (const TableColumn& c : target.Columns)
        if (IndexOf(source, c.Name) < 0 && !Contains(ignored, c.Name))
            pair.TargetOnlyColumns.push_back(c.Name);
    for (const TableColumn& c : target.Columns)
        if (c.Identity)
            pair.TargetIdentity = c.Name;

    std::vector<std::string> key;
    if (!explicitKey.empty()) {
        key = explicitKey;
        pair.KeyFrom = KeyOrigin::Picked;
    } else {
        const TableIndex* own[2] = {UsableKey(source), UsableKey(target)};
        if (own[0] && own[1]) {
            if (!SameColumnSet(own[0]->Columns, own[1]->Columns))
                return Fail(pair, "the keys differ: " + ColumnList(own[0]->Columns) + " / " +
                                      ColumnList(own[1]->Columns));
            key = own[0]->Columns;
            pair.KeyFrom = own[0]->Primary ? KeyOrigin::PrimaryKey : KeyOrigin::UniqueIndex;
            plan.KeyUnique = true;
        } else if (own[0] || own[1]) {
            const TableIndex* k = own[0] ? own[0] : own[1];
            key = k->Columns;
            pair.KeyFrom = k->Primary ? KeyOrigin::PrimaryKey : KeyOrigin::UniqueIndex;
        } else if (!rememberedKey.empty()) {
            key = rememberedKey;
            pair.KeyFrom = KeyOrigin::Picked;
        } else {
            std::string reason = "no key";
            for (const TableInfo* t : side)
                if (const TableIndex* u = NullableUniqueIndex(*t)) {
                    reason +=
                        " (the unique index " + QuoteCatalogName(u->Name) + " allows NULL values)";
                    break;
                }
            return Fail(pair, reason);
        }
    }

    for (const std::string& k : key) {
        int at[2] = {IndexOf(source, Trim(k)), IndexOf(target, Trim(k))};
        for (int s = 0; s < 2; ++s)
            if (at[s] < 0)
                return Fail(pair, "the key column " + QuoteCatalogName(Trim(k)) +
                                      " is missing in " + (s == 0 ? "source" : "target"));
        const TableColumn& a = source.Columns[static_cast<size_t>(at[0])];
        const TableColumn& b = target.Columns[static_cast<size_t>(at[1])];
        for (int s = 0; s < 2; ++s)
            for (int other : plan.KeyCol[s])
                if (other == at[s])
                    return Fail(pair, "the key names " + QuoteCatalogName(a.Name) + " twice");
        if (FamilyOfType(a.Type) != FamilyOfType(b.Type) ||
            FamilyOfType(a.Type) == TypeFamily::Other || IsLargeType(a.Type, a.Length) ||
            IsLargeType(b.Type, b.Length))
            return Fail(pair, "the key's types differ: " + QuoteCatalogName(a.Name) + " " +
                                  TypeText(a) + " / " + TypeText(b));
        plan.KeyCol[0].push_back(at[0]);
        plan.KeyCol[1].push_back(at[1]);
        pair.KeyColumns.push_back(a.Name);
        pair.KeyTypes.push_back({a.Name, TypeText(a), TypeText(b)});
    }

    for (size_t i = 0; i < source.Columns.size(); ++i) {
        const TableColumn& c = source.Columns[i];
        if (Contains(ignored, c.Name) || Contains(pair.KeyColumns, c.Name))
            continue;
        const int t = IndexOf(target, c.Name);
        if (t < 0)
            continue;
        const TableColumn& d = target.Columns[static_cast<size_t>(t)];
        plan.Compared[0].push_back(static_cast<int>(i));
        plan.Compared[1].push_back(t);
        pair.Compared.push_back({c.Name, TypeText(c), TypeText(d)});
        if (IsLargeType(c.Type, c.Length) || IsLargeType(d.Type, d.Length))
            plan.HasLargeColumn = true;
    }
    return true;
}

} // namespace orv
