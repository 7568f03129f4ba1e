// Whether two object texts count as equal under the comparison settings.
#pragma once

#include <string>
#include <string_view>

namespace orv {

// Every CR, LF, TAB, vertical tab and NUL becomes `replacement`, and each run of blanks in the
// result shrinks to one blank.
std::string ReplaceNonPrintableChars(std::string_view text, std::string_view replacement);

// Equal apart from whitespace: blanks, tabs and line breaks at both ends do not count, runs of
// them inside count as one blank, and letter case counts only when `caseSensitive`.
bool CompareTextsIgnoringWhitespace(std::string_view a, std::string_view b, bool caseSensitive);
// The same under the program's CaseSensitive setting.
bool CompareTextsIgnoringWhitespace(std::string_view a, std::string_view b);

// The text without its T-SQL comments: "--" to the end of the line and "/* ... */", nested as
// the server nests them. Comment markers inside string literals, quoted or bracketed names are
// text. A line that held nothing but comments disappears with its line break; blanks left
// at the end of a line whose comment was removed go too.
std::string StripSqlComments(std::string_view text);

// False only when the text certainly holds no comment ("--" and "/*" appear nowhere), so the
// stripping can be skipped.
bool MayHoldSqlComments(std::string_view text);

} // namespace orv
