#include "catalog/bulk_queries.h"

#include "catalog/key_scripts.h"
#include "catalog/listing.h"
#include "catalog/table_script.h"
#include "util/text.h"

#include <algorithm>

namespace orv {

const char* CompareReadingWord(CompareReading reading) {
    switch (reading) {
    case CompareReading::Full:
        return "full";
    case CompareReading::HashFirst:
        return "hash-first";
    case CompareReading::Auto:
        break;
    }
    return "auto";
}

std::optional<CompareReading> ParseCompareReading(const std::string& word) {
    for (CompareReading r : {CompareReading::Auto, CompareReading::Full, CompareReading::HashFirst})
        if (EqualsNoCase(word, CompareReadingWord(r)))
            return r;
    return std::nullopt;
}

std::string SchemaColumn(const std::string& alias, bool later) {
    const std::string prefix = alias.empty() ? "" : alias + ".";
    return later ? "OBJECT_SCHEMA_NAME(" + prefix + "id)" : "USER_NAME(" + prefix + "uid)";
}

std::string SchemaJoin(const std::string& alias, bool later) {
    // LEFT: an object whose owner is gone still lists, with no schema, as USER_NAME and
    // OBJECT_SCHEMA_NAME answer for it. From 2005 sysobjects.uid holds the schema's id.
    return later ? " LEFT JOIN sys.schemas sch ON sch.schema_id = " + alias + ".uid"
                 : " LEFT JOIN sysusers sch ON sch.uid = " + alias + ".uid";
}

std::string BulkListingQuery(ObjectType type, bool ignoreSysObjects, bool later) {
    // By type code: the listing's OBJECTPROPERTY condition picks exactly these types, but
    // costs the server a lookup for every object of the database.
    std::string condition = "o.xtype IN (" + ListingXtypes(type) + ")";
    if (ignoreSysObjects)
        condition += " AND o.xtype <> 'S'";
    return "SELECT o.name, o.refdate, o.id, sch.name AS [schema] FROM sysobjects o" +
           SchemaJoin("o", later) + " WHERE " + condition + " ORDER BY o.name";
}

std::string BulkModuleTextQuery(ObjectType type) {
    return "SELECT c.id, c.colid, c.text, c.encrypted FROM syscomments c INNER JOIN sysobjects o "
           "ON o.id = c.id WHERE o.xtype IN (" +
           ListingXtypes(type) + ") ORDER BY c.id, c.colid";
}

FingerprintForm SharedFingerprintForm(int32_t majorA, int32_t majorB) {
    const int32_t older = std::min(majorA, majorB);
    // HASHBYTES came with 2005 (9); until 2016 (13) it takes at most 8,000 bytes of input.
    if (older < 9)
        return FingerprintForm::None;
    return older < 13 ? FingerprintForm::CommentRows : FingerprintForm::WholeModule;
}

std::string BulkFingerprintQuery(ObjectType type, FingerprintForm form, bool later) {
    const std::string listed = "SELECT o.id, o.name, o.refdate, sch.name AS [schema], ";
    const std::string where = " WHERE o.xtype IN (" + ListingXtypes(type) + ")";
    if (form == FingerprintForm::WholeModule)
        // sys.sql_modules shows no definition of an encrypted module; its syscomments rows say
        // why, so such a module is read as before.
        return listed +
               "1 AS colid, DATALENGTH(m.definition) AS textlength, HASHBYTES('SHA2_256', "
               "m.definition) AS fingerprint, CASE WHEN m.object_id IS NOT NULL AND "
               "m.definition IS NULL THEN 1 ELSE 0 END AS encrypted FROM sysobjects o" +
               SchemaJoin("o", later) + " LEFT JOIN sys.sql_modules m ON m.object_id = o.id" +
               where + " ORDER BY o.name, o.id";
    // nvarchar(4000) is at most 8,000 bytes, all that HASHBYTES takes before 2016.
    return listed +
           "c.colid, DATALENGTH(c.text) AS textlength, HASHBYTES('SHA1', c.text) AS fingerprint, "
           "c.encrypted FROM sysobjects o" +
           SchemaJoin("o", later) + " LEFT JOIN syscomments c ON c.id = o.id" + where +
           " ORDER BY o.name, o.id, c.number, c.colid";
}

std::string ModuleTextsByIdQuery(const std::vector<int32_t>& ids) {
    std::string list;
    for (int32_t id : ids)
        list += (list.empty() ? "" : ", ") + std::to_string(id);
    return "SELECT c.id, c.colid, c.text, c.encrypted FROM syscomments c WHERE c.id IN (" + list +
           ") ORDER BY c.id, c.colid";
}

std::string BulkTableColumnsQuery() {
    // ident_seed by the table's name, as the panel asks by the name it lists: a table outside
    // the default schema gets no seed that way, on the panel and here alike. Asked only on
    // identity columns, the one row of a table whose seed is shown.
    return TableColumnsSql("sco.id AS tableid, ", "sob.name", "WHERE sob.xtype = 'U' ",
                           "sco.id, sco.colorder", true);
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

std::string BulkUserTypesQuery(bool later) {
    return std::string("SELECT st.name AS [name], bt.name AS basetype, st.length AS [length], "
                       "st.prec AS [prec], st.scale AS [scale], st.allownulls AS allownulls, ") +
           (later ? "SCHEMA_NAME(st.uid)" : "USER_NAME(st.uid)") +
           " AS [schema] FROM systypes st INNER JOIN systypes bt ON bt.xusertype = st.xtype "
           "WHERE st.xusertype > 256 ORDER BY st.name";
}

std::string BulkIdentitySeedsQuery(bool later) {
    // The name as the per-table scripting quotes it; the check on OBJECT_ID keeps a seed only
    // when the name reaches this very table, as the column query does.
    const std::string name =
        "COALESCE(QUOTENAME(" + SchemaColumn("sob", later) + ") + '.', '') + QUOTENAME(sob.name)";
    const std::string here = "WHEN OBJECT_ID(" + name + ") = sco.id THEN ";
    return "SELECT sco.id AS tableid, CASE " + here + "ident_seed(" + name +
           ") END AS identityseed, CASE " + here + "ident_incr(" + name +
           ") END AS identityincrement FROM sysobjects sob INNER JOIN syscolumns sco ON sob.id = "
           "sco.id WHERE sob.xtype = 'U' AND sco.status & 128 <> 0 ORDER BY sco.id";
}

} // namespace orv
