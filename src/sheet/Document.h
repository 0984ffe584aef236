#pragma once

#include "core/Evaluation.h"
#include "sheet/Canvas.h"
#include "sheet/PageView.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zeb {

enum class PageOrientation : std::uint8_t { Portrait, Landscape };

// A4 in layout pixels, and the part of it every page keeps to: a printer cannot reach the
// paper's edge, so pages are drawn from the corner of a printable area 6.35 mm (a quarter
// inch) in from every edge, and stay inside it.
inline constexpr int A4ShortSide = 794; // 210 mm at 96 dpi
inline constexpr int A4LongSide = 1123; // 297 mm
inline constexpr int PrintableInset = 24;

// Something the preview shows, the printer prints and a PDF holds: a run of A4 pages.
class Document {
public:
    virtual ~Document() = default;

    virtual int PageCount() const = 0;
    virtual PageOrientation Orientation(int page) const = 0; // page: 0 .. PageCount() - 1
    // Draws page `page` only: clearing it is the caller's business.
    virtual void DrawPage(int page, Canvas& canvas, const PageView& view) const = 0;
    // What a screen reader says of page `page`: its words in reading order, a line each row,
    // Windows-1252. By default the texts the page draws, row by row (sheet/PageText.h).
    virtual std::string PageText(int page) const;
};

// One document of kind D per subject, in the order given, and their list as the PDF writer
// takes it. D is made from the subject and `args`.
template <typename D> class SubjectDocuments {
public:
    template <typename... Args> SubjectDocuments(const std::vector<Subject>& subjects, const Args&... args) {
        documents_.reserve(subjects.size());
        for (const Subject subject : subjects)
            documents_.emplace_back(subject, args...);
        for (const D& document : documents_)
            pages_.push_back(&document);
    }
    SubjectDocuments(const SubjectDocuments&) = delete; // the list points into the documents
    SubjectDocuments& operator=(const SubjectDocuments&) = delete;

    const std::vector<const Document*>& list() const { return pages_; }

private:
    std::vector<D> documents_;
    std::vector<const Document*> pages_;
};

} // namespace zeb
