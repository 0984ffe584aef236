#pragma once
// Placeholder until the synthesis pages land: three pages with a title each.
#include "sheet/Document.h"
#include "sheet/ResultSheet.h"
namespace zeb {
class SynthesisDocument final : public Document {
public:
    SynthesisDocument(Subject subject, const SheetSource& source) : subject_(subject), source_(source) {}
    int PageCount() const override { return 3; }
    PageOrientation Orientation(int page) const override {
        return page == 0 ? PageOrientation::Landscape : PageOrientation::Portrait;
    }
    void DrawPage(int page, Canvas& canvas, const PageView& view) const override {
        canvas.setFontSize(static_cast<int>(20 * view.ZoomFactor));
        canvas.textOut(static_cast<int>(10 * view.ScaleX + 1 - view.HorizontalOffset),
                       static_cast<int>(16 * view.ScaleY * (1 - view.VerticalOffset)),
                       page == 0 ? "TABLEAU" : "SYNTHESE");
    }

private:
    Subject subject_;
    SheetSource source_;
};
} // namespace zeb
