// The queries that read one object type of a whole database at once: a listing with each
// object's schema, every module text of the type, and for tables every column and every index
// row. Each returns the rows the panel's per-object queries return, for all objects together,
// with the object's id in front so the rows can be told apart. Only what SQL Server 2000 has is
// used when `later` is false.
#pragma once

#include "catalog/object_types.h"

#include <string>

namespace orv {

// The schema of an object as a column: its owner on a 2000 server, its schema on later ones.
// `alias` is the sysobjects alias the query uses ("" for none).
std::string SchemaColumn(const std::string& alias, bool later);

// name, refdate, id, schema: the panel's listing of a procedure, function, view, trigger or
// table type, in the same order.
std::string BulkListingQuery(ObjectType type, bool ignoreSysObjects, bool later);

// id, colid, text, encrypted of every stored text of the type, by id and colid.
std::string BulkModuleTextQuery(ObjectType type);

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

} // namespace orv
