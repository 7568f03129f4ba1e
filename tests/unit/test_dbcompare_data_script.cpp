// The synchronisation script's literals and statements, the reports' quoting of NULL and empty
// values, and the compare-data command line, without a server.
#include "dbcompare/compare_data_command.h"
#include "dbcompare/data_compare_report.h"
#include "dbcompare/data_sync_script.h"
#include "dbcompare/data_values.h"
#include "dbcompare/object_filter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string_view>

namespace orv {
namespace {

TEST(DataScript, LiteralsAreTypedEscapedAndReadBackExactly) {
    struct Case {
        FieldValue value;
        const char* type;
        std::string literal;
    };
    const Case cases[] = {
        {FieldValue::Null(), "int", "NULL"},
        {FieldValue::Int(-42), "int", "-42"},
        {FieldValue::Boolean(true), "bit", "1"},
        {FieldValue::Dec("0012.500"), "decimal(10,3)", "12.5"},
        {FieldValue::Str("O'Brien"), "nvarchar(40)", "N'O''Brien'"},
        {FieldValue::Str("日本語 -- '; DROP"), "varchar(40)", "N'日本語 -- ''; DROP'"},
        {FieldValue::Str(std::string("a\0b", 3)), "nvarchar(5)", "N'a' + NCHAR(0) + N'b'"},
        {FieldValue::Str(""), "varchar(5)", "N''"},
        {FieldValue::Str("7"), "int", "7"},
        {FieldValue::Bytes(std::string("\x00\xFF", 2)), "varbinary(10)", "0x00FF"},
        {FieldValue::Bytes(""), "varbinary(10)", "0x"},
        {FieldValue::Date("2020-01-11 10:00:00.003"), "datetime", "'2020-01-11T10:00:00.003'"},
        {FieldValue::Date("2020-01-11"), "date", "'2020-01-11'"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TypedSqlLiteral(c.value, c.type), c.literal) << c.literal;
    // A float literal reads back as the very same double, the last bit included.
    for (double d : {0.1, 0.1 + 2e-17, -1e300, 5e-324, 123456789.123456789}) {
        const std::string text = TypedSqlLiteral(FieldValue::Real(d), "float");
        EXPECT_EQ(std::strtod(text.c_str(), nullptr), d) << text;
    }
}

DataTableResult IdentPair() {
    DataTableResult pair;
    pair.HasSource = pair.HasTarget = true;
    pair.Schema[1] = "dbo";
    pair.Name[1] = "Ma]in";
    pair.KeyColumns = {"Id"};
    pair.KeyTypes = {{"Id", "int", "int"}};
    pair.Compared = {{"Seq", "int", "int"}, {"Name", "nvarchar(10)", "nvarchar(10)"}};
    pair.TargetIdentity = "Seq";
    return pair;
}

DataRowDiff Row(RowStatus status, int id, FieldValue seq, FieldValue name, bool differs = false) {
    DataRowDiff row;
    row.Status = status;
    row.Key = {FieldValue::Int(id)};
    row.Cells = {{seq, seq, differs}, {name, FieldValue::Str("old"), differs}};
    return row;
}

TEST(DataScript, StatementsComeInOrderInOneTransaction) {
    SyncScriptWriter w;
    DataTableResult pair = IdentPair();
    w.BeginPair(pair);
    w.Row(pair, Row(RowStatus::OnlyInSource, 1, FieldValue::Int(5), FieldValue::Str("n")));
    w.Row(pair, Row(RowStatus::Different, 2, FieldValue::Int(6), FieldValue::Str("x\r\ny"), true));
    w.Row(pair, Row(RowStatus::OnlyInTarget, 3, FieldValue::Null(), FieldValue::Null()));
    DataRowDiff conflict = Row(RowStatus::Conflict, 4, FieldValue::Int(1), FieldValue::Null());
    conflict.Copies = {2, 0};
    w.Row(pair, conflict);
    w.EndPair(pair);
    const std::string s = w.Script();
    const size_t begin = s.find("BEGIN TRANSACTION;"), del = s.find("DELETE FROM [dbo].[Ma]]in]"),
                 upd = s.find("UPDATE [dbo].[Ma]]in] SET [Name] = N'x\r\ny' WHERE [Id] = 2;"),
                 on = s.find("SET IDENTITY_INSERT [dbo].[Ma]]in] ON;"),
                 ins = s.find("INSERT INTO [dbo].[Ma]]in] ([Id], [Seq], [Name]) VALUES (1, 5, "
                              "N'n');"),
                 off = s.find("SET IDENTITY_INSERT [dbo].[Ma]]in] OFF;"),
                 commit = s.find("COMMIT TRANSACTION;");
    for (size_t at : {begin, del, upd, on, ins, off, commit})
        ASSERT_NE(at, std::string::npos) << s;
    EXPECT_TRUE(begin < del && del < upd && upd < on && on < ins && ins < off && off < commit);
    // The identity column is never updated, and the conflict is left alone with a note.
    EXPECT_NE(s.find("-- [Seq] is an identity column and cannot be updated (key 2)"),
              std::string::npos);
    EXPECT_NE(s.find("-- not synchronised: the key (4) occurs 2 time(s) in the source and 0 "
                     "time(s) in the target"),
              std::string::npos);
    EXPECT_EQ(w.Statements(), 3);

    // Without the identity column among the inserted ones, the server numbers the rows.
    SyncScriptWriter plain;
    pair.Compared.erase(pair.Compared.begin());
    DataRowDiff row;
    row.Status = RowStatus::OnlyInSource;
    row.Key = {FieldValue::Int(9)};
    row.Cells = {{FieldValue::Str("z"), FieldValue::Null(), false}};
    plain.BeginPair(pair);
    plain.Row(pair, row);
    plain.EndPair(pair);
    EXPECT_EQ(plain.Script().find("IDENTITY_INSERT"), std::string::npos);
}

// Two tables with thousands of rows of every kind, the second one cut short: far more than a
// spooling writer keeps in memory.
void FeedManyRows(DataRowSink& sink) {
    for (int table = 0; table < 2; ++table) {
        DataTableResult pair = IdentPair();
        pair.Name[1] = table == 0 ? "Ma]in" : "Second";
        pair.Incomplete = table == 1;
        sink.BeginPair(pair);
        for (int id = 0; id < 10000; ++id) {
            const RowStatus status = static_cast<RowStatus>(id % 4);
            DataRowDiff row = Row(status, id, FieldValue::Int(id * 7),
                                  FieldValue::Str("name " + std::to_string(id) + "'s"),
                                  status == RowStatus::Different);
            row.Copies = {id % 3, 1};
            sink.Row(pair, row);
        }
        sink.EndPair(pair);
    }
}

TEST(DataScript, SpooledScriptAndRowsAreByteForByteTheInMemoryOnes) {
    DataCompareResults run;
    run.DbName[0] = "Src";
    run.DbName[1] = "Tgt";
    run.TargetVersionMajor = 10;
    SyncScriptOptions options;
    options.MadeAt = "2024-01-31 10:20:30";
    SyncScriptWriter memory;
    SyncScriptWriter spooled(true);
    FeedManyRows(memory);
    FeedManyRows(spooled);
    const std::string whole = memory.Script(run, options);
    ASSERT_GT(whole.size(), 500000u);
    std::string streamed;
    size_t largest = 0;
    ASSERT_TRUE(spooled.WriteScript(
        [&](std::string_view piece) {
            largest = std::max(largest, piece.size());
            streamed.append(piece);
            return true;
        },
        run, options))
        << spooled.SpoolProblem();
    EXPECT_TRUE(streamed == whole) << "the spooled script differs from the one built in memory";
    EXPECT_EQ(spooled.Script(run, options), whole);
    EXPECT_LE(largest, 128u * 1024u) << "the script was handed over in one piece";
    EXPECT_EQ(spooled.Statements(), memory.Statements());

    DataRowsCsvWriter rowsInMemory;
    DataRowsCsvWriter rowsSpooled(true);
    FeedManyRows(rowsInMemory);
    FeedManyRows(rowsSpooled);
    std::string rows;
    ASSERT_TRUE(rowsSpooled.WriteTo([&](std::string_view piece) {
        rows.append(piece);
        return true;
    }));
    EXPECT_GT(rows.size(), 200000u);
    EXPECT_TRUE(rows == rowsInMemory.Text());
}

TEST(DataReport, CsvKeepsNullApartFromEmptyAndUsesTheStatusWords) {
    DataCompareResults r;
    DataTableResult t = IdentPair();
    t.Schema[0] = "dbo";
    t.Name[0] = "a,\"b\"";
    t.Status = DataPairStatus::Different;
    t.Different = t.RowsCompared = 1;
    DataRowDiff row;
    row.Status = RowStatus::Different;
    row.Key = {FieldValue::Int(1)};
    row.Cells = {{FieldValue::Null(), FieldValue::Str(""), true},
                 {FieldValue::Str("x"), FieldValue::Str("x"), false}};
    t.Rows.push_back(row);
    r.Tables.push_back(t);
    DataTableResult only;
    only.HasTarget = true;
    only.Schema[1] = "s";
    only.Name[1] = "t";
    only.Status = DataPairStatus::OnlyInTarget;
    r.Tables.push_back(only);
    EXPECT_EQ(DataCompareCsv(r),
              "table,status,compared_rows,identical,different,only_in_source,only_in_target\r\n"
              "\"dbo.a,\"\"b\"\"\",different,1,0,1,0,0\r\ns.t,only in target,0,0,0,0,0\r\n");
    EXPECT_EQ(DataRowsCsv(r), "table,status,Id,Seq (source),Seq (target),Name (source),Name "
                              "(target)\r\n\"dbo.a,\"\"b\"\"\",different,1,,\"\",x,x\r\n");
    const std::string html = DataCompareHtml(r, 10);
    EXPECT_NE(html.find("dbo.a,&quot;b&quot;"), std::string::npos);
    EXPECT_EQ(DataCompareExitStatus(r, NotComparablePolicy::Error), 1);
}

TEST(DataCommandLine, ArgumentsAreParsedAndBadOnesRefused) {
    CompareDataArgs a;
    std::string error;
    ASSERT_TRUE(ParseCompareDataArgs({"--tables", "dbo.T,[odd.na]]me],s.[a,b]", "--key=Id, [x y]",
                                      "--mode", "HASH", "--format", "csv", "S1", "D1", "S2", "D2"},
                                     a, error))
        << error;
    ASSERT_EQ(a.Tables.size(), 3u);
    EXPECT_EQ(a.Tables[0].Schema[0] + "|" + a.Tables[0].Name[1], "dbo|T");
    EXPECT_EQ(a.Tables[1].Schema[0] + "|" + a.Tables[1].Name[0], "|odd.na]me");
    EXPECT_EQ(a.Tables[2].Schema[1] + "|" + a.Tables[2].Name[1], "s|a,b");
    EXPECT_EQ(a.Tables[2].Key, (std::vector<std::string>{"Id", "x y"}));
    EXPECT_EQ(a.Mode, DataCompareMode::Hash);
    EXPECT_EQ(a.Format, ReportFormat::Csv);
    EXPECT_EQ(a.Server[1] + a.Db[1], "S2D2");

    const std::vector<std::vector<std::string>> bad = {
        {"S1", "D1", "S2"},
        {"--tables", "a,,b", "S1", "D1", "S2", "D2"},
        {"--tables", "[open", "S1", "D1", "S2", "D2"},
        {"--tables", "a.b.c", "S1", "D1", "S2", "D2"},
        {"--key", "Id", "S1", "D1", "S2", "D2"},
        {"--mode", "fast", "S1", "D1", "S2", "D2"},
        {"--format", "xml", "S1", "D1", "S2", "D2"},
        {"--script", "", "S1", "D1", "S2", "D2"},
        {"--rows", "a", "--rows", "b", "S1", "D1", "S2", "D2"},
        {"--password=secret", "S1", "D1", "S2", "D2"},
        {"--verbose", "S1", "D1", "S2", "D2"},
    };
    for (const auto& words : bad) {
        EXPECT_FALSE(ParseCompareDataArgs(words, a, error)) << words[0];
        EXPECT_EQ(error.find("secret"), std::string::npos) << error;
    }
}

} // namespace
} // namespace orv
