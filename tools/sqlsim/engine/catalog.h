// The per-database catalog: SQL Server's system tables kept as real SQLite tables inside
// each database file, plus the catalog views over them. The DDL executor fills them the way
// SQL Server does; queries read them like any other table.
#pragma once

#include "engine/sqlite_util.h"
#include "engine/types.h"

#include <optional>
#include <string>
#include <vector>

namespace sqlsim {

// Adds to a database file made by an earlier version what its catalog lacks (tables and
// indexes only: views naming them come with a fresh catalog).
void upgradeCatalog(sqlite3* db);
// Creates the system tables, views and fixed rows of a new database file.
void createCatalog(sqlite3* db, int major, const std::string& dbName);
// Creates master's server-wide tables (sysdatabases and sys.databases).
void createMasterTables(sqlite3* db, int major);
// Points the catalog views of a database file at a (new) database name, as after an attach.
void setCatalogDatabaseName(sqlite3* db, const std::string& schema, const std::string& dbName);

struct ObjectRow {
    int id = 0;
    std::string name;
    std::string xtype;
    int uid = 1;
    int parent = 0;
    std::string sqliteName; // the SQLite table or view that holds its rows, if any
};

struct ColumnRow {
    std::string name;
    int colid = 0;
    ColType type;
    bool nullable = true;
    bool identity = false;
    bool computed = false; // syscolumns.iscomputed
};

// Reads and writes the catalog of one database attached to a connection under `schema`
// ("main" or an attachment name).
class Catalog {
public:
    Catalog(sqlite3* db, std::string schema, int major)
        : db_(db), schema_(std::move(schema)), major_(major) {}

    int major() const { return major_; }
    const std::string& schema() const { return schema_; }
    sqlite3* db() const { return db_; }
    std::string t(const std::string& table) const { return sqlId(schema_) + "." + sqlId(table); }

    // Namespaces: owners (version 8) or schemas (9 and later).
    std::optional<int> namespaceId(const std::string& name) const;
    std::string namespaceName(int id) const;
    int defaultNamespace() const { return 1; }
    int addNamespace(const std::string& name, int principal);
    std::optional<int> userId(const std::string& name) const;
    int addUser(const std::string& name, bool isLogin);

    std::optional<ObjectRow> findObject(const std::string& name, std::optional<int> ns) const;
    std::optional<ObjectRow> objectById(int id) const;
    int newObjectId();
    int addObject(const std::string& name, const std::string& xtype, int uid, int parent,
                  const std::string& sqliteName = {});

    std::vector<ColumnRow> columns(int objectId) const;
    void addColumn(int objectId, const ColumnRow& col, int cdefault, std::optional<long long> seed,
                   std::optional<long long> incr);
    void setColumnDefault(int objectId, int colid, int defaultId);

    // User-defined types; nullopt when `name` names none.
    std::optional<ColType> userType(const std::string& name) const;
    void addUserType(const std::string& name, const ColType& base, bool allowNulls, int uid);

    // Index ids: 0 heap, 1 clustered, 2..250 the rest.
    bool hasClustered(int tableId) const;
    int nextIndexId(int tableId) const;
    void addIndex(int tableId, int indid, const std::string& name, int status,
                  const std::vector<int>& colids);
    void addHeapRow(int tableId, const std::string& tableName);
    void dropHeapRow(int tableId);

    void addComments(int id, const std::string& text, bool encrypted);
    void addReference(int constId, int fkeyId, int rkeyId, int rkeyIndid,
                      const std::vector<int>& fkeys, const std::vector<int>& rkeys);

    std::optional<std::pair<long long, long long>> identity(int tableId) const;

private:
    sqlite3* db_;
    std::string schema_;
    int major_;
};

// sysindexes.status bits.
constexpr int kIdxUnique = 2;
constexpr int kIdxClustered = 16;
constexpr int kIdxHypothetical = 32;
constexpr int kIdxPrimaryKey = 2048;
constexpr int kIdxUniqueConstraint = 4096;
constexpr int kIdxAutoStatistics = 8388608;
constexpr int kIdxStatistics = 16777216;

} // namespace sqlsim
