#pragma once

#include "Evaluation.h"

#include <cstdint>

namespace zeb {

// A pupil grid selection; Top = Bottom = the current pupil's row (pupil rows start at 1).
struct GridRect {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Right = 0;
    std::int32_t Bottom = 0;
    friend bool operator==(const GridRect&, const GridRect&) = default;
};

// What the export says of the class beside its pupils, Windows-1252, each empty when the export
// does not say it: the class's name (<NOM_CLASSE>), its school (<ECOLE>) and its teacher
// (<ENSEIGNANT>).
struct ClassInfo {
    FixedText<60> ClassName;
    FixedText<100> School;
    FixedText<60> Teacher;
    friend bool operator==(const ClassInfo&, const ClassInfo&) = default;
};

// Everything a load rewrites. A load builds a new one aside and puts it in place only
// when it is complete, so a failed load leaves the previous class untouched.
struct LoadedClass {
    ClassResultsTable ClassResults;
    ObjectiveResultsTables ObjectiveResults;
    std::int32_t PupilCount = 0;
    GridRect PupilSelection;
    ClassInfo Info;
};

// How the preview shows its page. The drawing sees ZoomFactor, HorizontalOffset and
// VerticalOffset only, through the view value (sheet/PageView.h) the preview makes of them;
// printing draws at paper size and leaves all of them alone.
struct ViewState {
    double ZoomFactor = 0.0;           // 0.6, 0.8 or 1.0 while the preview is shown
    std::int32_t ZoomOffset = 0;       // pixels the page has grown by zooming: 0, 20, 40
    std::int32_t HorizontalOffset = 0; // device pixels
    std::int32_t VerticalOffset = 0;   // rows
    std::int32_t ShownWidth = 0;       // the preview window's outer size at its last showing
    std::int32_t ShownHeight = 0;
    friend bool operator==(const ViewState&, const ViewState&) = default;
};

// The program-wide state: created once at start, handed to every window by reference.
struct ProgramState {
    FrenchObjectiveTable FrenchTable;
    MathsObjectiveTable MathsTable;
    Subject CurrentSubject = Subject::French;
    TreatmentMode CurrentTreatment = TreatmentMode::Codage;
    LoadedClass Class;
    ViewState View;
};

} // namespace zeb
