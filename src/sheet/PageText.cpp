#include "PageText.h"

#include <algorithm>

namespace zeb {
namespace {

// Keeps the texts a page draws and where; everything else it draws is left aside.
class TextCollector final : public Canvas {
public:
    struct Piece {
        int x, y;
        std::string text;
    };

    void setFontSize(int) override {}
    void setFontSizeF(double) override {}
    // A wide gap inside one text (two spaces or more) parts it as a gap between texts does.
    void textOut(int x, int y, std::string_view cp1252) override {
        std::string text;
        for (std::size_t start = 0; start < cp1252.size();) {
            const std::size_t gap = cp1252.find("  ", start);
            const std::size_t end = gap == std::string_view::npos ? cp1252.size() : gap;
            AppendPiece(text, SpokenText(cp1252.substr(start, end - start)));
            start = cp1252.find_first_not_of(' ', end);
            if (start == std::string_view::npos)
                break;
        }
        if (!text.empty())
            pieces.push_back({x, y, std::move(text)});
    }
    void line(int, int, int, int) override {}
    void fillRect(int, int, int, int, Fill) override {}
    void setTextOpaque(bool) override {}

    std::vector<Piece> pieces;
};

} // namespace

std::string SpokenText(std::string_view cp1252) {
    std::string spoken;
    spoken.reserve(cp1252.size());
    for (const char c : cp1252) {
        if (c == ' ' && (spoken.empty() || spoken.back() == ' '))
            continue;
        spoken += c;
    }
    if (!spoken.empty() && spoken.back() == ' ')
        spoken.pop_back();
    return spoken;
}

void AppendPiece(std::string& line, std::string_view piece) {
    if (piece.empty())
        return;
    if (!line.empty()) {
        const char last = line.back();
        line += last == ':' || last == ';' || last == ',' ? " " : ", ";
    }
    line += piece;
}

std::vector<TextRow> PageRows(const Document& document, int page) {
    TextCollector collector;
    document.DrawPage(page, collector, PageView{}); // layout pixels, the whole page
    std::stable_sort(collector.pieces.begin(), collector.pieces.end(),
                     [](const auto& a, const auto& b) { return a.y != b.y ? a.y < b.y : a.x < b.x; });
    std::vector<TextRow> rows;
    for (const TextCollector::Piece& piece : collector.pieces) {
        if (rows.empty() || rows.back().y != piece.y)
            rows.push_back({piece.y, {}});
        AppendPiece(rows.back().text, piece.text);
    }
    return rows;
}

std::string JoinRows(const std::vector<TextRow>& rows) {
    std::string text;
    for (const TextRow& row : rows) {
        if (!text.empty())
            text += '\n';
        text += row.text;
    }
    return text;
}

std::string Document::PageText(int page) const {
    return JoinRows(PageRows(*this, page));
}

} // namespace zeb
