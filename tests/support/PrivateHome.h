#pragma once

#include <filesystem>

namespace zeb::test {

// The home folder of this run: made private before main, so that HOME and the XDG data, config,
// cache and state folders (hence the program's folder, ZEB.CFG, Qt's and the print server's
// settings) are never the user's own; on Windows the profile, the application data folders and
// the temporary folder (Environment.h). Every executable under tests/ and bench/, and the
// picture tools, link it; it is removed when the process ends.
const std::filesystem::path& PrivateHome();

} // namespace zeb::test
