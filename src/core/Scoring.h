#pragma once

#include "ProgramState.h"

#include <string>
#include <string_view>
#include <vector>

namespace zeb {

inline constexpr std::string_view AbsentScore = " Abs ";
inline constexpr long double FrenchNonResponseConstant = 0.5L;
inline constexpr long double MathsNonResponseConstant = 0.4L;

struct ObjectiveScore {
    FixedText<5> SR;
    FixedText<5> SE;
    FixedText<5> SNR;
};

// The whole part of count / counted * 100 + c in extended precision, in that order,
// right-aligned in three characters and followed by " %".
std::string FormatPercent(int count, int counted, long double c);

// The item numbers of an item list as the scoring reads it: the pieces between commas, each
// its first three characters, all digits; a piece that is not a number (or 0) is left out.
std::vector<int> ListedItems(std::string_view itemList);
// The same into `items`, emptied first, so that one buffer serves many lists.
void ListedItems(std::string_view itemList, std::vector<int>& items);

// Scores one objective: its item list ("4,5,7") against a pupil's codes text, where
// character k is the code of item k ("0" non-response, "1"/"2" success, "3".."9" failure,
// anything else left out). " Abs " in all three when no item could be counted.
ObjectiveScore ScoreObjective(std::string_view itemList, std::string_view codes,
                              long double nonResponseConstant);

// Fill the pupil slot's cells of every objective of the subject from the codes already
// stored in ClassResults.
void CalculerScoresFrancais(LoadedClass& loaded, const FrenchObjectiveTable& table, std::int32_t slot);
void CalculerScoresMaths(LoadedClass& loaded, const MathsObjectiveTable& table, std::int32_t slot);

// The coding treatment of an SR text: the first three characters read as a whole number
// (leading blanks skipped); when they are not one, 101 for " Abs ", otherwise the value of
// the digits read before the first invalid character (0 when none).
int CodingValue(std::string_view srText);

enum class Coding { Acquis, EnCoursAcquisition, NonAcquis, Absent, None };

// 75..100 Acquis, 50..74 EnCoursAcquisition, 0..49 NonAcquis, 101 Absent, else None.
Coding CodingOf(std::string_view srText);
// The same, from a value CodingValue already read.
Coding CodingOfValue(int codingValue);

// How a coding is written: "A", "ECA", "NA"; empty for Absent and None.
std::string_view CodingLetters(Coding coding);

} // namespace zeb
