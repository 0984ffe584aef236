#include "Disk.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zeb::unzdll {

void Fd::reset() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

int Fd::close() {
    if (fd_ < 0)
        return 0;
    const int result = ::close(std::exchange(fd_, -1));
    return result == 0 ? 0 : errno;
}

int FolderPath::open(int root, const std::vector<std::string>& parts, std::size_t count) {
    current_ = root;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string& part = parts[i];
        bool made = false;
        if (::mkdirat(current_, part.c_str(), 0700) == 0)
            made = true;
        else if (errno != EEXIST)
            return errno;
        // O_NOFOLLOW turns a link (even one put there since mkdirat) into ELOOP, O_DIRECTORY
        // a file into ENOTDIR.
        Fd next(::openat(current_, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!next.valid()) {
            const int error = errno;
            if (made)
                ::unlinkat(current_, part.c_str(), AT_REMOVEDIR);
            return error;
        }
        if (made)
            created_.emplace_back(current_, part);
        current_ = next.get();
        levels_.push_back(std::move(next));
    }
    return 0;
}

FolderPath::~FolderPath() {
    // Innermost first; a folder that is not empty (another member's) stays.
    for (auto it = created_.rbegin(); it != created_.rend(); ++it)
        ::unlinkat(it->first, it->second.c_str(), AT_REMOVEDIR);
}

namespace {

std::string randomSuffix(unsigned attempt) {
    static constexpr char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char bytes[6] = {};
    if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
        // No entropy yet: the name only has to be fresh, O_EXCL guards the rest.
        auto mix = static_cast<unsigned long>(::getpid()) * 2654435761UL + attempt * 40503UL +
                   static_cast<unsigned long>(std::time(nullptr));
        for (auto& byte : bytes) {
            byte = static_cast<unsigned char>(mix);
            mix = mix * 6364136223846793005UL + 1442695040888963407UL;
            mix ^= mix >> 29;
        }
    }
    std::string suffix;
    for (unsigned char byte : bytes)
        suffix += Alphabet[byte % (sizeof Alphabet - 1)];
    return suffix;
}

} // namespace

TempFile::~TempFile() {
    discard();
}

int TempFile::create(int folder) {
    discard();
    folder_ = folder;
    // Unnamed while it is written: a crash or a signal then leaves no pupil line on disk.
    const int fd = ::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd >= 0) {
        fd_ = Fd(fd);
        return 0;
    }
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOENT)
        return errno;
    // A file system without unnamed files: a hidden name from the start.
    return createNamed([this](const std::string& name) {
        const int named =
            ::openat(folder_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (named >= 0)
            fd_ = Fd(named);
        return named >= 0 ? 0 : errno;
    });
}

int TempFile::createNamed(const std::function<int(const std::string&)>& make) {
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        std::string name = ".zeb-" + randomSuffix(attempt);
        const int error = make(name);
        if (error == 0) {
            name_ = std::move(name);
            return 0;
        }
        if (error != EEXIST)
            return error;
    }
    return EEXIST;
}

// The unnamed file gets its hidden name only now, once complete. Linking a descriptor by
// itself needs a privilege; its /proc entry does not.
int TempFile::nameUnnamed() {
    return createNamed([this](const std::string& name) {
        if (::linkat(fd_.get(), "", folder_, name.c_str(), AT_EMPTY_PATH) == 0)
            return 0;
        const std::string self = "/proc/self/fd/" + std::to_string(fd_.get());
        return ::linkat(AT_FDCWD, self.c_str(), folder_, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
    });
}

int TempFile::write(const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd_.get(), data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return 0;
}

int TempFile::commit(const std::string& name, std::time_t mtime, bool replace) {
    // An explicit mode: the umask must neither widen nor narrow what the caller expects.
    if (::fchmod(fd_.get(), 0600) != 0)
        return errno;
    const struct timespec times[2] = {{mtime, 0}, {mtime, 0}};
    if (::futimens(fd_.get(), times) != 0)
        return errno;
    if (name_.empty())
        if (const int error = nameUnnamed(); error != 0)
            return error;
    if (const int error = fd_.close(); error != 0)
        return error;
    int result = ::renameat2(folder_, name_.c_str(), folder_, name.c_str(), replace ? 0u : RENAME_NOREPLACE);
    if (result != 0 && !replace && (errno == EINVAL || errno == ENOSYS)) {
        // A file system without RENAME_NOREPLACE: check, then rename.
        struct stat st;
        if (::fstatat(folder_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
            return EEXIST;
        result = ::renameat(folder_, name_.c_str(), folder_, name.c_str());
    }
    if (result != 0)
        return errno;
    name_.clear();
    return 0;
}

void TempFile::discard() {
    fd_.reset();
    if (!name_.empty())
        ::unlinkat(folder_, name_.c_str(), 0);
    name_.clear();
}

} // namespace zeb::unzdll
