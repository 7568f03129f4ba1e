// How the hashed mode of the data comparison cuts a table into key ranges.
#pragma once

#include <cstdint>

namespace orv {

struct HashSettings {
    // A table is checksummed whole first when it has no more rows than this (0: any size; -1:
    // never), so that identical tables cost one pass. The comparison derives it from the
    // command timeout when the request leaves it 0.
    int64_t WholeRangeRows = 0;
    // The first split of a differing table aims at parts of this many rows, in MinFirstFanout
    // to MaxFirstFanout parts: a first split too coarse finds every part different.
    int64_t FirstPartRows = 2048;
    int MinFirstFanout = 32;
    int MaxFirstFanout = 1024;
    int Fanout = 8;           // parts a differing range is split into further down
    int64_t SmallRange = 256; // a differing range with no more rows on either side is fetched
};

} // namespace orv
