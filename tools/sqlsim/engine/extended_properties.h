// Extended properties: sp_addextendedproperty, sp_updateextendedproperty and
// sp_dropextendedproperty keep them per database, sys.extended_properties and
// fn_listextendedproperty read them.
#pragma once

#include "engine/session.h"

#include <string>
#include <vector>

namespace sqlsim {

// Runs one of the three procedures; false when `lname` names none of them.
bool runExtendedPropertyProcedure(SessionImpl& s, const std::string& lname,
                                  const std::vector<RpcParam>& params, ResultSink& sink, bool more);

// fn_listextendedproperty over the current database as a derived table, from the SQLite
// expressions of its seven arguments (NULL for DEFAULT).
std::string listExtendedPropertiesSql(const std::vector<std::string>& args);

} // namespace sqlsim
