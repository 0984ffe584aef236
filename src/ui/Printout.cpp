#include "ui/Printout.h"

#include "core/Cp1252.h"
#include "print/SheetPrinter.h"
#include "qtkit/FileDialog.h"
#include "qtkit/MessageBox.h"
#include "qttext/QtText.h"
#include "sheet/DocumentTitles.h"
#include "sheet/qt/SheetPdf.h"
#include "ui/WindowKit.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace zeb {
namespace {

QString subjectPart(Subject subject) {
    return subject == Subject::Mathematics ? QStringLiteral("maths") : QStringLiteral("francais");
}

// A name as a part of a file name: its letters and digits, a hyphen for each run of others.
QString fileNamePart(const QString& text) {
    QString part;
    for (const QChar c : text.simplified()) {
        if (c.isLetterOrNumber())
            part += c;
        else if (!part.endsWith(QLatin1Char('-')))
            part += QLatin1Char('-');
    }
    while (part.endsWith(QLatin1Char('-')))
        part.chop(1);
    return part;
}

// A class's name as part of a file name, as the teacher reads it (spaces and accents kept):
// what a file system refuses or what would open a folder ("/", "\", ":*?\"<>|", control
// characters) becomes "_", and the dots and spaces at either end go. Between the name's fixed
// start and its subject it can then be neither a device name of Windows nor the end of a name
// (where Windows drops dots and spaces): the whole name is one that every system takes.
QString classNamePart(const QString& name) {
    QString part = toQString(FileNameText(fromQString(name.simplified())));
    const auto edge = [](QChar c) { return c == QLatin1Char('.') || c == QLatin1Char(' '); };
    while (!part.isEmpty() && edge(part.front()))
        part.remove(0, 1);
    while (!part.isEmpty() && edge(part.back()))
        part.chop(1);
    return part;
}

// The PDF file's title, after the class's name as the export gives it.
QString pdfTitle(ClassDocument document, const QString& className) {
    return QString::fromStdString(ClassDocumentTitle(document, className.simplified().toStdString()));
}

QString suggestedPath(const QString& fileName) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    return QDir(folder).filePath(fileName + QStringLiteral(".pdf"));
}

} // namespace

Printout SheetsPrintout(const Document& sheets, Subject subject, std::int32_t first, std::int32_t last,
                        std::int32_t classSize, const QString& pupilName, const QString& className) {
    const QString part = subjectPart(subject);
    QString fileName;
    if (first == last) {
        const QString pupil = fileNamePart(pupilName);
        fileName = QStringLiteral("fiche-") + part + QStringLiteral("-") +
                   (pupil.isEmpty() ? QString::number(first) : pupil);
    } else {
        fileName = QStringLiteral("fiches-") + part + QStringLiteral("-eleves-%1-a-%2").arg(first).arg(last);
    }
    const QString named = first == last ? QStringLiteral("la fiche")
                          : first <= 1 && last >= classSize
                              ? QStringLiteral("les fiches de toute la classe")
                              : QStringLiteral("les fiches des élèves %1 à %2").arg(first).arg(last);
    return {sheets,
            QStringLiteral("Impression"),
            pdfTitle(ClassDocument::Sheets, className),
            fileName,
            named,
            QString(),
            {}};
}

Printout SynthesisPrintout(const Document& synthesis, Subject subject, const QString& className) {
    QString fileName = QStringLiteral("synthese-");
    if (const QString part = classNamePart(className); !part.isEmpty())
        fileName += part + QLatin1Char('-');
    fileName +=
        subject == Subject::Mathematics ? QStringLiteral("mathematiques") : QStringLiteral("francais");
    return {synthesis,
            QStringLiteral("Synthèse"),
            pdfTitle(ClassDocument::Synthesis, className),
            fileName,
            QStringLiteral("la synthèse"),
            QStringLiteral("La synthèse a été enregistrée dans :\n"),
            "la synthèse n'a pas été imprimée"};
}

void Print(const Printout& printout, const PrinterMaker& makePrinter, const QFont& font) {
    // A document without pages still makes its job, blank, as printing always has.
    PrintDocument(*makePrinter(), printout.document, printout.jobTitle, font);
}

void PrintOrOfferPdf(QWidget* parent, const Printout& printout, const PrinterMaker& makePrinter,
                     const QFont& font) {
    try {
        Print(printout, makePrinter, font);
    } catch (const NoPrinterError& error) {
        OfferPdf(parent, printout.lost.empty() ? error.what() : error.Retold(printout.lost), printout);
    } catch (const PrintError& error) {
        if (printout.lost.empty())
            throw;
        throw ZebError(error.Retold(printout.lost));
    }
}

void OfferPdf(QWidget* parent, const std::string& reason, const Printout& printout) {
    const QString question = QString::fromStdString(reason) + QStringLiteral("\n\nVoulez-vous enregistrer ") +
                             printout.named +
                             QStringLiteral(" dans un fichier PDF, à imprimer plus tard ou ailleurs ?");
    if (MessageBox::ask(parent, MessageBox::Icon::Question, question,
                        {MessageBox::Answer::Yes, MessageBox::Answer::No},
                        MessageBox::Answer::Yes) == MessageBox::Answer::Yes)
        SaveAsPdf(parent, printout);
}

void SaveAsPdf(QWidget* parent, const Printout& printout) {
    QString chosen =
        FileDialog::saveFileName(parent, QStringLiteral("Enregistrer dans un fichier PDF"),
                                 suggestedPath(printout.fileName), QStringLiteral("Document PDF (*.pdf)"));
    if (chosen.isEmpty())
        return;
    if (!chosen.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
        chosen += QStringLiteral(".pdf");
    {
        const WaitCursor wait;
        WriteDocumentPdf(PathFromQString(chosen), {&printout.document}, printout.pdfTitle);
    }
    if (!printout.savedIn.isEmpty())
        MessageBox::ask(parent, MessageBox::Icon::Information,
                        printout.savedIn + QDir::toNativeSeparators(QFileInfo(chosen).absoluteFilePath()),
                        {MessageBox::Answer::Ok}, MessageBox::Answer::Ok);
}

} // namespace zeb
