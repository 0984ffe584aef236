#pragma once

#include "sheet/PageView.h"
#include "sheet/SheetFontAdvances.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace zeb {

// Width in layout pixels (96 dpi) of a Windows-1252 text drawn at `points` in the sheets' face,
// as the canvas draws it: the advances of its characters added up, without kerning. Control
// bytes count for nothing. The same on every device, as the face's design widths are.
constexpr double TextWidth(std::string_view cp1252, double points) {
    std::int64_t units = 0;
    for (const char c : cp1252)
        if (const auto byte = static_cast<unsigned char>(c); byte >= SheetFontFirstByte)
            units += SheetFontAdvances[static_cast<std::size_t>(byte - SheetFontFirstByte)];
    return static_cast<double>(units) * points * (LayoutDpi / 72.0) / SheetFontUnitsPerEm;
}

// The text if it fits `width` layout pixels at `points`; otherwise as many of its first
// characters as fit with "…" after them (the spaces before it dropped).
std::string FitText(std::string_view cp1252, double points, double width);

// The largest size, `points` or less in steps of a tenth of a point, at which the text fits
// `width` layout pixels (a tenth of a point at the least). Its trailing spaces do not count.
double FittingSize(std::string_view cp1252, double points, double width);

} // namespace zeb
