#pragma once

#include "core/ClassSynthesis.h"
#include "sheet/Document.h"
#include "sheet/ItemPages.h"
#include "sheet/ResultSheet.h"

#include <vector>

namespace zeb {

// The class synthesis of one subject: the class table (landscape), the objective by
// objective synthesis, the needs groups on as many pages as they take, then the item
// analysis (ItemDocument's pages). The figures are those of the class at construction; the
// source must outlive the document.
class SynthesisDocument final : public Document {
public:
    static constexpr int ClassTablePage = 0;
    static constexpr int ClassSynthesisPage = 1;
    static constexpr int FirstGroupsPage = 2;

    SynthesisDocument(Subject subject, const SheetSource& source);

    int PageCount() const override { return FirstItemsPage() + items_.PageCount(); }
    PageOrientation Orientation(int page) const override;
    void DrawPage(int page, Canvas& canvas, const PageView& view) const override;
    // The pages' rows; the class table's key, drawn in columns, read column by column.
    std::string PageText(int page) const override;

    const SubjectSynthesis& Synthesis() const { return synthesis_; }
    int FirstItemsPage() const { return FirstGroupsPage + static_cast<int>(groupPages_.size()); }
    const ItemDocument& Items() const { return items_; }

    // The objectives first..last of one groups page.
    struct ObjectiveRun {
        std::int32_t first;
        std::int32_t last;
    };
    const std::vector<ObjectiveRun>& GroupPages() const { return groupPages_; }

private:
    SheetSource source_;
    SubjectSynthesis synthesis_;
    std::vector<ObjectiveRun> groupPages_;
    ItemDocument items_;
};

} // namespace zeb
