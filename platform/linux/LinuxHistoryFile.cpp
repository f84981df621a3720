#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

#include "platform/HistoryFile.h"
#include "platform/linux/UniqueFd.h"

namespace platform {

namespace {

FileFailure failure(const std::string& path, int error) {
    return {path, std::generic_category().message(error)};
}

// The folders of `path` that are missing, from the top down; only their owner may enter them,
// as a state folder should be.
std::optional<FileFailure> makeFoldersOf(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
            return failure(folder, errno);
    }
    return std::nullopt;
}

// Whether the file holds something whose last byte is not a line end: a line torn part-way.
bool endsTorn(int fd) {
    struct stat status {};
    char last = '\n';
    return ::fstat(fd, &status) == 0 && status.st_size > 0 &&
           ::pread(fd, &last, 1, status.st_size - 1) == 1 && last != '\n';
}

// A new file's name is durable only once its folder is; a failure here loses nothing that the
// file itself does not still hold, so it goes unreported.
void syncFolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd)
        ::fsync(fd.get());
}

}  // namespace

std::optional<std::string> defaultHistoryPath() {
    // Relative values are to be ignored, as the base directory rules say.
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state && state[0] == '/')
        return std::string(state) + "/velantrix-update/history.jsonl";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return std::string(home) + "/.local/state/velantrix-update/history.jsonl";
    return std::nullopt;
}

std::optional<FileFailure> appendLineDurably(const std::string& path, std::string_view line,
                                             bool makeFolders) {
    if (makeFolders) {
        if (auto failed = makeFoldersOf(path))
            return failed;
    }
    // Read access only to look at the last byte; a file we may only append to gets no repair.
    constexpr int flags = O_APPEND | O_CREAT | O_CLOEXEC;
    UniqueFd fd(::open(path.c_str(), O_RDWR | flags, 0644));
    if (!fd && errno == EACCES)
        fd = UniqueFd(::open(path.c_str(), O_WRONLY | flags, 0644));
    if (!fd)
        return failure(path, errno);
    struct stat status {};
    const bool created = ::fstat(fd.get(), &status) == 0 && status.st_size == 0;
    std::string text = endsTorn(fd.get()) ? "\n" : "";
    text.append(line);
    text += '\n';
    // O_APPEND puts each write at the end as one piece, so a line written at once never mixes
    // with another program's. A write comes back short only when the disk fills up or a signal
    // arrives part-way: the rest then follows at once (a full disk fails it, and the torn line
    // is skipped by the reader and set apart by the next append).
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t wrote = ::write(fd.get(), text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return failure(path, wrote == 0 ? ENOSPC : errno);
        done += static_cast<std::size_t>(wrote);
    }
    int synced = 0;
    do
        synced = ::fsync(fd.get());
    while (synced != 0 && errno == EINTR);
    if (synced != 0)
        return failure(path, errno);
    if (created)
        syncFolderOf(path);
    return std::nullopt;
}

}  // namespace platform
