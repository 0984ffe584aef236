#include "FileAccess.h"
#include "Pdf.h"
#include "TempFolder.h"
#include "core/Errors.h"
#include "core/ObjectiveTables.h"
#include "qttext/QtText.h"
#include "sheet/SynthesisPages.h"
#include "sheet/TextWidth.h"
#include "sheet/qt/QPainterCanvas.h"
#include "sheet/qt/SheetPdf.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <string>

using namespace zeb;
using zeb::test::PdfPage;
using zeb::test::PdfPages;
using zeb::test::PdfWord;
using zeb::test::PdfWords;
using zeb::test::TempFolder;

namespace {

// A white image at the 96 pixels per inch of a screen.
QImage screenImage(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.setDotsPerMeterX(3780);
    image.setDotsPerMeterY(3780);
    image.fill(Qt::white);
    return image;
}

bool isDark(const QImage& image, int x, int y) {
    return qGray(image.pixel(x, y)) < 128;
}

int x(int k, double scale) {
    return static_cast<int>(std::lrint(k * scale + 1));
}

// Every statement of a table, drawn in the table's font size, ends left of the score columns.
template <typename Table>
void expectStatementsFit(const Table& table, QPaintDevice& device, double scale, double zoom) {
    QFont font = SheetFont();
    font.setPointSize(static_cast<int>(std::lrint(10 * zoom)));
    const QFontMetrics metrics(font, &device);
    for (int j = 1; j <= Table::ObjectiveCount; ++j) {
        const QString statement = toQString(table.ObjectiveTexts[j]);
        const int end = x(10, scale) + metrics.horizontalAdvance(statement);
        EXPECT_LT(end, x(590, scale))
            << statement.toStdString() << " at zoom " << zoom << ", scale " << scale;
    }
}

} // namespace

TEST(SheetFont, IsTimesNewRomanOrItsMetricTwin) {
    const QString family = QFontInfo(SheetFont()).family();
    EXPECT_TRUE(family == QStringLiteral("Times New Roman") || family == QStringLiteral("Liberation Serif"))
        << family.toStdString() << ": install fonts-liberation";
    EXPECT_FALSE(QFontInfo(SheetFont()).italic());
}

TEST(SheetFont, TextWidthIsTheFacesOwnAdvanceWithoutKerning) {
    // At 2048 pixels to the em, Qt's advances are the font's units, unrounded.
    QFont font = SheetFont();
    font.setPixelSize(SheetFontUnitsPerEm);
    const QFontMetricsF metrics(font);
    const double points = SheetFontUnitsPerEm * 72.0 / LayoutDpi;
    // Kerned pairs (AV, To, Wa, P.), accents, the ellipsis and the signs of Windows-1252's 0x80..0x9F.
    for (const std::string_view text :
         {"EVALUATION CE2", "AVATAR To Wa P.", "Mohammed-Wassim",
          "\xC9l\xE8ve \x85 \x80\x8C\x9C\x97 \xAB\xBB", "DESCHAMPS-DE-LA-BROSSERIE", "0123456789 % (;:)"})
        EXPECT_NEAR(TextWidth(text, points), metrics.horizontalAdvance(toQString(text)), 0.01) << text;
}

TEST(SheetFont, StatementsEndLeftOfTheScoreColumnsAtEverySize) {
    auto state = std::make_unique<ProgramState>();
    BuildObjectiveTables(*state);
    QImage screen = screenImage(10, 10);
    for (double zoom : {0.6, 0.8, 1.0}) {
        expectStatementsFit(state->FrenchTable, screen, zoom, zoom);
        expectStatementsFit(state->MathsTable, screen, zoom, zoom);
    }
    TempFolder folder;
    QPdfWriter paper(QString::fromStdString((folder / "fit.pdf").string()));
    const double scale = paper.logicalDpiX() / 96.0;
    expectStatementsFit(state->FrenchTable, paper, scale, 1.0);
    expectStatementsFit(state->MathsTable, paper, scale, 1.0);
}

TEST(QPainterCanvas, TextHangsFromItsTopLeftCornerOnAnOpaqueCell) {
    QImage image = screenImage(400, 100);
    {
        QPainter painter(&image);
        QPainterCanvas canvas(painter, SheetFont());
        canvas.line(0, 50, 399, 50);
        canvas.setFontSize(12);
        canvas.textOut(10, 40, "EVALUATION CE2");
    }
    int top = -1, bottom = -1, left = -1;
    for (int y = 0; y < image.height(); ++y) {
        if (y == 50)
            continue;
        for (int px = 0; px < image.width(); ++px) {
            if (!isDark(image, px, y))
                continue;
            top = top < 0 ? y : top;
            bottom = y;
            left = left < 0 ? px : std::min(left, px);
        }
    }
    // Capital letters start a little below the cell's top and end on the baseline.
    EXPECT_GE(top, 41);
    EXPECT_LE(top, 46);
    EXPECT_LE(bottom, 40 + 16);
    EXPECT_GE(left, 10);
    EXPECT_LE(left, 12);
    // The rule stays outside the text and is covered inside the text's white cell.
    EXPECT_TRUE(isDark(image, 390, 50));
    EXPECT_FALSE(isDark(image, 5, 50) && isDark(image, 30, 50) && isDark(image, 60, 50));
}

TEST(SheetPdf, OnePagePerPupilAndSubject) {
    auto state = std::make_unique<ProgramState>();
    BuildObjectiveTables(*state);
    state->Class.PupilCount = 3;
    TempFolder folder;
    EXPECT_EQ(
        WriteSheetsPdf(folder / "f.pdf", SheetSource::Of(*state), {Subject::French, Subject::Mathematics}),
        6);
    EXPECT_EQ(WriteSheetsPdf(folder / "m.pdf", SheetSource::Of(*state), {Subject::Mathematics}), 3);
    EXPECT_TRUE(zeb::test::ReadableByUserOnly(folder / "m.pdf"));
    EXPECT_THROW(WriteSheetsPdf(folder / "none" / "x.pdf", SheetSource::Of(*state), {Subject::French}),
                 ZebError);
    EXPECT_FALSE(std::filesystem::exists(folder / "none"));
    // The preview's view is not the paper's: the state handed in is left as it was.
    EXPECT_EQ(state->View, ViewState{});
}

// The box poppler gives the first word `word` of page `page`, in points from the paper's
// top-left corner; {-1, -1} when it is not there.
QPointF wordCorner(const std::filesystem::path& pdf, int page, const std::string& word) {
    for (const PdfWord& found : PdfWords(pdf, page))
        if (found.text == word)
            return {found.xMin, found.yMin};
    return {-1, -1};
}

TEST(SheetPdf, SheetStartsWhereAQuarterInchMarginPrinterWouldPrint) {
    auto state = std::make_unique<ProgramState>();
    BuildObjectiveTables(*state);
    state->Class.PupilCount = 2;
    TempFolder folder;
    const std::filesystem::path pdf = folder / "fiches.pdf";
    ASSERT_EQ(WriteSheetsPdf(pdf, SheetSource::Of(*state), {Subject::French, Subject::Mathematics}), 4);

    // Layout pixel k lies at round(k x 1200 / 96 + 1) of the writer's 1200 dpi, then 18 points
    // (6.35 mm) of margin; a row is 12 points and the head line is row 1.
    const auto points = [](int k) { return 18.0 + std::nearbyint(k * 12.5 + 1) * 72.0 / 1200.0; };
    const struct Case {
        int page;
        std::string word;
        int layoutX, row;
    } cases[] = {{1, "EVALUATION", 10, 1}, {2, "RESULTATS", 190, 2}, {4, "RESULTATS", 150, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE("page " + std::to_string(c.page) + ", " + c.word);
        const QPointF corner = wordCorner(pdf, c.page, c.word);
        EXPECT_NEAR(corner.x(), points(c.layoutX), 0.05);
        // The text hangs from the row's top.
        EXPECT_GE(corner.y(), 18.0 + 12.0 * c.row - 0.5);
        EXPECT_LT(corner.y(), 18.0 + 12.0 * c.row + 6.0);
    }
}

TEST(SheetPdf, SynthesisStartsWithALandscapeTableThenPortraitPages) {
    auto state = std::make_unique<ProgramState>();
    BuildObjectiveTables(*state);
    state->Class.PupilCount = 2;
    const SynthesisDocument french(Subject::French, SheetSource::Of(*state));
    const SynthesisDocument maths(Subject::Mathematics, SheetSource::Of(*state));
    TempFolder folder;
    const std::filesystem::path pdf = folder / "synthese.pdf";
    const int pages = french.PageCount() + maths.PageCount();
    ASSERT_EQ(WriteDocumentPdf(pdf, {&french, &maths}, QStringLiteral("Synth\u00e8se")), pages);
    const std::vector<PdfPage> read = PdfPages(pdf);
    ASSERT_EQ(read.size(), static_cast<std::size_t>(pages));
    for (int page = 1; page <= pages; ++page) {
        const bool table = page == 1 || page == french.PageCount() + 1;
        const PdfPage& size = read[static_cast<std::size_t>(page - 1)];
        EXPECT_EQ(size.width, table ? 842 : 595) << "page " << page;
        EXPECT_EQ(size.height, table ? 595 : 842) << "page " << page;
    }
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
