#include "Interruption.h"

#include "core/Errors.h"
#include "core/WorkFiles.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace zeb::cli {
namespace fs = std::filesystem;

namespace {

constexpr int TerminatingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// A name inside an open folder, in storage a signal handler may read. Its state says who
// may touch the rest: the thread that fills or empties it, or, once claimed, the handler.
enum SlotState : int { Free, Filling, Ready, Claimed };
struct Registered {
    std::atomic<int> state{Free};
    int parentFd = -1;
    bool tree = false;
    char name[NAME_MAX + 1] = {};
};
static_assert(std::atomic<int>::is_always_lock_free);

// Two per class being made in parallel (its work folder and its output folder), and files.
constexpr int SlotCount = 64;
Registered g_slots[SlotCount];
std::atomic_flag g_ending = ATOMIC_FLAG_INIT;
int g_terminalFd = -1;
termios g_terminalSettings{};

// A thread whose place the handler took: the handler ends the process, nothing more to do.
[[noreturn]] void waitForTheEnd() {
    for (;;)
        ::pause();
}

bool isDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// One listing buffer for a whole walk: a walk never needs two listings at once. The handler
// has its own; a thread walks with one on its stack.
struct Walk {
    alignas(dirent64) char listing[16384];
    bool progress = false;
};
Walk g_handlerWalk;

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

bool removeEntry(const Registered& slot, Walk& walk) {
    if (slot.tree)
        return removeTreeAt(slot.parentFd, slot.name, walk);
    return ::unlinkat(slot.parentFd, slot.name, 0) == 0 || errno == ENOENT;
}

// Takes every place for the handler: a ready one is removed, a free one can no longer be
// taken, and one that another thread is filling or emptying is waited for, up to a second
// or two (that thread holds the signals only for a few system calls).
void removeEverythingRegistered() {
    for (Registered& slot : g_slots) {
        for (int waited = 0;; ++waited) {
            int state = slot.state.load();
            if (state == Free && slot.state.compare_exchange_strong(state, Claimed))
                break;
            if (state == Ready && slot.state.compare_exchange_strong(state, Claimed)) {
                removeEntry(slot, g_handlerWalk);
                break;
            }
            if (state == Claimed || waited == 2000)
                break;
            if (state == Filling) {
                const timespec pause{0, 1'000'000};
                ::nanosleep(&pause, nullptr);
            }
        }
    }
}

extern "C" void onTerminatingSignal(int signal) {
    // A second thread that gets a signal leaves the ending to the first.
    if (g_ending.test_and_set())
        waitForTheEnd();
    restoreTerminal();
    removeEverythingRegistered();
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

RemovedOnInterruption::RemovedOnInterruption() {
    for (int i = 0; i < SlotCount; ++i) {
        int expected = Free;
        if (g_slots[i].state.compare_exchange_strong(expected, Filling)) {
            slot_ = i;
            return;
        }
    }
}

RemovedOnInterruption::~RemovedOnInterruption() {
    keep();
}

bool RemovedOnInterruption::arm(const char* parent, const char* name, Kind kind) {
    if (slot_ < 0)
        return false;
    Registered& slot = g_slots[slot_];
    const std::size_t length = std::strlen(name);
    if (length == 0 || length > NAME_MAX)
        errno = ENAMETOOLONG;
    const int fd = length == 0 || length > NAME_MAX ? -1 : ::open(parent, O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        slot.state.store(Free);
        slot_ = -1;
        return false;
    }
    std::memcpy(slot.name, name, length + 1);
    slot.parentFd = fd;
    slot.tree = kind == Kind::Tree;
    slot.state.store(Ready);
    return true;
}

bool RemovedOnInterruption::removeNow() {
    if (slot_ < 0)
        return true;
    Registered& slot = g_slots[std::exchange(slot_, -1)];
    int expected = Ready;
    if (slot.state.load() == Filling) { // reserved, never armed: nothing was made
        slot.state.store(Free);
        return true;
    }
    if (!slot.state.compare_exchange_strong(expected, Filling))
        waitForTheEnd();
    Walk walk;
    const bool gone = removeEntry(slot, walk);
    ::close(slot.parentFd);
    slot.parentFd = -1;
    slot.state.store(Free);
    return gone;
}

void RemovedOnInterruption::keep() {
    if (slot_ < 0)
        return;
    Registered& slot = g_slots[std::exchange(slot_, -1)];
    if (slot.state.load() == Filling) {
        slot.state.store(Free);
        return;
    }
    int expected = Ready;
    if (!slot.state.compare_exchange_strong(expected, Filling))
        waitForTheEnd();
    ::close(slot.parentFd);
    slot.parentFd = -1;
    slot.state.store(Free);
}

void RestoreTerminalOnInterruption(int fd, const termios& settings) {
    g_terminalSettings = settings;
    g_terminalFd = fd;
}

void ForgetTerminalOnInterruption() {
    g_terminalFd = -1;
}

bool RemoveTreeAt(int parentFd, const char* name) {
    return removeTreeAt(parentFd, name, g_handlerWalk);
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
    const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    std::string hidden = ".";
    hidden.append(file.filename().string()).append(".XXXXXX");
    std::string temporary = (folder / hidden).string();
    const auto fail = [&file](const char* what, int error) {
        throw ZebError(std::string(what) + " « " + file.string() + " » : " + FrenchReason(error) + ".");
    };
    const std::string parent = folder.string();
    std::string name;
    int fd = -1;
    std::optional<RemovedOnInterruption> place;
    {
        const SignalsHeld held;
        place.emplace();
        fd = place->reserved() ? ::mkostemp(temporary.data(), O_CLOEXEC) : -1;
        if (fd < 0)
            fail("Impossible de créer le fichier", place->reserved() ? errno : EMFILE);
        name = fs::path(temporary).filename().string();
        if (!place->arm(parent.c_str(), name.c_str(), RemovedOnInterruption::Kind::File)) {
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
    place->keep();
    if (error != 0)
        fail("Impossible d'écrire le fichier", error);
}

} // namespace zeb::cli
