// Whether the Target is still what the comparison saw, checked just before a script runs: a
// script is made from one reading of the Target, and run minutes or days later on a database
// someone may have changed since. The objects the script includes, drops or relies on are read
// again (by fingerprint where the comparison took fingerprints, else their listing and texts)
// and held against a small record of what the comparison saw of each.
#pragma once

#include "catalog/bulk_queries.h"
#include "dbcompare/db_compare.h"
#include "deploy/deploy_script.h"
#include "deploy/schema_model.h"

#include <cstddef>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace orv {

// What the comparison saw of one object of the Target.
struct TargetSeen {
    ObjectType Type = kTypeNone;
    std::string Schema;
    std::string Name;
    bool Present = false;
    // The hash-first reading's fingerprint; empty when the reading was full or gave none.
    std::string Fingerprint;
    // Digests of the text read (false when only the fingerprint was taken): for a table its
    // column lines and, apart, its indexes, keys and constraints; for other types the whole
    // text in the first.
    bool TextKnown = false;
    size_t ColumnsDigest = 0;
    size_t RestDigest = 0;
};

// The record of what one comparison saw of the Target, a few words per object.
class TargetBaseline {
public:
    TargetBaseline() = default;
    explicit TargetBaseline(const DbCompareResults& results);

    FingerprintForm Form() const { return form_; }
    // The objects to check: every included object and every object of the comparison that
    // `related` names, each once.
    std::vector<TargetSeen>
    Watched(const std::vector<DeployObject>& included,
            const std::vector<std::pair<std::string, std::string>>& related) const;

private:
    FingerprintForm form_ = FingerprintForm::None;
    std::vector<TargetSeen> seen_;
    std::unordered_map<std::string, std::vector<size_t>> byName_; // NameKey
};

// The objects a script of `included` drops, recreates or relies on besides the included ones:
// what included modules use, the tables of included triggers, the tables and foreign keys on
// either end of an included table's keys, and the Target's triggers and modules over included
// objects (a schema-bound view the script drops and makes again from the Target's text).
std::vector<std::pair<std::string, std::string>>
RelatedObjects(const SchemaModel& source, const SchemaModel& target,
               const std::vector<DeployObject>& included);

struct TargetChange {
    ObjectType Type = kTypeNone;
    std::string Schema;
    std::string Name;
    // "text changed", "columns changed", "indexes or constraints changed", "appeared",
    // "disappeared", ...
    std::string How;
};

struct TargetCheck {
    RunOutcome Outcome = RunOutcome::Completed;
    std::string Problem; // why the check failed or stopped
    std::vector<TargetChange> Changes;
    int64_t Checked = 0; // objects looked at
    bool Unchanged() const { return Outcome == RunOutcome::Completed && Changes.empty(); }
};

// Reads the watched objects of the Target of `request` again, with the same reading options
// as the comparison, and says which differ. Stop ends it as Cancelled. Never throws.
TargetCheck CheckTarget(const DbCompareRequest& request, FingerprintForm form,
                        const std::vector<TargetSeen>& watched, ProgressSink& progress,
                        const CancelToken& cancel);

// What a refused run lists after its first sentence: each change on a line of its own,
// "  procedure dbo.usp_Orders_Get: text changed", every line led by `lineBreak`.
std::string TargetChangeList(const TargetCheck& check, const std::string& lineBreak);

} // namespace orv
