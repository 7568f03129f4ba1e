// Helpers shared by the files that implement T-SQL functions as SQLite functions.
#pragma once

#include "engine/session.h"

#include <sqlite3.h>

#include <string>

namespace sqlsim::fn {

inline SessionImpl* session(sqlite3_context* ctx) {
    return static_cast<SessionImpl*>(sqlite3_user_data(ctx));
}

inline std::string argText(sqlite3_value* v) {
    const unsigned char* p = sqlite3_value_text(v);
    return p ? std::string(reinterpret_cast<const char*>(p), sqlite3_value_bytes(v))
             : std::string();
}

inline bool isNull(sqlite3_value* v) {
    return sqlite3_value_type(v) == SQLITE_NULL;
}

inline void resultText(sqlite3_context* ctx, const std::string& s) {
    sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

struct Def {
    const char* name;
    int argc;
    void (*fn)(sqlite3_context*, int, sqlite3_value**);
    bool deterministic;
};

inline void registerAll(sqlite3* db, SessionImpl* s, const Def* defs, size_t n) {
    for (size_t k = 0; k < n; ++k)
        sqlite3_create_function_v2(db, defs[k].name, defs[k].argc,
                                   SQLITE_UTF8 | (defs[k].deterministic ? SQLITE_DETERMINISTIC : 0),
                                   s, defs[k].fn, nullptr, nullptr, nullptr);
}

// HASHBYTES.
void registerHashFunctions(sqlite3* db, SessionImpl* s);
// A value's bytes as CAST(... AS varbinary) gives them.
std::string BinaryForm(sqlite3_value* v);

// OBJECTPROPERTY, OBJECT_ID, serverproperty and the other functions that read the catalog.
void registerCatalogFunctions(sqlite3* db, SessionImpl* s);

} // namespace sqlsim::fn
