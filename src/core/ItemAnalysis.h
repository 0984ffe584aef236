#pragma once

// Item by item: how the class answered each question of a subject, from the pupils' stored
// codes texts (character k is the code of item k).

#include "Evaluation.h"
#include "ProgramState.h"

#include <array>
#include <cstdint>
#include <vector>

namespace zeb {

inline constexpr int FrenchItemCount = 93;
inline constexpr int MathsItemCount = 88;

// 93 for French, 88 for Mathematics.
int ItemCountOf(Subject subject);

// What a group of pupils did on one item. A pupil has a code for the item when its character
// exists in the pupil's codes text and is a decimal digit; the other pupils count as absent.
// Counts add up, so the same figures serve one class or a whole school.
struct ItemCounts {
    std::int32_t Item = 0;                // 1-based item number
    std::int32_t Objective = 0;           // the objective whose item list holds it; 0 when none does
    std::int32_t Evaluated = 0;           // pupils with a code
    std::int32_t Absent = 0;              // the other pupils
    std::int32_t Reussite = 0;            // codes 1 and 2
    std::int32_t Echec = 0;               // codes 3 to 9
    std::int32_t NonReponse = 0;          // code 0
    std::array<std::int32_t, 10> Codes{}; // how many pupils have each digit

    // 100 * count / Evaluated rounded to the nearest whole number, halves up; -1 when
    // nobody has a code (written "Abs").
    std::int32_t Percent(std::int32_t count) const;
    std::int32_t PctReussite() const { return Percent(Reussite); }
    std::int32_t PctEchec() const { return Percent(Echec); }
    std::int32_t PctNonReponse() const { return Percent(NonReponse); }

    // Adds another group's counts for the same item.
    ItemCounts& operator+=(const ItemCounts& other);
};

// Every item of one subject, item 1 first.
struct SubjectItems {
    Subject subject = Subject::French;
    std::int32_t PupilCount = 0;
    std::vector<ItemCounts> Items; // Items[k - 1] is item k; ItemCountOf(subject) entries
};

// The objective of each item of a subject (index k, 0 unused), from its reference table's item
// lists read as the scoring reads them; 0 for an item no list holds.
std::vector<std::int32_t> ItemObjectives(const ProgramState& state, Subject subject);
std::vector<std::int32_t> ItemObjectives(const FrenchObjectiveTable& table);
std::vector<std::int32_t> ItemObjectives(const MathsObjectiveTable& table);

// Counts every item of the subject over pupils 1..PupilCount of the loaded class.
SubjectItems AnalyseItems(const ProgramState& state, Subject subject);
// The same with the item objectives already known (ItemObjectives), for many classes.
SubjectItems AnalyseItems(const LoadedClass& loaded, Subject subject,
                          const std::vector<std::int32_t>& itemObjectives);

// Whether pupil `pupil` (1-based) has a code for item `item`; its digit when so, else -1.
int PupilItemCode(const LoadedClass& loaded, Subject subject, std::int32_t pupil, std::int32_t item);

// The `count` items with the lowest success rate, lowest first, ties by item number; items
// nobody has a code for are left out.
std::vector<std::int32_t> LeastSuccessfulItems(const SubjectItems& items, std::size_t count = 10);

} // namespace zeb
