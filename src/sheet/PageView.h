#pragma once

#include <cstdint>

namespace zeb {

// The pages are laid out in the pixels of a 96-dpi window.
inline constexpr double LayoutDpi = 96.0;
// Height of one row of the pages in layout pixels.
inline constexpr std::int32_t LinePitch = 16;

// How a page is seen: what the drawing needs of the preview or the paper, and nothing else.
struct PageView {
    double ZoomFactor = 1.0;           // scales the font sizes
    std::int32_t HorizontalOffset = 0; // device pixels, subtracted from every position
    std::int32_t VerticalOffset = 0;   // rows scrolled off the top
    double ScaleX = 1.0;               // layout pixels to device pixels
    double ScaleY = 1.0;

    // Paper, or a PDF: actual size, no zoom, no scrolling.
    static PageView Paper(int dpiX, int dpiY) { return {1.0, 0, 0, dpiX / LayoutDpi, dpiY / LayoutDpi}; }
    friend bool operator==(const PageView&, const PageView&) = default;
};

} // namespace zeb
