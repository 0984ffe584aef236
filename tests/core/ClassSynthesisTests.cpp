#include "core/ClassSynthesis.h"

#include <gtest/gtest.h>
#include <memory>
#include <vector>

using namespace zeb;

TEST(ClassSynthesis, GroupsFollowTheCodingOfTheSubjectAskedForInPupilOrder) {
    auto loaded = std::make_unique<LoadedClass>();
    loaded->PupilCount = 5;
    // Slot 6 holds a leftover of a bigger class: it is not a pupil of this one.
    const char* maths[] = {" 49 %", " 75 %", " Abs ", "  0 %", " 50 %", " 10 %"};
    for (int pupil = 1; pupil <= 6; ++pupil) {
        loaded->ObjectiveResults.Maths.SR[MathsObjectiveCount][pupil] = maths[pupil - 1];
        loaded->ObjectiveResults.French.SR[1][pupil] = " 90 %";
    }
    const ObjectiveSynthesis last =
        SynthesizeSubject(*loaded, Subject::Mathematics).Objectives[MathsObjectiveCount];
    EXPECT_EQ(last.Objective, MathsObjectiveCount);
    EXPECT_EQ(std::vector<int>(last.NonAcquisGroup.begin(), last.NonAcquisGroup.end()), (std::vector{1, 4}));
    EXPECT_EQ(std::vector<int>(last.EnCoursAcquisitionGroup.begin(), last.EnCoursAcquisitionGroup.end()),
              (std::vector{5}));
    EXPECT_EQ(last.Tally.Absent, 1);
    EXPECT_EQ(last.Tally.SumSR, 174);

    const SubjectSynthesis french = SynthesizeSubject(*loaded, Subject::French);
    EXPECT_EQ(french.ObjectiveCount, FrenchObjectiveCount);
    EXPECT_EQ(french.Objectives[1].Tally.Acquis, 5);
}

TEST(ClassSynthesis, TalliesOfSeveralClassesAddUpToTheTallyOfAllTheirPupils) {
    const std::vector<std::vector<const char*>> classes = {
        {" 75 %", " 40 %"}, {" Abs ", " 60 %", " 63 %"}, {}};
    ObjectiveTally school, together;
    for (const auto& texts : classes) {
        ObjectiveTally one;
        for (const char* text : texts)
            together.Add(text), one.Add(text);
        school += one;
    }
    for (const ObjectiveTally& tally : {school, together}) {
        EXPECT_EQ(tally.Evaluated, 4);
        EXPECT_EQ(tally.Absent, 1);
        EXPECT_EQ(tally.MeanSR(), 60); // 59.5
        EXPECT_EQ(tally.Percent(tally.EnCoursAcquisition), 50);
        EXPECT_EQ(tally.Acquis + tally.NonAcquis, 2);
    }
}
