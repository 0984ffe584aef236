#pragma once

#include "Zip.h"
#include "core/ClassImport.h"
#include "core/ProgramState.h"

#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace zeb {

// Puts the current folder back however the scope ends: the unzip library writes relative to
// the current folder, so an extraction changes it, and paths the caller holds may be relative.
class CurrentFolderGuard {
public:
    CurrentFolderGuard();
    ~CurrentFolderGuard();
    CurrentFolderGuard(const CurrentFolderGuard&) = delete;
    CurrentFolderGuard& operator=(const CurrentFolderGuard&) = delete;

private:
    int fd_;
};

// The unzip component's library and progress belong to the whole process: one component at
// a time across threads, from its making to its end (its end unloads the library). LoadExport
// holds it for the extraction; a caller making components on several threads holds it from
// making the component until `extracted` (it is recursive).
std::recursive_mutex& UnzipComponentMutex();

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

// True for a name ending in .xml, in any letter case: the document itself; any other file is
// taken for an archive.
bool IsExportDocument(const std::filesystem::path& file);

} // namespace zeb
