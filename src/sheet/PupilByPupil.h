#pragma once

#include "sheet/Document.h"

#include <vector>

namespace zeb {

// Documents of one page per pupil each (a subject's sheets for the same pupils), taken pupil
// by pupil: the first pupil's page of every document, then the second pupil's... For printing
// on both sides, each pupil's run is made even with a blank page, so that a sheet of paper
// never carries two children and a family is handed its child's paper only.
class PupilByPupilDocument final : public Document {
public:
    // Every document must have the same page count; the pages are drawn by them.
    explicit PupilByPupilDocument(std::vector<const Document*> subjects);

    int PageCount() const override;
    PageOrientation Orientation(int page) const override;
    void DrawPage(int page, Canvas& canvas, const PageView& view) const override;
    std::string PageText(int page) const override; // the drawn document's; nothing for a blank page

    // The pages one pupil takes, blank page included.
    int PagesPerPupil() const;

private:
    // The document drawn on `page`, and its page; nullptr for a blank page.
    std::pair<const Document*, int> source(int page) const;

    std::vector<const Document*> subjects_;
};

} // namespace zeb
