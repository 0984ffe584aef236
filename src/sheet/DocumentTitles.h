#pragma once

#include <string>
#include <string_view>

namespace zeb {

// The class's documents, as a file holds them.
enum class ClassDocument { Sheets, Synthesis, Items };

// The title of such a file, as a PDF reader shows it (UTF-8): "Fiches de résultats – CE2 A"
// after the class's name as the export gives it (UTF-8, without its padding), or, for an export
// that names no class, "Fiches de résultats - EVALUATION CE2".
inline std::string ClassDocumentTitle(ClassDocument document, std::string_view className) {
    const bool named = !className.empty();
    std::string title;
    switch (document) {
    case ClassDocument::Sheets:
        title = "Fiches de résultats";
        break;
    case ClassDocument::Synthesis:
        title = named ? "Synthèse de la classe" : "Synthèse";
        break;
    case ClassDocument::Items:
        title = "Analyse des items";
        break;
    }
    return named ? title + " – " + std::string(className) : title + " - EVALUATION CE2";
}

} // namespace zeb
