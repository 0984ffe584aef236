// Signals, the terminal, processors and memory, the POSIX way.

#include "Descriptor.h"
#include "Files.h"
#include "core/Cp1252.h"
#include "core/Errors.h"
#include "platform/Platform.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <iostream>
#include <malloc.h>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace zeb {
namespace fs = std::filesystem;
using posix::FileDescriptor;

namespace {

constexpr int TerminatingSignals[] = {SIGINT, SIGTERM, SIGHUP};

std::atomic<int> g_signal{0};
static_assert(std::atomic<int>::is_always_lock_free);
// Written once by the handler, never read: its read end stays readable for any wait.
int g_wake[2] = {-1, -1};
// The terminal whose settings a second signal puts back, and those settings.
int g_terminalFd = -1;
termios g_terminalSettings{};
thread_local int t_ignored = 0;

// Never destroyed: a signal may come while the program's statics are being destroyed.
struct Reaction {
    std::mutex mutex;
    std::function<void()> react;
    bool done = false;
    bool watched = false;
};
Reaction& reaction() {
    static Reaction* const shared = new Reaction;
    return *shared;
}

// Waits for the first signal on a thread of its own, which never takes the signals itself, then
// runs the reaction there.
void watchForReaction() {
    for (;;) {
        pollfd wait{g_wake[0], POLLIN, 0};
        if (::poll(&wait, 1, -1) < 0 && errno != EINTR)
            return;
        if (InterruptionRequested())
            break;
    }
    Reaction& shared = reaction();
    const std::lock_guard lock(shared.mutex);
    if (shared.react && !shared.done) {
        shared.done = true;
        shared.react();
    }
}

bool stopHere() {
    return t_ignored == 0 && InterruptionRequested();
}

void restoreTerminal() {
    if (g_terminalFd < 0)
        return;
    ::tcsetattr(g_terminalFd, TCSANOW, &g_terminalSettings);
    // The answer was being typed without echo: the shell's prompt starts on a line of its own.
    [[maybe_unused]] const ssize_t ended = ::write(g_terminalFd, "\n", 1);
}

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

// Holds the terminating signals in this thread for its lifetime, so that a second signal's
// handler never sees the terminal settings half registered.
class SignalsHeld {
public:
    SignalsHeld() {
        sigset_t terminating;
        ::sigemptyset(&terminating);
        for (int signal : TerminatingSignals)
            ::sigaddset(&terminating, signal);
        ::pthread_sigmask(SIG_BLOCK, &terminating, &previous_);
    }
    ~SignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t previous_{};
};

void writeTo(int fd, std::string_view text) {
    // A text that cannot be shown still gets its answer read; nothing to do about it here.
    [[maybe_unused]] const ssize_t written = ::write(fd, text.data(), text.size());
}

// Reads one line from the terminal, ending early on a signal. False when none was read whole.
bool readLine(int tty, std::string& answer) {
    for (;;) {
        pollfd waits[2] = {{tty, POLLIN, 0}, {g_wake[0], POLLIN, 0}};
        if (::poll(waits, g_wake[0] >= 0 ? 2 : 1, -1) < 0 && errno != EINTR)
            return false;
        if (InterruptionRequested())
            return false;
        if ((waits[0].revents & (POLLIN | POLLHUP | POLLERR)) == 0)
            continue;
        char c = 0;
        const ssize_t got = ::read(tty, &c, 1);
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (got <= 0 || c == '\n')
            return got > 0;
        answer += c;
    }
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

std::intptr_t InterruptionDescriptor() {
    return g_wake[0];
}

void OnInterruption(std::function<void()> react) {
    Reaction& shared = reaction();
    const std::lock_guard lock(shared.mutex);
    shared.react = std::move(react);
    shared.done = false;
    if (shared.react && InterruptionRequested()) {
        shared.done = true;
        shared.react();
        return;
    }
    if (shared.watched || !shared.react || g_wake[0] < 0)
        return;
    shared.watched = true;
    const SignalsHeld held; // the watcher starts with them held, and keeps them so
    std::thread(watchForReaction).detach();
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

bool TerminalAvailable() {
    return FileDescriptor(::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC)).get() >= 0;
}

std::optional<std::string> ReadHiddenAnswer(const std::string& question) {
    const FileDescriptor tty(::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (tty.get() < 0)
        return std::nullopt;
    termios saved{};
    const bool terminal = ::tcgetattr(tty.get(), &saved) == 0;
    if (terminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        const SignalsHeld held;
        g_terminalSettings = saved;
        g_terminalFd = tty.get();
        ::tcsetattr(tty.get(), TCSAFLUSH, &quiet);
    }
    // Asked only once the echo is off: what is typed after the question is read, never dropped.
    writeTo(tty.get(), question);
    std::string answer;
    const bool read = readLine(tty.get(), answer);
    if (terminal) {
        const SignalsHeld held;
        ::tcsetattr(tty.get(), TCSAFLUSH, &saved);
        g_terminalFd = -1;
    }
    // The answer was typed without echo: what follows starts on a line of its own.
    writeTo(tty.get(), "\n");
    if (!read)
        return std::nullopt;
    return answer;
}

bool ErrorStreamIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

void KeepLargeBuffersInTheHeap() {
    ::mallopt(M_MMAP_THRESHOLD, 32 << 20);
    ::mallopt(M_TRIM_THRESHOLD, 128 << 20);
    ::mallopt(M_TOP_PAD, 16 << 20);
}

unsigned WorkerThreadCount(unsigned most) {
    cpu_set_t allowed;
    const unsigned processors = ::sched_getaffinity(0, sizeof allowed, &allowed) == 0
                                    ? static_cast<unsigned>(CPU_COUNT(&allowed))
                                    : std::thread::hardware_concurrency();
    return std::clamp(processors, 1U, std::max(most, 1U));
}

void WriteOutputFile(const fs::path& file, std::string_view contents) {
    ThrowIfInterrupted();
    const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    std::string temporary = (folder / (posix::HiddenStem(file) + ".XXXXXX")).string();
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

} // namespace zeb
