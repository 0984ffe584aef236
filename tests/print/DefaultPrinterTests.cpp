// What the printing module does without a print server: where the printable area starts, the
// job at the printer's own resolution, and the default printer of a system that has none (Wine
// has none). These run on every system.

#include "PdfPrinter.h"
#include "ProgramTest.h"
#include "platform/Platform.h"
#include "qtkit/FileDialog.h"
#include "qtkit/MessageBox.h"
#include "qttext/QtText.h"
#include "ui/Zeb2.h"
#include "ui/Zeb3.h"

#include <QPrinterInfo>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace zeb;
using namespace zeb::test;
namespace fs = std::filesystem;

namespace {

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

class DefaultPrinterTest : public ProgramTest {};

TEST_F(DefaultPrinterTest, AnAbortedJobLeavesNothingAndPagesAreAtThePrintersResolution) {
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
TEST_F(DefaultPrinterTest, WithoutAnyPrinterThePdfIsOfferedAndWritten) {
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
