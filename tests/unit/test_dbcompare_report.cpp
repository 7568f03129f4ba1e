// The whole-database comparison's reports over one hand-built run holding every status and
// hostile names: what each format must say, that CSV and HTML stay well-formed whatever the
// names hold, and that an incomplete run is recognisable in all three.
#include "../support/csv_reader.h"
#include "compare/comp_line.h"
#include "dbcompare/data_compare_report.h"
#include "dbcompare/db_compare_report.h"
#include "export/html.h"
#include "servers/machine_text.h"
#include "util/date_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace orv {
namespace {

using test::ReadCsv;

namespace fs = std::filesystem;

// ---- the run --------------------------------------------------------------------------------

CompLines Lines(const std::vector<std::pair<std::string, int32_t>>& lines) {
    CompLines out;
    for (const auto& [text, status] : lines)
        out.push_back({text, status, 0, 0});
    return out;
}

PairVerdict Pair(ObjectType type, PairStatus status, std::string schema, std::string name,
                 bool source = true, bool target = true) {
    PairVerdict p;
    p.Type = type;
    p.Status = status;
    p.HasSource = source;
    p.HasTarget = target;
    if (source)
        p.Source = {1, schema, name, "2024-01-02 03:04:05"};
    if (target)
        p.Target = {2, schema, name, "2024-02-03 04:05:06"};
    return p;
}

const std::string kLongName(128, 'L');
const std::string kScriptName = "<script>alert('x')</script>";

DbCompareResults EveryStatus() {
    DbCompareResults r;
    r.Kind = DbCompareKind::All;
    r.ServerName[0] = "SRC";
    r.ServerName[1] = "TGT";
    r.DbName[0] = "Shop";
    r.DbName[1] = "Shop2";
    r.Types = {kTypeTable, kTypeProcedure, kTypeView};
    r.Pairs.push_back(Pair(kTypeTable, PairStatus::Identical, "dbo", "Customers"));
    PairVerdict orders = Pair(kTypeTable, PairStatus::Identical, "dbo", "Orders, \"Big\"");
    orders.ColumnsIgnored = true;
    r.Pairs.push_back(orders);
    r.Pairs.push_back(Pair(kTypeTable, PairStatus::OnlyInTarget, "sales", kLongName, false));

    PairVerdict changed = Pair(kTypeProcedure, PairStatus::Different, "dbo", kScriptName);
    std::vector<std::pair<std::string, int32_t>> s, t;
    for (int i = 1; i <= 12; ++i) {
        s.push_back({"line " + std::to_string(i), LineSame});
        t.push_back({"line " + std::to_string(i), LineSame});
    }
    s[5] = {"SELECT '<b>' -- old", LineChanged};
    t[5] = {"SELECT '</td><script>' -- new", LineChanged};
    t.push_back({"extra at the end", LineOnlyInTarget});
    s.insert(s.begin() + 1, {"only in source", LineOnlyInSource});
    changed.SourceLines = Lines(s);
    changed.TargetLines = Lines(t);
    r.Pairs.push_back(changed);
    // Paired case-insensitively: both spellings are shown.
    PairVerdict cased = Pair(kTypeProcedure, PairStatus::Identical, "dbo", "GetAll");
    cased.Target.Name = "GETALL";
    r.Pairs.push_back(cased);
    r.Pairs.push_back(
        Pair(kTypeProcedure, PairStatus::OnlyInSource, "dbo", "two\r\nlines", true, false));
    PairVerdict secret = Pair(kTypeProcedure, PairStatus::NotComparable, "dbo", "Secret");
    secret.Reason = "encrypted in source";
    r.Pairs.push_back(secret);
    r.Pairs.push_back(
        Pair(kTypeProcedure, PairStatus::Identical, "dbo", "Caf\xC3\xA9 \xF0\x9F\x98\x80"));
    return r;
}

DbCompareResults Incomplete() {
    DbCompareResults r = EveryStatus();
    r.Outcome = RunOutcome::Failed;
    r.Problem = "[Microsoft][ODBC] Communication link failure, \"08S01\"";
    return r;
}

std::vector<std::string> SplitLines(const std::string& text, const std::string& eol) {
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find(eol, at);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(at, end - at));
        at = end + eol.size();
    }
    return lines;
}

size_t LineIndex(const std::vector<std::string>& lines, const std::string& wanted) {
    return static_cast<size_t>(std::find(lines.begin(), lines.end(), wanted) - lines.begin());
}

// ---- CSV ------------------------------------------------------------------------------------

TEST(DbCompareReportCsv, OneRecordPerObjectWithExactNames) {
    const std::string csv = FormatDbCompareReport(EveryStatus(), ReportFormat::Csv);
    const auto records = ReadCsv(csv);
    const std::vector<std::vector<std::string>> expected = {
        {"type", "schema", "name", "status", "source_modified", "target_modified",
         "differing_lines", "note", "reading"},
        {"tables", "dbo", "Customers", "identical", "2024-01-02 03:04:05", "2024-02-03 04:05:06",
         "0", "", "full"},
        {"tables", "dbo", "Orders, \"Big\"", "identical", "2024-01-02 03:04:05",
         "2024-02-03 04:05:06", "0", "some columns ignored", "full"},
        {"tables", "sales", kLongName, "only in target", "", "2024-02-03 04:05:06", "", "", "full"},
        {"procedures", "dbo", kScriptName, "different", "2024-01-02 03:04:05",
         "2024-02-03 04:05:06", "4", "", "full"},
        {"procedures", "dbo", "GetAll", "identical", "2024-01-02 03:04:05", "2024-02-03 04:05:06",
         "0", "", "full"},
        {"procedures", "dbo", "two\r\nlines", "only in source", "2024-01-02 03:04:05", "", "", "",
         "full"},
        {"procedures", "dbo", "Secret", "not comparable", "2024-01-02 03:04:05",
         "2024-02-03 04:05:06", "", "encrypted in source", "full"},
        {"procedures", "dbo", "Caf\xC3\xA9 \xF0\x9F\x98\x80", "identical", "2024-01-02 03:04:05",
         "2024-02-03 04:05:06", "0", "", "full"},
    };
    EXPECT_EQ(records, expected);
    EXPECT_EQ(csv.rfind(std::string(kDbCompareCsvHeader) + "\r\n", 0), 0u) << "no byte-order mark";
    // Details change nothing in the CSV.
    DbCompareResults details = EveryStatus();
    details.Details = true;
    EXPECT_EQ(FormatDbCompareReport(details, ReportFormat::Csv), csv);
}

// A hash-first run says so for the module types it read that way; tables are always read
// whole. The text and HTML reports name the run's reading.
TEST(DbCompareReportCsv, TheReadingColumnSaysHowEachObjectsTextsWereRead) {
    DbCompareResults r = EveryStatus();
    r.Reading = CompareReading::HashFirst;
    const auto records = ReadCsv(FormatDbCompareReport(r, ReportFormat::Csv));
    ASSERT_GT(records.size(), 1u);
    EXPECT_EQ(records[0].back(), "reading");
    for (size_t i = 1; i < records.size(); ++i)
        EXPECT_EQ(records[i].back(), records[i][0] == "tables" ? "full" : "hash-first")
            << records[i][2];
    const auto lines = SplitLines(FormatDbCompareReport(r, ReportFormat::Text), "\r\n");
    ASSERT_GT(lines.size(), 4u);
    EXPECT_EQ(lines[4], "Reading: hash-first");
    EXPECT_NE(FormatDbCompareReport(r, ReportFormat::Html).find("hash-first"), std::string::npos);
    r.Reading = CompareReading::Full;
    EXPECT_EQ(SplitLines(FormatDbCompareReport(r, ReportFormat::Text), "\r\n")[4], "Reading: full");
}

// The reason a pair was not comparable is data: quotes, commas and line breaks in it go
// through the one CSV escaper and come back whole.
TEST(DbCompareReportCsv, TheNoteKeepsAReasonWithSeparatorsWhole) {
    DbCompareResults r = EveryStatus();
    const std::string reason = "cannot read \"x\", the text,\r\nsays the server";
    for (PairVerdict& p : r.Pairs)
        if (p.Status == PairStatus::NotComparable)
            p.Reason = reason;
    const auto records = ReadCsv(FormatDbCompareReport(r, ReportFormat::Csv));
    bool seen = false;
    for (const auto& record : records) {
        ASSERT_EQ(record.size(), 9u);
        if (record[3] == "not comparable") {
            EXPECT_EQ(record[7], reason);
            seen = true;
        }
    }
    EXPECT_TRUE(seen);
}

TEST(DbCompareReportCsv, AnIncompleteRunSaysSoInItsFirstRecord) {
    for (RunOutcome outcome : {RunOutcome::Failed, RunOutcome::Cancelled}) {
        DbCompareResults r = Incomplete();
        r.Outcome = outcome;
        const auto records = ReadCsv(FormatDbCompareReport(r, ReportFormat::Csv));
        ASSERT_EQ(records.size(), EveryStatus().Pairs.size() + 2);
        const std::vector<std::string> marker = {"incomplete",
                                                 outcome == RunOutcome::Failed ? "failed"
                                                                               : "stopped",
                                                 r.Problem,
                                                 "incomplete",
                                                 "",
                                                 "",
                                                 "",
                                                 "",
                                                 ""};
        EXPECT_EQ(records[1], marker);
        // Every other record is an object's.
        for (size_t i = 2; i < records.size(); ++i)
            EXPECT_NE(records[i][3], "incomplete");
    }
    for (const auto& record : ReadCsv(FormatDbCompareReport(EveryStatus(), ReportFormat::Csv)))
        EXPECT_NE(record[0], "incomplete");
}

// ---- text -----------------------------------------------------------------------------------

TEST(DbCompareReportText, CountsFirstThenOneLinePerObjectByType) {
    const std::string text = FormatDbCompareReport(EveryStatus(), ReportFormat::Text);
    const auto lines = SplitLines(text, "\r\n");
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], "Compare All Objects");
    EXPECT_EQ(lines[1], "Source: SRC.Shop");
    EXPECT_EQ(lines[2], "Target: TGT.Shop2");
    EXPECT_EQ(lines[3], "Types: tables, procedures, views");
    EXPECT_EQ(text.find("INCOMPLETE"), std::string::npos);

    const size_t header = LineIndex(lines, "Type            Identical  Different  Only in source  "
                                           "Only in target  Not comparable  Total");
    ASSERT_LT(header, lines.size());
    EXPECT_EQ(lines[header + 2], "tables                  2          0               0          "
                                 "     1               0      3");
    EXPECT_EQ(lines[header + 3], "procedures              2          1               1          "
                                 "     0               1      5");
    EXPECT_EQ(lines[header + 4], "views                   0          0               0          "
                                 "     0               0      0");
    EXPECT_EQ(lines[header + 6], "all types               4          1               1          "
                                 "     1               1      8");
    const size_t result =
        LineIndex(lines, "Result: differences found; some objects could not be compared.");
    ASSERT_LT(result, lines.size());
    EXPECT_LT(header, result);

    // Groups in the order of the types, each object on one line of its own.
    const std::vector<std::string> objects = {
        "Tables (3)",
        "  identical       dbo.Customers",
        "  identical       dbo.Orders, \"Big\"  (some columns ignored)",
        "  only in target  sales." + kLongName,
        "",
        "Procedures (5)",
        "  different       dbo." + kScriptName + "  (4 differing lines)",
        "  identical       dbo.GetAll / dbo.GETALL",
        // A line break in a name cannot split the object's line.
        "  only in source  dbo.two\xE2\x90\x8D\xE2\x90\x8Alines",
        "  not comparable  dbo.Secret  (encrypted in source)",
        "  identical       dbo.Caf\xC3\xA9 \xF0\x9F\x98\x80",
        "",
        "Views (0)",
        "  (none)",
    };
    const size_t first = LineIndex(lines, "Tables (3)");
    ASSERT_LT(first, lines.size());
    EXPECT_GT(first, header);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + static_cast<long>(first), lines.end()),
              objects);
}

TEST(DbCompareReportText, DetailsNumberEveryDifferingLineOnBothSides) {
    DbCompareResults r = EveryStatus();
    r.Details = true;
    const auto lines =
        SplitLines(FormatDbCompareReport(r, ReportFormat::Text, LineBreaks::Lf), "\n");
    EXPECT_EQ(lines[0], "Compare All Objects - Details");
    const size_t at =
        LineIndex(lines, "  different       dbo." + kScriptName + "  (4 differing lines)");
    ASSERT_LT(at, lines.size());
    const std::vector<std::string> expected = {
        "      @@ -1,10 +1,9 @@",
        "        1   1   line 1",
        "        2     - only in source",
        "        3   2   line 2",
        "        4   3   line 3",
        "        5   4   line 4",
        "        6   5   line 5",
        "        7     - SELECT '<b>' -- old",
        "            6 + SELECT '</td><script>' -- new",
        "        8   7   line 7",
        "        9   8   line 8",
        "       10   9   line 9",
        // The last change is more than twice the context away: a hunk of its own.
        "      @@ -11,3 +10,4 @@",
        "       11  10   line 10",
        "       12  11   line 11",
        "       13  12   line 12",
        "           13 + extra at the end",
        "  identical       dbo.GetAll / dbo.GETALL",
    };
    EXPECT_EQ(std::vector<std::string>(lines.begin() + static_cast<long>(at) + 1,
                                       lines.begin() + static_cast<long>(at + 1 + expected.size())),
              expected);
    // Simple leaves the lines out.
    const std::string simple = FormatDbCompareReport(EveryStatus(), ReportFormat::Text);
    EXPECT_EQ(simple.find("@@"), std::string::npos);
    EXPECT_EQ(simple.find("only in source\r\n"), std::string::npos);
}

TEST(DbCompareReportText, AnIncompleteRunSaysSoAtTheTop) {
    const std::string text = FormatDbCompareReport(Incomplete(), ReportFormat::Text);
    const auto lines = SplitLines(text, "\r\n");
    ASSERT_GE(lines.size(), 8u);
    EXPECT_EQ(lines[6], "*** INCOMPLETE: the comparison failed. Only the objects compared before "
                        "it ended are listed; the counts are not the databases' totals. ***");
    EXPECT_EQ(lines[7], "Reason: " + Incomplete().Problem);
    EXPECT_NE(text.find("Result: no overall verdict: the comparison did not complete."),
              std::string::npos);

    // Even when everything gathered so far is identical.
    DbCompareResults stopped;
    stopped.Types = {kTypeView};
    stopped.Pairs.push_back(Pair(kTypeView, PairStatus::Identical, "dbo", "V"));
    stopped.Outcome = RunOutcome::Cancelled;
    stopped.Problem = "Stopped by the user.";
    const std::string s = FormatDbCompareReport(stopped, ReportFormat::Text);
    EXPECT_NE(s.find("*** INCOMPLETE: the comparison was stopped. Only"), std::string::npos) << s;
    EXPECT_NE(s.find("***\r\nReason: Stopped by the user.\r\n"), std::string::npos) << s;

    // A server's message of several lines stays readable under the banner.
    stopped.Outcome = RunOutcome::Failed;
    stopped.Problem = "Server connection failed.\r\n\r\nRun time error: -2147467259\r\n"
                      "Unexpected EOF from the server\r\n";
    const auto failed = SplitLines(FormatDbCompareReport(stopped, ReportFormat::Text), "\r\n");
    const std::vector<std::string> reason = {"Reason: Server connection failed.", "",
                                             "        Run time error: -2147467259",
                                             "        Unexpected EOF from the server", ""};
    EXPECT_EQ(std::vector<std::string>(failed.begin() + 7, failed.begin() + 12), reason);
    EXPECT_EQ(s.find("every object is identical"), std::string::npos);
}

// ---- HTML -----------------------------------------------------------------------------------

// The elements open and close in order; text between tags holds no "<" or ">".
void ExpectWellFormed(const std::string& html) {
    std::vector<std::string> open;
    size_t i = html.find("<html");
    ASSERT_NE(i, std::string::npos);
    while (i < html.size()) {
        const size_t lt = html.find('<', i);
        const std::string text = html.substr(i, (lt == std::string::npos ? html.size() : lt) - i);
        EXPECT_EQ(text.find('>'), std::string::npos) << "stray '>' in " << text;
        if (lt == std::string::npos)
            break;
        const size_t gt = html.find('>', lt);
        ASSERT_NE(gt, std::string::npos);
        const std::string tag = html.substr(lt + 1, gt - lt - 1);
        EXPECT_EQ(tag.find('<'), std::string::npos) << tag;
        const std::string name = tag.substr(0, tag.find(' '));
        if (name.empty() || name == "meta") {
        } else if (name[0] == '/') {
            ASSERT_FALSE(open.empty()) << tag;
            EXPECT_EQ(open.back(), name.substr(1));
            open.pop_back();
        } else {
            open.push_back(name);
        }
        // Attribute values are quoted and hold no quote of their own.
        EXPECT_EQ(std::count(tag.begin(), tag.end(), '"') % 2, 0) << tag;
        i = gt + 1;
    }
    EXPECT_TRUE(open.empty());
}

TEST(DbCompareReportHtml, NamesAndTextsAreShownNeverRun) {
    DbCompareResults r = EveryStatus();
    r.Details = true;
    r.ServerName[1] = "<img src=x onerror=alert(1)>";
    const std::string html = FormatDbCompareReport(r, ReportFormat::Html);
    ExpectWellFormed(html);
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_EQ(html.find("<img"), std::string::npos);
    EXPECT_NE(html.find("&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;"), std::string::npos);
    EXPECT_NE(html.find("SELECT &#39;&lt;/td&gt;&lt;script&gt;&#39; -- new"), std::string::npos);
    // Self-contained: nothing is fetched from elsewhere.
    EXPECT_EQ(html.find("<link"), std::string::npos);
    EXPECT_EQ(html.find("http"), std::string::npos);
}

TEST(DbCompareReportHtml, SummaryObjectsAndSideBySideTextsInTheWindowsColours) {
    DbCompareResults r = EveryStatus();
    const std::string simple = FormatDbCompareReport(r, ReportFormat::Html);
    ExpectWellFormed(simple);
    EXPECT_NE(simple.find("<title>Compare All Objects</title>"), std::string::npos);
    EXPECT_NE(simple.find("<tr><th>all types</th><td class=\"n\">4</td><td class=\"n\">1</td>"
                          "<td class=\"n\">1</td><td class=\"n\">1</td><td class=\"n\">1</td>"
                          "<td class=\"n\">8</td></tr>"),
              std::string::npos);
    EXPECT_NE(simple.find("<td>dbo</td><td>Secret</td><td class=\"nc\">not comparable</td>"),
              std::string::npos);
    EXPECT_EQ(simple.find("table class=\"text\""), std::string::npos) << "Simple has no texts";

    r.Details = true;
    const std::string html = FormatDbCompareReport(r, ReportFormat::Html);
    ExpectWellFormed(html);
    // The style sheet paints each line status in the colour the main window marks it with.
    for (int32_t status : {LineSame, LineChanged, LineOnlyInTarget, LineOnlyInSource})
        EXPECT_NE(html.find("td.l" + std::to_string(status) +
                            " { background: " + CssColour(StatusToColor(status)) + "; }"),
                  std::string::npos)
            << status;
    // Aligned rows: a changed line faces its partner, a one-sided line faces a gap.
    EXPECT_NE(html.find("<tr><td class=\"ln\">7</td><td class=\"l20\">SELECT &#39;&lt;b&gt;&#39; "
                        "-- old</td><td class=\"ln\">6</td><td class=\"l20\">"),
              std::string::npos);
    EXPECT_NE(html.find("<tr><td class=\"ln\">2</td><td class=\"l40\">only in source</td>"
                        "<td class=\"ln gap\"></td><td class=\"gap\"></td></tr>"),
              std::string::npos);
    EXPECT_NE(html.find("<tr><td class=\"ln gap\"></td><td class=\"gap\"></td><td class=\"ln\">13"
                        "</td><td class=\"l30\">extra at the end</td></tr>"),
              std::string::npos);
    // The object list links to the texts of its different object, and only those have texts.
    EXPECT_NE(html.find("<a href=\"#d4\">"), std::string::npos);
    EXPECT_NE(html.find("<h3 id=\"d4\">"), std::string::npos);
    EXPECT_EQ(html.find("table class=\"text\""), html.rfind("table class=\"text\""));
}

TEST(DbCompareReportHtml, AnIncompleteRunSaysSoBeforeTheSummary) {
    const std::string html = FormatDbCompareReport(Incomplete(), ReportFormat::Html);
    ExpectWellFormed(html);
    const size_t banner =
        html.find("<div class=\"incomplete\"><p>INCOMPLETE: the comparison failed.");
    ASSERT_NE(banner, std::string::npos);
    EXPECT_LT(banner, html.find("<h2>Summary</h2>"));
    EXPECT_NE(html.find("Communication link failure, &quot;08S01&quot;"), std::string::npos);
    EXPECT_EQ(FormatDbCompareReport(EveryStatus(), ReportFormat::Html).find("class=\"incomplete\""),
              std::string::npos);
}

// A report for people says when the comparison ran; one without a known start says nothing.
TEST(DbCompareReportHtml, HtmlReportsSayWhenTheyRan) {
    DbCompareResults r = EveryStatus();
    r.Started = 1304258587; // 2011-05-01 14:03:07 UTC
    const std::string when = LocalDateTimeText(r.Started);
    const std::string html = FormatDbCompareReport(r, ReportFormat::Html);
    EXPECT_NE(html.find("<th>Compared on</th><td>" + when + "</td>"), std::string::npos) << html;
    EXPECT_EQ(FormatDbCompareReport(EveryStatus(), ReportFormat::Html).find("Compared on"),
              std::string::npos);
    EXPECT_EQ(FormatDbCompareReport(r, ReportFormat::Csv),
              FormatDbCompareReport(EveryStatus(), ReportFormat::Csv));

    DataCompareResults data;
    data.Started = r.Started;
    EXPECT_NE(DataCompareHtml(data, 10).find("Compared on " + when), std::string::npos);
    EXPECT_EQ(DataCompareHtml(DataCompareResults{}, 10).find("Compared on"), std::string::npos);
}

// The CSV forms of values other programs read: ISO 8601 dates (milliseconds only when there
// are some) and 1/0 for bits, in the data comparison's rows file as in the data view's export.
TEST(DbCompareReportCsv, DatesAndBitsInMachineForm) {
    EXPECT_EQ(MachineText(FieldValue::Date("2011-05-01 00:00:00.000")), "2011-05-01T00:00:00");
    EXPECT_EQ(MachineText(FieldValue::Date("2011-05-01 14:03:07.050")), "2011-05-01T14:03:07.050");
    EXPECT_EQ(MachineText(FieldValue::Boolean(true)), "1");
    EXPECT_EQ(MachineText(FieldValue::Boolean(false)), "0");
    EXPECT_EQ(MachineText(FieldValue::Str("5/1/2011")), "5/1/2011");
    EXPECT_EQ(MachineText(FieldValue::Null()), "");

    DataCompareResults r;
    DataTableResult t;
    t.HasSource = t.HasTarget = true;
    t.Schema[0] = t.Schema[1] = "dbo";
    t.Name[0] = t.Name[1] = "T";
    t.Status = DataPairStatus::Different;
    t.KeyColumns = {"Id"};
    t.Compared = {{"Taken", "", ""}, {"Done", "", ""}};
    DataRowDiff row;
    row.Status = RowStatus::Different;
    row.Key = {FieldValue::Int(1)};
    row.Cells = {{FieldValue::Date("2011-05-01 00:00:00.000"),
                  FieldValue::Date("2011-05-01 14:03:07.250"), true},
                 {FieldValue::Boolean(true), FieldValue::Boolean(false), true}};
    t.Rows.push_back(row);
    r.Tables.push_back(t);
    EXPECT_EQ(DataRowsCsv(r), "table,status,Id,Taken (source),Taken (target),Done (source),Done "
                              "(target)\r\ndbo.T,different,1,2011-05-01T00:00:00,"
                              "2011-05-01T14:03:07.250,1,0\r\n");
}

// ---- titles and files -----------------------------------------------------------------------

TEST(DbCompareReport, TitlesFollowTheMenuItems) {
    struct Case {
        DbCompareKind kind;
        std::vector<ObjectType> types;
        bool details;
        const char* title;
    };
    const Case cases[] = {
        {DbCompareKind::All, {kTypeTable, kTypeView}, false, "Compare All Objects"},
        {DbCompareKind::All, {kTypeTable}, true, "Compare All Objects - Details"},
        {DbCompareKind::Bulk, {kTypeTrigger}, false, "Compare All Triggers"},
        {DbCompareKind::Bulk, {kTypeConstraint}, true, "Compare All Constraints - Details"},
        {DbCompareKind::Selective, {kTypeTable}, false, "Compare Selected Tables"},
        {DbCompareKind::Selective,
         {kTypeTable, kTypeView},
         true,
         "Compare Selected Objects - Details"},
    };
    for (const Case& c : cases) {
        DbCompareResults r;
        r.Kind = c.kind;
        r.Types = c.types;
        r.Details = c.details;
        EXPECT_EQ(DbCompareTitle(r), c.title);
    }
    EXPECT_STREQ(ExportTypeName(1), "Hyper Text Markup Language (HTML) file");
    EXPECT_STREQ(ExportTypeName(2), "Excel - Comma Separated Values (CSV) file");
    EXPECT_STREQ(ExportTypeName(0), "N/A");
    EXPECT_STREQ(ReportFileExtension(ReportFormat::Csv), ".csv");
}

class DbCompareReportFile : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "orvreport-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern + "/";
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::string dir_;
};

// A report far longer than one piece of the file is written whole and in order.
TEST_F(DbCompareReportFile, TheFileHoldsExactlyTheFormattedReport) {
    DbCompareResults big = EveryStatus();
    big.Details = true;
    const PairVerdict different = big.Pairs[3];
    for (int i = 0; i < 6000; ++i) {
        PairVerdict p = i % 10 == 0 ? different : Pair(kTypeView, PairStatus::Identical, "dbo", "");
        p.Type = kTypeView;
        p.Source.Name = p.Target.Name = "View" + std::to_string(i);
        big.Pairs.push_back(p);
    }
    for (ReportFormat f : {ReportFormat::Text, ReportFormat::Csv, ReportFormat::Html}) {
        const std::string path = dir_ + "report" + ReportFileExtension(f);
        std::string error;
        ASSERT_TRUE(WriteDbCompareReport(big, f, path, error)) << error;
        const std::string expected = FormatDbCompareReport(big, f);
        EXPECT_GT(expected.size(), 300'000u);
        EXPECT_TRUE(Read(path) == expected) << ReportFileExtension(f);
    }
}

TEST_F(DbCompareReportFile, AFailedWriteSaysWhereAndKeepsTheOldFile) {
    std::string error;
    EXPECT_FALSE(
        WriteDbCompareReport(EveryStatus(), ReportFormat::Csv, dir_ + "no/such/report.csv", error));
    EXPECT_EQ(error, "Cannot write the file " + dir_ + "no/such/report.csv: the folder " + dir_ +
                         "no/such does not exist.");
    std::ofstream(dir_ + "kept.html") << "old";
    fs::create_directories(dir_ + "kept.html.d");
    EXPECT_FALSE(
        WriteDbCompareReport(EveryStatus(), ReportFormat::Html, dir_ + "kept.html.d", error));
    EXPECT_EQ(Read(dir_ + "kept.html"), "old");
}

} // namespace
} // namespace orv
