// UTF-8 <-> UTF-16 for the wide ODBC calls, so non-ASCII text survives both ways.
#pragma once

#include <string>

namespace orv {

std::u16string Utf8ToUtf16(const std::string& text);
std::string Utf16ToUtf8(const char16_t* text, size_t length);

} // namespace orv
