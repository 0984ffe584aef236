#pragma once

// A printer whose paper is a PDF file: the job as every system's printing module runs it, where
// no printer is needed.

#include "print/QtSheetPrinter.h"
#include "qttext/QtText.h"

#include <QPrinter>
#include <filesystem>

namespace zeb::test {

class PdfPrinter final : public QtSheetPrinter {
public:
    explicit PdfPrinter(std::filesystem::path file) : file_(std::move(file)) {}

protected:
    Opened open() override {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(QStringFromPath(file_));
        return {std::move(printer), "PDF"};
    }

private:
    std::filesystem::path file_;
};

} // namespace zeb::test
