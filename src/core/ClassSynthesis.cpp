#include "ClassSynthesis.h"

namespace zeb {
namespace {

void append(PupilGroup& group, std::int32_t pupil) {
    group.Pupils[static_cast<std::size_t>(group.Count++)] = static_cast<std::int8_t>(pupil);
}

template <int ObjectiveCount>
void synthesizeObjectives(SubjectSynthesis& synthesis, const ScoreTable<ObjectiveCount>& sr,
                          std::int32_t pupils) {
    for (std::int32_t objective = 1; objective <= ObjectiveCount; ++objective) {
        ObjectiveSynthesis& entry = synthesis.Objectives[objective];
        entry.Objective = objective;
        const auto& texts = sr[objective];
        for (std::int32_t pupil = 1; pupil <= pupils; ++pupil) {
            const Coding coding = entry.Tally.Add(texts[pupil]);
            if (coding == Coding::NonAcquis)
                append(entry.NonAcquisGroup, pupil);
            else if (coding == Coding::EnCoursAcquisition)
                append(entry.EnCoursAcquisitionGroup, pupil);
        }
    }
}

} // namespace

Coding ObjectiveTally::Add(std::string_view srText) {
    const int value = CodingValue(srText);
    const Coding coding = CodingOfValue(value);
    switch (coding) {
    case Coding::Acquis:
        ++Acquis;
        break;
    case Coding::EnCoursAcquisition:
        ++EnCoursAcquisition;
        break;
    case Coding::NonAcquis:
        ++NonAcquis;
        break;
    case Coding::Absent:
    case Coding::None:
        ++Absent;
        return coding;
    }
    ++Evaluated;
    SumSR += value;
    return coding;
}

ObjectiveTally& ObjectiveTally::operator+=(const ObjectiveTally& other) {
    Evaluated += other.Evaluated;
    Absent += other.Absent;
    SumSR += other.SumSR;
    Acquis += other.Acquis;
    EnCoursAcquisition += other.EnCoursAcquisition;
    NonAcquis += other.NonAcquis;
    return *this;
}

std::int32_t ObjectiveTally::MeanSR() const {
    return RoundedRatio(SumSR, Evaluated);
}

std::int32_t ObjectiveTally::Percent(std::int32_t count) const {
    return RoundedRatio(100 * static_cast<std::int64_t>(count), Evaluated);
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
    if (subject == Subject::French)
        synthesizeObjectives(synthesis, loaded.ObjectiveResults.French.SR, loaded.PupilCount);
    else
        synthesizeObjectives(synthesis, loaded.ObjectiveResults.Maths.SR, loaded.PupilCount);
    return synthesis;
}

} // namespace zeb
