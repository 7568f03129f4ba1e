// Everything a person sees or answers outside the main windows goes through a Prompter, so the
// logic never opens a window itself. The Qt implementation lives with the widgets; the memory
// implementation lets tests script the answers and read back what was shown.
#pragma once

#include <optional>
#include <string>

namespace orv {

enum class MsgIcon { None, Information, Warning, Error, Question };
// YesNoDefaultNo: Yes/No where Enter, Esc and an unattended answer mean No, for questions whose
// Yes changes a database.
enum class MsgButtons { OK, OKCancel, YesNo, YesNoCancel, YesNoDefaultNo };
enum class MsgAnswer { OK, Cancel, Yes, No };

// Mouse pointer shapes by their classic numbers.
constexpr int kPointerDefault = 0;
constexpr int kPointerHourglass = 11;

struct FileDialogRequest {
    bool save = true;
    std::string title;
    std::string filter;       // "*.*", or "Text files (*.txt)|*.txt" pairs
    std::string proposedPath; // folder and file name proposed to the user
    int flags = 0;            // the classic flag bits (2 = overwrite prompt, ...)
    int maxFileLength = 255;
};

class Prompter {
public:
    virtual ~Prompter() = default;
    // A modal message box; returns the button the user chose.
    virtual MsgAnswer MessageBox(MsgIcon icon, const std::string& title, const std::string& text,
                                 MsgButtons buttons = MsgButtons::OK) = 0;
    // Open or save dialog; no value when the user cancels.
    virtual std::optional<std::string> FileDialog(const FileDialogRequest& request) = 0;
    virtual void SetClipboardText(const std::string& text) = 0;
    virtual std::string ClipboardText() = 0;
    // Opens a web address in the browser; returns a launch code above 32 on success, as the
    // shell does, so callers can show the code when it fails.
    virtual int OpenUrl(const std::string& url) = 0;
    // Shows the help page of a topic; false when it could not be shown (no such page).
    virtual bool OpenHelpTopic(int topic) = 0;
    // Whether there is a printer to print on.
    virtual bool HasPrinter() = 0;
    virtual int MousePointer() const = 0;
    virtual void SetMousePointer(int pointer) = 0;
    // Lets the user interface handle what is pending (repaints, clicks on Stop).
    virtual void ProcessEvents() = 0;
};

// The prompter the logic uses. Starts as a memory prompter that answers OK and records.
Prompter& CurrentPrompter();
// Installs another prompter (not owned); nullptr returns to the built-in memory prompter.
void SetCurrentPrompter(Prompter* prompter);

// The prompter SetCurrentPrompter installed (null for the built-in one), whatever a
// ThreadPrompterScope of the calling thread says.
Prompter* InstalledPrompter();

// Installs a prompter for one command and puts the previous one back however it ends.
class PrompterScope {
public:
    explicit PrompterScope(Prompter& p) : previous_(InstalledPrompter()) { SetCurrentPrompter(&p); }
    ~PrompterScope() { SetCurrentPrompter(previous_); }
    PrompterScope(const PrompterScope&) = delete;
    PrompterScope& operator=(const PrompterScope&) = delete;

private:
    Prompter* previous_;
};

// Sends the calling thread's messages to `p` for the life of the scope; every other thread
// keeps the installed prompter. How work that calls code which shows messages gets them back
// as values without swapping the process-wide prompter under another thread's feet.
class ThreadPrompterScope {
public:
    explicit ThreadPrompterScope(Prompter& p);
    ~ThreadPrompterScope();
    ThreadPrompterScope(const ThreadPrompterScope&) = delete;
    ThreadPrompterScope& operator=(const ThreadPrompterScope&) = delete;

private:
    Prompter* previous_;
};

// Shows the hourglass for the lifetime of the object and restores the pointer it found.
class HourglassPointer {
public:
    HourglassPointer();
    ~HourglassPointer();
    HourglassPointer(const HourglassPointer&) = delete;
    HourglassPointer& operator=(const HourglassPointer&) = delete;

private:
    int saved_;
};

} // namespace orv
