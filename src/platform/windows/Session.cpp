// The program's surroundings the Windows way: a UTF-16 command line, a console with a code page
// of its own.

#include "Console.h"
#include "WideText.h"
#include "platform/Platform.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#include <windows.h>

namespace zeb {

// The command line as Windows keeps it, split as every program's C runtime splits it; `argv` is
// the same line in the ANSI code page, which loses what it cannot hold.
std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr)
        return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> arguments;
    arguments.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        arguments.push_back(windows::Utf8FromWide(wide[i]));
    ::LocalFree(wide);
    return arguments;
}

// An empty folder takes the current folder out of the search of every LoadLibrary that follows,
// Qt's and the system's own included.
void KeepLibrariesOutOfCurrentFolder() {
    ::SetDllDirectoryW(L"");
}

namespace {

// The console's code page is the console's, not the program's: cmd goes on with it afterwards.
UINT g_consoleOutputPage = 0;

void putConsoleBackAtExit() {
    windows::PutConsoleBack();
}

} // namespace

void windows::PutConsoleBack() {
    if (g_consoleOutputPage != 0)
        ::SetConsoleOutputCP(g_consoleOutputPage);
}

// The console shows UTF-8 as such until the program ends, and the streams pass the program's bytes
// unchanged (no "\n" made "\r\n" in the middle of a character; the console needs none).
void UseUtf8Console() {
    if (g_consoleOutputPage == 0 && (g_consoleOutputPage = ::GetConsoleOutputCP()) != 0) {
        ::SetConsoleOutputCP(CP_UTF8);
        std::atexit(putConsoleBackAtExit);
    }
    std::fflush(stdout);
    std::fflush(stderr);
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
}

// A Windows session always has its desktop.
bool DisplayAvailable() {
    return true;
}

} // namespace zeb
