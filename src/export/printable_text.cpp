#include "export/printable_text.h"

namespace orv {

std::string PrintableText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if ((c < 0x20 && c != '\t') || c == 0x7F) {
            // U+2400..U+2421 are E2 90 80..E2 90 A1 in UTF-8.
            const unsigned picture = c == 0x7F ? 0x21 : c;
            out += '\xE2';
            out += '\x90';
            out += static_cast<char>(0x80 | picture);
        } else {
            out += ch;
        }
    }
    return out;
}

} // namespace orv
