// The front end's Prompter: whatever the window would show in a message box goes to standard
// error, every question is answered with its default, and nothing waits for a person.
#pragma once

#include "util/prompter.h"

#include <cstdio>

namespace orv {

class StderrPrompter : public Prompter {
public:
    explicit StderrPrompter(std::FILE* err) : err_(err) {}
    MsgAnswer MessageBox(MsgIcon icon, const std::string& title, const std::string& text,
                         MsgButtons buttons = MsgButtons::OK) override;
    std::optional<std::string> FileDialog(const FileDialogRequest&) override { return {}; }
    void SetClipboardText(const std::string& text) override { clipboard_ = text; }
    std::string ClipboardText() override { return clipboard_; }
    int OpenUrl(const std::string&) override { return 0; }
    bool OpenHelpTopic(int) override { return false; }
    bool HasPrinter() override { return false; }
    int MousePointer() const override { return pointer_; }
    void SetMousePointer(int pointer) override { pointer_ = pointer; }
    void ProcessEvents() override {}

    // How many messages were written; the front end treats any as a failure of the command.
    int MessagesShown() const { return shown_; }

private:
    std::FILE* err_;
    std::string clipboard_;
    int pointer_ = kPointerDefault;
    int shown_ = 0;
};

} // namespace orv
