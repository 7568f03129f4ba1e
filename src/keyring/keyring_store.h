// The desktop keyring as the password store: the Secret Service API (GNOME Keyring, KeePassXC,
// KWallet) through QtKeychain. Its jobs answer asynchronously; each call here waits for its
// answer in a local event loop, bounded by a timeout, so the callers stay plain and synchronous.
// A locked keyring asks the person through the desktop's own prompt while the call waits.
#pragma once

#include "core/password_store.h"

#include <memory>
#include <string>

namespace orv {

// True when a Secret Service (or KWallet) answers on the session bus. Asked once per process.
bool SecretServiceAvailable();
std::shared_ptr<PasswordStore> MakeKeyringPasswordStore();
// Installs the keyring as this process's store when one answers (true), else keeps the
// registry file (false). Called once at start by the program and orvane-cli.
bool UseDesktopKeyringWhenAvailable();

} // namespace orv
