#include "ItemPages.h"

#include "sheet/ClassPages.h"
#include "sheet/TextWidth.h"

#include <algorithm>
#include <array>
#include <string>

namespace zeb {
namespace {

using namespace classpages;
using LeastKind = ItemDocument::LeastLine::Kind;

constexpr int Left = 5, Right = 740, NumberColumn = 10, StatementColumn = 35, DomainColumn = 60;
constexpr int HeadingSize = 10, ItemSize = 9;

// Success, failure, no answer: apart once printed in black and white.
constexpr std::array<Fill, 3> AnswerFills{Fill::Light, Fill::Dark, Fill::Hatched};

std::string rateText(const ItemCounts& counts, std::int32_t count) {
    return counts.Evaluated > 0 ? std::to_string(counts.Percent(count)) + " %" : "Abs";
}

std::string statementOf(const Outline& outline, std::int32_t objective, int points, int width) {
    return FitText(trimmed(outline.statements[static_cast<std::size_t>(objective)]), points, width);
}

// The class's counts, with each item's objective read from the source's reference tables.
SubjectItems analyse(Subject subject, const SheetSource& source) {
    return AnalyseItems(source.Class, subject,
                        subject == Subject::French ? ItemObjectives(source.FrenchTable)
                                                   : ItemObjectives(source.MathsTable));
}

// ---- The analysis pages -----------------------------------------------------------------------
// Per domain its title, per objective its number and statement, then its items four a row: the
// item's number, its success rate, a bar split into success / failure / no answer, and how many
// pupils have a code for it.
namespace analysis {
using Blocks = std::vector<ItemDocument::ObjectiveItems>;

constexpr int PerRow = 4;
// Within an item's cell, from its left edge.
constexpr int NumberRight = 24, RateRight = 68, BarLeft = 76, BarRight = 148, EvaluatedRight = 176;
constexpr std::int32_t LegendRow = 6, HeaderRow = 8, FirstRow = 9, Capacity = PortraitLastRow - FirstRow + 1;

int cellLeft(int cell) {
    return Left + cell * (Right - Left) / PerRow;
}

std::int32_t itemRows(const ItemDocument::ObjectiveItems& block) {
    return static_cast<std::int32_t>((block.items.size() + PerRow - 1) / PerRow);
}

bool opensDomain(const Blocks& blocks, std::size_t b) {
    return b == 0 || blocks[b].domain != blocks[b - 1].domain;
}

// A page that starts within a domain names it again.
std::int32_t blockRows(const Blocks& blocks, std::size_t b, bool firstOnPage) {
    const bool objective = blocks[b].objective != 0;
    return (opensDomain(blocks, b) || firstOnPage ? 1 : 0) + (objective ? 1 : 0) + itemRows(blocks[b]);
}

Blocks blocksOf(const Outline& outline, const SubjectItems& items) {
    Blocks blocks;
    for (int d = 0; d < outline.domainCount; ++d) {
        const Domain& domain = *outline.domains[static_cast<std::size_t>(d)];
        for (std::int32_t n = domain.FirstObjective; n <= domain.LastObjective; ++n)
            blocks.push_back({n, d, {}});
    }
    ItemDocument::ObjectiveItems outside{0, -1, {}};
    for (const ItemCounts& item : items.Items) {
        const auto found = std::find_if(blocks.begin(), blocks.end(), [&item](const auto& block) {
            return block.objective == item.Objective;
        });
        (item.Objective != 0 && found != blocks.end() ? found->items : outside.items).push_back(item.Item);
    }
    if (!outside.items.empty())
        blocks.push_back(std::move(outside));
    return blocks;
}

// An objective starts a new page unless it fits whole below the previous one.
std::vector<ItemDocument::BlockRun> paginate(const Blocks& blocks) {
    std::vector<ItemDocument::BlockRun> pages;
    std::int32_t used = 0;
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        if (const std::int32_t rows = blockRows(blocks, b, false);
            !pages.empty() && used + rows <= Capacity) {
            pages.back().last = b;
            used += rows;
        } else {
            pages.push_back({b, b});
            used = blockRows(blocks, b, true);
        }
    }
    return pages;
}

// The three fills with what each stands for, then what the figures are.
void drawLegend(Page& page) {
    page.fontSize(ItemSize);
    constexpr std::string_view lead = "R\xE9partition des r\xE9ponses :";
    constexpr std::array<std::string_view, 3> labels{"r\xE9ussite (codes 1 et 2)",
                                                     "\xE9"
                                                     "chec (codes 3 \xE0 9)",
                                                     "non-r\xE9ponse (code 0)"};
    page.text(TextColumn, LegendRow, lead);
    int k = TextColumn + static_cast<int>(TextWidth(lead, ItemSize)) + 12;
    for (std::size_t part = 0; part < labels.size(); ++part) {
        page.swatch(k, LegendRow, AnswerFills[part], labels[part]);
        k += 30 + static_cast<int>(TextWidth(labels[part], ItemSize)) + 20;
    }
    page.text(
        TextColumn, LegendRow + 1,
        "R\xE9ussite : part des \xE9l\xE8ves \xE9valu\xE9s qui ont r\xE9ussi l'item (Abs : aucun \xE9l\xE8ve "
        "\xE9valu\xE9) ; \xC9val. : \xE9l\xE8ves qui ont un code pour l'item.");
}

void drawHeader(Page& page) {
    constexpr std::string_view bar = "R\xE9partition";
    const int barTitle = (BarLeft + BarRight - static_cast<int>(TextWidth(bar, ItemSize))) / 2;
    page.rule(Left, Right, HeaderRow);
    for (int cell = 0; cell < PerRow; ++cell) {
        const int left = cellLeft(cell);
        page.textEndingAt(left + NumberRight, HeaderRow, ItemSize, "Item");
        page.textEndingAt(left + RateRight, HeaderRow, ItemSize, "R\xE9ussite");
        page.text(left + barTitle, HeaderRow, bar);
        page.textEndingAt(left + EvaluatedRight, HeaderRow, ItemSize, "\xC9val.");
    }
}

void drawItem(Page& page, int left, std::int32_t row, const ItemCounts& item) {
    page.textEndingAt(left + NumberRight, row, ItemSize, std::to_string(item.Item));
    page.textEndingAt(left + RateRight, row, ItemSize, rateText(item, item.Reussite));
    drawSplitBar(page, row, left + BarLeft, left + BarRight,
                 std::array<std::int32_t, 3>{item.Reussite, item.Echec, item.NonReponse}, AnswerFills);
    page.textEndingAt(left + EvaluatedRight, row, ItemSize, std::to_string(item.Evaluated));
}

// A domain's title, or the heading of the items of no objective, with a rule above and below.
void drawDomainHeading(Page& page, std::int32_t row, std::string_view title) {
    page.rule(Left, Right, row);
    page.fontSize(HeadingSize);
    page.text(DomainColumn, row, title);
    page.rule(Left, Right, row + 1);
}

std::int32_t drawBlock(Page& page, std::int32_t row, const Outline& outline, const Blocks& blocks,
                       std::size_t b, bool firstOnPage, const SubjectItems& items) {
    const ItemDocument::ObjectiveItems& block = blocks[b];
    if (block.objective == 0) {
        drawDomainHeading(page, row++, "Items hors objectif");
    } else {
        if (opensDomain(blocks, b) || firstOnPage) {
            const std::string_view title = outline.domains[static_cast<std::size_t>(block.domain)]->Title;
            drawDomainHeading(page, row++,
                              opensDomain(blocks, b) ? std::string(title) : std::string(title) + " (suite)");
        }
        page.fontSize(HeadingSize);
        page.text(NumberColumn, row, std::to_string(block.objective));
        page.text(StatementColumn, row,
                  statementOf(outline, block.objective, HeadingSize, Right - 5 - StatementColumn));
        ++row;
    }
    page.fontSize(ItemSize);
    for (std::size_t i = 0; i < block.items.size(); ++i) {
        const ItemCounts& item = items.Items[static_cast<std::size_t>(block.items[i] - 1)];
        drawItem(page, cellLeft(static_cast<int>(i % PerRow)), row + static_cast<std::int32_t>(i / PerRow),
                 item);
    }
    return row + itemRows(block);
}

void draw(Page& page, const Outline& outline, const Blocks& blocks, ItemDocument::BlockRun run,
          bool continued, const SubjectItems& items, const ClassInfo& info) {
    drawTitles(page, PortraitDate, 170, continued ? "ANALYSE DES ITEMS (suite)" : "ANALYSE DES ITEMS",
               pupilsCaption(outline, items.PupilCount), info);
    drawLegend(page);
    drawHeader(page);
    std::int32_t row = FirstRow;
    for (std::size_t b = run.first; b <= run.last; ++b)
        row = drawBlock(page, row, outline, blocks, b, b == run.first, items);
    page.rule(Left, Right, row);
    page.column(Left, HeaderRow, row);
    page.column(Right, HeaderRow, row);
}
} // namespace analysis

// ---- The least successful items ---------------------------------------------------------------
// Per item its number and objective, its three rates, then the pupils who failed it and those
// who did not answer, two a row. An item that does not fit below the previous one continues on
// the next page under its heading again; a pupil's row is never cut.
namespace least {
using Lines = std::vector<ItemDocument::LeastLine>;

constexpr std::size_t Listed = 10;
constexpr int ItemColumn = 10, ObjectiveColumn = 70, LabelColumn = 35;
constexpr std::array<int, 4> RateColumns{35, 145, 250, 380};
constexpr std::array<int, 2> NameColumns{145, 442};
constexpr std::int32_t LegendRow = 6, FirstBlockRow = 9, Capacity = PortraitLastRow - FirstBlockRow + 1;
// An item starts on the next page unless its heading, rates and two rows of names fit here.
constexpr std::int32_t RowsBeforeBreak = 4;

std::vector<ItemDocument::LeastItem> leastOf(const SubjectItems& items, const LoadedClass& loaded) {
    std::vector<ItemDocument::LeastItem> least;
    for (const std::int32_t item : LeastSuccessfulItems(items, Listed)) {
        ItemDocument::LeastItem entry{item, {}, {}};
        for (std::int32_t pupil = 1; pupil <= items.PupilCount; ++pupil) {
            const int code = PupilItemCode(loaded, items.subject, pupil, item);
            if (code == 0)
                entry.silent.push_back(pupil);
            else if (code >= 3)
                entry.failed.push_back(pupil);
        }
        least.push_back(std::move(entry));
    }
    return least;
}

const std::vector<std::int32_t>& groupOf(const ItemDocument::LeastItem& item, LeastKind kind) {
    return kind == LeastKind::Failed ? item.failed : item.silent;
}

Lines linesOf(const std::vector<ItemDocument::LeastItem>& least) {
    Lines lines;
    for (std::size_t b = 0; b < least.size(); ++b) {
        lines.push_back({b, LeastKind::Heading, 0});
        lines.push_back({b, LeastKind::Rates, 0});
        for (const LeastKind kind : {LeastKind::Failed, LeastKind::Silent}) {
            const std::size_t count = groupOf(least[b], kind).size();
            for (std::size_t first = 0; first == 0 || first < count; first += NameColumns.size())
                lines.push_back({b, kind, first});
        }
    }
    return lines;
}

std::vector<ItemDocument::LineRun> paginate(const Lines& lines) {
    std::vector<ItemDocument::LineRun> pages;
    std::int32_t used = Capacity;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind == LeastKind::Heading) {
            std::size_t end = i + 1;
            while (end < lines.size() && lines[end].block == lines[i].block)
                ++end;
            const auto rows = static_cast<std::int32_t>(end - i);
            if (used + rows > Capacity && Capacity - used < RowsBeforeBreak) {
                pages.push_back({i, i});
                used = 0;
            }
        } else if (used == Capacity) {
            pages.push_back({i, i});
            used = 1; // the item's heading again
        }
        pages.back().end = i + 1;
        ++used;
    }
    if (pages.empty())
        pages.push_back({0, 0});
    return pages;
}

std::string nameOf(std::int32_t pupil, const LoadedClass& loaded) {
    return FitText(std::to_string(pupil) + " " + pupilName(loaded.ClassResults[pupil]), ItemSize,
                   NameColumns[1] - NameColumns[0] - 10);
}

// The item and its objective; continued, it says so, and the objective moves aside.
void drawHeading(Page& page, std::int32_t row, const ItemCounts& item, const Outline& outline,
                 bool continued) {
    page.rule(Left, Right, row);
    page.fontSize(HeadingSize);
    page.text(ItemColumn, row, "Item " + std::to_string(item.Item) + (continued ? " (suite)" : ""));
    const int column = ObjectiveColumn + (continued ? 40 : 0);
    if (item.Objective == 0) {
        page.text(column, row, "Item hors objectif");
        return;
    }
    const std::string objective =
        "Objectif " + std::to_string(item.Objective) + " : " +
        std::string(trimmed(outline.statements[static_cast<std::size_t>(item.Objective)]));
    page.text(column, row, FitText(objective, HeadingSize, Right - 5 - column));
}

void drawRates(Page& page, std::int32_t row, const ItemCounts& item) {
    page.fontSize(ItemSize);
    page.text(RateColumns[0], row, "R\xE9ussite : " + rateText(item, item.Reussite));
    page.text(RateColumns[1], row,
              "\xC9"
              "chec : " +
                  rateText(item, item.Echec));
    page.text(RateColumns[2], row, "Non-r\xE9ponse : " + rateText(item, item.NonReponse));
    page.text(RateColumns[3], row,
              std::to_string(item.Evaluated) + (item.Evaluated > 1 ? " \xE9valu\xE9s" : " \xE9valu\xE9") +
                  ", " + std::to_string(item.Absent) + (item.Absent > 1 ? " absents" : " absent"));
}

// A row of names; the first of its group on the page carries the group's label.
void drawNames(Page& page, std::int32_t row, const ItemDocument::LeastLine& line,
               const ItemDocument::LeastItem& item, bool firstOnPage, const LoadedClass& loaded) {
    const std::vector<std::int32_t>& group = groupOf(item, line.kind);
    const std::string label = line.kind == LeastKind::Failed ? "\xC9"
                                                               "chec"
                                                             : "Non-r\xE9ponse";
    page.fontSize(ItemSize);
    if (line.firstName == 0)
        page.text(LabelColumn, row, label + " (" + std::to_string(group.size()) + ") :");
    else if (firstOnPage)
        page.text(LabelColumn, row, label + " (suite) :");
    if (group.empty())
        page.text(NameColumns[0], row, "aucun \xE9l\xE8ve");
    for (std::size_t c = 0; c < NameColumns.size() && line.firstName + c < group.size(); ++c)
        page.text(NameColumns[c], row, nameOf(group[line.firstName + c], loaded));
}

void draw(Page& page, const Outline& outline, const SubjectItems& items,
          const std::vector<ItemDocument::LeastItem>& least, const Lines& lines, ItemDocument::LineRun run,
          bool continued, const LoadedClass& loaded) {
    drawTitles(page, PortraitDate, 170,
               continued ? "ITEMS LES MOINS R\xC9USSIS (suite)" : "ITEMS LES MOINS R\xC9USSIS",
               pupilsCaption(outline, items.PupilCount), loaded.Info);
    page.fontSize(ItemSize);
    page.text(TextColumn, LegendRow,
              "Les " + std::to_string(Listed) +
                  " items au plus faible taux de r\xE9ussite, du moins r\xE9ussi au plus r\xE9ussi (\xE0 "
                  "\xE9galit\xE9, "
                  "par num\xE9ro d'item).");
    page.text(TextColumn, LegendRow + 1,
              "Sous chacun : les \xE9l\xE8ves en \xE9"
              "chec (codes 3 \xE0 9), puis ceux qui n'ont pas r\xE9pondu (code "
              "0) ; les absents ne sont pas nomm\xE9s.");
    std::int32_t row = FirstBlockRow;
    if (run.first == run.end) {
        page.fontSize(HeadingSize);
        page.text(TextColumn, row, "Aucun item n'a de code pour un \xE9l\xE8ve de la classe.");
        return;
    }
    if (lines[run.first].kind != LeastKind::Heading)
        drawHeading(page, row++,
                    items.Items[static_cast<std::size_t>(least[lines[run.first].block].item - 1)], outline,
                    true);
    for (std::size_t i = run.first; i < run.end; ++i) {
        const ItemDocument::LeastLine& line = lines[i];
        const ItemDocument::LeastItem& item = least[line.block];
        const ItemCounts& counts = items.Items[static_cast<std::size_t>(item.item - 1)];
        if (line.kind == LeastKind::Heading)
            drawHeading(page, row, counts, outline, false);
        else if (line.kind == LeastKind::Rates)
            drawRates(page, row, counts);
        else
            drawNames(page, row, line, item, i == run.first || lines[i - 1].kind != line.kind, loaded);
        ++row;
    }
    page.rule(Left, Right, row);
}
} // namespace least

} // namespace

ItemDocument::ItemDocument(Subject subject, const SheetSource& source)
    : source_(source), items_(analyse(subject, source)),
      blocks_(analysis::blocksOf(outlineOf(subject, source), items_)),
      analysisPages_(analysis::paginate(blocks_)), least_(least::leastOf(items_, source.Class)),
      lines_(least::linesOf(least_)), leastPages_(least::paginate(lines_)) {}

void ItemDocument::DrawPage(int page, Canvas& canvas, const PageView& view) const {
    if (page < 0 || page >= PageCount())
        return;
    // Texts let the rules they touch and the legend's samples show through.
    canvas.setTextOpaque(false);
    if (page < AnalysisPageCount())
        drawAnalysis(page, canvas, view);
    else
        drawLeast(page - AnalysisPageCount(), canvas, view);
    canvas.setTextOpaque(true);
}

void ItemDocument::drawAnalysis(int page, Canvas& canvas, const PageView& view) const {
    Page pen(canvas, view);
    analysis::draw(pen, outlineOf(items_.subject, source_), blocks_,
                   analysisPages_[static_cast<std::size_t>(page)], page > 0, items_, source_.Class.Info);
}

void ItemDocument::drawLeast(int page, Canvas& canvas, const PageView& view) const {
    Page pen(canvas, view);
    least::draw(pen, outlineOf(items_.subject, source_), items_, least_, lines_,
                leastPages_[static_cast<std::size_t>(page)], page > 0, source_.Class);
}

} // namespace zeb
