// The Encryption value of a server: how its connections are encrypted. Kept here, below every
// room, since the stored list, the command line and the windows all read it.
#pragma once

#include "util/text.h"

#include <string>

namespace orv {

// In the order the windows offer them: TLS when the server offers it (the drivers' default),
// TLS or no connection, and no TLS asked for.
inline constexpr const char* kEncryptionSettings[] = {"request", "require", "off"};

// `text` as one of kEncryptionSettings (any letter case); empty when it is none of them.
inline std::string EncryptionSettingOf(const std::string& text) {
    for (const char* setting : kEncryptionSettings)
        if (EqualsNoCase(text, setting))
            return setting;
    return {};
}

} // namespace orv
