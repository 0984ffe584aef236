#pragma once

#include "core/ProgramState.h"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace zeb {

// The sheets of the loaded class as one PDF: one A4 page per sheet, drawn as on paper
// (zoom 1.0, no offsets, scale = the PDF's pixels per inch / 96) and placed as a printer
// whose printable area starts 6.35 mm from every edge prints it, for each subject in the
// order given and, within it, every pupil in slot order. The file is written completely
// or not at all, readable by the user only. Needs a QGuiApplication. Throws ZebError.
// Returns the number of pages written.
int WriteSheetsPdf(const std::filesystem::path& file, const ProgramState& state,
                   const std::vector<Subject>& subjects);
// The same for the pupils firstPupil to lastPupil only (clamped to the class).
int WriteSheetsPdf(const std::filesystem::path& file, const ProgramState& state,
                   const std::vector<Subject>& subjects, std::int32_t firstPupil, std::int32_t lastPupil);

} // namespace zeb
