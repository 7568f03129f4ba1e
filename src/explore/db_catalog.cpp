#include "explore/db_catalog.h"

#include "catalog/object_types.h"
#include "explore/module_references.h"
#include "util/text.h"

namespace orv {

const CatalogTypeRead* DbCatalog::Find(ObjectType type) const {
    auto it = Types.find(type);
    return it == Types.end() ? nullptr : &it->second;
}

const std::vector<ObjectType>& SearchableTypes() {
    static const std::vector<ObjectType> types = {kTypeTable, kTypeProcedure, kTypeFunction,
                                                  kTypeView, kTypeTrigger};
    return types;
}

CatalogLoad LoadDbCatalog(const QueryPlace& place, const std::vector<ObjectType>& types,
                          const CatalogReadOptions& options, DbCatalogPtr base,
                          ProgressSink& progress, const CancelToken& cancel) {
    CatalogLoad result;
    auto catalog = base ? std::make_shared<DbCatalog>(*base) : std::make_shared<DbCatalog>();
    catalog->Server = place.Server.Name;
    catalog->Database = place.Database;
    auto stopped = [&] {
        result.Outcome = RunOutcome::Cancelled;
        result.Problem = kStoppedByUser;
        return result;
    };
    OdbcError error;
    std::string sql;
    if (!base) {
        progress.Begin("Connecting to " + place.Database, 0);
        if (!ReadServerFacts(place, cancel, catalog->Facts, error, sql)) {
            if (cancel.cancelRequested())
                return stopped();
            result.Outcome = RunOutcome::Failed;
            result.Problem = error.description;
            result.ErrorNumber = error.number;
            result.FailedSql = sql;
            return result;
        }
    }
    BulkCatalogReader reader(place, catalog->Facts, options, cancel,
                             [&progress](const std::string& item) { progress.Advance(1, item); });
    for (ObjectType type : types) {
        if (catalog->Has(type))
            continue;
        if (cancel.cancelRequested())
            return stopped();
        progress.Begin(
            "Reading " + ToLowerAscii(GetObjectTypeName(type, false)) + " of " + place.Database, 0);
        CatalogTypeRead read;
        if (!reader.ReadType(type, read, error, sql)) {
            if (cancel.cancelRequested())
                return stopped();
            result.Outcome = RunOutcome::Failed;
            result.Problem = error.description;
            result.ErrorNumber = error.number;
            result.FailedSql = sql;
            return result;
        }
        catalog->Types[type] = std::move(read);
    }
    if (cancel.cancelRequested())
        return stopped();
    result.Catalog = std::move(catalog);
    return result;
}

std::string DbCatalogCache::Key(const std::string& server, const std::string& database) {
    // Server names and database names compare without regard to case.
    return UpperName(server) + '\x1f' + UpperName(database);
}

DbCatalogPtr DbCatalogCache::Find(const std::string& server, const std::string& database,
                                  const std::vector<ObjectType>& types) const {
    DbCatalogPtr c = Any(server, database);
    if (!c)
        return nullptr;
    for (ObjectType t : types)
        if (!c->Has(t))
            return nullptr;
    return c;
}

DbCatalogPtr DbCatalogCache::Any(const std::string& server, const std::string& database) const {
    std::lock_guard lock(mutex_);
    auto it = catalogs_.find(Key(server, database));
    return it == catalogs_.end() ? nullptr : it->second;
}

CatalogLoad DbCatalogCache::Load(const QueryPlace& place, const std::vector<ObjectType>& types,
                                 const CatalogReadOptions& options, ProgressSink& progress,
                                 const CancelToken& cancel) {
    if (DbCatalogPtr ready = Find(place.Server.Name, place.Database, types)) {
        CatalogLoad done;
        done.Catalog = std::move(ready);
        return done;
    }
    CatalogLoad load = LoadDbCatalog(place, types, options, Any(place.Server.Name, place.Database),
                                     progress, cancel);
    if (load.Catalog)
        Put(load.Catalog);
    return load;
}

void DbCatalogCache::Put(DbCatalogPtr catalog) {
    if (!catalog)
        return;
    std::lock_guard lock(mutex_);
    catalogs_[Key(catalog->Server, catalog->Database)] = std::move(catalog);
}

void DbCatalogCache::DropServer(const std::string& server) {
    std::lock_guard lock(mutex_);
    const std::string prefix = UpperName(server) + '\x1f';
    for (auto it = catalogs_.begin(); it != catalogs_.end();)
        it = it->first.compare(0, prefix.size(), prefix) == 0 ? catalogs_.erase(it) : std::next(it);
}

void DbCatalogCache::Clear() {
    std::lock_guard lock(mutex_);
    catalogs_.clear();
}

} // namespace orv
