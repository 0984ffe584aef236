#pragma once

#include <csignal>
#include <filesystem>
#include <string_view>
#include <termios.h>

namespace zeb::cli {

// A terminating signal (Ctrl+C, a closed terminal, a shutdown) must not leave pupil data on
// the disk nor a terminal without echo. The handlers installed here undo what is registered
// below with async-signal-safe calls only, then end the process by the same signal, so the
// shell sees the usual status (128 + signal).
void InstallInterruptionHandlers();

// Holds the terminating signals for its lifetime, so that a handler never sees a half-made
// registration nor a file created but not yet registered.
class SignalsHeld {
public:
    SignalsHeld();
    ~SignalsHeld();
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t previous_{};
};

// The folder removed as a whole tree on a signal; one at a time. Returns false when its
// parent folder cannot be opened. Call with the signals held.
bool RemoveTreeOnInterruption(const std::filesystem::path& folder);
// Removes that folder now, the same way, and forgets it. True when nothing of it remains.
bool RemoveRegisteredTree();

// The file removed on a signal; one at a time. Call with the signals held.
bool RemoveFileOnInterruption(const std::filesystem::path& file);
void KeepFileOnInterruption();

// The terminal settings put back on a signal, on the terminal `fd`. Call with the signals held.
void RestoreTerminalOnInterruption(int fd, const termios& settings);
void ForgetTerminalOnInterruption();

// Removes `name` in the folder open as `parentFd`, with everything under it, never through a
// symbolic link (a link is removed, not followed). Async-signal-safe: no allocation, no lock,
// no recursion. Not reentrant. True when nothing of it remains.
bool RemoveTreeAt(int parentFd, const char* name);

// Writes a file the user keeps, as WriteFileAtomically does (a hidden temporary file beside
// it, flushed, then renamed over it), with the temporary file removed on a signal too: it
// holds every pupil's name. Throws ZebError with a French message.
void WriteOutputFile(const std::filesystem::path& file, std::string_view contents);

} // namespace zeb::cli
