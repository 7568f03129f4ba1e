// `orvane-cli snapshot`: writes a snapshot of one database to a file.
#pragma once

namespace orv {

// argv[0] is the word "snapshot"; its arguments follow. Returns 0 when the file was written,
// 2 otherwise.
int RunSnapshotCommand(int argc, char** argv);

} // namespace orv
