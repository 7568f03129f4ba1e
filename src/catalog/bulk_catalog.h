// Reads one object type of one database in a handful of queries and builds, for every object,
// the very text the panel shows for it: the same line builders run over the bulk rows of each
// object. Runs on a worker thread: it talks to no window and no process-wide flag, and its
// token cuts it short, the running query included.
#pragma once

#include "catalog/bulk_queries.h"
#include "catalog/catalog_rows.h"
#include "catalog/object_ref.h"
#include "catalog/object_types.h"
#include "servers/server_facts.h"
#include "servers/worker_query.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace orv {

struct CatalogReadOptions {
    bool IgnoreSysObjects = true;
    bool IgnoreIndexes = false;
    bool CompleteTableScripts = false;
    // In complete table scripts, constraints named by the server are written without names.
    bool IgnoreSystemConstraintNames = false;
};

// One object as the bulk reader found it.
struct CatalogObject {
    ObjectRef Ref;
    // The name the panel's list shows (schema-prefixed where the list prefixes it).
    std::string ListedName;
    // The text the panel shows for the object (CR LF line breaks).
    std::string Text;
    // False when the object has no text to compare; Reason then says why ("encrypted", ...).
    bool Readable = true;
    std::string Reason;
    // Tables: the rows of the column query and the part after the column lines, from which the
    // text without ignored columns is built.
    std::vector<Row> ColumnRows;
    std::string AfterColumns;
    // Hash-first reading: the fingerprint of the stored text (empty when there is none to
    // trust: no stored text, a NULL piece, an encrypted module) and its length in bytes as the
    // server stores it. TextRead is false while Text has not been fetched.
    std::string Fingerprint;
    int64_t TextLength = 0;
    bool TextRead = true;
};

struct CatalogTypeRead {
    ObjectType Type = kTypeNone;
    std::vector<FieldInfo> ColumnFields; // of ColumnRows
    std::vector<CatalogObject> Objects;  // in the listing's order
};

// The reason words of objects that cannot be compared.
constexpr const char* kReasonEncrypted = "encrypted";
constexpr const char* kReasonNoText = "no text";

// The name a snapshot keeps a module type's fingerprints of one form under.
std::string FingerprintsKey(ObjectType type, FingerprintForm form);

class BulkCatalogReader {
public:
    // `progress` is told after each object is built (its listed name); it must be cheap.
    BulkCatalogReader(QueryPlace place, ServerFacts facts, CatalogReadOptions options,
                      const CancelToken& cancel,
                      std::function<void(const std::string& item)> progress = nullptr);
    // Reads its rows from `rows` (a live database or a snapshot), which must outlive it.
    BulkCatalogReader(CatalogRows& rows, ServerFacts facts, CatalogReadOptions options,
                      const CancelToken& cancel,
                      std::function<void(const std::string& item)> progress = nullptr);

    // Reads every object of the type. False when a query failed or was stopped; `error` and
    // `failedSql` then say which.
    bool ReadType(ObjectType type, CatalogTypeRead& out, OdbcError& error, std::string& failedSql);

    // Hash-first reading of a module type (procedures, functions, views, triggers): the
    // listing with each object's fingerprint, no text read (TextRead false). `form` must not
    // be None.
    bool ReadFingerprints(ObjectType type, FingerprintForm form, CatalogTypeRead& out,
                          OdbcError& error, std::string& failedSql);
    // The listing of a module or table type alone (TextRead false), for a reader that then
    // fetches the texts of a few objects with ReadTexts.
    bool ReadNames(ObjectType type, CatalogTypeRead& out, OdbcError& error, std::string& failedSql);
    // Reads the texts of the objects at these positions of out.Objects, in batches of ids,
    // and builds each as the full read does.
    bool ReadTexts(CatalogTypeRead& out, const std::vector<size_t>& which, OdbcError& error,
                   std::string& failedSql);

    // Reads the texts of every object of out.Objects through the type's whole text result,
    // as the full read does: a snapshot's side of a hash-first comparison, whose texts are
    // all at hand anyway.
    bool ReadAllTexts(CatalogTypeRead& out, OdbcError& error, std::string& failedSql);

    // The queries reading `type` sends (the fingerprints of a module type unless `form` is
    // None), as Prefetch takes them.
    std::vector<std::string> PlannedStatements(ObjectType type, FingerprintForm form) const;
    // The queries ReadTexts sends for these objects.
    static std::vector<std::string> TextStatements(const CatalogTypeRead& out,
                                                   const std::vector<size_t>& which);
    // Sends the queries as one batch, a single round trip, where the rows come from a server:
    // the reads that send the same queries later are answered from what came, once. A batch
    // the server refuses keeps nothing, so each query then goes on its own and a failure is
    // reported against the query that caused it; false only when the run was stopped.
    bool Prefetch(const std::vector<std::string>& statements, OdbcError& error,
                  std::string& failedSql);

    // The table's text without the named columns, from the same rows as its text.
    static std::string TableTextWithout(const CatalogTypeRead& read, const CatalogObject& table,
                                        const std::vector<std::string>& ignored);

private:
    // Runs `sql` (the result `key`), handing each row to `onRow`; false when it failed or was
    // stopped.
    bool Run(const std::string& key, const std::string& sql, const CatalogRowSink& onRow,
             OdbcError& error, std::string& failedSql);
    // Runs `sql` and keeps its whole result: its fields and every row.
    bool RunAll(const std::string& key, const std::string& sql, std::vector<FieldInfo>& fields,
                std::vector<Row>& rows, OdbcError& error, std::string& failedSql);
    bool ReadListing(ObjectType type, CatalogTypeRead& out, OdbcError& error,
                     std::string& failedSql);
    bool ReadModules(CatalogTypeRead& out, OdbcError& error, std::string& failedSql);
    // Runs a module text query and builds the text of each object of `indexById` it names.
    bool ReadModuleRows(const std::string& key, const std::string& sql, CatalogTypeRead& out,
                        const std::unordered_map<int32_t, size_t>& indexById, OdbcError& error,
                        std::string& failedSql);
    bool ReadTables(CatalogTypeRead& out, OdbcError& error, std::string& failedSql);
    bool ReadRelationships(CatalogTypeRead& out, OdbcError& error, std::string& failedSql);
    bool ReadConstraints(CatalogTypeRead& out, OdbcError& error, std::string& failedSql);
    // The listed names as the panel's list shows them.
    void QualifyListedNames(CatalogTypeRead& out) const;
    void Built(const CatalogObject& object);

    std::unique_ptr<CatalogRows> ownRows_;
    CatalogRows& rows_;
    ServerFacts facts_;
    CatalogReadOptions options_;
    const CancelToken& cancel_;
    std::function<void(const std::string&)> progress_;
};

} // namespace orv
