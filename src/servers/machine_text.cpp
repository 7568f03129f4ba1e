#include "servers/machine_text.h"

#include <cstdio>

namespace orv {

std::string MachineText(const FieldValue& value) {
    if (value.kind == FieldValue::Kind::Bool)
        return value.integer ? "1" : "0";
    if (value.kind != FieldValue::Kind::DateTime)
        return value.Text();
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
    const int got =
        std::sscanf(value.text.c_str(), "%d-%d-%d %d:%d:%d.%d", &y, &mo, &d, &h, &mi, &s, &ms);
    if (got < 3)
        return value.text;
    char buf[40];
    const int n =
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", y, mo, d, h, mi, s);
    if (got == 7 && ms != 0)
        std::snprintf(buf + n, sizeof buf - static_cast<size_t>(n), ".%03d", ms);
    return buf;
}

} // namespace orv
