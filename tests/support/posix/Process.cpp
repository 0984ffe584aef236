#include "Process.h"

#include "TempFolder.h"

#include <cstdlib>
#include <sys/wait.h>

namespace zeb::test {

std::string ShellQuoted(std::string_view text) {
    std::string quoted = "'";
    for (const char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

ProcessRun RunShell(const std::string& command, Streams streams) {
    ProcessRun run;
    if (streams == Streams::Inherited) {
        const int status = std::system(command.c_str());
        run.exitCode = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return run;
    }
    // Files rather than pipes: a command that fills one stream while we read the other cannot
    // wait on us.
    const TempFolder capture;
    const int status = std::system(("{ " + command + "\n} >" + ShellQuoted((capture / "out").string()) +
                                    " 2>" + ShellQuoted((capture / "err").string()))
                                       .c_str());
    run.exitCode = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = readFile(capture / "out");
    run.err = readFile(capture / "err");
    return run;
}

} // namespace zeb::test
