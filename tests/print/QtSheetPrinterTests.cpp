// The job on a Qt printer as the printing module runs it on every system, on a PDF printer that
// stands in for the paper; and the default printer of a system that has none (Wine has none).

#include "Pdf.h"
#include "ProgramTest.h"
#include "platform/Platform.h"
#include "print/QtSheetPrinter.h"
#include "qtkit/FileDialog.h"
#include "qtkit/MessageBox.h"
#include "qttext/QtText.h"
#include "sheet/ResultSheet.h"
#include "sheet/SynthesisPages.h"
#include "sheet/qt/QPainterCanvas.h"
#include "sheet/qt/SheetPdf.h"
#include "ui/Zeb2.h"
#include "ui/Zeb3.h"

#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace zeb;
using namespace zeb::test;
namespace fs = std::filesystem;

namespace {

class PdfPrinter final : public QtSheetPrinter {
public:
    explicit PdfPrinter(fs::path file) : file_(std::move(file)) {}

protected:
    Opened open() override {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(QStringFromPath(file_));
        return {std::move(printer), "PDF"};
    }

private:
    fs::path file_;
};

TEST(PrintableOrigin, TheCornerOfWhatThePrinterCanPrintInDevicePixels) {
    const struct {
        QMarginsF unprintable;
        QPageLayout::Unit unit;
        int dpiX, dpiY;
        QPointF expected;
    } cases[] = {
        {{0, 0, 0, 0}, QPageLayout::Point, 600, 600, {0, 0}},
        {{12, 18, 6, 6}, QPageLayout::Point, 600, 600, {100, 150}},
        {{12, 18, 6, 6}, QPageLayout::Point, 300, 1200, {50, 300}},
        {{6.35, 4.23, 0, 0}, QPageLayout::Millimeter, 1200, 1200, {300, 199.8}},
    };
    for (const auto& [unprintable, unit, dpiX, dpiY, expected] : cases) {
        const QPageLayout layout(QPageSize(QPageSize::A4), QPageLayout::Portrait, unprintable, unit,
                                 unprintable);
        const QPointF origin = PrintableOrigin(layout, dpiX, dpiY);
        EXPECT_NEAR(origin.x(), expected.x(), 0.5) << dpiX;
        EXPECT_NEAR(origin.y(), expected.y(), 0.5) << dpiY;
    }
}

class QtSheetPrinterTest : public ProgramTest {};

// Every page, A4 in its own orientation, drawn as the PDF writer draws it: this printer has no
// unprintable margin, the PDF a quarter of an inch (18 points).
TEST_F(QtSheetPrinterTest, EveryPageInItsOrientationFromThePrintableCorner) {
    load(4, 1);
    const SheetSource source = SheetSource::Of(state());
    const SheetDocument sheets(Subject::French, source, 1, 4);
    const SynthesisDocument synthesis(Subject::Mathematics, source);
    for (const Document* document : std::initializer_list<const Document*>{&sheets, &synthesis}) {
        const fs::path printed = files / "printed.pdf";
        const fs::path reference = files / "reference.pdf";
        PdfPrinter printer(printed);
        PrintDocument(printer, *document, QStringLiteral("Synthèse"), SheetFont());
        WriteDocumentPdf(reference, {document}, QStringLiteral("Synthèse"));

        const std::vector<PdfPage> pages = PdfPages(printed);
        ASSERT_EQ(static_cast<int>(pages.size()), document->PageCount());
        for (int k = 0; k < document->PageCount(); ++k) {
            EXPECT_EQ(pages[static_cast<std::size_t>(k)].paper, "A4") << k;
            EXPECT_EQ(pages[static_cast<std::size_t>(k)].landscape(),
                      document->Orientation(k) == PageOrientation::Landscape)
                << k;
        }
        EXPECT_EQ(PdfText(printed), PdfText(reference));
        EXPECT_NEAR(PdfInkCorner(printed).x + 18, PdfInkCorner(reference).x, 1);
        EXPECT_NEAR(PdfInkCorner(printed).y + 18, PdfInkCorner(reference).y, 1);
    }
}

TEST_F(QtSheetPrinterTest, AnAbortedJobLeavesNothingAndPagesAreAtThePrintersResolution) {
    const fs::path printed = files / "abandon.pdf";
    PdfPrinter printer(printed);
    printer.SetTitle(QStringLiteral("Impression"));
    {
        PrintJob job(printer);
        EXPECT_EQ(printer.PixelsPerInchX(), QPrinter(QPrinter::HighResolution).resolution());
        printer.canvas().textOut(10, 10, "moitie de fiche");
    } // dropped without End()
    EXPECT_FALSE(fs::exists(printed));
}

// Without any printer (Wine, a new computer), "Imprimer" says so and offers the PDF, which goes
// where the teacher chooses, accents and all. Where this system has printers, the private print
// server's tests cover the same.
TEST_F(QtSheetPrinterTest, WithoutAnyPrinterThePdfIsOfferedAndWritten) {
    if (!QPrinterInfo::availablePrinters().isEmpty())
        GTEST_SKIP() << "this system has printers";
    load(3, 2);
    form2().Apercu->click();
    const fs::path chosen = files.path() / PathFromUtf8("H\xC3\xA9l\xC3\xA8ne") / "fiche.pdf";
    fs::create_directory(chosen.parent_path());
    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    FileDialog::setNextFileName(QStringFromPath(chosen));
    form3().Imprime->click();
    EXPECT_TRUE(MessageBox::lastText().startsWith(
        QStringLiteral("Aucune imprimante n'est configurée sur cet ordinateur : la fiche n'a pas été "
                       "imprimée.\nInstallez une imprimante")))
        << MessageBox::lastText().toStdString();
    EXPECT_EQ(readFile(chosen).substr(0, 5), "%PDF-");
}

} // namespace
