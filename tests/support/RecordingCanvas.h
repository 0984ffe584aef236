#pragma once

#include "sheet/Canvas.h"

#include <string>
#include <vector>

namespace zeb::test {

// Keeps every call of the sheet drawing, with the font size each text was drawn in.
class RecordingCanvas final : public Canvas {
public:
    struct Text {
        int x, y, size;
        std::string text;
    };
    struct Line {
        int x1, y1, x2, y2;
    };

    void setFontSize(int points) override { size_ = points; }
    void textOut(int x, int y, std::string_view text) override {
        texts.push_back({x, y, size_, std::string(text)});
    }
    void line(int x1, int y1, int x2, int y2) override { lines.push_back({x1, y1, x2, y2}); }

    std::vector<Text> texts;
    std::vector<Line> lines;

private:
    int size_ = 0;
};

} // namespace zeb::test
