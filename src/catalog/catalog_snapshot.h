// A snapshot: the catalog rows the bulk reader got from one database, kept in one file so the
// database as it was then can be compared later as if it were still live. It holds every
// result under every reading option (with and without system objects, plain and complete
// table scripts), so any comparison's options can be applied to it afterwards.
//
// The file (format 1; 1.1 added the results a scripts folder is written from, see
// catalog_keys.h): a first line "ORVANE-SNAPSHOT <major>.<minor>", header lines
// "<key> <value>" up to an empty line, then sections "<word> <byte length> <name>\n" followed
// by that many bytes, and last a line "end". A reader skips header keys and section words it
// does not know, so a later release may add them; a newer major format is refused. Values and
// names escape backslash, tab, CR and LF; cells are length-prefixed, so texts are kept byte
// for byte. A section "same" holds only the name of an earlier result it equals (a listing
// with system objects that has none).
#pragma once

#include "catalog/bulk_queries.h"
#include "catalog/catalog_rows.h"
#include "util/progress.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace orv {

constexpr int kSnapshotFormatMajor = 1;
constexpr int kSnapshotFormatMinor = 1;
// The extension the file dialogs offer.
constexpr const char* kSnapshotExtension = ".orvsnap";

struct SnapshotHeader {
    int FormatMajor = kSnapshotFormatMajor;
    int FormatMinor = kSnapshotFormatMinor;
    std::string Server;      // as the person named it
    std::string VersionText; // as the server gave it
    int32_t VersionMajor = 0;
    std::string Database;
    std::string Taken; // UTC, "YYYY-MM-DD hh:mm:ss"
};

struct CatalogSnapshot {
    SnapshotHeader Header;
    std::map<std::string, CatalogResult> Results;
};

using CatalogSnapshotPtr = std::shared_ptr<const CatalogSnapshot>;

// The time now as the header keeps it.
std::string SnapshotTimeNow();

// Writes the file all or nothing; false with a message naming the file.
bool WriteSnapshotFile(const std::string& path, const CatalogSnapshot& snapshot,
                       std::string& error);
// The file's text, as WriteSnapshotFile writes it.
std::string SnapshotFileBytes(const CatalogSnapshot& snapshot);
// Reads a file; false with a message naming the file when it cannot be read, is not a
// snapshot, is cut short or damaged, or is of a newer major format.
bool ReadSnapshotFile(const std::string& path, CatalogSnapshot& snapshot, std::string& error);
bool ParseSnapshotBytes(const std::string& path, const std::string& bytes,
                        CatalogSnapshot& snapshot, std::string& error);

// "<database> (snapshot of <server>, <time>)": how a panel and a report name a snapshot.
std::string SnapshotTitle(const SnapshotHeader& header);

// A snapshot as the bulk reader's source: its rows are the kept ones. It has fingerprints when
// it kept the server's for every module type: a snapshot kept while a hash-first comparison
// read them (compare-all --snapshot-out), not one taken alone, which would grow by a tenth and
// take a fifth longer for them. A comparison with a snapshot without them reads texts in full
// on both sides.
class SnapshotRows : public CatalogRows {
public:
    SnapshotRows(CatalogSnapshotPtr snapshot, std::string file)
        : snapshot_(std::move(snapshot)), file_(std::move(file)) {}
    bool Facts(ServerFacts& facts, OdbcError& error, std::string& failedSql) override;
    bool Rows(const std::string& key, const std::string& sql, const CatalogRowSink& onRow,
              OdbcError& error) override;
    bool Fingerprints() const override;
    bool WholeModuleFingerprints() const override;
    bool Holds(const std::string& key) const override { return snapshot_->Results.count(key) > 0; }

private:
    bool HoldsFingerprints(FingerprintForm form) const;

    CatalogSnapshotPtr snapshot_;
    std::string file_;
};

// Reads every result a snapshot keeps through `rows` (a recording source keeps them, and
// answers those it holds already without asking again). `progress` hears of each object.
bool GatherSnapshotRows(RecordingCatalogRows& rows, const ServerFacts& facts,
                        const CancelToken& cancel,
                        const std::function<void(const std::string&)>& progress, OdbcError& error,
                        std::string& failedSql);

// Takes a snapshot of a live database: its facts, then every result. False with `error`.
bool TakeSnapshot(const QueryPlace& place, const std::string& serverName, const CancelToken& cancel,
                  const std::function<void(const std::string&)>& progress,
                  CatalogSnapshot& snapshot, OdbcError& error, std::string& failedSql);

} // namespace orv
