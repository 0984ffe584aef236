#pragma once

#include "ProgramState.h"
#include "Scoring.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace zeb {

// numerator / denominator rounded to the nearest whole number, halves up, in integers only: a
// mean of 62.5 gives 63 on every machine. The denominator is positive.
inline std::int32_t RoundedRatio(std::int64_t numerator, std::int32_t denominator) {
    return static_cast<std::int32_t>((2 * numerator + denominator) /
                                     (2 * static_cast<std::int64_t>(denominator)));
}

// What a group of pupils reduces to on one objective: how many were evaluated, their mean
// SR, and how many fall under each coding. Counts add up, so the same tally serves one
// class or a whole school.
struct ObjectiveTally {
    std::int32_t Evaluated = 0;          // pupils whose SR is a percentage
    std::int32_t Absent = 0;             // pupils whose SR is " Abs " (or unreadable)
    std::int64_t SumSR = 0;              // of the evaluated pupils
    std::int32_t Acquis = 0;             // A:   SR >= 75
    std::int32_t EnCoursAcquisition = 0; // ECA: 50 <= SR < 75
    std::int32_t NonAcquis = 0;          // NA: SR < 50

    // One pupil's stored SR text (" 75 %" or " Abs "); returns its coding.
    Coding Add(std::string_view srText);
    ObjectiveTally& operator+=(const ObjectiveTally& other);

    // All below are meaningful only when Evaluated > 0.
    std::int32_t MeanSR() const;                    // rounded half up, exact
    std::int32_t Percent(std::int32_t count) const; // 100 * count / Evaluated, rounded half up
    // Fewer than half of the evaluated pupils have acquired it: to teach again to all.
    bool WholeClass() const { return 2 * static_cast<std::int64_t>(Acquis) < Evaluated; }
};

// Pupil numbers (1-based), in pupil order.
struct PupilGroup {
    std::array<std::int8_t, MaxPupils> Pupils{};
    std::int32_t Count = 0;

    const std::int8_t* begin() const { return Pupils.data(); }
    const std::int8_t* end() const { return Pupils.data() + Count; }
};

struct ObjectiveSynthesis {
    std::int32_t Objective = 0; // 1-based number within the subject
    ObjectiveTally Tally;
    PupilGroup NonAcquisGroup;          // the pupils coded NA
    PupilGroup EnCoursAcquisitionGroup; // the pupils coded ECA
};

// The class's figures for one subject, objective by objective (entries 1..ObjectiveCount
// used; ObjectiveCount is 16 for French, 19 for Mathematics).
struct SubjectSynthesis {
    Subject subject = Subject::French;
    std::int32_t PupilCount = 0;
    std::int32_t ObjectiveCount = 0;
    OneBased<ObjectiveSynthesis, MathsObjectiveCount> Objectives;
};

// Computed from the stored SR texts of pupils 1..PupilCount.
SubjectSynthesis SynthesizeSubject(const LoadedClass& loaded, Subject subject);

// The stored SR text of one pupil on one objective of the subject.
std::string_view StoredSR(const LoadedClass& loaded, Subject subject, std::int32_t objective,
                          std::int32_t pupil);

int ObjectiveCountOf(Subject subject);

} // namespace zeb
