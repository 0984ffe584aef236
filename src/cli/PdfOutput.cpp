#include "PdfOutput.h"

#include "core/Cp1252.h"
#include "sheet/qt/SheetPdf.h"

#include <QGuiApplication>
#include <iostream>

namespace zeb::cli {
namespace {

// Qt's own notices (a missing runtime folder, a platform detail) mean nothing to a
// teacher at a terminal; only its critical messages are passed on.
void onQtMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::cerr << "zeb-fiches : " << PrintableUtf8(message.toStdString()) << '\n';
}

} // namespace

struct PdfWriting::Engine {
    // Set before the application starts, which reads them.
    struct Headless {
        Headless() {
            if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
                qputenv("QT_QPA_PLATFORM", "offscreen");
            qInstallMessageHandler(onQtMessage);
        }
    } headless;
    int argc = 1;
    char name[11] = "zeb-fiches";
    char* argv[2] = {name, nullptr};
    QGuiApplication application{argc, argv};
};

PdfWriting::PdfWriting() : engine_(std::make_unique<Engine>()) {}

PdfWriting::~PdfWriting() = default;

int PdfWriting::Write(const std::filesystem::path& file, const std::vector<const Document*>& documents,
                      std::string_view titleUtf8) const {
    return WriteDocumentPdf(file, documents,
                            QString::fromUtf8(titleUtf8.data(), static_cast<qsizetype>(titleUtf8.size())));
}

} // namespace zeb::cli
