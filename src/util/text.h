// Small text helpers shared by every room. Texts are UTF-8 std::strings throughout.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

// Blanks only, as the classic Trim does: tabs and line breaks are kept.
std::string Trim(std::string_view s);
std::string LTrim(std::string_view s);
std::string RTrim(std::string_view s);
// Blanks, tabs, CR and LF.
std::string TrimWhitespace(std::string_view s);

// ASCII case folding; non-ASCII bytes are left alone.
std::string ToLowerAscii(std::string_view s);
std::string ToUpperAscii(std::string_view s);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view s, std::string_view prefix);

// Each byte as two upper-case hex digits ("0A1B..."), as binary values are written.
std::string HexDigits(std::string_view bytes);
// One byte as two upper-case hex digits appended to `out`.
void AppendHexByte(std::string& out, unsigned char byte);

std::string ReplaceAll(std::string_view s, std::string_view from, std::string_view to);
std::vector<std::string> Split(std::string_view s, std::string_view separator);

// Number of Unicode characters (code points) in UTF-8 text; views count offsets in these.
int64_t Utf8Length(std::string_view s);
// Byte offset of the character with the given index (clamped to the end).
size_t Utf8ByteOffset(std::string_view s, int64_t charIndex);
// Characters [start, start+count) of UTF-8 text.
std::string Utf8Mid(std::string_view s, int64_t start, int64_t count);
// The first `count` characters.
std::string Utf8Left(std::string_view s, int64_t count);

// Converts UTF-16 little-endian bytes to UTF-8; unpaired surrogates become U+FFFD.
std::string Utf16LeToUtf8(std::string_view bytes);
// Whether the bytes are valid UTF-8.
bool IsValidUtf8(std::string_view s);
// Latin-1 reading of bytes that are not valid UTF-8, so no byte is lost.
std::string Latin1ToUtf8(std::string_view bytes);
// Text of unknown encoding, line by line: lines that are valid UTF-8 stay, the others are read
// as Latin-1, so one line typed in an 8-bit editor does not garble every other line.
std::string Utf8OrLatin1Lines(std::string_view bytes);

// A decimal number with a point, whatever the process locale; the whole text must be the number.
bool ParseDouble(std::string_view text, double& out);
// Whole-number text as the classic Val/CLng would accept it, or false.
bool ParseInt32(std::string_view s, int32_t& out);

// A text made one tab-free line part of a file of our own: backslash, tab, CR and LF written
// as \\, \t, \r, \n. Unescape is its inverse; false on any other escape or a lone backslash.
std::string EscapeLinePart(std::string_view text);
bool UnescapeLinePart(std::string_view text, std::string& out);

} // namespace orv
