#include "Artwork.h"

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>
#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace zeb::artwork {
namespace {

// One palette for every picture, so the windows look like one program.
const QColor Navy(0x1F, 0x3A, 0x68);
const QColor Accent(0xE8, 0x89, 0x2B);
const QColor Paper(0xFF, 0xFF, 0xFF);
const QColor Muted(0x5A, 0x6B, 0x85);

QPixmap blank(int width, int height) {
    QPixmap pixmap(std::max(width, 1), std::max(height, 1));
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void prepare(QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
}

// Sans-serif text at a pixel size, shrunk until it fits the width it is given. It is drawn
// with a font the main window shows anyway (Arial 19 bold, Arial 16), scaled: each new size
// of a font costs the start-up a font engine and its fontconfig settings, several
// milliseconds for the banner's two.
struct ScaledText {
    QFont font;
    double scale = 1.0;
};

ScaledText fittedText(const QString& text, double pixelSize, double maxWidth, bool bold) {
    QFont font(QStringLiteral("Arial"));
    font.setBold(bold);
    font.setPixelSize(bold ? 19 : 16);
    const double width = QFontMetricsF(font).horizontalAdvance(text);
    double scale = std::max(pixelSize, 6.0) / font.pixelSize();
    if (width * scale > maxWidth && width > 0)
        scale = std::max(maxWidth / width, 6.0 / font.pixelSize());
    return {font, scale};
}

// Draws `text` with its baseline's left end at `origin`.
void drawScaled(QPainter& painter, const ScaledText& text, const QPointF& origin, const QString& words) {
    painter.save();
    painter.translate(origin);
    painter.scale(text.scale, text.scale);
    painter.setFont(text.font);
    painter.drawText(QPointF(0, 0), words);
    painter.restore();
}

// An icon drawn the first time anything asks for its pixels: a window never shown, or a
// platform that never asks for a window's icon, costs no drawing at start. Once drawn it is
// Qt's own icon of those pictures, asked at the device's own size, so it looks the same.
class DrawnOnDemand final : public QIconEngine {
public:
    explicit DrawnOnDemand(std::function<QIcon()> draw)
        : drawing_(std::make_shared<Drawing>(std::move(draw))) {}

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return drawn().pixmap(size, 1.0, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return pixmap(size, mode, state).size();
    }
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
        painter->drawPixmap(rect, pixmap(rect.size() * painter->device()->devicePixelRatio(), mode, state));
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        return drawn().availableSizes(mode, state);
    }
    bool isNull() override { return false; }
    QIconEngine* clone() const override { return new DrawnOnDemand(*this); }

private:
    struct Drawing {
        explicit Drawing(std::function<QIcon()> drawing) : draw(std::move(drawing)) {}
        std::function<QIcon()> draw;
        std::optional<QIcon> icon;
    };
    const QIcon& drawn() {
        if (!drawing_->icon)
            drawing_->icon = drawing_->draw();
        return *drawing_->icon;
    }
    std::shared_ptr<Drawing> drawing_; // shared by the copies Qt makes of the icon
};

QIcon onDemand(std::function<QIcon()> draw) {
    return QIcon(new DrawnOnDemand(std::move(draw)));
}

// Glyphs are drawn on a 16-unit grid and rendered at 16 and 32 pixels, so they stay sharp on
// a screen that doubles them.
using GlyphDrawing = std::function<void(QPainter&)>;

QIcon glyph(GlyphDrawing draw) {
    return onDemand([draw = std::move(draw)] {
        QIcon icon;
        for (int size : {16, 32}) {
            QPixmap pixmap = blank(size, size);
            QPainter painter(&pixmap);
            prepare(painter);
            painter.scale(size / 16.0, size / 16.0);
            draw(painter);
            painter.end();
            icon.addPixmap(pixmap);
        }
        return icon;
    });
}

QPen line(const QColor& colour, double width) {
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

} // namespace

QPixmap Logo(int width, int height) {
    QPixmap pixmap = blank(width, height);
    QPainter painter(&pixmap);
    prepare(painter);

    // A square tile in the middle of whatever box it is given, so the mark never stretches.
    const double side = std::min(pixmap.width(), pixmap.height()) * 0.94;
    const QRectF tile((pixmap.width() - side) / 2.0, (pixmap.height() - side) / 2.0, side, side);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Navy);
    painter.drawRoundedRect(tile, side * 0.2, side * 0.2);

    // A "Z" cut from three strokes: two bars and the diagonal joining them.
    const double u = side / 10.0;
    const double left = tile.left() + 2.2 * u;
    const double right = tile.right() - 2.2 * u;
    const double top = tile.top() + 2.3 * u;
    const double bottom = tile.bottom() - 2.3 * u;
    const double bar = 1.3 * u;
    QPainterPath z;
    z.moveTo(left, top);
    z.lineTo(right, top);
    z.lineTo(right, top + bar);
    z.lineTo(left + bar * 1.15, bottom - bar);
    z.lineTo(right, bottom - bar);
    z.lineTo(right, bottom);
    z.lineTo(left, bottom);
    z.lineTo(left, bottom - bar);
    z.lineTo(right - bar * 1.15, top + bar);
    z.lineTo(left, top + bar);
    z.closeSubpath();
    painter.setBrush(Paper);
    painter.drawPath(z);

    // The warm dot of a correcting pen at the end of the lower bar.
    painter.setBrush(Accent);
    const double dot = 1.1 * u;
    painter.drawEllipse(QPointF(right + 0.35 * u, bottom - bar / 2.0 - 1.6 * u), dot / 2.0 + 0.2 * u,
                        dot / 2.0 + 0.2 * u);
    return pixmap;
}

QPixmap Banner(int width, int height) {
    QPixmap pixmap(std::max(width, 1), std::max(height, 1));
    pixmap.fill(Paper);
    QPainter painter(&pixmap);
    prepare(painter);

    // The logo is laid over the left end: the text starts past it.
    const double w = pixmap.width();
    const double h = pixmap.height();
    const double textLeft = std::min(w * 0.5, h * 1.45);
    const double room = std::max(w - textLeft - h * 0.2, 1.0);

    const QString title = QStringLiteral("ZEB v2");
    const QString subtitle = QString::fromUtf8("Évaluation CE2");
    const ScaledText titleText = fittedText(title, h * 0.56, room, true);
    const ScaledText subtitleText = fittedText(subtitle, h * 0.27, room, false);
    const QFontMetricsF titleMetrics(titleText.font);
    const QFontMetricsF subtitleMetrics(subtitleText.font);
    const double titleAscent = titleMetrics.ascent() * titleText.scale;
    const double titleDescent = titleMetrics.descent() * titleText.scale;

    const double titleBaseline = h * 0.08 + titleAscent;
    painter.setPen(Navy);
    drawScaled(painter, titleText, QPointF(textLeft, titleBaseline), title);

    painter.setPen(Muted);
    const double subtitleBaseline =
        std::min(h - subtitleMetrics.descent() * subtitleText.scale - 1.0,
                 titleBaseline + titleDescent + subtitleMetrics.ascent() * subtitleText.scale);
    drawScaled(painter, subtitleText, QPointF(textLeft, subtitleBaseline), subtitle);

    // A short warm rule after the title, the one touch of colour on the band.
    const double ruleLeft = textLeft + titleMetrics.horizontalAdvance(title) * titleText.scale + h * 0.2;
    if (ruleLeft + h * 0.3 < w) {
        painter.setPen(line(Accent, std::max(h * 0.06, 1.5)));
        const double y = titleBaseline - titleAscent * 0.35;
        painter.drawLine(QPointF(ruleLeft, y), QPointF(std::min(ruleLeft + h * 1.2, w - h * 0.2), y));
    }
    return pixmap;
}

QIcon AppIcon() {
    return onDemand([] {
        QIcon icon;
        for (int size : {16, 24, 32, 48, 64, 128, 256})
            icon.addPixmap(Logo(size, size));
        return icon;
    });
}

QIcon OpenGlyph() {
    return glyph([](QPainter& p) {
        p.setPen(line(Navy, 1.0));
        p.setBrush(Accent);
        QPolygonF back({{1.5, 3.5}, {6.0, 3.5}, {7.5, 5.0}, {14.5, 5.0}, {14.5, 13.5}, {1.5, 13.5}});
        p.drawPolygon(back);
        p.setBrush(QColor(0xF6, 0xC1, 0x7F));
        QPolygonF front({{1.5, 13.5}, {3.5, 7.5}, {15.5, 7.5}, {14.5, 13.5}});
        p.drawPolygon(front);
    });
}

QIcon ListGlyph() {
    return glyph([](QPainter& p) {
        p.setPen(line(Navy, 1.0));
        p.setBrush(Paper);
        p.drawRoundedRect(QRectF(2.5, 1.5, 11.0, 13.0), 1.5, 1.5);
        for (double y : {5.0, 8.0, 11.0}) {
            p.setPen(line(Accent, 1.6));
            p.drawPoint(QPointF(5.0, y));
            p.setPen(line(Navy, 1.2));
            p.drawLine(QPointF(7.0, y), QPointF(11.5, y));
        }
    });
}

QIcon QuitGlyph() {
    return glyph([](QPainter& p) {
        // An open door: the frame, then the leaf swung towards the viewer.
        p.setPen(line(Navy, 1.0));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(3.5, 1.5, 9.0, 13.0));
        p.setBrush(Navy);
        QPolygonF leaf({{3.5, 1.5}, {9.0, 3.0}, {9.0, 15.5}, {3.5, 14.5}});
        p.drawPolygon(leaf);
        p.setPen(Qt::NoPen);
        p.setBrush(Accent);
        p.drawEllipse(QPointF(7.6, 8.8), 0.9, 0.9);
    });
}

QIcon HelpGlyph() {
    return glyph([](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(Navy);
        p.drawEllipse(QRectF(1.0, 1.0, 14.0, 14.0));
        QPainterPath hook;
        hook.moveTo(5.6, 6.0);
        hook.cubicTo(5.6, 3.4, 10.4, 3.4, 10.4, 6.0);
        hook.cubicTo(10.4, 7.8, 8.0, 7.8, 8.0, 9.8);
        p.setPen(line(Paper, 1.7));
        p.setBrush(Qt::NoBrush);
        p.drawPath(hook);
        p.setPen(Qt::NoPen);
        p.setBrush(Accent);
        p.drawEllipse(QPointF(8.0, 12.3), 1.1, 1.1);
    });
}

QIcon OkGlyph() {
    return glyph([](QPainter& p) {
        p.setPen(line(QColor(0x2E, 0x8B, 0x57), 2.6));
        p.setBrush(Qt::NoBrush);
        QPainterPath tick;
        tick.moveTo(2.5, 8.5);
        tick.lineTo(6.3, 12.3);
        tick.lineTo(13.5, 3.8);
        p.drawPath(tick);
    });
}

QIcon BackGlyph() {
    return glyph([](QPainter& p) {
        p.setPen(line(Navy, 2.2));
        p.setBrush(Qt::NoBrush);
        p.drawLine(QPointF(3.0, 8.0), QPointF(13.5, 8.0));
        QPainterPath head;
        head.moveTo(7.5, 3.5);
        head.lineTo(3.0, 8.0);
        head.lineTo(7.5, 12.5);
        p.drawPath(head);
    });
}

namespace {

void magnifier(QPainter& p, bool plus) {
    p.setPen(line(Navy, 1.8));
    p.setBrush(Paper);
    p.drawEllipse(QPointF(6.5, 6.5), 4.6, 4.6);
    p.setPen(line(Navy, 2.8));
    p.drawLine(QPointF(10.0, 10.0), QPointF(14.2, 14.2));
    p.setPen(line(Accent, 1.7));
    p.drawLine(QPointF(4.3, 6.5), QPointF(8.7, 6.5));
    if (plus)
        p.drawLine(QPointF(6.5, 4.3), QPointF(6.5, 8.7));
}

} // namespace

QIcon ZoomInGlyph() {
    return glyph([](QPainter& p) { magnifier(p, true); });
}

QIcon ZoomOutGlyph() {
    return glyph([](QPainter& p) { magnifier(p, false); });
}

QIcon PrintGlyph() {
    return glyph([](QPainter& p) {
        // The sheet stands out of the top; the printer's body holds the paper tray.
        p.setPen(line(Navy, 1.2));
        p.setBrush(Paper);
        p.drawRect(QRectF(4.5, 1.5, 7.0, 5.5));
        p.setBrush(Navy);
        p.drawRoundedRect(QRectF(1.5, 6.5, 13.0, 6.0), 1.5, 1.5);
        p.setBrush(Paper);
        p.drawRect(QRectF(4.5, 10.5, 7.0, 4.0));
        p.setPen(Qt::NoPen);
        p.setBrush(Accent);
        p.drawEllipse(QPointF(12.3, 8.6), 0.9, 0.9);
    });
}

QIcon PdfGlyph() {
    return glyph([](QPainter& p) {
        QPainterPath page;
        page.moveTo(3.0, 1.5);
        page.lineTo(9.5, 1.5);
        page.lineTo(13.0, 5.0);
        page.lineTo(13.0, 14.5);
        page.lineTo(3.0, 14.5);
        page.closeSubpath();
        p.setPen(line(Navy, 1.2));
        p.setBrush(Paper);
        p.drawPath(page);
        p.drawLine(QPointF(9.5, 1.5), QPointF(9.5, 5.0));
        p.drawLine(QPointF(9.5, 5.0), QPointF(13.0, 5.0));
        p.setPen(Qt::NoPen);
        p.setBrush(Accent);
        p.drawRect(QRectF(1.5, 8.0, 9.0, 4.5));
    });
}

} // namespace zeb::artwork
