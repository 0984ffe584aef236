#include "print/CupsPrinter.h"

#include "sheet/qt/QPainterCanvas.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <array>
#include <cups/cups.h>
#include <optional>
#include <string>
#include <vector>

namespace zeb {
namespace {

QPageLayout::Orientation qtOrientation(PageOrientation orientation) {
    return orientation == PageOrientation::Landscape ? QPageLayout::Landscape : QPageLayout::Portrait;
}

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

// A page's drawing calls, kept to be painted on the printer in one go.
class RecordedPage final : public Canvas {
public:
    PageOrientation orientation = PageOrientation::Portrait;

    void setFontSize(int points) override { calls_.push_back({Kind::FontSize, {points, 0, 0, 0}, {}}); }
    void textOut(int x, int y, std::string_view cp1252) override {
        calls_.push_back({Kind::Text, {x, y, 0, 0}, std::string(cp1252)});
    }
    void line(int x1, int y1, int x2, int y2) override {
        calls_.push_back({Kind::Line, {x1, y1, x2, y2}, {}});
    }
    void fillRect(int x, int y, int width, int height, Fill fill) override {
        calls_.push_back({Kind::Fill, {x, y, width, height}, {}, fill});
    }
    void setTextOpaque(bool opaque) override {
        calls_.push_back({Kind::Opaque, {opaque ? 1 : 0, 0, 0, 0}, {}});
    }

    void replay(Canvas& canvas) const {
        for (const Call& call : calls_) {
            const auto& [a, b, c, d] = call.values;
            switch (call.kind) {
            case Kind::FontSize:
                canvas.setFontSize(a);
                break;
            case Kind::Text:
                canvas.textOut(a, b, call.text);
                break;
            case Kind::Line:
                canvas.line(a, b, c, d);
                break;
            case Kind::Fill:
                canvas.fillRect(a, b, c, d, call.fill);
                break;
            case Kind::Opaque:
                canvas.setTextOpaque(a != 0);
                break;
            }
        }
    }

private:
    enum class Kind { FontSize, Text, Line, Fill, Opaque };
    struct Call {
        Kind kind;
        std::array<int, 4> values;
        std::string text;
        Fill fill = Fill::Light;
    };
    std::vector<Call> calls_;
};

class CupsPrinter final : public SheetPrinter {
public:
    void SetTitle(const QString& title) override { title_ = title; }

    void BeginDoc() override {
        const QPrinterInfo info = QPrinterInfo::defaultPrinter();
        if (info.isNull())
            throw noDefaultPrinter();
        name_ = shownName(info);
        checkQueue(info.printerName());

        printer_ = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
        printer_->setDocName(title_);
        // Page size and orientation alone: a whole layout with margins narrower than the
        // printer can print is refused, and with it the A4 size.
        printer_->setPageSize(QPageSize(QPageSize::A4));
        printer_->setPageOrientation(QPageLayout::Portrait);
        printer_->setFullPage(true); // the painter's origin is the corner of the paper
        pages_.assign(1, RecordedPage{});
        font_ = SheetFont();
    }

    void SetFont(const QFont& font) override { font_ = font; }
    void SetPageOrientation(PageOrientation orientation) override { pages_.back().orientation = orientation; }
    void NewPage() override { pages_.emplace_back(); }
    Canvas& canvas() override { return pages_.back(); }
    int PixelsPerInchX() const override { return printer_->logicalDpiX(); }
    int PixelsPerInchY() const override { return printer_->logicalDpiY(); }

    void EndDoc() override {
        // Qt sends whatever was painted once painting ends, and cannot take a page back: the
        // page is painted only now that it is complete, so an abandoned job never prints.
        const std::unique_ptr<QPrinter> printer = std::move(printer_);
        const std::vector<RecordedPage> pages = std::move(pages_);
        pages_.clear();
        printer->setPageOrientation(qtOrientation(pages.front().orientation));
        QPainter painter;
        if (!painter.begin(printer.get()))
            throw PrintError("L'impression sur « " + utf8(name_) + " » n'a pas pu commencer", "");
        for (std::size_t k = 0; k < pages.size(); ++k) {
            // A new orientation takes effect from the next page on.
            if (k > 0) {
                printer->setPageOrientation(qtOrientation(pages[k].orientation));
                if (!printer->newPage()) {
                    printer->abort(); // never half a document
                    painter.end();
                    throw PrintError("L'impression sur « " + utf8(name_) + " » s'est arrêtée à la page " +
                                         std::to_string(k + 1),
                                     "");
                }
            }
            painter.save();
            painter.translate(
                PrintableOrigin(printer->pageLayout(), printer->logicalDpiX(), printer->logicalDpiY()));
            QPainterCanvas canvas(painter, font_);
            pages[k].replay(canvas);
            painter.restore();
        }
        const bool ended = painter.end(); // the job is handed to CUPS here
        // Qt drops the answer of CUPS to the job: a queue that refuses it still ends "well".
        const ipp_status_t status = cupsLastError();
        if (!ended || status > IPP_STATUS_OK_EVENTS_COMPLETE) {
            const char* reason = cupsLastErrorString();
            throw PrintError("L'imprimante « " + utf8(name_) + " » n'a pas accepté le travail d'impression",
                             ended && reason != nullptr && *reason != '\0'
                                 ? std::string("(Réponse du service d'impression : ") + reason + ")"
                                 : std::string());
        }
    }

    void Abort() override {
        pages_.clear();
        printer_.reset();
    }

private:
    void checkQueue(const QString& queue) const {
        const std::optional<QueueState> state = askQueueState(queue);
        if (!state)
            return; // Qt has just found it; if it is gone since, the job itself will say so
        const std::string why = state->message.empty() ? std::string() : "\n(" + state->message + ")";
        if (state->paused)
            throw PrintError("L'imprimante « " + utf8(name_) + " » est en pause",
                             "Remettez l'imprimante en service dans les réglages des imprimantes, puis "
                             "recommencez." +
                                 why);
        if (!state->accepting)
            throw PrintError("L'imprimante « " + utf8(name_) + " » refuse les travaux d'impression",
                             "Autorisez de nouveau les travaux dans les réglages des imprimantes, puis "
                             "recommencez." +
                                 why);
    }

    // With queues installed but none chosen as the default, Qt would silently print on the
    // first one: say so, and name them, so the teacher knows which to choose.
    static NoPrinterError noDefaultPrinter() {
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
        return NoPrinterError(
            "Aucune imprimante n'est choisie par défaut",
            "Imprimantes installées : " + utf8(names.join(QStringLiteral(", "))) +
                ". Choisissez-en une comme imprimante par défaut dans les réglages des "
                "imprimantes (ou avec la commande « lpoptions -d NOM »), puis recommencez.");
    }

    QString title_;
    QString name_;
    std::unique_ptr<QPrinter> printer_;
    QFont font_;
    std::vector<RecordedPage> pages_;
};

} // namespace

QPointF PrintableOrigin(const QPageLayout& layout, int dpiX, int dpiY) {
    QPageLayout inPoints = layout;
    inPoints.setUnits(QPageLayout::Point);
    const QMarginsF unprintable = inPoints.minimumMargins();
    constexpr double PointsPerInch = 72.0;
    return {unprintable.left() * dpiX / PointsPerInch, unprintable.top() * dpiY / PointsPerInch};
}

std::unique_ptr<SheetPrinter> MakeCupsPrinter() {
    return std::make_unique<CupsPrinter>();
}

} // namespace zeb
