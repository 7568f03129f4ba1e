#include "core/help_topic.h"

#include "core/paths.h"
#include "util/prompter.h"

namespace orv {

std::string HelpPagePath(int topic) {
    return Paths().HelpFolder + std::to_string(topic) + ".html";
}

bool ShowHelpTopic(int topic) {
    if (CurrentPrompter().OpenHelpTopic(topic))
        return true;
    CurrentPrompter().MessageBox(MsgIcon::Warning, kHelpFailedTitle,
                                 "Cannot display help - the help page is missing.\r\n\r\n"
                                 "The page should be the file " +
                                     HelpPagePath(topic) + ".");
    return false;
}

} // namespace orv
