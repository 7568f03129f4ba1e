// A Prompter for tests and the headless front end: answers from a script, remembers everything.
#pragma once

#include "util/prompter.h"

#include <deque>
#include <string>
#include <vector>

namespace orv {

struct ShownMessage {
    MsgIcon icon;
    std::string title;
    std::string text;
    MsgButtons buttons;
};

class MemoryPrompter : public Prompter {
public:
    MsgAnswer MessageBox(MsgIcon icon, const std::string& title, const std::string& text,
                         MsgButtons buttons = MsgButtons::OK) override;
    std::optional<std::string> FileDialog(const FileDialogRequest& request) override;
    void SetClipboardText(const std::string& text) override { clipboard = text; }
    std::string ClipboardText() override { return clipboard; }
    int OpenUrl(const std::string& url) override;
    bool OpenHelpTopic(int topic) override {
        helpTopics.push_back(topic);
        return helpOpens;
    }
    bool HasPrinter() override { return hasPrinter; }
    int MousePointer() const override { return pointer; }
    void SetMousePointer(int p) override;
    void ProcessEvents() override { ++processEventsCalls; }

    // Script: answers handed out in order; when empty, OK (or Yes for yes/no boxes).
    std::deque<MsgAnswer> answers;
    // Script: file dialog results in order; when empty, the dialog is cancelled.
    std::deque<std::optional<std::string>> fileAnswers;
    int openUrlResult = 42;
    // Script: whether a browser shows help pages, and whether a printer is installed.
    bool helpOpens = true;
    bool hasPrinter = true;

    // Record.
    std::vector<ShownMessage> messages;
    std::vector<FileDialogRequest> fileRequests;
    std::vector<std::string> openedUrls;
    std::vector<int> helpTopics;
    std::vector<int> pointerHistory;
    std::string clipboard;
    int pointer = kPointerDefault;
    int processEventsCalls = 0;
};

} // namespace orv
