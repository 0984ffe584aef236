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

// A folder (removed as a whole tree, never through a link) or a file that a signal removes
// for as long as this lives; several at once, from any thread. Make, arm and remove it with
// the signals held in the calling thread: reserve first, then create the file or folder,
// then arm, so that no signal ever finds it created but not registered. The handler waits
// (for a short while) for a place another thread is filling or emptying.
class RemovedOnInterruption {
public:
    enum class Kind { Tree, File };
    RemovedOnInterruption(); // reserves a place; reserved() is false when none is left
    ~RemovedOnInterruption();
    RemovedOnInterruption(const RemovedOnInterruption&) = delete;
    RemovedOnInterruption& operator=(const RemovedOnInterruption&) = delete;

    bool reserved() const { return slot_ >= 0; }
    // Registers `name` in the folder `parent`; false (and the place given up) when the folder
    // cannot be opened or the name is too long.
    bool arm(const char* parent, const char* name, Kind kind);
    // Removes it now, the same way a signal would, and forgets it. True when nothing remains.
    bool removeNow();
    // Keeps it (forgets it without removing it).
    void keep();

private:
    int slot_ = -1;
};

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
