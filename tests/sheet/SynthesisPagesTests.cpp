#include "RecordingCanvas.h"
#include "core/ObjectiveTables.h"
#include "sheet/ClassPages.h"
#include "sheet/SynthesisPages.h"
#include "sheet/TextWidth.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>
#include <tuple>

using namespace zeb;
using zeb::test::RecordingCanvas;

namespace {

// An SR value 0..100, or -1 for an absent pupil.
using ScoreRule = std::function<int(Subject, int objective, int pupil)>;

std::unique_ptr<ProgramState> classOf(int pupils, const ScoreRule& score) {
    auto state = std::make_unique<ProgramState>();
    BuildObjectiveTables(*state);
    state->Class.PupilCount = pupils;
    for (int p = 1; p <= pupils; ++p) {
        state->Class.ClassResults[p].Surname =
            "DESCHAMPS-DE-LA-BROSSERI" + std::string(1, char('A' + p % 26));
        state->Class.ClassResults[p].FirstName = "Marie-Christine";
        for (Subject subject : {Subject::French, Subject::Mathematics})
            for (int n = 1; n <= ObjectiveCountOf(subject); ++n) {
                const int sr = score(subject, n, p);
                char text[8];
                std::snprintf(text, sizeof text, "%3d %%", sr);
                auto& cell = subject == Subject::French ? state->Class.ObjectiveResults.French.SR[n][p]
                                                        : state->Class.ObjectiveResults.Maths.SR[n][p];
                cell = sr < 0 ? std::string(" Abs ") : std::string(text);
            }
    }
    return state;
}

// Spread over the codings; objective 3 has nobody evaluated, pupil 2 is absent from all.
int mixed(Subject, int n, int p) {
    if (n == 3 || p == 2 || (n + p) % 7 == 0)
        return -1;
    return (n * 37 + p * 53) % 101;
}

RecordingCanvas drawn(const SynthesisDocument& document, int page, PageView view = {}) {
    RecordingCanvas canvas;
    document.DrawPage(page, canvas, view);
    return canvas;
}

std::vector<std::string> textsInRow(const RecordingCanvas& canvas, int row) {
    std::vector<std::string> texts;
    for (const auto& text : canvas.texts)
        if (text.y == row * LinePitch)
            texts.push_back(text.text);
    return texts;
}

} // namespace

TEST(SynthesisPages, BarsSplitInProportionToTheCodings) {
    const auto state = classOf(13, mixed);
    const SynthesisDocument document(Subject::French, SheetSource::Of(*state));
    for (double scale : {1.0, 12.5}) {
        const RecordingCanvas canvas = drawn(document, SynthesisDocument::ClassSynthesisPage,
                                             PageView::Paper(int(96 * scale), int(96 * scale)));
        const double whole = double(std::llrint(735 * scale) - std::llrint(460 * scale));
        std::map<int, std::vector<RecordingCanvas::Rect>> bars; // by top
        for (const auto& rect : canvas.rects)
            if (rect.x >= std::llrint(460 * scale))
                bars[rect.y].push_back(rect);
        auto bar = bars.begin();
        for (int n = 1; n <= FrenchObjectiveCount; ++n) {
            int counts[3] = {}, evaluated = 0;
            for (int p = 1; p <= 13; ++p)
                if (const int sr = mixed(Subject::French, n, p); sr >= 0)
                    ++evaluated, ++counts[sr >= 75 ? 0 : sr >= 50 ? 1 : 2];
            if (evaluated == 0)
                continue; // no bar at all
            ASSERT_NE(bar, bars.end()) << "objective " << n;
            std::size_t part = 0;
            for (const auto& rect : bar->second) {
                while (counts[part] == 0)
                    ++part;
                EXPECT_EQ(rect.fill, (std::array{Fill::Light, Fill::Medium, Fill::Dark})[part]);
                EXPECT_NEAR(rect.width, whole * counts[part] / evaluated, 1.0) << "objective " << n;
                ++part;
            }
            EXPECT_EQ(bar->second.size(), std::count_if(counts, counts + 3, [](int c) { return c > 0; }));
            ++bar;
        }
        EXPECT_EQ(bar, bars.end());
    }
}

TEST(SynthesisPages, ThirtyLongNamesStayInsideThePrintableArea) {
    const auto state = classOf(30, [](Subject, int n, int p) { return (n + p) % 2 ? 30 : 60; });
    for (Subject subject : {Subject::French, Subject::Mathematics}) {
        const SynthesisDocument document(subject, SheetSource::Of(*state));
        ASSERT_GT(document.PageCount(), 3); // the groups need more than one page
        for (int page = 0; page < document.PageCount(); ++page) {
            const bool landscape = document.Orientation(page) == PageOrientation::Landscape;
            const int width = (landscape ? A4LongSide : A4ShortSide) - 2 * PrintableInset;
            const int height = (landscape ? A4ShortSide : A4LongSide) - 2 * PrintableInset;
            const RecordingCanvas canvas = drawn(document, page);
            for (const auto& text : canvas.texts) {
                const double em = text.points * 96.0 / 72.0;
                EXPECT_LE(text.x + TextWidth(text.text, text.points), width) << page << ": " << text.text;
                EXPECT_GE(text.y, 0);
                EXPECT_LE(text.y + 1.15 * em, height) << page << ": " << text.text;
            }
            for (const auto& rect : canvas.rects)
                EXPECT_TRUE(rect.x + rect.width <= width && rect.y + rect.height <= height);
        }
    }
}

TEST(SynthesisPages, GroupsFlowOverPagesWithoutSplittingAnObjective) {
    const auto state = classOf(30, [](Subject, int n, int p) { return (n + p) % 3 ? 20 : 70; });
    const SynthesisDocument document(Subject::Mathematics, SheetSource::Of(*state));
    std::map<std::string, int> namesUnder; // objective number -> names drawn below it
    std::string current;
    for (int page = SynthesisDocument::FirstGroupsPage; page < document.FirstItemsPage(); ++page) {
        current.clear(); // a name before any heading on a page would be counted nowhere
        for (const auto& text : drawn(document, page).texts) {
            if (text.x == 11 && text.y >= 8 * LinePitch)
                current = text.text, ++namesUnder[current + " heading"];
            else if ((text.x == 111 || text.x == 421) && !current.empty())
                ++namesUnder[current];
        }
    }
    for (int n = 1; n <= MathsObjectiveCount; ++n) {
        EXPECT_EQ(namesUnder[std::to_string(n) + " heading"], 1) << n;
        EXPECT_EQ(namesUnder[std::to_string(n)], 30) << n; // everybody is NA or ECA here
    }
}

TEST(SynthesisPages, TableCellsAndCountsIncludingTiesAndAbsences) {
    // Pupil 1 sits on the thresholds, pupil 2 is absent from everything.
    const auto state = classOf(2, [](Subject, int n, int p) {
        return p == 2 ? -1 : (n % 3 == 1 ? 75 : n % 3 ? 50 : 49);
    });
    const SynthesisDocument document(Subject::French, SheetSource::Of(*state));
    const RecordingCanvas canvas = drawn(document, SynthesisDocument::ClassTablePage);
    const std::vector<std::string> first = textsInRow(canvas, 9), absent = textsInRow(canvas, 10);
    // N°, surname, first name, 16 cells, then the counts of A, ECA, NA.
    ASSERT_EQ(first.size(), 3u + 16 + 3);
    EXPECT_EQ(std::vector(first.begin() + 3, first.begin() + 7),
              (std::vector<std::string>{"A", "ECA", "NA", "A"}));
    EXPECT_EQ(std::vector(first.end() - 3, first.end()), (std::vector<std::string>{"6", "5", "5"}));
    EXPECT_EQ(absent,
              (std::vector<std::string>{"2", "DESCHAMPS-DE-LA-BROSSERIC", "Marie-Christine", "absent(e)"}));
    EXPECT_EQ(textsInRow(canvas, 11).at(1), "1"); // foot: A count of objective 1
    // Shading: ECA light, NA medium, A none.
    EXPECT_EQ(canvas.rects.size(), 10u);

    // The objective nobody sat is said so, instead of groups.
    const auto nobody = classOf(1, [](Subject, int n, int) { return n == 2 ? -1 : 10; });
    const SynthesisDocument lone(Subject::French, SheetSource::Of(*nobody));
    int said = 0;
    for (int page = SynthesisDocument::FirstGroupsPage; page < lone.PageCount(); ++page)
        for (const auto& text : drawn(lone, page).texts)
            said += text.text.starts_with("Aucun \xE9l\xE8ve \xE9valu\xE9") ? 1 : 0;
    EXPECT_EQ(said, 1);
}

TEST(SynthesisPages, ScrollingMovesEveryRowAndPagesOutsideDrawNothing) {
    const auto state = classOf(5, mixed);
    const SynthesisDocument document(Subject::Mathematics, SheetSource::Of(*state));
    for (int page = 0; page < document.PageCount(); ++page) {
        const RecordingCanvas still = drawn(document, page);
        const RecordingCanvas scrolled = drawn(document, page, {1.0, 7, 3, 1.0, 1.0});
        ASSERT_EQ(still.texts.size(), scrolled.texts.size());
        for (std::size_t i = 0; i < still.texts.size(); ++i) {
            EXPECT_EQ(scrolled.texts[i].x, still.texts[i].x - 7);
            EXPECT_EQ(scrolled.texts[i].y, still.texts[i].y - 3 * LinePitch);
        }
    }
    EXPECT_TRUE(drawn(document, document.PageCount()).texts.empty());
    EXPECT_EQ(document.Orientation(0), PageOrientation::Landscape);
    EXPECT_EQ(document.Orientation(1), PageOrientation::Portrait);
}

TEST(SynthesisPages, ClassTableShowsAbsencesAndAKeyOfEveryObjectiveWithinThePage) {
    const auto state = classOf(30, mixed);
    for (Subject subject : {Subject::French, Subject::Mathematics}) {
        SCOPED_TRACE(subject == Subject::French ? "French" : "Maths");
        const SynthesisDocument document(subject, SheetSource::Of(*state));
        const RecordingCanvas canvas = drawn(document, SynthesisDocument::ClassTablePage);
        const int objectives = ObjectiveCountOf(subject);
        int absCells = 0, expectedAbs = 0;
        for (int p = 1; p <= 30; ++p)
            for (int n = 1; n <= objectives; ++n)
                expectedAbs += p != 2 && mixed(subject, n, p) < 0 ? 1 : 0;
        int lowestRule = 0;
        for (const auto& line : canvas.lines)
            lowestRule = std::max({lowestRule, line.y1, line.y2});
        std::map<std::string, int> keyed; // "n : " or "Domaine d : " -> lines
        std::vector<RecordingCanvas::Text> key;
        for (const auto& text : canvas.texts) {
            absCells += text.text == "Abs" ? 1 : 0;
            keyed["absent(e)"] += text.text == "absent(e)" ? 1 : 0;
            if (const auto colon = text.text.find(" : "); text.y > lowestRule && colon != std::string::npos) {
                keyed[text.text.substr(0, colon + 3)] += 1;
                key.push_back(text);
            }
        }
        EXPECT_EQ(absCells, expectedAbs);
        EXPECT_EQ(keyed["absent(e)"], 1); // pupil 2's row
        const classpages::Outline outline = classpages::outlineOf(subject, SheetSource::Of(*state));
        for (int n = 1; n <= objectives; ++n) {
            const std::string full =
                std::to_string(n) + " : " + std::string(outline.statements[std::size_t(n)]);
            EXPECT_EQ(keyed[full.substr(0, full.find(" : ") + 3)], 1) << n;
            for (const auto& text : key)
                if (text.text.starts_with(std::to_string(n) + " : ") && text.text != full) { // shortened
                    EXPECT_TRUE(text.text.ends_with("\x85") &&
                                full.starts_with(text.text.substr(0, text.text.size() - 1)))
                        << text.text;
                }
        }
        for (int d = 1; d <= outline.domainCount; ++d)
            EXPECT_EQ(keyed["Domaine " + std::to_string(d) + " : "], 1) << d;
        // One line each, side by side without overlapping, inside the landscape page.
        std::sort(key.begin(), key.end(),
                  [](const auto& a, const auto& b) { return std::tie(a.y, a.x) < std::tie(b.y, b.x); });
        for (std::size_t i = 0; i < key.size(); ++i) {
            const double end = key[i].x + TextWidth(key[i].text, key[i].points);
            EXPECT_LE(end, A4LongSide - 2 * PrintableInset) << key[i].text;
            EXPECT_LE(key[i].y + 1.15 * key[i].points * 96 / 72, A4ShortSide - 2 * PrintableInset)
                << key[i].text;
            if (i + 1 < key.size() && key[i + 1].y == key[i].y) {
                EXPECT_LT(end, key[i + 1].x) << key[i].text;
            }
        }
    }
}

TEST(SynthesisPages, FewEvaluatedAndWholeClassMarksAndEachPupilsSR) {
    // Five pupils. Objective 1: two sat it (few); 2: three sat it, one acquired (whole class);
    // 3: nobody; the rest: all acquired.
    const auto state = classOf(5, [](Subject, int n, int p) {
        if (n == 1)
            return p <= 2 ? 80 : -1;
        if (n == 2)
            return p <= 3 ? std::array{0, 90, 40, 55}[std::size_t(p)] : -1;
        return n == 3 ? -1 : 100;
    });
    const SynthesisDocument document(Subject::French, SheetSource::Of(*state));
    const RecordingCanvas summary = drawn(document, SynthesisDocument::ClassSynthesisPage);
    const auto rowOf = [](const RecordingCanvas& canvas, const std::string& text) {
        for (const auto& drawnText : canvas.texts)
            if (drawnText.text == text)
                return drawnText.y / LinePitch;
        return -1;
    };
    const std::string few = "peu d'\xE9l\xE8ves \xE9valu\xE9s";
    const std::vector<std::string> statementRow1 = textsInRow(summary, rowOf(summary, "1"));
    EXPECT_EQ(std::count(statementRow1.begin(), statementRow1.end(), few), 1);
    const std::vector<std::string> statementRow2 = textsInRow(summary, rowOf(summary, "2"));
    EXPECT_EQ(std::count(statementRow2.begin(), statementRow2.end(), few), 0);
    EXPECT_EQ(textsInRow(summary, rowOf(summary, "1") + 1).at(0), "2 (3 abs.)");
    EXPECT_EQ(textsInRow(summary, rowOf(summary, "2") + 1).at(0), "3 (2 abs.)");
    EXPECT_EQ(textsInRow(summary, rowOf(summary, "3")).back(), "aucun \xE9l\xE8ve \xE9valu\xE9");

    const RecordingCanvas groups = drawn(document, SynthesisDocument::FirstGroupsPage);
    const std::string again = "\xE0 reprendre avec toute la classe";
    const std::vector<std::string> heading2 = textsInRow(groups, rowOf(groups, "2"));
    EXPECT_EQ(std::count(heading2.begin(), heading2.end(), again), 1);
    for (const char* acquired : {"1", "4"}) {
        const std::vector<std::string> heading = textsInRow(groups, rowOf(groups, acquired));
        EXPECT_EQ(std::count(heading.begin(), heading.end(), again), 0) << acquired;
    }
    EXPECT_NE(rowOf(groups, "DESCHAMPS-DE-LA-BROSSERIC Marie-Christine (40 %)"), -1); // NA on 2
    EXPECT_NE(rowOf(groups, "DESCHAMPS-DE-LA-BROSSERID Marie-Christine (55 %)"), -1); // ECA on 2
}
