#pragma once

#include "PdfWriter.h"
#include "core/Evaluation.h"

#include <filesystem>
#include <ostream>
#include <string_view>
#include <vector>

namespace zeb::cli {

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
int WriteSchool(const SchoolBatchOptions& options, const PdfWriter& pdf, std::ostream& messages);

} // namespace zeb::cli
