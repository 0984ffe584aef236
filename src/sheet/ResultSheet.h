#pragma once

#include "core/ProgramState.h"
#include "sheet/Canvas.h"

#include <cstdint>

namespace zeb {

// Height of one row of the sheet in logical pixels (96 per inch).
inline constexpr std::int32_t LinePitch = 16;

// Draw one pupil's Mathematics / French sheet in the treatment state.CurrentTreatment,
// with the zoom and offsets of state.View. ScaleX and ScaleY map the sheet's logical
// pixels to the canvas's device pixels. Nothing else is drawn: clearing the page is the
// caller's business. The pupil number is trusted to be within 1..PupilCount.
void Affiche_Resultats_Maths(Canvas& canvas, double scaleX, double scaleY, std::int32_t pupil,
                             const ProgramState& state);
void Affiche_Resultats_Franc(Canvas& canvas, double scaleX, double scaleY, std::int32_t pupil,
                             const ProgramState& state);

// The sheet of `subject`: one of the two above.
void DrawResultSheet(Subject subject, Canvas& canvas, double scaleX, double scaleY, std::int32_t pupil,
                     const ProgramState& state);

} // namespace zeb
