// The program's identity as error reports and the registry see it.
#pragma once

#include "orvane_version.h"

#include <cstdint>

namespace orv {

// The version comes from the project() line of the top CMakeLists.txt.
constexpr int kVersionMajor = ORVANE_VERSION_MAJOR;
constexpr int kVersionMinor = ORVANE_VERSION_MINOR;
constexpr int32_t kBuildNumber = 173;
constexpr const char* kProgramVersion = ORVANE_VERSION_TEXT;
// The executable's name, used as the title of the connection failure message.
constexpr const char* kExecutableName = "orvane";

} // namespace orv
