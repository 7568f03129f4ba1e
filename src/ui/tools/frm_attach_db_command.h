// Attaching a database file to a server through its system procedures, on a connection of its
// own to master that is opened for this call and closed after it.
#pragma once

#include "servers/server_entry.h"

#include <string>

namespace orv {

struct AttachRequest {
    std::string DatabaseName;
    std::string DatabaseFile;
    std::string LogFile; // not sent when SingleFile
    bool SingleFile = false;
};

// The connection text of the attach, in its classic form (the password masked), for the log.
std::string AttachConnectionText(const ServerEntry& server);

// "sp_attach_single_file_db" or "sp_attach_db".
std::string AttachProcedureName(bool singleFile);

// Runs the attach; false with the server's or driver's description when it failed.
bool AttachDatabaseFiles(const ServerEntry& server, const AttachRequest& request,
                         std::string& errDescription);

} // namespace orv
