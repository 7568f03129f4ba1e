#include "dbcompare/data_compare_report.h"

#include "export/csv.h"
#include "export/html.h"
#include "servers/machine_text.h"
#include "util/date_text.h"

#include <cstdint>
#include <cstdio>

namespace orv {

namespace {

std::string Count(int64_t n) {
    return std::to_string(n);
}

std::string Seconds(double s) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f s", s);
    return buf;
}

// A field of the rows file: NULL is an empty field, an empty text is "". Dates are written in
// ISO 8601, as every CSV file of the program writes them.
std::string RowsField(const FieldValue& value) {
    if (value.IsNull())
        return "";
    const std::string text =
        value.kind == FieldValue::Kind::DateTime ? MachineText(value) : DataCellText(value);
    if (text.empty())
        return "\"\"";
    return CsvField(text);
}

void AppendFields(std::string& out, const std::vector<std::string>& fields) {
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i)
            out += ',';
        out += fields[i];
    }
    out += "\r\n";
}

std::string OutcomeLine(const DataCompareResults& r) {
    switch (r.Outcome) {
    case RunOutcome::Completed:
        return "";
    case RunOutcome::Cancelled:
        return "Incomplete: " + r.Problem;
    case RunOutcome::Failed:
        return "Failed: " + r.Problem;
    }
    return "";
}

} // namespace

std::string DataCompareText(const DataCompareResults& r) {
    std::string out = "Source: " + r.ServerName[0] + "." + r.DbName[0] + "\n" +
                      "Target: " + r.ServerName[1] + "." + r.DbName[1] + "\n";
    for (const DataTableResult& t : r.Tables) {
        out += t.DisplayName() + ": " + DataPairStatusWord(t.Status);
        if (!t.Reason.empty())
            out += " (" + t.Reason + ")";
        if (t.HasSource && t.HasTarget && t.Status != DataPairStatus::NotComparable) {
            out += "; " + Count(t.RowsCompared) + " rows compared, " + Count(t.Identical) +
                   " identical, " + Count(t.Different) + " different, " + Count(t.OnlyInSource) +
                   " only in source, " + Count(t.OnlyInTarget) + " only in target";
            if (t.Conflict)
                out += ", " + Count(t.Conflict) + " conflicting keys";
            out += "; " + Seconds(t.Seconds) + ", " + DataCompareModeWord(t.ModeUsed);
        }
        if (t.Incomplete)
            out += " [incomplete]";
        out += "\n";
    }
    const auto counts = r.PairCounts();
    out += Count(static_cast<int64_t>(r.Tables.size())) + " table pairs: ";
    for (int s = 0; s < kDataPairStatusCount; ++s)
        out += std::string(s ? ", " : "") + Count(counts[static_cast<size_t>(s)]) + " " +
               DataPairStatusWord(static_cast<DataPairStatus>(s));
    out += "\n";
    if (const std::string end = OutcomeLine(r); !end.empty())
        out += end + "\n";
    return out;
}

std::string DataCompareCsv(const DataCompareResults& r) {
    std::string out;
    AppendCsvRecord(out, {"table", "status", "compared_rows", "identical", "different",
                          "only_in_source", "only_in_target"});
    for (const DataTableResult& t : r.Tables)
        AppendCsvRecord(out, {t.DisplayName(), DataPairStatusWord(t.Status), Count(t.RowsCompared),
                              Count(t.Identical), Count(t.Different), Count(t.OnlyInSource),
                              Count(t.OnlyInTarget)});
    return out;
}

DataRowsCsvWriter::DataRowsCsvWriter(bool spool) : out_(spool_, spool ? 64 * 1024 : SIZE_MAX) {}

void DataRowsCsvWriter::BeginPair(const DataTableResult& pair) {
    std::vector<std::string> header = {"table", "status"};
    for (const std::string& k : pair.KeyColumns)
        header.push_back(CsvField(k));
    for (const DataColumn& c : pair.Compared) {
        header.push_back(CsvField(c.Name + " (source)"));
        header.push_back(CsvField(c.Name + " (target)"));
    }
    line_.clear();
    AppendFields(line_, header);
    out_ += line_;
}

void DataRowsCsvWriter::Row(const DataTableResult& pair, const DataRowDiff& row) {
    std::vector<std::string> fields = {CsvField(pair.DisplayName()),
                                       CsvField(RowStatusWord(row.Status))};
    for (const FieldValue& k : row.Key)
        fields.push_back(RowsField(k));
    const bool source = row.Status != RowStatus::OnlyInTarget;
    const bool target = row.Status != RowStatus::OnlyInSource;
    for (const DataCellPair& c : row.Cells) {
        fields.push_back(source ? RowsField(c.Source) : "");
        fields.push_back(target ? RowsField(c.Target) : "");
    }
    line_.clear();
    AppendFields(line_, fields);
    out_ += line_;
}

std::string DataRowsCsv(const DataCompareResults& r) {
    DataRowsCsvWriter writer;
    for (const DataTableResult& t : r.Tables) {
        if (t.Rows.empty())
            continue;
        writer.BeginPair(t);
        for (const DataRowDiff& row : t.Rows)
            writer.Row(t, row);
    }
    return writer.Text();
}

std::string DataCompareHtml(const DataCompareResults& r, int64_t maxRows) {
    std::string out;
    HtmlPage page(out);
    const std::string title = "Data comparison: " + r.ServerName[0] + "." + r.DbName[0] + " and " +
                              r.ServerName[1] + "." + r.DbName[1];
    page.Begin(title, "body { font-family: sans-serif; font-size: 10pt; }\n"
                      "table { border-collapse: collapse; margin-bottom: 1em; }\n"
                      "td, th { border: 1px solid #999; padding: 2px 6px; }\n"
                      "td.differs { background: #ffd0d0; }\n"
                      "td.null { color: #888; font-style: italic; }\n");
    page.Element("h1", title);
    if (r.Started != 0)
        page.Element("p", "Compared on " + LocalDateTimeText(r.Started), {{"class", "run"}});
    if (const std::string end = OutcomeLine(r); !end.empty())
        page.Element("p", end, {{"class", "problem"}});
    page.Open("table");
    page.Open("tr");
    for (const char* h : {"Table", "Status", "Compared", "Identical", "Different", "Only in source",
                          "Only in target", "Conflicts", "Time"})
        page.Element("th", h);
    page.Close("tr");
    for (const DataTableResult& t : r.Tables) {
        page.Open("tr");
        page.Element("td", t.DisplayName());
        page.Element("td", std::string(DataPairStatusWord(t.Status)) +
                               (t.Reason.empty() ? "" : " (" + t.Reason + ")") +
                               (t.Incomplete ? " [incomplete]" : ""));
        for (int64_t n :
             {t.RowsCompared, t.Identical, t.Different, t.OnlyInSource, t.OnlyInTarget, t.Conflict})
            page.Element("td", Count(n));
        page.Element("td", Seconds(t.Seconds));
        page.Close("tr");
    }
    page.Close("table");

    for (const DataTableResult& t : r.Tables) {
        if (t.Rows.empty())
            continue;
        page.Element("h2", t.DisplayName());
        const int64_t shown = std::min<int64_t>(maxRows, static_cast<int64_t>(t.Rows.size()));
        if (shown < t.DifferingRows())
            page.Element("p", "The first " + Count(shown) + " of " + Count(t.DifferingRows()) +
                                  " differing rows.");
        page.Open("table");
        page.Open("tr");
        page.Element("th", "Status");
        for (const std::string& k : t.KeyColumns)
            page.Element("th", k);
        for (const DataColumn& c : t.Compared) {
            page.Element("th", c.Name + " (source)");
            page.Element("th", c.Name + " (target)");
        }
        page.Close("tr");
        for (int64_t i = 0; i < shown; ++i) {
            const DataRowDiff& row = t.Rows[static_cast<size_t>(i)];
            page.Open("tr");
            page.Element("td", RowStatusWord(row.Status));
            for (const FieldValue& k : row.Key)
                page.Element("td", DataCellText(k));
            const bool source = row.Status != RowStatus::OnlyInTarget;
            const bool target = row.Status != RowStatus::OnlyInSource;
            for (const DataCellPair& c : row.Cells) {
                for (int side = 0; side < 2; ++side) {
                    const bool present = side == 0 ? source : target;
                    const FieldValue& v = side == 0 ? c.Source : c.Target;
                    const char* cls = c.Differs ? "differs" : (present && v.IsNull() ? "null" : "");
                    if (*cls)
                        page.Element("td", present ? DataCellText(v) : "", {{"class", cls}});
                    else
                        page.Element("td", present ? DataCellText(v) : "");
                }
            }
            page.Close("tr");
        }
        page.Close("table");
    }
    page.End();
    return out;
}

std::string FormatDataCompareReport(const DataCompareResults& results, ReportFormat format,
                                    int64_t maxRows) {
    switch (format) {
    case ReportFormat::Csv:
        return DataCompareCsv(results);
    case ReportFormat::Html:
        return DataCompareHtml(results, maxRows);
    case ReportFormat::Text:
        break;
    }
    return DataCompareText(results);
}

} // namespace orv
