#pragma once

#include "sheet/Document.h"

#include <filesystem>
#include <string_view>
#include <vector>

namespace zeb::cli {

// Writes the documents' pages in one PDF, completely or not at all, readable by the user only;
// `titleUtf8` is the PDF's title. May be called from several threads at once. Throws ZebError.
// Returns the page count. The command's is PdfWriting (the module loaded at run time); tests
// give one of their own.
class PdfWriter {
public:
    virtual ~PdfWriter() = default;
    virtual int Write(const std::filesystem::path& file, const std::vector<const Document*>& documents,
                      std::string_view titleUtf8) const = 0;
};

} // namespace zeb::cli
