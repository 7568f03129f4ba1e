#include "engine/sqlite_util.h"

#include <mutex>
#include <unordered_map>

namespace sqlsim {

Db::Db(const std::string& path, bool create) {
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        std::string msg = db_ ? sqlite3_errmsg(db_) : "cannot open";
        sqlite3_close(db_);
        db_ = nullptr;
        throw SqliteError(rc, msg + ": " + path);
    }
    sqlite3_busy_timeout(db_, 10000);
    sqlite3_extended_result_codes(db_, 0);
    // Without this SQLite would read an unknown "name" as a string and hide error 207.
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
}

Db::~Db() {
    if (db_) {
        dropCachedStatements(db_);
        sqlite3_close_v2(db_);
    }
}

Db& Db::operator=(Db&& o) noexcept {
    if (this != &o) {
        if (db_) {
            dropCachedStatements(db_);
            sqlite3_close_v2(db_);
        }
        db_ = std::exchange(o.db_, nullptr);
    }
    return *this;
}

void Db::exec_on(sqlite3* db, const std::string& sql) {
    char* err = nullptr;
    int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
        std::string msg = err ? err : "error";
        sqlite3_free(err);
        throw SqliteError(rc, msg);
    }
}

Stmt::Stmt(sqlite3* db, const std::string& sql) : db_(db) {
    int rc = sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &st_, nullptr);
    if (rc != SQLITE_OK)
        throw SqliteError(rc, sqlite3_errmsg(db));
}

namespace {

// Idle compiled statements by connection and text. Sessions run on their own threads, each
// with its own connection, so the lock is only ever contended briefly.
constexpr size_t kMaxCachedPerDb = 128;
std::mutex gCacheMutex;
std::unordered_map<sqlite3*, std::unordered_map<std::string, sqlite3_stmt*>> gCache;

} // namespace

Stmt Stmt::Cached(sqlite3* db, const std::string& sql) {
    {
        std::lock_guard<std::mutex> lock(gCacheMutex);
        auto perDb = gCache.find(db);
        if (perDb != gCache.end()) {
            auto hit = perDb->second.find(sql);
            if (hit != perDb->second.end()) {
                Stmt st;
                st.st_ = hit->second;
                st.db_ = db;
                st.cacheKey_ = sql;
                perDb->second.erase(hit);
                return st;
            }
        }
    }
    Stmt st(db, sql);
    st.cacheKey_ = sql;
    return st;
}

void Stmt::release() {
    if (!st_)
        return;
    if (!cacheKey_.empty()) {
        sqlite3_reset(st_);
        sqlite3_clear_bindings(st_);
        std::lock_guard<std::mutex> lock(gCacheMutex);
        auto& perDb = gCache[db_];
        if (perDb.size() < kMaxCachedPerDb && perDb.emplace(cacheKey_, st_).second) {
            st_ = nullptr;
            return;
        }
    }
    sqlite3_finalize(st_);
    st_ = nullptr;
}

void dropCachedStatements(sqlite3* db) {
    std::unordered_map<std::string, sqlite3_stmt*> idle;
    {
        std::lock_guard<std::mutex> lock(gCacheMutex);
        auto perDb = gCache.find(db);
        if (perDb == gCache.end())
            return;
        idle.swap(perDb->second);
        gCache.erase(perDb);
    }
    for (auto& [sql, st] : idle)
        sqlite3_finalize(st);
}

Stmt::~Stmt() {
    release();
}

Stmt& Stmt::operator=(Stmt&& o) noexcept {
    if (this != &o) {
        release();
        st_ = std::exchange(o.st_, nullptr);
        db_ = o.db_;
        cacheKey_ = std::move(o.cacheKey_);
    }
    return *this;
}

Stmt& Stmt::bind(int idx, long long v) {
    sqlite3_bind_int64(st_, idx, v);
    return *this;
}
Stmt& Stmt::bind(int idx, const std::string& v) {
    sqlite3_bind_text(st_, idx, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
}
Stmt& Stmt::bindNull(int idx) {
    sqlite3_bind_null(st_, idx);
    return *this;
}
Stmt& Stmt::bindBlob(int idx, const std::string& v) {
    sqlite3_bind_blob(st_, idx, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
}

bool Stmt::step() {
    int rc = sqlite3_step(st_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    throw SqliteError(rc, sqlite3_errmsg(db_));
}

void Stmt::reset() {
    sqlite3_reset(st_);
    sqlite3_clear_bindings(st_);
}

std::string Stmt::text(int col) const {
    const unsigned char* p = sqlite3_column_text(st_, col);
    int n = sqlite3_column_bytes(st_, col);
    return p ? std::string(reinterpret_cast<const char*>(p), n) : std::string();
}

std::string sqlId(const std::string& name) {
    std::string r = "\"";
    for (char c : name) {
        if (c == '"')
            r += '"';
        r += c;
    }
    return r + "\"";
}

std::string sqlStr(const std::string& text) {
    std::string r = "'";
    for (char c : text) {
        if (c == '\'')
            r += '\'';
        r += c;
    }
    return r + "'";
}

} // namespace sqlsim
