// The moment of a run as the reports show it.
#pragma once

#include <ctime>
#include <string>

namespace orv {

// "2011-05-01 14:03:07": the local date and time of `when`.
std::string LocalDateTimeText(std::time_t when);

} // namespace orv
