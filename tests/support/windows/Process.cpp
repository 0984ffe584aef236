#include "Process.h"

#include "TempFolder.h"

#include <cstdio>
#include <cstdlib>

namespace zeb::test {
namespace {

std::wstring wide(std::string_view text) {
    return std::filesystem::path(
               std::u8string_view(reinterpret_cast<const char8_t*>(text.data()), text.size()))
        .wstring();
}

// cmd.exe /c takes the rest of its line, but drops its first and last quotes when it starts with
// one: the whole line in one more pair keeps the command's own. _wsystem passes the line in
// UTF-16, so that an accented name stays whole.
std::string utf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

int runCmd(const std::string& line) {
    std::fflush(nullptr);
    return ::_wsystem(wide("\"" + line + "\"").c_str());
}

} // namespace

// As a program's C run time splits its command line: quotes around; a quote inside written as
// two, so that cmd.exe, which knows no escaped quote, still sees every quote paired and leaves the
// word alone; backslashes doubled only where they stand before a quote. A % may still be taken
// for a variable's name by cmd.exe.
std::string ShellQuoted(std::string_view text) {
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (const char c : text) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? backslashes * 2 : backslashes, '\\');
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
        backslashes = 0;
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + "\"";
}

ProcessRun RunShell(const std::string& command, Streams streams) {
    ProcessRun run;
    if (streams == Streams::Inherited) {
        run.exitCode = runCmd(command);
        return run;
    }
    // Files rather than pipes: a command that fills one stream while we read the other cannot
    // wait on us.
    const TempFolder capture;
    run.exitCode = runCmd(command + " >" + ShellQuoted(utf8(capture / "out")) + " 2>" +
                          ShellQuoted(utf8(capture / "err")));
    run.out = readFile(capture / "out");
    run.err = readFile(capture / "err");
    return run;
}

} // namespace zeb::test
