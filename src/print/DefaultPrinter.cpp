// The system's default printer, the same on every system but for what PrintQueue.h asks of
// the printing system itself.

#include "print/PrintQueue.h"
#include "print/QtSheetPrinter.h"

#include <QPrinter>
#include <QPrinterInfo>
#include <QStringList>

namespace zeb {
namespace {

QString shownName(const QPrinterInfo& info) {
    return info.description().isEmpty() ? info.printerName() : info.description();
}

// With printers installed but none chosen as the default, Qt would silently print on the
// first one: say so, and name them, so the teacher knows which to choose.
NoPrinterError noDefaultPrinter() {
    const QList<QPrinterInfo> installed = QPrinterInfo::availablePrinters();
    if (installed.isEmpty())
        return NoPrinterError("Aucune imprimante n'est configurée sur cet ordinateur",
                              "Installez une imprimante et choisissez-la comme imprimante par défaut "
                              "dans les réglages du système, puis recommencez.");
    QStringList names;
    for (const QPrinterInfo& printer : installed) {
        const QString shown = shownName(printer);
        names << (shown == printer.printerName()
                      ? shown
                      : shown + QStringLiteral(" (") + printer.printerName() + QStringLiteral(")"));
    }
    const std::string also = queue::ChooseDefaultAlso();
    return NoPrinterError("Aucune imprimante n'est choisie par défaut",
                          "Imprimantes installées : " + names.join(QStringLiteral(", ")).toStdString() +
                              ". Choisissez-en une comme imprimante par défaut dans les réglages des "
                              "imprimantes" +
                              (also.empty() ? std::string() : " " + also) + ", puis recommencez.");
}

class DefaultPrinter final : public QtSheetPrinter {
protected:
    Opened open() override {
        const QPrinterInfo info = QPrinterInfo::defaultPrinter();
        if (info.isNull())
            throw noDefaultPrinter();
        std::string name = shownName(info).toStdString();
        queue::CheckReady(info, name);
        return {std::make_unique<QPrinter>(info, QPrinter::HighResolution), std::move(name)};
    }

    void handedOver(bool ended, const std::string& name) override { queue::CheckHandedOver(ended, name); }
};

} // namespace

std::unique_ptr<SheetPrinter> MakeDefaultPrinter() {
    return std::make_unique<DefaultPrinter>();
}

} // namespace zeb
