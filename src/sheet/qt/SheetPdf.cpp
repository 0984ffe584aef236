#include "SheetPdf.h"

#include "QPainterCanvas.h"
#include "core/Errors.h"
#include "sheet/ResultSheet.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <algorithm>
#include <memory>

namespace zeb {
namespace {

// Window pixels per inch the sheet layout is written in.
constexpr double LayoutDpi = 96.0;

// A PDF is printed at actual size on printers that cannot reach the paper's edge. Laid out
// from the paper's corner, the table's left rule (1.35 mm in) would fall in that margin; laid
// out as a printer with quarter-inch margins prints it, the sheet comes out whole on the usual
// printers, whose unprintable margin is 4 to 6 mm.
constexpr double PrinterMarginInches = 0.25; // 6.35 mm

[[noreturn]] void fail(const std::filesystem::path& file, const QString& reason) {
    throw ZebError("Impossible d'écrire le fichier PDF « " + file.string() + " » : " + reason.toStdString() +
                   ".");
}

} // namespace

int WriteSheetsPdf(const std::filesystem::path& file, const ProgramState& state,
                   const std::vector<Subject>& subjects) {
    return WriteSheetsPdf(file, state, subjects, 1, state.Class.PupilCount);
}

int WriteSheetsPdf(const std::filesystem::path& file, const ProgramState& state,
                   const std::vector<Subject>& subjects, std::int32_t firstPupil, std::int32_t lastPupil) {
    firstPupil = std::max(firstPupil, 1);
    lastPupil = std::min(lastPupil, state.Class.PupilCount);
    if (firstPupil > lastPupil || subjects.empty())
        fail(file, QStringLiteral("aucune fiche à y mettre"));
    QSaveFile output(QString::fromStdString(file.string()));
    if (!output.open(QIODevice::WriteOnly))
        fail(file, output.errorString());
    output.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    int pages = 0;
    {
        QPdfWriter writer(&output);
        writer.setCreator(QStringLiteral("ZEB v2"));
        writer.setTitle(QStringLiteral("Fiches de résultats - EVALUATION CE2"));
        writer.setPageLayout(
            QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));

        // Paper is drawn at zoom 1.0 without offsets, whatever the preview shows.
        auto paper = std::make_unique<ProgramState>(state);
        paper->View.ZoomFactor = 1.0;
        paper->View.HorizontalOffset = 0;
        paper->View.VerticalOffset = 0;
        const double scaleX = writer.logicalDpiX() / LayoutDpi;
        const double scaleY = writer.logicalDpiY() / LayoutDpi;

        QPainter painter;
        if (!painter.begin(&writer))
            fail(file, QStringLiteral("le moteur PDF n'a pas pu démarrer"));
        painter.translate(PrinterMarginInches * writer.logicalDpiX(),
                          PrinterMarginInches * writer.logicalDpiY());
        QPainterCanvas canvas(painter, SheetFont());
        for (const Subject subject : subjects) {
            for (std::int32_t pupil = firstPupil; pupil <= lastPupil; ++pupil) {
                if (pages > 0 && !writer.newPage())
                    fail(file, QStringLiteral("impossible d'ajouter une page"));
                DrawResultSheet(subject, canvas, scaleX, scaleY, pupil, *paper);
                ++pages;
            }
        }
        painter.end();
    }
    if (output.error() != QFileDevice::NoError)
        fail(file, output.errorString());
    if (!output.commit())
        fail(file, output.errorString());
    return pages;
}

} // namespace zeb
