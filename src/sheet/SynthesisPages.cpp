#include "SynthesisPages.h"

#include "core/Scoring.h"
#include "sheet/ClassPages.h"
#include "sheet/PageText.h"
#include "sheet/TextWidth.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

namespace zeb {
namespace {

using namespace classpages;

// ---- The class table ------------------------------------------------------------------------
// One row per pupil, one column per objective; cells shaded lighter than the letters so
// that they stay readable once printed in grey. Under it, what Abs means and a key of the
// domains and objectives, all on the one landscape page.
namespace table {
constexpr int FontSize = 9, Left = 5, NumberColumn = 10, NumberRight = 28, SurnameColumn = 32,
              SurnameRight = 236, FirstNameColumn = 240, GridLeft = 348, CellWidth = 32, CountWidth = 30;
// Layout pixels from the top of the page: the table starts below the heading, and the table
// and its key end inside the printable area.
constexpr int Top = 7 * LinePitch, Bottom = A4ShortSide - 2 * PrintableInset;
// The key, smaller, in columns: what Abs means, then each domain and its objectives.
constexpr int KeySize = 8, KeyPitch = 12, KeyGap = 6, KeyColumns = 3, KeyColumnWidth = 355, KeyIndent = 12,
              KeyMargin = 10;

// Writes at layout pixels from the top of the page, scrolling with the page's rows.
class Pen {
public:
    explicit Pen(Page& page) : page_(page), top_(-page.view().VerticalOffset) {}

    void fontSize(int points) { page_.fontSize(points); }
    void text(int k, int y, std::string_view value) { page_.canvas().textOut(page_.x(k), at(y), value); }
    void textOver(int k, int y, std::string_view value) {
        page_.canvas().setTextOpaque(false);
        text(k, y, value);
        page_.canvas().setTextOpaque(true);
    }
    void rule(int left, int right, int y) {
        page_.canvas().line(page_.x(left), at(y), page_.x(right), at(y));
    }
    void column(int k, int top, int bottom) {
        page_.canvas().line(page_.x(k), at(top), page_.x(k), at(bottom));
    }
    void fill(int left, int right, int top, int bottom, Fill fill) {
        const int x1 = page_.x(left), y1 = at(top);
        page_.canvas().fillRect(x1, y1, page_.x(right) - x1, at(bottom) - y1, fill);
    }

private:
    int at(int y) const { return page_.y(top_, y); }

    Page& page_;
    std::int32_t top_;
};

// One line of the key: a domain's title or an objective's statement.
struct KeyEntry {
    bool domain;
    std::string text;
};

std::vector<KeyEntry> keyEntries(const Outline& outline) {
    std::vector<KeyEntry> entries;
    for (int d = 0; d < outline.domainCount; ++d) {
        const Domain& domain = *outline.domains[static_cast<std::size_t>(d)];
        entries.push_back({true, "Domaine " + std::to_string(d + 1) + " : " + std::string(domain.Title)});
        for (std::int32_t n = domain.FirstObjective; n <= domain.LastObjective; ++n)
            entries.push_back({false, std::to_string(n) + " : " +
                                          std::string(outline.statements[static_cast<std::size_t>(n)])});
    }
    return entries;
}

// Where each entry goes, column by column with `rows` a column (column * rows + row): a
// domain's title never ends a column.
std::vector<int> keySlots(const std::vector<KeyEntry>& entries, int rows) {
    std::vector<int> slots;
    int slot = 0;
    for (const KeyEntry& entry : entries) {
        if (entry.domain && slot % rows == rows - 1)
            ++slot;
        slots.push_back(slot++);
    }
    return slots;
}

int keyRows(const std::vector<KeyEntry>& entries) {
    int rows = std::max(1, static_cast<int>(entries.size() + KeyColumns - 1) / KeyColumns);
    while (!entries.empty() && keySlots(entries, rows).back() >= KeyColumns * rows)
        ++rows;
    return rows;
}

// Rows of the table, in layout pixels: the domains, the objective numbers, one per pupil,
// then the three totals. Their pitch is the pages' own unless a large class needs them closer
// to leave room for the key.
struct Layout {
    Layout(int objectiveCount, std::int32_t pupilCount, int keyRowCount)
        : objectives(objectiveCount), pupils(pupilCount), keyRows(keyRowCount),
          pitch(std::min(LinePitch, (Bottom - Top - keyHeight()) / (pupils + 5))) {}

    int keyHeight() const { return 2 * KeyGap + (keyRows + 1) * KeyPitch; }
    int row(std::int32_t r) const { return Top + r * pitch; }
    int pupilRow(std::int32_t pupil) const { return row(1 + pupil); }
    int footRow() const { return row(2 + pupils); }
    int end() const { return row(5 + pupils); }
    int legendRow() const { return end() + KeyGap; }
    int keyRow(int r) const { return legendRow() + KeyGap + (r + 1) * KeyPitch; }
    int cellLeft(int n) const { return GridLeft + (n - 1) * CellWidth; }
    int countLeft(int c) const { return GridLeft + objectives * CellWidth + c * CountWidth; }
    int right() const { return countLeft(3); }

    int objectives;
    std::int32_t pupils;
    int keyRows;
    int pitch;
};

// Where a text of the table's size starts to be centred between left and left + width.
int centredAt(int left, int width, std::string_view text) {
    return left + std::max(0, (width - static_cast<int>(std::lround(TextWidth(text, FontSize)))) / 2);
}

void centred(Pen& pen, int left, int width, int y, std::string_view text) {
    pen.text(centredAt(left, width, text), y, text);
}

// Opaque text is the cheaper to draw: only letters over a shading let it show.
void drawCell(Pen& pen, const Layout& layout, int left, int y, Coding coding) {
    if (coding == Coding::EnCoursAcquisition || coding == Coding::NonAcquis) {
        pen.fill(left + 1, left + CellWidth, y + 1, y + layout.pitch,
                 coding == Coding::NonAcquis ? Fill::Medium : Fill::Light);
        pen.textOver(centredAt(left, CellWidth, CodingLetters(coding)), y, CodingLetters(coding));
    } else {
        centred(pen, left, CellWidth, y, coding == Coding::Acquis ? CodingLetters(coding) : "Abs");
    }
}

void drawHeader(Pen& pen, const Layout& layout, const Outline& outline) {
    const int domains = layout.row(0), numbers = layout.row(1);
    pen.text(NumberColumn, numbers, "N\xB0");
    pen.text(SurnameColumn, numbers, "Nom");
    pen.text(FirstNameColumn, numbers, "Pr\xE9nom");
    for (int d = 0; d < outline.domainCount; ++d) {
        const Domain& domain = *outline.domains[static_cast<std::size_t>(d)];
        const int left = layout.cellLeft(domain.FirstObjective);
        centred(pen, left, layout.cellLeft(domain.LastObjective + 1) - left, domains, std::to_string(d + 1));
    }
    for (int n = 1; n <= layout.objectives; ++n)
        centred(pen, layout.cellLeft(n), CellWidth, numbers, std::to_string(n));
    centred(pen, layout.countLeft(0), 3 * CountWidth, domains, "Total");
    int c = 0;
    for (std::string_view coding : {"A", "ECA", "NA"})
        centred(pen, layout.countLeft(c++), CountWidth, numbers, coding);
}

// Whether the pupil has no countable code on any objective of the subject.
bool absentFromAll(const Layout& layout, std::int32_t pupil, Subject subject, const LoadedClass& loaded) {
    for (int n = 1; n <= layout.objectives; ++n) {
        const Coding coding = CodingOf(StoredSR(loaded, subject, n, pupil));
        if (coding != Coding::Absent && coding != Coding::None)
            return false;
    }
    return true;
}

// An absent pupil's row reads "absent(e)" once across the objectives, and counts nothing.
void drawPupilRow(Pen& pen, const Layout& layout, std::int32_t pupil, bool absent, Subject subject,
                  const LoadedClass& loaded) {
    const int y = layout.pupilRow(pupil);
    const PupilRecord& record = loaded.ClassResults[pupil];
    pen.text(NumberColumn, y, std::to_string(pupil));
    pen.text(SurnameColumn, y, FitText(trimmed(record.Surname), FontSize, SurnameRight - SurnameColumn - 2));
    pen.text(FirstNameColumn, y,
             FitText(trimmed(record.FirstName), FontSize, GridLeft - FirstNameColumn - 2));
    if (absent) {
        centred(pen, layout.cellLeft(1), layout.objectives * CellWidth, y, "absent(e)");
        return;
    }
    std::array<int, 3> counts{};
    for (int n = 1; n <= layout.objectives; ++n) {
        const Coding coding = CodingOf(StoredSR(loaded, subject, n, pupil));
        if (coding == Coding::Acquis)
            ++counts[0];
        else if (coding == Coding::EnCoursAcquisition)
            ++counts[1];
        else if (coding == Coding::NonAcquis)
            ++counts[2];
        drawCell(pen, layout, layout.cellLeft(n), y, coding);
    }
    for (std::size_t c = 0; c < counts.size(); ++c)
        centred(pen, layout.countLeft(static_cast<int>(c)), CountWidth, y, std::to_string(counts[c]));
}

void drawFoot(Pen& pen, const Layout& layout, const SubjectSynthesis& synthesis) {
    const int y = layout.footRow();
    pen.text(SurnameColumn, y, "Total A");
    pen.text(SurnameColumn, y + layout.pitch, "Total ECA");
    pen.text(SurnameColumn, y + 2 * layout.pitch, "Total NA");
    for (int n = 1; n <= layout.objectives; ++n) {
        const ObjectiveTally& tally = synthesis.Objectives[n].Tally;
        int row = y;
        for (const std::int32_t count : {tally.Acquis, tally.EnCoursAcquisition, tally.NonAcquis}) {
            centred(pen, layout.cellLeft(n), CellWidth, row, std::to_string(count));
            row += layout.pitch;
        }
    }
}

// The rules between objectives stop at the rows of absent pupils.
void drawRules(Pen& pen, const Layout& layout, const Outline& outline,
               const std::vector<std::int32_t>& absent) {
    const int domains = layout.row(0), numbers = layout.row(1), foot = layout.footRow(), end = layout.end();
    pen.rule(GridLeft, layout.right(), domains);
    for (std::int32_t r = 1; r <= layout.pupils + 2; ++r)
        pen.rule(Left, layout.right(), layout.row(r));
    pen.rule(Left, layout.right(), end);
    pen.column(Left, numbers, end);
    for (int k : {NumberRight, SurnameRight})
        pen.column(k, numbers, foot);
    pen.column(layout.cellLeft(1), domains, end);
    for (int n = 2; n <= layout.objectives; ++n) {
        int top = numbers;
        for (const std::int32_t pupil : absent) {
            pen.column(layout.cellLeft(n), top, layout.pupilRow(pupil));
            top = layout.pupilRow(pupil + 1);
        }
        pen.column(layout.cellLeft(n), top, end);
    }
    pen.column(layout.cellLeft(layout.objectives + 1), domains, end);
    for (int d = 1; d < outline.domainCount; ++d)
        pen.column(layout.cellLeft(outline.domains[static_cast<std::size_t>(d)]->FirstObjective), domains,
                   numbers);
    for (int c = 1; c <= 3; ++c)
        pen.column(layout.countLeft(c), c == 3 ? domains : numbers, c == 3 ? end : foot);
}

std::string lowerInitial(std::string_view text) {
    std::string lower(text);
    if (!lower.empty() && lower[0] >= 'A' && lower[0] <= 'Z')
        lower[0] = static_cast<char>(lower[0] - 'A' + 'a');
    return lower;
}

void drawKey(Pen& pen, const Layout& layout, const Outline& outline, const std::vector<KeyEntry>& entries) {
    pen.fontSize(KeySize);
    pen.text(
        TextColumn, layout.legendRow(),
        "Abs : aucun r\xE9sultat de l'\xE9l\xE8ve aux items de l'objectif (absence)          absent(e) : "
        "aucun r\xE9sultat de l'\xE9l\xE8ve en " +
            lowerInitial(outline.name));
    const std::vector<int> slots = keySlots(entries, layout.keyRows);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const int indent = entries[i].domain ? 0 : KeyIndent;
        pen.text(TextColumn + slots[i] / layout.keyRows * KeyColumnWidth + indent,
                 layout.keyRow(slots[i] % layout.keyRows),
                 FitText(entries[i].text, KeySize, KeyColumnWidth - KeyMargin - indent));
    }
}

void draw(Page& page, const Outline& outline, const SubjectSynthesis& synthesis, const SheetSource& source) {
    page.canvas().setTextOpaque(false); // the class's line, under the caption, leaves it whole
    drawHead(page, LandscapeDate, 380, "TABLEAU DE LA CLASSE", pupilsCaption(outline, synthesis.PupilCount),
             source.Class.Info);
    page.canvas().setTextOpaque(true);
    const std::vector<KeyEntry> entries = keyEntries(outline);
    const Layout layout(synthesis.ObjectiveCount, synthesis.PupilCount, keyRows(entries));
    Pen pen(page);
    pen.fontSize(FontSize);
    drawHeader(pen, layout, outline);
    std::vector<std::int32_t> absent;
    for (std::int32_t pupil = 1; pupil <= synthesis.PupilCount; ++pupil) {
        const bool away = absentFromAll(layout, pupil, synthesis.subject, source.Class);
        if (away)
            absent.push_back(pupil);
        drawPupilRow(pen, layout, pupil, away, synthesis.subject, source.Class);
    }
    drawFoot(pen, layout, synthesis);
    drawRules(pen, layout, outline, absent);
    drawKey(pen, layout, outline, entries);
}
} // namespace table

// ---- The synthesis page ---------------------------------------------------------------------
// Two rows per objective: its statement, as on the sheets, then its figures and its bar.
namespace summary {
constexpr int Left = 5, Right = 740, NumberColumn = 10, StatementColumn = 35, DomainColumn = 60,
              EvaluatedColumn = 35, MeanColumn = 110, WholeClassColumn = 405, BarLeft = 460, BarRight = 735;
constexpr int FontSize = 10;
constexpr std::array<int, 3> CountColumns{175, 250, 325};
constexpr std::array<Fill, 3> BarFills{Fill::Light, Fill::Medium, Fill::Dark};
constexpr std::int32_t TableTop = 8;

std::string countText(const ObjectiveTally& tally, std::int32_t count) {
    std::string text = std::to_string(count);
    if (tally.Evaluated > 0)
        text += " (" + std::to_string(tally.Percent(count)) + " %)";
    return text;
}

// Said above the figures of an objective that too few of the class sat for them to tell
// about the class; empty otherwise.
std::string_view fewEvaluated(const ObjectiveTally& tally, std::int32_t pupils) {
    if (tally.Evaluated == 0)
        return "aucun \xE9l\xE8ve \xE9valu\xE9";
    return 2 * static_cast<std::int64_t>(tally.Evaluated) < pupils ? "peu d'\xE9l\xE8ves \xE9valu\xE9s" : "";
}

void drawFigures(Page& page, std::int32_t row, const ObjectiveTally& tally) {
    std::string evaluated = std::to_string(tally.Evaluated);
    if (tally.Absent > 0)
        evaluated += " (" + std::to_string(tally.Absent) + " abs.)";
    page.text(EvaluatedColumn, row, evaluated);
    page.text(MeanColumn, row, tally.Evaluated > 0 ? std::to_string(tally.MeanSR()) + " %" : "Abs");
    const std::array<std::int32_t, 3> counts{tally.Acquis, tally.EnCoursAcquisition, tally.NonAcquis};
    for (std::size_t c = 0; c < counts.size(); ++c)
        page.text(CountColumns[c], row, countText(tally, counts[c]));
    if (tally.Evaluated > 0 && tally.WholeClass())
        page.text(WholeClassColumn + 15, row, "X");
    drawSplitBar(page, row, BarLeft, BarRight,
                 std::array<std::int32_t, 3>{tally.Acquis, tally.EnCoursAcquisition, tally.NonAcquis},
                 BarFills);
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
            const ObjectiveTally& tally = synthesis.Objectives[n].Tally;
            if (const std::string_view mark = fewEvaluated(tally, synthesis.PupilCount); !mark.empty())
                page.textEndingAt(BarRight, row, FontSize, mark);
            drawFigures(page, row + 1, tally);
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
    page.text(TextColumn, row + 5,
              "abs. (colonne \xC9valu\xE9s) : \xE9l\xE8ves sans r\xE9sultat sur l'objectif.");
    page.text(TextColumn, row + 6,
              "Peu d'\xE9l\xE8ves \xE9valu\xE9s : moins de la moiti\xE9 de la classe ; les chiffres de "
              "l'objectif ne valent pas pour la classe.");
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
constexpr int NameWidth = NameColumns[1] - NameColumns[0] - 10;
constexpr std::int32_t FirstBlockRow = 8, Capacity = PortraitLastRow - FirstBlockRow + 1;

std::int32_t groupRows(const PupilGroup& group) {
    return std::max<std::int32_t>(1, (group.Count + 1) / 2);
}

std::int32_t blockRows(const ObjectiveSynthesis& objective) {
    if (objective.Tally.Evaluated == 0)
        return 2;
    return 1 + groupRows(objective.NonAcquisGroup) + groupRows(objective.EnCoursAcquisitionGroup);
}

// "DUPONT L\xE9a (35 %)": the name shortened if need be, so that the SR always shows.
std::string nameAndSR(const PupilRecord& record, std::string_view sr) {
    const std::string suffix = " (" + std::string(trimmed(sr)) + ")";
    return FitText(pupilName(record), NameSize, NameWidth - TextWidth(suffix, NameSize)) + suffix;
}

std::int32_t drawGroup(Page& page, std::int32_t row, std::string_view label, const PupilGroup& group,
                       Subject subject, std::int32_t objective, const SheetSource& source) {
    page.text(LabelColumn, row, std::string(label) + " (" + std::to_string(group.Count) + ") :");
    if (group.Count == 0)
        page.text(NameColumns[0], row, "aucun \xE9l\xE8ve");
    std::size_t column = 0;
    for (const std::int8_t pupil : group) {
        page.text(
            NameColumns[column], row,
            nameAndSR(source.Class.ClassResults[pupil], StoredSR(source.Class, subject, objective, pupil)));
        column = 1 - column;
        row += column == 0 ? 1 : 0;
    }
    return row + (column == 1 || group.Count == 0 ? 1 : 0);
}

std::int32_t drawGroups(Page& page, std::int32_t row, const ObjectiveSynthesis& objective, Subject subject,
                        const SheetSource& source) {
    if (objective.Tally.Evaluated == 0) {
        page.text(LabelColumn, row, "Aucun \xE9l\xE8ve \xE9valu\xE9 sur cet objectif.");
        return row + 1;
    }
    row = drawGroup(page, row, "NA", objective.NonAcquisGroup, subject, objective.Objective, source);
    return drawGroup(page, row, "ECA", objective.EnCoursAcquisitionGroup, subject, objective.Objective,
                     source);
}

// The heading says when the objective is to be taught again to the whole class rather than to
// its groups (the synthesis's X).
std::int32_t drawBlock(Page& page, std::int32_t row, const Outline& outline,
                       const ObjectiveSynthesis& objective, Subject subject, const SheetSource& source) {
    page.rule(Left, Right, row);
    page.text(NumberColumn, row, std::to_string(objective.Objective));
    page.text(StatementColumn, row, outline.statements[static_cast<std::size_t>(objective.Objective)]);
    if (objective.Tally.Evaluated > 0 && objective.Tally.WholeClass())
        page.textEndingAt(Right - 5, row, 10, "\xE0 reprendre avec toute la classe");
    page.fontSize(NameSize);
    const std::int32_t end = drawGroups(page, row + 1, objective, subject, source);
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
        row = drawBlock(page, row, outline, synthesis.Objectives[n], synthesis.subject, source);
    page.rule(Left, Right, row);
}
} // namespace groups

} // namespace

SynthesisDocument::SynthesisDocument(Subject subject, const SheetSource& source)
    : source_(source), synthesis_(SynthesizeSubject(source.Class, subject)),
      groupPages_(groups::paginate(synthesis_)), items_(subject, source) {}

PageOrientation SynthesisDocument::Orientation(int page) const {
    return page == ClassTablePage ? PageOrientation::Landscape : PageOrientation::Portrait;
}

void SynthesisDocument::DrawPage(int page, Canvas& canvas, const PageView& view) const {
    if (page < 0 || page >= PageCount())
        return;
    if (page >= FirstItemsPage()) {
        items_.DrawPage(page - FirstItemsPage(), canvas, view);
        return;
    }
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

std::string SynthesisDocument::PageText(int page) const {
    if (page != ClassTablePage)
        return Document::PageText(page);
    const std::vector<table::KeyEntry> entries = table::keyEntries(outlineOf(synthesis_.subject, source_));
    const table::Layout layout(synthesis_.ObjectiveCount, synthesis_.PupilCount, table::keyRows(entries));
    std::vector<TextRow> rows = PageRows(*this, page);
    std::erase_if(rows, [&](const TextRow& row) { return row.y > layout.legendRow(); });
    for (const table::KeyEntry& entry : entries)
        rows.push_back({layout.legendRow(), SpokenText(entry.text)});
    return JoinRows(rows);
}

} // namespace zeb
