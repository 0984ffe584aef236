#pragma once

#include "core/ProgramState.h"
#include "sheet/Document.h"

#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace zeb::cli {

// Writes one PDF file from the documents' pages, completely or not at all; may be called from
// several threads at once. Throws ZebError.
using PdfFileWriter =
    std::function<void(const std::filesystem::path& file, const std::vector<const Document*>& documents,
                       std::string_view titleUtf8)>;

struct SchoolBatchOptions {
    std::filesystem::path output;               // made 0700 when missing
    std::vector<std::filesystem::path> exports; // files, or folders whose .jad files are all taken
    TreatmentMode treatment = TreatmentMode::Codage;
    bool anonymous = false;    // no pupil name in the CSV files
    unsigned threads = 0;      // 0: one per processor this process may run on
    bool showProgress = false; // "[k/N] name …" on one terminal line
};

inline constexpr std::string_view SchoolClassName = "ECOLE";

// Every class into a folder of its own in the output folder, then the school's file; a
// class that fails is told on `messages` with its reason and the others are written. Returns
// the exit code: 0 when every class was written, 1 otherwise. Throws ZebError when nothing
// can start (output folder unusable).
int WriteSchool(const SchoolBatchOptions& options, const PdfFileWriter& writePdf, std::ostream& messages);

} // namespace zeb::cli
