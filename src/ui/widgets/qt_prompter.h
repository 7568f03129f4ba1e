// The Prompter on real Qt dialogs, the clipboard, the program's help window and the desktop's
// browser (for web addresses).
#pragma once

#include "util/prompter.h"

#include <string>

class QWidget;

namespace orv {

class QtPrompter : public Prompter {
public:
    explicit QtPrompter(QWidget* owner = nullptr) : owner_(owner) {}
    void SetOwner(QWidget* owner) { owner_ = owner; }

    MsgAnswer MessageBox(MsgIcon icon, const std::string& title, const std::string& text,
                         MsgButtons buttons = MsgButtons::OK) override;
    std::optional<std::string> FileDialog(const FileDialogRequest& request) override;
    void SetClipboardText(const std::string& text) override;
    std::string ClipboardText() override;
    int OpenUrl(const std::string& url) override;
    bool OpenHelpTopic(int topic) override;
    bool HasPrinter() override;
    int MousePointer() const override { return pointer_; }
    void SetMousePointer(int pointer) override;
    void ProcessEvents() override;

    // Where a file dialog opens for a proposed path: a path with a folder as it is; a bare file
    // name in the folder of the file last chosen in a dialog of this run, or else in the
    // documents folder (never the program's folder, which is a system folder once installed).
    static std::string StartPath(const std::string& proposedPath);

private:
    QWidget* owner_;
    int pointer_ = kPointerDefault;
};

} // namespace orv
