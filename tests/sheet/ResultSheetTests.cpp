#include "RecordingCanvas.h"
#include "core/ObjectiveTables.h"
#include "sheet/ResultSheet.h"
#include "sheet/TextWidth.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <set>

using namespace zeb;
using zeb::test::RecordingCanvas;

namespace {

std::unique_ptr<ProgramState> sheetState(TreatmentMode treatment, double zoom = 1.0) {
    auto state = std::make_unique<ProgramState>();
    BuildObjectiveTables(*state);
    state->CurrentTreatment = treatment;
    state->View.ZoomFactor = zoom;
    state->Class.PupilCount = 2;
    state->Class.ClassResults[2].Surname = "DURAND" + std::string(19, ' ');
    state->Class.ClassResults[2].FirstName = "L\xE9"
                                             "a" +
                                             std::string(12, ' ');
    for (int p = 1; p <= 2; ++p) {
        for (int j = 1; j <= FrenchObjectiveCount; ++j) {
            state->Class.ObjectiveResults.French.SR[j][p] = " 80 %";
            state->Class.ObjectiveResults.French.SE[j][p] = " 15 %";
            state->Class.ObjectiveResults.French.SNR[j][p] = "  5 %";
        }
        for (int j = 1; j <= MathsObjectiveCount; ++j) {
            state->Class.ObjectiveResults.Maths.SR[j][p] = "100 %";
            state->Class.ObjectiveResults.Maths.SE[j][p] = "  0 %";
            state->Class.ObjectiveResults.Maths.SNR[j][p] = "  0 %";
        }
    }
    return state;
}

RecordingCanvas draw(Subject subject, const ProgramState& state, double scaleX = 1.0, double scaleY = 1.0) {
    RecordingCanvas canvas;
    const ViewState& view = state.View;
    DrawResultSheet(subject, canvas,
                    PageView{view.ZoomFactor, view.HorizontalOffset, view.VerticalOffset, scaleX, scaleY}, 2,
                    SheetSource::Of(state));
    return canvas;
}

// Rows (y / 16 at scale 1) of the texts drawn at a logical column, in drawing order.
std::vector<int> rowsAt(const RecordingCanvas& canvas, int column) {
    std::vector<int> rows;
    for (const auto& text : canvas.texts)
        if (text.x == column + 1)
            rows.push_back(text.y / LinePitch);
    return rows;
}

std::vector<int> range(int first, int last) {
    std::vector<int> rows;
    for (int r = first; r <= last; ++r)
        rows.push_back(r);
    return rows;
}

std::vector<int> join(std::initializer_list<std::vector<int>> parts) {
    std::vector<int> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

struct WorkedLayout {
    Subject subject;
    TreatmentMode treatment;
    std::vector<int> horizontalRules;
    std::vector<int> domainRows;
    std::vector<int> objectiveRows;
    int tableTop, tableBottom;
    int legendFirstRow;
};

void PrintTo(const WorkedLayout& layout, std::ostream* out) {
    *out << (layout.subject == Subject::French ? "French" : "Maths") << " sheet, "
         << (layout.treatment == TreatmentMode::Codage ? "coding" : "percentages");
}

// The worked layout of both sheets with the built-in tables.
const std::vector<int> MathsRules{7, 9, 11, 15, 17, 22, 24, 30, 32, 36, 38, 43};
const std::vector<int> FrenchRules{10, 12, 14, 20, 22, 25, 27, 29, 31, 40};
const std::vector<int> MathsObjectiveRows =
    join({range(12, 14), range(18, 21), range(25, 29), range(33, 35), range(39, 42)});
const std::vector<int> FrenchObjectiveRows = join({range(15, 19), range(23, 24), {28}, range(32, 39)});

class WorkedLayoutTest : public ::testing::TestWithParam<WorkedLayout> {};

} // namespace

TEST_P(WorkedLayoutTest, RowsOfEveryElement) {
    const WorkedLayout& expected = GetParam();
    const auto state = sheetState(expected.treatment);
    const RecordingCanvas canvas = draw(expected.subject, *state);

    ASSERT_GE(canvas.texts.size(), 4u);
    EXPECT_EQ(canvas.texts[0].text, "EVALUATION CE2");
    EXPECT_EQ(canvas.texts[0].y, 16);
    EXPECT_EQ(canvas.texts[1].text, "Septembre 2006");
    EXPECT_EQ(canvas.texts[1].x, 601);
    EXPECT_EQ(canvas.texts[2].y, 2 * 16);
    EXPECT_EQ(canvas.texts[3].y, 4 * 16);
    EXPECT_EQ(canvas.texts[3].x, 201);

    std::vector<int> horizontal;
    std::vector<std::pair<int, int>> vertical;
    for (const auto& line : canvas.lines) {
        if (line.y1 == line.y2) {
            EXPECT_EQ(line.x1, 6);
            EXPECT_EQ(line.x2, 741);
            horizontal.push_back(line.y1 / 16);
        } else {
            EXPECT_EQ(line.x1, line.x2);
            vertical.emplace_back(line.x1, line.y1);
            EXPECT_EQ(line.y1, expected.tableTop * 16);
            EXPECT_EQ(line.y2, expected.tableBottom * 16);
        }
    }
    EXPECT_EQ(horizontal, expected.horizontalRules);
    const std::vector<std::pair<int, int>> frame{{6, expected.tableTop * 16},
                                                 {591, expected.tableTop * 16},
                                                 {641, expected.tableTop * 16},
                                                 {691, expected.tableTop * 16},
                                                 {741, expected.tableTop * 16}};
    EXPECT_EQ(vertical, frame);
    // The vertical rules come last, over every row.
    EXPECT_EQ(canvas.lines.back().x1, 741);

    const std::vector<int> column60 = rowsAt(canvas, 60);
    const std::vector<int> column10 = rowsAt(canvas, 10);
    const int legend = expected.legendFirstRow;
    const bool percent = expected.treatment == TreatmentMode::Pourcentage;
    // Column 60 holds the domain headings, then the coding legend.
    std::vector<int> expected60 = expected.domainRows;
    if (!percent)
        expected60.insert(expected60.end(), {legend, legend + 1, legend + 2});
    EXPECT_EQ(column60, expected60);
    // Column 10 holds the head line, the objective statements, then the percentage legend.
    std::vector<int> expected10 = join({{1}, expected.objectiveRows});
    if (percent)
        expected10.insert(expected10.end(), {legend, legend + 1, legend + 2});
    EXPECT_EQ(column10, expected10);
    EXPECT_EQ(rowsAt(canvas, 120), std::vector<int>{expected.horizontalRules[0] + 1});
}

INSTANTIATE_TEST_SUITE_P(Sheets, WorkedLayoutTest,
                         ::testing::Values(WorkedLayout{Subject::Mathematics,
                                                        TreatmentMode::Pourcentage,
                                                        MathsRules,
                                                        {10, 16, 23, 31, 37},
                                                        MathsObjectiveRows,
                                                        7,
                                                        43,
                                                        44},
                                           WorkedLayout{Subject::Mathematics,
                                                        TreatmentMode::Codage,
                                                        MathsRules,
                                                        {10, 16, 23, 31, 37},
                                                        MathsObjectiveRows,
                                                        7,
                                                        43,
                                                        45},
                                           WorkedLayout{Subject::French,
                                                        TreatmentMode::Pourcentage,
                                                        FrenchRules,
                                                        {13, 21, 26, 30},
                                                        FrenchObjectiveRows,
                                                        10,
                                                        40,
                                                        42},
                                           WorkedLayout{Subject::French,
                                                        TreatmentMode::Codage,
                                                        FrenchRules,
                                                        {13, 21, 26, 30},
                                                        FrenchObjectiveRows,
                                                        10,
                                                        40,
                                                        41}),
                         [](const ::testing::TestParamInfo<WorkedLayout>& param) {
                             return std::string(param.param.subject == Subject::French ? "French" : "Maths") +
                                    (param.param.treatment == TreatmentMode::Codage ? "Coding" : "Percent");
                         });

TEST(ResultSheet, TextsOfTheHeadAndLegends) {
    const auto state = sheetState(TreatmentMode::Pourcentage);
    const RecordingCanvas maths = draw(Subject::Mathematics, *state);
    EXPECT_EQ(maths.texts[2].text, "RESULTATS DE MATHEMATIQUES");
    EXPECT_EQ(maths.texts[2].x, 151);
    // Surname with its trailing spaces, 16 blanks cut to 41 characters, then the first name.
    EXPECT_EQ(maths.texts[3].text, "DURAND" + std::string(35, ' ') +
                                       "L\xE9"
                                       "a" +
                                       std::string(12, ' '));
    const std::vector<std::string> legend = {"SR  : score des r\xE9ussites",
                                             "Acquis : SR >= 75",
                                             "SE  : score des \xE9"
                                             "checs",
                                             "En Cours d'Acquisition : 50 <= SR <75",
                                             "SNR : score des non-r\xE9ponses",
                                             "Non Acquis : SR < 50"};
    std::vector<std::string> last;
    for (auto it = maths.texts.end() - 6; it != maths.texts.end(); ++it)
        last.push_back(it->text);
    EXPECT_EQ(last, legend);

    const RecordingCanvas french = draw(Subject::French, *state);
    EXPECT_EQ(french.texts[2].text, "RESULTATS DE FRANCAIS");
    EXPECT_EQ(french.texts[2].x, 191);
    EXPECT_EQ(french.texts[french.texts.size() - 3].text, "En Cours d'Acquisition : 50 <= SR < 75");
    EXPECT_EQ(french.texts[french.texts.size() - 3].x, 501);

    // Objective rows show the stored texts as they stand, trailing space included.
    const auto row = std::find_if(french.texts.begin(), french.texts.end(),
                                  [](const auto& t) { return t.text.rfind("Effectuer", 0) == 0; });
    ASSERT_NE(row, french.texts.end());
    EXPECT_EQ(row->text.back(), ' ');
    EXPECT_EQ((row + 1)->text, " 80 %");
    EXPECT_EQ((row + 1)->x, 601);
    EXPECT_EQ((row + 2)->text, " 15 %");
    EXPECT_EQ((row + 3)->text, "  5 %");
    EXPECT_EQ((row + 3)->x, 701);
}

TEST(ResultSheet, NameLineCutsAtFortyOneThenFiftySix) {
    const auto state = sheetState(TreatmentMode::Codage);
    state->Class.ClassResults[2].Surname = "DESCHAMPS_DE_LA_BROSSERIE";
    state->Class.ClassResults[2].FirstName = "Marie-Christine";
    const RecordingCanvas canvas = draw(Subject::French, *state);
    EXPECT_EQ(canvas.texts[3].text, "DESCHAMPS_DE_LA_BROSSERIE" + std::string(16, ' ') + "Marie-Christine");
}

TEST(ResultSheet, ANameTooWideForItsLineShrinksJustEnoughToEndInsideTheFrame) {
    const struct Case {
        std::string surname, firstName;
        bool shrinks;
    } cases[] = {{std::string(25, 'W'), "Mohammed-Wassim", true},
                 {std::string(25, 'M'), "Mohammed-Wassim", true},
                 {"DESCHAMPS-DE-LA-BROSSERIE", "Mohammed-Wassim", false},
                 {"DURAND",
                  "L\xE9"
                  "a",
                  false}};
    for (const Case& c : cases) {
        const auto state = sheetState(TreatmentMode::Codage);
        state->Class.ClassResults[2].Surname = c.surname;
        state->Class.ClassResults[2].FirstName = c.firstName;
        const RecordingCanvas::Text name = draw(Subject::French, *state).texts.at(3);
        const auto endAt = [&](double points) {
            return name.x + TextWidth(TrimTrailingSpaces(name.text), points);
        };
        EXPECT_EQ(name.x, 201) << c.surname;
        EXPECT_LE(endAt(name.points), 740.0) << c.surname; // the sheet's right rule
        if (c.shrinks) {
            EXPECT_GT(endAt(name.points + 0.1), 740.0) << c.surname;
        } else {
            EXPECT_EQ(name.points, 14.0) << c.surname;
            EXPECT_EQ(name.size, 14) << c.surname;
        }
    }
}

TEST(ResultSheet, FontSizesFollowTheZoom) {
    struct Step {
        double zoom;
        int head, title, name, table;
    };
    for (const Step step : {Step{0.6, 7, 12, 8, 6}, Step{0.8, 10, 16, 11, 8}, Step{1.0, 12, 20, 14, 10}}) {
        const auto state = sheetState(TreatmentMode::Codage, step.zoom);
        const RecordingCanvas canvas = draw(Subject::Mathematics, *state, step.zoom, step.zoom);
        EXPECT_EQ(canvas.texts[0].size, step.head) << step.zoom;
        EXPECT_EQ(canvas.texts[1].size, step.head) << step.zoom;
        EXPECT_EQ(canvas.texts[2].size, step.title) << step.zoom;
        EXPECT_EQ(canvas.texts[3].size, step.name) << step.zoom;
        for (std::size_t i = 4; i < canvas.texts.size(); ++i)
            EXPECT_EQ(canvas.texts[i].size, step.table) << step.zoom << " " << canvas.texts[i].text;
    }
}

TEST(ResultSheet, ScaleAndOffsetsMoveEveryElement) {
    auto state = sheetState(TreatmentMode::Codage, 0.6);
    const RecordingCanvas zoomed = draw(Subject::French, *state, 0.6, 0.6);
    EXPECT_EQ(zoomed.texts[0].x, 7);   // round(10 * 0.6 + 1)
    EXPECT_EQ(zoomed.texts[1].x, 361); // round(600 * 0.6 + 1)
    EXPECT_EQ(zoomed.texts[2].y, 19);  // round(16 * 0.6 * 2) = round(19.2)
    EXPECT_EQ(zoomed.lines[0].y1, 96); // the top rule at row 10

    state->View.VerticalOffset = 3;
    state->View.HorizontalOffset = 50;
    const RecordingCanvas moved = draw(Subject::French, *state);
    EXPECT_EQ(moved.texts[0].y, -32); // head line at row -2, off the page
    EXPECT_EQ(moved.texts[0].x, 10 + 1 - 50);
    EXPECT_EQ(moved.lines[0].y1, 7 * 16);
    EXPECT_EQ(moved.lines[0].x1, 5 + 1 - 50);

    // Printer scale 1200 / 96 = 12.5: halves round to the even neighbour.
    state->View = ViewState{1.0, 0, 1, 0, 0, 0};
    const RecordingCanvas paper = draw(Subject::French, *state, 12.5, 12.5);
    EXPECT_EQ(paper.texts[0].y, 200);
    EXPECT_EQ(paper.lines[0].x1, 62); // round(5 * 12.5 + 1 - 1) = round(62.5)
    state->View.HorizontalOffset = 0;
    EXPECT_EQ(draw(Subject::French, *state, 12.5, 12.5).lines[0].x1, 64); // round(63.5)
}

TEST(ResultSheet, CodingMarksTheColumnOfTheScore) {
    const auto state = sheetState(TreatmentMode::Codage);
    const std::vector<std::pair<std::string, int>> cases = {
        {"100 %", 600}, {" 75 %", 600}, {" 74 %", 650}, {" 50 %", 650}, {" 49 %", 700},
        {"  0 %", 700}, {"", 700},      {"x", 700},     {" Abs ", 600}, {"999 %", -1}};
    for (const auto& [sr, column] : cases) {
        state->Class.ObjectiveResults.Maths.SR[6][2] = sr;
        const RecordingCanvas canvas = draw(Subject::Mathematics, *state);
        // Objective 6 stands in row 20.
        std::vector<RecordingCanvas::Text> row;
        for (const auto& text : canvas.texts)
            if (text.y == 20 * 16)
                row.push_back(text);
        ASSERT_FALSE(row.empty());
        EXPECT_EQ(row[0].text, "R\xE9soudre un probl\xE8me de multiplication");
        if (column < 0) {
            EXPECT_EQ(row.size(), 1u) << sr;
            continue;
        }
        ASSERT_EQ(row.size(), 2u) << sr;
        EXPECT_EQ(row[1].x, column + 1) << sr;
        EXPECT_EQ(row[1].text, sr == " Abs " ? "El\xE8ve  Absent(e)" : "   X   ") << sr;
    }
}

TEST(ResultSheet, AnUnknownTreatmentDrawsTheHeadOnly) {
    const auto state = sheetState(static_cast<TreatmentMode>(7));
    const RecordingCanvas canvas = draw(Subject::French, *state);
    EXPECT_EQ(canvas.texts.size(), 4u); // version, date, title, name
    EXPECT_TRUE(canvas.lines.empty());
    EXPECT_TRUE(draw(static_cast<Subject>(9), *state).texts.empty());
}

TEST(ResultSheet, AnEmptyDomainDrawsItsHeadingAndTwoRules) {
    const auto state = sheetState(TreatmentMode::Pourcentage);
    state->FrenchTable.Domains[3].FirstObjective = 9;
    state->FrenchTable.Domains[3].LastObjective = 8;
    const RecordingCanvas canvas = draw(Subject::French, *state);
    std::set<std::string> texts;
    for (const auto& text : canvas.texts)
        texts.insert(text.text);
    EXPECT_TRUE(texts.count("PRODUCTION DE TEXTE"));
    EXPECT_FALSE(texts.count("Ecrire de mani\xE8re autonome un texte d'au moins cinq lignes"));
    EXPECT_EQ(canvas.lines.size(), FrenchRules.size() + 5);
}
