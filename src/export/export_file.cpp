#include "export/export_file.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h> // getpid

namespace orv {

namespace {

std::string BaseName(const std::string& path) {
    const size_t cut = path.rfind('/');
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// A link names the file the user means: the link stays, its target gets the new content.
std::string ResolveLink(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr)
        return path;
    return resolved;
}

} // namespace

ExportFile::~ExportFile() {
    Discard();
}

std::string ExportFile::Message(int error) const {
    const std::string head = "Cannot write the file " + path_ + ": ";
    if (error == ENOENT || error == ENOTDIR)
        return head + "the folder " + FolderOf(path_) + " does not exist.";
    if (error == EISDIR)
        return head + "it is a folder.";
    return head + std::strerror(error) + ".";
}

bool ExportFile::Open(const std::string& path, std::string& error) {
    Discard();
    path_ = path;
    if (path.empty() || path.back() == '/') {
        error = path.empty() ? "No file was named for the export." : Message(EISDIR);
        return false;
    }
    const std::string target = ResolveLink(path);
    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        error = Message(EISDIR);
        return false;
    }
    // A hidden name in the same folder, so the rename stays on one file system; O_EXCL makes
    // two exports of the same file never share one temporary file.
    static std::atomic<unsigned> serial{0};
    const std::string stem =
        FolderOf(target) + "/." + BaseName(target) + "." + std::to_string(::getpid()) + "-";
    int e = EEXIST;
    for (int attempt = 0; attempt < 100 && e == EEXIST; ++attempt)
        e = file_.Open(stem + std::to_string(serial.fetch_add(1)) + ".tmp", target, 0666, true);
    if (e != 0) {
        error = Message(e);
        return false;
    }
    open_ = true;
    // A file replaced keeps who may read it: a report kept private stays private.
    if (exists)
        file_.SetMode(st.st_mode & 07777);
    return true;
}

bool ExportFile::Write(std::string_view bytes) {
    return open_ && file_.Write(bytes) == 0;
}

bool ExportFile::Commit(std::string& error) {
    if (!open_) {
        error = path_.empty() ? "No file was named for the export." : Message(EBADF);
        return false;
    }
    open_ = false;
    if (const int e = file_.Commit(); e != 0) {
        error = Message(e);
        return false;
    }
    return true;
}

void ExportFile::Discard() {
    file_.Discard();
    open_ = false;
}

bool WriteExportFile(const std::string& path, std::string_view bytes, std::string& error) {
    ExportFile file;
    if (!file.Open(path, error))
        return false;
    file.Write(bytes);
    return file.Commit(error);
}

bool StreamExportFile(const std::string& path,
                      const std::function<bool(const ExportWriter&)>& produce,
                      const std::string& produceProblem, std::string& error) {
    ExportFile file;
    if (!file.Open(path, error))
        return false;
    bool fileFailed = false;
    const bool produced = produce([&](std::string_view piece) {
        fileFailed = !file.Write(piece);
        return !fileFailed;
    });
    if (produced || fileFailed)
        return file.Commit(error); // a failed file says why itself, and is not put in place
    file.Discard();
    error =
        "Cannot write the file " + path + ": " +
        (produceProblem.empty() ? std::string("its content could not be made.") : produceProblem);
    return false;
}

std::string FileNameSafe(std::string_view name, std::string_view fallback) {
    std::string out;
    for (char c : name)
        out += (c == '/' || c == '\\' || c == '\0' || c == ':' || c == '*' || c == '?' ||
                c == '"' || c == '<' || c == '>' || c == '|')
                   ? '_'
                   : c;
    return out.empty() ? std::string(fallback) : out;
}

} // namespace orv
