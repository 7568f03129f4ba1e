// Text from a catalog shown in a report line: a name or a line may hold control characters
// (a bracketed name can hold a line break or an escape), which would break the report's layout
// or drive the terminal. They are shown as their Unicode control pictures instead.
#pragma once

#include <string>
#include <string_view>

namespace orv {

// Every C0 control character except TAB becomes U+2400 + its code (CR -> U+240D), DEL becomes
// U+2421; everything else is kept byte for byte.
std::string PrintableText(std::string_view text);

} // namespace orv
