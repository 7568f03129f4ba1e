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

namespace {

// The text of the object in the list's current row (or the one named), by its type; empty
// when the type has none.
std::string ReadObjectText(ServerEntry& server, const ListControl& list, ObjectType type,
                           const std::string& database, const std::string& objectName,
                           int32_t objectId) {
    const int row = list.CurrentRow();
    int32_t id = objectId;
    if (id <= 0)
        ParseInt32(list.CellText(row, 2), id);
    const std::string name = objectName.empty() ? list.CellText(row, 0) : objectName;
    switch (type) {
    case kTypeProcedure:
    case kTypeFunction:
    case kTypeView:
    case kTypeTrigger:
        // A name qualified by the listing matches no catalog name; its id does.
        return HasSchemaPrefix(name) && id > 0 ? GetObjectTextById(server, id, database)
                                               : GetObjectText(server, name, database, type);
    case kTypeTable: {
        int32_t ignored = 0;
        return GetTableScript(server, name, database, false, ignored, id, "", false);
    }
    case kTypeRelationship:
        return GetRelationshipText(server, name, database, id);
    case kTypeConstraint:
        return GetConstraintText(server, name, database, id);
    default:
        CurrentPrompter().MessageBox(MsgIcon::None, kExecutableName, "SHOULDN't HAPPEN");
        return "";
    }
}

} // namespace

TextShown UpdateProcedureTextBox(ServerEntry& server, TextView& view, ListControl& list,
                                 ObjectType type, const std::string& database,
                                 const std::string& objectName, int32_t objectId,
                                 OnCommandFailure onFailure) {
    int step = 1;
    TextShown outcome = TextShown::Shown;
    // A command that fails on the way (the server gone, a refused login, a timeout) is told
    // once, with the command layer's message, and is no unexpected error.
    CommandFailureWatch commands;
    try {
        int selected = objectId > 0 ? 1 : list.SelCount();
        if (list.Count() > 0 && selected == 0) {
            step = 2;
            list.SetSelected(list.CurrentRow() >= 0 ? list.CurrentRow() : 0, true);
            selected = 1;
        }
        if (selected == 1) {
            step = 4;
            const std::string text =
                ReadObjectText(server, list, type, database, objectName, objectId);
            step = 6;
            // An empty text would otherwise leave the previous object's text standing, and a
            // comparison could then judge two objects by texts that are not theirs.
            if (!commands.Failed())
                view.SetText(text);
            step = 7;
        } else {
            step = 8;
            view.SetText(kNothingToShow);
        }
    } catch (const CommandFailed&) {
        // Told below.
    } catch (...) {
        if (!commands.Failed()) {
            ReportCurrentError("modNew", "UpdateProcedureTextBox",
                               "Line num: " + std::to_string(step));
            view.SetText("");
            outcome = TextShown::Failed;
        }
    }
    if (commands.Failed()) {
        outcome = TextShown::CommandFailed;
        if (onFailure == OnCommandFailure::ClearView)
            view.SetText("");
        if (!QuietConnectionErrors)
            CurrentPrompter().MessageBox(MsgIcon::Warning, kExecutableName, commands.MessageText());
    }
    list.SetTag("");
    CurrentPrompter().SetMousePointer(kPointerDefault);
    return outcome;
}

} // namespace orv
