// Definition texts: the stored source of procedures, functions, views and triggers, and the one
// operation that fills a panel's text view for the selected object of any type.
#pragma once

#include "catalog/object_types.h"
#include "servers/server_entry.h"
#include "util/list_control.h"
#include "util/text_view.h"

#include <cstdint>
#include <string>

namespace orv {

// The stored text of every object of that name, joined in colid order and trimmed; empty when
// nothing is stored. Throws CatalogError when the query failed.
std::string GetObjectText(const ServerEntry& server, const std::string& objectName,
                          const std::string& database, ObjectType type);

// The same for the one object with this catalog id.
std::string GetObjectTextById(const ServerEntry& server, int32_t objectId,
                              const std::string& database);

// Drops carriage returns, line feeds, blanks and tabs at both ends.
std::string TrimWhitespaceAndBreaks(const std::string& text);

constexpr const char* kNothingToShow = "<<Nothing to show>>";

// How showing an object's text ended: shown (or nothing to show), a command failed (an
// expected failure: the command layer's message was shown once, no error report), or an
// unexpected error (reported; the view is emptied).
enum class TextShown { Shown, CommandFailed, Failed };

// What a failed command leaves in the view: nothing, or the view as it was, for a caller that
// puts the selection back as well so that the view still shows the selected object.
enum class OnCommandFailure { ClearView, KeepView };

// Shows the definition of the selected object (or of the one named, with its id) in the view.
// Unless `onFailure` keeps it, the view is emptied whenever no text of this very object can be
// had, so it never keeps another object's text.
TextShown UpdateProcedureTextBox(ServerEntry& server, TextView& view, ListControl& list,
                                 ObjectType type, const std::string& database,
                                 const std::string& objectName, int32_t objectId,
                                 OnCommandFailure onFailure = OnCommandFailure::ClearView);

// True when a listed name carries a schema prefix that the catalog's name column lacks.
bool HasSchemaPrefix(const std::string& listedName);

} // namespace orv
