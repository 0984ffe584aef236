#pragma once

#include "ClassReport.h"
#include "PdfWriter.h"
#include "core/ProgramState.h"
#include "sheet/DocumentTitles.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zeb::cli {

// The title of the class's file of `document`, as a PDF reader shows it, after the class's name
// in the export: "Fiches de résultats – CE2 A" (sheet/DocumentTitles.h).
std::string ClassPdfTitle(ClassDocument document, const ClassInfo& info);
// "Résultats de NOM Prénom - EVALUATION CE2", for the file of one pupil's family.
std::string FamilyPdfTitle(const PupilRecord& pupil);

// The files of one class, each written when asked for.
struct ClassOutputs {
    std::optional<std::filesystem::path> scores;       // scores.csv
    std::optional<std::filesystem::path> synthesisCsv; // synthese.csv
    std::optional<std::filesystem::path> groups;       // groupes.csv
    std::optional<std::filesystem::path> items;        // items.csv
    std::optional<std::filesystem::path> sheets;       // the sheets of every pupil
    std::optional<std::filesystem::path> synthesis;    // the synthesis pages
    // The item analysis pages alone (the synthesis pages end with them): none unless asked for.
    std::optional<std::filesystem::path> itemPages{};
    std::vector<Subject> subjects{Subject::French, Subject::Mathematics}; // of the PDFs, in this order
    bool doubleSided = false; // the sheets pupil by pupil, each starting on a front page
    CsvNames names = CsvNames::Kept;

    bool anyPdf() const { return sheets || synthesis || itemPages; }
};

// Writes the files asked for, the CSV files first, each completely or not at all, in the
// state's treatment; one path for zeb-fiches and for each class of a school. `beforeEach` is
// told of every file before it is written. A signal before a PDF throws Interrupted. Throws
// ZebError. `pdf` may be null when no PDF is asked for.
void WriteClassOutputs(const ProgramState& state, const ClassOutputs& outputs, const PdfWriter* pdf,
                       const std::function<void(const std::filesystem::path&)>& beforeEach = {});

} // namespace zeb::cli
