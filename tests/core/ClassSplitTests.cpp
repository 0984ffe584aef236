#include "core/ClassSplit.h"
#include "core/Errors.h"
#include "core/ExportScan.h"
#include "core/ObjectiveTables.h"

#include <functional>
#include <gtest/gtest.h>
#include <memory>

using namespace zeb;

namespace {

std::string studentLine(int number, std::string_view surname, std::string_view firstName,
                        std::string_view codes) {
    std::string line = (number < 10 ? "0" : "") + std::to_string(number);
    line += std::string(surname) + std::string(25 - surname.size(), ' ');
    line += std::string(firstName) + std::string(15 - firstName.size(), ' ');
    return line + std::string(codes) + "\r\n";
}

// Appended: `"P" + std::to_string(n)` draws a false -Wrestrict from GCC 12 at -O3.
std::string pupilName(int number) {
    return std::string("P").append(std::to_string(number));
}

std::string workFile(int lines) {
    std::string text;
    for (int i = 1; i <= lines; ++i)
        text += studentLine(i, pupilName((i - 1) % (lines / 2 > 0 ? lines / 2 : 1) + 1), "X", "1");
    return text;
}

std::string messageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const ZebError& error) {
        return error.what();
    }
    return "(no error)";
}

class ClassListsTest : public ::testing::Test {
protected:
    void SetUp() override {
        state = std::make_unique<ProgramState>();
        BuildObjectiveTables(*state);
    }
    std::unique_ptr<ProgramState> state;
};

} // namespace

TEST(SplitClass, FirstHalfIsFrenchSecondHalfMaths) {
    const SplitResult one = SplitClass(workFile(2), 2);
    EXPECT_EQ(one.French, studentLine(1, "P1", "X", "1"));
    EXPECT_EQ(one.Maths, studentLine(2, "P1", "X", "1"));

    const std::string sixty = workFile(60) + "trailing line past r\r\n";
    const SplitResult full = SplitClass(sixty, 60);
    EXPECT_EQ(SplitLines(full.French).size(), 30u);
    EXPECT_EQ(SplitLines(full.Maths).size(), 30u);
    EXPECT_EQ(full.French.substr(0, 2), "01");
    EXPECT_EQ(SplitLines(full.French).back().substr(0, 2), "30");
    EXPECT_EQ(full.Maths.substr(0, 2), "31");
    EXPECT_EQ(SplitLines(full.Maths).back().substr(0, 2), "60");
    EXPECT_EQ(full.Maths.find("trailing"), std::string::npos);
}

TEST(SplitClass, MissingLinesAreCopiedAsEmptyLines) {
    const SplitResult split = SplitClass(studentLine(1, "A", "B", "1"), 4);
    EXPECT_EQ(split.French, studentLine(1, "A", "B", "1") + "\r\n");
    EXPECT_EQ(split.Maths, "\r\n\r\n");
}

TEST(SplitClass, RefusesCountsThatCannotBeAClass) {
    EXPECT_NE(messageOf([] { SplitClass("", 0); }).find("aucun élève"), std::string::npos);
    EXPECT_NE(messageOf([] {
                  SplitClass(workFile(6), 5);
              }).find("5 lignes d'identification d'élève, un nombre impair"),
              std::string::npos);
    EXPECT_NE(messageOf([] {
                  SplitClass(workFile(2), 1);
              }).find("1 ligne d'identification d'élève, un nombre impair"),
              std::string::npos);
    const std::string tooMany = messageOf([] { SplitClass(workFile(62), 62); });
    EXPECT_NE(tooMany.find("31 élèves"), std::string::npos) << tooMany;
    EXPECT_NE(tooMany.find("plus de 30 élèves"), std::string::npos) << tooMany;
}

TEST(CheckSubjectOrder, TheCodesLengthsTellTheSubjectOfEachList) {
    auto list = [](std::initializer_list<std::size_t> widths) {
        std::string text;
        for (std::size_t width : widths)
            text += studentLine(1, "A", "B", std::string(width, '1'));
        return text;
    };
    struct Case {
        std::string french, maths;
        const char* expected; // nullptr: loads
    };
    const std::vector<Case> cases = {
        {list({93, 93}), list({88, 88}), nullptr},
        {list({88, 88}), list({93, 93}), "dans le mauvais ordre"},
        {list({93}), list({93}), "il manque la liste de mathématiques"},
        {list({88, 88}), list({88, 88}), "il manque la liste de français"},
        {list({88, 93}), list({93, 93}), nullptr}, // mixed: cannot tell
        {list({88}), list({40}), nullptr},
        {list({}) + "\r\n", list({93}), nullptr}, // a missing line tells nothing
    };
    for (const Case& c : cases) {
        const std::string message = messageOf([&] { CheckSubjectOrder({c.french, c.maths}); });
        if (c.expected == nullptr)
            EXPECT_EQ(message, "(no error)");
        else
            EXPECT_NE(message.find(c.expected), std::string::npos) << message;
    }
}

TEST(ReadStudentLines, FieldsByPositionCutToTheirWidth) {
    const std::string codes100(100, '1');
    const std::string text = studentLine(1, "DUPONT", "Marie", codes100) + "02SHORT\r\n" +
                             studentLine(3, "X", "Y", std::string(40, '9'));
    const std::vector<StudentLine> french = ReadStudentLines(text, FrenchCodesCapacity);
    ASSERT_EQ(french.size(), 3u);
    EXPECT_EQ(french[0].Number, "01");
    EXPECT_EQ(french[0].Surname, "DUPONT" + std::string(19, ' '));
    EXPECT_EQ(french[0].FirstName, "Marie" + std::string(10, ' '));
    EXPECT_EQ(french[0].Codes.size(), 93u);
    EXPECT_EQ(ReadStudentLines(text, MathsCodesCapacity)[0].Codes.size(), 88u);
    EXPECT_EQ(french[1].Surname, "SHORT");
    EXPECT_TRUE(french[1].FirstName.empty());
    EXPECT_TRUE(french[1].Codes.empty());
    EXPECT_EQ(french[2].Codes, std::string(40, '9'));
}

TEST(ReadStudentLines, NeverMoreThanThirtyPupils) {
    std::string text;
    for (int i = 1; i <= 31; ++i)
        text += studentLine(i, "A", "B", "1");
    EXPECT_THROW(ReadStudentLines(text, FrenchCodesCapacity), ZebError);
}

TEST(CheckSameNames, NamesTheSlotAndBothPupils) {
    const auto french =
        ReadStudentLines(studentLine(1, "A", "B", "1") + studentLine(2, "L\xC9GER", "Zo\xE9", "1"), 93);
    const auto maths =
        ReadStudentLines(studentLine(3, "A", "B", "1") + studentLine(4, "MARTIN", "Hugo", "1"), 88);
    const std::string message = messageOf([&] { CheckSameNames(french, maths); });
    EXPECT_NE(message.find("place 2"), std::string::npos) << message;
    EXPECT_NE(message.find("« LÉGER Zoé » en français"), std::string::npos) << message;
    EXPECT_NE(message.find("« MARTIN Hugo » en mathématiques"), std::string::npos) << message;
    // The pupil numbers differ between the lists by design; only names count.
    EXPECT_NO_THROW(CheckSameNames(french, french));
    const auto renumbered =
        ReadStudentLines(studentLine(3, "A", "B", "9") + studentLine(4, "L\xC9GER", "Zo\xE9", "0"), 88);
    EXPECT_NO_THROW(CheckSameNames(french, renumbered));
}

TEST_F(ClassListsTest, ReadingFillsTheTableScoresAndSelection) {
    const std::string maths = studentLine(3, "A", "B", std::string(88, '1')) + studentLine(4, "C", "D", "");
    const std::string french = studentLine(1, "A", "B", std::string(93, '9')) + studentLine(2, "C", "D", "");
    LoadedClass& loaded = state->Class;
    ReadMathsList(maths, loaded, state->MathsTable);
    EXPECT_EQ(loaded.PupilCount, 2);
    EXPECT_EQ(loaded.ClassResults[1].Number, "03");
    ReadFrenchList(french, loaded, state->FrenchTable);
    EXPECT_EQ(loaded.PupilCount, 2);
    EXPECT_EQ(loaded.ClassResults[1].Number, "01"); // the French reading comes second and stays
    EXPECT_EQ(loaded.PupilSelection, (GridRect{1, 1, 2, 1}));
    EXPECT_EQ(loaded.ObjectiveResults.Maths.SR[8][1], "100 %");
    EXPECT_EQ(loaded.ObjectiveResults.French.SE[8][1], "100 %");
    EXPECT_EQ(loaded.ObjectiveResults.French.SR[1][2], " Abs ");
    EXPECT_EQ(loaded.ClassResults[1].FrenchCodes.size(), 93u);
}

TEST_F(ClassListsTest, ASmallerClassLeavesHigherSlotsUnread) {
    auto lines = [](int count) {
        std::string text;
        for (int i = 1; i <= count; ++i)
            text += studentLine(i, pupilName(i), "X", "1");
        return text;
    };
    ReadMathsList(lines(28), state->Class, state->MathsTable);
    ReadFrenchList(lines(28), state->Class, state->FrenchTable);
    ReadMathsList(lines(25), state->Class, state->MathsTable);
    ReadFrenchList(lines(25), state->Class, state->FrenchTable);
    EXPECT_EQ(state->Class.PupilCount, 25);
    EXPECT_EQ(state->Class.ClassResults[28].Surname, "P28" + std::string(22, ' '));
}
