// Table steps of a deployment: columns changed in place, keys, indexes, defaults and CHECKs
// dropped only where they differ or stand on a changed column and created again from the
// source, foreign keys (the table's own and those of other tables that point at a key being
// rebuilt) dropped first and added back WITH CHECK after every table is in shape.
#include "deploy/deploy_plan.h"

#include "catalog/sql_quote.h"
#include "deploy/deploy_renames.h"
#include "explore/module_references.h"

#include <algorithm>
#include <map>

namespace orv {
namespace {

// The integer types from narrowest to widest; -1 for any other type.
int IntegerRank(const std::string& type) {
    static const char* const names[] = {"tinyint", "smallint", "int", "bigint"};
    for (int i = 0; i < 4; ++i) {
        if (type == names[i])
            return i;
    }
    return -1;
}

bool IsCharType(const std::string& t) {
    return t == "char" || t == "varchar";
}
bool IsNCharType(const std::string& t) {
    return t == "nchar" || t == "nvarchar";
}

// A length at least as long (max counts as longest).
bool LengthHolds(int32_t from, int32_t to) {
    if (to < 0)
        return true;
    return from >= 0 && to >= from;
}

// True when every value of `from` fits `to` unchanged.
bool TypeWidens(const ColumnDef& from, const ColumnDef& to) {
    const std::string& a = from.TypeName;
    const std::string& b = to.TypeName;
    if (a == b) {
        if (a == "decimal" || a == "numeric")
            return to.Scale >= from.Scale && to.Precision - to.Scale >= from.Precision - from.Scale;
        if (a == "time" || a == "datetime2" || a == "datetimeoffset")
            return to.Scale >= from.Scale;
        return LengthHolds(from.Length, to.Length);
    }
    if ((IsCharType(a) && (IsCharType(b) || IsNCharType(b))) || (IsNCharType(a) && IsNCharType(b)))
        return LengthHolds(from.Length, to.Length) && !(b == "char" || b == "nchar");
    int ra = IntegerRank(a), rb = IntegerRank(b);
    if (ra >= 0 && rb >= 0)
        return rb >= ra;
    if (a == "smalldatetime" && (b == "datetime" || b == "datetime2"))
        return true;
    return a == "datetime" && b == "datetime2" && to.Scale >= 3;
}

bool SameColumnType(const ColumnDef& a, const ColumnDef& b) {
    return a.TypeName == b.TypeName && ColumnTypeText(a) == ColumnTypeText(b);
}

std::string ColumnDefinition(const ColumnDef& c, bool withDefault) {
    std::string s = QuoteCatalogName(c.Name) + " ";
    if (!c.Computed.empty())
        return s + "AS " + c.Computed;
    s += ColumnTypeText(c);
    if (c.Identity)
        s += " IDENTITY(" + std::to_string(c.Seed) + "," + std::to_string(c.Increment) + ")";
    s += c.Nullable ? " NULL" : " NOT NULL";
    if (withDefault && !c.DefaultDefinition.empty()) {
        if (!c.DefaultSystemNamed && !c.DefaultName.empty())
            s += " CONSTRAINT " + QuoteCatalogName(c.DefaultName);
        s += " DEFAULT " + c.DefaultDefinition;
    }
    return s;
}

std::string IndexColumnList(const std::vector<IndexColumn>& columns) {
    std::string s = "(";
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i)
            s += ", ";
        s += QuoteCatalogName(columns[i].Name);
        if (columns[i].Descending)
            s += " DESC";
    }
    return s + ")";
}

std::string NameList(const std::vector<std::string>& names) {
    std::string s = "(";
    for (size_t i = 0; i < names.size(); ++i) {
        if (i)
            s += ", ";
        s += QuoteCatalogName(names[i]);
    }
    return s + ")";
}

bool SameColumns(const std::vector<IndexColumn>& a, const std::vector<IndexColumn>& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (!SameName(a[i].Name, b[i].Name) || a[i].Descending != b[i].Descending)
            return false;
    }
    return true;
}

bool SameNames(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (!SameName(a[i], b[i]))
            return false;
    }
    return true;
}

// Two names that identify the same constraint: equal, or both made up by the server (which
// names them differently in every database).
bool SameConstraintName(const std::string& a, bool aSystem, const std::string& b, bool bSystem) {
    return (aSystem && bSystem) || (!aSystem && !bSystem && SameName(a, b));
}

bool SameIndex(const IndexDef& a, const IndexDef& b) {
    return a.PrimaryKey == b.PrimaryKey && a.UniqueConstraint == b.UniqueConstraint &&
           a.Unique == b.Unique && a.Clustered == b.Clustered &&
           SameColumns(a.Columns, b.Columns) &&
           (a.PrimaryKey || a.UniqueConstraint
                ? SameConstraintName(a.Name, a.SystemNamed, b.Name, b.SystemNamed)
                : SameName(a.Name, b.Name));
}

bool SameForeignKey(const ForeignKeyDef& a, const ForeignKeyDef& b) {
    return SameConstraintName(a.Name, a.SystemNamed, b.Name, b.SystemNamed) &&
           SameNames(a.Columns, b.Columns) && SameName(a.RefSchema, b.RefSchema) &&
           SameName(a.RefTable, b.RefTable) && SameNames(a.RefColumns, b.RefColumns) &&
           a.OnDelete == b.OnDelete && a.OnUpdate == b.OnUpdate;
}

bool SameCheck(const CheckDef& a, const CheckDef& b) {
    return SameConstraintName(a.Name, a.SystemNamed, b.Name, b.SystemNamed) &&
           a.Definition == b.Definition;
}

bool SameDefault(const ColumnDef& a, const ColumnDef& b) {
    if (a.DefaultDefinition.empty() || b.DefaultDefinition.empty())
        return a.DefaultDefinition.empty() && b.DefaultDefinition.empty();
    return a.DefaultDefinition == b.DefaultDefinition &&
           SameConstraintName(a.DefaultName, a.DefaultSystemNamed, b.DefaultName,
                              b.DefaultSystemNamed);
}

// The column names a CHECK's definition writes in brackets, upper-cased.
std::set<std::string> CheckColumns(const std::string& definition) {
    std::set<std::string> names;
    for (size_t i = definition.find('['); i != std::string::npos; i = definition.find('[', i + 1)) {
        std::string name;
        size_t j = i + 1;
        for (; j < definition.size(); ++j) {
            if (definition[j] == ']') {
                if (j + 1 < definition.size() && definition[j + 1] == ']') {
                    name += ']';
                    ++j;
                    continue;
                }
                break;
            }
            name += definition[j];
        }
        names.insert(UpperName(name));
        i = j;
    }
    return names;
}

bool TouchesAny(const std::vector<IndexColumn>& columns, const std::set<std::string>& touched) {
    for (const IndexColumn& c : columns) {
        if (touched.count(UpperName(c.Name)))
            return true;
    }
    return false;
}

bool TouchesAny(const std::vector<std::string>& columns, const std::set<std::string>& touched) {
    for (const std::string& c : columns) {
        if (touched.count(UpperName(c)))
            return true;
    }
    return false;
}

bool SameColumnSet(const std::vector<std::string>& a, const std::vector<IndexColumn>& b) {
    if (a.size() != b.size())
        return false;
    std::set<std::string> left, right;
    for (const std::string& c : a)
        left.insert(UpperName(c));
    for (const IndexColumn& c : b)
        right.insert(UpperName(c.Name));
    return left == right;
}

// "holds 1,234 rows", or "was not counted".
std::string RowsText(int64_t rows) {
    if (rows < 0)
        return "was not counted";
    return "holds " + CountText(rows) + (rows == 1 ? " row" : " rows");
}

// Whether the columns, changed in place (the kept ones where they are, new ones at the end),
// would stand in another order than the source's.
bool ColumnOrderDiffers(const TableDef& t, const TableDef& s) {
    std::vector<std::string> after, wanted;
    for (const ColumnDef& tc : t.Columns) {
        const ColumnDef* sc = s.FindColumn(tc.Name);
        if (sc && sc->Computed == tc.Computed)
            after.push_back(UpperName(tc.Name));
    }
    for (const ColumnDef& sc : s.Columns) {
        wanted.push_back(UpperName(sc.Name));
        if (std::find(after.begin(), after.end(), UpperName(sc.Name)) == after.end())
            after.push_back(UpperName(sc.Name));
    }
    return after != wanted;
}

// Everything the table planner decides, across tables, before writing the steps.
class TablePlanner {
public:
    TablePlanner(const DeployInput& input, DeployPlan& plan, std::set<std::string>& recreate)
        : in_(input), plan_(plan), recreate_(recreate), later_(input.Target->VersionMajor > 8) {}

    void Run();

private:
    struct FkPlace {
        const TableDef* Table = nullptr;
        const ForeignKeyDef* Key = nullptr;
    };

    void ChangeTable(const TableDef& t, const TableDef& s);
    // The table made anew in the source's column order, its rows copied over.
    void RebuildTable(const TableDef& t, const TableDef& s);
    void NewTable(const TableDef& s);
    void DropTable(const TableDef& t);
    void ChangeColumns(const TableDef& t, const TableDef& s, std::set<std::string>& touched);
    void ChangeIndexes(const TableDef& t, const TableDef& s, const std::set<std::string>& touched);
    void ChangeChecksAndDefaults(const TableDef& t, const TableDef& s,
                                 const std::set<std::string>& touched,
                                 const std::set<std::string>& added);
    void ChangeOwnForeignKeys(const TableDef& t, const TableDef& s,
                              const std::set<std::string>& touched);
    void UnblockReferences(const TableDef& t, const std::vector<const IndexDef*>& droppedKeys,
                           const std::set<std::string>& touched);
    void UnblockSchemaBound(const TableDef& t);
    void Relationships();
    // Primary keys compared on their own (the constraint type lists clustered ones by name),
    // on tables the deployment does not change as a whole.
    void KeyConstraints();
    void WriteForeignKeySteps();

    void DropForeignKey(const TableDef& table, const ForeignKeyDef& key, bool addBack);
    void AddForeignKey(const TableDef& table, const ForeignKeyDef& key);
    std::string AddIndexSql(const TableDef& table, const IndexDef& index) const;
    std::string DropIndexSql(const TableDef& table, const IndexDef& index) const;
    // Adds a step that loses data: run when allowed, else held back; warned either way.
    void LossStep(std::vector<PlanStep>& phase, PlanStep step, const std::string& what);
    bool LeftOutRelationship(const std::string& schema, const std::string& name) const;
    // The UPDATEs that make a column's values fit its new definition: NULLs given the
    // default (or the type's zero), texts cut to the new length.
    void FitValues(const TableDef& t, const ColumnDef& from, const ColumnDef& to);

    const DeployInput& in_;
    DeployPlan& plan_;
    std::set<std::string>& recreate_;
    bool later_;
    // Tables handled in this deployment, by key: their foreign keys are theirs to write.
    std::set<std::string> changed_, created_, dropped_;
    // Foreign keys to drop (key: the table's key + "." + the key's name) and to add.
    std::map<std::string, FkPlace> dropFks_;
    std::map<std::string, FkPlace> addFks_;
};

std::string FkKey(const TableDef& table, const ForeignKeyDef& key) {
    return NameKey(table.Schema, table.Name) + "." + UpperName(key.Name);
}

void TablePlanner::LossStep(std::vector<PlanStep>& phase, PlanStep step, const std::string& what) {
    if (in_.Options.AllowDataLoss) {
        plan_.Warnings.push_back("Data loss allowed: " + what + ".");
    } else {
        step.LeftOut = true;
        step.Reason = "data loss: " + what;
        plan_.Warnings.push_back("Left out (data loss): " + what +
                                 "; allow data loss to include it.");
    }
    phase.push_back(std::move(step));
}

// The value a NOT NULL column takes where it held NULL when the source gives it no default;
// empty for a type with no obvious zero.
std::string ZeroValue(const ColumnDef& c) {
    const std::string& t = c.TypeName;
    if (IntegerRank(t) >= 0 || t == "bit" || t == "decimal" || t == "numeric" || t == "float" ||
        t == "real" || t == "money" || t == "smallmoney")
        return "0";
    if (IsCharType(t) || IsNCharType(t) || t == "text" || t == "ntext")
        return "''";
    if (t == "datetime" || t == "smalldatetime" || t == "date" || t == "datetime2" ||
        t == "datetimeoffset")
        return "'19000101'";
    if (t == "time")
        return "'00:00'";
    if (t == "binary" || t == "varbinary" || t == "image")
        return "0x";
    if (t == "uniqueidentifier")
        return "'00000000-0000-0000-0000-000000000000'";
    return {};
}

void TablePlanner::FitValues(const TableDef& t, const ColumnDef& from, const ColumnDef& to) {
    std::string target = QualifiedSql(t.Schema, t.Name);
    std::string shown = BracketName(t.Schema) + "." + BracketName(t.Name);
    std::string column = QuoteCatalogName(to.Name);
    bool text = (IsCharType(to.TypeName) || IsNCharType(to.TypeName)) &&
                (IsCharType(from.TypeName) || IsNCharType(from.TypeName));
    if (text && to.Length >= 0 && !LengthHolds(from.Length, to.Length))
        plan_.TableChanges.push_back({"Alter table " + shown + ": cut the values of " +
                                          BracketName(to.Name) + " to " +
                                          std::to_string(to.Length) + " characters",
                                      "UPDATE " + target + " SET " + column + " = LEFT(" + column +
                                          ", " + std::to_string(to.Length) + ") WHERE LEN(" +
                                          column + ") > " + std::to_string(to.Length),
                                      false, ""});
    if (from.Nullable && !to.Nullable) {
        std::string value = to.DefaultDefinition.empty() ? ZeroValue(to) : to.DefaultDefinition;
        if (!value.empty())
            plan_.TableChanges.push_back(
                {"Alter table " + shown + ": fill the NULLs of " + BracketName(to.Name),
                 "UPDATE " + target + " SET " + column + " = " + value + " WHERE " + column +
                     " IS NULL",
                 false, ""});
    }
}

bool TablePlanner::LeftOutRelationship(const std::string& schema, const std::string& name) const {
    for (const DeployObject& o : in_.LeftOut) {
        if (o.Type == kTypeRelationship && SameName(o.Schema, schema) && SameName(o.Name, name))
            return true;
    }
    return false;
}

std::string TablePlanner::AddIndexSql(const TableDef& table, const IndexDef& index) const {
    std::string target = QualifiedSql(table.Schema, table.Name);
    if (index.PrimaryKey || index.UniqueConstraint) {
        std::string s = "ALTER TABLE " + target + " ADD ";
        if (!index.SystemNamed)
            s += "CONSTRAINT " + QuoteCatalogName(index.Name) + " ";
        s += index.PrimaryKey ? "PRIMARY KEY " : "UNIQUE ";
        s += index.Clustered ? "CLUSTERED " : "NONCLUSTERED ";
        return s + IndexColumnList(index.Columns);
    }
    std::string s = "CREATE ";
    if (index.Unique)
        s += "UNIQUE ";
    s += index.Clustered ? "CLUSTERED " : "NONCLUSTERED ";
    return s + "INDEX " + QuoteCatalogName(index.Name) + " ON " + target + " " +
           IndexColumnList(index.Columns);
}

std::string TablePlanner::DropIndexSql(const TableDef& table, const IndexDef& index) const {
    std::string target = QualifiedSql(table.Schema, table.Name);
    if (index.PrimaryKey || index.UniqueConstraint)
        return "ALTER TABLE " + target + " DROP CONSTRAINT " + QuoteCatalogName(index.Name);
    if (later_)
        return "DROP INDEX " + QuoteCatalogName(index.Name) + " ON " + target;
    return "DROP INDEX " + target + "." + QuoteCatalogName(index.Name);
}

void TablePlanner::DropForeignKey(const TableDef& table, const ForeignKeyDef& key, bool addBack) {
    std::string k = FkKey(table, key);
    if (dropFks_.count(k))
        return;
    dropFks_[k] = {&table, &key};
    if (addBack && !addFks_.count(k))
        addFks_[k] = {&table, &key};
}

void TablePlanner::AddForeignKey(const TableDef& table, const ForeignKeyDef& key) {
    addFks_[FkKey(table, key)] = {&table, &key};
}

void TablePlanner::ChangeColumns(const TableDef& t, const TableDef& s,
                                 std::set<std::string>& touched) {
    std::string target = QualifiedSql(t.Schema, t.Name);
    std::string shown = BracketName(t.Schema) + "." + BracketName(t.Name);
    for (const ColumnDef& tc : t.Columns) {
        const ColumnDef* sc = s.FindColumn(tc.Name);
        bool computed = sc && (!tc.Computed.empty() || !sc->Computed.empty());
        if (computed && tc.Computed == sc->Computed)
            continue;
        if (sc && !computed) {
            if (tc.Identity != sc->Identity ||
                (tc.Identity && (tc.Seed != sc->Seed || tc.Increment != sc->Increment))) {
                plan_.Warnings.push_back("Not deployed: the identity property of column " +
                                         BracketName(tc.Name) + " of " + shown +
                                         " differs; SQL Server cannot change it in place.");
                continue;
            }
            if (SameColumnType(tc, *sc) && tc.Nullable == sc->Nullable)
                continue;
            // Same column, another type, length or nullability: ALTER COLUMN.
            touched.insert(UpperName(tc.Name));
            PlanStep step{"Alter table " + shown + ": alter column " + BracketName(tc.Name),
                          "ALTER TABLE " + target + " ALTER COLUMN " + ColumnDefinition(*sc, false),
                          false, ""};
            std::string loss;
            if (!TypeWidens(tc, *sc) && t.RowCount != 0)
                loss = "column " + BracketName(tc.Name) + " of " + shown + " changes from " +
                       ColumnTypeText(tc) + " to " + ColumnTypeText(*sc) + ", and the table " +
                       RowsText(t.RowCount);
            if (tc.Nullable && !sc->Nullable && t.RowCount != 0) {
                int64_t nulls = in_.NullCount ? in_.NullCount(t, tc.Name) : -1;
                if (nulls != 0) {
                    std::string what =
                        "column " + BracketName(tc.Name) + " of " + shown +
                        " becomes NOT NULL and holds " +
                        (nulls < 0 ? std::string("an uncounted number of") : CountText(nulls)) +
                        (nulls == 1 ? " NULL" : " NULLs");
                    loss = loss.empty() ? what : loss + "; " + what;
                }
            }
            if (loss.empty()) {
                plan_.TableChanges.push_back(step);
            } else {
                // Allowed to lose data, the values are made to fit first: SQL Server refuses
                // to shorten a value or to leave a NULL in a NOT NULL column.
                if (in_.Options.AllowDataLoss)
                    FitValues(t, tc, *sc);
                LossStep(plan_.TableChanges, step, loss);
            }
            continue;
        }
        // Only in the target, or computed on one side or the other: dropped (and added back
        // below when the source has it). A stored column's values go with it.
        touched.insert(UpperName(tc.Name));
        PlanStep step{"Alter table " + shown + ": drop column " + BracketName(tc.Name),
                      "ALTER TABLE " + target + " DROP COLUMN " + QuoteCatalogName(tc.Name), false,
                      ""};
        if (tc.Computed.empty() && t.RowCount != 0)
            LossStep(plan_.TableChanges, step,
                     "column " + BracketName(tc.Name) + " of " + shown +
                         " is dropped, and the table " + RowsText(t.RowCount));
        else
            plan_.TableChanges.push_back(step);
    }
    for (const ColumnDef& sc : s.Columns) {
        const ColumnDef* tc = t.FindColumn(sc.Name);
        bool replaced =
            tc && (tc->Computed != sc.Computed) && (!tc->Computed.empty() || !sc.Computed.empty());
        if (tc && !replaced)
            continue;
        PlanStep step{"Alter table " + shown + ": add column " + BracketName(sc.Name),
                      "ALTER TABLE " + target + " ADD " + ColumnDefinition(sc, true), false, ""};
        if (!sc.Nullable && sc.Computed.empty() && !sc.Identity && sc.DefaultDefinition.empty() &&
            sc.TypeName != "timestamp" && t.RowCount != 0) {
            step.LeftOut = true;
            step.Reason = "NOT NULL without a default on a table that holds rows";
            plan_.Warnings.push_back("Left out: column " + BracketName(sc.Name) + " of " + shown +
                                     " is NOT NULL and has no default, and the table " +
                                     RowsText(t.RowCount) +
                                     "; give the column a default in the source.");
        }
        plan_.TableChanges.push_back(step);
    }
    if (in_.Options.ColumnOrderMatters && ColumnOrderDiffers(t, s))
        plan_.Warnings.push_back(
            "The columns of " + shown + " stay in another order than the source's (the table " +
            RowsText(t.RowCount) + "); tick \"Rebuild tables for column order\" to rebuild it.");
}

void TablePlanner::ChangeIndexes(const TableDef& t, const TableDef& s,
                                 const std::set<std::string>& touched) {
    std::string shown = BracketName(t.Schema) + "." + BracketName(t.Name);
    std::vector<const IndexDef*> dropped;
    std::vector<bool> kept(s.Indexes.size(), false);
    for (const IndexDef& ti : t.Indexes) {
        bool keep = false;
        if (!TouchesAny(ti.Columns, touched)) {
            for (size_t i = 0; i < s.Indexes.size(); ++i) {
                if (!kept[i] && SameIndex(ti, s.Indexes[i])) {
                    kept[i] = keep = true;
                    break;
                }
            }
        }
        if (keep)
            continue;
        dropped.push_back(&ti);
        plan_.TableChanges.push_back({"Alter table " + shown + ": drop " +
                                          (ti.PrimaryKey         ? "primary key "
                                           : ti.UniqueConstraint ? "constraint "
                                                                 : "index ") +
                                          BracketName(ti.Name),
                                      DropIndexSql(t, ti), false, ""});
    }
    // The drops above go before the column changes, which ChangeColumns has queued already:
    // move them in front of this table's steps.
    UnblockReferences(t, dropped, touched);
    for (size_t i = 0; i < s.Indexes.size(); ++i) {
        if (kept[i])
            continue;
        const IndexDef& si = s.Indexes[i];
        plan_.Constraints.push_back({"Alter table " + shown + ": add " +
                                         (si.PrimaryKey         ? "primary key "
                                          : si.UniqueConstraint ? "constraint "
                                                                : "index ") +
                                         BracketName(si.Name),
                                     AddIndexSql(t, si), false, ""});
    }
}

void TablePlanner::ChangeChecksAndDefaults(const TableDef& t, const TableDef& s,
                                           const std::set<std::string>& touched,
                                           const std::set<std::string>& added) {
    std::string target = QualifiedSql(t.Schema, t.Name);
    std::string shown = BracketName(t.Schema) + "." + BracketName(t.Name);
    std::vector<bool> kept(s.Checks.size(), false);
    for (const CheckDef& tk : t.Checks) {
        bool keep = false;
        std::set<std::string> uses = CheckColumns(tk.Definition);
        bool onTouched = std::any_of(uses.begin(), uses.end(),
                                     [&](const std::string& c) { return touched.count(c) > 0; });
        if (!onTouched) {
            for (size_t i = 0; i < s.Checks.size(); ++i) {
                if (!kept[i] && SameCheck(tk, s.Checks[i])) {
                    kept[i] = keep = true;
                    break;
                }
            }
        }
        if (!keep)
            plan_.TableChanges.push_back(
                {"Alter table " + shown + ": drop constraint " + BracketName(tk.Name),
                 "ALTER TABLE " + target + " DROP CONSTRAINT " + QuoteCatalogName(tk.Name), false,
                 ""});
    }
    for (size_t i = 0; i < s.Checks.size(); ++i) {
        if (kept[i])
            continue;
        const CheckDef& sk = s.Checks[i];
        std::string sql = "ALTER TABLE " + target + " ADD ";
        if (!sk.SystemNamed)
            sql += "CONSTRAINT " + QuoteCatalogName(sk.Name) + " ";
        plan_.Constraints.push_back(
            {"Alter table " + shown + ": add constraint " + BracketName(sk.Name),
             sql + "CHECK " + sk.Definition, false, ""});
    }
    for (const ColumnDef& tc : t.Columns) {
        const ColumnDef* sc = s.FindColumn(tc.Name);
        bool keep = sc && !touched.count(UpperName(tc.Name)) && SameDefault(tc, *sc);
        if (!tc.DefaultDefinition.empty() && !keep)
            plan_.TableChanges.push_back(
                {"Alter table " + shown + ": drop default " + BracketName(tc.DefaultName),
                 "ALTER TABLE " + target + " DROP CONSTRAINT " + QuoteCatalogName(tc.DefaultName),
                 false, ""});
    }
    for (const ColumnDef& sc : s.Columns) {
        if (sc.DefaultDefinition.empty() || added.count(UpperName(sc.Name)))
            continue;
        const ColumnDef* tc = t.FindColumn(sc.Name);
        if (tc && !touched.count(UpperName(tc->Name)) && SameDefault(*tc, sc))
            continue;
        std::string sql = "ALTER TABLE " + target + " ADD ";
        if (!sc.DefaultSystemNamed)
            sql += "CONSTRAINT " + QuoteCatalogName(sc.DefaultName) + " ";
        plan_.Constraints.push_back(
            {"Alter table " + shown + ": add default for " + BracketName(sc.Name),
             sql + "DEFAULT " + sc.DefaultDefinition + " FOR " + QuoteCatalogName(sc.Name), false,
             ""});
    }
}

void TablePlanner::ChangeOwnForeignKeys(const TableDef& t, const TableDef& s,
                                        const std::set<std::string>& touched) {
    std::vector<bool> kept(s.ForeignKeys.size(), false);
    for (const ForeignKeyDef& tk : t.ForeignKeys) {
        if (LeftOutRelationship(t.Schema, tk.Name))
            continue;
        bool keep = false;
        if (!TouchesAny(tk.Columns, touched)) {
            for (size_t i = 0; i < s.ForeignKeys.size(); ++i) {
                if (!kept[i] && SameForeignKey(tk, s.ForeignKeys[i])) {
                    kept[i] = keep = true;
                    break;
                }
            }
        }
        if (!keep) {
            // Dropped on purpose: not added back as it was, whatever unblocked it before.
            DropForeignKey(t, tk, false);
            addFks_.erase(FkKey(t, tk));
        }
    }
    for (size_t i = 0; i < s.ForeignKeys.size(); ++i) {
        if (!kept[i] && !LeftOutRelationship(s.Schema, s.ForeignKeys[i].Name))
            AddForeignKey(t, s.ForeignKeys[i]);
    }
}

// Foreign keys of any target table that point at a key of `t` being dropped, or at a column
// being changed, stand in the way: dropped first and added back as they were.
void TablePlanner::UnblockReferences(const TableDef& t,
                                     const std::vector<const IndexDef*>& droppedKeys,
                                     const std::set<std::string>& touched) {
    for (const TableDef& other : in_.Target->Tables) {
        for (const ForeignKeyDef& fk : other.ForeignKeys) {
            if (!SameName(fk.RefSchema, t.Schema) || !SameName(fk.RefTable, t.Name))
                continue;
            bool blocks = TouchesAny(fk.RefColumns, touched);
            for (const IndexDef* key : droppedKeys)
                blocks = blocks || SameColumnSet(fk.RefColumns, key->Columns);
            if (blocks)
                DropForeignKey(other, fk, !dropped_.count(NameKey(other.Schema, other.Name)));
        }
    }
}

// Schema-bound modules on a changed table keep SQL Server from changing it: dropped before,
// created again among the modules.
void TablePlanner::UnblockSchemaBound(const TableDef& t) {
    for (const ModuleDef& m : in_.Target->Modules) {
        if (!m.SchemaBound)
            continue;
        bool uses = false;
        for (const auto& dep : m.DependsOn)
            uses = uses || (SameName(dep.first, t.Schema) && SameName(dep.second, t.Name));
        if (!uses) {
            for (const ModuleReference& r : FindModuleReferences(m.Text).References) {
                if (!r.Parts.empty() && SameName(r.Parts.back(), t.Name) &&
                    (r.Parts.size() < 2 || SameName(r.Parts[r.Parts.size() - 2], t.Schema)))
                    uses = true;
            }
        }
        if (uses)
            recreate_.insert(NameKey(m.Schema, m.Name));
    }
}

void TablePlanner::RebuildTable(const TableDef& t, const TableDef& s) {
    std::string shown = BracketName(t.Schema) + "." + BracketName(t.Name);
    std::string target = QualifiedSql(t.Schema, t.Name);
    std::string tempName = "orvane_rebuild_" + t.Name.substr(0, 100);
    std::string temp = QualifiedSql(t.Schema, tempName);
    plan_.Warnings.push_back("Table " + shown +
                             " is rebuilt for its column order: its rows are copied into a new "
                             "table (it " +
                             RowsText(t.RowCount) + ").");
    // Everything that points at the table, or hangs on it, goes first and comes back from
    // the source; the old table's constraints go so their names are free for the new one.
    std::set<std::string> all;
    for (const ColumnDef& c : t.Columns)
        all.insert(UpperName(c.Name));
    std::vector<const IndexDef*> keys;
    for (const IndexDef& i : t.Indexes)
        keys.push_back(&i);
    UnblockReferences(t, keys, all);
    UnblockSchemaBound(t);
    for (const ModuleDef& m : in_.Target->Modules) {
        if (m.Kind == ModuleKind::Trigger && SameName(m.ParentSchema, t.Schema) &&
            SameName(m.ParentName, t.Name))
            recreate_.insert(NameKey(m.Schema, m.Name));
    }
    for (const ForeignKeyDef& fk : t.ForeignKeys)
        DropForeignKey(t, fk, false);
    for (const ForeignKeyDef& fk : s.ForeignKeys) {
        if (!LeftOutRelationship(s.Schema, fk.Name))
            AddForeignKey(t, fk);
    }
    auto drop = [&](const std::string& what, const std::string& name) {
        plan_.TableChanges.push_back(
            {"Rebuild table " + shown + ": drop " + what + " " + BracketName(name),
             "ALTER TABLE " + target + " DROP CONSTRAINT " + QuoteCatalogName(name), false, ""});
    };
    for (const IndexDef& i : t.Indexes) {
        if (i.PrimaryKey || i.UniqueConstraint)
            drop("constraint", i.Name);
    }
    for (const CheckDef& k : t.Checks)
        drop("constraint", k.Name);
    for (const ColumnDef& c : t.Columns) {
        if (!c.DefaultDefinition.empty())
            drop("default", c.DefaultName);
    }
    std::string create = "CREATE TABLE " + temp + " (\r\n";
    std::string names;
    bool identity = false;
    for (size_t i = 0; i < s.Columns.size(); ++i) {
        const ColumnDef& sc = s.Columns[i];
        create +=
            "    " + ColumnDefinition(sc, true) + (i + 1 < s.Columns.size() ? ",\r\n" : "\r\n");
        const ColumnDef* tc = t.FindColumn(sc.Name);
        if (tc && tc->Computed.empty() && sc.Computed.empty() && sc.TypeName != "timestamp") {
            names += (names.empty() ? "" : ", ") + QuoteCatalogName(sc.Name);
            identity = identity || sc.Identity;
        }
    }
    create += ")";
    plan_.TableChanges.push_back(
        {"Rebuild table " + shown + ": create the new table", create, false, ""});
    std::string copy =
        "INSERT INTO " + temp + " (" + names + ")\r\nSELECT " + names + " FROM " + target;
    if (identity)
        copy = "SET IDENTITY_INSERT " + temp + " ON\r\n" + copy + "\r\nSET IDENTITY_INSERT " +
               temp + " OFF";
    plan_.TableChanges.push_back({"Rebuild table " + shown + ": copy the rows", copy, false, ""});
    plan_.TableChanges.push_back(
        {"Rebuild table " + shown + ": drop the old table", "DROP TABLE " + target, false, ""});
    plan_.TableChanges.push_back(
        {"Rebuild table " + shown + ": give the new table its name",
         "EXEC sp_rename " + UnicodeLiteral(temp) + ", " + UnicodeLiteral(t.Name), false, ""});
    for (const IndexDef& i : s.Indexes)
        plan_.Constraints.push_back({"Alter table " + shown + ": add " +
                                         (i.PrimaryKey         ? "primary key "
                                          : i.UniqueConstraint ? "constraint "
                                                               : "index ") +
                                         BracketName(i.Name),
                                     AddIndexSql(t, i), false, ""});
    for (const CheckDef& k : s.Checks) {
        std::string add = "ALTER TABLE " + target + " ADD ";
        if (!k.SystemNamed)
            add += "CONSTRAINT " + QuoteCatalogName(k.Name) + " ";
        plan_.Constraints.push_back(
            {"Alter table " + shown + ": add constraint " + BracketName(k.Name),
             add + "CHECK " + k.Definition, false, ""});
    }
}

void TablePlanner::ChangeTable(const TableDef& t, const TableDef& s) {
    // `t` has the confirmed renames made already (deploy_renames.h): their steps go first.
    bool renamed = false;
    for (const ColumnRename& r : in_.Options.ColumnRenames) {
        if (!SameName(r.Schema, t.Schema) || !SameName(r.Table, t.Name))
            continue;
        plan_.TableChanges.push_back({"Alter table " + BracketName(t.Schema) + "." +
                                          BracketName(t.Name) + ": rename column " +
                                          BracketName(r.OldName) + " to " + BracketName(r.NewName),
                                      ColumnRenameSql(r), false, ""});
        renamed = true;
    }
    // SQL Server refuses to rename a column a schema-bound module uses.
    if (renamed)
        UnblockSchemaBound(t);
    if (in_.Options.ColumnOrderMatters && in_.Options.RebuildForColumnOrder &&
        ColumnOrderDiffers(t, s)) {
        // A rebuild copies the columns both sides have: one the source lacks would be lost
        // without a step of its own to hold back, so then the table is changed in place.
        bool loses = false;
        for (const ColumnDef& tc : t.Columns)
            loses = loses || (!s.FindColumn(tc.Name) && tc.Computed.empty() && t.RowCount != 0);
        if (!loses || in_.Options.AllowDataLoss) {
            RebuildTable(t, s);
            return;
        }
    }
    std::set<std::string> touched;
    std::vector<PlanStep> before;
    before.swap(plan_.TableChanges);
    ChangeColumns(t, s, touched);
    std::vector<PlanStep> columnSteps;
    columnSteps.swap(plan_.TableChanges);
    std::set<std::string> added;
    for (const ColumnDef& sc : s.Columns) {
        const ColumnDef* tc = t.FindColumn(sc.Name);
        if (!tc || tc->Computed != sc.Computed)
            added.insert(UpperName(sc.Name));
    }
    // Indexes, CHECKs and defaults are dropped before the columns change.
    ChangeIndexes(t, s, touched);
    ChangeChecksAndDefaults(t, s, touched, added);
    ChangeOwnForeignKeys(t, s, touched);
    if (!touched.empty())
        UnblockSchemaBound(t);
    for (PlanStep& step : columnSteps)
        plan_.TableChanges.push_back(std::move(step));
    before.insert(before.end(), plan_.TableChanges.begin(), plan_.TableChanges.end());
    plan_.TableChanges.swap(before);
}

void TablePlanner::NewTable(const TableDef& s) {
    std::string shown = BracketName(s.Schema) + "." + BracketName(s.Name);
    std::string sql = "CREATE TABLE " + QualifiedSql(s.Schema, s.Name) + " (\r\n";
    for (size_t i = 0; i < s.Columns.size(); ++i)
        sql += "    " + ColumnDefinition(s.Columns[i], true) +
               (i + 1 < s.Columns.size() ? ",\r\n" : "\r\n");
    sql += ")";
    plan_.NewTables.push_back({"Create table " + shown, sql, false, ""});
    TableDef empty;
    empty.Schema = s.Schema;
    empty.Name = s.Name;
    empty.Columns = s.Columns; // created with their defaults
    ChangeIndexes(empty, s, {});
    for (const CheckDef& k : s.Checks) {
        std::string add = "ALTER TABLE " + QualifiedSql(s.Schema, s.Name) + " ADD ";
        if (!k.SystemNamed)
            add += "CONSTRAINT " + QuoteCatalogName(k.Name) + " ";
        plan_.Constraints.push_back(
            {"Alter table " + shown + ": add constraint " + BracketName(k.Name),
             add + "CHECK " + k.Definition, false, ""});
    }
    for (const ForeignKeyDef& fk : s.ForeignKeys) {
        if (!LeftOutRelationship(s.Schema, fk.Name))
            AddForeignKey(s, fk);
    }
}

void TablePlanner::DropTable(const TableDef& t) {
    std::string shown = BracketName(t.Schema) + "." + BracketName(t.Name);
    PlanStep step{"Drop table " + shown, "DROP TABLE " + QualifiedSql(t.Schema, t.Name), false, ""};
    if (t.RowCount != 0) {
        LossStep(plan_.Drops, step,
                 "table " + shown + " is dropped, and it " + RowsText(t.RowCount));
        if (!in_.Options.AllowDataLoss)
            return; // the table stays, and so do the keys that point at it
    } else {
        plan_.Drops.push_back(step);
    }
    // Keys of other tables that point at it would refuse the drop.
    for (const TableDef& other : in_.Target->Tables) {
        if (&other == &t)
            continue;
        for (const ForeignKeyDef& fk : other.ForeignKeys) {
            if (SameName(fk.RefSchema, t.Schema) && SameName(fk.RefTable, t.Name))
                DropForeignKey(other, fk, false);
        }
    }
}

void TablePlanner::Relationships() {
    auto find = [](const SchemaModel& model, const DeployObject& o, FkPlace& place) {
        for (const TableDef& t : model.Tables) {
            for (const ForeignKeyDef& fk : t.ForeignKeys) {
                if (SameName(t.Schema, o.Schema) && SameName(fk.Name, o.Name)) {
                    place = {&t, &fk};
                    return true;
                }
            }
        }
        return false;
    };
    for (const DeployObject& o : in_.Included) {
        if (o.Type != kTypeRelationship)
            continue;
        FkPlace t, s;
        bool inTarget = find(*in_.Target, o, t);
        bool inSource = find(*in_.Source, o, s);
        if (inTarget && o.Status != PairStatus::OnlyInSource &&
            !dropped_.count(NameKey(t.Table->Schema, t.Table->Name)))
            DropForeignKey(*t.Table, *t.Key, false);
        if (inSource && o.Status != PairStatus::OnlyInTarget)
            AddForeignKey(*s.Table, *s.Key);
    }
}

void TablePlanner::KeyConstraints() {
    struct Found {
        const TableDef* Table = nullptr;
        const IndexDef* Index = nullptr;
    };
    auto find = [](const SchemaModel& model, const std::string& name) {
        for (const TableDef& t : model.Tables) {
            for (const IndexDef& i : t.Indexes) {
                if ((i.PrimaryKey || i.UniqueConstraint) && SameName(i.Name, name))
                    return Found{&t, &i};
            }
        }
        return Found{};
    };
    for (const DeployObject& o : in_.Included) {
        if (o.Type != kTypeConstraint)
            continue;
        Found t = find(*in_.Target, o.Name), s = find(*in_.Source, o.Name);
        const TableDef* table = t.Table ? t.Table : s.Table;
        if (!table)
            continue;
        std::string key = NameKey(table->Schema, table->Name);
        if (changed_.count(key) || created_.count(key) || dropped_.count(key))
            continue; // the table's own steps take care of it
        std::string shown = BracketName(table->Schema) + "." + BracketName(table->Name);
        if (t.Index && o.Status != PairStatus::OnlyInSource) {
            UnblockReferences(*t.Table, {t.Index}, {});
            plan_.TableChanges.push_back(
                {"Alter table " + shown + ": drop constraint " + BracketName(t.Index->Name),
                 DropIndexSql(*t.Table, *t.Index), false, ""});
        }
        if (s.Index && o.Status != PairStatus::OnlyInTarget) {
            const TableDef* on = in_.Target->FindTable(s.Table->Schema, s.Table->Name);
            plan_.Constraints.push_back(
                {"Alter table " + shown + ": add constraint " + BracketName(s.Index->Name),
                 AddIndexSql(on ? *on : *s.Table, *s.Index), false, ""});
        }
    }
}

void TablePlanner::WriteForeignKeySteps() {
    for (const auto& [key, place] : dropFks_) {
        const TableDef& t = *place.Table;
        std::string shown = BracketName(t.Schema) + "." + BracketName(t.Name);
        plan_.Unblock.push_back(
            {"Alter table " + shown + ": drop foreign key " + BracketName(place.Key->Name),
             "ALTER TABLE " + QualifiedSql(t.Schema, t.Name) + " DROP CONSTRAINT " +
                 QuoteCatalogName(place.Key->Name),
             false, ""});
    }
    for (const auto& [key, place] : addFks_) {
        const TableDef& t = *place.Table;
        const ForeignKeyDef& fk = *place.Key;
        std::string shown = BracketName(t.Schema) + "." + BracketName(t.Name);
        std::string sql = "ALTER TABLE " + QualifiedSql(t.Schema, t.Name) + " WITH CHECK ADD ";
        if (!fk.SystemNamed)
            sql += "CONSTRAINT " + QuoteCatalogName(fk.Name) + " ";
        sql += "FOREIGN KEY " + NameList(fk.Columns) + " REFERENCES " +
               QualifiedSql(fk.RefSchema, fk.RefTable) + " " + NameList(fk.RefColumns);
        if (fk.OnDelete != "NO ACTION" && !fk.OnDelete.empty())
            sql += " ON DELETE " + fk.OnDelete;
        if (fk.OnUpdate != "NO ACTION" && !fk.OnUpdate.empty())
            sql += " ON UPDATE " + fk.OnUpdate;
        plan_.ForeignKeys.push_back(
            {"Alter table " + shown + ": add foreign key " + BracketName(fk.Name), sql, false, ""});
    }
}

void TablePlanner::Run() {
    for (const DeployObject& o : in_.Included) {
        if (o.Type != kTypeTable)
            continue;
        std::string key = NameKey(o.Schema, o.Name);
        const TableDef* t = in_.Target->FindTable(o.Schema, o.Name);
        const TableDef* s = in_.Source->FindTable(o.Schema, o.Name);
        if (o.Status == PairStatus::OnlyInTarget) {
            if (t)
                dropped_.insert(key);
        } else if (s && t) {
            changed_.insert(key);
        } else if (s) {
            created_.insert(key);
        }
    }
    // Drops first, so that keys of dropped tables are known to go with them.
    for (const TableDef& t : in_.Target->Tables) {
        if (dropped_.count(NameKey(t.Schema, t.Name)))
            DropTable(t);
    }
    for (const DeployObject& o : in_.Included) {
        if (o.Type != kTypeTable || o.Status == PairStatus::OnlyInTarget)
            continue;
        std::string key = NameKey(o.Schema, o.Name);
        const TableDef* s = in_.Source->FindTable(o.Schema, o.Name);
        if (!s) {
            plan_.Warnings.push_back("Not deployed: table " + BracketName(o.Schema) + "." +
                                     BracketName(o.Name) + " was not found in the source.");
            continue;
        }
        if (changed_.count(key))
            ChangeTable(*in_.Target->FindTable(o.Schema, o.Name), *s);
        else if (created_.count(key))
            NewTable(*s);
    }
    Relationships();
    KeyConstraints();
    WriteForeignKeySteps();
}

} // namespace

void PlanTables(const DeployInput& input, DeployPlan& plan, std::set<std::string>& recreate) {
    TablePlanner(input, plan, recreate).Run();
}

} // namespace orv
