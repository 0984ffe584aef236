#pragma once

#include <string_view>

namespace zeb {

// What the result sheet needs of a drawing surface. Positions are device pixels; the face,
// colour, pen and brush are the surface's own, the sheet only sets the size.
class Canvas {
public:
    virtual ~Canvas() = default;

    virtual void setFontSize(int points) = 0;
    // Windows-1252 text with the top-left corner of its cell at (x, y), drawn as it stands.
    virtual void textOut(int x, int y, std::string_view cp1252) = 0;
    virtual void line(int x1, int y1, int x2, int y2) = 0;
};

} // namespace zeb
