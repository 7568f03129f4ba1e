#include "util/date_text.h"

#include <cstdio>

namespace orv {

std::string LocalDateTimeText(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    char buf[64]; // wide enough for any int the fields may hold
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return buf;
}

} // namespace orv
