// The keys a user picked for table pairs that have no primary key or usable unique index, kept
// in the data comparisons' ignored-columns file (a section of their own) for the next run.
#pragma once

#include <string>
#include <vector>

namespace orv {

// The remembered key of a pair in the kind-1 INI file (its own section, next to the tables'
// ignored-column sections); empty when none is stored.
std::vector<std::string> LoadPickedKey(const std::string& sourceFullName,
                                       const std::string& targetFullName);
// Stores the key (an empty list forgets it); the file is replaced atomically. False when the
// file could not be written.
bool StorePickedKey(const std::string& sourceFullName, const std::string& targetFullName,
                    const std::vector<std::string>& columns);

} // namespace orv
