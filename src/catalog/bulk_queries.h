// The queries that read one object type of a whole database at once: a listing with each
// object's schema, every module text of the type, and for tables every column and every index
// row. Each returns the rows the panel's per-object queries return, for all objects together,
// with the object's id in front so the rows can be told apart. Only what SQL Server 2000 has is
// used when `later` is false.
#pragma once

#include "catalog/object_types.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orv {

// The schema of an object as a column: its owner on a 2000 server, its schema on later ones.
// `alias` is the sysobjects alias the query uses ("" for none).
std::string SchemaColumn(const std::string& alias, bool later);

// The join that gives the schema of the object aliased `alias` as the column sch.name: the
// owner from sysusers on a 2000 server, the schema from sys.schemas on later ones. Where a
// whole result needs the schema, a join reads it once instead of a function per row.
std::string SchemaJoin(const std::string& alias, bool later);

// name, refdate, id, schema: the panel's listing of a procedure, function, view, trigger or
// table type, in the same order.
std::string BulkListingQuery(ObjectType type, bool ignoreSysObjects, bool later);

// id, colid, text, encrypted of every stored text of the type, by id and colid.
std::string BulkModuleTextQuery(ObjectType type);

// How module texts are read: every text (full), or fingerprints first and texts only of the
// objects whose fingerprints differ (hash-first); auto takes hash-first where both servers
// can fingerprint.
enum class CompareReading { Auto, Full, HashFirst };

// "auto", "full", "hash-first".
const char* CompareReadingWord(CompareReading reading);
// The reading a word names (as CompareReadingWord writes it, any letter case); nothing for
// any other word.
std::optional<CompareReading> ParseCompareReading(const std::string& word);

// How a server fingerprints its module texts for the hash-first reading.
enum class FingerprintForm {
    None,        // no usable hash (SQL Server 2000): texts are read whole
    CommentRows, // HASHBYTES of each 4,000-character syscomments row (2005 to 2014)
    WholeModule, // HASHBYTES of the whole sys.sql_modules definition (2016 and later)
};

// The form both servers of a comparison can give: fingerprints are compared across the two,
// so both must hash the same pieces the same way; the older server decides.
FingerprintForm SharedFingerprintForm(int32_t majorA, int32_t majorB);

// One row per stored piece of text of every module of the type, in the listing's order:
// id, name, refdate, schema, colid, textlength (bytes), fingerprint (varbinary; NULL when the
// piece is NULL), encrypted. An object without stored text gives one row with NULL piece
// columns. With CommentRows the pieces are the syscomments rows (colid order); with
// WholeModule there is one piece, the definition, and encrypted is 1 where it is hidden.
std::string BulkFingerprintQuery(ObjectType type, FingerprintForm form, bool later);

// The module text query for the objects with these ids only: id, colid, text, encrypted.
std::string ModuleTextsByIdQuery(const std::vector<int32_t>& ids);

// tableid and the column query's columns, for every user table, by table and column order.
std::string BulkTableColumnsQuery();

// tableid and the index query's columns, for every table, by table, index and key order.
std::string BulkTableIndexesQuery();

// The relationship rows of every foreign key, with refdate, id and schema of the key: the
// listing and the texts of the relationships in one.
std::string BulkRelationshipsQuery(bool later);

// The clustered-key rows of every key the constraint listing shows, one per key column in key
// order, with the table's schema: the listing and the texts of the constraints in one.
std::string BulkConstraintsQuery(bool later);

// name, basetype, length, prec, scale, allownulls, schema of every user-defined data type
// (alias type), by name.
std::string BulkUserTypesQuery(bool later);

// tableid, identityseed, identityincrement of every identity column of a user table, the seed
// and increment read by the table's qualified name ("[schema].[name]"), as a script that is to
// be run asks for them: by the bare name a table outside the default schema has none.
std::string BulkIdentitySeedsQuery(bool later);

} // namespace orv
