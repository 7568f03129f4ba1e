#include "util/memory_prompter.h"

namespace orv {

namespace {
Prompter* gInstalled = nullptr;
thread_local Prompter* tThreadPrompter = nullptr;

MemoryPrompter& BuiltIn() {
    static MemoryPrompter prompter;
    return prompter;
}
} // namespace

Prompter& CurrentPrompter() {
    if (tThreadPrompter)
        return *tThreadPrompter;
    return gInstalled ? *gInstalled : BuiltIn();
}

void SetCurrentPrompter(Prompter* prompter) {
    gInstalled = prompter;
}

Prompter* InstalledPrompter() {
    return gInstalled;
}

ThreadPrompterScope::ThreadPrompterScope(Prompter& p) : previous_(tThreadPrompter) {
    tThreadPrompter = &p;
}

ThreadPrompterScope::~ThreadPrompterScope() {
    tThreadPrompter = previous_;
}

HourglassPointer::HourglassPointer() : saved_(CurrentPrompter().MousePointer()) {
    CurrentPrompter().SetMousePointer(kPointerHourglass);
}

HourglassPointer::~HourglassPointer() {
    CurrentPrompter().SetMousePointer(saved_);
}

MsgAnswer MemoryPrompter::MessageBox(MsgIcon icon, const std::string& title,
                                     const std::string& text, MsgButtons buttons) {
    messages.push_back({icon, title, text, buttons});
    if (!answers.empty()) {
        MsgAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
    if (buttons == MsgButtons::YesNoDefaultNo)
        return MsgAnswer::No;
    return (buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel) ? MsgAnswer::Yes
                                                                                : MsgAnswer::OK;
}

std::optional<std::string> MemoryPrompter::FileDialog(const FileDialogRequest& request) {
    fileRequests.push_back(request);
    if (fileAnswers.empty())
        return std::nullopt;
    auto a = fileAnswers.front();
    fileAnswers.pop_front();
    return a;
}

int MemoryPrompter::OpenUrl(const std::string& url) {
    openedUrls.push_back(url);
    return openUrlResult;
}

void MemoryPrompter::SetMousePointer(int p) {
    pointer = p;
    pointerHistory.push_back(p);
}

} // namespace orv
