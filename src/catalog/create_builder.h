// A script that recreates the selected object: a header that switches database, sets the two
// options and drops the object when it exists, then the definition (wrapped in CREATE TABLE for
// tables) and, for indexed views, the statements that rebuild the view's indexes.
#pragma once

#include "catalog/object_types.h"
#include "servers/recordset.h"
#include "servers/server_entry.h"

#include <cstdint>
#include <ctime>
#include <string>

namespace orv {

// "Procedure", ... "Relationship"; empty for constraints and unknown codes.
std::string CreateTypeWord(ObjectType type);
// The existence condition of the header; empty for constraints and unknown codes.
std::string CreateHeaderCondition(ObjectType type);

// A text that can stand inside a /* ... */ comment: its comment marks are broken with a blank.
std::string InBlockComment(const std::string& text);

// "YYYY-MM-DD hh:mm:ss" on the 24-hour clock.
std::string ScriptDateText(const std::tm& when);

// The header for a given moment; dropPart receives its three drop lines.
std::string BuildScriptHeader(const std::string& database, ObjectType type,
                              const std::string& extendedName, std::string& dropPart,
                              const std::tm& when);
// The same at the current local time.
std::string BuildScriptHeader(const std::string& database, ObjectType type,
                              const std::string& extendedName, std::string& dropPart);

// The index statements of a view from its index rows (index, indid, column).
std::string BuildViewIndexStatements(Recordset& rows, const std::string& viewName);

// The index statements of an indexed view; empty for any other type or a view without index.
std::string GetExtras(const ServerEntry& server, const std::string& objectName,
                      const std::string& database, ObjectType type);

// Header, line break, then opening, line break, body, blank, extras, line break, closing; the
// line suffix's last occurrence is dropped from the extras, or else from the body. A statement
// that needs the finished table (its clustered index) follows in a batch of its own.
std::string AssembleCreateStatement(const std::string& header, ObjectType type,
                                    const std::string& extendedName, std::string body,
                                    std::string extras, const std::string& lineSuffix,
                                    const std::string& afterTable = "");

constexpr const char* kWrongCreateParameters =
    "Cannot build SQL CREATE statement - wrong parameters passed";

// The whole script, or empty text after a warning when a parameter is missing. Failures of
// the definition queries propagate as CatalogError to the command that asked.
std::string SQL_BuildCreateStatement(ServerEntry& server, const std::string& serverName,
                                     const std::string& database, const std::string& listedName,
                                     ObjectType type, int32_t objectId,
                                     const std::string& lineSuffix, std::string& dropPart);

} // namespace orv
