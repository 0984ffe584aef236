#pragma once

#include "Options.h"
#include "PdfWriter.h"

#include <functional>
#include <memory>
#include <ostream>

namespace zeb::cli {

// Starts the PDF writing of the run; only a run that asks for a PDF calls it, before it writes
// anything. Throws ZebError when PDFs cannot be written.
using PdfWriterStart = std::function<std::unique_ptr<PdfWriter>()>;

// Does what the options ask for: the summary of a class, its files, its families' files, or a
// whole school's; the summary goes to `out`, what the user must know to `messages`. Throws
// ZebError (nothing written), Interrupted (what was begun undone). Returns the exit code.
int RunCommand(const Options& options, const PdfWriterStart& startPdf, std::ostream& out,
               std::ostream& messages);

} // namespace zeb::cli
