#pragma once

#include <filesystem>
#include <string>

namespace zeb::cli {

// Extracts a class export archive (.jad) into `folder`, a folder of its own, through the
// unzip component and returns the export document found there. Questions (a password) are
// asked on the terminal when there is one. Throws ZebError with a French message, including
// what the unzip library reported, when no document comes out.
std::filesystem::path ExtractExportDocument(const std::filesystem::path& archive,
                                            const std::filesystem::path& folder);

} // namespace zeb::cli
