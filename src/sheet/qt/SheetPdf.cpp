#include "SheetPdf.h"

#include "ArchivalPdf.h"
#include "QPainterCanvas.h"
#include "core/Errors.h"
#include "platform/Platform.h"

#include <QBuffer>
#include <QDateTime>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <string_view>

namespace zeb {
namespace {

// A PDF is printed at actual size on printers that cannot reach the paper's edge. Laid out
// from the paper's corner, the table's left rule (1.35 mm in) would fall in that margin; laid
// out as a printer with quarter-inch margins prints it, the page comes out whole on the usual
// printers, whose unprintable margin is 4 to 6 mm.
constexpr double PrinterMarginInches = PrintableInset / LayoutDpi; // 6.35 mm

[[noreturn]] void fail(const std::filesystem::path& file, const QString& reason) {
    throw ZebError("Impossible d'écrire le fichier PDF « " + Utf8FromPath(file) +
                   " » : " + reason.toStdString() + ".");
}

QPageLayout::Orientation qtOrientation(PageOrientation orientation) {
    return orientation == PageOrientation::Landscape ? QPageLayout::Landscape : QPageLayout::Portrait;
}

// Starts the painting of an archival PDF. Qt dates the document information itself as the
// painting starts, and the metadata, given before, must carry the same second: when the second
// turned in between, the start is made again.
void beginArchival(QPainter& painter, QPdfWriter& writer, QBuffer& pdf, const std::filesystem::path& file) {
    for (int attempt = 1;; ++attempt) {
        const QDateTime now = QDateTime::currentDateTime();
        writer.setDocumentXmpMetadata(ArchivalMetadata(writer.title(), writer.creator(), now));
        if (!painter.begin(&writer))
            fail(file, QStringLiteral("le moteur PDF n'a pas pu démarrer"));
        if (attempt == 3 || pdf.data().contains("/CreationDate (" + PdfInfoDate(now) + ')'))
            return;
        painter.end();
        pdf.close();
        pdf.setData(QByteArray());
        pdf.open(QIODevice::WriteOnly);
    }
}

} // namespace

int WriteDocumentPdf(const std::filesystem::path& file, const std::vector<const Document*>& documents,
                     const QString& title) {
    int total = 0;
    for (const Document* document : documents)
        total += document->PageCount();
    if (total == 0)
        fail(file, QStringLiteral("aucune page à y mettre"));
    // Drawn in memory, then written in one go: a failing write is then one system call, whose
    // error number says why (a full disk, a refused folder).
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);

    int pages = 0;
    {
        // PDF/A-1b, for files a school keeps for years: fonts embedded, colours with their
        // profile, no transparency (the pages use none).
        QPdfWriter writer(&pdf);
        writer.setPdfVersion(QPagedPaintDevice::PdfVersion_A1b);
        writer.setCreator(QStringLiteral("ZEB v2"));
        writer.setTitle(ArchivalTitle(title));
        const PageOrientation first = documents.front()->PageCount() > 0 ? documents.front()->Orientation(0)
                                                                         : PageOrientation::Portrait;
        writer.setPageLayout(
            QPageLayout(QPageSize(QPageSize::A4), qtOrientation(first), QMarginsF(0, 0, 0, 0)));
        const PageView paper = PageView::Paper(writer.logicalDpiX(), writer.logicalDpiY());

        QPainter painter;
        beginArchival(painter, writer, pdf, file);
        QPainterCanvas canvas(painter, SheetFont());
        for (const Document* document : documents) {
            for (int page = 0; page < document->PageCount(); ++page) {
                // The orientation applies from the next page on.
                if (pages > 0) {
                    writer.setPageOrientation(qtOrientation(document->Orientation(page)));
                    if (!writer.newPage())
                        fail(file, QStringLiteral("impossible d'ajouter une page"));
                }
                painter.save();
                painter.translate(PrinterMarginInches * writer.logicalDpiX(),
                                  PrinterMarginInches * writer.logicalDpiY());
                document->DrawPage(page, canvas, paper);
                painter.restore();
                ++pages;
            }
        }
        painter.end();
    }
    pdf.close();
    // Readers show the author and pick a voice from the language of these entries.
    QByteArray bytes = pdf.data();
    AddAuthorAndLanguage(bytes);

    // As every file about pupils: complete or not at all, private, and a symbolic link in its
    // place is replaced rather than written through (Qt's QSaveFile would follow it).
    if (const int error =
            ReplaceFile(file, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
        error != 0)
        fail(file, QString::fromStdString(FrenchReason(error)));
    return pages;
}

int WriteSheetsPdf(const std::filesystem::path& file, const SheetSource& source,
                   const std::vector<Subject>& subjects, std::int32_t firstPupil, std::int32_t lastPupil) {
    const SubjectDocuments<SheetDocument> sheets(subjects, source, firstPupil, lastPupil);
    int total = 0;
    for (const Document* document : sheets.list())
        total += document->PageCount();
    if (total == 0)
        fail(file, QStringLiteral("aucune fiche à y mettre"));
    return WriteDocumentPdf(file, sheets.list(), QStringLiteral("Fiches de résultats - EVALUATION CE2"));
}

int WriteSheetsPdf(const std::filesystem::path& file, const SheetSource& source,
                   const std::vector<Subject>& subjects) {
    return WriteSheetsPdf(file, source, subjects, 1, source.Class.PupilCount);
}

} // namespace zeb
