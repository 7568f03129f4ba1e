#include "explore/analysis_report.h"

#include "export/csv.h"
#include "export/html.h"
#include "export/printable_text.h"
#include "util/date_text.h"
#include "util/text.h"

#include <algorithm>
#include <cstdio>

namespace orv {

namespace {

std::string Fixed(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

std::string Opt(const std::optional<int64_t>& v) {
    return v ? std::to_string(*v) : std::string();
}

std::string TableTitle(const AnalysisResults& r) {
    const std::string table = r.Schema.empty() ? r.Table : r.Schema + "." + r.Table;
    return table + " (Database: " + r.Database + ", Server: " + r.Server + ")";
}

std::string OutcomeNote(const AnalysisResults& r) {
    if (r.Outcome == RunOutcome::Cancelled)
        return "Stopped: only the columns shown were analyzed.";
    if (r.Outcome == RunOutcome::Failed)
        return "Failed: " + ReplaceAll(r.Failure, "\r\n", " ");
    return "";
}

const char* const kHeaders[] = {"column", "rows", "nulls",   "distinct",
                                "min",    "max",  "avg_len", "max_len"};

} // namespace

std::vector<std::string> ProfileCells(const ColumnProfile& p) {
    return {p.Name,
            std::to_string(p.Rows),
            std::to_string(p.Nulls),
            Opt(p.Distinct),
            p.Min.value_or(""),
            p.Max.value_or(""),
            p.AvgLength ? Fixed(*p.AvgLength, 2) : std::string(),
            Opt(p.MaxLength)};
}

std::string NullRatioText(const ColumnProfile& p) {
    return Fixed(p.NullRatio() * 100.0, 2) + "%";
}

std::string TopValuesText(const ColumnProfile& p) {
    std::string out;
    for (const TopValue& t : p.Top) {
        if (!out.empty())
            out += "; ";
        out += t.Value + " (" + std::to_string(t.Count) + ")";
    }
    return out;
}

std::string AnalysisCsv(const AnalysisResults& results, bool detailed) {
    std::string out = kAnalysisCsvHeader;
    out += detailed ? ",type,null_ratio,top_values\r\n" : "\r\n";
    for (const ColumnProfile& p : results.Columns) {
        std::vector<std::string> cells = ProfileCells(p);
        if (detailed) {
            cells.push_back(p.Type);
            cells.push_back(Fixed(p.NullRatio(), 4));
            cells.push_back(TopValuesText(p));
        }
        for (size_t i = 0; i < cells.size(); ++i) {
            if (i > 0)
                out += ',';
            out += CsvField(cells[i]);
        }
        out += "\r\n";
    }
    return out;
}

std::string AnalysisText(const AnalysisResults& results) {
    constexpr int64_t kWidest = 40;
    std::vector<std::vector<std::string>> rows;
    rows.emplace_back(std::begin(kHeaders), std::end(kHeaders));
    for (const ColumnProfile& p : results.Columns) {
        std::vector<std::string> cells = ProfileCells(p);
        for (std::string& c : cells) {
            c = PrintableText(c);
            if (Utf8Length(c) > kWidest)
                c = Utf8Left(c, kWidest - 3) + "...";
        }
        rows.push_back(std::move(cells));
    }
    std::vector<int64_t> width(std::size(kHeaders), 0);
    for (const auto& r : rows)
        for (size_t i = 0; i < r.size(); ++i)
            width[i] = std::max(width[i], Utf8Length(r[i]));
    std::string out = "Table " + PrintableText(TableTitle(results)) + "\n";
    for (const std::string& s : results.Skipped)
        out += "Skipped (analysis ignore list): " + PrintableText(s) + "\n";
    out += "\n";
    for (const auto& r : rows) {
        std::string line;
        for (size_t i = 0; i < r.size(); ++i) {
            line += r[i];
            if (i + 1 < r.size())
                line += std::string(static_cast<size_t>(width[i] - Utf8Length(r[i]) + 2), ' ');
        }
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        out += line + "\n";
    }
    if (const std::string note = OutcomeNote(results); !note.empty())
        out += "\n" + PrintableText(note) + "\n";
    return out;
}

std::string AnalysisHtml(const AnalysisResults& results) {
    std::string out;
    HtmlPage page(out);
    page.Begin("Data Analyzer - " + TableTitle(results),
               "body{font-family:sans-serif;font-size:14px}"
               "table{border-collapse:collapse;margin:.6em 0}"
               "th,td{border:1px solid #bbb;padding:.2em .5em;text-align:left;vertical-align:top}"
               "th{background:#eef3f9}td.n{text-align:right}");
    page.Element("h1", "Data Analyzer");
    page.Element("p", "Table " + TableTitle(results));
    if (results.Started != 0)
        page.Element("p", "Analyzed on " + LocalDateTimeText(results.Started));
    for (const std::string& s : results.Skipped)
        page.Element("p", "Skipped (analysis ignore list): " + s);
    if (const std::string note = OutcomeNote(results); !note.empty())
        page.Element("p", note);
    page.Open("table");
    page.Open("tr");
    for (const char* h : kHeaders)
        page.Element("th", h);
    page.Element("th", "type");
    page.Element("th", "null_ratio");
    page.Element("th", "top_values");
    page.Close("tr");
    for (const ColumnProfile& p : results.Columns) {
        page.Open("tr");
        const std::vector<std::string> cells = ProfileCells(p);
        for (size_t i = 0; i < cells.size(); ++i) {
            const bool number = i == 1 || i == 2 || i == 3 || i == 6 || i == 7;
            if (number)
                page.Element("td", cells[i], {{"class", "n"}});
            else
                page.Element("td", cells[i]);
        }
        page.Element("td", p.Type);
        page.Element("td", NullRatioText(p), {{"class", "n"}});
        page.Element("td", TopValuesText(p));
        page.Close("tr");
    }
    page.Close("table");
    page.End();
    return out;
}

} // namespace orv
