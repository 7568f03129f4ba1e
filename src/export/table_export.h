// A table written to a CSV file (RFC 4180, UTF-8, a header record) or an HTML page, one row at
// a time: the rows are never gathered in memory, and the file appears (or replaces an existing
// one) only when the last row is written and Commit succeeds.
#pragma once

#include "export/export_file.h"

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

enum class TableExportFormat { Csv, Html };

struct TableExportOptions {
    TableExportFormat Format = TableExportFormat::Csv;
    // What a NULL cell becomes; empty (an empty field) unless the user chose otherwise.
    std::string NullText;
    // The HTML page's title and heading.
    std::string Title;
    // When the rows were read, shown under the HTML page's heading (0: not shown).
    std::time_t When = 0;
};

class TableExportWriter {
public:
    // Creates the temporary file and writes the header. False with a message when the file
    // cannot be created (missing or read-only folder, ...).
    bool Open(const std::string& path, const TableExportOptions& options,
              const std::vector<std::string>& headers, std::string& error);
    // One row; `isNull[i]` marks a NULL cell (nullptr: none). False once writing has failed.
    bool WriteRow(const std::string_view* cells, const bool* isNull, size_t count);
    // Ends the table, flushes and puts the file in place. False with a message otherwise;
    // the target is then untouched.
    bool Commit(std::string& error);
    // Drops the temporary file; the target is untouched.
    void Discard();

    int64_t RowsWritten() const { return rows_; }

private:
    bool FlushIfFull();

    ExportFile file_;
    TableExportOptions options_;
    std::string buffer_;
    int64_t rows_ = 0;
    bool ok_ = false;
};

} // namespace orv
