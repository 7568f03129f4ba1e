// The program's identity as error reports and the registry see it.
#pragma once

#include <cstdint>

namespace orv {

constexpr int kVersionMajor = 1;
constexpr int kVersionMinor = 0;
constexpr int32_t kBuildNumber = 173;
constexpr const char* kProgramVersion = "1.0";
// The executable's name, used as the title of the connection failure message.
constexpr const char* kExecutableName = "orvane";

} // namespace orv
