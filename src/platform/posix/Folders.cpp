// Folders, the POSIX way: the current one, private ones, their removal and their locks.

#include "Descriptor.h"
#include "core/Cp1252.h"
#include "core/Errors.h"
#include "platform/Platform.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zeb {
namespace fs = std::filesystem;
using posix::FileDescriptor;

namespace {

bool isDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// One listing buffer for a whole walk: a walk never needs two listings at once.
struct Walk {
    alignas(dirent64) char listing[16384];
    bool progress = false;
};

// Empties the folder open as `dir` (which it closes): files and empty folders go at once, a
// folder that is not empty is entered, and once a folder is empty the walk goes back up and
// lists its parent again, where the emptied folder now goes. The walk stops at something that
// cannot be removed (no permission); the caller then tries again while anything goes.
void emptyTree(int dir, Walk& walk) {
    struct stat top {};
    if (::fstat(dir, &top) != 0) {
        ::close(dir);
        return;
    }
    for (;;) {
        bool entered = false;
        bool stuck = false;
        for (long count;
             !entered && !stuck && (count = ::getdents64(dir, walk.listing, sizeof walk.listing)) > 0;) {
            for (long at = 0; at < count;) {
                const auto* entry = reinterpret_cast<const dirent64*>(walk.listing + at);
                at += entry->d_reclen;
                if (isDotOrDotDot(entry->d_name))
                    continue;
                if (::unlinkat(dir, entry->d_name, 0) == 0 ||
                    ((errno == EISDIR || errno == EPERM) &&
                     ::unlinkat(dir, entry->d_name, AT_REMOVEDIR) == 0)) {
                    walk.progress = true;
                    continue;
                }
                const int child =
                    errno == ENOTEMPTY || errno == EEXIST
                        ? ::openat(dir, entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)
                        : -1;
                if (child < 0) {
                    stuck = true;
                } else {
                    ::close(dir);
                    dir = child;
                    entered = true;
                }
                break;
            }
        }
        if (entered)
            continue;
        struct stat here {};
        if (stuck || ::fstat(dir, &here) != 0 || (here.st_dev == top.st_dev && here.st_ino == top.st_ino))
            break;
        const int parent = ::openat(dir, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(dir);
        if (parent < 0)
            return;
        dir = parent;
    }
    ::close(dir);
}

bool removeTreeAt(int parentFd, const char* name, Walk& walk) {
    const int savedErrno = errno;
    bool gone = false;
    for (;;) {
        if (::unlinkat(parentFd, name, AT_REMOVEDIR) == 0 || errno == ENOENT) {
            gone = true;
            break;
        }
        if (errno == ENOTDIR) {
            gone = ::unlinkat(parentFd, name, 0) == 0 || errno == ENOENT;
            break;
        }
        if (errno != ENOTEMPTY && errno != EEXIST)
            break;
        const int dir = ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (dir < 0)
            break;
        // Stop when a whole pass removed nothing rather than walk for ever.
        walk.progress = false;
        emptyTree(dir, walk);
        if (!walk.progress)
            break;
    }
    errno = savedErrno;
    return gone;
}

} // namespace

CurrentFolderGuard::CurrentFolderGuard() : handle_(::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}

CurrentFolderGuard::~CurrentFolderGuard() {
    if (handle_ >= 0) {
        // A destructor has no one to tell that the folder could not come back.
        [[maybe_unused]] const int back = ::fchdir(static_cast<int>(handle_));
        ::close(static_cast<int>(handle_));
    }
}

bool MakePrivateFolder(const fs::path& folder) {
    if (::mkdir(folder.c_str(), 0700) == 0)
        return true;
    const int error = errno;
    struct stat info {};
    if (error == EEXIST && ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        return false;
    throw ZebError("Impossible de créer le dossier « " + PrintableName(folder.string()) + " » : " +
                   (error == EEXIST ? std::string("un fichier porte déjà ce nom") : FrenchReason(error)) +
                   ".");
}

bool RemoveTree(const fs::path& path) {
    Walk walk;
    return removeTreeAt(AT_FDCWD, path.c_str(), walk);
}

int CheckWritableFolder(const fs::path& folder) {
    return ::access(folder.c_str(), W_OK | X_OK) == 0 ? 0 : errno;
}

std::optional<FolderLock> FolderLock::TryLock(const fs::path& folder, std::string_view name) {
    const int fd = ::open((folder / name).c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        throw ZebError("Impossible de créer le verrou du dossier « " + PrintableName(folder.string()) +
                       " » : " + FrenchReason(errno) + ".");
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        ::close(fd);
        return std::nullopt;
    }
    return FolderLock(fd);
}

FolderLock::FolderLock(FolderLock&& other) noexcept : handle_(std::exchange(other.handle_, -1)) {}

FolderLock& FolderLock::operator=(FolderLock&& other) noexcept {
    std::swap(handle_, other.handle_);
    return *this;
}

FolderLock::~FolderLock() {
    if (handle_ >= 0)
        ::close(static_cast<int>(handle_));
}

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
    const int fd = ::open(mark.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    mark_ = fd;
    int error = fd < 0 ? errno : 0;
    if (error == 0 && lock == Lock::Held)
        error = lockMark(fd, LOCK_EX);
    if (error == 0 && !writeAll(fd, std::string(OwnMarkLine) + "\n"))
        error = errno != 0 ? errno : EIO;
    if (lock == Lock::None)
        releaseMark();
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
        gone_ = RemoveTree(path_);
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
    if (mark_ >= 0)
        ::close(static_cast<int>(mark_));
    mark_ = -1;
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
    for (const std::string& name : stale)
        RemoveTree(parent / name);
}

} // namespace zeb
