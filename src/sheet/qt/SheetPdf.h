#pragma once

#include "sheet/Document.h"
#include "sheet/ResultSheet.h"

#include <QString>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace zeb {

// Documents as one PDF, their pages in order: each A4 page in its own orientation, drawn as
// on paper (PageView::Paper at the PDF's resolution) and placed as a printer whose printable
// area starts 6.35 mm from every edge prints it. The file is written completely or not at
// all, readable by the user only. Needs a QGuiApplication. Throws ZebError. Returns the
// number of pages written.
int WriteDocumentPdf(const std::filesystem::path& file, const std::vector<const Document*>& documents,
                     const QString& title);

// The sheets of the class for each subject in the order given and, within it, every pupil
// from firstPupil to lastPupil (clamped to the class) in slot order.
int WriteSheetsPdf(const std::filesystem::path& file, const SheetSource& source,
                   const std::vector<Subject>& subjects, std::int32_t firstPupil, std::int32_t lastPupil);
// The same for the whole class.
int WriteSheetsPdf(const std::filesystem::path& file, const SheetSource& source,
                   const std::vector<Subject>& subjects);

} // namespace zeb
