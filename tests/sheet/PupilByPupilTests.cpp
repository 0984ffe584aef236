#include "RecordingCanvas.h"
#include "sheet/PupilByPupil.h"

#include <gtest/gtest.h>
#include <string>

using namespace zeb;

namespace {

// One page per pupil, each page drawing "<subject><pupil>".
class Pages final : public Document {
public:
    Pages(char subject, int pupils) : subject_(subject), pupils_(pupils) {}
    int PageCount() const override { return pupils_; }
    PageOrientation Orientation(int) const override { return PageOrientation::Portrait; }
    void DrawPage(int page, Canvas& canvas, const PageView&) const override {
        canvas.textOut(0, 0, std::string(1, subject_) + std::to_string(page + 1));
    }

private:
    char subject_;
    int pupils_;
};

// What each page shows, "-" for a blank one.
std::string drawn(const Document& document) {
    std::string pages;
    for (int page = 0; page < document.PageCount(); ++page) {
        test::RecordingCanvas canvas;
        document.DrawPage(page, canvas, PageView{});
        pages +=
            (page > 0 ? " " : "") + (canvas.texts.empty() ? std::string("-") : canvas.texts.front().text);
    }
    return pages;
}

} // namespace

TEST(PupilByPupilDocument, EachPupilStartsOnTheFrontOfASheet) {
    const Pages french('F', 3), maths('M', 3), third('X', 3);
    const std::pair<std::vector<const Document*>, std::string> cases[] = {
        {{&french, &maths}, "F1 M1 F2 M2 F3 M3"}, // back to back, no blank needed
        {{&maths}, "M1 - M2 - M3 -"},             // a blank back for each pupil
        {{&french, &maths, &third}, "F1 M1 X1 - F2 M2 X2 - F3 M3 X3 -"},
        {{}, ""},
    };
    for (const auto& [documents, expected] : cases)
        EXPECT_EQ(drawn(PupilByPupilDocument(documents)), expected);
    const Pages shorter('M', 2);
    EXPECT_THROW(PupilByPupilDocument({&french, &shorter}), std::invalid_argument);
}
