#pragma once

#include "core/Evaluation.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QFont;
class QWidget;

namespace zeb {

class Document;
class SheetPrinter;

// A document on its way out of the preview, to the printer or to a PDF file, with the words
// that name it there. Pupils' sheets and the class synthesis differ in these words only.
struct Printout {
    const Document& document;
    QString jobTitle; // the print job's, as the printer queue shows it
    QString pdfTitle; // the PDF file's own title
    QString fileName; // proposed in the teacher's documents folder, without ".pdf"
    QString named;    // in the question offering a PDF file ("la fiche", "la synthèse")
    // Told once the PDF file is written, followed by its full path; empty: nothing is told.
    QString savedIn;
    // What a failed print lost, to retell the printer's message with; empty: the message, told
    // for the one sheet a printer prints, stands as it is.
    std::string lost;
};

// The sheets of pupils first..last in `subject`, of a class of `classSize` pupils. A single
// sheet's file is named after `pupilName` (after the pupil's number when empty); the PDF's
// title names the class (`className`, as the export names it): "Fiches de résultats – CE2 A".
Printout SheetsPrintout(const Document& sheets, Subject subject, std::int32_t first, std::int32_t last,
                        std::int32_t classSize, const QString& pupilName, const QString& className);
// The class synthesis, its file named after the class (`className`, as the export names it;
// left out when empty) and the subject: "synthese-CE2 A-francais"; its title "Synthèse de la
// classe – CE2 A".
Printout SynthesisPrintout(const Document& synthesis, Subject subject, const QString& className);

using PrinterMaker = std::function<std::unique_ptr<SheetPrinter>()>;

// One print job with every page of the document, on a printer made for it, in `font`.
void Print(const Printout& printout, const PrinterMaker& makePrinter, const QFont& font);

// Print, and with no printer to print on, OfferPdf with the printer's reason. Any other
// failure to print is thrown, retold with what was lost.
void PrintOrOfferPdf(QWidget* parent, const Printout& printout, const PrinterMaker& makePrinter,
                     const QFont& font);

// Asks the teacher, after `reason`, whether to save the document in a PDF file instead (to
// print later or elsewhere), and does so on a yes.
void OfferPdf(QWidget* parent, const std::string& reason, const Printout& printout);

// The document in the PDF file the teacher names in the save dialog, which proposes the
// printout's file name in the documents folder (the home folder without one); ".pdf" is added
// to a name without it. A cancel writes nothing. Once written, the printout's savedIn words
// tell where.
void SaveAsPdf(QWidget* parent, const Printout& printout);

} // namespace zeb
