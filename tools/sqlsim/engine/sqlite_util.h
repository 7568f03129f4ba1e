// Thin RAII wrappers over the SQLite C API used throughout the engine.
#pragma once

#include <sqlite3.h>

#include <stdexcept>
#include <string>
#include <utility>

namespace sqlsim {

class SqliteError : public std::runtime_error {
public:
    SqliteError(int code, const std::string& msg) : std::runtime_error(msg), code_(code) {}
    int code() const { return code_; }

private:
    int code_;
};

class Db {
public:
    Db() = default;
    explicit Db(const std::string& path, bool create = true);
    ~Db();
    Db(Db&& o) noexcept : db_(std::exchange(o.db_, nullptr)) {}
    Db& operator=(Db&& o) noexcept;
    Db(const Db&) = delete;
    Db& operator=(const Db&) = delete;

    sqlite3* get() const { return db_; }
    explicit operator bool() const { return db_ != nullptr; }
    void exec(const std::string& sql) { exec_on(db_, sql); }
    static void exec_on(sqlite3* db, const std::string& sql);
    std::string errmsg() const { return db_ ? sqlite3_errmsg(db_) : "no database"; }

private:
    sqlite3* db_ = nullptr;
};

class Stmt {
public:
    Stmt() = default;
    Stmt(sqlite3* db, const std::string& sql);
    // A statement whose compiled form is kept for the next Stmt of the same text on the same
    // connection. For the catalog's fixed lookups, which a catalog function may run once per
    // row of a large query: compiling them costs far more than running them. Only texts from a
    // small fixed set may be cached (values go in as parameters), never a client's SQL.
    static Stmt Cached(sqlite3* db, const std::string& sql);
    ~Stmt();
    Stmt(Stmt&& o) noexcept
        : st_(std::exchange(o.st_, nullptr)), db_(o.db_), cacheKey_(std::move(o.cacheKey_)) {}
    Stmt& operator=(Stmt&& o) noexcept;
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;

    sqlite3_stmt* get() const { return st_; }
    Stmt& bind(int idx, long long v);
    Stmt& bind(int idx, const std::string& v);
    Stmt& bindNull(int idx);
    Stmt& bindBlob(int idx, const std::string& v);
    // True while a row is available; throws on error.
    bool step();
    void reset();
    long long integer(int col) const { return sqlite3_column_int64(st_, col); }
    std::string text(int col) const;
    bool isNull(int col) const { return sqlite3_column_type(st_, col) == SQLITE_NULL; }

private:
    void release();

    sqlite3_stmt* st_ = nullptr;
    sqlite3* db_ = nullptr;
    // The text under which the statement goes back to the cache; empty when not cached.
    std::string cacheKey_;
};

// Finalizes the cached statements of a connection that is about to close.
void dropCachedStatements(sqlite3* db);

// Quotes an identifier for SQLite ("a""b").
std::string sqlId(const std::string& name);
// Quotes a string literal for SQLite ('a''b').
std::string sqlStr(const std::string& text);

} // namespace sqlsim
