#include "Interruption.h"

#include "core/Cp1252.h"
#include "core/Errors.h"
#include "core/WorkFiles.h"

#include <atomic>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <iostream>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zeb::cli {
namespace fs = std::filesystem;

namespace {

constexpr int TerminatingSignals[] = {SIGINT, SIGTERM, SIGHUP};

std::atomic<int> g_signal{0};
static_assert(std::atomic<int>::is_always_lock_free);
// Written once by the handler, never read: its read end stays readable for any wait.
int g_wake[2] = {-1, -1};
int g_terminalFd = -1;
termios g_terminalSettings{};
thread_local int t_ignored = 0;

bool stopHere() {
    return t_ignored == 0 && InterruptionRequested();
}

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

void restoreTerminal() {
    if (g_terminalFd < 0)
        return;
    ::tcsetattr(g_terminalFd, TCSANOW, &g_terminalSettings);
    // The answer was being typed without echo: the shell's prompt starts on a line of its own.
    [[maybe_unused]] const ssize_t ended = ::write(g_terminalFd, "\n", 1);
}

bool removeTreeAt(int parentFd, const char* name, Walk& walk);

[[noreturn]] void endBy(int signal) {
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

extern "C" void onTerminatingSignal(int signal) {
    int none = 0;
    if (g_signal.compare_exchange_strong(none, signal)) {
        const int saved = errno;
        const char wake = 1;
        [[maybe_unused]] const ssize_t woken = ::write(g_wake[1], &wake, 1);
        errno = saved;
        return;
    }
    // Asked twice: the user does not want to wait for the work in progress to wind down.
    restoreTerminal();
    endBy(signal);
}

} // namespace

void InstallInterruptionHandlers() {
    if (g_wake[0] < 0 && ::pipe2(g_wake, O_CLOEXEC | O_NONBLOCK) != 0)
        g_wake[0] = g_wake[1] = -1; // no wait can end on it; the steps still see the signal
    struct sigaction action {};
    action.sa_handler = onTerminatingSignal;
    // Every other call goes on as if nothing happened; the work sees the signal at its next step.
    action.sa_flags = SA_RESTART;
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

int InterruptionSignal() {
    return g_signal.load(std::memory_order_relaxed);
}

int InterruptionDescriptor() {
    return g_wake[0];
}

void ThrowIfInterrupted() {
    if (stopHere())
        throw Interrupted();
}

InterruptionsIgnored::InterruptionsIgnored() {
    ++t_ignored;
}

InterruptionsIgnored::~InterruptionsIgnored() {
    --t_ignored;
}

void EndByInterruption() {
    std::cout.flush();
    std::cerr.flush();
    const int signal = InterruptionSignal();
    endBy(signal != 0 ? signal : SIGTERM);
}

SignalsHeld::SignalsHeld() {
    sigset_t terminating;
    ::sigemptyset(&terminating);
    for (int signal : TerminatingSignals)
        ::sigaddset(&terminating, signal);
    ::pthread_sigmask(SIG_BLOCK, &terminating, &previous_);
}

SignalsHeld::~SignalsHeld() {
    ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

void RestoreTerminalOnInterruption(int fd, const termios& settings) {
    g_terminalSettings = settings;
    g_terminalFd = fd;
}

void ForgetTerminalOnInterruption() {
    g_terminalFd = -1;
}

bool RemoveTreeAt(int parentFd, const char* name) {
    Walk walk;
    return removeTreeAt(parentFd, name, walk);
}

namespace {

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

void WriteOutputFile(const fs::path& file, std::string_view contents) {
    ThrowIfInterrupted();
    const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    std::string temporary = (folder / ("." + file.filename().string() + ".XXXXXX")).string();
    const auto fail = [&file](const char* what, int error) {
        throw ZebError(std::string(what) + " « " + PrintableName(file.string()) +
                       " » : " + FrenchReason(error) + ".");
    };
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        fail("Impossible de créer le fichier", errno);
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
    const bool interrupted = error == 0 && stopHere();
    if (error == 0 && !interrupted && ::rename(temporary.c_str(), file.c_str()) != 0)
        error = errno;
    if (error != 0 || interrupted)
        ::unlink(temporary.c_str());
    if (interrupted)
        throw Interrupted();
    if (error != 0)
        fail("Impossible d'écrire le fichier", error);
}

} // namespace zeb::cli
