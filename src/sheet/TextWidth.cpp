#include "TextWidth.h"

#include "core/FixedText.h"

#include <algorithm>
#include <cmath>

namespace zeb {

namespace {
constexpr std::string_view Ellipsis = "\x85";
} // namespace

std::string FitText(std::string_view cp1252, double points, double width) {
    if (TextWidth(cp1252, points) <= width)
        return std::string(cp1252);
    const double room = width - TextWidth(Ellipsis, points);
    double used = 0;
    std::size_t kept = 0;
    while (kept < cp1252.size()) {
        const double next = used + TextWidth(cp1252.substr(kept, 1), points);
        if (next > room)
            break;
        used = next;
        ++kept;
    }
    return std::string(TrimTrailingSpaces(cp1252.substr(0, kept))).append(Ellipsis);
}

double FittingSize(std::string_view cp1252, double points, double width) {
    const double whole = TextWidth(TrimTrailingSpaces(cp1252), points);
    if (whole <= width)
        return points;
    // Widths are proportional to the size; the tenth below the exact size, checked against
    // rounding.
    double tenths = std::floor(10.0 * points * width / whole);
    while (tenths > 1 && TextWidth(TrimTrailingSpaces(cp1252), tenths / 10.0) > width)
        --tenths;
    return std::max(tenths, 1.0) / 10.0;
}

} // namespace zeb
