#include "ClassOutputs.h"

#include "core/Cp1252.h"
#include "platform/Platform.h"
#include "sheet/ItemPages.h"
#include "sheet/PupilByPupil.h"
#include "sheet/ResultSheet.h"
#include "sheet/SynthesisPages.h"

namespace zeb::cli {
namespace fs = std::filesystem;

std::string FamilyPdfTitle(const PupilRecord& pupil) {
    return "Résultats de " + cp1252::toUtf8(TrimTrailingSpaces(pupil.Surname)) + " " +
           cp1252::toUtf8(TrimTrailingSpaces(pupil.FirstName)) + " - EVALUATION CE2";
}

std::string ClassPdfTitle(ClassDocument document, const ClassInfo& info) {
    return ClassDocumentTitle(document, cp1252::toUtf8(TrimTrailingSpaces(info.ClassName)));
}

void WriteClassOutputs(const ProgramState& state, const ClassOutputs& outputs, const PdfWriter* pdf,
                       const std::function<void(const fs::path&)>& beforeEach) {
    const auto write = [&beforeEach](const std::optional<fs::path>& file, const auto& writeFile) {
        if (!file)
            return;
        if (beforeEach)
            beforeEach(*file);
        writeFile(*file);
    };
    const auto csv = [&state](std::string (*contents)(const ProgramState&, CsvNames), CsvNames names) {
        return [&state, contents, names](const fs::path& file) {
            WriteOutputFile(file, contents(state, names));
        };
    };
    write(outputs.scores, csv(&ClassScoresCsv, outputs.names));
    write(outputs.synthesisCsv,
          [&state](const fs::path& file) { WriteOutputFile(file, SynthesisCsv(state)); });
    write(outputs.groups, csv(&GroupsCsv, outputs.names));
    write(outputs.items, [&state](const fs::path& file) { WriteOutputFile(file, ItemsCsv(state)); });
    if (!outputs.anyPdf())
        return;
    const SheetSource source = SheetSource::Of(state);
    write(outputs.sheets, [&](const fs::path& file) {
        ThrowIfInterrupted();
        const SubjectDocuments<SheetDocument> sheets(outputs.subjects, source, 1, state.Class.PupilCount);
        const PupilByPupilDocument pupilByPupil(sheets.list());
        pdf->Write(file, outputs.doubleSided ? std::vector<const Document*>{&pupilByPupil} : sheets.list(),
                   ClassPdfTitle(ClassDocument::Sheets, state.Class.Info));
    });
    write(outputs.synthesis, [&](const fs::path& file) {
        ThrowIfInterrupted();
        const SubjectDocuments<SynthesisDocument> syntheses(outputs.subjects, source);
        pdf->Write(file, syntheses.list(), ClassPdfTitle(ClassDocument::Synthesis, state.Class.Info));
    });
    write(outputs.itemPages, [&](const fs::path& file) {
        ThrowIfInterrupted();
        const SubjectDocuments<ItemDocument> items(outputs.subjects, source);
        pdf->Write(file, items.list(), ClassPdfTitle(ClassDocument::Items, state.Class.Info));
    });
}

} // namespace zeb::cli
