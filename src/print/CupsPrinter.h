#pragma once

// The system's printer through Qt's printing and CUPS: what the printing module holds.

#include "print/SheetPrinter.h"

#include <QPageLayout>
#include <QPointF>
#include <memory>

namespace zeb {

// Where the printer's printable area starts, in device pixels from the corner of the paper.
// The sheet is laid out from the corner of what the printer can print, not of the paper, so
// that its left border and first letters never fall in the margin a printer cannot reach.
QPointF PrintableOrigin(const QPageLayout& layout, int dpiX, int dpiY);

// The system's default printer, through CUPS: a fresh one for each job.
std::unique_ptr<SheetPrinter> MakeCupsPrinter();

} // namespace zeb
