// The hashed mode of the data comparison: both servers checksum the same key ranges (a count
// and two sums over a per-row hash of the compared columns); ranges whose checksums match are
// counted as identical, ranges that differ are split at the keys of one side and checked
// again, and small differing ranges are fetched and merged like the whole tables in merge
// mode. A checksum only ever prunes: every difference reported comes from the rows.
#pragma once

#include "dbcompare/data_hash_settings.h"
#include "dbcompare/data_merge.h"
#include "dbcompare/data_sql.h"

#include <functional>

namespace orv {

// Compares the pair range by range. False with `error` on a failure or a stop (tick false, or
// `cancel` set: that also cuts a running checksum short).
bool HashComparePair(const QueryPlace place[2], const TableInfo info[2], const PairPlan& plan,
                     DataTableResult& pair, PairMerger& merger, const CancelToken& cancel,
                     const std::function<bool(OdbcError&)>& tick, OdbcError& error,
                     const HashSettings& settings = {});

} // namespace orv
