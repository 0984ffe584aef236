#pragma once

// Programs run as a user or a script runs them: through the system's shell, /bin/sh, or cmd.exe
// on Windows (posix/Process.cpp, windows/Process.cpp).

#include <string>
#include <string_view>

namespace zeb::test {

struct ProcessRun {
    int exitCode = -1; // -1: ended by a signal, or not started
    std::string out;
    std::string err;
};

// `text` as one word of a command of that shell, whatever it holds.
std::string ShellQuoted(std::string_view text);

// What becomes of the command's output and errors: captured into the run, or left on the
// caller's own (a benchmark, whose timing must not include reading them back).
enum class Streams { Captured, Inherited };

ProcessRun RunShell(const std::string& command, Streams streams = Streams::Captured);

} // namespace zeb::test
