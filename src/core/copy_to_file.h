// Writes a text to a file the user names (or the caller gives).
#pragma once

#include <string>

namespace orv {

// Trims the text (blanks); an empty result writes nothing and returns false. With an empty
// `givenPath` the user chooses the file in a save dialog proposing program folder + nameHint +
// ".txt"; cancelling returns false. The file's whole content is replaced by the text (UTF-8).
// `savedPath` receives the path written.
bool CopyToFile(const std::string& text, const std::string& nameHint, std::string& savedPath,
                const std::string& givenPath = "");

} // namespace orv
