// Pairs of databases for the deployment round trip, made from a seed: a small order-entry
// schema (tables with keys, defaults, CHECKs, uniques, indexes and foreign keys, views on
// views, functions of every kind, procedures, triggers, odd names) and a copy of it changed by
// a handful of mutations, some of them made with sp_rename after the copy is created (a
// column, a module, as a user renames them in place). Both sides hold rows that fit both
// structures, so a deployment in either direction can keep every one of them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orv::test {

struct GeneratedPair {
    // The base schema and the changed copy as structures; Script renders one of them.
    struct Schema;
    std::vector<std::string> Mutations; // one line each, for a failing seed's message
    // Columns the changed copy renamed with sp_rename: a deployment is told of them as
    // confirmed renames (base name to changed name, or back).
    struct RenamedColumn {
        std::string Schema, Table, BaseName, ChangedName;
    };
    std::vector<RenamedColumn> RenamedColumns;
    std::string BaseScript(const std::string& database) const;
    std::string ChangedScript(const std::string& database) const;

    std::shared_ptr<const Schema> base_, changed_;
};

// The pair of `seed` for a server of that generation (schemas other than dbo only on later
// ones).
GeneratedPair GeneratePair(uint32_t seed, bool later);

} // namespace orv::test
