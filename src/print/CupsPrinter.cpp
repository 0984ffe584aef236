#include "print/SheetPrinter.h"

#include "sheet/qt/QPainterCanvas.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <cups/cups.h>
#include <optional>
#include <string>

namespace zeb {
namespace {

std::string utf8(const QString& text) {
    return text.toStdString();
}

QString shownName(const QPrinterInfo& info) {
    return info.description().isEmpty() ? info.printerName() : info.description();
}

// What CUPS says of the queue now. Qt reports a paused queue only as an "error" state and
// does not say whether the queue takes jobs at all, so ask CUPS itself.
struct QueueState {
    bool paused = false;
    bool accepting = true;
    std::string message; // the queue's own state message, often the reason it was paused
};

std::optional<QueueState> askQueueState(const QString& name) {
    cups_dest_t* dest = cupsGetNamedDest(nullptr, name.toLocal8Bit().constData(), nullptr);
    if (dest == nullptr)
        return std::nullopt;
    QueueState state;
    const auto option = [dest](const char* key) {
        const char* value = cupsGetOption(key, dest->num_options, dest->options);
        return std::string(value != nullptr ? value : "");
    };
    state.paused = option("printer-state") == std::to_string(IPP_PSTATE_STOPPED);
    state.accepting = option("printer-is-accepting-jobs") != "false";
    state.message = option("printer-state-message");
    cupsFreeDests(1, dest);
    return state;
}

class CupsPrinter final : public SheetPrinter {
public:
    void SetTitle(const QString& title) override { title_ = title; }

    void BeginDoc() override {
        const QPrinterInfo info = QPrinterInfo::defaultPrinter();
        if (info.isNull())
            throw NoPrinterError(
                "Aucune imprimante n'est configurée sur cet ordinateur : la fiche n'a pas été imprimée.\n"
                "Installez une imprimante et choisissez-la comme imprimante par défaut dans les réglages "
                "du système, puis recommencez.");
        name_ = shownName(info);
        checkQueue(info.printerName());

        printer_ = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
        printer_->setDocName(title_);
        printer_->setPageLayout(
            QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
        printer_->setFullPage(true); // the painter's origin is the corner of the paper
        if (!painter_.begin(printer_.get())) {
            printer_.reset();
            throw PrintError("L'impression sur « " + utf8(name_) +
                             " » n'a pas pu commencer : la fiche n'a pas été imprimée.");
        }
        canvas_ = std::make_unique<QPainterCanvas>(painter_, SheetFont());
    }

    void SetFont(const QFont& font) override { canvas_ = std::make_unique<QPainterCanvas>(painter_, font); }
    Canvas& canvas() override { return *canvas_; }
    int PixelsPerInchX() const override { return printer_->logicalDpiX(); }
    int PixelsPerInchY() const override { return printer_->logicalDpiY(); }

    void EndDoc() override {
        canvas_.reset();
        const bool ended = painter_.end(); // the job is handed to CUPS here
        printer_.reset();
        // Qt drops the answer of CUPS to the job: a queue that refuses it still ends "well".
        const ipp_status_t status = cupsLastError();
        if (!ended || status > IPP_STATUS_OK_EVENTS_COMPLETE) {
            const char* reason = cupsLastErrorString();
            throw PrintError("L'imprimante « " + utf8(name_) +
                             " » n'a pas accepté la fiche : elle n'a pas été imprimée." +
                             (ended && reason != nullptr && *reason != '\0'
                                  ? std::string("\n(Réponse du service d'impression : ") + reason + ")"
                                  : std::string()));
        }
    }

    void Abort() override {
        canvas_.reset();
        if (printer_ != nullptr)
            printer_->abort();
        if (painter_.isActive())
            painter_.end();
        printer_.reset();
    }

private:
    void checkQueue(const QString& queue) const {
        const std::optional<QueueState> state = askQueueState(queue);
        if (!state)
            return; // Qt has just found it; if it is gone since, the job itself will say so
        const std::string why = state->message.empty() ? std::string() : "\n(" + state->message + ")";
        if (state->paused)
            throw PrintError("L'imprimante « " + utf8(name_) +
                             " » est en pause : la fiche n'a pas été imprimée.\nRemettez l'imprimante en "
                             "service dans les réglages des imprimantes, puis recommencez." +
                             why);
        if (!state->accepting)
            throw PrintError("L'imprimante « " + utf8(name_) +
                             " » refuse les travaux d'impression : la fiche n'a pas été imprimée.\n"
                             "Autorisez de nouveau les travaux dans les réglages des imprimantes, puis "
                             "recommencez." +
                             why);
    }

    QString title_;
    QString name_;
    std::unique_ptr<QPrinter> printer_;
    QPainter painter_;
    std::unique_ptr<QPainterCanvas> canvas_;
};

} // namespace

std::unique_ptr<SheetPrinter> MakeSystemPrinter() {
    return std::make_unique<CupsPrinter>();
}

} // namespace zeb
