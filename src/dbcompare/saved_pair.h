// A saved single-pair comparison run without a window: both objects found in their listings,
// their texts read as the panels show them, judged by the main window's own comparison, and
// the verdict handed back as a results model of one pair so every report writer serves it.
#pragma once

#include "dbcompare/saved_replay.h"

namespace orv {

// Null with the reason when a listing cannot be read, an object is not listed or has no text.
DbCompareResultsPtr RunSavedPair(const ReplayPlan& plan, ServerEntry (&servers)[2],
                                 const CompareOptions& options, std::string& error);

// The one-pair results model of a comparison already made (the main window's, for its export):
// the two objects as listed, their texts and, when they differ, their marked lines.
DbCompareResultsPtr OnePairResults(const ReplayPlan& plan, const std::string (&listed)[2],
                                   const int32_t (&ids)[2], const std::string (&texts)[2],
                                   bool identical, CompLines sourceLines, CompLines targetLines);

} // namespace orv
