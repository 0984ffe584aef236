#include "RecordingCanvas.h"
#include "core/ObjectiveTables.h"
#include "sheet/ClassPages.h"
#include "sheet/ItemPages.h"
#include "sheet/SynthesisPages.h"
#include "sheet/TextWidth.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <set>
#include <string>

using namespace zeb;
using zeb::test::RecordingCanvas;

namespace {

// The code character of a pupil for an item; '\0' ends the codes text before it.
using CodeRule = std::function<char(Subject, int item, int pupil)>;

std::unique_ptr<ProgramState> classOf(int pupils, const CodeRule& code) {
    auto state = std::make_unique<ProgramState>();
    BuildObjectiveTables(*state);
    state->Class.PupilCount = pupils;
    for (int p = 1; p <= pupils; ++p) {
        PupilRecord& record = state->Class.ClassResults[p];
        record.Surname = "DESCHAMPS-DE-LA-BROSSERI" + std::string(1, char('A' + p % 26));
        record.FirstName = "Marie-Christine";
        std::string french, maths;
        for (int k = 1; k <= FrenchItemCount; ++k)
            french += code(Subject::French, k, p);
        for (int k = 1; k <= MathsItemCount; ++k)
            maths += code(Subject::Mathematics, k, p);
        french.resize(french.find('\0') == std::string::npos ? french.size() : french.find('\0'));
        maths.resize(maths.find('\0') == std::string::npos ? maths.size() : maths.find('\0'));
        record.FrenchCodes = french;
        record.MathsCodes = maths;
    }
    return state;
}

RecordingCanvas drawn(const Document& document, int page, PageView view = {}) {
    RecordingCanvas canvas;
    document.DrawPage(page, canvas, view);
    return canvas;
}

int rowOf(const RecordingCanvas::Text& text) {
    return text.y / LinePitch;
}

// The cell (0 to 3) whose item number field holds column x (as drawn at scale 1), or -1.
int numberCell(int x) {
    for (int cell = 0; cell < 4; ++cell)
        if (const int left = 5 + cell * 735 / 4 + 1; x >= left && x < left + 24)
            return cell;
    return -1;
}

// The number after "Item " at the start of a text, or 0.
int itemHeading(const std::string& text) {
    return text.starts_with("Item ") && text.size() > 5 && std::isdigit(static_cast<unsigned char>(text[5]))
               ? std::stoi(text.substr(5))
               : 0;
}

} // namespace

TEST(ItemPages, LongListsBreakBetweenRowsOfNamesAndNameEveryPupilOnce) {
    // Everybody fails the first items but pupils 7 and 8, who leave items 1 to 5 unanswered;
    // pupil 9 has no code there at all.
    const auto state = classOf(30, [](Subject, int k, int p) {
        if (k > 10)
            return '1';
        if (p == 9)
            return k <= 5 ? 'x' : '4';
        return (p == 7 || p == 8) && k <= 5 ? '0' : '3';
    });
    for (const Subject subject : {Subject::French, Subject::Mathematics}) {
        const ItemDocument document(subject, SheetSource::Of(*state));
        ASSERT_GT(document.PageCount() - document.AnalysisPageCount(), 2);
        std::map<int, std::multiset<int>> named; // item -> pupil numbers named under it
        int item = 0;
        for (int page = 0; page < document.PageCount(); ++page) {
            const RecordingCanvas canvas = drawn(document, page);
            for (const auto& text : canvas.texts) {
                EXPECT_LE(rowOf(text), classpages::PortraitLastRow) << page << ": " << text.text;
                EXPECT_LE(text.x + TextWidth(text.text, text.size), A4ShortSide - 2 * PrintableInset)
                    << page << ": " << text.text;
            }
            for (const auto& rect : canvas.rects)
                EXPECT_LE(rect.y + rect.height, (classpages::PortraitLastRow + 1) * LinePitch);
            if (page < document.AnalysisPageCount())
                continue;
            EXPECT_EQ(canvas.texts.at(2).text, page == document.AnalysisPageCount()
                                                   ? "ITEMS LES MOINS R\xC9USSIS"
                                                   : "ITEMS LES MOINS R\xC9USSIS (suite)");
            for (const auto& text : canvas.texts) {
                if (text.x == 11 && itemHeading(text.text) != 0) {
                    item = itemHeading(text.text);
                    EXPECT_EQ(text.text.ends_with("(suite)"), rowOf(text) == 9 && named.contains(item))
                        << text.text;
                } else if ((text.x == 146 || text.x == 443) &&
                           std::isdigit(static_cast<unsigned char>(text.text[0]))) {
                    EXPECT_EQ(text.text.substr(text.text.find(' ')),
                              " DESCHAMPS-DE-LA-BROSSERI" +
                                  std::string(1, char('A' + std::stoi(text.text) % 26)) + " Marie-Christine");
                    named[item].insert(std::stoi(text.text));
                }
            }
        }
        ASSERT_EQ(named.size(), 10u);
        for (int k = 1; k <= 10; ++k) {
            std::multiset<int> expected;
            for (int p = 1; p <= 30; ++p)
                if (p != 9 || k > 5)
                    expected.insert(p);
            EXPECT_EQ(named[k], expected) << "item " << k;
        }
    }
}

TEST(ItemPages, EveryItemOnceUnderItsObjectiveAndAbsItemsNotAmongTheLeast) {
    // Nobody has a code for items 2 and 3 (a letter, then a space) nor for item 88 of Mathematics
    // (a text too short); the rest is spread so that they would be among the least successful.
    const auto state = classOf(4, [](Subject subject, int k, int p) {
        if (k == 2 || k == 3 || (subject == Subject::Mathematics && k == 88))
            return k == 2 ? 'A' : k == 3 ? ' ' : '\0';
        return char('0' + (k * 7 + p * 3) % 10);
    });
    // The tables as they are, then Mathematics objectives of five items each, the last two short
    // of them: more headings than one page takes.
    for (const bool crowded : {false, true}) {
        for (int j = 1; crowded && j <= MathsObjectiveCount; ++j) {
            std::string list;
            for (int k = 5 * j - 4; k <= std::min(5 * j, MathsItemCount); ++k)
                list += std::to_string(k) + ",";
            state->MathsTable.ItemLists[j] = list;
        }
        for (const Subject subject : {Subject::French, Subject::Mathematics}) {
            SCOPED_TRACE(crowded ? "crowded" : "as they are");
            const ItemDocument document(subject, SheetSource::Of(*state));
            const std::vector<std::int32_t> objectives = ItemObjectives(*state, subject);
            EXPECT_EQ(document.AnalysisPageCount(), crowded && subject == Subject::Mathematics ? 2 : 1);
            std::map<int, int> shownUnder; // item -> objective heading it was drawn under (0: none)
            std::set<int> least;
            for (int page = 0; page < document.PageCount(); ++page) {
                int objective = -1;
                const RecordingCanvas canvas = drawn(document, page);
                if (page < document.AnalysisPageCount()) {
                    EXPECT_EQ(canvas.texts.at(2).text,
                              page == 0 ? "ANALYSE DES ITEMS" : "ANALYSE DES ITEMS (suite)");
                    // A page names the domain it starts in.
                    const auto first = std::find_if(canvas.texts.begin(), canvas.texts.end(),
                                                    [](const auto& text) { return rowOf(text) == 9; });
                    ASSERT_NE(first, canvas.texts.end());
                    EXPECT_EQ(first->x, 61) << first->text;
                }
                for (std::size_t i = 0; i < canvas.texts.size(); ++i) {
                    const auto& text = canvas.texts[i];
                    EXPECT_LE(rowOf(text), classpages::PortraitLastRow) << page << ": " << text.text;
                    if (page >= document.AnalysisPageCount()) {
                        if (text.x == 11 && itemHeading(text.text) != 0)
                            least.insert(itemHeading(text.text));
                    } else if (text.text == "Items hors objectif") {
                        objective = 0;
                    } else if (text.x == 11 && text.size == 10 && rowOf(text) > 8) {
                        objective = std::stoi(text.text);
                    } else if (text.size == 9 && rowOf(text) > 8 && numberCell(text.x) >= 0 &&
                               std::isdigit(static_cast<unsigned char>(text.text[0]))) {
                        const int k = std::stoi(text.text);
                        EXPECT_FALSE(shownUnder.contains(k)) << k;
                        shownUnder[k] = objective;
                        EXPECT_EQ(canvas.texts.at(i + 1).text == "Abs",
                                  k == 2 || k == 3 || (subject == Subject::Mathematics && k == 88))
                            << k;
                    }
                }
            }
            ASSERT_EQ(shownUnder.size(), static_cast<std::size_t>(ItemCountOf(subject)));
            for (const auto& [k, objective] : shownUnder)
                EXPECT_EQ(objective, objectives[static_cast<std::size_t>(k)]) << "item " << k;
            if (subject == Subject::Mathematics && !crowded) {
                for (const int k : {17, 19, 46, 76})
                    EXPECT_EQ(shownUnder[k], 0) << k;
            }
            EXPECT_EQ(least.size(), 10u);
            for (const int k : {2, 3, 88})
                EXPECT_FALSE(least.contains(k)) << k;

            // The synthesis ends with the same pages.
            const SynthesisDocument synthesis(subject, SheetSource::Of(*state));
            ASSERT_EQ(synthesis.PageCount(), synthesis.FirstItemsPage() + document.PageCount());
            for (int page = 0; page < document.PageCount(); ++page)
                EXPECT_EQ(drawn(synthesis, synthesis.FirstItemsPage() + page).texts.size(),
                          drawn(document, page).texts.size());
        }
    }
}
