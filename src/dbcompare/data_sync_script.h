// The T-SQL that would make the target tables equal the source tables: the DELETEs of rows
// only in the target (tables that reference others first), then the UPDATEs of the differing
// columns and the INSERTs of rows only in the source (referenced tables first), IDENTITY_INSERT
// around inserts into an identity column, all in one transaction. Foreign keys in a cycle (or
// a table referencing itself) are switched off for the script and checked again at its end;
// the target's triggers on the changed tables can be switched off around it. A header names
// both databases, and a guard stops the script in any database but the target. Every name is
// bracketed and every value a typed, escaped literal. The program shows and saves the script;
// it never runs it.
#pragma once

#include "dbcompare/data_compare.h"
#include "export/spool_text.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

// Writes the script as rows arrive (give it to a request as its RowSink). Conflicting rows
// are left out with a comment saying why.
class SyncScriptWriter final : public DataRowSink {
public:
    // `spool`: the statements wait in a temporary file instead of memory (a script of a
    // million rows to be written to a file); otherwise they are kept in memory.
    explicit SyncScriptWriter(bool spool = false);
    SyncScriptWriter(const SyncScriptWriter&) = delete;
    SyncScriptWriter& operator=(const SyncScriptWriter&) = delete;

    void BeginPair(const DataTableResult& pair) override;
    void Row(const DataTableResult& pair, const DataRowDiff& row) override;
    void EndPair(const DataTableResult& pair) override;
    // The whole script for the tables written so far. `run` gives the server and database
    // names, the target's version and its foreign keys (the results of the comparison the rows
    // came from).
    std::string Script(const DataCompareResults& run = {},
                       const SyncScriptOptions& options = {}) const;
    // The same script handed to `write` piece by piece, never whole. False when `write` failed
    // or the temporary file of a spooling writer could not be used (SpoolProblem says why).
    bool WriteScript(const std::function<bool(std::string_view)>& write,
                     const DataCompareResults& run = {},
                     const SyncScriptOptions& options = {}) const;
    const std::string& SpoolProblem() const { return spool_.Problem(); }
    // Statements written (DELETE, UPDATE and INSERT).
    int64_t Statements() const { return statements_; }

    // One target table's part of the script.
    struct TableSection {
        explicit TableSection(SpoolFile& spool, size_t tailLimit)
            : Comments(spool, tailLimit), Deletes(spool, tailLimit), Updates(spool, tailLimit),
              Inserts(spool, tailLimit) {}
        std::string Schema, Name; // the target table
        std::string Head;         // what the whole table's part says first
        SpoolText Comments;       // why rows are missing or left alone
        SpoolText Deletes, Updates, Inserts;
        bool Identity = false; // the inserts name the identity column
    };

private:
    TableSection NewSection() { return TableSection(spool_, tailLimit_); }

    SpoolFile spool_;
    size_t tailLimit_;
    std::vector<TableSection> tables_;
    TableSection current_;
    int64_t statements_ = 0;
};

// True when the results hold every differing row of the pair (none cut, not incomplete), so
// its script can be built from them without comparing again.
bool ResultsHoldEveryRow(const DataTableResult& pair);

// The script for the chosen pairs of the results (indexes into Tables); pairs that are not
// Different are left out. Call only when ResultsHoldEveryRow holds for each of them.
std::string SyncScriptFromResults(const DataCompareResults& results,
                                  const std::vector<size_t>& tables,
                                  const SyncScriptOptions& options = {});

// Compares the request's pairs again and builds the script from every differing row (written
// as the request's Sync options say). False
// with `error` when the run did not complete.
bool CompareForSyncScript(const DataCompareRequest& request, ProgressSink& progress,
                          const CancelToken& cancel, std::string& script, std::string& error);

} // namespace orv
