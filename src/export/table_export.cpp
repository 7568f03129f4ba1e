#include "export/table_export.h"

#include "export/csv.h"
#include "export/html.h"
#include "util/date_text.h"

namespace orv {

namespace {

constexpr size_t kFlushBytes = 1 << 16;

constexpr const char* kHtmlCss =
    "body{font-family:sans-serif;font-size:13px}"
    "table{border-collapse:collapse}"
    "th,td{border:1px solid #bbb;padding:.15em .45em;text-align:left;vertical-align:top;"
    "white-space:pre-wrap}"
    "th{background:#eef3f9}td.null{color:#888;font-style:italic}";

} // namespace

bool TableExportWriter::Open(const std::string& path, const TableExportOptions& options,
                             const std::vector<std::string>& headers, std::string& error) {
    options_ = options;
    rows_ = 0;
    buffer_.clear();
    ok_ = file_.Open(path, error);
    if (!ok_)
        return false;
    if (options_.Format == TableExportFormat::Csv) {
        for (size_t i = 0; i < headers.size(); ++i) {
            if (i > 0)
                buffer_ += ',';
            buffer_ += CsvField(headers[i]);
        }
        buffer_ += "\r\n";
    } else {
        HtmlPage page(buffer_);
        page.Begin(options_.Title, kHtmlCss);
        page.Element("h1", options_.Title);
        if (options_.When != 0)
            page.Element("p", "Read on " + LocalDateTimeText(options_.When), {{"class", "run"}});
        page.Open("table");
        page.Open("tr");
        for (const std::string& h : headers)
            page.Element("th", h);
        page.Close("tr");
    }
    return FlushIfFull();
}

bool TableExportWriter::WriteRow(const std::string_view* cells, const bool* isNull, size_t count) {
    if (!ok_)
        return false;
    if (options_.Format == TableExportFormat::Csv) {
        for (size_t i = 0; i < count; ++i) {
            if (i > 0)
                buffer_ += ',';
            buffer_ +=
                CsvField(isNull && isNull[i] ? std::string_view(options_.NullText) : cells[i]);
        }
        buffer_ += "\r\n";
    } else {
        HtmlPage page(buffer_);
        page.Open("tr");
        for (size_t i = 0; i < count; ++i) {
            if (isNull && isNull[i])
                page.Element("td", options_.NullText, {{"class", "null"}});
            else
                page.Element("td", cells[i]);
        }
        page.Close("tr");
    }
    ++rows_;
    return FlushIfFull();
}

bool TableExportWriter::FlushIfFull() {
    if (buffer_.size() < kFlushBytes)
        return ok_;
    ok_ = file_.Write(buffer_) && ok_;
    buffer_.clear();
    return ok_;
}

bool TableExportWriter::Commit(std::string& error) {
    if (options_.Format == TableExportFormat::Html && ok_) {
        HtmlPage page(buffer_);
        page.Close("table");
        page.End();
    }
    if (!buffer_.empty()) {
        ok_ = file_.Write(buffer_) && ok_;
        buffer_.clear();
    }
    const bool committed = file_.Commit(error);
    ok_ = false;
    return committed;
}

void TableExportWriter::Discard() {
    file_.Discard();
    buffer_.clear();
    ok_ = false;
}

} // namespace orv
