#pragma once

#include "sheet/Canvas.h"
#include "sheet/PageView.h"

#include <cmath>
#include <cstdint>
#include <string_view>

namespace zeb {

// Maps the layout of a page (columns in layout pixels, rows of LinePitch) to the device
// pixels of a view, rounding halves to even in extended precision. Rows are given as the
// drawing counts them: scrolling is the caller's, as it decides which rows stay put.
class PageMapping {
public:
    PageMapping(Canvas& canvas, const PageView& view)
        : canvas_(canvas), scaleX_(view.ScaleX), scaleY_(view.ScaleY), view_(view) {}

    int x(int k) const {
        return static_cast<int>(
            std::llrint(static_cast<long double>(k) * scaleX_ + 1.0L - view_.HorizontalOffset));
    }
    int y(std::int32_t row) const {
        return static_cast<int>(std::llrint(static_cast<long double>(LinePitch) * scaleY_ * row));
    }
    // `pixels` layout pixels below the top of a row.
    int y(std::int32_t row, int pixels) const {
        return static_cast<int>(std::llrint(
            static_cast<long double>(LinePitch * static_cast<long long>(row) + pixels) * scaleY_));
    }
    void fontSize(int points) {
        canvas_.setFontSize(
            static_cast<int>(std::llrint(static_cast<long double>(points) * view_.ZoomFactor)));
    }
    // The same to a fraction of a point, unrounded.
    void fontSizeF(double points) { canvas_.setFontSizeF(points * view_.ZoomFactor); }
    void text(int k, std::int32_t row, std::string_view value) { canvas_.textOut(x(k), y(row), value); }
    void horizontalRule(int left, int right, std::int32_t row) {
        canvas_.line(x(left), y(row), x(right), y(row));
    }
    void verticalRule(int k, std::int32_t top, std::int32_t bottom) {
        canvas_.line(x(k), y(top), x(k), y(bottom));
    }
    // Fills columns left..right of a row, from `top` to `bottom` layout pixels below its top.
    void fill(int left, int right, std::int32_t row, int top, int bottom, Fill fill) {
        const int x1 = x(left), y1 = y(row, top);
        canvas_.fillRect(x1, y1, x(right) - x1, y(row, bottom) - y1, fill);
    }
    Canvas& canvas() { return canvas_; }
    const PageView& view() const { return view_; }

private:
    Canvas& canvas_;
    long double scaleX_;
    long double scaleY_;
    const PageView& view_;
};

} // namespace zeb
