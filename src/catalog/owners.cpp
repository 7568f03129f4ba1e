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

namespace {
constexpr const char* kOwnerSelect =
    "SELECT so.name AS ObjectName, su.name AS Owner "
    "FROM sysobjects so INNER JOIN sysusers su ON so.uid = su.uid ";

// The Owner column of the first row the owner query gives; empty text when there is none.
std::string FirstOwner(const ServerEntry& server, const std::string& database,
                       const std::string& sql, const char* procedure) {
    RecordsetPtr rs;
    try {
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
        ReportCurrentError("modOwner", procedure);
        return "";
    }
}
} // namespace

std::string GetOwner(const ServerEntry& server, const std::string& database,
                     const std::string& objectName, ObjectType type) {
    return FirstOwner(server, database,
                      std::string(kOwnerSelect) + "WHERE so.name = '" + SqlLiteral(objectName) +
                          "' AND so.xtype = '" + OwnerXtype(type) + "'",
                      "GetOwner");
}

std::string GetOwnerById(const ServerEntry& server, const std::string& database, int32_t objectId) {
    if (objectId <= 0)
        return "";
    return FirstOwner(server, database,
                      std::string(kOwnerSelect) + "WHERE so.id = " + std::to_string(objectId),
                      "GetOwnerById");
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
            for (int row = objects.Count() - 1; row >= 0; --row) {
                // By the id the row carries: its listed name may be schema-qualified, and a
                // bare name may belong to objects of several owners.
                int32_t id = 0;
                ParseInt32(objects.CellText(row, 2), id);
                const std::string rowOwner =
                    id > 0 ? GetOwnerById(server, database, id)
                           : GetOwner(server, database, objects.CellText(row, 0), type);
                if (rowOwner != owner)
                    objects.RemoveItem(row);
            }
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
