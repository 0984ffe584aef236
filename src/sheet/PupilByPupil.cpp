#include "PupilByPupil.h"

#include <stdexcept>
#include <utility>

namespace zeb {

PupilByPupilDocument::PupilByPupilDocument(std::vector<const Document*> subjects)
    : subjects_(std::move(subjects)) {
    for (const Document* subject : subjects_)
        if (subject->PageCount() != subjects_.front()->PageCount())
            throw std::invalid_argument("PupilByPupilDocument: documents of different lengths");
}

int PupilByPupilDocument::PagesPerPupil() const {
    const int pages = static_cast<int>(subjects_.size());
    return pages + pages % 2;
}

int PupilByPupilDocument::PageCount() const {
    return subjects_.empty() ? 0 : subjects_.front()->PageCount() * PagesPerPupil();
}

std::pair<const Document*, int> PupilByPupilDocument::source(int page) const {
    const int pupil = page / PagesPerPupil();
    const auto subject = static_cast<std::size_t>(page % PagesPerPupil());
    if (subject >= subjects_.size())
        return {nullptr, 0};
    return {subjects_[subject], pupil};
}

PageOrientation PupilByPupilDocument::Orientation(int page) const {
    const auto [document, inner] = source(page);
    return document != nullptr ? document->Orientation(inner) : PageOrientation::Portrait;
}

void PupilByPupilDocument::DrawPage(int page, Canvas& canvas, const PageView& view) const {
    if (const auto [document, inner] = source(page); document != nullptr)
        document->DrawPage(inner, canvas, view);
}

std::string PupilByPupilDocument::PageText(int page) const {
    const auto [document, inner] = source(page);
    return document != nullptr ? document->PageText(inner) : std::string();
}

} // namespace zeb
