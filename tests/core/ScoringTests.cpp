#include "core/ObjectiveTables.h"
#include "core/Scoring.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

using namespace zeb;

namespace {

struct Whole {
    int sr, se, snr;
    friend bool operator==(const Whole&, const Whole&) = default;
    friend std::ostream& operator<<(std::ostream& out, const Whole& w) {
        return out << w.sr << "/" << w.se << "/" << w.snr;
    }
};

Whole whole(const ObjectiveScore& score) {
    return {std::stoi(score.SR.str()), std::stoi(score.SE.str()), std::stoi(score.SNR.str())};
}

std::string listOf(int first, int last) {
    std::string list;
    for (int k = first; k <= last; ++k) {
        if (!list.empty())
            list += ',';
        list += std::to_string(k);
    }
    return list;
}

} // namespace

TEST(Scoring, PercentTextsAreRightAlignedInThreeCharacters) {
    EXPECT_EQ(FormatPercent(0, 3, 0.5L), "  0 %");
    EXPECT_EQ(FormatPercent(3, 4, 0.5L), " 75 %");
    EXPECT_EQ(FormatPercent(7, 7, 0.5L), "100 %");
}

TEST(Scoring, WorkedCasesInBothSubjects) {
    for (long double snr : {FrenchNonResponseConstant, MathsNonResponseConstant}) {
        EXPECT_EQ(whole(ScoreObjective("1,2,3", "123", snr)), (Whole{67, 33, 0}));
        EXPECT_EQ(whole(ScoreObjective("1,2", "01", snr)), (Whole{50, 0, 50}));
        EXPECT_EQ(whole(ScoreObjective("1,2,3", "019", snr)), (Whole{33, 33, 33}));
        const ObjectiveScore allTwo = ScoreObjective("1,2,3,4,5,6,7", "2222222", snr);
        EXPECT_EQ(allTwo.SR, "100 %");
        EXPECT_EQ(allTwo.SE, "  0 %");
    }
}

TEST(Scoring, NonResponseRoundsUpFromHalfInFrenchAndFromPointSixInMaths) {
    // 12.5 % of non-responses: 13 in French, 12 in Mathematics; successes 87.5 -> 88.
    const std::string list = "1,2,3,4,5,6,7,8";
    EXPECT_EQ(whole(ScoreObjective(list, "01111111", FrenchNonResponseConstant)), (Whole{88, 0, 13}));
    EXPECT_EQ(whole(ScoreObjective(list, "01111111", MathsNonResponseConstant)), (Whole{88, 0, 12}));
    // Failures always round up only from .6: 12.5 -> 12.
    EXPECT_EQ(whole(ScoreObjective(list, "91111111", FrenchNonResponseConstant)).se, 12);
}

TEST(Scoring, ExtendedPrecisionMatchesExactArithmeticBelowFortyItems) {
    // floor(100 * count / counted + c), computed exactly with integers.
    for (int counted = 1; counted < 40; ++counted) {
        for (int count = 0; count <= counted; ++count) {
            EXPECT_EQ(std::stoi(FormatPercent(count, counted, 0.5L)), (200 * count + counted) / (2 * counted))
                << count << "/" << counted;
            EXPECT_EQ(std::stoi(FormatPercent(count, counted, 0.4L)),
                      (1000 * count + 4 * counted) / (10 * counted))
                << count << "/" << counted;
        }
    }
}

TEST(Scoring, FortyItemListsShowTheExtendedArithmetic) {
    // 21/40 and 23/40 land a hair below .5 after the division: exact arithmetic would give 53 and 58.
    const std::string list = listOf(1, 40);
    std::string codes(40, '9');
    std::fill_n(codes.begin(), 21, '1');
    EXPECT_EQ(whole(ScoreObjective(list, codes, 0.5L)).sr, 52);
    std::fill_n(codes.begin(), 23, '1');
    EXPECT_EQ(whole(ScoreObjective(list, codes, 0.5L)).sr, 58);
}

TEST(Scoring, ItemsWithoutADigitCodeAreLeftOut) {
    EXPECT_EQ(ScoreObjective("1,2,3", "  A", 0.5L).SR, " Abs ");
    EXPECT_EQ(ScoreObjective("1,2,3", "", 0.5L).SE, " Abs ");
    EXPECT_EQ(ScoreObjective("4,5", "111", 0.5L).SNR, " Abs "); // beyond the codes text
    EXPECT_EQ(whole(ScoreObjective("1,2,3", " 9 ", 0.5L)), (Whole{0, 100, 0}));
    EXPECT_EQ(whole(ScoreObjective("1,2,3", "x1-", 0.4L)), (Whole{100, 0, 0}));
}

TEST(Scoring, ItemListPiecesAreReadLeniently) {
    // Empty and non-numeric pieces are skipped; a piece keeps its first three characters.
    EXPECT_EQ(whole(ScoreObjective("1,,2,x,", "19", 0.5L)), (Whole{50, 50, 0}));
    EXPECT_EQ(whole(ScoreObjective("0021", "11", 0.5L)), (Whole{100, 0, 0})); // "002" is item 2
    EXPECT_EQ(ScoreObjective("0,-1", "1", 0.5L).SR, " Abs ");
}

TEST(Scoring, SlotsAreFilledFromTheStoredCodesOfEachSubject) {
    auto state = std::make_unique<ProgramState>();
    BuildObjectiveTables(*state);
    LoadedClass& loaded = state->Class;
    loaded.ClassResults[30].MathsCodes = std::string(88, '1');
    CalculerScoresMaths(loaded, state->MathsTable, 30);
    const auto before = loaded.ObjectiveResults.Maths;
    // Items that belong to no objective change nothing.
    std::string codes(88, '1');
    for (int unused : {17, 19, 46, 76})
        codes[static_cast<std::size_t>(unused - 1)] = '9';
    loaded.ClassResults[30].MathsCodes = codes;
    CalculerScoresMaths(loaded, state->MathsTable, 30);
    EXPECT_EQ(loaded.ObjectiveResults.Maths.SE, before.SE);
    // A one-item objective gives only 0 or 100; item 45 is objective 6.
    codes[44] = '9';
    loaded.ClassResults[30].MathsCodes = codes;
    CalculerScoresMaths(loaded, state->MathsTable, 30);
    EXPECT_EQ(loaded.ObjectiveResults.Maths.SR[6][30], "  0 %");
    EXPECT_EQ(loaded.ObjectiveResults.Maths.SE[6][30], "100 %");

    // French uses FrenchCodes and the French constant; other slots stay as they were.
    loaded.ClassResults[1].FrenchCodes = std::string(93, '0');
    CalculerScoresFrancais(loaded, state->FrenchTable, 1);
    for (int j = 1; j <= FrenchObjectiveCount; ++j)
        EXPECT_EQ(loaded.ObjectiveResults.French.SNR[j][1], "100 %");
    EXPECT_TRUE(loaded.ObjectiveResults.French.SR[1][2].empty());
}

TEST(Coding, ThresholdsOfTheCodingTreatment) {
    EXPECT_EQ(CodingOf("100 %"), Coding::Acquis);
    EXPECT_EQ(CodingOf(" 75 %"), Coding::Acquis);
    EXPECT_EQ(CodingOf(" 74 %"), Coding::EnCoursAcquisition);
    EXPECT_EQ(CodingOf(" 50 %"), Coding::EnCoursAcquisition);
    EXPECT_EQ(CodingOf(" 49 %"), Coding::NonAcquis);
    EXPECT_EQ(CodingOf("  0 %"), Coding::NonAcquis);
    EXPECT_EQ(CodingOf(" Abs "), Coding::Absent);
}

TEST(Coding, TextsThatAreNotScores) {
    EXPECT_EQ(CodingValue(""), 0);
    EXPECT_EQ(CodingValue("   "), 0);
    EXPECT_EQ(CodingValue("7x5"), 7);
    EXPECT_EQ(CodingValue("Abs"), 0); // not exactly " Abs "
    EXPECT_EQ(CodingValue("999 %"), 999);
    EXPECT_EQ(CodingOf("999 %"), Coding::None);
    EXPECT_EQ(CodingOf("abc"), Coding::NonAcquis);
}
