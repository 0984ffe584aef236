#include "ClassSynthesis.h"

namespace zeb {
namespace {

// Half up, in integers only: a mean of 62.5 must give 63 on every machine.
std::int32_t roundedRatio(std::int64_t numerator, std::int32_t denominator) {
    return static_cast<std::int32_t>((2 * numerator + denominator) /
                                     (2 * static_cast<std::int64_t>(denominator)));
}

void append(PupilGroup& group, std::int32_t pupil) {
    group.Pupils[static_cast<std::size_t>(group.Count++)] = static_cast<std::int8_t>(pupil);
}

} // namespace

Coding ObjectiveTally::Add(std::string_view srText) {
    const Coding coding = CodingOf(srText);
    switch (coding) {
    case Coding::Acquis:
        ++Acquired;
        break;
    case Coding::EnCoursAcquisition:
        ++InProgress;
        break;
    case Coding::NonAcquis:
        ++NotAcquired;
        break;
    case Coding::Absent:
    case Coding::None:
        ++Absent;
        return coding;
    }
    ++Evaluated;
    SumSR += CodingValue(srText);
    return coding;
}

ObjectiveTally& ObjectiveTally::operator+=(const ObjectiveTally& other) {
    Evaluated += other.Evaluated;
    Absent += other.Absent;
    SumSR += other.SumSR;
    Acquired += other.Acquired;
    InProgress += other.InProgress;
    NotAcquired += other.NotAcquired;
    return *this;
}

std::int32_t ObjectiveTally::MeanSR() const {
    return roundedRatio(SumSR, Evaluated);
}

std::int32_t ObjectiveTally::Percent(std::int32_t count) const {
    return roundedRatio(100 * static_cast<std::int64_t>(count), Evaluated);
}

int ObjectiveCountOf(Subject subject) {
    return subject == Subject::French ? FrenchObjectiveCount : MathsObjectiveCount;
}

std::string_view StoredSR(const LoadedClass& loaded, Subject subject, std::int32_t objective,
                          std::int32_t pupil) {
    if (subject == Subject::French)
        return loaded.ObjectiveResults.French.SR[objective][pupil];
    return loaded.ObjectiveResults.Maths.SR[objective][pupil];
}

SubjectSynthesis SynthesizeSubject(const LoadedClass& loaded, Subject subject) {
    SubjectSynthesis synthesis;
    synthesis.subject = subject;
    synthesis.PupilCount = loaded.PupilCount;
    synthesis.ObjectiveCount = ObjectiveCountOf(subject);
    for (std::int32_t objective = 1; objective <= synthesis.ObjectiveCount; ++objective) {
        ObjectiveSynthesis& entry = synthesis.Objectives[objective];
        entry.Objective = objective;
        for (std::int32_t pupil = 1; pupil <= loaded.PupilCount; ++pupil) {
            const Coding coding = entry.Tally.Add(StoredSR(loaded, subject, objective, pupil));
            if (coding == Coding::NonAcquis)
                append(entry.NotAcquiredGroup, pupil);
            else if (coding == Coding::EnCoursAcquisition)
                append(entry.InProgressGroup, pupil);
        }
    }
    return synthesis;
}

} // namespace zeb
