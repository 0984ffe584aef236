#include "core/ItemAnalysis.h"
#include "core/ObjectiveTables.h"

#include <cctype>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <string>

using namespace zeb;

namespace {

// Eight pupils, and a leftover of a bigger class in slot 9 that must not count. The codes mix
// digits, letters and spaces; pupil 8's texts stop after item 40.
std::unique_ptr<ProgramState> classOfEight() {
    auto state = std::make_unique<ProgramState>();
    BuildObjectiveTables(*state);
    state->Class.PupilCount = 8;
    const std::string symbols = "0123456789A ";
    for (int pupil = 1; pupil <= 9; ++pupil) {
        std::string text;
        for (int k = 1; k <= FrenchItemCount; ++k)
            text += symbols[static_cast<std::size_t>(pupil * 7 + k * 3) % symbols.size()];
        text[0] = "13333333"
                  "1"[pupil - 1]; // 1 of 8 succeed: 12.5 -> 13; 7 of 8 fail: 87.5 -> 88
        text[1] = "22222000"
                  "2"[pupil - 1]; // 5 of 8: 62.5 -> 63; 3 of 8: 37.5 -> 38
        text[16] = "AA A  A "
                   "1"[pupil - 1]; // item 17: nobody has a code
        text[49] = '1';            // item 50: pupil 8's text is too short
        if (pupil == 8)
            text.resize(40);
        state->Class.ClassResults[pupil].FrenchCodes = text;
        state->Class.ClassResults[pupil].MathsCodes = text;
    }
    return state;
}

int expectedPercent(int count, int evaluated) {
    return evaluated == 0 ? -1 : static_cast<int>(std::lround(100.0 * count / evaluated));
}

} // namespace

TEST(ItemAnalysis, CountsAndRatesMatchACountDoneCodeByCode) {
    const auto state = classOfEight();
    for (const Subject subject : {Subject::French, Subject::Mathematics}) {
        const SubjectItems items = AnalyseItems(*state, subject);
        ASSERT_EQ(items.Items.size(), subject == Subject::French ? 93u : 88u);
        for (const ItemCounts& item : items.Items) {
            SCOPED_TRACE(testing::Message() << "item " << item.Item);
            int codes[10] = {}, evaluated = 0;
            for (int pupil = 1; pupil <= 8; ++pupil) {
                const PupilRecord& record = state->Class.ClassResults[pupil];
                const std::string text =
                    subject == Subject::French ? record.FrenchCodes.str() : record.MathsCodes.str();
                const auto k = static_cast<std::size_t>(item.Item);
                if (k <= text.size() && std::isdigit(static_cast<unsigned char>(text[k - 1])))
                    ++codes[text[k - 1] - '0'], ++evaluated;
            }
            const int success = codes[1] + codes[2], nonResponse = codes[0];
            const int failure = evaluated - success - nonResponse;
            EXPECT_EQ(item.Evaluated, evaluated);
            EXPECT_EQ(item.Absent, 8 - evaluated);
            EXPECT_EQ(item.Reussite, success);
            EXPECT_EQ(item.Echec, failure);
            EXPECT_EQ(item.NonReponse, nonResponse);
            for (int d = 0; d < 10; ++d)
                EXPECT_EQ(item.Codes[static_cast<std::size_t>(d)], codes[d]) << "code " << d;
            EXPECT_EQ(item.PctReussite(), expectedPercent(success, evaluated));
            EXPECT_EQ(item.PctEchec(), expectedPercent(failure, evaluated));
            EXPECT_EQ(item.PctNonReponse(), expectedPercent(nonResponse, evaluated));
        }

        struct Expected {
            int item, evaluated, reussite, echec, nonReponse;
        };
        for (const Expected& e : {Expected{1, 8, 13, 88, 0}, Expected{2, 8, 63, 0, 38},
                                  Expected{17, 0, -1, -1, -1}, Expected{50, 7, 100, 0, 0}}) {
            const ItemCounts& item = items.Items[static_cast<std::size_t>(e.item - 1)];
            EXPECT_EQ(item.Evaluated, e.evaluated) << e.item;
            EXPECT_EQ(item.PctReussite(), e.reussite) << e.item;
            EXPECT_EQ(item.PctEchec(), e.echec) << e.item;
            EXPECT_EQ(item.PctNonReponse(), e.nonReponse) << e.item;
        }
    }
    EXPECT_EQ(PupilItemCode(state->Class, Subject::Mathematics, 2, 1), 3);
    EXPECT_EQ(PupilItemCode(state->Class, Subject::Mathematics, 1, 17), -1); // a letter
    EXPECT_EQ(PupilItemCode(state->Class, Subject::French, 8, 50), -1);      // past the text's end
}

TEST(ItemAnalysis, EachItemHasTheObjectiveWhoseListHoldsIt) {
    auto state = std::make_unique<ProgramState>();
    BuildObjectiveTables(*state);
    for (const Subject subject : {Subject::French, Subject::Mathematics}) {
        std::set<int> outside;
        for (const ItemCounts& item : AnalyseItems(*state, subject).Items)
            if (item.Objective == 0)
                outside.insert(item.Item);
        const std::set<int> expected =
            subject == Subject::French ? std::set<int>{} : std::set<int>{17, 19, 46, 76};
        EXPECT_EQ(outside, expected);
    }
    const std::vector<std::int32_t> french = ItemObjectives(*state, Subject::French);
    const std::vector<std::int32_t> maths = ItemObjectives(*state, Subject::Mathematics);
    EXPECT_EQ(french[4], 2);
    EXPECT_EQ(french[93], 10);
    EXPECT_EQ(maths[45], 6);
    EXPECT_EQ(maths[88], 19);
}

TEST(ItemAnalysis, LeastSuccessfulItemsTieByNumberAndLeaveOutItemsNobodyDid) {
    SubjectItems items;
    // Item k succeeded by reussite[k - 1] of 4 pupils; -1: nobody has a code.
    const int reussite[] = {4, 1, -1, 0, 1, 2, 3, 0, -1, 2, 4, 1, 3, 2};
    for (int k = 1; k <= 14; ++k) {
        ItemCounts item;
        item.Item = k;
        item.Evaluated = reussite[k - 1] < 0 ? 0 : 4;
        item.Absent = 4 - item.Evaluated;
        item.Reussite = std::max(reussite[k - 1], 0);
        item.Echec = item.Evaluated - item.Reussite;
        items.Items.push_back(item);
    }
    EXPECT_EQ(LeastSuccessfulItems(items), (std::vector<std::int32_t>{4, 8, 2, 5, 12, 6, 10, 14, 7, 13}));
    EXPECT_EQ(LeastSuccessfulItems(items, 3), (std::vector<std::int32_t>{4, 8, 2}));
    EXPECT_EQ(LeastSuccessfulItems(items, 20).size(), 12u);
}
