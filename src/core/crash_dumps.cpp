#include "core/crash_dumps.h"

#include <sys/prctl.h>
#include <sys/resource.h>

namespace orv {

void KeepPasswordsOutOfCoreDumps() {
    // The limit alone does not stop a core handler that is a pipe (systemd-coredump, apport);
    // the dumpable flag does, and also keeps other processes of the user from reading our memory.
    rlimit limit{};
    if (::getrlimit(RLIMIT_CORE, &limit) == 0) {
        limit.rlim_cur = 0;
        ::setrlimit(RLIMIT_CORE, &limit);
    }
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

} // namespace orv
