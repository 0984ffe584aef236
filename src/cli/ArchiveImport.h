#pragma once

#include "core/ProgramState.h"

#include <filesystem>
#include <string>
#include <vector>

namespace zeb::cli {

// Loads a class export (an archive, or its .xml document) into `state`, with the work files
// and the archive's members inside `workFolder` (a private folder of the caller's). The unzip
// component's questions (a password) are asked on the terminal when there is one; any other
// question gets the answer that keeps nothing doubtful. Throws ZebError with a French message.
// Returns what the unzip library reported although a document came out, for the user to see.
std::vector<std::string> LoadClassExport(const std::filesystem::path& source,
                                         const std::filesystem::path& workFolder, ProgramState& state);

} // namespace zeb::cli
