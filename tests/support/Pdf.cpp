#include "Pdf.h"

#include "Process.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace zeb::test {
namespace {

std::string pageRange(int page) {
    return page > 0 ? " -f " + std::to_string(page) + " -l " + std::to_string(page) : std::string();
}

std::string attribute(const std::string& element, const std::string& name) {
    const std::size_t at = element.find(" " + name + "=\"");
    if (at == std::string::npos)
        return {};
    const std::size_t start = at + name.size() + 3;
    return element.substr(start, element.find('"', start) - start);
}

// pdftotext writes a word's text as XHTML.
std::string unescaped(std::string text) {
    const std::pair<const char*, const char*> entities[] = {
        {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}};
    for (const auto& [entity, character] : entities)
        for (std::size_t at = text.find(entity); at != std::string::npos; at = text.find(entity, at + 1))
            text.replace(at, std::string(entity).size(), character);
    return text;
}

} // namespace

int PdfPageCount(const std::filesystem::path& pdf) {
    const ProcessRun info = RunShell("pdfinfo " + ShellQuoted(pdf.string()));
    const std::size_t at = info.out.find("\nPages:");
    return info.exitCode != 0 || at == std::string::npos ? -1 : std::stoi(info.out.substr(at + 7));
}

std::vector<PdfPage> PdfPages(const std::filesystem::path& pdf) {
    const int count = PdfPageCount(pdf);
    std::vector<PdfPage> pages(static_cast<std::size_t>(std::max(count, 0)));
    if (count <= 0)
        return pages;
    // "Page    1 size:  842 x 595 pts (A4)" and "Page    1 rot:   0", for each page.
    std::istringstream lines(
        RunShell("pdfinfo -f 1 -l " + std::to_string(count) + " " + ShellQuoted(pdf.string())).out);
    for (std::string line; std::getline(lines, line);) {
        int number = 0;
        char what[8] = {};
        double width = 0, height = 0;
        if (std::sscanf(line.c_str(), "Page %d %7[a-z]:", &number, what) != 2 || number < 1 || number > count)
            continue;
        PdfPage& page = pages[static_cast<std::size_t>(number - 1)];
        const std::string value = line.substr(line.find(':') + 1);
        if (std::string(what) == "rot") {
            page.rotation = std::stoi(value);
        } else if (std::string(what) == "size" &&
                   std::sscanf(value.c_str(), " %lf x %lf", &width, &height) == 2) {
            page.width = width;
            page.height = height;
            const std::size_t open = value.find('(');
            if (open != std::string::npos)
                page.paper = value.substr(open + 1, value.find(')', open) - open - 1);
        }
    }
    return pages;
}

std::string PdfText(const std::filesystem::path& pdf, int page) {
    return RunShell("pdftotext -layout" + pageRange(page) + " " + ShellQuoted(pdf.string()) + " -").out;
}

std::vector<PdfWord> PdfWords(const std::filesystem::path& pdf, int page) {
    // <word xMin="X" yMin="Y" xMax=".." yMax="..">WORD</word>, a line each.
    std::istringstream lines(
        RunShell("pdftotext -bbox" + pageRange(page) + " " + ShellQuoted(pdf.string()) + " -").out);
    std::vector<PdfWord> words;
    for (std::string line; std::getline(lines, line);) {
        const std::size_t start = line.find("<word ");
        const std::size_t text = line.find('>', start);
        if (start == std::string::npos || text == std::string::npos)
            continue;
        const std::string element = line.substr(start, text - start);
        const auto number = [&element](const char* name) { return std::stod(attribute(element, name)); };
        words.push_back({number("xMin"), number("yMin"), number("xMax"), number("yMax"),
                         unescaped(line.substr(text + 1, line.find("</word>", text) - text - 1))});
    }
    return words;
}

std::string PdfFonts(const std::filesystem::path& pdf) {
    return RunShell("pdffonts " + ShellQuoted(pdf.string())).out;
}

PdfPixel PdfInkCorner(const std::filesystem::path& pdf, int dpi) {
    const std::string pgm =
        RunShell("pdftoppm -r " + std::to_string(dpi) + " -gray -f 1 -l 1 " + ShellQuoted(pdf.string())).out;
    std::istringstream header(pgm);
    std::string magic;
    int width = 0, height = 0, depth = 0;
    header >> magic >> width >> height >> depth;
    const auto start = static_cast<std::size_t>(header.tellg()) + 1;
    if (magic != "P5" || pgm.size() < start + static_cast<std::size_t>(width * height))
        return {};
    PdfPixel corner{width, height};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (static_cast<unsigned char>(pgm[start + static_cast<std::size_t>(y * width + x)]) < 128) {
                corner.x = std::min(corner.x, x);
                corner.y = std::min(corner.y, y);
            }
    return corner;
}

} // namespace zeb::test
