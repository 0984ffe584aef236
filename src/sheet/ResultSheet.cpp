#include "ResultSheet.h"

#include "core/Scoring.h"
#include "sheet/ClassPages.h"
#include "sheet/PageMapping.h"
#include "sheet/PageText.h"
#include "sheet/TextWidth.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <string>

namespace zeb {
namespace {

// Logical positions of the columns of the sheet.
constexpr int LeftEdge = 5, TextColumn = 10, DomainColumn = 60, HeadingColumn = 120, LegendRight = 500;
constexpr int ScoreRule = 590, FirstScore = 600, SecondRule = 640, SecondScore = 650, ThirdRule = 690,
              ThirdScore = 700, RightEdge = 740;
constexpr int HeadDate = 600, NameColumn = 200, NameSize = 14;
// The name line ends inside the sheet's frame; the canvas puts a text a device pixel right of its
// column.
constexpr double NameRoom = RightEdge - NameColumn - 1;

constexpr std::string_view Mark = "   X   ";
constexpr std::string_view AbsentText = "El\xE8ve  Absent(e)";

// The legends under the table, as drawn.
constexpr std::array<std::string_view, 3> CodingLegend{" A  : Acquis", "ECA : En Cours Acquisition",
                                                       " NA : Non Acquis"};
constexpr std::array<std::string_view, 3> ScoreLegend{"SR  : score des r\xE9ussites",
                                                      "SE  : score des \xE9"
                                                      "checs",
                                                      "SNR : score des non-r\xE9ponses"};

// What differs between the two sheets.
struct SubjectLayout {
    std::string_view title;
    int titleColumn;
    int rowsBeforeTable;
    int rowsBeforePercentLegend;
    int rowsBeforeCodingLegend;
    std::string_view middleLegend;
    std::string_view spokenTitle; // the title as a screen reader says it
};

// clang-format off
constexpr SubjectLayout MathsLayout{"RESULTATS DE MATHEMATIQUES", 150, 2, 1, 2, "En Cours d'Acquisition : 50 <= SR <75",
                                    "R\xE9sultats de math\xE9matiques"};
constexpr SubjectLayout FrenchLayout{"RESULTATS DE FRANCAIS", 190, 5, 2, 1, "En Cours d'Acquisition : 50 <= SR < 75",
                                     "R\xE9sultats de fran\xE7" "ais"};
// clang-format on
constexpr std::array<std::string_view, 2> ThresholdsAround{"Acquis : SR >= 75", "Non Acquis : SR < 50"};

// The sheet's rules run across its whole width.
class Sheet : public PageMapping {
public:
    using PageMapping::PageMapping;
    void rule(std::int32_t row) { horizontalRule(LeftEdge, RightEdge, row); }
};

void drawCodingCell(Sheet& sheet, std::int32_t row, std::string_view sr) {
    switch (CodingOf(sr)) {
    case Coding::NonAcquis:
        sheet.text(ThirdScore, row, Mark);
        break;
    case Coding::EnCoursAcquisition:
        sheet.text(SecondScore, row, Mark);
        break;
    case Coding::Acquis:
        sheet.text(FirstScore, row, Mark);
        break;
    case Coding::Absent:
        sheet.text(FirstScore, row, AbsentText);
        break;
    case Coding::None:
        break;
    }
}

template <typename Table, int ObjectiveCount>
void drawSheet(const SubjectLayout& layout, const Table& table, const SubjectScores<ObjectiveCount>& scores,
               Canvas& canvas, const PageView& view, std::int32_t pupil, const SheetSource& source) {
    Sheet sheet(canvas, view);
    std::int32_t r = 1 - view.VerticalOffset;

    sheet.fontSize(12);
    sheet.text(TextColumn, r, EvaluationVersion);
    sheet.text(HeadDate, r, EvaluationDate);

    sheet.fontSize(20);
    r += 1;
    sheet.text(layout.titleColumn, r, layout.title);

    r += 2;
    const PupilRecord& record = source.Class.ClassResults[pupil];
    std::string name = record.Surname.str() + std::string(16, ' ');
    name.resize(std::min<std::size_t>(name.size(), 41));
    name += record.FirstName.str();
    name.resize(std::min<std::size_t>(name.size(), 56));
    // A name too wide for the line is drawn just small enough to fit it.
    if (const double size = FittingSize(name, NameSize, NameRoom); size < NameSize)
        sheet.fontSizeF(size);
    else
        sheet.fontSize(NameSize);
    sheet.text(NameColumn, r, name);

    sheet.fontSize(10);
    r += layout.rowsBeforeTable;
    const TreatmentMode treatment = source.Treatment;
    if (treatment != TreatmentMode::Codage && treatment != TreatmentMode::Pourcentage)
        return;
    const bool percent = treatment == TreatmentMode::Pourcentage;

    const std::int32_t anchor = r;
    sheet.rule(++r);
    ++r;
    sheet.text(HeadingColumn, r, "OBJECTIFS");
    sheet.text(FirstScore, r, percent ? " SR " : "  A ");
    sheet.text(SecondScore, r, percent ? " SE " : " ECA ");
    sheet.text(ThirdScore, r, percent ? "SNR " : "  NA ");
    sheet.rule(++r);

    for (int d = 1; d <= Table::DomainCount; ++d) {
        const Domain& domain = table.Domains[d];
        sheet.text(DomainColumn, ++r, domain.Title);
        sheet.rule(++r);
        ++r;
        for (std::int32_t n = domain.FirstObjective; n <= domain.LastObjective; ++n) {
            sheet.text(TextColumn, r, table.ObjectiveTexts[n]);
            const std::string_view sr = scores.SR[n][pupil];
            if (percent) {
                sheet.text(FirstScore, r, sr);
                sheet.text(SecondScore, r, scores.SE[n][pupil]);
                sheet.text(ThirdScore, r, scores.SNR[n][pupil]);
            } else {
                drawCodingCell(sheet, r, sr);
            }
            ++r;
        }
        sheet.rule(r);
    }
    for (int k : {LeftEdge, ScoreRule, SecondRule, ThirdRule, RightEdge})
        sheet.verticalRule(k, anchor + 1, r);

    if (percent) {
        r += layout.rowsBeforePercentLegend;
        const std::array<std::string_view, 3> thresholds{ThresholdsAround[0], layout.middleLegend,
                                                         ThresholdsAround[1]};
        for (std::int32_t k = 0; k < 3; ++k) {
            sheet.text(TextColumn, r + k, ScoreLegend[static_cast<std::size_t>(k)]);
            sheet.text(LegendRight, r + k, thresholds[static_cast<std::size_t>(k)]);
        }
    } else {
        r += layout.rowsBeforeCodingLegend;
        for (std::int32_t k = 0; k < 3; ++k)
            sheet.text(DomainColumn, r + k, CodingLegend[static_cast<std::size_t>(k)]);
    }
}

// An objective's result in the coding treatment, in words.
std::string_view codingWords(std::string_view sr) {
    const Coding coding = CodingOf(sr);
    if (coding == Coding::Absent)
        return "absent(e)";
    return coding == Coding::None ? "sans r\xE9sultat" : CodingLetters(coding);
}

// The sheet as it is read: its words in the drawing's order, each objective's result said
// rather than marked in a column, the legends' columns one after the other.
template <typename Table, int ObjectiveCount>
std::string sheetText(const SubjectLayout& layout, const Table& table,
                      const SubjectScores<ObjectiveCount>& scores, std::int32_t pupil,
                      const SheetSource& source) {
    std::string text(layout.spokenTitle);
    text += "\n\xC9l\xE8ve : " + classpages::pupilName(source.Class.ClassResults[pupil]);
    const TreatmentMode treatment = source.Treatment;
    if (treatment != TreatmentMode::Codage && treatment != TreatmentMode::Pourcentage)
        return text;
    const bool percent = treatment == TreatmentMode::Pourcentage;
    for (int d = 1; d <= Table::DomainCount; ++d) {
        const Domain& domain = table.Domains[d];
        text += "\nDomaine " + std::to_string(d) + " : " + SpokenText(domain.Title);
        for (std::int32_t n = domain.FirstObjective; n <= domain.LastObjective; ++n) {
            text += "\nObjectif " + std::to_string(n) + ", " + SpokenText(table.ObjectiveTexts[n]) + " : ";
            const std::string_view sr = scores.SR[n][pupil];
            if (percent)
                text += "SR " + SpokenText(sr) + ", SE " + SpokenText(scores.SE[n][pupil]) + ", SNR " +
                        SpokenText(scores.SNR[n][pupil]);
            else
                text += codingWords(sr);
        }
    }
    if (percent) {
        for (const std::string_view line : ScoreLegend)
            text += "\n" + SpokenText(line);
        for (const std::string_view line : {ThresholdsAround[0], layout.middleLegend, ThresholdsAround[1]})
            text += "\n" + SpokenText(line);
    } else {
        for (const std::string_view line : CodingLegend)
            text += "\n" + SpokenText(line);
    }
    return text;
}

} // namespace

void Affiche_Resultats_Maths(Canvas& canvas, const PageView& view, std::int32_t pupil,
                             const SheetSource& source) {
    drawSheet(MathsLayout, source.MathsTable, source.Class.ObjectiveResults.Maths, canvas, view, pupil,
              source);
}

void Affiche_Resultats_Franc(Canvas& canvas, const PageView& view, std::int32_t pupil,
                             const SheetSource& source) {
    drawSheet(FrenchLayout, source.FrenchTable, source.Class.ObjectiveResults.French, canvas, view, pupil,
              source);
}

void DrawResultSheet(Subject subject, Canvas& canvas, const PageView& view, std::int32_t pupil,
                     const SheetSource& source) {
    if (subject == Subject::Mathematics)
        Affiche_Resultats_Maths(canvas, view, pupil, source);
    else if (subject == Subject::French)
        Affiche_Resultats_Franc(canvas, view, pupil, source);
}

std::string ResultSheetText(Subject subject, std::int32_t pupil, const SheetSource& source) {
    if (subject == Subject::Mathematics)
        return sheetText(MathsLayout, source.MathsTable, source.Class.ObjectiveResults.Maths, pupil, source);
    return sheetText(FrenchLayout, source.FrenchTable, source.Class.ObjectiveResults.French, pupil, source);
}

SheetDocument::SheetDocument(Subject subject, const SheetSource& source, std::int32_t firstPupil,
                             std::int32_t lastPupil)
    : subject_(subject), source_(source), first_(std::max(firstPupil, 1)),
      last_(std::min(lastPupil, source.Class.PupilCount)) {}

void SheetDocument::DrawPage(int page, Canvas& canvas, const PageView& view) const {
    if (page >= 0 && page < PageCount())
        DrawResultSheet(subject_, canvas, view, first_ + page, source_);
}

std::string SheetDocument::PageText(int page) const {
    return page >= 0 && page < PageCount() ? ResultSheetText(subject_, first_ + page, source_)
                                           : std::string();
}

} // namespace zeb
