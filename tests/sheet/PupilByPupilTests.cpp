#include "RecordingCanvas.h"
#include "sheet/PupilByPupil.h"

#include <gtest/gtest.h>
#include <string>

using namespace zeb;

namespace {

// One page per pupil, each drawing "<subject><pupil>".
struct Pages final : Document {
    Pages(char s, int n) : subject(s), pupils(n) {}
    int PageCount() const override { return pupils; }
    PageOrientation Orientation(int) const override { return PageOrientation::Portrait; }
    void DrawPage(int page, Canvas& canvas, const PageView&) const override {
        canvas.textOut(0, 0, subject + std::to_string(page + 1));
    }
    char subject;
    int pupils;
};

} // namespace

TEST(PupilByPupilDocument, EachPupilStartsOnTheFrontOfASheet) {
    const Pages french('F', 3), maths('M', 3), third('X', 3), shorter('M', 2);
    const std::pair<std::vector<const Document*>, std::string> cases[] = {
        {{&french, &maths}, "F1 M1 F2 M2 F3 M3 "}, // back to back, no blank needed
        {{&maths}, "M1 - M2 - M3 - "},             // a blank back for each pupil
        {{&french, &maths, &third}, "F1 M1 X1 - F2 M2 X2 - F3 M3 X3 - "},
    };
    for (const auto& [documents, expected] : cases) {
        const PupilByPupilDocument document(documents);
        std::string drawn;
        for (int page = 0; page < document.PageCount(); ++page) {
            test::RecordingCanvas canvas;
            document.DrawPage(page, canvas, PageView{});
            drawn += (canvas.texts.empty() ? "-" : canvas.texts.front().text) + " ";
        }
        EXPECT_EQ(drawn, expected);
    }
    EXPECT_THROW(PupilByPupilDocument({&french, &shorter}), std::invalid_argument);
}
