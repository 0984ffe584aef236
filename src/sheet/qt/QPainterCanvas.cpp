#include "QPainterCanvas.h"

#include "QtText.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPen>
#include <algorithm>

namespace zeb {

QPainterCanvas::QPainterCanvas(QPainter& painter, const QFont& font) : painter_(painter), font_(font) {
    painter_.setPen(QPen(Qt::black, 0)); // cosmetic: one device pixel whatever the resolution
    painter_.setBackground(Qt::white);
    painter_.setBackgroundMode(Qt::OpaqueMode);
    painter_.setFont(font_);
}

void QPainterCanvas::setFontSize(int points) {
    font_.setPointSize(std::max(points, 1));
    painter_.setFont(font_);
}

void QPainterCanvas::textOut(int x, int y, std::string_view cp1252) {
    // Qt places text on its baseline; the sheet gives the top of the text cell.
    const QFontMetrics metrics(font_, painter_.device());
    painter_.drawText(QPoint(x, y + metrics.ascent()), toQString(cp1252));
}

void QPainterCanvas::line(int x1, int y1, int x2, int y2) {
    painter_.drawLine(x1, y1, x2, y2);
}

QFont SheetFont() {
    QFont font(QStringLiteral("Times New Roman"));
    font.setStyleHint(QFont::Serif);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    return font;
}

} // namespace zeb
