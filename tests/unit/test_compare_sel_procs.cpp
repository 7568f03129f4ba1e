// The whole comparison of two objects: verdicts, notes, settings, re-scripting and marking.
#include "compare/compare_sel_procs.h"
#include "compare/tx_text.h"
#include "test_compare_support.h"

namespace orv {
namespace {

class CompareObjects : public test::CompareTest {
protected:
    CompareRequest Request(const std::string& a, const std::string& b) {
        source.SetText(a);
        target.SetText(b);
        CompareRequest r;
        r.sourceView = &source;
        r.targetView = &target;
        r.names.TypeCode = 10;
        r.names.TypeNamePlural = "procedures";
        r.names.EncObjTypes = "0,1,0,0,0,0,0";
        r.names.ServerName[0] = "S1";
        r.names.ServerName[1] = "S2";
        r.names.DbName[0] = "db1";
        r.names.DbName[1] = "db2";
        r.names.ObjectName[0] = "p";
        r.names.ObjectName[1] = "q";
        r.names.FullName[0] = "S1.db1.p";
        r.names.FullName[1] = "S2.db2.q";
        r.options.IgnoreWhitespace = false;
        r.options.CaseSensitive = false;
        r.options.IgnoreColSeq = false;
        r.options.IgnoreComments = false;
        return r;
    }

    MemoryTextView source, target;
};

TEST_F(CompareObjects, VerdictTexts) {
    CompareRequest r = Request("SELECT 1", "SELECT 2");
    CompareResult res = CompareSelProcs(r);
    ASSERT_TRUE(res.Compared);
    EXPECT_FALSE(res.Identical);
    EXPECT_EQ(res.Verdict,
              "Source: S1.db1.p\r\nTarget: S2.db2.q\r\n\r\nThe selected procedures are different.");

    r = Request("SELECT 1", "SELECT 1");
    r.options.IgnoreColSeq = true;
    res = CompareSelProcs(r);
    EXPECT_TRUE(res.Identical);
    // The note appears whenever the option is on, even though the second check never ran.
    EXPECT_EQ(res.Verdict, "Source: S1.db1.p\r\nTarget: S2.db2.q\r\n\r\nThe selected procedures "
                           "are identical.\r\n\r\nPlease note that option 'Ignore Columns Order' "
                           "is set ON.");
    // Notes belong to identical verdicts only.
    r = Request("SELECT 1", "SELECT 2");
    r.options.IgnoreColSeq = true;
    res = CompareSelProcs(r);
    EXPECT_FALSE(res.Identical);
    EXPECT_EQ(res.Verdict.find("Please note"), std::string::npos);
}

TEST_F(CompareObjects, ReportWindowGetsTheComparisonDescription) {
    CompareResult res = CompareSelProcs(Request("a", "b"));
    EXPECT_EQ(res.Report.Caption, "Comparison Report");
    EXPECT_EQ(res.Report.HelpContext, 3);
    EXPECT_EQ(res.Report.ServerName[1], "S2");
    EXPECT_EQ(res.Report.DbName[0], "db1");
    EXPECT_EQ(res.Report.ObjectName[1], "q");
    EXPECT_EQ(res.Report.CompType, 1);
    EXPECT_EQ(res.Report.CompSubType, 35);
    EXPECT_EQ(res.Report.CompMethod, -1);
    EXPECT_EQ(res.Report.EncObjTypes, "0,1,0,0,0,0,0");

    std::string seen;
    ShowComparisonReport(res, [&](const ComparisonReportRequest&) { seen = gstrReportText; });
    EXPECT_EQ(seen, res.Verdict);
    EXPECT_EQ(gstrReportText, "");
}

TEST_F(CompareObjects, CaseMattersOnlyWhenWhitespaceIsIgnoredAndCaseInsensitive) {
    CompareRequest r = Request("select a from t", "SELECT A FROM T");
    r.options.CaseSensitive = false;
    EXPECT_FALSE(CompareSelProcs(r).Identical); // exact comparison
    r = Request("select a from t", "SELECT A FROM T");
    r.options.IgnoreWhitespace = true;
    EXPECT_TRUE(CompareSelProcs(r).Identical);
    r = Request("select a from t", "SELECT A FROM T");
    r.options.IgnoreWhitespace = true;
    r.options.CaseSensitive = true;
    EXPECT_FALSE(CompareSelProcs(r).Identical);
}

TEST_F(CompareObjects, WhitespaceSettings) {
    CompareRequest r = Request("SELECT a,\r\n  b FROM t", "SELECT a, b\tFROM   t");
    r.options.IgnoreWhitespace = true;
    EXPECT_TRUE(CompareSelProcs(r).Identical);
    r = Request("SELECT a,\r\n  b FROM t", "SELECT a, b\tFROM   t");
    EXPECT_FALSE(CompareSelProcs(r).Identical);
    // A trailing line break is no difference when whitespace is ignored.
    r = Request("", "");
    r.givenTexts = true;
    r.sourceText = "SELECT 1";
    r.targetText = "SELECT 1\r\n";
    r.options.IgnoreWhitespace = true;
    EXPECT_TRUE(CompareSelProcs(r).Identical);
}

TEST_F(CompareObjects, CommentsAreIgnoredWhenTheOptionIsOn) {
    const std::string a = "-- v2, reviewed\r\nCREATE PROC p AS\r\nSELECT 1 /* fast */";
    const std::string b = "CREATE PROC p AS\r\nSELECT 1";
    CompareRequest r = Request(a, b);
    r.options.IgnoreComments = true;
    CompareResult res = CompareSelProcs(r);
    EXPECT_TRUE(res.Identical);
    EXPECT_FALSE(res.Marked);

    r = Request(a, b);
    res = CompareSelProcs(r);
    EXPECT_FALSE(res.Identical);
    // The marking works on the whole texts, comments included.
    ASSERT_TRUE(res.Marked);
    EXPECT_EQ(res.SourceLines[0].Status, LineOnlyInSource);

    // A comment marker inside a literal is text, so the literals still differ.
    r = Request("SELECT '-- a'", "SELECT '-- b'");
    r.options.IgnoreComments = true;
    r.options.IgnoreWhitespace = true;
    EXPECT_FALSE(CompareSelProcs(r).Identical);
}

TEST_F(CompareObjects, CommentsAreIgnoredInTheColumnOrderCheckToo) {
    CompareRequest r = Request("SELECT 2 -- later\r\nSELECT 1", "SELECT 1\r\nSELECT 2");
    r.options.IgnoreComments = true;
    r.options.IgnoreColSeq = true;
    EXPECT_TRUE(CompareSelProcs(r).Identical);
    r = Request("SELECT 2 -- later\r\nSELECT 1", "SELECT 1\r\nSELECT 2");
    r.options.IgnoreColSeq = true;
    EXPECT_FALSE(CompareSelProcs(r).Identical);
}

TEST_F(CompareObjects, ColumnOrderSecondOpinionOnTheViews) {
    // Reordered, and one column's type changed: the lines themselves differ.
    CompareRequest r = Request("CREATE TABLE T (\r\n[a] int ,\r\n[b] int ,\r\n)",
                               "CREATE TABLE T (\r\n[b] bigint ,\r\n[a] int ,\r\n)");
    r.options.IgnoreColSeq = true;
    CompareResult res = CompareSelProcs(r);
    EXPECT_FALSE(res.Identical);
    EXPECT_TRUE(res.Marked);

    r = Request("CREATE TABLE T (\r\n[a] int ,\r\n[b] int ,\r\n)",
                "CREATE TABLE T (\r\n[b] int ,\r\n[a] int ,\r\n)");
    r.options.IgnoreColSeq = true;
    res = CompareSelProcs(r);
    EXPECT_TRUE(res.Identical);
    EXPECT_FALSE(res.Marked);
    EXPECT_EQ(source.BackColorAt(0), 0u);
}

TEST_F(CompareObjects, DifferentObjectsAreMarkedAndIdenticalOnesLeftAlone) {
    CompareRequest r = Request("a\r\nb\r\nc", "a\r\nx\r\nb\r\nc");
    CompareResult res = CompareSelProcs(r);
    ASSERT_TRUE(res.Marked);
    EXPECT_EQ(target.BackColorAt(2), StatusToColor(LineOnlyInTarget));
    EXPECT_EQ(target.BackColorAt(0), StatusToColor(LineSame));

    // A later comparison found identical leaves no colour of the earlier one in either view.
    r.givenTexts = true;
    r.sourceText = r.targetText = "a";
    res = CompareSelProcs(r);
    EXPECT_TRUE(res.Identical);
    EXPECT_FALSE(res.Marked);
    for (int64_t offset : {0, 2, 5}) {
        EXPECT_EQ(source.BackColorAt(offset), 0u) << offset;
        EXPECT_EQ(target.BackColorAt(offset), 0u) << offset;
    }
}

TEST_F(CompareObjects, EveryVerdictStartsFromUnmarkedViews) {
    // Whitespace that counts the first time and not the second: the same texts, first marked,
    // then identical.
    CompareRequest r = Request("SELECT a\r\nFROM t", "SELECT  a\r\nFROM t");
    ASSERT_TRUE(CompareSelProcs(r).Marked);
    ASSERT_EQ(source.BackColorAt(0), StatusToColor(LineChanged));
    r.options.IgnoreWhitespace = true;
    CompareResult res = CompareSelProcs(r);
    EXPECT_TRUE(res.Identical);
    EXPECT_EQ(source.BackColorAt(0), 0u);
    EXPECT_EQ(target.BackColorAt(0), 0u);
}

TEST_F(CompareObjects, HighlightedSectionsDecideButTheWholeViewsAreMarked) {
    CompareRequest r = Request("x\r\nSELECT 1\r\ny", "z\r\nSELECT 1\r\nw");
    r.givenTexts = true;
    r.sourceText = "SELECT 1";
    r.targetText = "SELECT 1";
    CompareResult res = CompareSelProcs(r);
    EXPECT_TRUE(res.Identical);
    EXPECT_EQ(source.BackColorAt(0), 0u);

    r.sourceText = "x";
    r.targetText = "z";
    res = CompareSelProcs(r);
    EXPECT_FALSE(res.Identical);
    ASSERT_EQ(res.SourceLines.size(), 3u);
    EXPECT_EQ(source.BackColorAt(0), StatusToColor(LineChanged));
    EXPECT_EQ(source.BackColorAt(3), StatusToColor(LineSame));
    EXPECT_EQ(target.BackColorAt(11), StatusToColor(LineChanged));
}

TEST_F(CompareObjects, BothEmptyIsRefusedWithAMessage) {
    int busyChanges = 0;
    CompareRequest r = Request("  ", "");
    r.services.setBusy = [&](bool) { ++busyChanges; };
    CompareResult res = CompareSelProcs(r);
    EXPECT_FALSE(res.Compared);
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].icon, MsgIcon::Information);
    EXPECT_EQ(prompter.messages[0].title, "Cannot Compare");
    EXPECT_EQ(prompter.messages[0].text, "Cannot compare - the list of objects is empty.");
    // The busy flag and the pointer are restored on this way out too.
    EXPECT_EQ(busyChanges, 2);
    EXPECT_EQ(prompter.pointer, kPointerDefault);
    bool shown = false;
    ShowComparisonReport(res, [&](const ComparisonReportRequest&) { shown = true; });
    EXPECT_FALSE(shown);
}

TEST_F(CompareObjects, OneEmptySideIsDifferentAndFullyMarked) {
    CompareResult res = CompareSelProcs(Request("", "a\r\nb"));
    EXPECT_FALSE(res.Identical);
    EXPECT_EQ(target.BackColorAt(0), StatusToColor(LineOnlyInTarget));
    EXPECT_EQ(target.BackColorAt(2), StatusToColor(LineOnlyInTarget));
}

TEST_F(CompareObjects, TablesWithIgnoredColumnsAreRescriptedOnThatSideOnly) {
    const std::string full = "CREATE TABLE T (\r\n[id] int ,\r\n[stamp] datetime \r\n)";
    const std::string lean = "CREATE TABLE T (\r\n[id] int \r\n)";
    CompareRequest r = Request(full, lean);
    r.names.TypeCode = kTypeTables;
    r.names.TypeNamePlural = "tables";
    std::vector<int> askedFor;
    std::vector<int> rescripted;
    r.services.ignoredColumns = [&](int side) {
        askedFor.push_back(side);
        return side == 0 ? std::vector<std::string>{"stamp"} : std::vector<std::string>{};
    };
    r.services.tableScriptWithoutIgnored = [&](int panel) {
        rescripted.push_back(panel);
        return lean;
    };
    CompareResult res = CompareSelProcs(r);
    EXPECT_EQ(askedFor, (std::vector<int>{0, 1}));
    EXPECT_EQ(rescripted, (std::vector<int>{0}));
    EXPECT_TRUE(res.ColumnsIgnored);
    EXPECT_TRUE(res.Identical);
    EXPECT_NE(res.Verdict.find("The selected tables are identical.\r\n\r\nPlease note that some "
                               "columns were ignored during comparison."),
              std::string::npos);

    // When the re-scripted text still differs, the note is not given.
    r.services.tableScriptWithoutIgnored = [](int) { return std::string("CREATE TABLE X"); };
    res = CompareSelProcs(r);
    EXPECT_FALSE(res.Identical);
    EXPECT_EQ(res.Verdict.find("ignored"), std::string::npos);

    // Other object types never ask for ignored columns.
    askedFor.clear();
    r.names.TypeCode = 10;
    CompareSelProcs(r);
    EXPECT_TRUE(askedFor.empty());
}

TEST_F(CompareObjects, LargeTextsAreComparedAndMarked) {
    std::string a, b;
    for (int i = 0; i < 100000; ++i) {
        a += "line " + std::to_string(i) + "\r\n";
        b += (i % 1000 == 500 ? "other " : "line ") + std::to_string(i) + "\r\n";
    }
    CompareRequest r = Request(a, b);
    r.options.IgnoreColSeq = true;
    r.options.IgnoreWhitespace = true;
    CompareResult res = CompareSelProcs(r);
    ASSERT_TRUE(res.Compared);
    EXPECT_FALSE(res.Identical);
    EXPECT_TRUE(res.Marked);
    EXPECT_EQ(res.SourceLines[500].Status, LineChanged);
    EXPECT_EQ(res.SourceLines[501].Status, LineSame);
    EXPECT_TRUE(reports.empty());
}

TEST_F(CompareObjects, MissingViewIsAnUnexpectedError) {
    CompareRequest r = Request("a", "b");
    r.targetView = nullptr;
    CompareResult res = CompareSelProcs(r);
    EXPECT_FALSE(res.Compared);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].ModuleName, "frmMain");
    EXPECT_EQ(reports[0].ProcName, "CompareSelProcs");
    EXPECT_EQ(prompter.pointer, kPointerDefault);
}

} // namespace
} // namespace orv

namespace orv {
namespace {

// The deciding steps alone, as the whole-database comparison runs them: nothing painted, no
// message, and a table's text without its ignored columns stands in for the comparison.
TEST(DecideObjectPair, DecidesWithoutPaintingAndComparesTablesWithoutIgnoredColumns) {
    struct Case {
        const char* name;
        int32_t type;
        std::string source, target;
        bool ignoreSourceColumns;
        bool identical;
        bool columnsIgnored;
    };
    const Case cases[] = {
        {"Equal", 10, "a\r\nb", "a\r\nb", false, true, false},
        {"Different", 10, "a\r\nb", "a\r\nc", false, false, false},
        // The stand-in text equals the target; the views still differ, and are not marked.
        {"IgnoredColumnMakesEqual", 50, "[Id] [int] NULL\r\n[X] [int] NULL", "[Id] [int] NULL",
         true, true, true},
        {"IgnoredOnlyForTables", 10, "[Id] [int] NULL\r\n[X] [int] NULL", "[Id] [int] NULL", true,
         false, false},
    };
    for (const Case& c : cases) {
        MemoryTextView views[2];
        views[0].SetText(c.source);
        views[1].SetText(c.target);
        ViewPair pair(views[0], views[1]);
        std::string_view text[2] = {ViewTextForComparison(pair, 0), ViewTextForComparison(pair, 1)};
        CompareServices services;
        services.ignoredColumns = [&](int side) {
            return side == 0 && c.ignoreSourceColumns ? std::vector<std::string>{"X"}
                                                      : std::vector<std::string>{};
        };
        services.tableScriptWithoutIgnored = [](int) { return std::string("[Id] [int] NULL"); };
        CompareOptions options;
        options.IgnoreColSeq = false;
        const PairDecision d = DecideObjectPair(pair, text, c.type, options, services, false);
        EXPECT_EQ(d.Identical, c.identical) << c.name;
        EXPECT_EQ(d.ColumnsIgnored, c.columnsIgnored) << c.name;
        EXPECT_EQ(d.Marked, !c.identical) << c.name;
        if (!c.identical) {
            EXPECT_FALSE(pair.Lines(0).empty()) << c.name;
        }
        EXPECT_EQ(views[0].BackColorAt(0), 0) << c.name << ": nothing may be painted";
        EXPECT_EQ(views[1].BackColorAt(0), 0) << c.name;
    }
}

} // namespace
} // namespace orv
