// What only FreeTDS's own configuration file can carry. The FreeTDS of this system takes a CA
// file and the check of the certificate's host name from freetds.conf alone, never from a
// connection string; so a connection that must check the server's certificate names a
// section of a private freetds.conf, which the program writes for itself (one file per
// running copy, in the user's runtime folder, mode 0600, replaced whole) and points the
// driver at through FREETDSCONF.
#pragma once

#include "servers/server_entry.h"

#include <string>

namespace orv {

// What a section says about one server.
struct FreeTdsSection {
    std::string host;
    std::string instance; // or
    int port = 0;
    std::string encryption; // request, require or off
    std::string caFile;     // the private copy of the CA certificates
};

// The section's text: "[name]" and its settings, one a line.
std::string FreeTdsSectionText(const std::string& name, const FreeTdsSection& section);

// Why `server`'s CA file cannot be used (unreadable, holds no PEM certificate); empty when it
// can. `pem` receives its text.
std::string CaFileProblem(const std::string& caFile, std::string& pem);

// The name of the private freetds.conf section for `server`, which must have a CAFile; the
// file is (re)written when the section is new. Empty with `error` when it cannot be.
std::string PrivateFreeTdsSection(const ServerEntry& server, std::string& error);

// Points FreeTDS at the private file (FREETDSCONF) once, before the program's first connection,
// so no driver thread reads the variable while it changes.
void PointFreeTdsAtPrivateSettings();

// Where this copy of the program keeps its private freetds.conf.
std::string PrivateFreeTdsConfPath();

} // namespace orv
