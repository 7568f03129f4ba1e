#include "dbcompare/db_compare_report.h"

#include "compare/line_alignment.h"
#include "export/csv.h"
#include "export/export_file.h"
#include "export/html.h"
#include "export/printable_text.h"
#include "util/date_text.h"
#include "util/text.h"

#include <algorithm>
#include <functional>

namespace orv {

namespace {

// Long reports go to their file in pieces of about this size rather than all at once.
constexpr size_t kChunk = 256 * 1024;

// Called after each object: a writer to a file empties `out` into it.
using Drain = std::function<void(std::string& out)>;

std::string TypeWord(ObjectType type) {
    return GetObjectTypeName(type, false);
}

// The object's name on the side it was read from (Source first).
const ObjectRef& MainRef(const PairVerdict& p) {
    return p.HasSource ? p.Source : p.Target;
}

std::string QualifiedName(const ObjectRef& ref) {
    return ref.Schema.empty() ? ref.Name : ref.Schema + "." + ref.Name;
}

// Paired case-insensitively, the two sides may spell the name differently.
std::string DisplayName(const PairVerdict& p) {
    std::string name = QualifiedName(MainRef(p));
    if (p.HasSource && p.HasTarget) {
        const std::string target = QualifiedName(p.Target);
        if (target != name)
            name += " / " + target;
    }
    return name;
}

// What the object's line adds after its status.
std::string NoteOf(const PairVerdict& p) {
    std::string note;
    if (p.Status == PairStatus::Different) {
        const int64_t n = DifferingLineCount(p);
        note = std::to_string(n) + (n == 1 ? " differing line" : " differing lines");
    } else if (p.Status == PairStatus::NotComparable) {
        note = p.Reason;
    }
    if (p.ColumnsIgnored)
        note += std::string(note.empty() ? "" : "; ") + "some columns ignored";
    if (!p.DefinitionNote.empty())
        note += (note.empty() ? "" : "; ") + p.DefinitionNote;
    if (!p.RenamedColumnFrom.empty())
        note += (note.empty() ? "" : "; ") + ColumnRenameNote(p);
    return note;
}

// The CSV's note: what the text report's note says beyond the count of differing lines, which
// has a column of its own.
std::string CsvNoteOf(const PairVerdict& p) {
    std::string note = p.Status == PairStatus::NotComparable ? p.Reason : std::string();
    if (p.ColumnsIgnored)
        note += std::string(note.empty() ? "" : "; ") + "some columns ignored";
    if (!p.DefinitionNote.empty())
        note += (note.empty() ? "" : "; ") + p.DefinitionNote;
    if (!p.RenamedColumnFrom.empty())
        note += (note.empty() ? "" : "; ") + ColumnRenameNote(p);
    return note;
}

// How the texts of objects of this type were read in the run.
const char* ReadingWord(const DbCompareResults& r, ObjectType type) {
    return CompareReadingWord(IsModuleType(type) ? r.Reading : CompareReading::Full);
}

std::string DifferingLinesField(const PairVerdict& p) {
    if (p.Status == PairStatus::Identical)
        return "0";
    if (p.Status == PairStatus::Different)
        return std::to_string(DifferingLineCount(p));
    return "";
}

std::string IncompleteText(const DbCompareResults& r) {
    return std::string("INCOMPLETE: the comparison ") +
           (r.Outcome == RunOutcome::Cancelled ? "was stopped" : "failed") +
           ". Only the objects compared before it ended are listed; the counts are not the "
           "databases' totals.";
}

// The reason a run ended early, line by line (a server's message spans several).
std::vector<std::string> ProblemLines(const DbCompareResults& r) {
    std::vector<std::string> lines = Split(ReplaceAll(r.Problem, "\r\n", "\n"), "\n");
    while (!lines.empty() && TrimWhitespace(lines.back()).empty())
        lines.pop_back();
    return lines;
}

std::string ResultText(const DbCompareResults& r) {
    if (!r.Complete())
        return "no overall verdict: the comparison did not complete.";
    if (r.Pairs.empty())
        return "no objects to compare.";
    if (r.AllIdentical())
        return "every object is identical.";
    const StatusCounts c = r.Totals();
    const bool differs =
        c[PairStatus::Different] + c[PairStatus::OnlyInSource] + c[PairStatus::OnlyInTarget] > 0;
    if (c[PairStatus::NotComparable] == 0)
        return "differences found.";
    return differs ? "differences found; some objects could not be compared."
                   : "some objects could not be compared.";
}

std::string SideText(const DbCompareResults& r, int side) {
    return r.ServerName[side] + "." + r.DbName[side];
}

std::string TypesText(const DbCompareResults& r) {
    std::string text;
    for (ObjectType t : r.Types)
        text += (text.empty() ? "" : ", ") + TypeWord(t);
    return text.empty() ? "none" : text;
}

const PairStatus kStatuses[kPairStatusCount] = {PairStatus::Identical, PairStatus::Different,
                                                PairStatus::OnlyInSource, PairStatus::OnlyInTarget,
                                                PairStatus::NotComparable};

std::string Capitalised(std::string word) {
    if (!word.empty() && word[0] >= 'a' && word[0] <= 'z')
        word[0] = static_cast<char>(word[0] - 'a' + 'A');
    return word;
}

// ---- text ----------------------------------------------------------------------------------

class TextReport {
public:
    TextReport(const DbCompareResults& r, LineBreaks breaks, std::string& out, const Drain& drain)
        : r_(r), eol_(breaks == LineBreaks::Lf ? "\n" : "\r\n"), out_(out), drain_(drain) {}

    void Write() {
        Line(DbCompareTitle(r_));
        Line("Source: " + PrintableText(SideText(r_, 0)));
        Line("Target: " + PrintableText(SideText(r_, 1)));
        Line("Types: " + TypesText(r_));
        Line(std::string("Reading: ") + CompareReadingWord(r_.Reading));
        if (!r_.Complete()) {
            Line("");
            Line("*** " + IncompleteText(r_) + " ***");
            const std::vector<std::string> problem = ProblemLines(r_);
            for (size_t i = 0; i < problem.size(); ++i) {
                const std::string line = PrintableText(problem[i]);
                Line(i == 0 ? "Reason: " + line : line.empty() ? "" : "        " + line);
            }
        }
        Line("");
        Summary();
        Line("");
        Line("Result: " + ResultText(r_));
        for (ObjectType type : r_.Types)
            Objects(type);
    }

private:
    void Line(const std::string& text) {
        out_ += text;
        out_ += eol_;
    }

    static std::string Pad(const std::string& s, size_t width, bool right) {
        if (s.size() >= width)
            return s;
        const std::string fill(width - s.size(), ' ');
        return right ? fill + s : s + fill;
    }

    void CountsLine(const std::string& label, const StatusCounts& c) {
        std::string line = Pad(label, 14, false);
        for (PairStatus s : kStatuses)
            line += "  " + Pad(std::to_string(c[s]), std::string(PairStatusWord(s)).size(), true);
        line += "  " + Pad(std::to_string(c.Total()), 5, true);
        Line(line);
    }

    void Summary() {
        std::string head = Pad("Type", 14, false);
        std::string rule(14, '-');
        for (PairStatus s : kStatuses) {
            const std::string word = Capitalised(PairStatusWord(s));
            head += "  " + word;
            rule += "  " + std::string(word.size(), '-');
        }
        Line(head + "  Total");
        Line(rule + "  -----");
        for (ObjectType type : r_.Types)
            CountsLine(TypeWord(type), r_.CountsFor(type));
        Line(rule + "  -----");
        CountsLine("all types", r_.Totals());
    }

    void Objects(ObjectType type) {
        const StatusCounts counts = r_.CountsFor(type);
        Line("");
        Line(ObjectTypeCaption(type) + " (" + std::to_string(counts.Total()) + ")");
        if (counts.Total() == 0)
            Line("  (none)");
        for (const PairVerdict& p : r_.Pairs) {
            if (p.Type != type)
                continue;
            std::string line =
                "  " + Pad(PairStatusWord(p.Status), 16, false) + PrintableText(DisplayName(p));
            const std::string note = NoteOf(p);
            if (!note.empty())
                line += "  (" + PrintableText(note) + ")";
            Line(line);
            if (r_.Details && p.Status == PairStatus::Different)
                Hunks(p);
            if (drain_)
                drain_(out_);
        }
    }

    // Every line carries its number on each side it is on, like a side-by-side margin.
    void Hunks(const PairVerdict& p) {
        const size_t lines = std::max(p.SourceLines.size(), p.TargetLines.size());
        const size_t width = std::max<size_t>(3, std::to_string(lines).size());
        for (const DiffHunk& h : DifferingHunks(p)) {
            Line("      @@ -" + std::to_string(h.SourceStart) + "," +
                 std::to_string(h.SourceCount) + " +" + std::to_string(h.TargetStart) + "," +
                 std::to_string(h.TargetCount) + " @@");
            int64_t s = h.SourceStart;
            int64_t t = h.TargetStart;
            for (const std::string& l : h.Lines) {
                const char mark = l.empty() ? ' ' : l[0];
                const bool onSource = mark != '+';
                const bool onTarget = mark != '-';
                const std::string sn = onSource ? std::to_string(s++) : "";
                const std::string tn = onTarget ? std::to_string(t++) : "";
                Line("      " + Pad(sn, width, true) + " " + Pad(tn, width, true) + " " + mark +
                     " " + PrintableText(l.empty() ? l : l.substr(1)));
            }
        }
    }

    const DbCompareResults& r_;
    const char* eol_;
    std::string& out_;
    const Drain& drain_;
};

// ---- CSV -----------------------------------------------------------------------------------

void WriteCsv(const DbCompareResults& r, std::string& out, const Drain& drain) {
    out += kDbCompareCsvHeader;
    out += "\r\n";
    if (!r.Complete())
        AppendCsvRecord(out, {kDbCompareCsvIncomplete,
                              r.Outcome == RunOutcome::Cancelled ? "stopped" : "failed", r.Problem,
                              kDbCompareCsvIncomplete, "", "", "", "", ""});
    for (const PairVerdict& p : r.Pairs) {
        const ObjectRef& ref = MainRef(p);
        AppendCsvRecord(out,
                        {TypeWord(p.Type), ref.Schema, ref.Name, PairStatusWord(p.Status),
                         p.HasSource ? p.Source.Modified : "", p.HasTarget ? p.Target.Modified : "",
                         DifferingLinesField(p), CsvNoteOf(p), ReadingWord(r, p.Type)});
        if (drain && out.size() >= kChunk)
            drain(out);
    }
}

// ---- HTML ----------------------------------------------------------------------------------

std::string StatusClass(PairStatus s) {
    switch (s) {
    case PairStatus::Identical:
        return "identical";
    case PairStatus::Different:
        return "different";
    case PairStatus::OnlyInSource:
        return "source";
    case PairStatus::OnlyInTarget:
        return "target";
    case PairStatus::NotComparable:
        break;
    }
    return "nc";
}

// The line colours are the main window's marking colours, so a difference looks the same in
// the window and in the file.
std::string HtmlStyle() {
    std::string css =
        "body { font-family: \"DejaVu Sans\", Verdana, sans-serif; font-size: 14px; color: #222;"
        " background: #fff; margin: 1.5em; }\n"
        "h1 { font-size: 1.5em; border-bottom: 2px solid #3a6ea5; padding-bottom: .2em; }\n"
        "h2 { font-size: 1.2em; color: #3a6ea5; margin-top: 1.6em; }\n"
        "h3 { font-size: 1em; margin: 1.4em 0 .4em; }\n"
        "table { border-collapse: collapse; margin: .6em 0; }\n"
        "th, td { border: 1px solid #ccc; padding: .25em .6em; text-align: left;"
        " vertical-align: top; }\n"
        "th { background: #eef3f9; }\n"
        "td.n { text-align: right; }\n"
        ".incomplete { background: #ffd7d7; border: 2px solid #c00000; padding: .1em 1em;"
        " margin: 1em 0; }\n"
        ".incomplete p { font-weight: bold; }\n"
        ".incomplete pre { white-space: pre-wrap; }\n"
        "table.text { font-family: \"DejaVu Sans Mono\", monospace; font-size: 12px; }\n"
        "table.text td { border: none; border-right: 1px solid #ccc; padding: 0 .5em;"
        " white-space: pre-wrap; }\n"
        "table.text td.ln { color: #666; text-align: right; background: #f4f4f4; }\n"
        "td.gap { background: #eeeeee; }\n";
    const std::pair<const char*, int32_t> lineColours[] = {{"l0", LineUnmarked},
                                                           {"l10", LineSame},
                                                           {"l20", LineChanged},
                                                           {"l30", LineOnlyInTarget},
                                                           {"l40", LineOnlyInSource}};
    for (const auto& [name, status] : lineColours)
        css += std::string("td.") + name + " { background: " + CssColour(StatusToColor(status)) +
               "; }\n";
    css += "td.identical { background: " + CssColour(StatusToColor(LineSame)) + "; }\n";
    css += "td.different { background: " + CssColour(StatusToColor(LineChanged)) + "; }\n";
    css += "td.source { background: " + CssColour(StatusToColor(LineOnlyInSource)) + "; }\n";
    css += "td.target { background: " + CssColour(StatusToColor(LineOnlyInTarget)) + "; }\n";
    css += "td.nc { background: " + CssColour(StatusToColor(LineUnmarked)) + "; }\n";
    return css;
}

class HtmlReport {
public:
    HtmlReport(const DbCompareResults& r, std::string& out, const Drain& drain)
        : r_(r), out_(out), page_(out), drain_(drain) {}

    void Write() {
        const std::string title = DbCompareTitle(r_);
        page_.Begin(title, HtmlStyle());
        page_.Element("h1", title);
        if (!r_.Complete())
            Incomplete();
        page_.Open("table", {{"class", "meta"}});
        MetaRow("Source", SideText(r_, 0));
        MetaRow("Target", SideText(r_, 1));
        MetaRow("Types", TypesText(r_));
        MetaRow("Reading", CompareReadingWord(r_.Reading));
        if (r_.Started != 0)
            MetaRow("Compared on", LocalDateTimeText(r_.Started));
        MetaRow("Result", Capitalised(ResultText(r_)));
        page_.Close("table");
        Summary();
        Objects();
        if (r_.Details)
            Texts();
        page_.End();
    }

private:
    // The banner, the reason below it as the server worded it, line breaks kept.
    void Incomplete() {
        page_.Open("div", {{"class", "incomplete"}});
        page_.Element("p", IncompleteText(r_));
        std::string reason;
        for (const std::string& line : ProblemLines(r_))
            reason += (reason.empty() ? "" : "\n") + PrintableText(line);
        if (!reason.empty())
            page_.Element("pre", reason);
        page_.Close("div");
    }

    void MetaRow(const char* label, const std::string& value) {
        page_.Open("tr");
        page_.Element("th", label);
        page_.Element("td", PrintableText(value));
        page_.Close("tr");
    }

    void CountsRow(const std::string& label, const StatusCounts& c) {
        page_.Open("tr");
        page_.Element("th", label);
        for (PairStatus s : kStatuses)
            page_.Element("td", std::to_string(c[s]), {{"class", "n"}});
        page_.Element("td", std::to_string(c.Total()), {{"class", "n"}});
        page_.Close("tr");
    }

    void Summary() {
        page_.Element("h2", "Summary");
        page_.Open("table", {{"class", "summary"}});
        page_.Open("tr");
        page_.Element("th", "Type");
        for (PairStatus s : kStatuses)
            page_.Element("th", Capitalised(PairStatusWord(s)));
        page_.Element("th", "Total");
        page_.Close("tr");
        for (ObjectType type : r_.Types)
            CountsRow(TypeWord(type), r_.CountsFor(type));
        CountsRow("all types", r_.Totals());
        page_.Close("table");
    }

    static std::string Anchor(size_t index) { return "d" + std::to_string(index + 1); }

    void Objects() {
        page_.Element("h2", "Objects");
        page_.Open("table", {{"class", "objects"}});
        page_.Open("tr");
        for (const char* h : {"Type", "Schema", "Name", "Status", "Source modified",
                              "Target modified", "Differing lines", "Note"})
            page_.Element("th", h);
        page_.Close("tr");
        for (size_t i = 0; i < r_.Pairs.size(); ++i) {
            const PairVerdict& p = r_.Pairs[i];
            const ObjectRef& ref = MainRef(p);
            page_.Open("tr");
            page_.Element("td", TypeWord(p.Type));
            page_.Element("td", PrintableText(ref.Schema));
            std::string name = PrintableText(ref.Name);
            if (p.HasSource && p.HasTarget && QualifiedName(p.Target) != QualifiedName(p.Source))
                name += " / " + PrintableText(QualifiedName(p.Target));
            page_.Open("td");
            if (r_.Details && p.Status == PairStatus::Different) {
                const std::string href = "#" + Anchor(i);
                page_.Element("a", name, {{"href", href}});
            } else {
                page_.Text(name);
            }
            page_.Close("td");
            page_.Element("td", PairStatusWord(p.Status), {{"class", StatusClass(p.Status)}});
            page_.Element("td", PrintableText(p.HasSource ? p.Source.Modified : ""));
            page_.Element("td", PrintableText(p.HasTarget ? p.Target.Modified : ""));
            page_.Element("td", DifferingLinesField(p), {{"class", "n"}});
            page_.Element("td", PrintableText(p.Status == PairStatus::NotComparable ? p.Reason
                                              : p.ColumnsIgnored ? "some columns ignored"
                                                                 : ""));
            page_.Close("tr");
            if (drain_ && out_.size() >= kChunk)
                drain_(out_);
        }
        page_.Close("table");
    }

    void Cell(const CompLines& lines, int64_t index, int32_t status) {
        if (index < 0) {
            page_.Element("td", "", {{"class", "ln gap"}});
            page_.Element("td", "", {{"class", "gap"}});
            return;
        }
        const std::string statusClass = "l" + std::to_string(status);
        page_.Element("td", std::to_string(index + 1), {{"class", "ln"}});
        page_.Element("td", PrintableText(lines[static_cast<size_t>(index)].LineText),
                      {{"class", statusClass}});
    }

    void Texts() {
        page_.Element("h2", "Differences");
        bool any = false;
        for (size_t i = 0; i < r_.Pairs.size(); ++i) {
            const PairVerdict& p = r_.Pairs[i];
            if (p.Status != PairStatus::Different)
                continue;
            any = true;
            const std::string id = Anchor(i);
            page_.Element("h3",
                          GetObjectTypeName(p.Type, true) + " " + PrintableText(DisplayName(p)) +
                              " (" + NoteOf(p) + ")",
                          {{"id", id}});
            page_.Open("table", {{"class", "text"}});
            page_.Open("tr");
            page_.Element("th", "");
            page_.Element("th", "Source: " + PrintableText(SideText(r_, 0)));
            page_.Element("th", "");
            page_.Element("th", "Target: " + PrintableText(SideText(r_, 1)));
            page_.Close("tr");
            for (const AlignedRow& row : AlignMarkedLines(p.SourceLines, p.TargetLines)) {
                page_.Open("tr");
                Cell(p.SourceLines, row.Source, row.Status);
                Cell(p.TargetLines, row.Target, row.Status);
                page_.Close("tr");
            }
            page_.Close("table");
            if (drain_)
                drain_(out_);
        }
        if (!any)
            page_.Element("p", "No object is different.");
    }

    const DbCompareResults& r_;
    std::string& out_;
    HtmlPage page_;
    const Drain& drain_;
};

void Format(const DbCompareResults& r, ReportFormat format, LineBreaks breaks, std::string& out,
            const Drain& drain) {
    switch (format) {
    case ReportFormat::Csv:
        WriteCsv(r, out, drain);
        return;
    case ReportFormat::Html:
        HtmlReport(r, out, drain).Write();
        return;
    case ReportFormat::Text:
        break;
    }
    TextReport(r, breaks, out, drain).Write();
}

} // namespace

const char* ExportTypeName(int32_t exportType) {
    switch (exportType) {
    case 1:
        return "Hyper Text Markup Language (HTML) file";
    case 2:
        return "Excel - Comma Separated Values (CSV) file";
    default:
        return "N/A";
    }
}

const char* ReportFileExtension(ReportFormat format) {
    switch (format) {
    case ReportFormat::Html:
        return ".html";
    case ReportFormat::Csv:
        return ".csv";
    case ReportFormat::Text:
        break;
    }
    return ".txt";
}

bool ParseReportFormat(const std::string& word, ReportFormat& format) {
    const std::string w = ToLowerAscii(word);
    if (w == "text" || w == "txt")
        format = ReportFormat::Text;
    else if (w == "csv")
        format = ReportFormat::Csv;
    else if (w == "html")
        format = ReportFormat::Html;
    else
        return false;
    return true;
}

std::string ResultCountsText(const DbCompareResults& r) {
    const StatusCounts c = r.Totals();
    std::string text = std::to_string(c.Total()) + " objects compared";
    for (PairStatus s : {PairStatus::Identical, PairStatus::Different, PairStatus::OnlyInSource,
                         PairStatus::OnlyInTarget, PairStatus::NotComparable})
        if (c[s] > 0)
            text += ", " + std::to_string(c[s]) + " " + PairStatusWord(s);
    return text + ".";
}

std::string DbCompareTitle(const DbCompareResults& results) {
    std::string title;
    const bool oneType = results.Types.size() == 1;
    switch (results.Kind) {
    case DbCompareKind::All:
        title = "Compare All Objects";
        break;
    case DbCompareKind::Bulk:
        title =
            oneType ? "Compare All " + ObjectTypeCaption(results.Types[0]) : "Compare All Objects";
        break;
    case DbCompareKind::Selective:
        title = oneType ? "Compare Selected " + ObjectTypeCaption(results.Types[0])
                        : "Compare Selected Objects";
        break;
    }
    return results.Details ? title + " - Details" : title;
}

std::string FormatDbCompareReport(const DbCompareResults& results, ReportFormat format,
                                  LineBreaks textBreaks) {
    std::string out;
    Format(results, format, textBreaks, out, Drain());
    return out;
}

bool WriteDbCompareReport(const DbCompareResults& results, ReportFormat format,
                          const std::string& path, std::string& error, LineBreaks textBreaks) {
    ExportFile file;
    if (!file.Open(path, error))
        return false;
    std::string out;
    const Drain drain = [&file](std::string& chunk) {
        if (chunk.size() >= kChunk) {
            file.Write(chunk);
            chunk.clear();
        }
    };
    Format(results, format, textBreaks, out, drain);
    file.Write(out);
    return file.Commit(error);
}

} // namespace orv
