// A saved comparison process whose action is deploy: after its comparison (made afresh on
// every run, never taken from an earlier one), the deployment
// script of every differing and only-in-source object is written to the process's script file
// (data loss never allowed unattended) and, only when the process names the target database
// again, run on the target and proved by comparing again.
#pragma once

#include "dbcompare/saved_replay.h"

#include <ctime>
#include <string>

namespace orv {

// Returns the run's status (0 the target matches, or there was nothing to deploy; 1 the script
// was written but not applied, or differences remain; 2 error, with `problem`) and says what
// it did in `note` ("Deployment script written to /x.sql (12 steps). Target now matches ...").
int RunSavedDeployment(const DbCompareRequest& request, const DbCompareResults& results,
                       const ReplayPlan& plan, ProgressSink& progress, const CancelToken& cancel,
                       std::string& problem, std::string& note, std::time_t now);

} // namespace orv
