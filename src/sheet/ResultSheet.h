#pragma once

#include "core/ProgramState.h"
#include "sheet/Canvas.h"
#include "sheet/Document.h"
#include "sheet/PageView.h"

#include <cstdint>
#include <string>

namespace zeb {

// What the result sheets are drawn from.
struct SheetSource {
    const FrenchObjectiveTable& FrenchTable;
    const MathsObjectiveTable& MathsTable;
    const LoadedClass& Class;
    TreatmentMode Treatment;

    static SheetSource Of(const ProgramState& state) {
        return {state.FrenchTable, state.MathsTable, state.Class, state.CurrentTreatment};
    }
};

// Draw one pupil's Mathematics / French sheet in the source's treatment, seen through
// `view`. Nothing else is drawn: clearing the page is the caller's business. The pupil
// number is trusted to be within 1..PupilCount.
void Affiche_Resultats_Maths(Canvas& canvas, const PageView& view, std::int32_t pupil,
                             const SheetSource& source);
void Affiche_Resultats_Franc(Canvas& canvas, const PageView& view, std::int32_t pupil,
                             const SheetSource& source);

// The sheet of `subject`: one of the two above.
void DrawResultSheet(Subject subject, Canvas& canvas, const PageView& view, std::int32_t pupil,
                     const SheetSource& source);

// The sheet of `subject` as a screen reader says it, Windows-1252, a line each: the title, the
// pupil's name, each domain ("Domaine 1 : COMPREHENSION") and under it each objective with its
// result in the source's treatment, "Objectif 3, Dégager le thème d'un texte littéraire : ECA"
// (A, ECA, NA, absent(e)) or "... : SR 75 %, SE 25 %, SNR 0 %" (the stored texts, "Abs" for an
// absent pupil), then the legend.
std::string ResultSheetText(Subject subject, std::int32_t pupil, const SheetSource& source);

// The sheets of one subject for pupils first..last (clamped to the class), a portrait page
// each, in pupil order.
class SheetDocument final : public Document {
public:
    SheetDocument(Subject subject, const SheetSource& source, std::int32_t firstPupil,
                  std::int32_t lastPupil);

    int PageCount() const override { return last_ >= first_ ? last_ - first_ + 1 : 0; }
    PageOrientation Orientation(int) const override { return PageOrientation::Portrait; }
    void DrawPage(int page, Canvas& canvas, const PageView& view) const override;
    std::string PageText(int page) const override; // ResultSheetText

private:
    Subject subject_;
    SheetSource source_;
    std::int32_t first_;
    std::int32_t last_;
};

} // namespace zeb
