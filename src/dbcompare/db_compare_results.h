// The results of comparing two whole databases: one flat record per object pair, counts per
// type, and how the run ended. The results window, the command line's printer and the export
// writers all read this one model; none of them recompute a verdict.
#pragma once

#include "catalog/bulk_queries.h"
#include "catalog/catalog_snapshot.h"
#include "catalog/object_ref.h"
#include "catalog/object_types.h"
#include "compare/comp_line.h"
#include "util/progress.h"

#include <array>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace orv {

enum class PairStatus { Identical, Different, OnlyInSource, OnlyInTarget, NotComparable };
constexpr int kPairStatusCount = 5;

// "identical", "different", "only in source", "only in target", "not comparable".
const char* PairStatusWord(PairStatus status);

struct PairVerdict;
// "renamed? Old → New" for a pair with a likely column rename; empty otherwise.
std::string ColumnRenameNote(const PairVerdict& pair);

// Which comparison produced the results.
enum class DbCompareKind {
    All,       // every type (constraints only while they are analysed)
    Bulk,      // every object of one type
    Selective, // the objects selected in the two lists
};

// The verdict on one pair. Exactly one of the statuses; Source is set unless OnlyInTarget,
// Target unless OnlyInSource.
struct PairVerdict {
    ObjectType Type = kTypeNone;
    PairStatus Status = PairStatus::NotComparable;
    bool HasSource = false;
    bool HasTarget = false;
    ObjectRef Source;
    ObjectRef Target;
    // Why the pair is not comparable ("encrypted in source", "no text in target", the error
    // text of a failed read); empty for the other statuses.
    std::string Reason;
    // A module whose text names another object than itself (renamed with sp_rename after it
    // was created): "definition names dbo.OldName", with " in source"/" in target" when only
    // one side's does; empty otherwise.
    std::string DefinitionNote;
    // Ignored columns were left out of a table's comparison.
    bool ColumnsIgnored = false;
    // A differing table whose columns differ by exactly one column only in the target and one
    // only in the source of the same shape: perhaps renamed (column_rename.h). Never acted on
    // unless a user confirms it; empty otherwise.
    std::string RenamedColumnFrom; // the target's name
    std::string RenamedColumnTo;   // the source's name
    // The two definition texts as the panels would show them (CR LF line breaks); empty for a
    // side the object is missing from.
    std::string SourceText;
    std::string TargetText;
    // False for a pair the hash-first reading found identical by fingerprints alone: neither
    // text was read, and both texts above are empty.
    bool TextsRead = true;
    // The hash-first reading's fingerprint of each side's stored text (empty when the reading
    // was full, or the side had none to trust): what a deployment checks the Target against
    // without reading the texts again.
    std::string SourceFingerprint;
    std::string TargetFingerprint;
    // The marked lines of both sides, for a Different pair only (the same marking the main
    // window paints); empty otherwise.
    CompLines SourceLines;
    CompLines TargetLines;
};

struct StatusCounts {
    std::array<int64_t, kPairStatusCount> Count{};
    int64_t& operator[](PairStatus s) { return Count[static_cast<size_t>(s)]; }
    int64_t operator[](PairStatus s) const { return Count[static_cast<size_t>(s)]; }
    int64_t Total() const;
};

struct DbCompareResults {
    DbCompareKind Kind = DbCompareKind::All;
    bool Details = false;
    std::string ServerName[2];
    std::string DbName[2];
    // The compared types in the order they were compared (the selector's order).
    std::vector<ObjectType> Types;
    // Grouped by type in the order of Types, then by schema and name.
    std::vector<PairVerdict> Pairs;
    RunOutcome Outcome = RunOutcome::Completed;
    // Why the run failed or stopped ("Stopped by the user.", the server's message); empty when
    // it completed.
    std::string Problem;
    // When the run began (0: not known); the HTML report shows it.
    std::time_t Started = 0;
    // How the module texts were read: Full or HashFirst (tables, relationships and
    // constraints are always read whole).
    CompareReading Reading = CompareReading::Full;
    // The form the fingerprints above were taken in (None for a full reading).
    FingerprintForm Fingerprints = FingerprintForm::None;
    // The snapshot of a side the request asked to keep (KeepSnapshot), once the run completed
    // and it was read whole; SnapshotProblem says why not when it could not be.
    CatalogSnapshotPtr SnapshotTaken[2];
    std::string SnapshotProblem;

    // Results of a run that did not complete hold only what was gathered before it ended.
    bool Complete() const { return Outcome == RunOutcome::Completed; }
    StatusCounts CountsFor(ObjectType type) const;
    StatusCounts Totals() const;
    // True only for a complete run in which every pair is identical.
    bool AllIdentical() const;
};

using DbCompareResultsPtr = std::shared_ptr<const DbCompareResults>;

// One differing stretch of a Different pair, as a unified diff shows it: the line numbers
// (1-based) where it starts on each side, and its lines with three lines of context, each
// prefixed " ", "-" (source only or changed in source) or "+" (target only or changed in target).
struct DiffHunk {
    int64_t SourceStart = 0;
    int64_t SourceCount = 0;
    int64_t TargetStart = 0;
    int64_t TargetCount = 0;
    std::vector<std::string> Lines;
};

// The hunks of a Different pair, built from its marked lines; empty for other statuses.
std::vector<DiffHunk> DifferingHunks(const PairVerdict& pair, int context = 3);

// The number of marked (changed or one-sided) lines of both sides together.
int64_t DifferingLineCount(const PairVerdict& pair);

} // namespace orv
