#pragma once

#include "core/ClassSynthesis.h"
#include "core/ItemAnalysis.h"
#include "core/ProgramState.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace zeb::cli {

// Whether the files that list pupils give their names. Without them, the nom and prenom
// columns stay in place but empty, so that the files can leave the classroom (a school team,
// an adviser) and a spreadsheet made for the named files still reads them; the pupil
// number remains, and only the teacher's own files link it to a child.
enum class CsvNames : std::uint8_t { Kept, Removed };

// The scores of the loaded class as a spreadsheet file: UTF-8 with a byte order mark,
// ";" between fields, CR LF line ends, one row per pupil, subject and objective.
std::string ClassScoresCsv(const ProgramState& state, CsvNames names = CsvNames::Kept);

// What the class masters, objective by objective: same conventions as the scores, one row
// per subject (French first) and objective.
inline constexpr std::string_view SynthesisCsvHeader =
    "matiere;objectif;evalues;absents;SR_moyen;A;ECA;NA;pct_A;pct_ECA;pct_NA;classe_entiere";
std::string SynthesisCsv(const ProgramState& state);

// One synthesis row, line end included: "Abs" for the mean, the percentages and the
// whole-class mark when nobody was evaluated. A file over several classes puts its own
// columns in front.
std::string SynthesisCsvRow(Subject subject, std::int32_t objective, const ObjectiveTally& tally);

// The pupils coded NA, then those coded ECA, of each objective: same conventions, one row
// per pupil in a group.
inline constexpr std::string_view GroupsCsvHeader = "matiere;objectif;groupe;numero;nom;prenom";
std::string GroupsCsv(const ProgramState& state, CsvNames names = CsvNames::Kept);

// How the class answered each item: same conventions, one row per subject (French first)
// and item, in item order; objectif empty for an item outside every objective, the three
// percentages "Abs" when nobody has a code. It holds no names.
inline constexpr std::string_view ItemsCsvHeader =
    "matiere;item;objectif;evalues;absents;reussite;echec;non_reponse;pct_reussite;pct_echec;pct_non_reponse;"
    "c0;c1;c2;c3;c4;c5;c6;c7;c8;c9";
std::string ItemsCsv(const ProgramState& state);

// One item row, line end included. A file over several classes puts its own columns in front.
std::string ItemsCsvRow(Subject subject, const ItemCounts& item);

// "francais" or "mathematiques", as the files name the subjects.
std::string_view SubjectCsvName(Subject subject);

// A short French summary of the loaded class, UTF-8, for the terminal.
std::string ClassSummary(const ProgramState& state);

// The whole number of a stored score text (" 75 %" gives "75"), or "Abs".
std::string ScoreNumber(std::string_view scoreText);

// A name field made safe for a spreadsheet: quoted when it holds ";", a quote or a line
// end, and kept from being read as a formula when it starts with = + - or @, even behind
// tabs or line ends.
std::string CsvName(std::string_view utf8);

} // namespace zeb::cli
