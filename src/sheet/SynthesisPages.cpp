#include "SynthesisPages.h"

#include "core/Scoring.h"
#include "sheet/ClassPages.h"

#include <algorithm>
#include <array>
#include <string>

namespace zeb {
namespace {

using namespace classpages;

// ---- The class table ------------------------------------------------------------------------
// One row per pupil, one column per objective; cells shaded lighter than the letters so
// that they stay readable once printed in grey.
namespace table {
constexpr int FontSize = 9, Left = 5, NumberColumn = 10, NumberRight = 28, SurnameColumn = 32,
              SurnameRight = 236, FirstNameColumn = 240, GridLeft = 348, CellWidth = 32, CountWidth = 30;
constexpr std::int32_t DomainRow = 7, NumberRow = 8, FirstPupilRow = 9;

// Typical width in layout pixels of a short text of figures or capitals in the table's
// font (half an em a figure, two thirds of an em a capital), to centre it in its cell.
constexpr int typicalWidth(std::string_view text) {
    int width = 0;
    for (const char c : text)
        width += c >= '0' && c <= '9' ? 6 : 8;
    return width;
}

struct Grid {
    int objectives;
    int cellLeft(int n) const { return GridLeft + (n - 1) * CellWidth; }
    int countLeft(int c) const { return GridLeft + objectives * CellWidth + c * CountWidth; }
    int right() const { return countLeft(3); }
};

void centred(Page& page, int left, int width, std::int32_t row, std::string_view text) {
    page.text(left + std::max(0, (width - typicalWidth(text)) / 2), row, text);
}

// Opaque text is the cheaper to draw: only letters over a shading let it show.
void drawCell(Page& page, int left, std::int32_t row, Coding coding) {
    const std::string_view letters = CodingLetters(coding);
    const int k = left + std::max(0, (CellWidth - typicalWidth(letters)) / 2);
    if (coding == Coding::EnCoursAcquisition || coding == Coding::NonAcquis) {
        page.fill(left + 1, left + CellWidth, row, 1, LinePitch,
                  coding == Coding::NonAcquis ? Fill::Medium : Fill::Light);
        page.textOver(k, row, letters);
    } else if (!letters.empty()) {
        page.text(k, row, letters);
    }
}

void drawCounts(Page& page, const Grid& grid, std::int32_t row, const std::array<int, 3>& counts) {
    for (int c = 0; c < 3; ++c)
        centred(page, grid.countLeft(c), CountWidth, row,
                std::to_string(counts[static_cast<std::size_t>(c)]));
}

void drawHeader(Page& page, const Grid& grid, const Outline& outline) {
    page.text(NumberColumn, NumberRow, "N\xB0");
    page.text(SurnameColumn, NumberRow, "Nom");
    page.text(FirstNameColumn, NumberRow, "Pr\xE9nom");
    for (int d = 0; d < outline.domainCount; ++d) {
        const Domain& domain = *outline.domains[static_cast<std::size_t>(d)];
        const int left = grid.cellLeft(domain.FirstObjective);
        centred(page, left, grid.cellLeft(domain.LastObjective + 1) - left, DomainRow, std::to_string(d + 1));
    }
    for (int n = 1; n <= grid.objectives; ++n)
        centred(page, grid.cellLeft(n), CellWidth, NumberRow, std::to_string(n));
    centred(page, grid.countLeft(0), 3 * CountWidth, DomainRow, "Total");
    int c = 0;
    for (std::string_view coding : {"A", "ECA", "NA"})
        centred(page, grid.countLeft(c++), CountWidth, NumberRow, coding);
}

void drawPupilRow(Page& page, const Grid& grid, std::int32_t pupil, Subject subject,
                  const SheetSource& source) {
    const std::int32_t row = FirstPupilRow + pupil - 1;
    const PupilRecord& record = source.Class.ClassResults[pupil];
    page.text(NumberColumn, row, std::to_string(pupil));
    page.text(SurnameColumn, row, trimmed(record.Surname));
    page.text(FirstNameColumn, row, trimmed(record.FirstName));
    std::array<int, 3> counts{};
    for (int n = 1; n <= grid.objectives; ++n) {
        const Coding coding = CodingOf(StoredSR(source.Class, subject, n, pupil));
        if (coding == Coding::Acquis)
            ++counts[0];
        else if (coding == Coding::EnCoursAcquisition)
            ++counts[1];
        else if (coding == Coding::NonAcquis)
            ++counts[2];
        drawCell(page, grid.cellLeft(n), row, coding);
    }
    drawCounts(page, grid, row, counts);
}

void drawFoot(Page& page, const Grid& grid, std::int32_t row, const SubjectSynthesis& synthesis) {
    page.text(SurnameColumn, row, "Total A");
    page.text(SurnameColumn, row + 1, "Total ECA");
    page.text(SurnameColumn, row + 2, "Total NA");
    for (int n = 1; n <= grid.objectives; ++n) {
        const ObjectiveTally& tally = synthesis.Objectives[n].Tally;
        centred(page, grid.cellLeft(n), CellWidth, row, std::to_string(tally.Acquis));
        centred(page, grid.cellLeft(n), CellWidth, row + 1, std::to_string(tally.EnCoursAcquisition));
        centred(page, grid.cellLeft(n), CellWidth, row + 2, std::to_string(tally.NonAcquis));
    }
}

void drawRules(Page& page, const Grid& grid, const Outline& outline, std::int32_t pupilsEnd,
               std::int32_t end) {
    page.rule(GridLeft, grid.right(), DomainRow);
    for (std::int32_t row = NumberRow; row <= pupilsEnd; ++row)
        page.rule(Left, grid.right(), row);
    page.rule(Left, grid.right(), end);
    page.column(Left, NumberRow, end);
    for (int k : {NumberRight, SurnameRight})
        page.column(k, NumberRow, pupilsEnd);
    for (int n = 1; n <= grid.objectives + 1; ++n)
        page.column(grid.cellLeft(n), n == 1 || n == grid.objectives + 1 ? DomainRow : NumberRow, end);
    for (int d = 1; d < outline.domainCount; ++d)
        page.column(grid.cellLeft(outline.domains[static_cast<std::size_t>(d)]->FirstObjective), DomainRow,
                    NumberRow);
    for (int c = 1; c <= 3; ++c)
        page.column(grid.countLeft(c), c == 3 ? DomainRow : NumberRow, c == 3 ? end : pupilsEnd);
}

void drawDomainKey(Page& page, const Outline& outline, std::int32_t row) {
    for (int d = 0; d < outline.domainCount; ++d) {
        const std::string key = "Domaine " + std::to_string(d + 1) + " : " +
                                std::string(outline.domains[static_cast<std::size_t>(d)]->Title);
        page.text(TextColumn + (d / 3) * 540, row + d % 3, key);
    }
}

void draw(Page& page, const Outline& outline, const SubjectSynthesis& synthesis, const SheetSource& source) {
    drawHead(page, LandscapeDate, 380, "TABLEAU DE LA CLASSE", pupilsCaption(outline, synthesis.PupilCount),
             source.Class.Info);
    page.fontSize(FontSize);
    const Grid grid{synthesis.ObjectiveCount};
    drawHeader(page, grid, outline);
    for (std::int32_t pupil = 1; pupil <= synthesis.PupilCount; ++pupil)
        drawPupilRow(page, grid, pupil, synthesis.subject, source);
    const std::int32_t pupilsEnd = FirstPupilRow + synthesis.PupilCount;
    drawFoot(page, grid, pupilsEnd, synthesis);
    drawRules(page, grid, outline, pupilsEnd, pupilsEnd + 3);
    drawDomainKey(page, outline, pupilsEnd + 4);
}
} // namespace table

// ---- The synthesis page ---------------------------------------------------------------------
// Two rows per objective: its statement, as on the sheets, then its figures and its bar.
namespace summary {
constexpr int Left = 5, Right = 740, NumberColumn = 10, StatementColumn = 35, DomainColumn = 60,
              EvaluatedColumn = 35, MeanColumn = 100, WholeClassColumn = 405, BarLeft = 460, BarRight = 735;
constexpr std::array<int, 3> CountColumns{165, 245, 325};
constexpr std::array<Fill, 3> BarFills{Fill::Light, Fill::Medium, Fill::Dark};
constexpr std::int32_t TableTop = 8;

std::string countText(const ObjectiveTally& tally, std::int32_t count) {
    std::string text = std::to_string(count);
    if (tally.Evaluated > 0)
        text += " (" + std::to_string(tally.Percent(count)) + " %)";
    return text;
}

// Parts of the bar end where the running counts put them, in device pixels, so the three
// lengths add up to the whole bar and each is within a pixel of its share at any resolution.
void drawBar(Page& page, std::int32_t row, const ObjectiveTally& tally) {
    if (tally.Evaluated <= 0)
        return;
    const std::array<std::int32_t, 3> counts{tally.Acquis, tally.EnCoursAcquisition, tally.NonAcquis};
    const int left = page.x(BarLeft);
    const std::int64_t whole = page.x(BarRight) - left;
    std::int64_t running = 0;
    int start = left;
    for (std::size_t part = 0; part < counts.size(); ++part) {
        running += counts[part];
        const int end = left + static_cast<int>((2 * running * whole + tally.Evaluated) /
                                                (2 * static_cast<std::int64_t>(tally.Evaluated)));
        if (end > start)
            page.fillBetween(start, end, row, 3, 13, BarFills[part]);
        start = end;
    }
}

void drawFigures(Page& page, std::int32_t row, const ObjectiveTally& tally) {
    page.text(EvaluatedColumn, row, std::to_string(tally.Evaluated));
    page.text(MeanColumn, row, tally.Evaluated > 0 ? std::to_string(tally.MeanSR()) + " %" : "Abs");
    const std::array<std::int32_t, 3> counts{tally.Acquis, tally.EnCoursAcquisition, tally.NonAcquis};
    for (std::size_t c = 0; c < counts.size(); ++c)
        page.text(CountColumns[c], row, countText(tally, counts[c]));
    if (tally.Evaluated > 0 && tally.WholeClass())
        page.text(WholeClassColumn + 15, row, "X");
    drawBar(page, row, tally);
}

void drawHeader(Page& page) {
    page.rule(Left, Right, TableTop);
    page.text(NumberColumn, TableTop, "N\xB0");
    page.text(StatementColumn, TableTop, "OBJECTIFS");
    page.text(EvaluatedColumn, TableTop + 1, "\xC9valu\xE9s");
    page.text(MeanColumn, TableTop + 1, "SR moyen");
    page.text(CountColumns[0], TableTop + 1, "A");
    page.text(CountColumns[1], TableTop + 1, "ECA");
    page.text(CountColumns[2], TableTop + 1, "NA");
    page.text(WholeClassColumn, TableTop + 1, "Classe");
    page.text(BarLeft, TableTop + 1, "R\xE9partition A / ECA / NA");
    page.rule(Left, Right, TableTop + 2);
}

std::int32_t drawDomains(Page& page, const Outline& outline, const SubjectSynthesis& synthesis) {
    std::int32_t row = TableTop + 2;
    for (int d = 0; d < outline.domainCount; ++d) {
        const Domain& domain = *outline.domains[static_cast<std::size_t>(d)];
        page.text(DomainColumn, row, domain.Title);
        page.rule(Left, Right, ++row);
        for (std::int32_t n = domain.FirstObjective; n <= domain.LastObjective; ++n) {
            page.text(NumberColumn, row, std::to_string(n));
            page.text(StatementColumn, row, outline.statements[static_cast<std::size_t>(n)]);
            drawFigures(page, row + 1, synthesis.Objectives[n].Tally);
            row += 2;
        }
        page.rule(Left, Right, row);
    }
    return row;
}

void drawLegend(Page& page, std::int32_t row) {
    page.text(TextColumn, row + 1, "R\xE9partition :");
    page.swatch(100, row + 1, Fill::Light, "A");
    page.swatch(170, row + 1, Fill::Medium, "ECA");
    page.swatch(250, row + 1, Fill::Dark, "NA");
    page.text(TextColumn, row + 2,
              "X (colonne Classe) : moins de la moiti\xE9 des \xE9l\xE8ves \xE9valu\xE9s ont acquis "
              "l'objectif ;");
    page.text(TextColumn, row + 3, "il est \xE0 reprendre avec toute la classe plut\xF4t qu'en groupe.");
    page.text(TextColumn, row + 4, "Abs : aucun \xE9l\xE8ve \xE9valu\xE9 sur l'objectif.");
}

void draw(Page& page, const Outline& outline, const SubjectSynthesis& synthesis, const SheetSource& source) {
    drawHead(page, PortraitDate, 170, "SYNTHESE DE LA CLASSE", pupilsCaption(outline, synthesis.PupilCount),
             source.Class.Info);
    drawHeader(page);
    const std::int32_t end = drawDomains(page, outline, synthesis);
    page.column(Left, TableTop, end);
    page.column(Right, TableTop, end);
    drawLegend(page, end + 1);
}
} // namespace summary

// ---- The needs groups -------------------------------------------------------------------------
// Per objective its statement, then the NA group and the ECA group, two names a row; a
// rule rather than a blank row between objectives lets a small class's groups fit one page.
namespace groups {
constexpr int Left = 5, Right = 740, NumberColumn = 10, StatementColumn = 35, LabelColumn = 35;
// Names in a smaller size, so that two long ones still sit side by side.
constexpr int NameSize = 9;
constexpr std::array<int, 2> NameColumns{110, 420};
constexpr std::int32_t FirstBlockRow = 8, Capacity = PortraitLastRow - FirstBlockRow + 1;

std::int32_t groupRows(const PupilGroup& group) {
    return std::max<std::int32_t>(1, (group.Count + 1) / 2);
}

std::int32_t blockRows(const ObjectiveSynthesis& objective) {
    if (objective.Tally.Evaluated == 0)
        return 2;
    return 1 + groupRows(objective.NonAcquisGroup) + groupRows(objective.EnCoursAcquisitionGroup);
}

std::int32_t drawGroup(Page& page, std::int32_t row, std::string_view label, const PupilGroup& group,
                       const SheetSource& source) {
    page.text(LabelColumn, row, std::string(label) + " (" + std::to_string(group.Count) + ") :");
    if (group.Count == 0)
        page.text(NameColumns[0], row, "aucun \xE9l\xE8ve");
    std::size_t column = 0;
    for (const std::int8_t pupil : group) {
        page.text(NameColumns[column], row, pupilName(source.Class.ClassResults[pupil]));
        column = 1 - column;
        row += column == 0 ? 1 : 0;
    }
    return row + (column == 1 || group.Count == 0 ? 1 : 0);
}

std::int32_t drawGroups(Page& page, std::int32_t row, const ObjectiveSynthesis& objective,
                        const SheetSource& source) {
    if (objective.Tally.Evaluated == 0) {
        page.text(LabelColumn, row, "Aucun \xE9l\xE8ve \xE9valu\xE9 sur cet objectif.");
        return row + 1;
    }
    row = drawGroup(page, row, "NA", objective.NonAcquisGroup, source);
    return drawGroup(page, row, "ECA", objective.EnCoursAcquisitionGroup, source);
}

std::int32_t drawBlock(Page& page, std::int32_t row, const Outline& outline,
                       const ObjectiveSynthesis& objective, const SheetSource& source) {
    page.rule(Left, Right, row);
    page.text(NumberColumn, row, std::to_string(objective.Objective));
    page.text(StatementColumn, row, outline.statements[static_cast<std::size_t>(objective.Objective)]);
    page.fontSize(NameSize);
    const std::int32_t end = drawGroups(page, row + 1, objective, source);
    page.fontSize(10);
    return end;
}

// A block starts a new page unless it fits whole below the previous one.
std::vector<SynthesisDocument::ObjectiveRun> paginate(const SubjectSynthesis& synthesis) {
    std::vector<SynthesisDocument::ObjectiveRun> pages;
    std::int32_t used = 0;
    for (std::int32_t n = 1; n <= synthesis.ObjectiveCount; ++n) {
        const std::int32_t rows = blockRows(synthesis.Objectives[n]);
        if (!pages.empty() && used + rows <= Capacity) {
            pages.back().last = n;
            used += rows;
        } else {
            pages.push_back({n, n});
            used = rows;
        }
    }
    return pages;
}

void draw(Page& page, const Outline& outline, const SubjectSynthesis& synthesis,
          SynthesisDocument::ObjectiveRun run, bool continued, const SheetSource& source) {
    drawHead(page, PortraitDate, 200, continued ? "GROUPES DE BESOIN (suite)" : "GROUPES DE BESOIN",
             outline.name, source.Class.Info);
    std::int32_t row = FirstBlockRow;
    for (std::int32_t n = run.first; n <= run.last; ++n)
        row = drawBlock(page, row, outline, synthesis.Objectives[n], source);
    page.rule(Left, Right, row);
}
} // namespace groups

} // namespace

SynthesisDocument::SynthesisDocument(Subject subject, const SheetSource& source)
    : source_(source), synthesis_(SynthesizeSubject(source.Class, subject)),
      groupPages_(groups::paginate(synthesis_)) {}

PageOrientation SynthesisDocument::Orientation(int page) const {
    return page == ClassTablePage ? PageOrientation::Landscape : PageOrientation::Portrait;
}

void SynthesisDocument::DrawPage(int page, Canvas& canvas, const PageView& view) const {
    if (page < 0 || page >= PageCount())
        return;
    Page pen(canvas, view);
    const Outline outline = outlineOf(synthesis_.subject, source_);
    if (page == ClassTablePage) {
        table::draw(pen, outline, synthesis_, source_); // its rules come last, over the texts
        return;
    }
    // Texts let the rules they touch and the legend's samples show through.
    canvas.setTextOpaque(false);
    if (page == ClassSynthesisPage)
        summary::draw(pen, outline, synthesis_, source_);
    else
        groups::draw(pen, outline, synthesis_, groupPages_[static_cast<std::size_t>(page - FirstGroupsPage)],
                     page > FirstGroupsPage, source_);
    canvas.setTextOpaque(true);
}

} // namespace zeb
