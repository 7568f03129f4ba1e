#include "catalog/listing.h"

#include "core/program_info.h"
#include "util/prompter.h"

namespace orv {

std::string BuildObjSQLString(ObjectType type, bool ignoreSysObjects) {
    switch (type) {
    case kTypeProcedure:
    case kTypeFunction:
    case kTypeView:
    case kTypeTrigger:
    case kTypeTable: {
        std::string condition = ListingCondition(type);
        if (ignoreSysObjects)
            condition += " and xtype <> 'S' ";
        return "select name, refdate, id from sysobjects where " + condition + " order by name";
    }
    case kTypeRelationship:
        return "SELECT so.name AS name, so.refdate AS refdate, so.id AS id FROM sysreferences sr "
               "INNER JOIN sysobjects so ON sr.constid = so.id "
               "INNER JOIN sysobjects sof ON sof.id = sr.fkeyid "
               "INNER JOIN sysobjects sor ON sor.id = sr.rkeyid "
               "INNER JOIN syscolumns scf ON scf.id = sof.id AND scf.colid = sr.fkey1 "
               "INNER JOIN syscolumns scr ON scr.id = sor.id AND scr.colid = sr.rkey1 "
               "ORDER BY so.name";
    case kTypeConstraint:
        return "SELECT DISTINCT si.name as [name], so2.refdate AS refdate, so2.id AS id  "
               "FROM sysobjects so INNER JOIN sysindexkeys sk ON so.parent_obj = sk.id "
               "INNER JOIN sysindexes si ON sk.id = si.id AND sk.indid = si.indid "
               "INNER JOIN syscolumns sc ON sk.id = sc.id AND sk.colid = sc.colid "
               "INNER JOIN sysobjects so2 ON so.parent_obj = so2.id "
               "WHERE "
               "si.indid = 1 AND "
               " si.name LIKE 'pk%' AND "
               "INDEXPROPERTY(si.id, si.name, 'IsStatistics') = 0 AND "
               "INDEXPROPERTY(si.id, si.name, 'IsHypothetical') = 0 "
               "ORDER BY si.name";
    default:
        CurrentPrompter().MessageBox(MsgIcon::None, kExecutableName,
                                     "BuildObjSQLString, wrong object type passed");
        return "";
    }
}

} // namespace orv
