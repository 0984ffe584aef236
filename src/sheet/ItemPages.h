#pragma once

#include "core/ItemAnalysis.h"
#include "sheet/Document.h"
#include "sheet/ResultSheet.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zeb {

// The item analysis of one subject, portrait pages: "ANALYSE DES ITEMS", every item under its
// domain and objective with its success rate, its split into success / failure / no answer and
// how many pupils have a code for it; then "ITEMS LES MOINS RÉUSSIS", the ten items the class
// succeeded least, each with the pupils who failed it and those who did not answer. The figures
// are those of the class at construction; the source must outlive the document.
class ItemDocument final : public Document {
public:
    ItemDocument(Subject subject, const SheetSource& source);

    int PageCount() const override { return static_cast<int>(analysisPages_.size() + leastPages_.size()); }
    PageOrientation Orientation(int) const override { return PageOrientation::Portrait; }
    void DrawPage(int page, Canvas& canvas, const PageView& view) const override;

    const SubjectItems& Items() const { return items_; }
    // The pages before the first "ITEMS LES MOINS RÉUSSIS" page.
    int AnalysisPageCount() const { return static_cast<int>(analysisPages_.size()); }

    // What the analysis pages list: the items of one objective under its heading (objective 0:
    // the items of no objective), in the order drawn.
    struct ObjectiveItems {
        std::int32_t objective;
        int domain; // 0-based; -1 for the items of no objective
        std::vector<std::int32_t> items;
    };
    // The objectives first..last of one analysis page.
    struct BlockRun {
        std::size_t first;
        std::size_t last;
    };

    // One least successful item and the pupils to name under it, in pupil order.
    struct LeastItem {
        std::int32_t item;
        std::vector<std::int32_t> failed; // codes 3 to 9
        std::vector<std::int32_t> silent; // code 0
    };
    // One row of the "moins réussis" pages.
    struct LeastLine {
        enum class Kind : std::uint8_t { Heading, Rates, Failed, Silent };
        std::size_t block; // index into the least items
        Kind kind;
        std::size_t firstName; // for names rows: the index of its first pupil in its group
    };
    // The rows [first, end) of one "moins réussis" page.
    struct LineRun {
        std::size_t first;
        std::size_t end;
    };

private:
    void drawAnalysis(int page, Canvas& canvas, const PageView& view) const;
    void drawLeast(int page, Canvas& canvas, const PageView& view) const;

    SheetSource source_;
    SubjectItems items_;
    std::vector<ObjectiveItems> blocks_;
    std::vector<BlockRun> analysisPages_;
    std::vector<LeastItem> least_;
    std::vector<LeastLine> lines_;
    std::vector<LineRun> leastPages_;
};

} // namespace zeb
