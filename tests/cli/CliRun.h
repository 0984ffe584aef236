#pragma once

// Runs the installed-to-be command as a user would, through the shell.

#include "Process.h"
#include "TempFolder.h"

#include <string>
#include <vector>

namespace zeb::test {

// Runs zeb-fiches with its work folder made under `tmp`, after the environment settings given.
inline ProcessRun runZebFiches(const std::vector<std::string>& args, const TempFolder& tmp,
                               const std::string& environment = "") {
    const std::string folder = ShellQuoted(tmp.path().string());
    std::string command =
        environment + " TMPDIR=" + folder + " XDG_RUNTIME_DIR=" + folder + " " + ShellQuoted(ZEB_FICHES);
    for (const std::string& arg : args)
        command.append(" ").append(ShellQuoted(arg));
    return RunShell(command);
}

} // namespace zeb::test
