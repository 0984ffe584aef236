#pragma once

// What the class pages (the synthesis and the item analysis) share: a subject's outline, the
// pen that writes rows scrolling with the view, and the heading.

#include "core/Evaluation.h"
#include "sheet/Document.h"
#include "sheet/PageMapping.h"
#include "sheet/ResultSheet.h"
#include "sheet/TextWidth.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

namespace zeb::classpages {

constexpr std::string_view Thresholds = "A : SR >= 75      ECA : 50 <= SR < 75      NA : SR < 50";

// The last row whose text stays inside the printable area.
constexpr std::int32_t PortraitLastRow = (A4LongSide - 2 * PrintableInset) / LinePitch - 1;

// Columns shared by every page.
constexpr int TextColumn = 10, PortraitDate = 600, LandscapeDate = 930;

// What the pages need of a subject's reference table.
struct Outline {
    std::string_view name; // as a caption says it
    int domainCount = 0;
    std::array<const Domain*, DomainSlots> domains{};
    std::array<std::string_view, MathsObjectiveCount + 1> statements{};
};

template <typename Table> Outline outlineOf(const Table& table, std::string_view name) {
    Outline outline{name, Table::DomainCount};
    for (int d = 1; d <= Table::DomainCount; ++d)
        outline.domains[static_cast<std::size_t>(d - 1)] = &table.Domains[d];
    for (int n = 1; n <= Table::ObjectiveCount; ++n)
        outline.statements[static_cast<std::size_t>(n)] = table.ObjectiveTexts[n];
    return outline;
}

inline Outline outlineOf(Subject subject, const SheetSource& source) {
    if (subject == Subject::French)
        return outlineOf(source.FrenchTable, "Fran\xE7"
                                             "ais");
    return outlineOf(source.MathsTable, "Math\xE9matiques");
}

inline std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    return first == std::string_view::npos ? std::string_view{} : TrimTrailingSpaces(text.substr(first));
}

inline std::string pupilName(const PupilRecord& record) {
    std::string name(trimmed(record.Surname));
    const std::string_view firstName = trimmed(record.FirstName);
    if (!name.empty() && !firstName.empty())
        name += ' ';
    return name.append(firstName);
}

inline std::string pupilsCaption(const Outline& outline, std::int32_t pupils) {
    return std::string(outline.name) + " - " + std::to_string(pupils) +
           (pupils == 1 ? " \xE9l\xE8ve" : " \xE9l\xE8ves");
}

// A page's pen: rows count from the top of the page and scroll with the view.
class Page : public PageMapping {
public:
    Page(Canvas& canvas, const PageView& view) : PageMapping(canvas, view), top_(-view.VerticalOffset) {}

    void text(int k, std::int32_t row, std::string_view value) { PageMapping::text(k, top_ + row, value); }
    // Text that ends at layout column `right`, by the face's widths at `points`.
    void textEndingAt(int right, std::int32_t row, int points, std::string_view value) {
        text(right - static_cast<int>(std::lround(TextWidth(value, points))), row, value);
    }
    // Text `pixels` layout pixels below the top of a row.
    void text(int k, std::int32_t row, int pixels, std::string_view value) {
        canvas().textOut(x(k), y(top_ + row, pixels), value);
    }
    void rule(int left, int right, std::int32_t row) { horizontalRule(left, right, top_ + row); }
    void column(int k, std::int32_t topRow, std::int32_t bottomRow) {
        verticalRule(k, top_ + topRow, top_ + bottomRow);
    }
    void fill(int left, int right, std::int32_t row, int top, int bottom, Fill fill) {
        PageMapping::fill(left, right, top_ + row, top, bottom, fill);
    }
    // The same between two device columns.
    void fillBetween(int x1, int x2, std::int32_t row, int top, int bottom, Fill fill) {
        const int y1 = y(top_ + row, top);
        canvas().fillRect(x1, y1, x2 - x1, y(top_ + row, bottom) - y1, fill);
    }
    // Text over a fill lets it show.
    void textOver(int k, std::int32_t row, std::string_view value) {
        canvas().setTextOpaque(false);
        text(k, row, value);
        canvas().setTextOpaque(true);
    }
    // A small sample of a fill followed by what it stands for.
    void swatch(int k, std::int32_t row, Fill fill, std::string_view label) {
        this->fill(k, k + 24, row, 3, 13, fill);
        text(k + 30, row, label);
    }

private:
    std::int32_t top_;
};

// The class as the export names it: "CE2 A - École … - M. Dupont", without the parts it does
// not give; empty when it gives none.
inline std::string classLine(const ClassInfo& info) {
    std::string line;
    for (const std::string_view part :
         {std::string_view(info.ClassName), std::string_view(info.School), std::string_view(info.Teacher)}) {
        const std::string_view kept = trimmed(part);
        if (kept.empty())
            continue;
        if (!line.empty())
            line += " - ";
        line.append(kept);
    }
    return line;
}

// The heading of every class page but its last row: the evaluation and its date, the title, the
// caption and, after it on the same line, the class as the export names it (when it does),
// shortened to end at the date's right. Leaves the font at 10 points.
inline void drawTitles(Page& page, int dateColumn, int titleColumn, std::string_view title,
                       std::string_view caption, const ClassInfo& info) {
    page.fontSize(12);
    page.text(TextColumn, 1, EvaluationVersion);
    page.text(dateColumn, 1, EvaluationDate);
    page.fontSize(20);
    page.text(titleColumn, 2, title);
    page.fontSize(14);
    page.text(titleColumn, 4, caption);
    page.fontSize(10);
    if (const std::string line = classLine(info); !line.empty()) {
        // On the caption's baseline: the face's ascent is 0.891 em, 14 points are 18.7 pixels.
        constexpr int BaselineDrop = 5, Gap = 24, RightOfDate = 140;
        const int left = titleColumn + static_cast<int>(TextWidth(caption, 14)) + Gap;
        page.text(left, 4, BaselineDrop, FitText(line, 10, dateColumn + RightOfDate - left));
    }
}

// The heading of the pages that show codings: the titles, then the thresholds of the codings.
inline void drawHead(Page& page, int dateColumn, int titleColumn, std::string_view title,
                     std::string_view caption, const ClassInfo& info) {
    drawTitles(page, dateColumn, titleColumn, title, caption, info);
    page.text(TextColumn, 6, Thresholds);
}

// A bar from `left` to `right` split in parts of `counts` (out of their sum) filled with
// `fills`. Each part ends where the running count puts it, in device pixels, so the parts add
// up to the whole bar and each is within a pixel of its share at any resolution.
template <std::size_t N>
void drawSplitBar(Page& page, std::int32_t row, int left, int right,
                  const std::array<std::int32_t, N>& counts, const std::array<Fill, N>& fills) {
    std::int64_t total = 0;
    for (const std::int32_t count : counts)
        total += count;
    if (total <= 0)
        return;
    const int start = page.x(left);
    const std::int64_t whole = page.x(right) - start;
    std::int64_t running = 0;
    int from = start;
    for (std::size_t part = 0; part < N; ++part) {
        running += counts[part];
        const int to = start + static_cast<int>((2 * running * whole + total) / (2 * total));
        if (to > from)
            page.fillBetween(from, to, row, 3, 13, fills[part]);
        from = to;
    }
}

} // namespace zeb::classpages
