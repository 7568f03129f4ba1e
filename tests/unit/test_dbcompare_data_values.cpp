// The data comparison's judgement of values, keys and rows without a server: exact type-aware
// equality, the key order the merge relies on, the choice of a key, and the merge itself over
// rows in memory (conflicts, rows out of order, one side empty).
#include "dbcompare/data_key.h"
#include "dbcompare/data_merge.h"
#include "dbcompare/data_values.h"

#include <gtest/gtest.h>

namespace orv {
namespace {

FieldValue T(const std::string& s) {
    return FieldValue::Str(s);
}
FieldValue D(const std::string& s) {
    return FieldValue::Dec(s);
}
FieldValue I(int64_t v) {
    return FieldValue::Int(v);
}
FieldValue F(double v) {
    return FieldValue::Real(v);
}
FieldValue B(const std::string& s) {
    return FieldValue::Bytes(s);
}
FieldValue Dt(const std::string& s) {
    return FieldValue::Date(s);
}
const FieldValue N = FieldValue::Null();

TEST(DataValues, EqualityIsExactAndTypeAware) {
    struct Case {
        FieldValue a, b;
        bool equal;       // case-insensitive
        bool equalStrict; // case-sensitive
    };
    const Case cases[] = {
        {N, N, true, true},
        {N, T(""), false, false}, // NULL is not an empty text
        {N, I(0), false, false},
        {I(5), I(5), true, true},
        {I(5), D("5.00"), true, true},
        {D("10.50"), D("10.5"), true, true},
        {D("-0.00"), D("0"), true, true},
        {D("12345678901234567890.01"), D("12345678901234567890.02"), false, false},
        {F(0.1), F(0.1 + 1e-17 * 2), false, false}, // one bit apart
        {F(-0.0), F(0.0), true, true},
        {F(1.5), D("1.5"), true, true},
        {T("Oslo"), T("Oslo   "), true, true}, // trailing blanks
        {T(" Oslo"), T("Oslo"), false, false}, // leading ones count
        {T("bob"), T("BOB"), true, false},
        {T("Жанна"), T("ЖАННА"), true, false},
        {T("straße"), T("STRASSE"), false, false},
        {T(std::string("a\0b", 3)), T(std::string("a\0c", 3)), false, false},
        {B(std::string("\x01\x00", 2)), B("\x01"), false, false}, // binary: byte for byte
        {B("\x01"), B("\x01"), true, true},
        {Dt("2020-01-11 10:00:00.000"), Dt("2020-01-11 10:00:00"), true, true},
        {Dt("2020-01-11 10:00:00.000"), Dt("2020-01-11 10:00:00.003"), false, false},
        {FieldValue::Boolean(true), I(1), true, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ValuesEqual(c.a, c.b, false), c.equal) << c.a.Text() << " / " << c.b.Text();
        EXPECT_EQ(ValuesEqual(c.b, c.a, false), c.equal) << c.b.Text() << " / " << c.a.Text();
        EXPECT_EQ(ValuesEqual(c.a, c.b, true), c.equalStrict) << c.a.Text() << " / " << c.b.Text();
    }
}

TEST(DataValues, KeyOrderMatchesABinaryCollationAndNumbersByValue) {
    // Each value sorts before the next.
    const std::vector<FieldValue> ascending[] = {
        {N, I(-5), I(0), I(3), I(10)},
        {D("-10.5"), D("-2"), D("0"), D("0.001"), D("1.5"), D("10")},
        {T(""), T("a\x01"), T("a"), T("b"), T("é"), T("ж")}, // "a" pads with a blank
        {Dt("2019-12-31 23:59:59.997"), Dt("2020-01-01 00:00:00.000")},
        {B(""), B(std::string(1, '\0')), B("\x01"), B("\xFF")},
    };
    for (const auto& list : ascending)
        for (size_t i = 0; i + 1 < list.size(); ++i) {
            EXPECT_LT(CompareKeyValues(list[i], list[i + 1]), 0)
                << list[i].Text() << " < " << list[i + 1].Text();
            EXPECT_GT(CompareKeyValues(list[i + 1], list[i]), 0);
        }
    EXPECT_EQ(CompareKeyValues(T("a"), T("a  ")), 0); // the same key on a server
    EXPECT_EQ(CompareKeyValues(I(7), D("7.0")), 0);
    EXPECT_EQ(CanonicalDecimal("-007.2500"), "-7.25");
    EXPECT_EQ(CanonicalDecimal("x1"), "");
}

TableInfo Table(std::vector<TableColumn> columns, std::vector<TableIndex> indexes) {
    TableInfo t;
    t.Schema = "dbo";
    t.Name = "T";
    t.Columns = std::move(columns);
    t.Indexes = std::move(indexes);
    return t;
}

TableColumn Col(const std::string& name, const std::string& type, bool nullable = false) {
    TableColumn c;
    c.Name = name;
    c.Type = type;
    c.Length = type == "nvarchar" ? 40 : 4;
    c.Nullable = nullable;
    return c;
}

TEST(DataKey, TheKeyIsChosenAndCheckedOnBothSides) {
    const TableIndex pk{"PK", true, true, {"Id"}};
    const TableIndex uq{"UQ", false, true, {"Code"}};
    const TableIndex uqNull{"UQN", false, true, {"Note"}};
    const auto cols = std::vector<TableColumn>{Col("Id", "int"), Col("Code", "nvarchar"),
                                               Col("Note", "nvarchar", true)};
    struct Case {
        const char* what;
        TableInfo source, target;
        std::vector<std::string> explicitKey, remembered;
        std::string expect; // key columns joined, or the reason
    };
    const Case cases[] = {
        {"primary key", Table(cols, {uq, pk}), Table(cols, {pk}), {}, {}, "Id"},
        {"unique without nulls", Table(cols, {uqNull, uq}), Table(cols, {uq}), {}, {}, "Code"},
        {"unique with nulls only",
         Table(cols, {uqNull}),
         Table(cols, {uqNull}),
         {},
         {},
         "no key (the unique index [UQN] allows NULL values)"},
        {"nothing", Table(cols, {}), Table(cols, {}), {}, {}, "no key"},
        {"remembered", Table(cols, {}), Table(cols, {}), {}, {"Code"}, "Code"},
        {"own key beats remembered", Table(cols, {pk}), Table(cols, {pk}), {}, {"Code"}, "Id"},
        {"explicit beats own", Table(cols, {pk}), Table(cols, {pk}), {"code"}, {}, "Code"},
        {"keys differ",
         Table(cols, {pk}),
         Table(cols, {uq}),
         {},
         {},
         "the keys differ: [Id] / [Code]"},
        {"key column missing",
         Table(cols, {}),
         Table({Col("Id", "int")}, {}),
         {"Code"},
         {},
         "the key column [Code] is missing in target"},
        {"key types differ",
         Table(cols, {pk}),
         Table({Col("Id", "nvarchar"), Col("Code", "nvarchar")}, {pk}),
         {},
         {},
         "the key's types differ: [Id] int / nvarchar(20)"},
        {"int and bigint agree",
         Table(cols, {pk}),
         Table({Col("Id", "bigint"), Col("Code", "nvarchar")}, {pk}),
         {},
         {},
         "Id"},
    };
    for (const Case& c : cases) {
        DataTableResult pair;
        PairPlan plan;
        const bool ok = PlanPair(c.source, c.target, {}, c.explicitKey, c.remembered, pair, plan);
        std::string got;
        for (const std::string& k : pair.KeyColumns)
            got += (got.empty() ? "" : ",") + k;
        EXPECT_EQ(ok ? got : pair.Reason, c.expect) << c.what;
        EXPECT_EQ(ok, pair.Status != DataPairStatus::NotComparable || ok) << c.what;
    }
    // Only a key unique on both sides lets checksums stand in for rows.
    DataTableResult pair;
    PairPlan plan;
    ASSERT_TRUE(PlanPair(Table(cols, {pk}), Table(cols, {pk}), {"note"}, {}, {}, pair, plan));
    EXPECT_TRUE(plan.KeyUnique);
    EXPECT_EQ(pair.IgnoredColumns, std::vector<std::string>{"Note"});
    ASSERT_EQ(pair.Compared.size(), 1u);
    EXPECT_EQ(pair.Compared[0].Name, "Code");
    DataTableResult picked;
    ASSERT_TRUE(PlanPair(Table(cols, {}), Table(cols, {}), {}, {"Id"}, {}, picked, plan));
    EXPECT_FALSE(plan.KeyUnique);
}

// Rows of (key, value).
std::vector<Row> Rows(std::initializer_list<std::pair<int, const char*>> rows) {
    std::vector<Row> out;
    for (const auto& [k, v] : rows)
        out.push_back({I(k), v ? T(v) : N});
    return out;
}

DataTableResult MergeOf(std::vector<Row> source, std::vector<Row> target, bool& ok,
                        std::string& error, int64_t keep = 100) {
    DataTableResult pair;
    pair.KeyColumns = {"Id"};
    pair.Compared = {{"V", "varchar(10)", "varchar(10)"}};
    PairMerger merger(pair, false, keep, nullptr);
    VectorRowStream s(std::move(source)), t(std::move(target));
    OdbcError e;
    ok = merger.Merge(s, t, nullptr, e);
    error = e.description;
    return pair;
}

TEST(DataMerge, RowsAreMatchedConflictsFoundAndDisorderRefused) {
    bool ok = false;
    std::string error;
    DataTableResult r = MergeOf(Rows({{1, "a"}, {2, "b"}, {2, "b2"}, {4, nullptr}, {5, "e"}}),
                                Rows({{1, "A"}, {2, "b"}, {3, "c"}, {4, ""}, {6, "f"}}), ok, error);
    ASSERT_TRUE(ok) << error;
    EXPECT_EQ(r.Identical, 1);    // 1 (letter case)
    EXPECT_EQ(r.Conflict, 1);     // 2 twice in the source
    EXPECT_EQ(r.OnlyInTarget, 2); // 3, 6
    EXPECT_EQ(r.Different, 1);    // 4: NULL against ''
    EXPECT_EQ(r.OnlyInSource, 1); // 5
    EXPECT_EQ(r.RowsCompared, 6);
    ASSERT_EQ(r.Rows.size(), 5u);
    EXPECT_EQ(r.Rows[0].Status, RowStatus::Conflict);
    EXPECT_EQ(r.Rows[0].Copies, (std::array<int64_t, 2>{2, 1}));
    EXPECT_EQ(r.ColumnDiffCounts, std::vector<int64_t>{1});

    r = MergeOf({}, Rows({{1, "a"}, {2, "b"}}), ok, error, 1);
    EXPECT_TRUE(ok);
    EXPECT_EQ(r.OnlyInTarget, 2);
    EXPECT_EQ(r.Rows.size(), 1u);
    EXPECT_TRUE(r.RowsCut);

    r = MergeOf({}, {}, ok, error);
    EXPECT_TRUE(ok);
    EXPECT_EQ(r.RowsCompared, 0);

    // A server that orders the key otherwise must not produce a silent wrong answer.
    r = MergeOf(Rows({{1, "a"}, {3, "c"}, {2, "b"}}), Rows({{1, "a"}, {2, "b"}, {3, "c"}}), ok,
                error);
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, kRowsOutOfOrder);
}

} // namespace
} // namespace orv
