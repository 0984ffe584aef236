#pragma once

// What tests and benchmarks ask of the system themselves, in UTF-8 on every system: the
// environment, the process, the home folder. One file per system (posix/, windows/), chosen by
// CMake.

#include <filesystem>
#include <optional>
#include <string>

namespace zeb::test {

// An environment variable; empty when unset.
std::optional<std::string> GetEnvironment(const char* name);
void SetEnvironment(const char* name, const std::string& value);
void UnsetEnvironment(const char* name);

// This process's number.
long CurrentProcessNumber();

// Points every folder a program keeps the user's things in at `home`, made beforehand: HOME and
// the XDG data, config, cache, state and runtime folders on POSIX systems; USERPROFILE, HOME,
// APPDATA, LOCALAPPDATA, TEMP and TMP on Windows, where Wine finds the user's folders from them too
// (and where the XDG folders a POSIX host hands down are removed).
void PointHomeAt(const std::filesystem::path& home);

} // namespace zeb::test
