#pragma once

#include "PdfWriter.h"

#include <filesystem>
#include <memory>
#include <string_view>
#include <vector>

namespace zeb::cli {

// What writing PDF files needs (Qt's painting and fonts, no display), started once for the
// run by the main thread and ended with it. Only a run that asks for a PDF pays for it; such a
// run starts it before it writes any file, so that without the module it writes none.
class PdfWriting final : public PdfWriter {
public:
    PdfWriting(); // throws ZebError when the PDF writing cannot start
    ~PdfWriting();
    PdfWriting(const PdfWriting&) = delete;
    PdfWriting& operator=(const PdfWriting&) = delete;

    // Each call has its own writer and painter: calls may run on several threads at once.
    int Write(const std::filesystem::path& file, const std::vector<const Document*>& documents,
              std::string_view titleUtf8) const override;

private:
    struct Engine;
    std::unique_ptr<Engine> engine_;
};

} // namespace zeb::cli
