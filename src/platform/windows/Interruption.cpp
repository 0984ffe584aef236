// Console events, the console, processors and memory, the Windows way.

#include "Console.h"
#include "Files.h"
#include "Handle.h"
#include "WideText.h"
#include "core/Cp1252.h"
#include "core/Errors.h"
#include "platform/Platform.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <csignal>
#include <iostream>
#include <mutex>
#include <thread>

namespace zeb {
namespace fs = std::filesystem;
using windows::Handle;

namespace {

std::atomic<int> g_signal{0};
static_assert(std::atomic<int>::is_always_lock_free);
// Manual-reset, set once by the first event and never reset: signalled for any wait from then on.
HANDLE g_event = nullptr;
// The console input whose mode a second event puts back, and that mode.
std::atomic<HANDLE> g_console{nullptr};
DWORD g_consoleMode = 0;
thread_local int t_ignored = 0;

// Never destroyed: an event may come while the program's statics are being destroyed.
struct Reaction {
    std::mutex mutex;
    std::function<void()> react;
    bool done = false;
};
Reaction& reaction() {
    static Reaction* const shared = new Reaction;
    return *shared;
}

void react() {
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

// The numbers the C library gives these events' signals.
int signalFor(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
        return SIGINT;
    case CTRL_BREAK_EVENT:
        return SIGBREAK;
    default: // the console closed, the session ending, the computer shutting down
        return SIGTERM;
    }
}

// Windows runs this on a thread of its own, so it may do what a signal handler may not.
BOOL WINAPI onConsoleEvent(DWORD event) {
    int none = 0;
    if (g_signal.compare_exchange_strong(none, signalFor(event))) {
        ::SetEvent(g_event);
        react();
        if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT)
            return TRUE;
        // For the other events the process ends as soon as this returns: it waits here while the
        // work winds down and ends the process (EndByInterruption), which Windows allows a few
        // seconds before it ends it anyway.
        ::Sleep(INFINITE);
    }
    // Asked twice: the user does not want to wait for the work in progress to wind down.
    if (const HANDLE console = g_console.load(); console != nullptr) {
        ::SetConsoleMode(console, g_consoleMode);
        DWORD written = 0;
        ::WriteConsoleW(::GetStdHandle(STD_ERROR_HANDLE), L"\r\n", 2, &written, nullptr);
    }
    windows::PutConsoleBack();
    ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(STATUS_CONTROL_C_EXIT));
    return TRUE;
}

// Puts the console's mode back however the question ends.
class ConsoleModeBack {
public:
    ConsoleModeBack(HANDLE console, DWORD saved) : console_(console), saved_(saved) {}
    ~ConsoleModeBack() {
        g_console.store(nullptr);
        ::SetConsoleMode(console_, saved_);
    }
    ConsoleModeBack(const ConsoleModeBack&) = delete;
    ConsoleModeBack& operator=(const ConsoleModeBack&) = delete;

private:
    HANDLE console_;
    DWORD saved_;
};

void writeTo(HANDLE console, std::string_view text) {
    const std::wstring wide = windows::WideFromUtf8(text);
    DWORD written = 0;
    // A text that cannot be shown still gets its answer read; nothing to do about it here.
    ::WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
}

// Reads one line, ending early on an event. False when none was read whole.
bool readLine(HANDLE console, std::wstring& answer) {
    for (;;) {
        const HANDLE waits[2] = {console, g_event};
        const DWORD woken = ::WaitForMultipleObjects(g_event != nullptr ? 2 : 1, waits, FALSE, INFINITE);
        if (woken == WAIT_FAILED || InterruptionRequested())
            return false;
        wchar_t chunk[256];
        DWORD got = 0;
        // The console hands over whole lines: this waits for Enter.
        if (!::ReadConsoleW(console, chunk, 256, &got, nullptr))
            return false;
        if (got == 0) {
            // Ctrl+C ends the read with nothing; its handler, on its own thread, may come just after.
            if (g_event != nullptr)
                ::WaitForSingleObject(g_event, 200);
            return false;
        }
        answer.append(chunk, got);
        if (const std::size_t end = answer.find(L'\n'); end != std::wstring::npos) {
            answer.erase(end);
            if (!answer.empty() && answer.back() == L'\r')
                answer.pop_back();
            return !InterruptionRequested();
        }
    }
}

Handle openConsole(const wchar_t* name) {
    return Handle(::CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr));
}

} // namespace

void InstallInterruptionHandlers() {
    if (g_event == nullptr)
        g_event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    // A program started with Ctrl+C ignored (start /b) keeps it ignored: that is the console's own
    // setting, which a handler does not change.
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

int InterruptionSignal() {
    return g_signal.load(std::memory_order_relaxed);
}

std::intptr_t InterruptionDescriptor() {
    return g_event != nullptr ? reinterpret_cast<std::intptr_t>(g_event) : -1;
}

void OnInterruption(std::function<void()> react) {
    Reaction& shared = reaction();
    const std::lock_guard lock(shared.mutex);
    shared.react = std::move(react);
    shared.done = false;
    if (shared.react && InterruptionRequested()) {
        shared.done = true;
        shared.react();
    }
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

// Windows' own status for a program ended by Ctrl+C, whatever the event was: what cmd and
// PowerShell show for it.
void EndByInterruption() {
    std::cout.flush();
    std::cerr.flush();
    windows::PutConsoleBack();
    ::ExitProcess(static_cast<UINT>(STATUS_CONTROL_C_EXIT));
}

bool TerminalAvailable() {
    return static_cast<bool>(openConsole(L"CONIN$"));
}

std::optional<std::string> ReadHiddenAnswer(const std::string& question) {
    const Handle input = openConsole(L"CONIN$");
    const Handle output = openConsole(L"CONOUT$");
    DWORD saved = 0;
    if (!input || !::GetConsoleMode(input.get(), &saved))
        return std::nullopt;
    std::wstring answer;
    bool read = false;
    {
        g_consoleMode = saved;
        g_console.store(input.get());
        const ConsoleModeBack back(input.get(), saved);
        ::SetConsoleMode(input.get(), (saved | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT) &
                                          ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
        // Asked only once the echo is off: what is typed after the question is read, never shown.
        writeTo(output.get(), question);
        read = readLine(input.get(), answer);
    }
    // The answer was typed without echo: what follows starts on a line of its own.
    writeTo(output.get(), "\r\n");
    if (!read)
        return std::nullopt;
    return windows::Utf8FromWide(answer);
}

bool ErrorStreamIsTerminal() {
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

// Windows' heap has no such setting: blocks past its own threshold (about a megabyte in a 64-bit
// process) always come from the system and go back to it when freed. Nothing to set here.
void KeepLargeBuffersInTheHeap() {}

unsigned WorkerThreadCount(unsigned most) {
    DWORD_PTR process = 0;
    DWORD_PTR system = 0;
    const unsigned processors =
        ::GetProcessAffinityMask(::GetCurrentProcess(), &process, &system) && process != 0
            ? static_cast<unsigned>(std::popcount(static_cast<std::uint64_t>(process)))
            : std::thread::hardware_concurrency();
    return std::clamp(processors, 1U, std::max(most, 1U));
}

void WriteOutputFile(const fs::path& file, std::string_view contents) {
    ThrowIfInterrupted();
    const DWORD error = windows::ReplaceThroughTemporary(file, contents, stopHere);
    if (error == ERROR_CANCELLED)
        throw Interrupted();
    if (error != 0)
        throw ZebError("Impossible d'écrire le fichier « " + PrintableName(Utf8FromPath(file)) +
                       " » : " + FrenchReason(static_cast<int>(error)) + ".");
}

} // namespace zeb
