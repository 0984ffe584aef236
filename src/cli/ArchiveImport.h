#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace zeb::cli {

// Extracts a class export archive (.jad) into `folder` through the unzip component and
// returns the export document found there. `willWrite` is told every path the extraction
// may create before it runs, so that an interrupted run can still remove them. Questions
// (a password) are asked on the terminal when there is one. Throws ZebError with a French
// message, including what the unzip library reported, when no document comes out.
std::filesystem::path
ExtractExportDocument(const std::filesystem::path& archive, const std::filesystem::path& folder,
                      const std::function<void(const std::filesystem::path&)>& willWrite);

} // namespace zeb::cli
