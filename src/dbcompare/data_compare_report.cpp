#include "dbcompare/data_compare_report.h"

namespace orv {

std::string DataCompareText(const DataCompareResults&) {
    return "";
}
std::string DataCompareCsv(const DataCompareResults&) {
    return "";
}
std::string DataCompareHtml(const DataCompareResults&, int64_t) {
    return "";
}
void DataRowsCsvWriter::BeginPair(const DataTableResult&) {}
void DataRowsCsvWriter::Row(const DataTableResult&, const DataRowDiff&) {}
std::string DataRowsCsv(const DataCompareResults&) {
    return "";
}

} // namespace orv
