#include "PdfModule.h"

#include "core/Cp1252.h"
#include "platform/Platform.h"
#include "sheet/qt/SheetPdf.h"

#include <QGuiApplication>
#include <exception>
#include <iostream>
#include <string_view>

namespace zeb::pdfmodule {

struct Engine {
    // Set before the application starts, which reads them.
    struct Headless {
        Headless();
    } headless;
    int argc = 1;
    char name[11] = "zeb-fiches";
    char* argv[2] = {name, nullptr};
    QGuiApplication application{argc, argv};
};

namespace {

// Qt's own notices (a missing runtime folder, a platform detail) mean nothing to a
// teacher at a terminal; only its critical messages are passed on.
void onQtMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::cerr << "zeb-fiches : " << PrintableUtf8(message.toStdString()) << '\n';
}

// Nothing may unwind into the program's C calls: every failure becomes a message.
template <typename Work> bool reporting(ReportFailure report, void* context, Work&& work) {
    std::string_view message;
    try {
        work();
        return true;
    } catch (const std::exception& error) {
        message = error.what();
        report(context, message.data(), message.size());
    } catch (...) {
        message = "erreur inattendue dans l'écriture du PDF";
        report(context, message.data(), message.size());
    }
    return false;
}

Engine* start(ReportFailure report, void* context) {
    Engine* engine = nullptr;
    reporting(report, context, [&engine] { engine = new Engine; });
    return engine;
}

void stop(Engine* engine) {
    delete engine;
}

int write(const Engine*, const char* file, const Document* const* documents, std::size_t count,
          const char* title, std::size_t titleSize, ReportFailure report, void* context) {
    int pages = -1;
    reporting(report, context, [&] {
        pages =
            WriteDocumentPdf(PathFromUtf8(file), std::vector<const Document*>(documents, documents + count),
                             QString::fromUtf8(title, static_cast<qsizetype>(titleSize)));
    });
    return pages;
}

constexpr Functions Table{Version, start, stop, write};

} // namespace

Engine::Headless::Headless() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", ZEB_HEADLESS_QT_PLATFORM);
    qInstallMessageHandler(onQtMessage);
}

} // namespace zeb::pdfmodule

extern "C" ZEB_EXPORT const zeb::pdfmodule::Functions* ZebPdfModule(std::uint32_t version) {
    return version == zeb::pdfmodule::Version ? &zeb::pdfmodule::Table : nullptr;
}

extern "C" ZEB_EXPORT std::int32_t ZebPdfModuleVersion() {
    return static_cast<std::int32_t>(zeb::pdfmodule::Version);
}
