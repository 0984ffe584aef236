#pragma once

#include "core/Errors.h"
#include "sheet/Canvas.h"
#include "sheet/Document.h"

#include <QFont>
#include <QString>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace zeb {

// A print that could not be done; the message says why, in French, for the error box. It is
// told for the one sheet being printed; a run over several sheets tells what it lost in its
// own words through Retold.
class PrintError : public ZebError {
public:
    // A message complete as it stands.
    explicit PrintError(const std::string& message) : ZebError(message), cause_(message) {}
    // What went wrong (no final stop) and what the teacher can do about it (may be empty).
    PrintError(std::string cause, std::string advice)
        : ZebError(Tell(cause, "la fiche n'a pas été imprimée", advice)), cause_(std::move(cause)),
          advice_(std::move(advice)), structured_(true) {}

    // The message with `lost` (a clause without its final stop) in place of the one sheet.
    std::string Retold(const std::string& lost) const {
        if (!structured_)
            return cause_ + "\n" + Capitalized(lost) + ".";
        return Tell(cause_, lost, advice_);
    }

private:
    static std::string Tell(const std::string& cause, const std::string& lost, const std::string& advice) {
        return cause + " : " + lost + "." + (advice.empty() ? std::string() : "\n" + advice);
    }
    static std::string Capitalized(std::string text) {
        if (!text.empty() && text[0] >= 'a' && text[0] <= 'z')
            text[0] = static_cast<char>(text[0] - 'a' + 'A');
        return text;
    }

    std::string cause_;
    std::string advice_;
    bool structured_ = false;
};

// This computer has no printer to print on: the teacher may want a PDF file instead.
class NoPrinterError : public PrintError {
public:
    using PrintError::PrintError;
};

// One print job on a printer, drawn through the pages' canvas. A job is titled before it
// begins; every begun job is either ended (handed over to the printer) or aborted.
class SheetPrinter {
public:
    virtual ~SheetPrinter() = default;

    virtual void SetTitle(const QString& title) = 0;
    virtual void BeginDoc() = 0; // throws PrintError; the first page is begun, in portrait
    // What follows holds between BeginDoc and EndDoc.
    virtual void SetFont(const QFont& font) = 0; // the canvas's face; the pages set the sizes
    // The orientation of the page being drawn, set before anything is drawn on it.
    virtual void SetPageOrientation(PageOrientation orientation) = 0;
    virtual void NewPage() = 0;   // the next page, in portrait
    virtual Canvas& canvas() = 0; // the page being drawn
    virtual int PixelsPerInchX() const = 0;
    virtual int PixelsPerInchY() const = 0;
    virtual void EndDoc() = 0; // hands the job over; throws PrintError when it is refused
    virtual void Abort() = 0;  // drops a begun job: nothing reaches the printer; never throws
};

// A begun job that is not ended by the time this goes is aborted, so a failure while
// drawing never sends half a page.
class PrintJob {
public:
    explicit PrintJob(SheetPrinter& printer) : printer_(printer) { printer_.BeginDoc(); }
    ~PrintJob() {
        if (!ended_)
            printer_.Abort();
    }
    PrintJob(const PrintJob&) = delete;
    PrintJob& operator=(const PrintJob&) = delete;

    void End() {
        ended_ = true; // a refused end leaves nothing to abort
        printer_.EndDoc();
    }

private:
    SheetPrinter& printer_;
    bool ended_ = false;
};

// One job holding every page of the document, drawn as on paper in the given face. The
// job is handed over only once every page is drawn; a failure drops it whole.
void PrintDocument(SheetPrinter& printer, const Document& document, const QString& title, const QFont& font);

// The system's default printer: a fresh one for each job, so a printer set up while the
// program runs is found. Printing needs Qt's printing and CUPS, which the program does not
// load to start: they come in the printing module, loaded on the first print. Without that
// module this throws NoPrinterError, so the teacher can still save the sheets as PDF.
std::unique_ptr<SheetPrinter> MakeSystemPrinter();

// Loads the printing module from the first of these files that is one, and gives its
// maker of new printers (the caller owns each). Throws NoPrinterError, saying why, when
// none is.
using NewPrinterFunction = SheetPrinter* (*)();
NewPrinterFunction LoadPrintModule(const std::vector<std::filesystem::path>& candidates);

} // namespace zeb
