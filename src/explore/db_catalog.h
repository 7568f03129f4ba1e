// One database's catalog read in bulk, kept per database until the user refreshes: the search
// and the reference check read it instead of asking the server again for every object.
#pragma once

#include "catalog/bulk_catalog.h"
#include "util/progress.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace orv {

struct DbCatalog {
    std::string Server;
    std::string Database;
    ServerFacts Facts;
    // The types read so far, each complete.
    std::map<ObjectType, CatalogTypeRead> Types;

    bool Has(ObjectType type) const { return Types.count(type) > 0; }
    const CatalogTypeRead* Find(ObjectType type) const;
};

using DbCatalogPtr = std::shared_ptr<const DbCatalog>;

// How a load ended: the catalog (when it completed), or why not.
struct CatalogLoad {
    DbCatalogPtr Catalog;
    RunOutcome Outcome = RunOutcome::Completed;
    std::string Problem; // the server's message, or "Stopped by the user."
    int32_t ErrorNumber = 0;
    std::string FailedSql;
};

// The types a search may cover, in the type selector's order.
const std::vector<ObjectType>& SearchableTypes();

// Reads the types of `place`'s database, telling `progress` object by object; `cancel` stops
// it within a moment, the running query included. `base` (may be null) holds types read
// before, which are kept and not read again.
CatalogLoad LoadDbCatalog(const QueryPlace& place, const std::vector<ObjectType>& types,
                          const CatalogReadOptions& options, DbCatalogPtr base,
                          ProgressSink& progress, const CancelToken& cancel);

// The catalogs read so far, by server and database; safe to use from several threads.
class DbCatalogCache {
public:
    // The catalog when it holds every one of `types`, else null.
    DbCatalogPtr Find(const std::string& server, const std::string& database,
                      const std::vector<ObjectType>& types) const;
    // The catalog as far as it was read (any types), or null.
    DbCatalogPtr Any(const std::string& server, const std::string& database) const;
    // Reads what is missing of `types` and keeps the result.
    CatalogLoad Load(const QueryPlace& place, const std::vector<ObjectType>& types,
                     const CatalogReadOptions& options, ProgressSink& progress,
                     const CancelToken& cancel);
    void Put(DbCatalogPtr catalog);
    // Forgets every database of the server (Refresh reads them again).
    void DropServer(const std::string& server);
    void Clear();

private:
    static std::string Key(const std::string& server, const std::string& database);
    mutable std::mutex mutex_;
    std::map<std::string, DbCatalogPtr> catalogs_;
};

} // namespace orv
