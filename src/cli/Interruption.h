#pragma once

#include <csignal>
#include <exception>
#include <filesystem>
#include <string_view>
#include <termios.h>

namespace zeb::cli {

// Ctrl+C, a closed terminal, a shutdown (SIGINT, SIGHUP, SIGTERM). The first of these signals is
// only recorded: the work in progress sees it at its next step (ThrowIfInterrupted), undoes in
// ordinary code what it had begun (its folders, its half-written files; a class never goes half
// into place), and the program then ends by that signal (EndByInterruption), so that the shell
// sees the usual status (128 + signal). A handler that removed files itself would race with the
// threads still writing them. A second signal ends the process at once, with the terminal's
// settings put back; what that leaves behind, the next run recognises and removes.
void InstallInterruptionHandlers();

// The signal recorded, or 0.
int InterruptionSignal();
inline bool InterruptionRequested() {
    return InterruptionSignal() != 0;
}
// Readable once a signal is recorded, and from then on: a wait (poll) ends on it.
int InterruptionDescriptor();

class Interrupted : public std::exception {
public:
    const char* what() const noexcept override { return "interrompu"; }
};

// Throws Interrupted when a signal was recorded, unless InterruptionsIgnored holds.
void ThrowIfInterrupted();

// While it lives, the work of this thread goes on whatever signal comes: ThrowIfInterrupted and
// WriteOutputFile see none. For the last steps of a run, which put its results in place together.
class InterruptionsIgnored {
public:
    InterruptionsIgnored();
    ~InterruptionsIgnored();
    InterruptionsIgnored(const InterruptionsIgnored&) = delete;
    InterruptionsIgnored& operator=(const InterruptionsIgnored&) = delete;
};

// Ends the process by the recorded signal, once the caller has undone its work.
[[noreturn]] void EndByInterruption();

// Holds the terminating signals for its lifetime in this thread, so that a second signal's
// handler never sees the terminal settings half registered.
class SignalsHeld {
public:
    SignalsHeld();
    ~SignalsHeld();
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t previous_{};
};

// The terminal settings that a second signal puts back on the terminal `fd` before it ends the
// process. Call with the signals held.
void RestoreTerminalOnInterruption(int fd, const termios& settings);
void ForgetTerminalOnInterruption();

// Removes `name` in the folder open as `parentFd`, with everything under it, never through a
// symbolic link (a link is removed, not followed). No allocation, no recursion; safe on several
// threads at once. True when nothing of it remains.
bool RemoveTreeAt(int parentFd, const char* name);

// Writes a file the user keeps, as WriteFileAtomically does (a hidden temporary file beside
// it, flushed, then renamed over it: a link in its place is replaced, never written through).
// An interruption before the rename removes the temporary file and throws Interrupted: it
// holds every pupil's name. Throws ZebError with a French message.
void WriteOutputFile(const std::filesystem::path& file, std::string_view contents);

} // namespace zeb::cli
