// The help pages, one HTML file per topic number in the program's help folder, and opening one
// in the browser with a message when that is not possible.
#pragma once

#include <string>

namespace orv {

// The page of a topic: help folder + topic number + ".html".
std::string HelpPagePath(int topic);

// Opens the topic's page; when no browser shows it, tells the user where the page is. True
// when the page was opened.
bool ShowHelpTopic(int topic);

constexpr const char* kHelpFailedTitle = "Cannot Display Help";

} // namespace orv
