// The name in a module's CREATE or ALTER line. SQL Server keeps a module's text as it was
// created: after sp_rename the text still names the old object, so a statement made from it
// would create or alter the old name. These find that name and put the current one in its
// place, leaving every other byte of the text as it is.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace orv {

struct ModuleHeaderName {
    bool Found = false;
    // Where the name stands in the text, and the name as written there.
    size_t Begin = 0;
    size_t End = 0;
    std::string Written;
    // Its parts without brackets or quotes, the object's own name last.
    std::vector<std::string> Parts;
};

// The name after CREATE or ALTER and PROC, PROCEDURE, VIEW, FUNCTION or TRIGGER, past any
// comments and blanks before and between them. Not found for any other text.
ModuleHeaderName FindModuleHeaderName(const std::string& text);

// Whether the text names an object other than `schema`.`name`: its own name differs (exactly,
// as sp_rename may change only the letter case), or it names another schema. A text that
// names no schema names the object's own; an empty `schema` leaves the schema out of it.
bool NamesAnotherObject(const ModuleHeaderName& header, const std::string& schema,
                        const std::string& name);

// The text with `currentName` (a name as SQL writes it, "[dbo].[Orders]", put in as given)
// in place of the name in its header when that header names another object; the text
// unchanged otherwise.
std::string WithCurrentName(const std::string& text, const std::string& currentName);

} // namespace orv
