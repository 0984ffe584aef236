#pragma once

// Runs the installed-to-be command as a user would, through the shell.

#include "TempFolder.h"

#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace zeb::test {

struct ProcessRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline std::string shellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Runs a shell command, capturing both streams.
inline ProcessRun runShell(const std::string& command) {
    TempFolder capture;
    const std::string full = command + " >" + shellQuoted((capture / "out").string()) + " 2>" +
                             shellQuoted((capture / "err").string());
    const int status = std::system(full.c_str());
    ProcessRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = readFile(capture / "out");
    run.err = readFile(capture / "err");
    return run;
}

// Runs zeb-fiches with its work folder made under `tmp`, after the environment settings given.
inline ProcessRun runZebFiches(const std::vector<std::string>& args, const TempFolder& tmp,
                               const std::string& environment = "") {
    const std::string folder = shellQuoted(tmp.path().string());
    std::string command =
        environment + " TMPDIR=" + folder + " XDG_RUNTIME_DIR=" + folder + " " + shellQuoted(ZEB_FICHES);
    for (const std::string& arg : args)
        command.append(" ").append(shellQuoted(arg));
    return runShell(command);
}

} // namespace zeb::test
