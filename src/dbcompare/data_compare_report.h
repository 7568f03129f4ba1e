// The data comparison's results as text, CSV and HTML: a summary per table pair and the
// differing rows. All quoting and escaping is the export writers'.
#pragma once

#include "dbcompare/data_compare.h"
#include "dbcompare/db_compare_report.h"
#include "export/spool_text.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace orv {

// The command line's text: one line per pair with its status and counts, and the run's end.
std::string DataCompareText(const DataCompareResults& results);

// One record per pair: table,status,compared_rows,identical,different,only_in_source,
// only_in_target with table as schema.name and the status words of DataPairStatusWord.
std::string DataCompareCsv(const DataCompareResults& results);

// A self-contained page: the summary and, per differing pair, its first `maxRows` kept rows
// with the differing cells marked.
std::string DataCompareHtml(const DataCompareResults& results, int64_t maxRows);

// The report in `format`: DataCompareText, DataCompareCsv or DataCompareHtml.
std::string FormatDataCompareReport(const DataCompareResults& results, ReportFormat format,
                                    int64_t maxRows);

// The differing rows as CSV: per pair a header record (table, status, the key columns, then
// "<column> (source)" and "<column> (target)" for each compared column) and its rows. NULL is
// an empty field, an empty text the quoted field "".
class DataRowsCsvWriter final : public DataRowSink {
public:
    // `spool`: the records wait in a temporary file instead of memory (a file of a million
    // rows); otherwise they are kept in memory.
    explicit DataRowsCsvWriter(bool spool = false);
    DataRowsCsvWriter(const DataRowsCsvWriter&) = delete;
    DataRowsCsvWriter& operator=(const DataRowsCsvWriter&) = delete;

    void BeginPair(const DataTableResult& pair) override;
    void Row(const DataTableResult& pair, const DataRowDiff& row) override;
    void EndPair(const DataTableResult&) override {}
    std::string Text() const { return out_.Text(); }
    // The records handed to `write` piece by piece; false when `write` failed or the
    // temporary file could not be used (SpoolProblem says why).
    bool WriteTo(const std::function<bool(std::string_view)>& write) const {
        return out_.WriteTo(write);
    }
    const std::string& SpoolProblem() const { return spool_.Problem(); }

private:
    SpoolFile spool_;
    SpoolText out_;
    std::string line_; // the record being built, reused
};

// The kept rows of the results in the same form (the results window's CSV export).
std::string DataRowsCsv(const DataCompareResults& results);

} // namespace orv
