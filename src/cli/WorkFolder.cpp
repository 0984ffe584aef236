#include "WorkFolder.h"

#include "Interruption.h"
#include "core/Errors.h"
#include "core/WorkFiles.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zeb::cli {
namespace fs = std::filesystem;

fs::path BaseWorkFolder() {
    std::string reasons;
    const auto usable = [&reasons](const char* name, const char* value) {
        std::string why;
        struct stat info {};
        if (value == nullptr || *value == '\0')
            why = "n'est pas défini";
        else if (*value != '/')
            why = "« " + std::string(value) + " » n'est pas un chemin absolu";
        else if (::stat(value, &info) != 0)
            why = "« " + std::string(value) + " » n'existe pas";
        else if (!S_ISDIR(info.st_mode))
            why = "« " + std::string(value) + " » n'est pas un dossier";
        else if (::access(value, W_OK | X_OK) != 0)
            why = "« " + std::string(value) + " » n'est pas accessible en écriture";
        else
            return true;
        reasons += std::string("\n  ") + name + " : " + why + ".";
        return false;
    };
    for (const char* variable : {"XDG_RUNTIME_DIR", "TMPDIR"}) {
        const char* value = std::getenv(variable);
        if (usable(variable, value))
            return value;
    }
    if (usable("dossier temporaire du système", "/tmp"))
        return "/tmp";
    throw ZebError("aucun dossier ne peut recevoir le dossier de travail temporaire :" + reasons);
}

namespace {

// Locks the mark for as long as `fd` is open. A file system without locks (some network
// shares) leaves it unlocked: IsStaleOwnFolder, which cannot lock it either, then never takes
// the folder for a leftover.
int lockMark(int fd, int how) {
    if (::flock(fd, how) == 0)
        return 0;
    return errno == ENOLCK || errno == EOPNOTSUPP || errno == EINVAL ? 0 : errno;
}

bool writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}


} // namespace

PrivateFolder::PrivateFolder(const fs::path& parent, std::string_view prefix, std::string_view what,
                             Lock lock) {
    std::string pattern = (parent / (std::string(prefix) + "XXXXXX")).string();
    const auto fail = [what](int error) {
        throw ZebError(std::string(what) + " : " + FrenchReason(error) + ".");
    };
    if (::mkdtemp(pattern.data()) == nullptr)
        fail(errno);
    path_ = pattern;
    const fs::path mark = path_ / OwnMarkName;
    markFd_ = ::open(mark.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    int error = markFd_ < 0 ? errno : 0;
    if (error == 0 && lock == Lock::Held)
        error = lockMark(markFd_, LOCK_EX);
    if (error == 0 && !writeAll(markFd_, std::string(OwnMarkLine) + "\n"))
        error = errno != 0 ? errno : EIO;
    if (lock == Lock::None && markFd_ >= 0) {
        ::close(markFd_);
        markFd_ = -1;
    }
    if (error != 0) {
        remove();
        fail(error);
    }
}

PrivateFolder::~PrivateFolder() {
    remove();
}

bool PrivateFolder::remove() {
    // Removed with its mark still locked, so that no other run takes it for a leftover meanwhile;
    // out of descriptors, the mark's own is given back for the walk.
    for (int attempt = 0; !gone_ && attempt < 2; ++attempt) {
        if (attempt == 1)
            releaseMark();
        gone_ = RemoveTreeAt(AT_FDCWD, path_.c_str());
    }
    if (gone_)
        releaseMark();
    return gone_;
}

void PrivateFolder::keep() {
    gone_ = true;
    releaseMark();
}

void PrivateFolder::releaseMark() {
    if (markFd_ >= 0)
        ::close(markFd_);
    markFd_ = -1;
}

bool IsStaleOwnFolder(const fs::path& folder) {
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid())
        return false;
    const FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (dir.get() < 0)
        return false;
    const FileDescriptor mark(
        ::openat(dir.get(), std::string(OwnMarkName).c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC));
    if (mark.get() < 0) {
        // Killed between making the folder and its mark: only an empty folder, long untouched.
        std::error_code error;
        constexpr time_t Hour = 3600;
        return errno == ENOENT && fs::is_empty(folder, error) && !error &&
               info.st_mtime + Hour < ::time(nullptr);
    }
    struct stat markInfo {};
    char first[OwnMarkLine.size() + 1] = {};
    const ssize_t got = ::pread(mark.get(), first, sizeof first, 0);
    if (::fstat(mark.get(), &markInfo) != 0 || !S_ISREG(markInfo.st_mode) || markInfo.st_uid != ::geteuid() ||
        got != static_cast<ssize_t>(sizeof first) ||
        std::string_view(first, OwnMarkLine.size()) != OwnMarkLine || first[OwnMarkLine.size()] != '\n')
        return false;
    // A running program holds its folder's mark locked.
    return ::flock(mark.get(), LOCK_EX | LOCK_NB) == 0;
}

void RemoveStaleFolders(const fs::path& parent, std::string_view prefix) {
    std::error_code error;
    std::vector<std::string> stale;
    for (fs::directory_iterator it(parent, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.starts_with(prefix) && IsStaleOwnFolder(it->path()))
            stale.push_back(name);
    }
    const FileDescriptor folder(::open(parent.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    for (const std::string& name : stale)
        if (folder.get() >= 0)
            RemoveTreeAt(folder.get(), name.c_str());
}

} // namespace zeb::cli
