#pragma once

#include "sheet/Document.h"

#include <string>
#include <string_view>
#include <vector>

namespace zeb {

// One row of a page as it is read: the texts drawn on it, left to right.
struct TextRow {
    int y;            // layout pixels from the top of the page
    std::string text; // Windows-1252
};

// The texts page `page` of `document` draws, seen whole (no zoom, no scrolling), gathered by the
// row they stand on, top to bottom, each row read left to right. The pieces of a row are joined
// with a comma, so that a speech synthesiser pauses between the cells of a table, unless a piece
// already ends with a stop of its own (": ").
std::vector<TextRow> PageRows(const Document& document, int page);

// Rows as the lines of one text.
std::string JoinRows(const std::vector<TextRow>& rows);

// A drawn text as it is read: without the spaces that place or pad it, inner runs of spaces
// made one.
std::string SpokenText(std::string_view cp1252);

// Adds `piece` (spoken already) after `line` as a row joins its pieces.
void AppendPiece(std::string& line, std::string_view piece);

} // namespace zeb
