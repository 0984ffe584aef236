#include "QPainterCanvas.h"

#include "qttext/QtText.h"

#include <QFontMetrics>
#include <QPaintDevice>
#include <QPainter>
#include <QPen>
#include <algorithm>

namespace zeb {

QPainterCanvas::QPainterCanvas(QPainter& painter, const QFont& font) : painter_(painter), font_(font) {
    font_.setKerning(false);             // texts are as wide as TextWidth says
    painter_.setPen(QPen(Qt::black, 0)); // cosmetic: one device pixel whatever the resolution
    painter_.setBackground(Qt::white);
    painter_.setBackgroundMode(Qt::OpaqueMode);
    painter_.setFont(font_);
    ascent_ = QFontMetrics(font_, painter_.device()).ascent();
}

void QPainterCanvas::setFontSize(int points) {
    font_.setPointSize(std::max(points, 1));
    painter_.setFont(font_);
    ascent_ = QFontMetrics(font_, painter_.device()).ascent();
}

void QPainterCanvas::setFontSizeF(double points) {
    font_.setPointSizeF(std::max(points, 0.1));
    painter_.setFont(font_);
    ascent_ = QFontMetrics(font_, painter_.device()).ascent();
}

void QPainterCanvas::textOut(int x, int y, std::string_view cp1252) {
    // Qt places text on its baseline; the sheet gives the top of the text cell.
    painter_.drawText(QPoint(x, y + ascent_), toQString(cp1252));
}

void QPainterCanvas::line(int x1, int y1, int x2, int y2) {
    painter_.drawLine(x1, y1, x2, y2);
}

void QPainterCanvas::fillRect(int x, int y, int width, int height, Fill fill) {
    const QRect area(x, y, width, height);
    switch (fill) {
    case Fill::Light:
        painter_.fillRect(area, QColor(217, 217, 217));
        break;
    case Fill::Medium:
        painter_.fillRect(area, QColor(153, 153, 153));
        break;
    case Fill::Dark:
        painter_.fillRect(area, QColor(89, 89, 89));
        break;
    case Fill::Hatched: {
        // Lines about 1/4 mm thick every 1.5 mm whatever the device's resolution, so the
        // hatching looks the same on screen, on paper and in a PDF.
        painter_.fillRect(area, Qt::white);
        const double dpi = painter_.device() != nullptr ? painter_.device()->logicalDpiX() : 96.0;
        const int step = std::max(3, static_cast<int>(dpi * 1.5 / 25.4));
        painter_.save();
        painter_.setClipRect(area, Qt::IntersectClip);
        painter_.setPen(QPen(Qt::black, std::max(1.0, dpi * 0.25 / 25.4)));
        for (int d = -height; d < width; d += step)
            painter_.drawLine(x + d, y + height, x + d + height, y);
        painter_.restore();
        break;
    }
    }
}

void QPainterCanvas::setTextOpaque(bool opaque) {
    painter_.setBackgroundMode(opaque ? Qt::OpaqueMode : Qt::TransparentMode);
}

QFont SheetFont() {
    QFont font(QStringLiteral("Times New Roman"));
    font.setStyleHint(QFont::Serif);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    // Characters side by side at their own advances, as the pages are laid out (TextWidth).
    font.setKerning(false);
    return font;
}

} // namespace zeb
