// The program holds the stored passwords in plain text in its memory (they are sent to the
// server as typed). A crash must not write that memory to a core file for anyone to read later.
#pragma once

namespace orv {

// Turns off core dumps for this process, whatever the shell's limit or the system's core
// handler: the soft core size limit goes to 0 and the process is marked not dumpable.
void KeepPasswordsOutOfCoreDumps();

} // namespace orv
