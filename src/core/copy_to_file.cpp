#include "core/copy_to_file.h"

#include "core/log.h"
#include "util/prompter.h"
#include "util/text.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace orv {

bool CopyToFile(const std::string& text, const std::string& nameHint, std::string& savedPath,
                const std::string& givenPath) {
    savedPath.clear();
    const std::string trimmed = Trim(text);
    if (trimmed.empty())
        return false;
    std::string path = givenPath;
    if (path.empty()) {
        FileDialogRequest request;
        request.save = true;
        request.filter = "*.*";
        request.title = "Specify Target File";
        request.flags = 2054;
        // A bare name: the dialog opens in the documents folder or the folder last used.
        request.proposedPath = nameHint + ".txt";
        request.maxFileLength = 255;
        auto chosen = CurrentPrompter().FileDialog(request);
        if (!chosen || chosen->empty())
            return false;
        path = *chosen;
    }
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    int err = 0;
    if (fd < 0) {
        err = errno;
    } else {
        size_t done = 0;
        while (done < trimmed.size()) {
            ssize_t n = ::write(fd, trimmed.data() + done, trimmed.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                err = errno;
                break;
            }
            done += static_cast<size_t>(n);
        }
        if (::close(fd) != 0 && err == 0)
            err = errno;
    }
    if (err != 0) {
        const std::string message = "Error in Sub CopyToFile, error nr " + std::to_string(err) +
                                    " (" + std::strerror(err) + ").";
        WriteTrace(message);
        CurrentPrompter().MessageBox(MsgIcon::Error, "", message);
        return false;
    }
    savedPath = path;
    return true;
}

} // namespace orv
