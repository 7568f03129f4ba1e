// Row counts of tables, and the numbered plain-text report of a catalog listing that the
// database information window builds, tables with their row counts.
#pragma once

#include "catalog/object_types.h"
#include "servers/recordset.h"
#include "servers/server_entry.h"

#include <cstdint>
#include <functional>
#include <string>

namespace orv {

// "   1  " for 1, "  10  " for 10, "1000  " for 1000: right-aligned in four, two blanks after.
std::string ReportNumberColumn(int64_t number);
// 1234 -> "1,234".
std::string FormatThousands(int64_t value);
// " (1 record)", " (1,234 records)".
std::string RecordCountText(int64_t count);

constexpr const char* kReportAborted = "*** OPERATION ABORTED - ERROR OCCURRED.***";

// The rows of the table, 0 for an empty name, -1 when counting failed. When a retry with the
// schema-qualified name worked, tableName becomes that name.
int32_t GetNumberOfRecordsInTable(ServerEntry& server, std::string& tableName,
                                  const std::string& database);

// The window that runs a report: its cancel flag is polled before each row, and it shows the
// name being worked on.
class ReportRunner {
public:
    virtual ~ReportRunner() = default;
    bool mblnCancel = false;
    virtual void ShowProgress(const std::string& caption) = 0;
};

// How a listed object is written in a report, given its catalog name and id; none: as it is.
using ListedNameWriter = std::function<std::string(const std::string& name, int32_t id)>;

// One line per listed object (name, refdate, id rows), numbered when asked, tables with their
// row counts.
std::string RecordsetToString(ReportRunner& runner, Recordset* recordset, ObjectType type,
                              ServerEntry& server, const std::string& database, bool numbering,
                              const ListedNameWriter& writeName = {});

} // namespace orv
