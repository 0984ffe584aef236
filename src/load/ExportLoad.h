#pragma once

#include "ClassImport.h"
#include "archive/Zip.h"
#include "core/ProgramState.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace zeb {

struct ExportLoadFolders {
    std::filesystem::path extraction; // the archive's members only; emptied before and after
    std::filesystem::path program;    // the work files go into its TMP folder
};

// From a class export (an archive, or the .xml document itself) to the class in
// `state`: the archive is extracted through `zip`, whose prompts ask its questions, the first
// export document found is imported. Extractions are serialised across threads (the library
// and the current folder belong to the whole process); the import is not. `extracted` runs
// between the two. Throws ZebError with a French message; the class in `state` is then the
// previous one. Returns what the unzip library reported although a document came out.
std::vector<std::string> LoadExport(TZip& zip, const std::filesystem::path& source,
                                    const ExportLoadFolders& folders, ProgramState& state,
                                    const std::vector<std::string>& searchWords = DefaultSearchWords(),
                                    const std::function<void()>& extracted = {});

// Full paths of the ordinary files of `folder` whose name contains "xml" in any letter
// case, sorted by name. Hidden entries (name starting with "."), folders, links and special
// files are left out. A folder that is not there holds nothing; one that cannot be read throws
// ZebError with the reason.
std::vector<std::filesystem::path> ListerFichiersXml(const std::filesystem::path& folder);

// True for a name ending in .xml, in any letter case: the document itself; any other file is
// taken for an archive.
bool IsExportDocument(const std::filesystem::path& file);

} // namespace zeb
