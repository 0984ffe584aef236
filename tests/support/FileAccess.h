#pragma once

// Who may read a file, as each system keeps it: the POSIX mode bits, or Windows' access list.

#include <filesystem>

namespace zeb::test {

// True when nobody but the user (and, on Windows, the system and the administrators) may read or
// write `path`, and the user may read it: on POSIX systems, exactly read and write for the user
// (and going into it, for a folder). False when it cannot be told.
bool ReadableByUserOnly(const std::filesystem::path& path);

} // namespace zeb::test
