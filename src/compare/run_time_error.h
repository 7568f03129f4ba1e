// Turns the exception being handled into the number and description a run-time error carries,
// so handlers can report it the way the rest of the program does.
#pragma once

#include <cstdint>
#include <string>

namespace orv {

struct RunTimeError {
    int32_t Number = 0;
    std::string Description;
};

// Only valid inside a catch block.
RunTimeError CurrentRunTimeError();

} // namespace orv
