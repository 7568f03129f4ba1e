// The plain-text log in the program folder: one time-stamped line per event.
#pragma once

#include <string>

namespace orv {

// Appends "hh:mm:ss" + five blanks + text + CR LF to LogLogin.txt. Opens, writes and closes the
// file on every call; a failure loses the line silently.
void WriteLogLine(const std::string& text);
// Progress lines ("Begin ...", "End ...") go here and are discarded.
void WriteTrace(const std::string& text);
// The line as it is written, for a given local time.
std::string FormatLogLine(int hour, int minute, int second, const std::string& text);

} // namespace orv
