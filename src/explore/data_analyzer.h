// The data analyzer: a profile of every column of one table (rows, NULLs, distinct values,
// minimum and maximum, lengths of character and binary data, the most frequent values), each
// figure computed by the server. It runs on a worker thread, reports one unit of progress per
// column and stops between columns, or inside a running query, when asked.
#pragma once

#include "explore/analyzer_queries.h"
#include "servers/worker_query.h"
#include "util/progress.h"

#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orv {

struct TopValue {
    std::string Value; // the value's text form (binary as hex digits)
    int64_t Count = 0;
};

struct ColumnProfile {
    std::string Name;
    std::string Type;
    ColumnClass Class = ColumnClass::Ordered;
    bool Done = false; // the profile was read (a stopped run leaves later columns undone)
    int64_t Rows = 0;
    int64_t Nulls = 0;
    std::optional<int64_t> Distinct;
    std::optional<std::string> Min;
    std::optional<std::string> Max;
    std::optional<double> AvgLength;
    std::optional<int64_t> MaxLength;
    std::vector<TopValue> Top;

    // NULLs per row, 0 for an empty table.
    double NullRatio() const { return Rows > 0 ? static_cast<double>(Nulls) / Rows : 0.0; }
};

struct AnalysisRequest {
    QueryPlace Place;
    // The table as the panel lists it ("Orders" or "sales.Orders"); found by id when ObjectId
    // is above 0, by this name otherwise.
    std::string TableName;
    int32_t ObjectId = 0;
    // Columns left out (the analysis list of the ignored columns); any letter case.
    std::vector<std::string> Ignored;
};

struct AnalysisResults {
    std::string Server;
    std::string Database;
    std::string Schema;
    std::string Table;
    std::vector<ColumnProfile> Columns; // analyzed columns, in column order
    std::vector<std::string> Skipped;   // ignored columns met in the table
    RunOutcome Outcome = RunOutcome::Completed;
    std::string Failure;           // the message of a failed run
    std::time_t Started = 0;       // when the run began (0: not known); the HTML shows it
    std::vector<std::string> Sent; // every statement sent, in order
};

using AnalysisResultsPtr = std::shared_ptr<const AnalysisResults>;

// Runs the analysis. Setting `cancel` stops it between queries and cuts a running query short.
// A table that does not exist fails with "Table ... does not exist."; a server that cannot be
// reached fails with the connection message of the command layer.
AnalysisResultsPtr AnalyzeTableData(const AnalysisRequest& request, ProgressSink& progress,
                                    const CancelToken& cancel);

} // namespace orv
