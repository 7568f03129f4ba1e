#include "dbcompare/data_sync_script.h"

namespace orv {

void SyncScriptWriter::BeginPair(const DataTableResult&) {}
void SyncScriptWriter::Row(const DataTableResult&, const DataRowDiff&) {}
void SyncScriptWriter::EndPair(const DataTableResult&) {}
std::string SyncScriptWriter::Script() const {
    return body_;
}

bool ResultsHoldEveryRow(const DataTableResult& pair) {
    return !pair.RowsCut && !pair.Incomplete;
}

std::string SyncScriptFromResults(const DataCompareResults&, const std::vector<size_t>&) {
    return "";
}

bool CompareForSyncScript(const DataCompareRequest&, ProgressSink&, const CancelToken&,
                          std::string& script, std::string& error) {
    script.clear();
    error = "not available yet";
    return false;
}

std::string TypedSqlLiteral(const FieldValue&, const std::string&) {
    return "NULL";
}

} // namespace orv
