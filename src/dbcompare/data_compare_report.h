// The data comparison's results as text, CSV and HTML: a summary per table pair and the
// differing rows. All quoting and escaping is the export writers'.
#pragma once

#include "dbcompare/data_compare.h"
#include "dbcompare/db_compare_report.h"

#include <cstdint>
#include <string>

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
    void BeginPair(const DataTableResult& pair) override;
    void Row(const DataTableResult& pair, const DataRowDiff& row) override;
    void EndPair(const DataTableResult&) override {}
    const std::string& Text() const { return out_; }

private:
    std::string out_;
};

// The kept rows of the results in the same form (the results window's CSV export).
std::string DataRowsCsv(const DataCompareResults& results);

} // namespace orv
