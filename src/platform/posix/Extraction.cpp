// The extraction folder on POSIX: every step goes through descriptors opened from the folder with
// the *at() calls, with O_NOFOLLOW wherever a name is opened.

#include "platform/Platform.h"

#include <cerrno>
#include <ctime>
#include <dlfcn.h>
#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace zeb {
namespace {

void closeHandle(std::intptr_t& handle) {
    if (handle >= 0)
        ::close(static_cast<int>(handle));
    handle = -1;
}

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

// A hidden ".zeb-XXXXXX" name that `make` takes; `make` returns 0 or an errno value.
int takeHiddenName(std::string& taken, const std::function<int(const std::string&)>& make) {
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        std::string name = ".zeb-" + randomSuffix(attempt);
        const int error = make(name);
        if (error == 0) {
            taken = std::move(name);
            return 0;
        }
        if (error != EEXIST)
            return error;
    }
    return EEXIST;
}

} // namespace

bool ExtractionNameAllowed(std::string_view) {
    return true;
}

void* LoadSystemLibrary(const char* fileName) {
    return ::dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
}

void* SystemLibrarySymbol(void* library, const char* name) {
    return ::dlsym(library, name);
}

ExtractionRoot::~ExtractionRoot() {
    closeHandle(handle_);
}

int ExtractionRoot::open() {
    closeHandle(handle_);
    const int fd = ::open(".", O_DIRECTORY | O_PATH | O_CLOEXEC);
    if (fd < 0)
        return errno;
    handle_ = fd;
    return 0;
}

std::intptr_t ExtractionFolders::innermost() const {
    return levels_.empty() ? root_.handle_ : levels_.back().handle;
}

const std::filesystem::path& ExtractionFolders::innermostPath() const {
    return levels_.empty() ? root_.path_ : levels_.back().path;
}

int ExtractionFolders::open(const std::vector<std::string>& parts, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const int parent = static_cast<int>(innermost());
        const std::string& part = parts[i];
        bool made = false;
        if (::mkdirat(parent, part.c_str(), 0700) == 0)
            made = true;
        else if (errno != EEXIST)
            return errno;
        // O_NOFOLLOW turns a link (even one put there since mkdirat) into ELOOP, O_DIRECTORY
        // a file into ENOTDIR.
        const int next = ::openat(parent, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0) {
            const int error = errno;
            if (made)
                ::unlinkat(parent, part.c_str(), AT_REMOVEDIR);
            return error;
        }
        levels_.push_back(Level{next, {}, part, made});
    }
    return 0;
}

ExtractionEntry ExtractionFolders::inspect(const std::string& name) const {
    struct stat existing {};
    if (::fstatat(static_cast<int>(innermost()), name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT)
            return {};
        return {ExtractionEntry::Kind::Other, 0, errno};
    }
    if (!S_ISREG(existing.st_mode))
        return {ExtractionEntry::Kind::Other, 0, 0};
    return {ExtractionEntry::Kind::File, static_cast<std::int64_t>(existing.st_mtime), 0};
}

void ExtractionFolders::keep() {
    for (Level& level : levels_)
        level.made = false;
}

ExtractionFolders::~ExtractionFolders() {
    // Innermost first; a folder that is not empty (another member's) stays.
    while (!levels_.empty()) {
        Level level = std::move(levels_.back());
        levels_.pop_back();
        closeHandle(level.handle);
        if (level.made)
            ::unlinkat(static_cast<int>(innermost()), level.name.c_str(), AT_REMOVEDIR);
    }
}

ExtractionFile::~ExtractionFile() {
    discard();
}

int ExtractionFile::create(const ExtractionFolders& folders) {
    discard();
    folder_ = folders.innermost();
    const int folder = static_cast<int>(folder_);
    // Unnamed while it is written: a crash or a signal then leaves no pupil line on disk.
    const int fd = ::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd >= 0) {
        handle_ = fd;
        return 0;
    }
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOENT)
        return errno;
    // A file system without unnamed files: a hidden name from the start.
    return takeHiddenName(name_, [this, folder](const std::string& name) {
        const int named =
            ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (named >= 0)
            handle_ = named;
        return named >= 0 ? 0 : errno;
    });
}

int ExtractionFile::write(const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(static_cast<int>(handle_), data, size);
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

int ExtractionFile::commit(const std::string& name, std::int64_t mtime, bool replace) {
    const int fd = static_cast<int>(handle_);
    const int folder = static_cast<int>(folder_);
    // An explicit mode: the umask must neither widen nor narrow what the caller expects.
    if (::fchmod(fd, 0600) != 0)
        return errno;
    const struct timespec times[2] = {{static_cast<std::time_t>(mtime), 0},
                                      {static_cast<std::time_t>(mtime), 0}};
    if (::futimens(fd, times) != 0)
        return errno;
    // The unnamed file gets its hidden name only now, once complete. Linking a descriptor by
    // itself needs a privilege; its /proc entry does not.
    if (name_.empty()) {
        const int error = takeHiddenName(name_, [fd, folder](const std::string& hidden) {
            if (::linkat(fd, "", folder, hidden.c_str(), AT_EMPTY_PATH) == 0)
                return 0;
            const std::string self = "/proc/self/fd/" + std::to_string(fd);
            return ::linkat(AT_FDCWD, self.c_str(), folder, hidden.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0
                                                                                                    : errno;
        });
        if (error != 0)
            return error;
    }
    // Closed now, and what close() says is heard: a delayed write error shows there.
    const int closed = ::close(static_cast<int>(std::exchange(handle_, -1)));
    if (closed != 0)
        return errno;
    int result = ::renameat2(folder, name_.c_str(), folder, name.c_str(), replace ? 0u : RENAME_NOREPLACE);
    if (result != 0 && !replace && (errno == EINVAL || errno == ENOSYS)) {
        // A file system without RENAME_NOREPLACE: check, then rename.
        struct stat st;
        if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
            return EEXIST;
        result = ::renameat(folder, name_.c_str(), folder, name.c_str());
    }
    if (result != 0)
        return errno;
    name_.clear();
    return 0;
}

void ExtractionFile::discard() {
    closeHandle(handle_);
    if (!name_.empty())
        ::unlinkat(static_cast<int>(folder_), name_.c_str(), 0);
    name_.clear();
}

} // namespace zeb
