#pragma once

// The yardstick's pages, drawn with nothing but QPainter on a QPdfWriter: each A4 page with a
// sheet's worth of text and rules (about 200 words), and, when `dense` is not 0, every
// dense-th page with a table four times as full, as a synthesis page is (about 800 words).

#include <QPainter>
#include <QPdfWriter>

namespace zeb::bench {

// Sets the writer up as ZEB's PDFs are (A4, 1200 dpi, no margin) and draws the pages.
inline bool DrawBarePdfPages(QPdfWriter& writer, int pages, int dense) {
    writer.setResolution(1200);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter(&writer);
    for (int page = 0; page < pages; ++page) {
        if (page > 0)
            writer.newPage();
        painter.setFont(QFont(QStringLiteral("Times New Roman"), 14, QFont::Bold));
        painter.drawText(600, 700, QStringLiteral("EVALUATION CE2 - Français - Élève %1").arg(page + 1));
        painter.setFont(QFont(QStringLiteral("Arial"), 9));
        const bool full = dense > 0 && page % dense == dense - 1;
        const int rows = full ? 80 : 20, height = full ? 105 : 420;
        for (int row = 0; row < rows; ++row) {
            const int y = 1400 + row * height;
            painter.drawLine(600, y, 9300, y);
            painter.drawText(700, y + height - 120,
                             QStringLiteral("Objectif %1 : compétence évaluée").arg(row + 1));
            painter.drawText(6000, y + height - 120, QStringLiteral("%1 %").arg((row * 37) % 101));
            painter.drawText(7300, y + height - 120, QStringLiteral("%1 %").arg((row * 53) % 101));
            painter.drawText(8500, y + height - 120,
                             row % 3 == 0 ? QStringLiteral("ECA") : QStringLiteral("A"));
        }
    }
    return painter.end();
}

} // namespace zeb::bench
