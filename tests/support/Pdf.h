#pragma once

// PDF files read back as a reader of them sees them, through poppler's command-line tools
// (pdfinfo, pdftotext, pdffonts, pdftoppm).

#include <filesystem>
#include <string>
#include <vector>

namespace zeb::test {

// -1 when poppler cannot read the file.
int PdfPageCount(const std::filesystem::path& pdf);

struct PdfPage {
    double width = 0, height = 0; // points, as the page is stored
    int rotation = 0;             // degrees the page is turned when shown
    std::string paper;            // the size poppler recognises ("A4"), or ""

    bool landscape() const { return (width > height) != (rotation % 180 != 0); }
};
std::vector<PdfPage> PdfPages(const std::filesystem::path& pdf);

// The text of page `page` (from 1), or of every page for 0, laid out as on the page.
std::string PdfText(const std::filesystem::path& pdf, int page = 0);

// One word and its box, in points from the top-left corner of its page.
struct PdfWord {
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    std::string text;
};
std::vector<PdfWord> PdfWords(const std::filesystem::path& pdf, int page = 0);

// pdffonts' table: each font's name, type, and whether it is embedded.
std::string PdfFonts(const std::filesystem::path& pdf);

// The top-left corner of the ink on the first page drawn at `dpi` (one pixel a point at 72): the
// leftmost column and the top row holding a dark pixel. {-1, -1} when the page cannot be drawn.
struct PdfPixel {
    int x = -1, y = -1;
};
PdfPixel PdfInkCorner(const std::filesystem::path& pdf, int dpi = 72);

} // namespace zeb::test
