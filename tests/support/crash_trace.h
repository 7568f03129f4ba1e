// A test that dies of a signal in a CI run leaves no core behind (the machine is gone by the
// time anyone looks), so the dying thread's stack is written to standard error first, where the
// run's log keeps it.
#pragma once

namespace orv::test {

// Installs the handlers once per process; later calls do nothing. Under AddressSanitizer the
// sanitizer's own report is better, so nothing is installed.
void InstallCrashTrace();

} // namespace orv::test
