// The job on a Qt printer as the printing module runs it on every system, on a PDF printer that
// stands in for the paper, read back with poppler.

#include "Pdf.h"
#include "PdfPrinter.h"
#include "ProgramTest.h"
#include "print/QtSheetPrinter.h"
#include "qttext/QtText.h"
#include "sheet/ResultSheet.h"
#include "sheet/SynthesisPages.h"
#include "sheet/qt/QPainterCanvas.h"
#include "sheet/qt/SheetPdf.h"

#include <QPrinter>
#include <gtest/gtest.h>

using namespace zeb;
using namespace zeb::test;
namespace fs = std::filesystem;

namespace {

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

} // namespace
