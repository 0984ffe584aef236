#pragma once

#include "ProgramState.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace zeb {

struct SplitResult {
    std::string French; // contents of Fichier1.c01: the first half of the work-file lines
    std::string Maths;  // contents of Fichier2.c01: the second half
};

// Copies the first r/2 lines of the work file to the French list and the next r/2 to the
// Mathematics list, each line ended by CR LF; missing lines are copied as empty ones.
// Throws ZebError, before anything is written, when r is 0, odd, or above 2 x 30.
SplitResult SplitClass(std::string_view workFile, std::int32_t pupilLines);

// Every French line carries one code per French item and every Mathematics line one per
// Mathematics item, so the length of the codes tells which subject a list is. Throws
// ZebError, naming the problem, when both lists tell their subject and it is not French
// first and Mathematics second; lists whose lengths are mixed or other tell nothing and pass.
void CheckSubjectOrder(const SplitResult& split);

// One line of a subject file read back by fixed-width fields.
struct StudentLine {
    FixedText<2> Number;
    FixedText<25> Surname;
    FixedText<15> FirstName;
    std::string Codes;
};

// Reads every line of a subject file: number 1-2, surname 3-27, first name 28-42, codes
// from 43 on, at most `codesWidth` of them; the rest of the line is skipped. Throws
// ZebError for more than 30 lines.
std::vector<StudentLine> ReadStudentLines(std::string_view contents, std::size_t codesWidth);

// Throws ZebError naming the slot and both names when the two lists do not name the same
// pupils in the same order.
void CheckSameNames(const std::vector<StudentLine>& french, const std::vector<StudentLine>& maths);

// Store the lines of a subject file in ClassResults and score every pupil of the subject.
// The Mathematics reading sets PupilCount; the French one sets PupilCount and selects
// the first pupil.
void ReadMathsList(std::string_view contents, LoadedClass& loaded, const MathsObjectiveTable& table);
void ReadFrenchList(std::string_view contents, LoadedClass& loaded, const FrenchObjectiveTable& table);

} // namespace zeb
