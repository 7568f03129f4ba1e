// One deployment from one whole-database comparison: both sides' structure read once for the
// objects the comparison offers (Prepare), a script made from any selection of them at once and
// without a query (Script), run on the target (deploy_run.h) and proved by comparing the
// included objects again (Verify). The command line and the windows both go through it.
#pragma once

#include "dbcompare/db_compare.h"
#include "deploy/deploy_script.h"
#include "deploy/schema_model.h"
#include "deploy/target_check.h"

#include <ctime>
#include <map>
#include <string>
#include <vector>

namespace orv {

class DeploySession {
public:
    // Reads the structure of the offered objects of `results` from both databases of
    // `request` (the request the results came from), and the target's row and NULL counts
    // the data-loss guard needs. False with `error` when a read failed or was stopped.
    bool Prepare(const DbCompareRequest& request, const DbCompareResults& results,
                 ProgressSink& progress, const CancelToken& cancel, std::string& error);

    // The objects a selection may include, in the results' order.
    const std::vector<DeployObject>& Offered() const { return offered_; }
    // The default selection: the offered objects TickedByDefault.
    std::vector<DeployObject> DefaultIncluded() const;

    // The script for these included objects (the rest of Offered is named as left out).
    DeployScript Script(const std::vector<DeployObject>& included, const DeployOptions& options,
                        std::time_t made) const;

    // Reads again what a script of `included` changes, drops or relies on in the Target, and
    // says what differs from what the comparison saw; run just before the script.
    TargetCheck CheckTarget(const std::vector<DeployObject>& included, ProgressSink& progress,
                            const CancelToken& cancel) const;

    const SchemaModel& Source() const { return source_; }
    const SchemaModel& Target() const { return target_; }
    const DbCompareRequest& Request() const { return request_; }

private:
    DbCompareRequest request_;
    std::string serverName_[2], dbName_[2];
    std::vector<DeployObject> offered_;
    SchemaModel source_, target_;
    // What the comparison saw of the Target, which a run checks the Target against.
    TargetBaseline baseline_;
    // NULLs per target column that the source makes NOT NULL, keyed "schema.table.column"
    // in upper case.
    std::map<std::string, int64_t> nullCounts_;
};

// The comparison made again after a deployment, of the included objects only.
struct DeployVerification {
    DbCompareResultsPtr Results;
    int64_t Matching = 0; // included objects now identical (dropped ones: now absent)
    int64_t Total = 0;    // included objects
    bool AllMatch() const { return Results && Results->Complete() && Matching == Total; }
};

// Compares the included objects of `request` again. False with `error` when the comparison
// failed or was stopped.
bool VerifyDeployment(const DbCompareRequest& request, const std::vector<DeployObject>& included,
                      ProgressSink& progress, const CancelToken& cancel, DeployVerification& out,
                      std::string& error);

// "Target now matches Source: 12 of 12 objects" or "Target still differs from Source: 10 of
// 12 objects match", followed by one line per object that still differs.
std::string VerificationText(const DeployVerification& verification);

} // namespace orv
