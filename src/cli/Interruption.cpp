#include "Interruption.h"

#include "core/Errors.h"
#include "core/WorkFiles.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zeb::cli {
namespace fs = std::filesystem;

namespace {

constexpr int TerminatingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// A name inside an open folder, in storage a signal handler may read.
struct Registered {
    int parentFd = -1;
    char name[NAME_MAX + 1] = {};
};

Registered g_tree;
Registered g_file;
int g_terminalFd = -1;
termios g_terminalSettings{};

bool registerAt(Registered& slot, const fs::path& path) {
    const std::string name = path.filename().string();
    if (name.empty() || name.size() > NAME_MAX)
        return false;
    const fs::path parent = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    const int fd = ::open(parent.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    if (slot.parentFd >= 0)
        ::close(slot.parentFd);
    std::memcpy(slot.name, name.c_str(), name.size() + 1);
    slot.parentFd = fd;
    return true;
}

void forget(Registered& slot) {
    if (slot.parentFd >= 0)
        ::close(slot.parentFd);
    slot.parentFd = -1;
    slot.name[0] = '\0';
}

bool isDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// One listing buffer for the whole walk: a walk never needs two listings at once.
alignas(dirent64) char g_listing[16384];
bool g_progress = false;

// Empties the folder open as `dir` (which it closes): files and empty folders go at once, a
// folder that is not empty is entered, and once a folder is empty the walk goes back up and
// lists its parent again, where the emptied folder now goes. The walk stops at something that
// cannot be removed (no permission); the caller then tries again while anything goes.
void emptyTree(int dir) {
    struct stat top {};
    if (::fstat(dir, &top) != 0) {
        ::close(dir);
        return;
    }
    for (;;) {
        bool entered = false;
        bool stuck = false;
        for (long count;
             !entered && !stuck && (count = ::getdents64(dir, g_listing, sizeof g_listing)) > 0;) {
            for (long at = 0; at < count;) {
                const auto* entry = reinterpret_cast<const dirent64*>(g_listing + at);
                at += entry->d_reclen;
                if (isDotOrDotDot(entry->d_name))
                    continue;
                if (::unlinkat(dir, entry->d_name, 0) == 0 ||
                    ((errno == EISDIR || errno == EPERM) &&
                     ::unlinkat(dir, entry->d_name, AT_REMOVEDIR) == 0)) {
                    g_progress = true;
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

void restoreTerminal() {
    if (g_terminalFd < 0)
        return;
    ::tcsetattr(g_terminalFd, TCSANOW, &g_terminalSettings);
    // The answer was being typed without echo: the shell's prompt starts on a line of its own.
    [[maybe_unused]] const ssize_t ended = ::write(g_terminalFd, "\n", 1);
}

extern "C" void onTerminatingSignal(int signal) {
    restoreTerminal();
    if (g_file.parentFd >= 0)
        ::unlinkat(g_file.parentFd, g_file.name, 0);
    if (g_tree.parentFd >= 0)
        RemoveTreeAt(g_tree.parentFd, g_tree.name);
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    ::sigaction(signal, &fallback, nullptr);
    sigset_t only;
    ::sigemptyset(&only);
    ::sigaddset(&only, signal);
    ::raise(signal);
    ::sigprocmask(SIG_UNBLOCK, &only, nullptr);
    ::_exit(128 + signal);
}

} // namespace

void InstallInterruptionHandlers() {
    struct sigaction action {};
    action.sa_handler = onTerminatingSignal;
    ::sigemptyset(&action.sa_mask);
    for (int signal : TerminatingSignals)
        ::sigaddset(&action.sa_mask, signal);
    for (int signal : TerminatingSignals) {
        // A signal the caller chose to ignore (nohup, a background job) stays ignored.
        struct sigaction inherited {};
        if (::sigaction(signal, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN)
            continue;
        ::sigaction(signal, &action, nullptr);
    }
}

SignalsHeld::SignalsHeld() {
    sigset_t terminating;
    ::sigemptyset(&terminating);
    for (int signal : TerminatingSignals)
        ::sigaddset(&terminating, signal);
    ::sigprocmask(SIG_BLOCK, &terminating, &previous_);
}

SignalsHeld::~SignalsHeld() {
    ::sigprocmask(SIG_SETMASK, &previous_, nullptr);
}

bool RemoveTreeOnInterruption(const fs::path& folder) {
    return registerAt(g_tree, folder);
}

bool RemoveRegisteredTree() {
    const SignalsHeld held;
    const bool gone = g_tree.parentFd < 0 || RemoveTreeAt(g_tree.parentFd, g_tree.name);
    forget(g_tree);
    return gone;
}

bool RemoveFileOnInterruption(const fs::path& file) {
    return registerAt(g_file, file);
}

void KeepFileOnInterruption() {
    forget(g_file);
}

void RestoreTerminalOnInterruption(int fd, const termios& settings) {
    g_terminalSettings = settings;
    g_terminalFd = fd;
}

void ForgetTerminalOnInterruption() {
    g_terminalFd = -1;
}

bool RemoveTreeAt(int parentFd, const char* name) {
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
        g_progress = false;
        emptyTree(dir);
        if (!g_progress)
            break;
    }
    errno = savedErrno;
    return gone;
}

void WriteOutputFile(const fs::path& file, std::string_view contents) {
    const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    std::string hidden = ".";
    hidden.append(file.filename().string()).append(".XXXXXX");
    std::string temporary = (folder / hidden).string();
    const auto fail = [&file](const char* what, int error) {
        throw ZebError(std::string(what) + " « " + file.string() + " » : " + FrenchReason(error) + ".");
    };
    int fd = -1;
    {
        const SignalsHeld held;
        fd = ::mkostemp(temporary.data(), O_CLOEXEC);
        if (fd < 0)
            fail("Impossible de créer le fichier", errno);
        if (!RemoveFileOnInterruption(temporary)) {
            const int error = errno;
            ::close(fd);
            ::unlink(temporary.c_str());
            fail("Impossible de créer le fichier", error);
        }
    }
    int error = 0;
    for (std::size_t done = 0; error == 0 && done < contents.size();) {
        const ssize_t written = ::write(fd, contents.data() + done, contents.size() - done);
        if (written > 0)
            done += static_cast<std::size_t>(written);
        else if (written < 0 && errno != EINTR)
            error = errno;
        else if (written == 0)
            error = EIO;
    }
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    const SignalsHeld held;
    if (error == 0 && ::rename(temporary.c_str(), file.c_str()) != 0)
        error = errno;
    if (error != 0)
        ::unlink(temporary.c_str());
    KeepFileOnInterruption();
    if (error != 0)
        fail("Impossible d'écrire le fichier", error);
}

} // namespace zeb::cli
