#pragma once

#include "ProgramState.h"

namespace zeb {

// Fills both reference tables (French, then Mathematics) and sets the start-up choices:
// French, coding treatment. Run once at start; the tables never change afterwards.
void BuildObjectiveTables(ProgramState& state);

} // namespace zeb
