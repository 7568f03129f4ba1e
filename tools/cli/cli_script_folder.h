// `orvane-cli script-folder`: writes a database as a scripts folder.
#pragma once

namespace orv {

// argv[0] is the word "script-folder"; its arguments follow. Returns 0 when the folder was
// written, 2 otherwise.
int RunScriptFolderCommand(int argc, char** argv);

} // namespace orv
