#pragma once

#include "sheet/Canvas.h"

#include <QFont>

class QPainter;

namespace zeb {

// The pages on any Qt paint device: preview widget, image, printer, PDF. Text is drawn in
// the given face (regular, black, not kerned) on an opaque white cell unless told otherwise,
// lines in a one-pixel black pen.
class QPainterCanvas final : public Canvas {
public:
    QPainterCanvas(QPainter& painter, const QFont& font);

    void setFontSize(int points) override;
    void setFontSizeF(double points) override;
    void textOut(int x, int y, std::string_view cp1252) override;
    void line(int x1, int y1, int x2, int y2) override;
    void fillRect(int x, int y, int width, int height, Fill fill) override;
    void setTextOpaque(bool opaque) override;

private:
    QPainter& painter_;
    QFont font_;
    int ascent_ = 0; // of the font on the painter's device, kept as pages draw hundreds of texts
};

// The face the sheets ask for: "Times New Roman", regular, not kerned; fontconfig gives its
// metric twin Liberation Serif where the original is not installed.
QFont SheetFont();

} // namespace zeb
