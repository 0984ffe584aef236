#pragma once

#include "sheet/Canvas.h"

#include <cmath>
#include <string>
#include <vector>

namespace zeb::test {

// Keeps every call of a page's drawing, with the font size each text was drawn in.
class RecordingCanvas final : public Canvas {
public:
    struct Text {
        int x, y, size; // size: whole points, rounded up from a finer size
        std::string text;
        bool opaque;
        double points; // the size as set
    };
    struct Line {
        int x1, y1, x2, y2;
    };
    struct Rect {
        int x, y, width, height;
        Fill fill;
    };

    void setFontSize(int points) override { size_ = points, points_ = points; }
    void setFontSizeF(double points) override {
        size_ = static_cast<int>(std::ceil(points)), points_ = points;
    }
    void textOut(int x, int y, std::string_view text) override {
        texts.push_back({x, y, size_, std::string(text), opaque_, points_});
    }
    void line(int x1, int y1, int x2, int y2) override { lines.push_back({x1, y1, x2, y2}); }
    void fillRect(int x, int y, int width, int height, Fill fill) override {
        rects.push_back({x, y, width, height, fill});
    }
    void setTextOpaque(bool opaque) override { opaque_ = opaque; }

    std::vector<Text> texts;
    std::vector<Line> lines;
    std::vector<Rect> rects;

private:
    int size_ = 0;
    double points_ = 0;
    bool opaque_ = true;
};

} // namespace zeb::test
