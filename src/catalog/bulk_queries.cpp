#include "catalog/bulk_queries.h"

#include "catalog/key_scripts.h"
#include "catalog/listing.h"
#include "catalog/table_script.h"

namespace orv {

std::string SchemaColumn(const std::string& alias, bool later) {
    const std::string prefix = alias.empty() ? "" : alias + ".";
    return later ? "OBJECT_SCHEMA_NAME(" + prefix + "id)" : "USER_NAME(" + prefix + "uid)";
}

std::string BulkListingQuery(ObjectType type, bool ignoreSysObjects, bool later) {
    std::string condition = ListingCondition(type);
    if (ignoreSysObjects)
        condition += " and xtype <> 'S' ";
    return "select name, refdate, id, " + SchemaColumn("", later) +
           " AS [schema] from sysobjects where " + condition + " order by name";
}

std::string BulkModuleTextQuery(ObjectType type) {
    // The condition names the object by "id", which here is the stored text's own column.
    return "SELECT id, colid, text, encrypted FROM syscomments WHERE (" + ListingCondition(type) +
           ") ORDER BY id, colid";
}

std::string BulkTableColumnsQuery() {
    // ident_seed by the table's name, as the panel asks by the name it lists: a table outside
    // the default schema gets no seed that way, on the panel and here alike.
    return TableColumnsSql("sco.id AS tableid, ", "sob.name",
                           "WHERE OBJECTPROPERTY(sob.id, N'IsUserTable') = 1 ",
                           "sco.id, sco.colorder");
}

std::string BulkTableIndexesQuery() {
    return TableIndexesSql("so2.id AS tableid, ", "", false, "so2.id, sk.indid, sk.keyno");
}

std::string BulkRelationshipsQuery(bool later) {
    return RelationshipRowsQuery(", so.refdate AS refdate, so.id AS id, " +
                                     SchemaColumn("so", later) + " AS [schema]",
                                 "", "ORDER BY so.name, so.id");
}

std::string BulkConstraintsQuery(bool later) {
    return ConstraintRowsQuery(true, ", sk.keyno, " + SchemaColumn("so2", later) + " AS [schema]",
                               " si.name LIKE 'pk%' AND ", "ORDER BY si.name, so2.id, sk.keyno");
}

} // namespace orv
