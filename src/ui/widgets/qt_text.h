// Text crossing from the logic's UTF-8 strings to Qt's QString, for every window.
#pragma once

#include <QString>

#include <string_view>

namespace orv {

inline QString Q(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace orv
