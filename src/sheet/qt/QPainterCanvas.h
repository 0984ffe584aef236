#pragma once

#include "sheet/Canvas.h"

#include <QFont>

class QPainter;

namespace zeb {

// The sheet on any Qt paint device: preview widget, image, printer, PDF. Text is drawn in
// the given face (regular, black) on an opaque white cell, lines in a one-pixel black pen.
class QPainterCanvas final : public Canvas {
public:
    QPainterCanvas(QPainter& painter, const QFont& font);

    void setFontSize(int points) override;
    void textOut(int x, int y, std::string_view cp1252) override;
    void line(int x1, int y1, int x2, int y2) override;

private:
    QPainter& painter_;
    QFont font_;
};

// The face the sheets ask for: "Times New Roman", regular; fontconfig gives its metric
// twin Liberation Serif where the original is not installed.
QFont SheetFont();

} // namespace zeb
