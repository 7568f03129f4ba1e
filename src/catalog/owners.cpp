#include "catalog/owners.h"

#include "catalog/catalog_error.h"
#include "catalog/listing.h"
#include "catalog/object_text.h"
#include "catalog/sql_quote.h"
#include "core/settings.h"
#include "servers/exec_ado_cmd.h"
#include "util/prompter.h"
#include "util/text.h"

namespace orv {

std::string GetOwner(const ServerEntry& server, const std::string& database,
                     const std::string& objectName, ObjectType type) {
    RecordsetPtr rs;
    try {
        const std::string sql = "SELECT so.name AS ObjectName, su.name AS Owner "
                                "FROM sysobjects so INNER JOIN sysusers su ON so.uid = su.uid "
                                "WHERE so.name = '" +
                                SqlLiteral(objectName) + "' AND so.xtype = '" + OwnerXtype(type) +
                                "'";
        int32_t errNumber = 0;
        std::string errDescription;
        if (ExecAdoCmd(server, kAdCmdText, sql, rs, database, errNumber, errDescription) == -1)
            return "";
        RequireOpen(rs);
        std::string owner;
        if (!rs->IsEOF())
            owner = rs->Value("Owner").Text();
        rs->Close();
        return owner;
    } catch (...) {
        ReportCurrentError("modOwner", "GetOwner");
        return "";
    }
}

int32_t GetAllOwners(const ServerEntry& server, const std::string& database, ObjectType,
                     std::string& ownerList) {
    ownerList.clear();
    int32_t count = 0;
    RecordsetPtr rs;
    try {
        const std::string sql = "SELECT DISTINCT su.name AS Owner "
                                "FROM sysobjects so INNER JOIN sysusers su ON so.uid = su.uid ";
        int32_t errNumber = 0;
        std::string errDescription;
        if (ExecAdoCmd(server, kAdCmdText, sql, rs, database, errNumber, errDescription) == -1)
            return 0;
        RequireOpen(rs);
        for (; !rs->IsEOF(); rs->MoveNext()) {
            const std::string owner = rs->Value("Owner").Text();
            if (owner.empty())
                continue;
            ownerList += "," + owner;
            ++count;
        }
        rs->Close();
    } catch (...) {
        ReportCurrentError("modOwner", "GetAllOwners");
    }
    return count;
}

void LoadOwners(const ServerEntry& server, const std::string& database, const ComboControl& cmbType,
                ComboControl& cmbOwners) {
    if (!Settings().ShowOwners)
        return;
    std::string ownerList;
    GetAllOwners(server, database, cmbType.CurrentItemData(), ownerList);
    cmbOwners.SetTag("OFF");
    cmbOwners.Clear();
    cmbOwners.AddItem(kAllOwners);
    const auto owners = Split(ownerList, ",");
    for (size_t i = 1; i < owners.size(); ++i)
        cmbOwners.AddItem(owners[i]);
    cmbOwners.SetListIndex(0);
    cmbOwners.SetTag("");
}

void FilterObjectsByOwner(ServerEntry& server, const ComboControl& cmbType,
                          const ListControl& databases, ListControl& objects, TextView& view,
                          const std::string& owner) {
    try {
        const ObjectType type = cmbType.CurrentItemData();
        const std::string database = databases.CurrentText();
        LoadObjects(server, objects, view, type, database, true);
        if (owner != kAllOwners) {
            objects.SetTag("OFF");
            for (int row = objects.Count() - 1; row >= 0; --row)
                if (GetOwner(server, database, objects.CellText(row, 0), type) != owner)
                    objects.RemoveItem(row);
            if (objects.Count() > 0)
                objects.SetSelected(0, true);
        }
        UpdateProcedureTextBox(server, view, objects, type, database, "", 0);
        objects.SetTag("");
        CurrentPrompter().ProcessEvents();
    } catch (...) {
        ReportCurrentError("modOwner", "FilterObjectsByOwner");
    }
}

} // namespace orv
