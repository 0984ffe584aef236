#pragma once

#include "core/ExportScan.h"
#include "core/ProgramState.h"

#include <filesystem>
#include <string>
#include <vector>

namespace zeb {

// Imports an extracted export document: scan, split, the three work files in
// programFolder/TMP, then the reading and scoring of both lists. The new class is built
// aside and replaces state.Class only when everything succeeded; on failure a ZebError
// is thrown and the previous class (and its work files, for a bad document) stay as they
// were.
// `searchWords` recognise the pupil identification line and the codes line, in this order.
void ImportExportDocument(const std::filesystem::path& document, const std::filesystem::path& programFolder,
                          ProgramState& state,
                          const std::vector<std::string>& searchWords = DefaultSearchWords());

// Removes temp.txt, Fichier1.c01 and Fichier2.c01 where they exist; the folder stays. A work
// folder that is a symbolic link is left alone: what it points to is not ours.
void DeleteWorkFiles(const std::filesystem::path& programFolder);

} // namespace zeb
