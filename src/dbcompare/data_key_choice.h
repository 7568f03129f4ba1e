// What the key dialog offers for a table pair: the key a comparison would choose and every
// column both tables could be matched on. Read from both servers; run it off the window's
// thread.
#pragma once

#include "dbcompare/data_compare.h"

#include <string>
#include <vector>

namespace orv {

// The key of a pair as a comparison would choose it, and the columns a user may pick from.
struct KeyChoice {
    KeyOrigin Origin = KeyOrigin::None; // None: no key found (Columns empty)
    std::vector<std::string> Columns;
    // Columns on both sides with compatible types, in the source's order (ignored columns
    // left out): what the pick dialog offers.
    std::vector<std::string> Candidates;
    // Why the key found cannot be used ("no key", "the key's types differ: ..."); empty when
    // it can.
    std::string Problem;
};

// Reads both tables' columns and keys (a primary key, else the first unique index or
// constraint with no nullable column, else the remembered pick). False with `error` when a
// table could not be read or `cancel` stopped the reading.
bool ReadKeyChoice(const QueryPlace place[2], const DataTablePair& pair,
                   const std::vector<std::string>& ignoredColumns,
                   const std::vector<std::string>& rememberedKey, const CancelToken& cancel,
                   KeyChoice& choice, std::string& error);

} // namespace orv
