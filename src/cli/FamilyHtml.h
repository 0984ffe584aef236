#pragma once

#include "core/Evaluation.h"
#include "sheet/ResultSheet.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zeb::cli {

// One pupil's sheets of `subjects` as a web page for the family (UTF-8), holding what the
// family's PDF holds in the source's treatment: for each subject a heading and a table of its
// objectives, grouped by domain, with the pupil's coding (A, ECA, NA) or scores (SR, SE, SNR),
// then the legend. Made to be read by a screen reader and on a phone (French language, headers
// of rows and columns, no script, nothing fetched from elsewhere) and printed one A4 page per
// subject. Every text of the export is escaped.
std::string FamilySheetHtml(const SheetSource& source, std::int32_t pupil,
                            const std::vector<Subject>& subjects);

} // namespace zeb::cli
