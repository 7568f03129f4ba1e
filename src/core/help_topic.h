// The help pages, one HTML file per topic number in the program's help folder, and opening one
// in the program's help window with a message when the page is missing.
#pragma once

#include <string>

namespace orv {

// The page of a topic: help folder + topic number + ".html".
std::string HelpPagePath(int topic);

// Opens the topic's page; when it cannot be shown (the page is missing), tells the user where
// the page should be. True when the page was opened.
bool ShowHelpTopic(int topic);

constexpr const char* kHelpFailedTitle = "Cannot Display Help";

} // namespace orv
