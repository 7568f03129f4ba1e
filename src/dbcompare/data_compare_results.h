// The results of comparing the rows of table pairs: one record per pair with its verdict, its
// counts and the differing rows kept for display, and how the run ended. The results window,
// the command line and the report writers all read this one model; none of them recompute a
// verdict.
#pragma once

#include "servers/recordset.h"
#include "util/progress.h"

#include <array>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace orv {

enum class DataPairStatus { Identical, Different, NotComparable, OnlyInSource, OnlyInTarget };
constexpr int kDataPairStatusCount = 5;

// "identical", "different", "not comparable", "only in source", "only in target".
const char* DataPairStatusWord(DataPairStatus status);

// The verdict on one row (identical rows are counted, never kept).
enum class RowStatus { Different, OnlyInSource, OnlyInTarget, Conflict };

// "different", "only in source", "only in target", "conflict".
const char* RowStatusWord(RowStatus status);

// How the rows of a pair were matched.
enum class KeyOrigin { None, PrimaryKey, UniqueIndex, Picked };

// "primary key", "unique index", "picked", "none".
const char* KeyOriginWord(KeyOrigin origin);

// How a pair's rows were compared. Auto takes Hash for tables above the request's threshold
// on servers that have HASHBYTES, Merge otherwise.
enum class DataCompareMode { Auto, Merge, Hash };

// "auto", "merge", "hash".
const char* DataCompareModeWord(DataCompareMode mode);

// A column as the comparison uses it, with its type on each side ("int", "varchar(20)",
// "decimal(10,2)", "nvarchar(max)").
struct DataColumn {
    std::string Name; // as the source names it
    std::string SourceType;
    std::string TargetType;
};

// The two values of one compared column in one row. A value is typed (FieldValue keeps NULL
// apart from an empty text); DataCellText gives its displayable form.
struct DataCellPair {
    FieldValue Source;
    FieldValue Target;
    // Set only in a Different row, for the cells whose values are not equal.
    bool Differs = false;
};

// One row that is not identical.
struct DataRowDiff {
    RowStatus Status = RowStatus::Different;
    // The key values, in the order of the pair's KeyColumns (the source's values, or the
    // target's for a row only in the target).
    std::vector<FieldValue> Key;
    // One per compared column, in the order of the pair's Compared. A side the row is missing
    // from holds NULL values there (the status tells it apart from a real NULL).
    std::vector<DataCellPair> Cells;
    // For a Conflict: how many rows of each side carry this key value (at least one side has
    // more than one; Cells then hold the first row of each side). 1/0 or 0/1 or 1/1 otherwise.
    std::array<int64_t, 2> Copies{1, 1};
};

// The verdict on one table pair.
struct DataTableResult {
    DataPairStatus Status = DataPairStatus::NotComparable;
    bool HasSource = false;
    bool HasTarget = false;
    std::string Schema[2]; // [0] source, [1] target
    std::string Name[2];
    // Why the pair is not comparable ("no key", "the key's types differ: [id] int / bigint",
    // the server's message of a failed read), or what cut its comparison short; empty else.
    std::string Reason;

    KeyOrigin KeyFrom = KeyOrigin::None;
    std::vector<std::string> KeyColumns;
    // The key columns with their types (same order as KeyColumns).
    std::vector<DataColumn> KeyTypes;
    // The target's identity column ("" when none): a synchronisation script inserts into it
    // with IDENTITY_INSERT on and never updates it.
    std::string TargetIdentity;
    // The non-key columns compared, in the source's column order.
    std::vector<DataColumn> Compared;
    // Columns found on one side only, and those the ignored-column list left out; none of
    // them is compared.
    std::vector<std::string> SourceOnlyColumns;
    std::vector<std::string> TargetOnlyColumns;
    std::vector<std::string> IgnoredColumns;

    // Row counts. Identical + Different + OnlyInSource + OnlyInTarget + Conflict = RowsCompared.
    // A conflict counts one per duplicated key value.
    int64_t Identical = 0;
    int64_t Different = 0;
    int64_t OnlyInSource = 0;
    int64_t OnlyInTarget = 0;
    int64_t Conflict = 0;
    int64_t RowsCompared = 0;
    // Rows fetched from each server (in hash mode only those of the ranges that differ or are
    // small), and rows the servers hashed.
    std::array<int64_t, 2> RowsRead{};
    std::array<int64_t, 2> RowsHashed{};
    // Seconds the servers spent answering the checksum queries, per side (hash mode).
    std::array<double, 2> HashSeconds{};
    int64_t BisectionRounds = 0;
    DataCompareMode ModeUsed = DataCompareMode::Merge;
    double Seconds = 0.0; // wall time of the pair
    // The comparison of this pair stopped before its end (Stop, a failure): counts and rows
    // hold only what was seen.
    bool Incomplete = false;

    // The differing rows in key order, at most the request's RowKeepLimit of them; RowsCut
    // tells that more differed than were kept.
    std::vector<DataRowDiff> Rows;
    bool RowsCut = false;
    // Per compared column (same order as Compared): in how many Different rows it differs.
    std::vector<int64_t> ColumnDiffCounts;

    // "schema.name" of the source (of the target for a table only in the target).
    std::string DisplayName() const;
    int64_t DifferingRows() const { return Different + OnlyInSource + OnlyInTarget + Conflict; }
};

// A FOREIGN KEY constraint between two user tables of one database: the referencing (child)
// table and the referenced (parent) table, each as {schema, name}.
struct ForeignKeyLink {
    std::string Name;
    std::array<std::string, 2> Child;
    std::array<std::string, 2> Parent;
    bool Disabled = false; // NOCHECK: the server does not check it
};

struct DataCompareResults {
    std::string ServerName[2];
    std::string DbName[2];
    bool CaseSensitive = false;
    // The target database's foreign keys, read at the start of the run: a synchronisation
    // script orders its tables by them.
    std::vector<ForeignKeyLink> TargetForeignKeys;
    // The target server's major version (8 for SQL Server 2000; 0 when not read).
    int32_t TargetVersionMajor = 0;
    // In the order of the request (for all tables: by schema and name).
    std::vector<DataTableResult> Tables;
    RunOutcome Outcome = RunOutcome::Completed;
    // Why the run failed or stopped ("Stopped by the user.", the server's message); empty when
    // it completed.
    std::string Problem;
    // When the run began (0: not known); the HTML report shows it.
    std::time_t Started = 0;

    bool Complete() const { return Outcome == RunOutcome::Completed; }
    // True only for a complete run in which every pair exists on both sides, was compared and
    // is identical.
    bool AllIdentical() const;
    std::array<int64_t, kDataPairStatusCount> PairCounts() const;
};

using DataCompareResultsPtr = std::shared_ptr<const DataCompareResults>;

// A value as a cell shows it: NULL as "NULL" (tell it from the text "NULL" with IsNull()),
// numbers and dates exactly, binary as 0x and hex digits, text as it is (a NUL stays a NUL).
std::string DataCellText(const FieldValue& value);

// Sees every row that is not identical, in key order per pair, while the comparison runs (the
// results keep only the first RowKeepLimit of them): the synchronisation script and the rows
// file of the command line are written from here. Called on the comparing thread.
class DataRowSink {
public:
    virtual ~DataRowSink() = default;
    // The pair's key and compared columns are known; its counts are not yet.
    virtual void BeginPair(const DataTableResult& pair) = 0;
    virtual void Row(const DataTableResult& pair, const DataRowDiff& row) = 0;
    // The pair is finished (or stopped: see its Incomplete flag).
    virtual void EndPair(const DataTableResult& pair) = 0;
};

} // namespace orv
