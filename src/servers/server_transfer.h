// Stored servers to and from a .reg file: another machine's list (a Windows export included)
// comes in through the same path as a server added by hand, so its passwords go to the desktop
// keyring where one answers; a list goes out without passwords unless asked for.
#pragma once

#include <cstdint>
#include <string>

namespace orv {

struct ServerTransfer {
    bool ok = false;
    int32_t servers = 0; // imported or exported
    int32_t skipped = 0; // imported: already stored under the same name
    std::string message; // what to tell the person, success or failure
};

ServerTransfer ImportServersFromReg(const std::string& path);
// `includePasswords`: the file then holds them in plain text (it is written readable only by
// its owner).
ServerTransfer ExportServersToReg(const std::string& path, bool includePasswords);

// The warning shown next to "Include passwords".
constexpr const char* kIncludePasswordsWarning =
    "The exported file will hold the passwords in plain text. Keep it private and delete it "
    "once it has been imported.";

} // namespace orv
