#include "catalog/object_text.h"

#include "catalog/catalog_error.h"
#include "catalog/key_scripts.h"
#include "catalog/sql_quote.h"
#include "catalog/table_script.h"
#include "core/program_info.h"
#include "servers/exec_ado_cmd.h"
#include "util/prompter.h"
#include "util/text.h"

namespace orv {
namespace {

std::string JoinedText(const ServerEntry& server, const std::string& sql,
                       const std::string& database) {
    RecordsetPtr rs;
    int32_t errNumber = 0;
    std::string errDescription;
    ExecAdoCmd(server, kAdCmdText, sql, rs, database, errNumber, errDescription);
    RequireOpen(rs);
    std::string text;
    for (; !rs->IsEOF(); rs->MoveNext())
        text += rs->Value("text").Text();
    rs->Close();
    return TrimWhitespaceAndBreaks(text);
}

bool IsBreakOrBlank(char c) {
    return c == '\r' || c == '\n' || c == ' ' || c == '\t';
}

} // namespace

std::string GetObjectText(const ServerEntry& server, const std::string& objectName,
                          const std::string& database, ObjectType) {
    return JoinedText(server,
                      "SELECT text FROM syscomments sc INNER JOIN sysobjects so ON sc.id = so.id "
                      "WHERE so.name = '" +
                          SqlLiteral(objectName) + "' ORDER BY sc.colid",
                      database);
}

std::string GetObjectTextById(const ServerEntry& server, int32_t objectId,
                              const std::string& database) {
    return JoinedText(server,
                      "SELECT text FROM syscomments sc INNER JOIN sysobjects so ON sc.id = so.id "
                      "WHERE so.id = " +
                          std::to_string(objectId) + " ORDER BY sc.colid",
                      database);
}

std::string TrimWhitespaceAndBreaks(const std::string& text) {
    if (text.size() <= 1)
        return text;
    size_t start = 0;
    while (start < text.size() && IsBreakOrBlank(text[start]))
        ++start;
    size_t end = text.size();
    while (end > start && IsBreakOrBlank(text[end - 1]))
        --end;
    return text.substr(start, end - start);
}

bool HasSchemaPrefix(const std::string& listedName) {
    return listedName.find('.') != std::string::npos;
}

void UpdateProcedureTextBox(ServerEntry& server, TextView& view, ListControl& list, ObjectType type,
                            const std::string& database, const std::string& objectName,
                            int32_t objectId) {
    int step = 1;
    try {
        int selected = objectId > 0 ? 1 : list.SelCount();
        if (list.Count() > 0 && selected == 0) {
            step = 2;
            list.SetSelected(list.CurrentRow() >= 0 ? list.CurrentRow() : 0, true);
            selected = 1;
        }
        if (selected == 1) {
            step = 3;
            const int row = list.CurrentRow();
            int32_t id = objectId;
            if (id <= 0)
                ParseInt32(list.CellText(row, 2), id);
            const std::string name = objectName.empty() ? list.CellText(row, 0) : objectName;
            step = 4;
            std::string text;
            switch (type) {
            case kTypeProcedure:
            case kTypeFunction:
            case kTypeView:
            case kTypeTrigger:
                // A name qualified by the listing matches no catalog name; its id does.
                text = HasSchemaPrefix(name) && id > 0
                           ? GetObjectTextById(server, id, database)
                           : GetObjectText(server, name, database, type);
                break;
            case kTypeTable: {
                int32_t ignored = 0;
                text = GetTableScript(server, name, database, false, ignored, id, "", false);
                break;
            }
            case kTypeRelationship:
                text = GetRelationshipText(server, name, database, id);
                break;
            case kTypeConstraint:
                text = GetConstraintText(server, name, database, id);
                break;
            default:
                CurrentPrompter().MessageBox(MsgIcon::None, kExecutableName, "SHOULDN't HAPPEN");
                break;
            }
            step = 5;
            // An empty text would otherwise leave the previous object's text standing, and a
            // comparison could then judge two objects by texts that are not theirs.
            step = 6;
            view.SetText(text);
            step = 7;
        } else {
            step = 8;
            view.SetText(kNothingToShow);
        }
    } catch (...) {
        ReportCurrentError("modNew", "UpdateProcedureTextBox", "Line num: " + std::to_string(step));
        view.SetText("");
    }
    list.SetTag("");
    CurrentPrompter().SetMousePointer(kPointerDefault);
}

} // namespace orv
