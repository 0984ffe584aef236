#pragma once

#include "PdfWriter.h"
#include "core/ProgramState.h"

#include <filesystem>
#include <vector>

namespace zeb::cli {

// Writes into `folder` (made 0700 when missing, its parent must exist) one PDF per pupil,
// named by PupilFileName, holding that pupil's sheets of `subjects` in the state's
// treatment, readable by the user only. With `doubleSided`, a pupil with an odd page count
// gets a blank page at the end, so that a file printed on both sides starts each child on
// its own sheet of paper. With `html`, the same results as a web page beside each PDF, named
// as it with ".html" (FamilySheetHtml), under the same rules.
//
// All or nothing: every file is made aside first, and only when all are complete do they
// replace the files of the same name; a failure leaves the folder as it was (and removes it
// when this call made it) and says which pupil failed. Throws ZebError with a French message.
// Returns the number of files written.
int WriteFamilyFiles(const PdfWriter& writing, const std::filesystem::path& folder, const ProgramState& state,
                     const std::vector<Subject>& subjects, bool doubleSided, bool html = false);

} // namespace zeb::cli
