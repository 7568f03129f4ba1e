// `orvane-cli find` and `orvane-cli check-refs`: a database's catalog read in bulk, then searched
// or checked for references to objects that do not exist.
#pragma once

namespace orv {

// argv[0] is the command's word; its arguments follow. Return the exit status.
int RunFindCommand(int argc, char** argv);
int RunCheckRefsCommand(int argc, char** argv);

} // namespace orv
