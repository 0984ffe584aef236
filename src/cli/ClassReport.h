#pragma once

#include "core/ProgramState.h"

#include <string>
#include <string_view>

namespace zeb::cli {

// The scores of the loaded class as a spreadsheet file: UTF-8 with a byte order mark,
// ";" between fields, CR LF line ends, one row per pupil, subject and objective.
std::string ClassScoresCsv(const ProgramState& state);

// A short French summary of the loaded class, UTF-8, for the terminal.
std::string ClassSummary(const ProgramState& state);

// The whole number of a stored score text (" 75 %" gives "75"), or "Abs".
std::string ScoreNumber(std::string_view scoreText);

// A name field made safe for a spreadsheet: quoted when it holds ";", a quote or a line
// end, and kept from being read as a formula when it starts with = + - or @, even behind
// tabs or line ends.
std::string CsvName(std::string_view utf8);

} // namespace zeb::cli
