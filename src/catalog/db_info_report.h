// The inventory of one database: for tables, procedures, functions, views, triggers and
// relationships either a numbered listing (tables with their row counts) or a line saying there
// are none. Shared by the progress window and the command-line front end.
#pragma once

#include "catalog/object_types.h"
#include "catalog/record_counts.h"
#include "servers/recordset.h"
#include "servers/server_entry.h"

#include <array>
#include <ctime>
#include <string>

namespace orv {

// The analysed types, in the order of the report.
constexpr std::array<ObjectType, 6> kDbInfoTypes = {kTypeTable, kTypeProcedure, kTypeFunction,
                                                    kTypeView,  kTypeTrigger,   kTypeRelationship};

// What the window running the report is told as it goes; cancelling works through the
// runner's mblnCancel, polled before and after each type's query and before each row.
class DbInfoRunner : public ReportRunner {
public:
    // Step `step` (0..5) begins; `caption` is "Analyzing tables..." and so on.
    virtual void StepStarted(int step, const std::string& caption) = 0;
    // The listing of the step begins: its progress line is emptied and shown.
    virtual void ListingStarted() = 0;
    // The step is done; `caption` is the one it started with.
    virtual void StepFinished(int step, const std::string& caption) = 0;
    // A point where the elapsed time is brought up to date.
    virtual void UpdateElapsed() = 0;
};

// "Jan 05, 2024" for the local date of `when`, month names in English whatever the locale.
std::string DbInfoDateText(std::time_t when);

// The status caption of a step: "Analyzing " + plural type name + "...".
std::string DbInfoStepCaption(ObjectType type);

// Runs the whole analysis. True with the complete report in `text` when all six types ran;
// a name listed more than once in a type (in several schemas) is written schema-qualified.
// false when cancelled or when a type's listing could not be read whole (the user has been
// told why); the text then holds what was built and must not be shown.
bool BuildDbInfoReport(DbInfoRunner& runner, ServerEntry& server, const std::string& database,
                       const std::string& dateText, std::string& text);

// The numbered table lines with row counts, as RecordsetToString writes them, but with the
// schema or owner of every table read in one query up front instead of one lookup per table.
std::string TableListingWithCounts(ReportRunner& runner, Recordset* recordset, ServerEntry& server,
                                   const std::string& database, bool numbering,
                                   const ListedNameWriter& writeName = {});

} // namespace orv
