#include "cli_prompter.h"

namespace orv {

MsgAnswer StderrPrompter::MessageBox(MsgIcon, const std::string& title, const std::string& text,
                                     MsgButtons buttons) {
    ++shown_;
    std::fprintf(err_, "%s: %s\n", title.c_str(), text.c_str());
    std::fflush(err_);
    switch (buttons) {
    case MsgButtons::YesNo:
    case MsgButtons::YesNoCancel:
        return MsgAnswer::Yes;
    case MsgButtons::YesNoDefaultNo:
        return MsgAnswer::No;
    default:
        return MsgAnswer::OK;
    }
}

} // namespace orv
