#include "print/SheetPrinter.h"

namespace zeb {

void PrintDocument(SheetPrinter& printer, const Document& document, const QString& title, const QFont& font) {
    printer.SetTitle(title);
    PrintJob job(printer);
    printer.SetFont(font);
    const PageView paper = PageView::Paper(printer.PixelsPerInchX(), printer.PixelsPerInchY());
    for (int page = 0; page < document.PageCount(); ++page) {
        if (page > 0)
            printer.NewPage();
        printer.SetPageOrientation(document.Orientation(page));
        document.DrawPage(page, printer.canvas(), paper);
    }
    job.End();
}

} // namespace zeb
