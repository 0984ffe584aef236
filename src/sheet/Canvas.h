#pragma once

#include <cstdint>
#include <string_view>

namespace zeb {

// How an area is filled so that it still reads on a black-and-white printer: greys that
// stay apart once printed, and a hatching that no grey can be mistaken for.
enum class Fill : std::uint8_t {
    Light,   // light grey (about 85 % white)
    Medium,  // middle grey (about 60 % white)
    Dark,    // dark grey (about 35 % white)
    Hatched, // black diagonal lines on white
};

// What the pages need of a drawing surface. Positions are device pixels; the face, colour
// and pen are the surface's own, the pages only set the size.
class Canvas {
public:
    virtual ~Canvas() = default;

    virtual void setFontSize(int points) = 0;
    // A size between whole points, for a text shrunk just enough to fit its place.
    virtual void setFontSizeF(double points) = 0;
    // Windows-1252 text with the top-left corner of its cell at (x, y), drawn as it stands.
    // The cell is opaque white unless text is set transparent.
    virtual void textOut(int x, int y, std::string_view cp1252) = 0;
    virtual void line(int x1, int y1, int x2, int y2) = 0;
    // A filled rectangle without outline, from (x, y), width and height in device pixels.
    virtual void fillRect(int x, int y, int width, int height, Fill fill) = 0;
    // Whether text cells are opaque white (the default) or let what lies below show.
    virtual void setTextOpaque(bool opaque) = 0;
};

} // namespace zeb
